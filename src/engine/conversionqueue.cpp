#include "engine/conversionqueue.h"

#include "core/conversionfailure.h"
#include "core/logsink.h"
#include "core/timecode.h"
#include "engine/conversioncommand.h"
#include "engine/transcodertext.h"
#include "platform/childprocess.h"

#include <QEventLoop>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

constexpr int kWaitStepMs = 100;

// The row's length in whole seconds; 0 when its Length is not a time code (a probe that
// printed nothing): the row still converts, only without a percentage.
int lengthSeconds(const QString &length)
{
    try {
        return qMax(0, TimeCodeToSeconds(length));
    } catch (const ConversionFailure &) {
        return 0;
    }
}

} // namespace

ConversionQueue::ConversionQueue(QueueRows &rows, LogSink &log, QTimer &timer1, QObject *parent)
    : QObject(parent)
    , m_rows(rows)
    , m_log(log)
    , m_timer1(timer1)
{ }

ConversionQueue::~ConversionQueue() = default;

bool ConversionQueue::run()
{
    if (m_running)
        return false;
    m_running = true;
    m_abandoned = false;
    Q_EMIT queueStarted();
    // The rows present now, held by identity: a row added meanwhile waits for the next run,
    // and one renamed or moved meanwhile is still found.
    std::vector<QueueRows::RowId> batch;
    for (int row = 0; row < m_rows.rowCount(); ++row)
        batch.push_back(m_rows.rowId(row));
    for (const QueueRows::RowId id : batch) {
        if (m_abandoned)
            break;
        const int row = m_rows.rowOfId(id);
        if (row < 0 || m_rows.status(row) == kStatusDone)
            continue;
        startRow(id);
        waitForRowEnd();
    }
    m_running = false;
    Q_EMIT queueFinished();
    return !m_abandoned;
}

int ConversionQueue::convRow() const
{
    return m_convRowId ? m_rows.rowOfId(*m_convRowId) : -1;
}

qint64 ConversionQueue::transcoderProcessId() const
{
    return m_child ? m_child->processId() : 0;
}

void ConversionQueue::startRow(QueueRows::RowId id)
{
    m_convFinished = false;
    m_convRowId = id;
    const int row = m_rows.rowOfId(id);
    TStartRecord &job = m_rows.job(row);
    // A file some row still reads is never replaced, whatever was agreed when it was free.
    for (int other = 0; other < m_rows.rowCount() && !job.Replace.isEmpty(); ++other)
        if (IsSameFile(m_rows.job(other).SourcePath, job.Replace.path))
            job.Replace = {};
    const CommandLine command
        = BuildConversionCommand(job, [this, row](const QString &name) { m_rows.setDestination(row, name); });
    // The row's own line before its transcoder text, once its output name is final.
    m_log.append(ConversionLogHeader(job.SourcePath, job.OutputPath), LogSink::View::Newest);

    auto child = std::make_unique<ChildProcess>();
    if (!child->start(command)) {
        // The row keeps its status; a later row's end sets convFinished again.
        Q_EMIT startFailed(child->errorText());
        return;
    }
    m_child = std::move(child);
    m_timer1.start();
    m_convSeconds = lengthSeconds(job.Length);
    Q_EMIT rowStarted(row, m_convSeconds);
    Q_EMIT progressChanged(0);
    m_rows.setStatus(row, kStatusStarted.toString());
}

void ConversionQueue::setCurrentStatus(const QString &status)
{
    if (const int row = convRow(); row >= 0)
        m_rows.setStatus(row, status);
}

void ConversionQueue::waitForRowEnd()
{
    while (!m_convFinished && m_child) {
        QEventLoop step;
        QTimer::singleShot(kWaitStepMs, &step, &QEventLoop::quit);
        // An event loop refuses to start (-1) once the application is quitting: stop here
        // rather than spin, and take our transcoder down with us.
        if (step.exec() != 0)
            abandon();
    }
}

void ConversionQueue::Timer1Timer()
{
    if (!m_child || m_convFinished)
        return;
    const QString text = m_child->readPipeText();
    if (text.isEmpty()) {
        // A transcoder that ended without its summary or an error word failed all the same.
        if (m_child->isDrained()) {
            m_log.append(u"\nThe transcoder ended without finishing the conversion.\n"_s, LogSink::View::Newest);
            endRow(kStatusFailed.toString());
        }
        return;
    }
    m_log.append(text, LogSink::View::Newest);

    if (const auto seconds = ProgressSeconds(text)) {
        Q_EMIT progressChanged(*seconds);
        const QString percent = PercentStatus(*seconds, m_convSeconds);
        if (!percent.isEmpty())
            setCurrentStatus(percent);
    }
    // An error word wins over the summary in the same text.
    const bool success = ReportsSuccess(text);
    const bool failure = ReportsFailure(text);
    if (success)
        Q_EMIT progressChanged(100);
    if (success || failure)
        endRow((failure ? kStatusFailed : kStatusDone).toString());
}

void ConversionQueue::endRow(const QString &status)
{
    m_timer1.stop();
    Q_EMIT progressChanged(0);
    m_convFinished = true;
    setCurrentStatus(status);
    if (m_child && m_child->isRunning()) {
        // Not waited for and not ended: it ends by itself once it has said its last.
        ChildProcess *finishing = m_child.get();
        connect(
            finishing, &ChildProcess::finished, this,
            [this, finishing] {
                std::erase_if(m_finishing, [finishing](const auto &c) { return c.get() == finishing; });
            },
            Qt::QueuedConnection);
        m_finishing.push_back(std::move(m_child));
    }
    m_child.reset();
    Q_EMIT rowEnded(convRow());
}

void ConversionQueue::abandon()
{
    m_abandoned = true;
    if (m_child)
        m_child->end();
    m_child.reset();
    m_timer1.stop();
    m_convFinished = true;
}
