#include "sources/sourceintake.h"

#include "sources/mediaprobe.h"
#include "sources/probequeue.h"
#include "sources/sourceadder.h"

#include <QDir>

namespace {
constexpr int kRetryMs = 100;
}

SourceIntake::SourceIntake(SourceAdder &adder, const QString &scratchFolder, QObject *parent)
    : QObject(parent)
    , m_adder(adder)
    , m_probes(std::make_unique<ProbeQueue>(scratchFolder))
{
    connect(m_probes.get(), &ProbeQueue::probed, this, &SourceIntake::received);
    m_retry.setInterval(kRetryMs);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &SourceIntake::deliver);
}

SourceIntake::~SourceIntake() = default;

void SourceIntake::setSimultaneous(int count)
{
    m_probes->setSimultaneous(count);
}

bool SourceIntake::isBusy() const
{
    return m_probes->isBusy() || !m_ready.empty() || m_delivering;
}

void SourceIntake::add(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    if (!isBusy()) {
        m_done = m_total = 0;
        m_clock.start();
    }
    QStringList absolute;
    for (const QString &path : paths)
        absolute << QDir::current().absoluteFilePath(path);
    m_total += int(absolute.size());
    m_probes->add(absolute);
    Q_EMIT progress(m_done, m_total);
}

void SourceIntake::stop()
{
    m_probes->cancel();
    m_ready.clear();
    m_retry.stop();
    m_total = m_done + (m_delivering ? 1 : 0); // the file in the adder's hands still counts
    checkFinished();
}

void SourceIntake::received(const QString &path, const ProbeRun &run)
{
    m_ready.emplace_back(path, std::make_unique<ProbeRun>(run));
    deliver();
}

void SourceIntake::deliver()
{
    // Inside the adder's own box (a refusal) nothing more is delivered: the next file waits
    // for the box to close, as does any file while another box is open.
    if (m_delivering)
        return;
    m_delivering = true;
    while (!m_ready.empty()) {
        if (m_gate && !m_gate()) {
            m_retry.start();
            break;
        }
        auto [path, run] = std::move(m_ready.front());
        m_ready.pop_front();
        m_adder.acceptProbe(path, *run);
        ++m_done;
        Q_EMIT progress(m_done, m_total);
    }
    m_delivering = false;
    checkFinished();
}

void SourceIntake::checkFinished()
{
    if (!isBusy() && m_clock.isValid()) {
        m_clock.invalidate();
        Q_EMIT finished();
    }
}
