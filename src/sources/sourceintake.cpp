#include "sources/sourceintake.h"

#include "sources/folderwalk.h"
#include "sources/mediaprobe.h"
#include "sources/probequeue.h"
#include "sources/sourceadder.h"

#include <QDir>
#include <QFileInfo>

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
    return m_probes->isBusy() || !m_order.empty() || m_delivering;
}

void SourceIntake::add(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    if (!isBusy()) {
        m_done = m_total = 0;
        m_clock.start();
    }
    QStringList toProbe;
    for (const QString &given : paths) {
        const QString path = QDir::cleanPath(QDir::current().absoluteFilePath(given));
        if (!QFileInfo(path).isDir()) {
            m_order.push_back({ path, {}, false, {} });
            toProbe << path;
            continue;
        }
        const QList<FolderFile> files = MediaFilesBelow(path);
        if (files.isEmpty())
            m_order.push_back({ path, {}, true, {} });
        for (const FolderFile &file : files) {
            m_order.push_back({ file.path, file.relativeFolder, false, {} });
            toProbe << file.path;
        }
    }
    m_total = m_done + int(m_order.size()) + (m_delivering ? 1 : 0);
    m_probes->add(toProbe);
    Q_EMIT progress(m_done, m_total);
    if (toProbe.isEmpty())
        deliver();
}

void SourceIntake::stop()
{
    m_probes->cancel();
    m_order.clear();
    m_retry.stop();
    m_total = m_done + (m_delivering ? 1 : 0); // the file in the adder's hands still counts
    checkFinished();
}

void SourceIntake::received(const QString &, const ProbeRun &run)
{
    // Results come in the order the files were given: this is the first file still without one.
    for (Entry &entry : m_order) {
        if (!entry.emptyFolder && !entry.run) {
            entry.run = std::make_unique<ProbeRun>(run);
            break;
        }
    }
    deliver();
}

void SourceIntake::deliver()
{
    // Inside the adder's own box (a refusal) nothing more is delivered: the next file waits
    // for the box to close, as does any file while another box is open.
    if (m_delivering)
        return;
    m_delivering = true;
    while (!m_order.empty() && (m_order.front().emptyFolder || m_order.front().run)) {
        if (m_gate && !m_gate()) {
            m_retry.start();
            break;
        }
        // Taken off first: the adder's box may let a stop clear the rest meanwhile.
        Entry entry = std::move(m_order.front());
        m_order.pop_front();
        if (entry.emptyFolder)
            m_adder.refuseEmptyFolder(entry.path);
        else
            m_adder.acceptProbe(entry.path, *entry.run, entry.relativeFolder);
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
