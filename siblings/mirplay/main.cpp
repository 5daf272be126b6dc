// mirplay: the preview player. One window titled "Preview" that plays a file from an
// offset; P toggles pause, Q quits. The window program finds the window by its title,
// embeds it in its preview panel and sends it those keys.

#include "debugchannel.h"
#include "playeroptions.h"
#include "previewpipeline.h"
#include "previewwindow.h"
#include "x11windowwatch.h"

#include "media/gstsetup.h"

#include <QApplication>
#include <QFile>
#include <QTimer>

#include <xcb/xcb.h>

#include <cstdio>

namespace ExitCode {
constexpr int Ok = 0;
constexpr int BadCommandLine = 2;
constexpr int NoDisplay = 3;
} // namespace ExitCode

namespace {

// Qt aborts when it finds no display; we say so plainly instead.
bool displayReachable()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty())
        return qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
    if (!platform.startsWith("xcb"))
        return true;
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    const bool reachable = !xcb_connection_has_error(connection);
    xcb_disconnect(connection);
    return reachable;
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QFile::decodeName(argv[i]));
    const PlayerOptionsResult parsed = parsePlayerArguments(arguments);
    if (!parsed.options) {
        std::fprintf(stderr, "mirplay: %s\n%s\n", qPrintable(parsed.error), qPrintable(playerUsage()));
        return ExitCode::BadCommandLine;
    }
    const PlayerOptions options = *parsed.options;

    // The window program finds, embeds and keys this window through X11, also from a
    // Wayland session, so X11 is the default here (an explicit choice is kept).
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    if (!displayReachable()) {
        std::fprintf(stderr, "mirplay: no display to show the preview on (is DISPLAY set?)\n");
        return ExitCode::NoDisplay;
    }
    // Qt sees only the program name: none of our arguments may be taken for one of its
    // options. No application display name either: it would become part of the title.
    int qtArgc = 1;
    QApplication app(qtArgc, argv);

    // The window comes first: the window program waits for it, and GStreamer's start can
    // take long on a machine whose plugin registry must be rebuilt.
    PreviewWindow window(QSize(options.width, options.height));
    window.show();

    PreviewPipeline pipeline;
    DebugChannel::create(&pipeline);
    QObject::connect(&pipeline, &PreviewPipeline::frameReady, &window, &PreviewWindow::showFrame);
    QObject::connect(&pipeline, &PreviewPipeline::spectrumReady, &window, &PreviewWindow::showSpectrum);
    QObject::connect(&pipeline, &PreviewPipeline::failed, &window, &PreviewWindow::showCannotPlay);
    QObject::connect(&window, &PreviewWindow::pauseToggled, &pipeline, &PreviewPipeline::togglePause);
    QObject::connect(&window, &PreviewWindow::quitRequested, &app, [] { QCoreApplication::exit(ExitCode::Ok); });

    X11WindowWatch *watch = X11WindowWatch::create(&window);
    if (watch) {
        QObject::connect(watch, &X11WindowWatch::visibleAreaChanged, &window, &PreviewWindow::setVisibleArea);
        QObject::connect(&window, &PreviewWindow::clicked, watch, &X11WindowWatch::takeKeyboardIfTopLevel);
        // Our window goes when the window that embedded it goes: the host is gone, and
        // nobody is left to send the quit key.
        QObject::connect(watch, &X11WindowWatch::windowDestroyed, &app, [] { QCoreApplication::exit(ExitCode::Ok); });
    }

    QTimer::singleShot(0, &pipeline, [&pipeline, &options, watch] {
        if (watch)
            watch->flush();
        media::initialiseGStreamer(nullptr, nullptr);
        pipeline.start(options.file, options.startSeconds);
    });
    return app.exec();
}
