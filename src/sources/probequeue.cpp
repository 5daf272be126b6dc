#include "sources/probequeue.h"

#include "core/siblingcommands.h"
#include "platform/childprocess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <utility>

using namespace Qt::StringLiterals;

namespace {
constexpr int kTickMs = 50;
}

struct ProbeQueue::Item
{
    QString path;
    std::unique_ptr<ChildProcess> child;
    QString scratchPath;
    QElapsedTimer clock;
    ProbeRun run;
    bool started = false;
    bool ended = false;
};

ProbeQueue::ProbeQueue(QString scratchFolder, QObject *parent)
    : QObject(parent)
    , m_scratchFolder(std::move(scratchFolder))
{
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &ProbeQueue::tick);
    m_sweeper.setMaxThreadCount(1);
}

ProbeQueue::~ProbeQueue()
{
    cancel();
    m_sweeper.waitForDone();
}

void ProbeQueue::removeScratch(const QString &path)
{
    if (!path.isEmpty())
        m_sweeper.start([path] { QFile::remove(path); });
}

void ProbeQueue::setSimultaneous(int count)
{
    m_simultaneous = qMax(1, count);
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
        m_items.push_back(std::move(item));
    }
    m_given += int(absolutePaths.size());
    m_busy = true;
    QDir().mkpath(m_scratchFolder);
    m_timer.start();
    startProbes();
}

void ProbeQueue::cancel()
{
    for (const auto &item : m_items) {
        if (item->child && item->child->isRunning())
            item->child->end(0);
        removeScratch(item->scratchPath);
    }
    m_items.clear();
    m_timer.stop();
    if (std::exchange(m_busy, false))
        Q_EMIT idle();
}

void ProbeQueue::startProbes()
{
    // Files are started in the order given and leave in that order, so the started ones are
    // always the front of the queue: a long add is not walked whole on every tick.
    int running = 0;
    for (const auto &item : m_items) {
        if (!item->started)
            break;
        running += item->ended ? 0 : 1;
    }
    for (const auto &item : m_items) {
        if (running >= m_simultaneous)
            break;
        if (item->started)
            continue;
        item->started = true;
        item->child = std::make_unique<ChildProcess>();
        // A probe's end is acted on at once, so the next one starts without waiting for a tick.
        connect(item->child.get(), &ChildProcess::finished, this, &ProbeQueue::tick, Qt::QueuedConnection);
        item->scratchPath
            = m_scratchFolder + u"/inadd-%1-%2.wav"_s.arg(QCoreApplication::applicationPid()).arg(++m_scratchCount);
        if (!item->child->start(ProbeCommand(item->path, item->scratchPath))) {
            item->run.errorText = item->child->errorText();
            item->child.reset();
            item->ended = true;
            continue;
        }
        item->run.started = true;
        item->clock.start();
        ++running;
    }
}

void ProbeQueue::follow(Item &item)
{
    if (!item.started || item.ended || !item.child)
        return;
    const bool ended = !item.child->isRunning();
    item.run.text += item.child->readPipeText();
    if (ended && item.child->isDrained()) {
        item.ended = true;
    } else if (item.clock.elapsed() > m_timeoutMs) {
        // A probe that never ends is no usable source.
        item.child->end(0);
        item.run.text += item.child->readPipeText();
        item.run.timedOut = true;
        item.ended = true;
    }
    if (item.ended) {
        item.child.reset();
        removeScratch(item.scratchPath);
    }
}

void ProbeQueue::tick()
{
    for (const auto &item : m_items) {
        if (!item->started)
            break;
        follow(*item);
    }
    startProbes();
    handOn();
}

void ProbeQueue::handOn()
{
    // A receiver may open a modal box whose loop runs our timer: it never receives a second
    // file inside the first.
    if (m_handingOn)
        return;
    m_handingOn = true;
    while (!m_items.empty() && m_items.front()->ended) {
        std::unique_ptr<Item> item = std::move(m_items.front());
        m_items.pop_front();
        ++m_handedOn;
        Q_EMIT probed(item->path, item->run);
        startProbes();
    }
    m_handingOn = false;
    if (m_items.empty()) {
        m_timer.stop();
        if (std::exchange(m_busy, false))
            Q_EMIT idle();
    }
}
