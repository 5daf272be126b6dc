// Adds every file named on the command line to the window's source list, as a drop does
// (each file probed by the real transcoder from the program folder), and quits once all are
// in. Meanwhile a 10 ms timer measures how long the window's event loop was ever kept from
// running: the longest wait a click or a repaint would have had, and the window's peak memory.
// Usage: bench-add-files PROGRAM_FOLDER FILE|FOLDER...   (BENCH_PROBES=N probes N files at once)

#include "mainwindow/mainwindow.h"
#include "platform/childprocess.h"
#include "platform/recordingdesktopservices.h"
#include "platform/recordingdialogs.h"
#include "platform/recordingpowercontrol.h"
#include "sources/filelist.h"
#include "sources/folderwalk.h"
#include "sources/sourceintake.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

static double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: bench-add-files PROGRAM_FOLDER FILE...\n");
        return 2;
    }
    ChildProcess::setProgramFolder(args.at(1));
    RecordingDialogs dialogs;
    RecordingDesktopServices desktop;
    RecordingPowerControl power;
    TForm1 form({ dialogs, desktop, power }, StartupEnvironment::fromSystem(args.at(1)));
    const int probes = qEnvironmentVariableIntValue("BENCH_PROBES");
    if (probes > 0)
        form.controls().output.simultaneousBox->setCurrentIndex(probes - 1);

    // The rows expected, in order: a folder stands for the media files below it.
    QStringList expected;
    for (const QString &given : args.mid(2)) {
        if (QFileInfo(given).isDir()) {
            for (const FolderFile &file : MediaFilesBelow(given))
                expected << file.path;
        } else {
            expected << QFileInfo(given).absoluteFilePath();
        }
    }

    QElapsedTimer sinceTick, whole;
    qint64 longestStall = 0;
    QTimer meter;
    meter.setInterval(10);
    int rowsAtLongest = 0, stallsOver50 = 0;
    QObject::connect(&meter, &QTimer::timeout, [&] {
        const qint64 stall = sinceTick.restart() - 10;
        stallsOver50 += stall > 50 ? 1 : 0;
        if (stall > longestStall) {
            longestStall = stall;
            rowsAtLongest = form.fileList().rowCount();
        }
    });
    QObject::connect(&form.sourceIntake(), &SourceIntake::finished, &app, &QCoreApplication::quit);
    QTimer::singleShot(0, &form, [&] {
        sinceTick.start();
        whole.start();
        meter.start();
        QElapsedTimer handOver;
        handOver.start();
        form.dropFiles(args.mid(2));
        std::fprintf(stderr, "the drop itself took %lld ms\n", handOver.elapsed());
    });
    app.exec();
    const qint64 took = whole.elapsed();
    const int rows = form.fileList().rowCount();
    for (int row = 0; row < rows; ++row) {
        if (row >= expected.size() || form.fileList().job(row).SourcePath != expected.at(row)) {
            std::fprintf(stderr, "row %d is not the file given at that place\n", row);
            return 1;
        }
    }
    // The window's own peak resident memory (its probe workers are processes of their own).
    QString peak = QStringLiteral("?");
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                peak = QString::fromLatin1(line.mid(6).trimmed());
        }
    }
    std::fprintf(stderr,
        "%d rows added in %lld ms, %lld refused, longest stall %lld ms (at row %d), %d stalls over 50 ms, "
        "peak memory %s, the window's CPU time %.1f s\n",
        rows, took, qint64(dialogs.calls.size()), longestStall, rowsAtLongest, stallsOver50, qPrintable(peak),
        cpuSeconds());
    return rows == expected.size() ? 0 : 1;
}
