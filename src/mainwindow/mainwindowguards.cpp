// The main window's session, power and exit guards, files opened with the program, and the
// notification at the end of a batch.

#include "mainwindow/mainwindow.h"

#include "core/previewarea.h"
#include "core/siblingcommands.h"
#include "engine/batchnotice.h"
#include "engine/conversionengine.h"
#include "engine/logwindow.h"
#include "engine/sessionguard.h"
#include "mainwindow/picturebutton.h"
#include "platform/childprocess.h"
#include "platform/dialogs.h"
#include "platform/inhibitor.h"
#include "platform/notifier.h"
#include "sources/filelist.h"
#include "sources/sourceintake.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSessionManager>

using namespace Qt::StringLiterals;

namespace {
constexpr QStringView kCloseQuestion = u"The current conversion will fail if you exit TOLM Audio Converter now.";
constexpr QStringView kContinueQuestion = u"Do you want to continue?";
} // namespace

void TForm1::createGuards(std::unique_ptr<Inhibitor> inhibitor, std::unique_ptr<Notifier> notifier)
{
    m_guard
        = std::make_unique<SessionGuard>(*m_queue, inhibitor ? std::move(inhibitor) : std::make_unique<Inhibitor>());
    connect(m_guard.get(), &SessionGuard::prepareForSleep, this, &TForm1::systemSleeps);
    connect(m_guard.get(), &SessionGuard::logLine, this, [this](const QString &line) {
        if (m_logFrm)
            m_logFrm->append(u"\n"_s + line + u"\n"_s, LogSink::View::Newest);
    });
    m_batchNotice
        = std::make_unique<BatchNotice>(*m_queue, notifier ? std::move(notifier) : std::make_unique<Notifier>(),
            [this] { return isActiveWindow() && !isMinimized(); });
    connect(m_batchNotice.get(), &BatchNotice::activated, this, &TForm1::restoreRequest);
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        connect(app, &QGuiApplication::commitDataRequest, this, &TForm1::commitDataRequest, Qt::UniqueConnection);
}

void TForm1::setDesktopGuards(std::unique_ptr<Inhibitor> inhibitor, std::unique_ptr<Notifier> notifier)
{
    createGuards(std::move(inhibitor), std::move(notifier));
}

bool TForm1::conversionRunning() const
{
    return m_queue->isRunning();
}

QString TForm1::closeQuestionText()
{
    return kCloseQuestion + u"\n\n"_s + kContinueQuestion;
}

void TForm1::systemSleeps()
{
    const GuardAnswer answer = AnswerPowerChange(conversionRunning());
    // logind does not wait for our answer: the lock taken at Start is what refuses; the
    // message tells the user why the machine stayed awake or what was at risk.
    if (answer.stopPreview)
        m_preview->Stop();
    if (answer.bringToFront)
        restoreRequest();
    if (answer.message)
        m_services.dialogs.showMessage(this, *answer.message);
}

void TForm1::commitDataRequest(QSessionManager &manager)
{
    const GuardAnswer answer = AnswerSessionEnd(conversionRunning());
    if (answer.stopPreview)
        m_preview->Stop();
    if (answer.allow)
        return;
    manager.cancel();
    if (answer.message && manager.allowsInteraction()) {
        m_services.dialogs.showMessage(this, *answer.message);
        manager.release();
    }
}

// True when nothing converts or the user agreed to give the conversion up; then the
// transcoder has been ended (asked to end, it removes its temporary file before it goes).
bool TForm1::confirmQuitDuringConversion()
{
    if (m_queue->convFinished())
        return true;
    const MessageRequest question = MessageRequest::confirmation(
        closeQuestionText(), kApplicationTitle.toString(), DialogIcon::Question, DialogButtons::YesNo);
    if (m_services.dialogs.showMessage(this, question) != DialogAnswer::Yes)
        return false;
    m_queue->abandon();
    return true;
}

namespace {

// A press on the Start button while it is busy (disabled for the running rows): Qt gives a
// disabled button no click, but its event filter still sees the mouse.
class BusyStartPress : public QObject
{
public:
    BusyStartPress(QWidget *button, std::function<void()> pressed)
        : QObject(button)
        , m_pressed(std::move(pressed))
    {
        button->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonRelease && !static_cast<QWidget *>(watched)->isEnabled()
            && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            m_pressed();
        return false;
    }

private:
    std::function<void()> m_pressed;
};

} // namespace

void TForm1::connectStopRequests()
{
    new BusyStartPress(m_ui.output.startButton, [this] { askToStopConversion(); });
}

// Esc reaches the window when the control that has the focus does not use it.
void TForm1::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && m_queue->isRunning()) {
        askToStopConversion();
        return;
    }
    QWidget::keyPressEvent(event);
}

// Stop, asked with the busy Start button or Esc while a batch runs: the running rows' transcoders
// end (each takes its partial file with it) and those rows are ready again; a finished row
// stays finished. The batch ends as a given-up one does, with no after-done action.
void TForm1::askToStopConversion()
{
    if (!m_queue->isRunning())
        return;
    const MessageRequest question = MessageRequest::confirmation(
        kStopQuestion.toString(), kApplicationTitle.toString(), DialogIcon::Question, DialogButtons::YesNo);
    if (m_services.dialogs.showMessage(this, question) != DialogAnswer::Yes || !m_queue->isRunning())
        return;
    m_queue->abandon();
    for (int row = 0; row < m_fileList->rowCount(); ++row)
        if (m_fileList->status(row).state == RowState::Stopped)
            m_fileList->setStatus(row, RowStatus::in(RowState::Ready));
    m_ui.output.startButton->setEnabled(m_fileList->rowCount() > 0); // for the next Start
}

void TForm1::closeBtnClick()
{
    if (!confirmQuitDuringConversion())
        return;
    endChildren();
    QCoreApplication::quit();
    close();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    if (!confirmQuitDuringConversion()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void TForm1::shutDown()
{
    m_queue->abandon();
    endChildren();
    QCoreApplication::quit();
}

// After Turn Off, Hibernate or Stand By the window is closed: the program must go too, or it
// lives on unseen and takes every later start's hand-over. exit() rather than quit(): the
// application's quit first closes every window and gives up while one stays shown.
void TForm1::endProgram()
{
    m_endingAfterDone = true;
    endChildren();
    QCoreApplication::exit(0);
}

// Only the children this program started, each by its process: the transcoder first, then
// the player through the preview, then any of either still finishing.
void TForm1::endChildren()
{
    m_intake->stop();
    m_queue->abandon();
    m_guard->release();
    m_preview->Reset();
    ChildProcess::KillProcessByName(kTranscoderName.toString());
    ChildProcess::KillProcessByName(kPlayerName.toString());
}

void TForm1::FormDestroy()
{
    endChildren();
    // The window is going: the children just asked to end are given their time to go (a
    // transcoder removes its temporary file), and forced if they do not.
    ChildProcess::settleBeforeExit();
    m_state.destinationHistory.save(m_state.destinationHistoryPath);
}

void TForm1::openFiles(const QStringList &paths)
{
    if (!paths.isEmpty())
        dropFiles(paths);
}
