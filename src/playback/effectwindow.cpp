#include "playback/effectwindow.h"

#include "core/startrecord.h"
#include "playback/jobedits.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

using namespace Qt::StringLiterals;

namespace {

constexpr int kBarLeft = 2;
constexpr int kBarTop = 58;
constexpr int kBarWidth = 400;
constexpr int kScaleTop = 34;
constexpr int kScaleWidth = 40;
constexpr int kValueTop = 86;

} // namespace

TEffectFrm::TEffectFrm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"EffectFrm"_s);
    setWindowTitle(u"Effect"_s);
    setFixedSize(kClientSize);

    GroupBox1 = new QGroupBox(u"Volume"_s, this);
    GroupBox1->setObjectName(u"GroupBox1"_s);
    GroupBox1->setGeometry(4, 6, 405, 118);

    TrackBar1 = new QSlider(Qt::Horizontal, GroupBox1);
    TrackBar1->setObjectName(u"TrackBar1"_s);
    TrackBar1->setGeometry(kBarLeft, kBarTop, kBarWidth, 24);
    TrackBar1->setRange(kLowestVolume, kHighestVolume);
    TrackBar1->setValue(kUnchangedVolume);
    TrackBar1->setPageStep(20);
    TrackBar1->setTickPosition(QSlider::NoTicks);
    TrackBar1->setAccessibleName(u"Volume"_s);

    // The scale, evenly spread from the bar's left end to its right end.
    const struct
    {
        QLabel **label;
        const char16_t *name;
        const char16_t *text;
    } scale[] = {
        { &Label14, u"Label14", u"0%" },
        { &Label15, u"Label15", u"100%" },
        { &Label16, u"Label16", u"200%" },
        { &Label1, u"Label1", u"300%" },
        { &Label2, u"Label2", u"400%" },
    };
    const int steps = int(std::size(scale)) - 1;
    for (int i = 0; i <= steps; ++i) {
        auto *label = new QLabel(QString::fromUtf16(scale[i].text), GroupBox1);
        label->setObjectName(QString::fromUtf16(scale[i].name));
        const int centre = kBarLeft + 8 + (kBarWidth - 16) * i / steps;
        const int left = qBound(kBarLeft, centre - kScaleWidth / 2, kBarLeft + kBarWidth - kScaleWidth);
        label->setGeometry(left, kScaleTop, kScaleWidth, 18);
        label->setAlignment(i == 0 ? Qt::AlignLeft : i == steps ? Qt::AlignRight : Qt::AlignHCenter);
        *scale[i].label = label;
    }

    vsize = new QLabel(QString::number(kUnchangedVolume), GroupBox1);
    vsize->setObjectName(u"vsize"_s);
    vsize->setGeometry(VolumeLabelLeft(kUnchangedVolume), kValueTop, 30, 16);
    vsize->setAccessibleName(vsize->text());
    vsize->hide();

    // Beside the bar, in the room above its scale.
    normalizeBox = new QCheckBox(u"Normalize loudness"_s, GroupBox1);
    normalizeBox->setObjectName(u"normalizeBox"_s);
    normalizeBox->setGeometry(150, 10, 150, 22);
    targetBox = new QComboBox(GroupBox1);
    targetBox->setObjectName(u"targetBox"_s);
    targetBox->setGeometry(304, 9, 96, 24);
    targetBox->setAccessibleName(u"Loudness target"_s);
    for (int target : kNormalizeTargets)
        targetBox->addItem(NormalizeTargetText(target));
    showNormalize(std::nullopt);

    suiButton4 = new QPushButton(u"Reset"_s, this);
    suiButton4->setObjectName(u"suiButton4"_s);
    suiButton4->setGeometry(6, 136, 86, 30);
    okBtn = new QPushButton(u"OK"_s, this);
    okBtn->setObjectName(u"okBtn"_s);
    okBtn->setGeometry(227, 136, 86, 30);
    okBtn->setDefault(true);
    suiButton3 = new QPushButton(u"Cancel"_s, this);
    suiButton3->setObjectName(u"suiButton3"_s);
    suiButton3->setGeometry(321, 136, 86, 30);

    connect(TrackBar1, &QSlider::valueChanged, this, &TEffectFrm::TrackBar1Change);
    connect(suiButton4, &QPushButton::clicked, this, &TEffectFrm::suiButton4Click);
    connect(okBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(suiButton3, &QPushButton::clicked, this, &QDialog::reject);
    TrackBar1->installEventFilter(this);
}

void TEffectFrm::showNormalize(std::optional<int> targetLufs)
{
    normalizeBox->setChecked(targetLufs.has_value());
    targetBox->setCurrentIndex(NormalizeTargetIndex(targetLufs));
}

void TEffectFrm::TrackBar1Change(int position)
{
    const QString text = QString::number(position);
    vsize->setText(text);
    vsize->setAccessibleName(text);
    vsize->move(VolumeLabelLeft(position), vsize->y());
    vsize->show();
}

void TEffectFrm::suiButton4Click()
{
    TrackBar1->setValue(kUnchangedVolume);
}

bool TEffectFrm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == TrackBar1 && event->type() == QEvent::FocusOut)
        vsize->hide();
    return QDialog::eventFilter(watched, event);
}
