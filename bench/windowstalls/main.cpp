// The window's longest event-loop stall while its children are ended: Stop with N rows
// converting, closing the window during a batch, and starting and stopping the preview ten
// times. A 10 ms timer measures how long the event loop was ever kept from running (the
// longest wait a click or a repaint would have had), from the action until every child it
// ended has really gone, and a little after.
// Usage: bench-window-stalls PROGRAM_FOLDER stop N SOURCE
//        bench-window-stalls PROGRAM_FOLDER close N SOURCE
//        bench-window-stalls PROGRAM_FOLDER preview RUNS SOURCE      (on X11, with mirplay)
//        bench-window-stalls PROGRAM_FOLDER idle SECONDS SOURCE      (the machine's own share)

#include "engine/conversionengine.h"
#include "mainwindow/mainwindow.h"
#include "platform/childprocess.h"
#include "platform/recordingdesktopservices.h"
#include "platform/recordingdialogs.h"
#include "platform/recordingpowercontrol.h"
#include "sources/filelist.h"
#include "sources/sourceintake.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QToolButton>
#include <QWidget>

#include <cstdio>
#include <functional>

namespace {

// Runs the event loop until `done` holds or `limitMs` passed; false on the limit.
bool runUntil(const std::function<bool()> &done, int limitMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limitMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// A process has really gone once it has no entry, or only its exit status is left.
bool processGone(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close > 0 && line.size() > close + 2 && line.at(close + 2) == 'Z';
}

struct StallMeter
{
    QTimer timer;
    QElapsedTimer sinceTick;
    qint64 longest = 0;
    int over50 = 0;

    StallMeter()
    {
        timer.setInterval(10);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const qint64 stall = sinceTick.restart() - 10;
            over50 += stall > 50 ? 1 : 0;
            longest = std::max(longest, stall);
        });
    }
    void start()
    {
        longest = 0;
        over50 = 0;
        sinceTick.start();
        timer.start();
    }
};

} // namespace

// With BENCH_SLOW_EVENTS set, every event that kept the loop for more than 30 ms is named on
// standard error: which object, which event, how long.
class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override
    {
        if (!m_report)
            return QApplication::notify(receiver, event);
        QElapsedTimer clock;
        clock.start();
        const int type = event->type();
        const bool handled = QApplication::notify(receiver, event);
        if (const qint64 took = clock.elapsed(); took > 30)
            std::fprintf(
                stderr, "slow event: %lld ms, type %d, to %s\n", took, type, receiver->metaObject()->className());
        return handled;
    }

private:
    const bool m_report = qEnvironmentVariableIsSet("BENCH_SLOW_EVENTS");
};

int main(int argc, char *argv[])
{
    TimedApplication app(argc, argv);
    // Closing the window must not end the measurement: the children it ended are followed.
    QApplication::setQuitOnLastWindowClosed(false);
    const QStringList args = QApplication::arguments();
    if (args.size() < 5) {
        std::fprintf(stderr, "usage: bench-window-stalls PROGRAM_FOLDER stop|close|preview N SOURCE\n");
        return 2;
    }
    const QString mode = args.at(2);
    const int count = args.at(3).toInt();
    ChildProcess::setProgramFolder(args.at(1));
    RecordingDialogs dialogs;
    RecordingDesktopServices desktop;
    RecordingPowerControl power;
    TForm1 form({ dialogs, desktop, power }, StartupEnvironment::fromSystem(args.at(1)));
    form.show();
    runUntil([] { return false; }, 300);
    StallMeter meter;

    if (mode == QLatin1String("idle")) {
        // The control: the window doing nothing for COUNT seconds, so what the machine's load
        // alone costs can be told from what an action costs.
        meter.start();
        runUntil([] { return false; }, count * 1000);
        std::printf("idle for %d s: longest stall %lld ms, %d stalls over 50 ms\n", count, meter.longest, meter.over50);
        return 0;
    }

    if (mode == QLatin1String("preview")) {
        form.dropFiles({ args.at(4) });
        if (!runUntil([&] { return !form.sourceIntake().isBusy(); }, 20000) || form.fileList().rowCount() != 1) {
            std::fprintf(stderr, "the source was not added\n");
            return 1;
        }
        const PreviewControls &preview = form.controls().preview;
        QElapsedTimer whole;
        whole.start();
        meter.start();
        int played = 0;
        for (int run = 0; run < count; ++run) {
            preview.previewBtn->click();
            played += runUntil([&] { return preview.stopBtn->isEnabled(); }, 5000) ? 1 : 0;
            runUntil([] { return false; }, 300); // it plays a little
            preview.stopBtn->click();
            runUntil([] { return false; }, 100);
        }
        runUntil([] { return false; }, 2500); // the last player's grace time and its end
        std::printf("preview started and stopped %d times (%d played): longest stall %lld ms, %d stalls over 50 ms, "
                    "%lld ms in all\n",
            count, played, meter.longest, meter.over50, whole.elapsed());
        return played == count ? 0 : 1;
    }

    QStringList sources;
    for (int i = 0; i < count; ++i)
        sources << args.at(4);
    form.queue().setSimultaneous(count);
    form.dropFiles(sources);
    if (!runUntil([&] { return !form.sourceIntake().isBusy(); }, 60000) || form.fileList().rowCount() != count) {
        std::fprintf(stderr, "the sources were not added\n");
        return 1;
    }
    form.queue().setSimultaneous(count);
    form.startButtonClick();
    // Every row's transcoder has started converting (its row shows a percentage).
    if (!runUntil([&] { return form.queue().runningCount() == count; }, 20000)) {
        std::fprintf(stderr, "not all %d rows started\n", count);
        return 1;
    }
    runUntil([] { return false; }, 1500);
    const std::vector<qint64> pids = form.queue().transcoderProcessIds();
    if (int(pids.size()) != count) {
        std::fprintf(stderr, "%d of %d rows still converting: use a longer source\n", int(pids.size()), count);
        return 1;
    }
    const QString folder = QFileInfo(form.fileList().job(0).OutputPath.text()).path();

    meter.start();
    QElapsedTimer whole;
    whole.start();
    if (mode == QLatin1String("close")) {
        dialogs.answers.enqueue(DialogAnswer::Yes);
        form.close();
    } else {
        form.queue().abandon();
    }
    const qint64 returnedAfter = whole.elapsed();
    const bool ended = runUntil(
        [&] {
            for (const qint64 pid : pids)
                if (!processGone(pid))
                    return false;
            return true;
        },
        10000);
    const qint64 endedAfter = whole.elapsed();
    runUntil([] { return false; }, 300);
    QStringList left;
    for (const QString &name :
        QDir(folder).entryList({ QStringLiteral(".sonmill-*.part") }, QDir::Files | QDir::Hidden))
        left << name;
    int stopped = 0;
    for (int row = 0; row < form.fileList().rowCount(); ++row)
        stopped += form.fileList().status(row).state == RowState::Stopped ? 1 : 0;
    std::printf("%s with %d rows converting: longest stall %lld ms, %d stalls over 50 ms; the call returned after "
                "%lld ms, the children were gone after %lld ms; %d rows Stopped, %lld partial files left%s\n",
        qPrintable(mode), count, meter.longest, meter.over50, returnedAfter, endedAfter, stopped, qint64(left.size()),
        ended ? "" : " (CHILDREN STILL RUNNING)");
    return ended && left.isEmpty() ? 0 : 1;
}
