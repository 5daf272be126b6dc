#include "playback/trimwindow.h"

#include "core/conversionfailure.h"
#include "core/siblingcommands.h"
#include "core/startrecord.h"
#include "core/timecode.h"
#include "platform/dialogs.h"
#include "playback/selectiontrackbar.h"
#include "playback/timecodeedit.h"

#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

constexpr QStringView kNoLength = u"========";
constexpr int kThumbLength = 17;
constexpr int kPageSize = 5;

QIcon skinIcon(const QString &programFolder, QStringView name)
{
    const QString path = programFolder + u"/icons/"_s + name + u".svg"_s;
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

template <typename Widget> Widget *place(Widget *widget, const QString &name, const QRect &geometry)
{
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    return widget;
}

QToolButton *imageButton(QWidget *parent, const QString &name, const QString &hint, const QRect &geometry,
    const QIcon &icon, const QString &fallback)
{
    auto *button = place(new QToolButton(parent), name, geometry);
    button->setToolTip(hint);
    button->setAccessibleName(hint);
    if (icon.isNull())
        button->setText(fallback);
    else
        button->setIcon(icon);
    button->setIconSize(geometry.size() - QSize(8, 8));
    button->setAutoRaise(true);
    return button;
}

QLabel *caption(QWidget *parent, const QString &text, const QRect &geometry, QWidget *buddy)
{
    auto *label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setBuddy(buddy);
    return label;
}

} // namespace

TtrimFrm::TtrimFrm(Dialogs &dialogs, WindowEmbedding &windows, const QString &programFolder, QWidget *parent)
    : QDialog(parent)
    , m_dialogs(dialogs)
    , m_session(windows, kWindowLooks)
{
    setObjectName(u"trimFrm"_s);
    setWindowTitle(u"Trim"_s);
    setFixedSize(kClientSize);
    build(programFolder);
    m_trimTimer.setInterval(kTickMs);
    m_trimTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_trimTimer, &QTimer::timeout, this, &TtrimFrm::trimTimerTick);
}

TtrimFrm::~TtrimFrm()
{
    m_trimTimer.stop();
    m_session.end();
}

void TtrimFrm::build(const QString &programFolder)
{
    // The activation order follows the form: start, end, Reset, the preview, OK and Cancel.
    playpanel = place(new QWidget(this), u"playpanel"_s, QRect(12, 12, 259, 194));
    playpanel->setAttribute(Qt::WA_DontCreateNativeAncestors);
    playpanel->setAttribute(Qt::WA_NativeWindow);
    playpanel->setAutoFillBackground(true);
    playpanel->setStyleSheet(u"background: black;"_s);
    playpanel->setAccessibleName(u"Preview"_s);

    edit1 = place(new TimeCodeEdit(this), u"edit1"_s, QRect(290, 40, 100, 24));
    edit1->setText(u"00:00:00"_s);
    caption(this, u"Set Start Time:"_s, QRect(290, 18, 140, 20), edit1);
    edit2 = place(new TimeCodeEdit(this), u"edit2"_s, QRect(290, 96, 100, 24));
    edit2->setText(u"00:00:00"_s);
    caption(this, u"Set End Time:"_s, QRect(290, 74, 140, 20), edit2);
    Edit3 = place(new QLineEdit(this), u"Edit3"_s, QRect(290, 152, 100, 24));
    Edit3->setReadOnly(true);
    Edit3->setMaxLength(kTimeCodeLength);
    Edit3->setText(kNoLength.toString());
    Edit3->setAccessibleName(Edit3->text());
    Edit3->setFocusPolicy(Qt::NoFocus);
    caption(this, u"Selected Length:"_s, QRect(290, 130, 140, 20), Edit3);
    resetBtn = place(new QPushButton(u"Reset"_s, this), u"resetBtn"_s, QRect(290, 186, 100, 28));

    TrackBar1 = place(new SelectionTrackBar(this), u"TrackBar1"_s, QRect(12, 218, 421, 26));
    TrackBar1->setPageStep(kPageSize);
    TrackBar1->setStyleSheet(u"QSlider::handle:horizontal { width: %1px; }"_s.arg(kThumbLength));
    TrackBar1->setAccessibleName(u"Trim position"_s);
    StaticText1 = place(new QLabel(u"00:00:00"_s, this), u"StaticText1"_s, QRect(12, 250, 80, 20));
    StaticText1->setAccessibleName(StaticText1->text());

    playBtn = imageButton(
        this, u"playBtn"_s, u"Play"_s, QRect(12, 276, 36, 32), skinIcon(programFolder, u"play"), u"\u25B6"_s);
    pauseBtn = imageButton(
        this, u"pauseBtn"_s, u"Pause"_s, playBtn->geometry(), skinIcon(programFolder, u"pause"), u"\u2016"_s);
    pauseBtn->hide();
    startBtn = imageButton(this, u"startBtn"_s, u"Set Start Point"_s, QRect(56, 276, 36, 32),
        skinIcon(programFolder, u"setstart"), u"["_s);
    endBtn = imageButton(this, u"endBtn"_s, u"Set End Poiont"_s, QRect(100, 276, 36, 32),
        skinIcon(programFolder, u"setend"), u"]"_s);

    BitBtn3 = place(new QPushButton(u"OK"_s, this), u"BitBtn3"_s, QRect(253, 326, 86, 30));
    BitBtn3->setDefault(true);
    BitBtn5 = place(new QPushButton(u"Cancel"_s, this), u"BitBtn5"_s, QRect(347, 326, 86, 30));

    setTabOrder(edit1, edit2);
    setTabOrder(edit2, resetBtn);
    setTabOrder(resetBtn, TrackBar1);
    setTabOrder(TrackBar1, playBtn);
    setTabOrder(playBtn, pauseBtn);
    setTabOrder(pauseBtn, startBtn);
    setTabOrder(startBtn, endBtn);
    setTabOrder(endBtn, BitBtn3);
    setTabOrder(BitBtn3, BitBtn5);

    connect(edit1, &QLineEdit::textEdited, this, [this] { fieldEdited(TrimField::Start); });
    connect(edit2, &QLineEdit::textEdited, this, [this] { fieldEdited(TrimField::End); });
    connect(resetBtn, &QPushButton::clicked, this, &TtrimFrm::resetBtnClick);
    connect(startBtn, &QToolButton::clicked, this, &TtrimFrm::startBtnClick);
    connect(endBtn, &QToolButton::clicked, this, &TtrimFrm::endBtnClick);
    connect(playBtn, &QToolButton::clicked, this, &TtrimFrm::playBtnClick);
    connect(pauseBtn, &QToolButton::clicked, this, &TtrimFrm::pauseBtnClick);
    connect(
        TrackBar1, &QSlider::valueChanged, this, [this](int position) { setStaticText(SecondsToTimeCode(position)); });
    connect(BitBtn3, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn5, &QPushButton::clicked, this, &QDialog::reject);
}

bool TtrimFrm::load(const TStartRecord &job)
{
    try {
        TimeCodeToSeconds(job.Duration.left(kTimeCodeLength));
        TimeCodeToSeconds(job.StartTime);
        TimeCodeToSeconds(job.Length);
    } catch (const ConversionFailure &failure) {
        m_dialogs.showMessage(parentWidget(), MessageRequest::plain(failure.message()));
        return false;
    }
    durationText = job.Duration.left(kTimeCodeLength);
    lengthText = job.Length;
    startText = job.StartTime;
    sourceFile = job.SourcePath;
    sourceStartNs = job.SpanStartNs;
    return true;
}

void TtrimFrm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        activate();
}

void TtrimFrm::activate()
{
    m_durationSeconds = TimeCodeToSeconds(durationText);
    TrackBar1->setMaximum(m_durationSeconds);
    TrackBar1->setSelectionStart(TimeCodeToSeconds(startText));
    setFieldText(TrimField::Start, startText);
    TrackBar1->setSelectionEnd(TimeCodeToSeconds(startText) + TimeCodeToSeconds(lengthText));
    setFieldText(TrimField::End, TrimEndText(startText, lengthText));
    TrackBar1->setValue(0);
    setStaticText(SecondsToTimeCode(0));
    edit1->setFocus();
    edit1->setCursorPosition(0);
    edit1->selectCaretCharacter();
}

void TtrimFrm::setStaticText(const QString &text)
{
    StaticText1->setText(text);
    StaticText1->setAccessibleName(text);
}

// A text the program puts into a field leaves nothing to undo: a failed check keeps it.
void TtrimFrm::setFieldText(TrimField which, const QString &text)
{
    m_lastGood[int(which)] = text;
    field(which)->setText(text);
    // Checked even when the text did not change, so the length shown always belongs to the
    // fields that OK will store.
    fieldEdited(which);
}

void TtrimFrm::fieldEdited(TrimField which)
{
    if (m_checking)
        return;
    m_checking = true;
    TimeCodeEdit *edit = field(which);
    const int caret = edit->cursorPosition();
    const QString fixed = WithTensDigitsFixed(edit->text());
    if (fixed != edit->text()) {
        edit->setText(fixed);
        edit->setCursorPosition(caret);
    }
    const TrimCheck check = CheckTrimField(which, edit1->text(), edit2->text(), m_durationSeconds);
    switch (check.outcome) {
    case TrimCheck::NotATime:
        m_checking = false;
        m_dialogs.showMessage(this, MessageRequest::plain(check.message));
        return;
    case TrimCheck::Undo:
        edit->setText(m_lastGood[int(which)]);
        edit->setCursorPosition(qMax(0, caret - 1));
        edit->setFocus();
        edit->selectCaretCharacter();
        break;
    case TrimCheck::Accepted:
        m_lastGood[int(which)] = edit->text();
        Edit3->setText(check.length);
        Edit3->setAccessibleName(check.length);
        if (which == TrimField::Start)
            TrackBar1->setSelectionStart(check.selectionSeconds);
        else
            TrackBar1->setSelectionEnd(check.selectionSeconds);
        break;
    }
    m_checking = false;
}

void TtrimFrm::resetBtnClick()
{
    setFieldText(TrimField::Start, u"00:00:00"_s);
    setFieldText(TrimField::End, durationText);
    Edit3->setText(durationText);
    Edit3->setAccessibleName(durationText);
}

void TtrimFrm::startBtnClick()
{
    const int position = TrackBar1->value();
    if (position >= TrackBar1->selectionEnd())
        return;
    setFieldText(TrimField::Start, SecondsToTimeCode(position));
    TrackBar1->setSelectionStart(position);
}

void TtrimFrm::endBtnClick()
{
    const int position = TrackBar1->value();
    if (TrackBar1->selectionStart() >= position)
        return;
    setFieldText(TrimField::End, SecondsToTimeCode(position));
    TrackBar1->setSelectionEnd(position);
}

void TtrimFrm::showPlaying(bool playing)
{
    playBtn->setEnabled(!playing);
    playBtn->setVisible(!playing);
    pauseBtn->setEnabled(playing);
    pauseBtn->setVisible(playing);
}

void TtrimFrm::playBtnClick()
{
    if (m_session.isKnown() && TrackBar1->value() == m_trimSecond) {
        m_trimTimer.start();
        m_session.sendKey(PlayerKey::Pause);
        showPlaying(true);
        return;
    }
    m_trimSecond = TrackBar1->value();
    const PlayerSession::Start started = m_session.start(PlayerCommand(m_trimSecond, sourceFile, true, sourceStartNs),
        WindowEmbedding::WindowId(playpanel->winId()), playpanel->devicePixelRatioF());
    if (started == PlayerSession::Start::Failed) {
        m_dialogs.showMessage(this, MessageRequest::plain(m_session.errorText()));
        return;
    }
    if (started == PlayerSession::Start::NoWindow)
        return;
    m_trimTimer.start();
    TrackBar1->setEnabled(true);
    showPlaying(true);
}

void TtrimFrm::pauseBtnClick()
{
    m_session.sendKey(PlayerKey::Pause);
    m_trimTimer.stop();
    showPlaying(false);
}

void TtrimFrm::trimTimerTick()
{
    if (TrackBar1->value() != m_trimSecond) {
        // The thumb was moved: play from there.
        m_trimTimer.stop();
        m_session.forget();
        playBtnClick();
        return;
    }
    ++m_trimSecond;
    if (m_trimSecond > TrackBar1->maximum()) {
        m_trimTimer.stop();
        m_session.quit();
        showPlaying(false);
        TrackBar1->setValue(TrackBar1->selectionStart());
        setStaticText(SecondsToTimeCode(TrackBar1->selectionStart()));
        return;
    }
    TrackBar1->setValue(m_trimSecond);
}

void TtrimFrm::endPreview()
{
    m_trimTimer.stop();
    m_session.quit();
    m_session.end();
    showPlaying(false);
}

void TtrimFrm::done(int result)
{
    // OK, Cancel and the title bar's close button all end the dialog's preview.
    endPreview();
    QDialog::done(result);
}
