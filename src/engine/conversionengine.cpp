#include "engine/conversionengine.h"

#include "core/conversionfailure.h"
#include "core/logsink.h"
#include "core/siblingcommands.h"
#include "core/timecode.h"
#include "engine/conversioncommand.h"
#include "engine/rowconversion.h"
#include "engine/rowrefusal.h"
#include "engine/transcodertext.h"
#include "platform/childprocess.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

constexpr int kTickMs = 100;

} // namespace

ConversionEngine::ConversionEngine(QueueRows &rows, LogSink &log, QObject *parent)
    : QObject(parent)
    , m_rows(rows)
    , m_log(log)
{
    m_ownTimer.setInterval(kTickMs);
    connect(&m_ownTimer, &QTimer::timeout, this, &ConversionEngine::tick);
    // A row that can only fail (a range of no length) is refused before anything is started.
    m_rowCheck = RowRefusal;
}

ConversionEngine::~ConversionEngine()
{
    // Our transcoders are asked to end with us (each removes its own temporary file); the
    // children's own bookkeeping forces any that does not within its grace.
    for (const auto &run : m_runs)
        run->child().end();
}

void ConversionEngine::useTickTimer(QTimer *timer)
{
    const bool active = m_timer->isActive();
    m_timer->stop();
    disconnect(m_timer, &QTimer::timeout, this, &ConversionEngine::tick);
    m_timer = timer;
    connect(m_timer, &QTimer::timeout, this, &ConversionEngine::tick);
    if (active)
        m_timer->start();
}

void ConversionEngine::setSimultaneous(int count)
{
    m_simultaneous = qMax(1, count);
    if (m_running)
        fillSlots();
}

bool ConversionEngine::start()
{
    std::vector<QueueRows::RowId> rows;
    for (int row = 0; row < m_rows.rowCount(); ++row) {
        if (!m_rows.status(row).isDone())
            rows.push_back(m_rows.rowId(row));
    }
    return start(rows);
}

bool ConversionEngine::start(const std::vector<QueueRows::RowId> &rows)
{
    if (m_running)
        return false;
    m_running = true;
    m_abandoned = false;
    m_endedSeconds = 0;
    // The rows present now, held by identity: a row added meanwhile waits for the next batch,
    // and one renamed or moved meanwhile is still found.
    m_waiting.assign(rows.begin(), rows.end());
    // Marked once the batch is known: whoever follows the statuses may add rows meanwhile.
    for (const QueueRows::RowId id : m_waiting) {
        if (const int row = m_rows.rowOfId(id); row >= 0 && m_rows.status(row).state == RowState::Ready)
            m_rows.setStatus(row, RowStatus::in(RowState::Waiting));
    }
    m_timer->start(); // also retries a start the gate held back
    Q_EMIT queueStarted();
    fillSlots();
    finishIfDone();
    return true;
}

void ConversionEngine::append(const std::vector<QueueRows::RowId> &rows)
{
    if (!m_running || m_abandoned)
        return;
    for (const QueueRows::RowId id : rows) {
        m_waiting.push_back(id);
        if (const int row = m_rows.rowOfId(id); row >= 0 && m_rows.status(row).state == RowState::Ready)
            m_rows.setStatus(row, RowStatus::in(RowState::Waiting));
    }
    fillSlots();
}

void ConversionEngine::setMoreToCome(bool more)
{
    m_moreToCome = more;
    if (!more)
        finishIfDone();
}

int ConversionEngine::convRow() const
{
    if (!m_runs.empty())
        return m_rows.rowOfId(m_runs.front()->id());
    return m_lastRowId ? m_rows.rowOfId(*m_lastRowId) : -1;
}

qint64 ConversionEngine::transcoderProcessId(int row) const
{
    for (const auto &run : m_runs) {
        if (m_rows.rowOfId(run->id()) == row)
            return run->child().processId();
    }
    return 0;
}

std::vector<qint64> ConversionEngine::transcoderProcessIds() const
{
    std::vector<qint64> ids;
    for (const auto &run : m_runs)
        ids.push_back(run->child().processId());
    return ids;
}

std::vector<ConversionEngine::RunningChild> ConversionEngine::runningChildren() const
{
    std::vector<RunningChild> children;
    for (const auto &run : m_runs)
        children.push_back({ run->child().processId(), run->outputPath() });
    return children;
}

int ConversionEngine::batchTotalSeconds() const
{
    int total = m_endedSeconds;
    for (const auto &run : m_runs)
        total += run->totalSeconds();
    for (const QueueRows::RowId id : m_waiting) {
        const int row = m_rows.rowOfId(id);
        if (row >= 0 && !m_rows.status(row).isDone())
            total += LengthSecondsOrZero(m_rows.job(row).Length);
    }
    return total;
}

int ConversionEngine::batchDoneSeconds() const
{
    int done = m_endedSeconds;
    for (const auto &run : m_runs)
        done += qMin(run->position(), run->totalSeconds());
    return done;
}

void ConversionEngine::fillSlots()
{
    while (m_running && !m_abandoned && !m_waiting.empty() && runningCount() < m_simultaneous) {
        if (m_gate && !m_gate())
            return; // the timer tries again
        const QueueRows::RowId id = m_waiting.front();
        m_waiting.pop_front();
        const int row = m_rows.rowOfId(id);
        if (row < 0 || m_rows.status(row).isDone())
            continue;
        startRow(id);
    }
}

bool ConversionEngine::isTakenByRunningRow(const QString &path) const
{
    return std::any_of(m_runs.begin(), m_runs.end(), [&](const auto &run) { return run->outputPath() == path; });
}

bool ConversionEngine::startRow(QueueRows::RowId id)
{
    m_convFinished = false;
    m_lastRowId = id;
    const int row = m_rows.rowOfId(id);
    TStartRecord &job = m_rows.job(row);
    if (m_rowCheck) {
        if (const auto refusal = m_rowCheck(job)) {
            m_log.append(u"\n"_s + *refusal + u"\n"_s, LogSink::View::Newest);
            m_rows.setStatus(row, RowStatus::refused(refusal->trimmed()));
            m_convFinished = m_runs.empty();
            Q_EMIT rowFailed(row, *refusal);
            Q_EMIT rowEnded(row, false);
            return false;
        }
    }
    // A row added with its folder writes into its own sub-folders, made when its turn comes.
    if (!job.RelativeFolder.isEmpty())
        QDir().mkpath(QFileInfo(job.OutputPath.text()).path());
    // A file some row still reads is never replaced, whatever was agreed when it was free.
    for (int other = 0; other < m_rows.rowCount() && !job.Replace.isEmpty(); ++other)
        if (IsSameFile(m_rows.job(other).SourcePath, job.Replace.path))
            job.Replace = {};
    if (const QString free = FreeOutputPath(job, [this](const QString &path) { return isTakenByRunningRow(path); });
        free != job.OutputPath.text()) {
        job.OutputPath = free;
        m_rows.setDestination(row, QFileInfo(free).fileName());
    }
    const CommandLine command = WithOutputCheck(BuildConversionCommand(job));

    // One at a time, the row's own line goes before its transcoder text as it arrives; with
    // several, it heads the row's whole text once the row has ended.
    if (m_simultaneous == 1 && m_runs.empty())
        m_log.append(ConversionLogHeader(job.SourcePath, job.OutputPath), LogSink::View::Newest);
    auto child = std::make_unique<ChildProcess>();
    if (!child->start(command)) {
        // The row keeps its status; a later row's end sets convFinished again.
        Q_EMIT startFailed(child->errorText());
        return false;
    }
    // A child's end is acted on at once rather than at the next tick, so no slot stands idle.
    connect(child.get(), &ChildProcess::finished, this, &ConversionEngine::tick, Qt::QueuedConnection);
    const int seconds = LengthSecondsOrZero(job.Length);
    const bool headed = m_simultaneous == 1 && m_runs.empty();
    m_runs.push_back(std::make_unique<RowConversion>(id, std::move(child), seconds, job.OutputPath));
    m_runs.back()->setLogHeading(job.SourcePath, headed);
    Q_EMIT rowStarted(row, seconds);
    if (m_simultaneous == 1)
        Q_EMIT progressChanged(0);
    m_rows.setStatus(row, RowStatus::converting(0));
    return true;
}

void ConversionEngine::tick()
{
    // A handler of one of our signals may open a modal box whose loop runs the timer again.
    if (m_inTick)
        return;
    m_inTick = true;
    for (std::size_t i = 0; i < m_runs.size() && !m_abandonPending;) {
        RowConversion *run = m_runs[i].get();
        follow(*run);
        if (i < m_runs.size() && m_runs[i].get() == run)
            ++i;
    }
    m_inTick = false;
    if (std::exchange(m_abandonPending, false)) {
        endRunningChildren();
        finishIfDone();
        return;
    }
    fillSlots();
    finishIfDone();
}

void ConversionEngine::follow(RowConversion &run)
{
    if (run.child().failedToStart()) {
        forgetUnstarted(run);
        return;
    }
    const RowConversion::Reading reading = run.read();
    const bool alone = m_simultaneous == 1 && m_runs.size() == 1;
    if (!reading.text.isEmpty() && run.headedInLog())
        m_log.append(reading.text, LogSink::View::Newest);
    const int row = m_rows.rowOfId(run.id());
    if (reading.position) {
        Q_EMIT rowProgress(row, *reading.position);
        if (m_abandonPending)
            return;
        if (alone)
            Q_EMIT progressChanged(*reading.position);
        if (row >= 0) {
            const int percent = RowPercent(*reading.position, run.totalSeconds()).value_or(m_rows.status(row).percent);
            m_rows.setStatus(row, RowStatus::converting(percent, *reading.position));
        }
    }
    if (reading.summary && alone)
        Q_EMIT progressChanged(100);
    if (reading.verdict == RowConversion::Verdict::Running)
        return;
    if (!reading.reason.isEmpty() && run.headedInLog())
        m_log.append(u"\n"_s + reading.reason + u"\n"_s, LogSink::View::Newest);
    endRun(run, reading.verdict == RowConversion::Verdict::Converted, reading.reason);
}

void ConversionEngine::endRun(RowConversion &run, bool converted, const QString &why)
{
    const QueueRows::RowId id = run.id();
    const int row = m_rows.rowOfId(id);
    const QString text = run.text();
    if (!run.headedInLog()) {
        // Several at once: the row's whole text in one piece, under the line naming it.
        QString block = ConversionLogHeader(run.sourcePath(), run.outputPath()) + text;
        if (!why.isEmpty())
            block += u"\n"_s + why + u"\n"_s;
        m_log.append(block, LogSink::View::Newest);
    }
    m_endedSeconds += run.totalSeconds();
    std::unique_ptr<ChildProcess> child = run.releaseChild();
    if (child && child->isRunning()) {
        // Not waited for and not ended: it ends by itself once it has said its last.
        disconnect(child.get(), nullptr, this, nullptr);
        keepFinishing(std::move(child));
    }
    std::erase_if(m_runs, [&run](const auto &r) { return r.get() == &run; });
    if (m_runs.empty())
        m_convFinished = true;
    if (m_simultaneous == 1)
        Q_EMIT progressChanged(0);
    const QString reason = converted ? QString() : FailureReason(text);
    if (row >= 0)
        m_rows.setStatus(
            row, converted ? RowStatus::in(RowState::Done) : RowStatus::failed(reason.isEmpty() ? why : reason));
    if (!converted)
        Q_EMIT rowFailed(row, reason.isEmpty() ? why : reason);
    Q_EMIT rowEnded(row, converted);
}

void ConversionEngine::keepFinishing(std::unique_ptr<ChildProcess> child)
{
    ChildProcess *finishing = child.get();
    disconnect(finishing, nullptr, this, nullptr);
    connect(
        finishing, &ChildProcess::finished, this,
        [this, finishing] {
            std::erase_if(m_finishing, [finishing](const auto &c) { return c.get() == finishing; });
            if (m_finishing.empty())
                Q_EMIT childrenGone();
        },
        Qt::QueuedConnection);
    m_finishing.push_back(std::move(child));
}

// As when a transcoder cannot be found: the row keeps the status it had before its turn, and
// a later row's end sets convFinished again.
void ConversionEngine::forgetUnstarted(RowConversion &run)
{
    const QString why = run.child().errorText();
    if (const int row = m_rows.rowOfId(run.id()); row >= 0)
        m_rows.setStatus(row, RowStatus::in(RowState::Waiting));
    std::erase_if(m_runs, [&run](const auto &r) { return r.get() == &run; });
    Q_EMIT startFailed(why);
}

void ConversionEngine::endRunningChildren()
{
    for (const auto &run : m_runs) {
        std::unique_ptr<ChildProcess> child = run->releaseChild();
        if (!child || !child->isRunning())
            continue;
        child->end();
        keepFinishing(std::move(child));
    }
    m_runs.clear();
}

void ConversionEngine::releaseWaiting()
{
    for (const QueueRows::RowId id : std::exchange(m_waiting, {})) {
        if (const int row = m_rows.rowOfId(id); row >= 0 && m_rows.status(row).state == RowState::Waiting)
            m_rows.setStatus(row, RowStatus::in(RowState::Ready));
    }
}

void ConversionEngine::finishIfDone()
{
    if (!m_running || !m_runs.empty() || ((!m_waiting.empty() || m_moreToCome) && !m_abandoned))
        return;
    m_running = false;
    releaseWaiting();
    m_timer->stop();
    Q_EMIT queueFinished();
}

void ConversionEngine::abandon()
{
    if (m_running)
        m_abandoned = true;
    releaseWaiting();
    for (const auto &run : m_runs) {
        // Asked now, not waited for: it ends on its own time and is forced after its grace.
        run->child().end();
        // Given up, not failed: it keeps the percentage it reached and converts again next time.
        if (const int row = m_rows.rowOfId(run->id()); row >= 0)
            m_rows.setStatus(row, { RowState::Stopped, m_rows.status(row).percent, {}, m_rows.status(row).position });
    }
    m_timer->stop();
    m_convFinished = true;
    if (m_inTick) {
        // Called from a handler of our own signal: the rows being followed go once it returns.
        m_abandonPending = true;
        return;
    }
    endRunningChildren();
    finishIfDone();
}
