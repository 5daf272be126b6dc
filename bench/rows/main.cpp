// 10,000 rows in the window's list: the memory they take, and how long choosing another
// profile for all of them takes (the list selected whole, then the profile chooser's choice,
// as a click makes it). The rows are put in directly, as the adding road leaves them, so the
// figure is the list's own and not the probes'.
// Usage: bench-rows PROGRAM_FOLDER [ROWS]

#include "mainwindow/mainwindow.h"
#include "platform/recordingdesktopservices.h"
#include "platform/recordingdialogs.h"
#include "platform/recordingpowercontrol.h"
#include "sources/filelist.h"

#include <QTreeView>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

namespace {

// The resident memory of this process now, in KiB.
long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: bench-rows PROGRAM_FOLDER [ROWS]\n");
        return 2;
    }
    const int count = args.size() > 2 ? args.at(2).toInt() : 10000;
    RecordingDialogs dialogs;
    RecordingDesktopServices desktop;
    RecordingPowerControl power;
    TForm1 form({ dialogs, desktop, power }, StartupEnvironment::fromSystem(args.at(1)));
    form.show();
    app.processEvents();
    QComboBox *profiles = form.controls().output.profileBox;
    QAbstractItemView *view = form.controls().list.listview;

    const long before = residentKiB();
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < count; ++i) {
        TStartRecord job;
        job.SourcePath = QStringLiteral("/music/album %1/track %2.flac").arg(i / 12).arg(i);
        job.Duration = QStringLiteral("00:03:25");
        job.StartTime = QStringLiteral("00:00:00");
        job.Length = job.Duration;
        job.OutputPath = QStringLiteral("/out/track %1.mp3").arg(i);
        job.Extension = QStringLiteral(".mp3");
        form.fileList().appendRow(QStringLiteral("track %1.flac").arg(i), QStringLiteral("28 MB"), job.Duration,
            QStringLiteral("track %1.mp3").arg(i), job);
    }
    view->show();
    app.processEvents();
    const qint64 addMs = clock.restart();
    const long after = residentKiB();

    view->selectAll();
    app.processEvents();
    clock.restart();
    profiles->setCurrentIndex(1); // OGG
    Q_EMIT profiles->activated(1);
    app.processEvents(); // the list repaints what changed
    const qint64 profileMs = clock.elapsed();

    const bool applied = form.fileList().job(count - 1).Extension.text() != QStringLiteral(".mp3");
    std::printf("rows %d  memory %.1f MiB (%.2f KiB a row)  putting in %lld ms  profile change %lld ms%s\n",
        count, (after - before) / 1024.0, double(after - before) / count, addMs, profileMs,
        applied ? "" : "  (NOT APPLIED)");
    return applied ? 0 : 1;
}
