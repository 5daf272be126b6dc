#include "playback/effectwindow.h"

#include "core/startrecord.h"
#include "playback/jobedits.h"
#include "widgets/controlfactory.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include <iterator>
#include <type_traits>

using namespace Qt::StringLiterals;
using namespace ControlFactory;

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

    m_ui.volumeGroup = placed(new QGroupBox(u"Volume"_s, this), u"GroupBox1"_s, QRect(4, 6, 405, 118));
    QGroupBox *group = m_ui.volumeGroup;

    m_ui.volumeBar = placed(
        new QSlider(Qt::Horizontal, group), u"TrackBar1"_s, QRect(kBarLeft, kBarTop, kBarWidth, 24), {}, u"Volume"_s);
    m_ui.volumeBar->setRange(kLowestVolume, kHighestVolume);
    m_ui.volumeBar->setValue(kUnchangedVolume);
    m_ui.volumeBar->setPageStep(20);
    m_ui.volumeBar->setTickPosition(QSlider::NoTicks);

    // The scale, evenly spread from the bar's left end to its right end.
    const struct
    {
        const char16_t *name;
        const char16_t *text;
    } scale[] = {
        { u"Label14", u"0%" },
        { u"Label15", u"100%" },
        { u"Label16", u"200%" },
        { u"Label1", u"300%" },
        { u"Label2", u"400%" },
    };
    static_assert(std::size(scale) == std::extent_v<decltype(EffectControls::scaleLabels)>);
    const int steps = int(std::size(scale)) - 1;
    for (int i = 0; i <= steps; ++i) {
        const int centre = kBarLeft + 8 + (kBarWidth - 16) * i / steps;
        const int left = qBound(kBarLeft, centre - kScaleWidth / 2, kBarLeft + kBarWidth - kScaleWidth);
        const Qt::Alignment alignment = i == 0 ? Qt::AlignLeft : i == steps ? Qt::AlignRight : Qt::AlignHCenter;
        m_ui.scaleLabels[i] = label(group, QString::fromUtf16(scale[i].name), QString::fromUtf16(scale[i].text),
            QRect(left, kScaleTop, kScaleWidth, 18), alignment);
    }

    m_ui.volumeValue = label(group, u"vsize"_s, QString::number(kUnchangedVolume),
        QRect(VolumeLabelLeft(kUnchangedVolume), kValueTop, 30, 16));
    m_ui.volumeValue->hide();

    // Beside the bar, in the room above its scale.
    m_ui.normalizeBox
        = placed(new QCheckBox(u"Normalize loudness"_s, group), u"normalizeBox"_s, QRect(150, 10, 150, 22));
    m_ui.targetChooser = placed(new QComboBox(group), u"targetBox"_s, QRect(304, 9, 96, 24), {}, u"Loudness target"_s);
    for (int target : kNormalizeTargets)
        m_ui.targetChooser->addItem(NormalizeTargetText(target));
    showNormalize(std::nullopt);

    m_ui.resetButton = button(this, u"suiButton4"_s, u"Reset"_s, QRect(6, 136, 86, 30));
    m_ui.okButton = button(this, u"okBtn"_s, u"OK"_s, QRect(227, 136, 86, 30));
    m_ui.okButton->setDefault(true);
    m_ui.cancelButton = button(this, u"suiButton3"_s, u"Cancel"_s, QRect(321, 136, 86, 30));

    connect(m_ui.volumeBar, &QSlider::valueChanged, this, &TEffectFrm::TrackBar1Change);
    connect(m_ui.resetButton, &QPushButton::clicked, this, &TEffectFrm::suiButton4Click);
    connect(m_ui.okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui.cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    m_ui.volumeBar->installEventFilter(this);
}

void TEffectFrm::showNormalize(std::optional<int> targetLufs)
{
    m_ui.normalizeBox->setChecked(targetLufs.has_value());
    m_ui.targetChooser->setCurrentIndex(NormalizeTargetIndex(targetLufs));
}

void TEffectFrm::TrackBar1Change(int position)
{
    const QString text = QString::number(position);
    m_ui.volumeValue->setText(text);
    m_ui.volumeValue->setAccessibleName(text);
    m_ui.volumeValue->move(VolumeLabelLeft(position), m_ui.volumeValue->y());
    m_ui.volumeValue->show();
}

void TEffectFrm::suiButton4Click()
{
    m_ui.volumeBar->setValue(kUnchangedVolume);
}

bool TEffectFrm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui.volumeBar && event->type() == QEvent::FocusOut)
        m_ui.volumeValue->hide();
    return QDialog::eventFilter(watched, event);
}
