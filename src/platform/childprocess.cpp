#include "platform/childprocess.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

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

} // namespace

ChildProcess::ChildProcess(QObject *parent)
    : QObject(parent)
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setInputChannelMode(QProcess::ManagedInputChannel);
    connect(&m_process, &QProcess::finished, this, &ChildProcess::finished);
    liveChildren().insert(this);
}

ChildProcess::~ChildProcess()
{
    liveChildren().remove(this);
    // A child still running when its owner goes is not left behind as an orphan we no
    // longer track.
    if (m_process.state() != QProcess::NotRunning)
        end(500);
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
    m_errorText.clear();
    m_decoder.resetState();
    m_programName = command.program;
    const QString program = resolveProgram(command.program);
    if (program.isEmpty()) {
        m_errorText = u"The system cannot find the file specified: %1"_s.arg(command.program);
        return false;
    }
    m_process.setProgram(program);
    m_process.setArguments(command.arguments);
    m_process.start(QIODevice::ReadOnly);
    if (!m_process.waitForStarted(10000)) {
        m_errorText = m_process.errorString();
        return false;
    }
    m_process.closeWriteChannel(); // the child reads nothing from us
    return true;
}

QString ChildProcess::readPipeText()
{
    if (m_process.bytesAvailable() == 0)
        return {};
    return m_decoder.decode(m_process.readAll());
}

bool ChildProcess::waitForFinished(int timeoutMs)
{
    if (m_process.state() == QProcess::NotRunning)
        return true;
    // QProcess takes -1 as "for ever"; here every wait has its limit.
    return m_process.waitForFinished(std::max(timeoutMs, 0));
}

bool ChildProcess::isRunning() const
{
    return m_process.state() != QProcess::NotRunning;
}

qint64 ChildProcess::processId() const
{
    return m_process.processId();
}

bool ChildProcess::isDrained() const
{
    return m_process.state() == QProcess::NotRunning && m_process.bytesAvailable() == 0;
}

bool ChildProcess::exitedCleanly() const
{
    return m_process.state() == QProcess::NotRunning && m_process.exitStatus() == QProcess::NormalExit
        && m_process.exitCode() == 0;
}

void ChildProcess::end(int graceMs)
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    graceMs = std::max(graceMs, 0);
    m_process.terminate();
    if (!m_process.waitForFinished(graceMs)) {
        m_process.kill();
        m_process.waitForFinished(graceMs);
    }
}

int ChildProcess::KillProcessByName(const QString &programName)
{
    int ended = 0;
    const QSet<ChildProcess *> children = liveChildren(); // end() runs no caller code, but be safe
    for (ChildProcess *child : children) {
        if (child->m_programName == programName && child->isRunning()) {
            child->end();
            ++ended;
        }
    }
    return ended;
}
