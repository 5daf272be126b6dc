#include "platform/childprocess.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// A child's process, with what ending it has been asked.
class SiblingProcess final : public QProcess
{
public:
    bool ending = false;
    bool ownerGone = false;
};

QString &programFolderOverride()
{
    static QString folder;
    return folder;
}

// Every child object alive; only the UI thread starts and ends children.
QSet<ChildProcess *> &liveChildren()
{
    static QSet<ChildProcess *> children;
    return children;
}

// Every process of ours that has not gone, also those whose owner let them go.
QSet<SiblingProcess *> &ourProcesses()
{
    static QSet<SiblingProcess *> processes;
    return processes;
}

// Asks the process to end and forces it from a timer after the grace time; the timer goes
// with the process, so it can never hit a later one.
void endProcess(SiblingProcess *process, int graceMs)
{
    if (process->state() == QProcess::NotRunning)
        return;
    if (graceMs <= 0) {
        process->ending = true;
        process->kill();
        return;
    }
    if (std::exchange(process->ending, true))
        return; // its timer runs already
    process->terminate();
    QTimer::singleShot(graceMs, process, [process] {
        if (process->state() != QProcess::NotRunning)
            process->kill();
    });
}

// The process has gone (or never ran): no longer ours to track, and deleted when nobody
// holds it any more. Deleted later: this runs inside the process's own signal.
void processGone(SiblingProcess *process)
{
    ourProcesses().remove(process);
    if (process->ownerGone)
        process->deleteLater();
}

} // namespace

ChildProcess::ChildProcess(QObject *parent)
    : QObject(parent)
{
    liveChildren().insert(this);
}

ChildProcess::~ChildProcess()
{
    liveChildren().remove(this);
    release();
}

// Lets go of the current process: one still running is asked to end (unless it was already)
// and lives on, tracked, until it has gone.
void ChildProcess::release()
{
    auto *process = static_cast<SiblingProcess *>(std::exchange(m_process, nullptr));
    if (!process)
        return;
    disconnect(process, nullptr, this, nullptr);
    process->ownerGone = true;
    if (process->state() == QProcess::NotRunning) {
        ourProcesses().remove(process);
        process->deleteLater();
        return;
    }
    endProcess(process, kEndGraceMs);
}

void ChildProcess::setProgramFolder(const QString &folder)
{
    programFolderOverride() = folder;
}

QString ChildProcess::programFolder()
{
    const QString &folder = programFolderOverride();
    return folder.isEmpty() ? QCoreApplication::applicationDirPath() : folder;
}

QString ChildProcess::resolveProgram(const QString &name)
{
    const QFileInfo beside(programFolder() + u'/' + name);
    if (beside.isFile() && beside.isExecutable())
        return beside.absoluteFilePath();
    return QStandardPaths::findExecutable(name);
}

bool ChildProcess::start(const CommandLine &command)
{
    release();
    m_errorText.clear();
    m_failedToStart = false;
    m_decoder.resetState();
    m_programName = command.program;
    const QString program = resolveProgram(command.program);
    if (program.isEmpty()) {
        m_errorText = u"The system cannot find the file specified: %1"_s.arg(command.program);
        return false;
    }
    auto *process = new SiblingProcess;
    m_process = process;
    ourProcesses().insert(process);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setInputChannelMode(QProcess::ManagedInputChannel);
    connect(process, &QProcess::finished, process, [process] { processGone(process); });
    connect(process, &QProcess::errorOccurred, process, [process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            processGone(process);
    });
    connect(process, &QProcess::finished, this, &ChildProcess::finished);
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        m_failedToStart = true;
        m_errorText = process->errorString();
        Q_EMIT finished();
    });
    process->setProgram(program);
    process->setArguments(command.arguments);
    process->start(QIODevice::ReadOnly);
    process->closeWriteChannel(); // the child reads nothing from us
    return true;
}

QString ChildProcess::readPipeText()
{
    if (!m_process || m_process->bytesAvailable() == 0)
        return {};
    return m_decoder.decode(m_process->readAll());
}

bool ChildProcess::isRunning() const
{
    return m_process && m_process->state() != QProcess::NotRunning;
}

qint64 ChildProcess::processId() const
{
    return m_process ? m_process->processId() : 0;
}

bool ChildProcess::isDrained() const
{
    return !isRunning() && (!m_process || m_process->bytesAvailable() == 0);
}

bool ChildProcess::exitedCleanly() const
{
    return m_process && !m_failedToStart && m_process->state() == QProcess::NotRunning
        && m_process->exitStatus() == QProcess::NormalExit && m_process->exitCode() == 0;
}

void ChildProcess::end(int graceMs)
{
    if (m_process)
        endProcess(static_cast<SiblingProcess *>(m_process), graceMs);
}

bool ChildProcess::isEnding() const
{
    return isRunning() && static_cast<const SiblingProcess *>(m_process)->ending;
}

int ChildProcess::KillProcessByName(const QString &programName)
{
    int ended = 0;
    const QSet<ChildProcess *> children = liveChildren();
    for (ChildProcess *child : children) {
        if (child->m_programName == programName && child->isRunning()) {
            child->end();
            ++ended;
        }
    }
    return ended;
}

int ChildProcess::runningCount()
{
    return int(ourProcesses().size());
}

void ChildProcess::settleBeforeExit()
{
    if (ourProcesses().isEmpty())
        return;
    QEventLoop loop;
    const QSet<SiblingProcess *> processes = ourProcesses();
    for (SiblingProcess *process : processes) {
        endProcess(process, kEndGraceMs);
        // Queued: the process's own handler has taken it off the list by then.
        connect(
            process, &QProcess::finished, &loop,
            [&loop] {
                if (ourProcesses().isEmpty())
                    loop.quit();
            },
            Qt::QueuedConnection);
    }
    // Each is forced after its grace; this bounds the rest (a process the system cannot end).
    QTimer::singleShot(kEndGraceMs + 2000, &loop, &QEventLoop::quit);
    loop.exec();
}
