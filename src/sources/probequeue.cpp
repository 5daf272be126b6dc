#include "sources/probequeue.h"

#include "sources/probeworker.h"

#include <QCoreApplication>
#include <QDir>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace {
// Requests a worker holds at once: the next is there the moment it answers one, whatever the
// window is doing meanwhile.
constexpr int kRequestsAhead = 8;
constexpr int kLimitCheckMs = 100;
// Workers idle this long end: a probe worker holds the decoding libraries in memory.
constexpr int kIdleCloseMs = 10000;
} // namespace

struct ProbeQueue::Item
{
    QString path;
    ProbeRun run;
    bool ended = false;
};

struct ProbeQueue::Worker
{
    ProbeWorker *process = nullptr; // a child of the queue, deleted once it has ended
    std::deque<Item *> asked; // unanswered, in the order asked
};

ProbeQueue::ProbeQueue(QString scratchFolder, QObject *parent)
    : QObject(parent)
    , m_scratchFolder(std::move(scratchFolder))
{
    m_limits.setInterval(kLimitCheckMs);
    connect(&m_limits, &QTimer::timeout, this, &ProbeQueue::checkTimeLimits);
    m_idleClose.setSingleShot(true);
    m_idleClose.setInterval(kIdleCloseMs);
    connect(&m_idleClose, &QTimer::timeout, this, &ProbeQueue::closeIdleWorkers);
}

ProbeQueue::~ProbeQueue()
{
    cancel();
}

void ProbeQueue::setSimultaneous(int count)
{
    m_simultaneous = qMax(2, count);
}

QList<qint64> ProbeQueue::workerProcessIds() const
{
    QList<qint64> ids;
    for (const auto &worker : m_workers)
        ids << worker->process->processId();
    return ids;
}

void ProbeQueue::add(const QStringList &absolutePaths)
{
    if (absolutePaths.isEmpty())
        return;
    if (m_items.empty())
        m_handedOn = m_given = 0;
    for (const QString &path : absolutePaths) {
        auto item = std::make_unique<Item>();
        item->path = path;
        m_waiting.push_back(item.get());
        m_items.push_back(std::move(item));
    }
    m_given += int(absolutePaths.size());
    m_busy = true;
    m_idleClose.stop();
    QDir().mkpath(m_scratchFolder);
    m_limits.start();
    dispatch();
    handOn();
}

void ProbeQueue::cancel()
{
    // A busy worker would go on with files nobody wants; an idle one may serve the next add.
    for (std::size_t i = m_workers.size(); i-- > 0;) {
        if (!m_workers[i]->asked.empty()) {
            m_workers[i]->asked.clear();
            retire(*m_workers[i]);
        }
    }
    m_waiting.clear();
    m_items.clear();
    m_limits.stop();
    if (std::exchange(m_busy, false)) {
        m_idleClose.start();
        Q_EMIT idle();
    }
}

ProbeQueue::Worker *ProbeQueue::startWorker()
{
    auto worker = std::make_unique<Worker>();
    worker->process = new ProbeWorker(
        m_scratchFolder + u"/inadd-%1-%2.wav"_s.arg(QCoreApplication::applicationPid()).arg(++m_scratchCount), this);
    ProbeWorker *process = worker->process;
    connect(process, &ProbeWorker::answered, this, [this, process](const QString &text) { answered(process, text); });
    connect(process, &ProbeWorker::ended, this, [this, process] { workerEnded(process); });
    if (!process->start()) {
        // No transcoder to start: the file waiting first is refused for it, as a probe of
        // its own would have been.
        Item *item = m_waiting.front();
        m_waiting.pop_front();
        item->run.errorText = process->errorText();
        item->ended = true;
        delete process;
        return nullptr;
    }
    m_workers.push_back(std::move(worker));
    return m_workers.back().get();
}

ProbeQueue::Worker *ProbeQueue::freeWorker()
{
    Worker *best = nullptr;
    for (const auto &worker : m_workers) {
        if (!best || worker->asked.size() < best->asked.size())
            best = worker.get();
    }
    // A file waits rather than join a busy worker while another may start.
    if ((!best || !best->asked.empty()) && int(m_workers.size()) < m_simultaneous)
        return startWorker();
    return best && int(best->asked.size()) < kRequestsAhead ? best : nullptr;
}

void ProbeQueue::dispatch()
{
    while (!m_waiting.empty()) {
        const std::size_t waiting = m_waiting.size();
        Worker *worker = freeWorker();
        if (!worker) {
            if (m_waiting.size() < waiting)
                continue; // a start failed and cost the first file: try the next
            break;
        }
        Item *item = m_waiting.front();
        m_waiting.pop_front();
        worker->asked.push_back(item);
        worker->process->request(item->path);
    }
}

std::vector<std::unique_ptr<ProbeQueue::Worker>>::iterator ProbeQueue::find(ProbeWorker *process)
{
    return std::find_if(m_workers.begin(), m_workers.end(), [process](const auto &w) { return w->process == process; });
}

void ProbeQueue::answered(ProbeWorker *process, const QString &text)
{
    const auto worker = find(process);
    if (worker == m_workers.end() || (*worker)->asked.empty())
        return;
    Item *item = (*worker)->asked.front();
    (*worker)->asked.pop_front();
    item->run.started = true;
    item->run.text = text;
    item->ended = true;
    dispatch();
    handOn();
}

void ProbeQueue::workerEnded(ProbeWorker *process)
{
    const auto worker = find(process);
    if (worker == m_workers.end())
        return;
    // The file it was on is the one that cost it; had it never started, the file is refused
    // the way a probe that cannot start is. One that ended as it said it would (after a
    // stalled probe) had begun none of the files it still held.
    if (!(*worker)->asked.empty() && !process->endsAfterAnswer()) {
        Item *item = (*worker)->asked.front();
        (*worker)->asked.pop_front();
        if (process->hasStarted()) {
            item->run.started = true;
            item->run.text = process->partialAnswer();
            item->run.died = true;
        } else {
            item->run.errorText = process->errorText();
        }
        item->ended = true;
    }
    retire(**worker);
    dispatch();
    handOn();
}

void ProbeQueue::retire(Worker &worker)
{
    for (auto it = worker.asked.rbegin(); it != worker.asked.rend(); ++it)
        m_waiting.push_front(*it);
    ProbeWorker *process = worker.process;
    process->disconnect(this);
    connect(process, &ProbeWorker::ended, process, &QObject::deleteLater);
    process->stop();
    const auto at = find(process);
    m_workers.erase(at); // `worker` is gone from here on
    if (!process->isRunning())
        process->deleteLater();
}

void ProbeQueue::checkTimeLimits()
{
    for (std::size_t i = m_workers.size(); i-- > 0;) {
        Worker &worker = *m_workers[i];
        if (worker.asked.empty() || worker.process->currentRequestMs() <= m_timeoutMs)
            continue;
        // A probe that never ends is no usable source.
        Item *item = worker.asked.front();
        worker.asked.pop_front();
        item->run.started = true;
        item->run.text = worker.process->partialAnswer();
        item->run.timedOut = true;
        item->ended = true;
        retire(worker);
    }
    dispatch();
    handOn();
}

void ProbeQueue::closeIdleWorkers()
{
    for (std::size_t i = m_workers.size(); i-- > 0;) {
        if (!m_workers[i]->asked.empty())
            continue;
        ProbeWorker *process = m_workers[i]->process;
        process->disconnect(this);
        connect(process, &ProbeWorker::ended, process, &QObject::deleteLater);
        process->finish();
        m_workers.erase(m_workers.begin() + std::ptrdiff_t(i));
    }
}

void ProbeQueue::handOn()
{
    // A receiver may open a modal box whose loop runs our signals: it never receives a second
    // file inside the first.
    if (m_handingOn)
        return;
    m_handingOn = true;
    while (!m_items.empty() && m_items.front()->ended) {
        std::unique_ptr<Item> item = std::move(m_items.front());
        m_items.pop_front();
        ++m_handedOn;
        Q_EMIT probed(item->path, item->run);
    }
    m_handingOn = false;
    if (m_items.empty()) {
        m_limits.stop();
        if (std::exchange(m_busy, false)) {
            m_idleClose.start();
            Q_EMIT idle();
        }
    }
}
