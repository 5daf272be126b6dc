// Adds every file named on the command line to the window's source list, as a drop does
// (each file probed by the real transcoder from the program folder), then quits.
// Usage: bench-add-files PROGRAM_FOLDER FILE...

#include "mainwindow/mainwindow.h"
#include "platform/childprocess.h"
#include "platform/recordingdesktopservices.h"
#include "platform/recordingdialogs.h"
#include "platform/recordingpowercontrol.h"
#include "sources/filelist.h"

#include <QApplication>

#include <cstdio>

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
    TForm1 form({dialogs, desktop, power}, StartupEnvironment::fromSystem(args.at(1)));
    form.dropFiles(args.mid(2));
    const int rows = form.fileList().rowCount();
    std::fprintf(stderr, "%d rows added, %lld refused\n", rows, qint64(dialogs.calls.size()));
    return rows == args.size() - 2 ? 0 : 1;
}
