#include "sources/sourceintake.h"

#include "sources/intakeplan.h"
#include "sources/mediaprobe.h"
#include "sources/probequeue.h"
#include "sources/sourceadder.h"

#include <QPromise>
#include <QThreadPool>

#include <memory>

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
    connect(&m_planner, &QFutureWatcher<QList<IntakeEntry>>::finished, this, &SourceIntake::planned);
}

SourceIntake::~SourceIntake() = default;

void SourceIntake::setSimultaneous(int count)
{
    m_probes->setSimultaneous(count);
}

bool SourceIntake::isBusy() const
{
    return m_probes->isBusy() || !m_order.empty() || m_delivering || !m_toPlan.empty() || (m_planning && !m_dropPlan);
}

void SourceIntake::add(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    if (!isBusy()) {
        m_done = m_total = 0;
        m_clock.start();
    }
    m_toPlan.push_back(paths);
    planNext();
}

void SourceIntake::planNext()
{
    if (m_planning || m_toPlan.empty())
        return;
    const QStringList paths = std::move(m_toPlan.front());
    m_toPlan.pop_front();
    IntakeOptions options;
    options.leaveOut = m_adder.destinationFolder();
    // A library folder of ten thousand files takes a third of a second to walk.
    auto promise = std::make_shared<QPromise<QList<IntakeEntry>>>();
    m_planning = true;
    m_planner.setFuture(promise->future());
    promise->start();
    QThreadPool::globalInstance()->start([promise, paths, options] {
        promise->addResult(PlanIntake(paths, options));
        promise->finish();
    });
}

void SourceIntake::planned()
{
    m_planning = false;
    const QList<IntakeEntry> plan = m_planner.future().resultCount() > 0 ? m_planner.result() : QList<IntakeEntry>();
    if (!std::exchange(m_dropPlan, false))
        take(plan);
    planNext();
    checkFinished();
}

void SourceIntake::take(const QList<IntakeEntry> &plan)
{
    QStringList toProbe;
    const auto queue = [this, &toProbe](Entry entry) {
        if (entry.kind == Entry::Kind::File)
            toProbe << entry.path;
        else if (entry.kind == Entry::Kind::CueSheet)
            toProbe << entry.images;
        m_order.push_back(std::move(entry));
    };
    for (const IntakeEntry &planned : plan) {
        switch (planned.kind) {
        case IntakeEntry::Kind::CueSheet:
        case IntakeEntry::Kind::BadSheet:
            queue(sheetEntry(planned));
            break;
        case IntakeEntry::Kind::EmptyFolder:
            queue(Entry { Entry::Kind::EmptyFolder, planned.path, {}, {}, {}, {}, {}, {} });
            break;
        case IntakeEntry::Kind::Unreadable:
            break; // the window adds what it can read, as it always has
        case IntakeEntry::Kind::File:
        case IntakeEntry::Kind::NotFound: // examined all the same: the probe's refusal tells the user
            queue(Entry { Entry::Kind::File, planned.path, planned.relativeFolder, {}, {}, {}, {}, {} });
            break;
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
    m_toPlan.clear();
    m_dropPlan = m_planning;
    m_probes->cancel();
    m_order.clear();
    m_retry.stop();
    m_total = m_done + (m_delivering ? 1 : 0); // the file in the adder's hands still counts
    checkFinished();
}

SourceIntake::Entry SourceIntake::sheetEntry(const IntakeEntry &planned)
{
    Entry entry;
    entry.path = planned.path;
    entry.relativeFolder = planned.relativeFolder;
    if (planned.kind == IntakeEntry::Kind::BadSheet) {
        entry.kind = Entry::Kind::BadSheet;
        entry.refusal = planned.refusal;
        return entry;
    }
    entry.kind = Entry::Kind::CueSheet;
    entry.tracks = planned.tracks;
    entry.images = SourceAdder::CueImages(entry.tracks);
    return entry;
}

bool SourceIntake::Entry::waitsForProbe() const
{
    if (kind == Kind::File)
        return !run;
    if (kind == Kind::CueSheet)
        return imageRuns.size() < images.size();
    return false;
}

void SourceIntake::received(const QString &, const ProbeRun &run)
{
    // Results come in the order the files were given: this is the first file still without one
    // (a sheet's images come one after another, in their order).
    for (Entry &entry : m_order) {
        if (!entry.waitsForProbe())
            continue;
        if (entry.kind == Entry::Kind::File)
            entry.run = std::make_unique<ProbeRun>(run);
        else
            entry.imageRuns.insert(entry.images.at(entry.imageRuns.size()), run);
        break;
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
    while (!m_order.empty() && !m_order.front().waitsForProbe()) {
        if (m_gate && !m_gate()) {
            m_retry.start();
            break;
        }
        // Taken off first: the adder's box may let a stop clear the rest meanwhile.
        Entry entry = std::move(m_order.front());
        m_order.pop_front();
        switch (entry.kind) {
        case Entry::Kind::EmptyFolder:
            m_adder.refuseEmptyFolder(entry.path);
            break;
        case Entry::Kind::BadSheet:
            m_adder.refuseCueSheet(entry.refusal);
            break;
        case Entry::Kind::CueSheet:
            m_adder.acceptCueSheet(entry.path, entry.tracks, entry.imageRuns, entry.relativeFolder);
            break;
        case Entry::Kind::File:
            m_adder.acceptProbe(entry.path, *entry.run, entry.relativeFolder);
            break;
        }
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
