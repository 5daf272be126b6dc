#include "sources/probeworker.h"

#include "core/siblingcommands.h"
#include "platform/childprocess.h"
#include "protocol/probeworker.h"

#include <QFile>
#include <QTimer>

#include <utility>

using namespace Qt::StringLiterals;

namespace {
// A worker asked to end that has not, a second later, is ended by force.
constexpr int kStopGraceMs = 1000;
const QByteArray kAnswerEnd(probeworker::kAnswerEnd.data(), qsizetype(probeworker::kAnswerEnd.size()));
const QByteArray kLineAndAnswerEnd = '\n' + kAnswerEnd;
} // namespace

ProbeWorker::ProbeWorker(QString scratchPath, QObject *parent)
    : QObject(parent)
    , m_scratchPath(std::move(scratchPath))
    , m_process(new QProcess(this))
{
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    connect(m_process, &QProcess::started, this, [this] { m_started = true; });
    connect(m_process, &QProcess::readyReadStandardOutput, this, &ProbeWorker::readAnswers);
    connect(m_process, &QProcess::finished, this, &ProbeWorker::onEnded);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        m_errorText = m_process->errorString();
        onEnded();
    });
}

ProbeWorker::~ProbeWorker()
{
    m_process->disconnect(this);
    if (m_process->state() != QProcess::NotRunning) {
        // Only when the queue itself goes (the program ends): the worker is killed outright
        // and reaped when the event loop hears it has gone; nothing here waits for it.
        QProcess *process = m_process;
        process->setParent(nullptr);
        connect(process, &QProcess::finished, process, &QObject::deleteLater);
        process->kill();
        QFile::remove(m_scratchPath);
    }
}

bool ProbeWorker::start()
{
    const QString program = ChildProcess::resolveProgram(kTranscoderName.toString());
    if (program.isEmpty()) {
        m_errorText = u"The system cannot find the file specified: %1"_s.arg(kTranscoderName);
        return false;
    }
    m_process->start(program,
        { kSiblingKey.toString(), QString::fromLatin1(probeworker::kOption.data(), probeworker::kOption.size()),
            m_scratchPath });
    return !m_ended; // QProcess may tell a failed start before start() returns
}

void ProbeWorker::request(const QString &sourcePath)
{
    if (m_ended)
        return;
    if (m_unanswered++ == 0)
        m_current.start();
    const std::string line = probeworker::encodeRequest(sourcePath.toStdString());
    m_process->write(line.data(), qint64(line.size()));
}

void ProbeWorker::finish()
{
    if (m_process->state() != QProcess::NotRunning)
        m_process->closeWriteChannel();
}

void ProbeWorker::stop()
{
    if (m_process->state() == QProcess::NotRunning)
        return;
    m_process->terminate();
    QTimer::singleShot(kStopGraceMs, this, [this] {
        if (m_process->state() != QProcess::NotRunning)
            m_process->kill();
    });
}

void ProbeWorker::readAnswers()
{
    m_buffer += m_process->readAllStandardOutput();
    // The end line always begins a line: everything before it ends in a line break.
    for (;;) {
        qsizetype at = m_buffer.startsWith(kAnswerEnd) ? 0 : m_buffer.indexOf(kLineAndAnswerEnd);
        if (at < 0)
            return;
        if (at > 0)
            ++at; // the answer keeps its last line break
        const qsizetype lineEnd = m_buffer.indexOf('\n', at);
        if (lineEnd < 0)
            return;
        const QString text = QString::fromUtf8(m_buffer.constData(), at);
        const int status = m_buffer.mid(at + kAnswerEnd.size(), lineEnd - at - kAnswerEnd.size()).trimmed().toInt();
        m_endsAfterAnswer = status == probeworker::kEndsAfterStatus;
        m_buffer.remove(0, lineEnd + 1);
        if (m_unanswered == 0)
            continue; // nothing was asked: not ours to hand on
        if (--m_unanswered > 0)
            m_current.start();
        Q_EMIT answered(text);
    }
}

void ProbeWorker::onEnded()
{
    if (std::exchange(m_ended, true))
        return;
    readAnswers();
    // A worker ended by force leaves its scratch file behind; one that ended by itself has
    // removed it.
    if (m_started && (m_process->exitStatus() != QProcess::NormalExit || m_process->exitCode() != 0))
        QFile::remove(m_scratchPath);
    Q_EMIT ended();
}
