#include "cli/sync/childrun.h"

#include <QEventLoop>
#include <QProcess>
#include <QTimer>

ChildRun RunToEnd(const QString &program, const QStringList &arguments, int timeoutMs)
{
    ChildRun run;
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QEventLoop loop;
    bool ended = false;
    QObject::connect(&process, &QProcess::finished, &loop, [&] {
        ended = true;
        loop.quit();
    });
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            ended = true;
            loop.quit();
        }
    });
    QTimer limit;
    limit.setSingleShot(true);
    bool late = false;
    QObject::connect(&limit, &QTimer::timeout, &process, [&] {
        late = true;
        process.kill(); // its finished signal ends the loop
    });
    process.start(program, arguments);
    limit.start(timeoutMs);
    if (!ended)
        loop.exec();
    run.started = process.error() != QProcess::FailedToStart;
    run.inTime = run.started && !late;
    if (run.started && process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    run.output = process.readAll();
    return run;
}
