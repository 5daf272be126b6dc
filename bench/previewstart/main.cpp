// The main window's preview, timed: from a press on Play to the first picture of the player
// inside the panel (read back from the X server), and the window's own processor use while
// a preview plays. The video must be solid red (videotestsrc pattern=red).
// Usage: bench-preview-start PROGRAM_FOLDER VIDEO RUNS CPU_SECONDS

#include "mainwindow/mainwindow.h"
#include "platform/childprocess.h"
#include "platform/recordingdesktopservices.h"
#include "platform/recordingdialogs.h"
#include "platform/recordingpowercontrol.h"
#include "sources/filelist.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFrame>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include <xcb/xcb.h>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

// Whether the pixel in the middle of the panel is the video's red.
bool panelShowsRed(xcb_connection_t *connection, xcb_window_t panel, QSize size)
{
    xcb_get_image_reply_t *reply = xcb_get_image_reply(connection,
        xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, panel, int16_t(size.width() / 2),
            int16_t(size.height() / 2), 1, 1, ~0u),
        nullptr);
    if (!reply)
        return false;
    const uint8_t *bgrx = xcb_get_image_data(reply);
    const bool red = xcb_get_image_data_length(reply) >= 3 && bgrx[2] > 200 && bgrx[1] < 60 && bgrx[0] < 60;
    std::free(reply);
    return red;
}

// Lets the window run its event loop, idle as it is in use, for the given time.
void waitMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 5) {
        std::fprintf(stderr, "usage: bench-preview-start PROGRAM_FOLDER VIDEO RUNS CPU_SECONDS\n");
        return 2;
    }
    ChildProcess::setProgramFolder(args.at(1));
    RecordingDialogs dialogs;
    RecordingDesktopServices desktop;
    RecordingPowerControl power;
    TForm1 form({ dialogs, desktop, power }, StartupEnvironment::fromSystem(args.at(1)));
    form.show();
    waitMs(500);
    form.dropFiles({ args.at(2) });
    if (form.fileList().rowCount() != 1) {
        std::fprintf(stderr, "the video was not added\n");
        return 1;
    }
    const PreviewControls &preview = form.controls().preview;
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    const auto panel = xcb_window_t(preview.playpanel->winId());
    const QSize size = preview.playpanel->size() * preview.playpanel->devicePixelRatioF();

    QList<double> startMs;
    for (int run = 0; run < args.at(3).toInt(); ++run) {
        if (preview.stopBtn->isEnabled())
            preview.stopBtn->click();
        // The last player goes and the panel shows its own background again.
        QElapsedTimer gone;
        gone.start();
        while (panelShowsRed(connection, panel, size) && gone.elapsed() < 5000)
            waitMs(20);
        if (panelShowsRed(connection, panel, size)) {
            std::fprintf(stderr, "the panel still shows the last picture\n");
            return 1;
        }
        waitMs(200);
        QElapsedTimer timer;
        timer.start();
        preview.previewBtn->click();
        while (!panelShowsRed(connection, panel, size) && timer.elapsed() < 10000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            QThread::usleep(500);
        }
        startMs << double(timer.nsecsElapsed()) / 1e6;
    }
    std::sort(startMs.begin(), startMs.end());
    const double median = startMs.isEmpty() ? 0
        : startMs.size() % 2                ? startMs[startMs.size() / 2]
                                            : (startMs[startMs.size() / 2 - 1] + startMs[startMs.size() / 2]) / 2;
    std::printf("play-to-picture median %.0f ms, min %.0f ms, max %.0f ms over %lld runs\n", median,
        startMs.isEmpty() ? 0 : startMs.first(), startMs.isEmpty() ? 0 : startMs.last(), qint64(startMs.size()));

    // The window's own share while the player plays (the player's own use is its own benchmark).
    waitMs(1000);
    const int seconds = args.at(4).toInt();
    const double before = cpuSeconds();
    waitMs(seconds * 1000);
    const double used = cpuSeconds() - before;
    std::printf("window CPU while a preview plays: %.2f %% of a core over %d s\n", 100.0 * used / seconds, seconds);
    preview.stopBtn->click();
    xcb_disconnect(connection);
    return 0;
}
