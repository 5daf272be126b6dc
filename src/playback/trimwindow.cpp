#include "playback/trimwindow.h"

#include "core/conversionfailure.h"
#include "core/siblingcommands.h"
#include "core/startrecord.h"
#include "core/timecode.h"
#include "platform/dialogs.h"
#include "playback/selectiontrackbar.h"
#include "playback/timecodeedit.h"
#include "widgets/controlfactory.h"
#include "widgets/skin.h"

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

// One of the four picture buttons under the bar, drawn flat; a sign stands in for a picture
// that is not there.
QToolButton *pictureButton(QWidget *parent, const QString &objectName, const QString &hint, const QRect &geometry,
    const QIcon &icon, const QString &fallback)
{
    auto *button = ControlFactory::imageButton(parent, objectName, hint, geometry, icon);
    if (icon.isNull())
        button->setText(fallback);
    button->setIconSize(geometry.size() - QSize(8, 8));
    button->setAutoRaise(true);
    return button;
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
    connect(&m_session, &PlayerSession::started, this, &TtrimFrm::playerStarted);
}

TtrimFrm::~TtrimFrm()
{
    m_trimTimer.stop();
    m_session.end();
}

void TtrimFrm::build(const QString &programFolder)
{
    using namespace ControlFactory;
    const auto icon = [&programFolder](QStringView name) { return Skin::icon(programFolder, name); };

    // The activation order follows the form: start, end, Reset, the preview, OK and Cancel.
    m_ui.previewPanel = placed(new QWidget(this), u"playpanel"_s, QRect(12, 12, 259, 194), {}, u"Preview"_s);
    m_ui.previewPanel->setAttribute(Qt::WA_DontCreateNativeAncestors);
    m_ui.previewPanel->setAttribute(Qt::WA_NativeWindow);
    m_ui.previewPanel->setAutoFillBackground(true);
    m_ui.previewPanel->setStyleSheet(u"background: black;"_s);

    m_ui.startEdit = placed(new TimeCodeEdit(this), u"edit1"_s, QRect(290, 40, 100, 24));
    m_ui.startEdit->setText(u"00:00:00"_s);
    m_ui.startCaption = label(this, {}, u"Set Start Time:"_s, QRect(290, 18, 140, 20));
    setBuddy(m_ui.startCaption, m_ui.startEdit);
    m_ui.endEdit = placed(new TimeCodeEdit(this), u"edit2"_s, QRect(290, 96, 100, 24));
    m_ui.endEdit->setText(u"00:00:00"_s);
    m_ui.endCaption = label(this, {}, u"Set End Time:"_s, QRect(290, 74, 140, 20));
    setBuddy(m_ui.endCaption, m_ui.endEdit);
    m_ui.lengthEdit = placed(
        new QLineEdit(kNoLength.toString(), this), u"Edit3"_s, QRect(290, 152, 100, 24), {}, kNoLength.toString());
    m_ui.lengthEdit->setReadOnly(true);
    m_ui.lengthEdit->setMaxLength(kTimeCodeLength);
    m_ui.lengthEdit->setFocusPolicy(Qt::NoFocus);
    m_ui.lengthCaption = label(this, {}, u"Selected Length:"_s, QRect(290, 130, 140, 20));
    setBuddy(m_ui.lengthCaption, m_ui.lengthEdit);
    m_ui.resetButton = button(this, u"resetBtn"_s, u"Reset"_s, QRect(290, 186, 100, 28));

    m_ui.positionBar
        = placed(new SelectionTrackBar(this), u"TrackBar1"_s, QRect(12, 218, 421, 26), {}, u"Trim position"_s);
    m_ui.positionBar->setPageStep(kPageSize);
    m_ui.positionBar->setStyleSheet(u"QSlider::handle:horizontal { width: %1px; }"_s.arg(kThumbLength));
    m_ui.positionText = label(this, u"StaticText1"_s, u"00:00:00"_s, QRect(12, 250, 80, 20));

    m_ui.playButton = pictureButton(this, u"playBtn"_s, u"Play"_s, QRect(12, 276, 36, 32), icon(u"play"), u"\u25B6"_s);
    m_ui.pauseButton
        = pictureButton(this, u"pauseBtn"_s, u"Pause"_s, m_ui.playButton->geometry(), icon(u"pause"), u"\u2016"_s);
    m_ui.pauseButton->hide();
    m_ui.setStartButton
        = pictureButton(this, u"startBtn"_s, u"Set Start Point"_s, QRect(56, 276, 36, 32), icon(u"setstart"), u"["_s);
    m_ui.setEndButton
        = pictureButton(this, u"endBtn"_s, u"Set End Poiont"_s, QRect(100, 276, 36, 32), icon(u"setend"), u"]"_s);

    m_ui.okButton = button(this, u"BitBtn3"_s, u"OK"_s, QRect(253, 326, 86, 30));
    m_ui.okButton->setDefault(true);
    m_ui.cancelButton = button(this, u"BitBtn5"_s, u"Cancel"_s, QRect(347, 326, 86, 30));

    setTabOrder(m_ui.startEdit, m_ui.endEdit);
    setTabOrder(m_ui.endEdit, m_ui.resetButton);
    setTabOrder(m_ui.resetButton, m_ui.positionBar);
    setTabOrder(m_ui.positionBar, m_ui.playButton);
    setTabOrder(m_ui.playButton, m_ui.pauseButton);
    setTabOrder(m_ui.pauseButton, m_ui.setStartButton);
    setTabOrder(m_ui.setStartButton, m_ui.setEndButton);
    setTabOrder(m_ui.setEndButton, m_ui.okButton);
    setTabOrder(m_ui.okButton, m_ui.cancelButton);

    connect(m_ui.startEdit, &QLineEdit::textEdited, this, [this] { fieldEdited(TrimField::Start); });
    connect(m_ui.endEdit, &QLineEdit::textEdited, this, [this] { fieldEdited(TrimField::End); });
    connect(m_ui.resetButton, &QPushButton::clicked, this, &TtrimFrm::resetBtnClick);
    connect(m_ui.setStartButton, &QToolButton::clicked, this, &TtrimFrm::startBtnClick);
    connect(m_ui.setEndButton, &QToolButton::clicked, this, &TtrimFrm::endBtnClick);
    connect(m_ui.playButton, &QToolButton::clicked, this, &TtrimFrm::playBtnClick);
    connect(m_ui.pauseButton, &QToolButton::clicked, this, &TtrimFrm::pauseBtnClick);
    connect(m_ui.positionBar, &QSlider::valueChanged, this,
        [this](int position) { setStaticText(SecondsToTimeCode(position)); });
    connect(m_ui.okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui.cancelButton, &QPushButton::clicked, this, &QDialog::reject);
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
    m_ui.positionBar->setMaximum(m_durationSeconds);
    m_ui.positionBar->setSelectionStart(TimeCodeToSeconds(startText));
    setFieldText(TrimField::Start, startText);
    m_ui.positionBar->setSelectionEnd(TimeCodeToSeconds(startText) + TimeCodeToSeconds(lengthText));
    setFieldText(TrimField::End, TrimEndText(startText, lengthText));
    m_ui.positionBar->setValue(0);
    setStaticText(SecondsToTimeCode(0));
    m_ui.startEdit->setFocus();
    m_ui.startEdit->setCursorPosition(0);
    m_ui.startEdit->selectCaretCharacter();
}

void TtrimFrm::setStaticText(const QString &text)
{
    m_ui.positionText->setText(text);
    m_ui.positionText->setAccessibleName(text);
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
    const TrimCheck check = CheckTrimField(which, m_ui.startEdit->text(), m_ui.endEdit->text(), m_durationSeconds);
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
        m_ui.lengthEdit->setText(check.length);
        m_ui.lengthEdit->setAccessibleName(check.length);
        if (which == TrimField::Start)
            m_ui.positionBar->setSelectionStart(check.selectionSeconds);
        else
            m_ui.positionBar->setSelectionEnd(check.selectionSeconds);
        break;
    }
    m_checking = false;
}

void TtrimFrm::resetBtnClick()
{
    setFieldText(TrimField::Start, u"00:00:00"_s);
    setFieldText(TrimField::End, durationText);
    m_ui.lengthEdit->setText(durationText);
    m_ui.lengthEdit->setAccessibleName(durationText);
}

void TtrimFrm::startBtnClick()
{
    const int position = m_ui.positionBar->value();
    if (position >= m_ui.positionBar->selectionEnd())
        return;
    setFieldText(TrimField::Start, SecondsToTimeCode(position));
    m_ui.positionBar->setSelectionStart(position);
}

void TtrimFrm::endBtnClick()
{
    const int position = m_ui.positionBar->value();
    if (m_ui.positionBar->selectionStart() >= position)
        return;
    setFieldText(TrimField::End, SecondsToTimeCode(position));
    m_ui.positionBar->setSelectionEnd(position);
}

void TtrimFrm::showPlaying(bool playing)
{
    m_ui.playButton->setEnabled(!playing);
    m_ui.playButton->setVisible(!playing);
    m_ui.pauseButton->setEnabled(playing);
    m_ui.pauseButton->setVisible(playing);
}

void TtrimFrm::playBtnClick()
{
    if (m_session.isStarting())
        return; // a second press while the player comes up starts no second one
    if (m_session.isKnown() && m_ui.positionBar->value() == m_trimSecond) {
        m_trimTimer.start();
        m_session.sendKey(PlayerKey::Pause);
        showPlaying(true);
        return;
    }
    m_trimSecond = m_ui.positionBar->value();
    if (!m_session.start(PlayerCommand(m_trimSecond, sourceFile, true, sourceStartNs),
            WindowEmbedding::WindowId(m_ui.previewPanel->winId()), m_ui.previewPanel->devicePixelRatioF()))
        m_dialogs.showMessage(this, MessageRequest::plain(m_session.errorText()));
}

// The player's window is in the panel (or it never showed one, and the player was ended).
void TtrimFrm::playerStarted(PlayerSession::Start result)
{
    if (result == PlayerSession::Start::Failed) {
        m_dialogs.showMessage(this, MessageRequest::plain(m_session.errorText()));
        return;
    }
    if (result == PlayerSession::Start::NoWindow)
        return;
    m_trimTimer.start();
    m_ui.positionBar->setEnabled(true);
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
    if (m_ui.positionBar->value() != m_trimSecond) {
        // The thumb was moved: play from there.
        m_trimTimer.stop();
        m_session.forget();
        playBtnClick();
        return;
    }
    ++m_trimSecond;
    if (m_trimSecond > m_ui.positionBar->maximum()) {
        m_trimTimer.stop();
        m_session.quit();
        showPlaying(false);
        m_ui.positionBar->setValue(m_ui.positionBar->selectionStart());
        setStaticText(SecondsToTimeCode(m_ui.positionBar->selectionStart()));
        return;
    }
    m_ui.positionBar->setValue(m_trimSecond);
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
