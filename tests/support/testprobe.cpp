#include "testprobe.h"

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

} // namespace TestProbe
