#include "testprobe.h"

#include "profiles/profilecatalogue.h"
#include "profiles/profilejob.h"
#include "sources/probequeue.h"

#include <QTest>

namespace TestProbe {

ProbeVerdict verdict(const QString &absolutePath, const QString &scratchFolder)
{
    ProbeQueue queue(scratchFolder);
    ProbeRun result;
    QObject::connect(
        &queue, &ProbeQueue::probed, &queue, [&result](const QString &, const ProbeRun &run) { result = run; });
    queue.add({ absolutePath });
    if (!QTest::qWaitFor([&queue] { return !queue.isBusy(); }, kProbeTimeoutMs))
        queue.cancel(); // left as not started: refused
    return JudgeProbeRun(result);
}

TStartRecord addedRow(const QString &source, const QString &profile, int quality, const QString &programFolder,
    const QString &scratchFolder)
{
    TStartRecord job;
    job.SourcePath = source;
    SetProbedTimes(job, verdict(source, scratchFolder));
    job.Volume = kUnchangedVolume;
    const QString catalogue = programFolder + kCatalogueRelativePath;
    ApplyProfileToJob(job, profile, ReadProfileSettings(catalogue, profile), quality);
    return job;
}

} // namespace TestProbe
