#include "app/testhooks.h"
#include "batch/outputchoices.h"
#include "engine/batchnotice.h"
#include "engine/conversionengine.h"
#include "engine/logwindow.h"
#include "mainwindow/mainwindow.h"
#include "platform/childprocess.h"
#include "platform/desktopservices.h"
#include "platform/inhibitor.h"
#include "platform/notifier.h"
#include "platform/powercontrol.h"
#include "platform/qtdialogs.h"
#include "platform/singleinstance.h"
#include "platform/terminationsignals.h"
#include "profiles/saveasdialog.h"
#include "sources/filelist.h"
#include "widgets/skin.h"

#include <QApplication>
#include <QComboBox>
#include <QTimer>

#include <QFileInfo>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

// Arguments as absolute paths: a copy started elsewhere hands them to the running one, whose
// current folder is not ours. File URLs (as some file managers pass them) become paths.
QStringList OpenWithArguments(const QStringList &arguments)
{
    QStringList paths;
    for (const QString &argument : arguments) {
        const QUrl url(argument, QUrl::StrictMode);
        paths << (url.isLocalFile() ? url.toLocalFile() : QFileInfo(argument).absoluteFilePath());
    }
    return paths;
}

} // namespace

int main(int argc, char *argv[])
{
    // The preview player's window is embedded into ours, which only works between X clients:
    // on a Wayland desktop run through its X server, unless the user chose a platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QApplication::setApplicationName(kApplicationTitle.toString());
    // The installed desktop entry's name: desktops match the window and its notifications to it.
    QGuiApplication::setDesktopFileName(u"org.tolm.AudioConverter"_s);
    const TestHooks hooks = TestHooks::fromEnvironment();
    // Files to open, given by the file manager ("open with") or typed.
    const QStringList files = OpenWithArguments(QApplication::arguments().mid(1));

    // One copy per user: a second one hands its files and the restore request to the first
    // and ends before it creates any window.
    SingleInstance instance(kApplicationTitle.toString());
    if (instance.claim(files) == SingleInstance::Role::Secondary) {
        hooks.print(u"second-copy restore-sent windows=%1"_s.arg(QApplication::topLevelWidgets().size()));
        return 0;
    }
    // From here on a termination signal ends the program through its normal shutdown.
    TerminationSignals termination;

    Skin::apply(app);
    const QString programFolder = QApplication::applicationDirPath();
    QApplication::setWindowIcon(Skin::icon(programFolder, u"logo"));
    QtDialogs qtDialogs;
    ReportingDialogs dialogs(qtDialogs, hooks);
    XdgDesktopServices desktop;
    const std::unique_ptr<PowerControl> power = CreateSystemPowerControl();
    TForm1 form({ dialogs, desktop, *power }, StartupEnvironment::fromSystem(programFolder));
    auto *logFrm = new TlogFrm(&form);
    form.setLogWindow(logFrm);
    form.setSaveAsDialog(new TsaveasFrm(&form));
    form.setDesktopGuards(CreateSystemInhibitor(), CreateDesktopNotifier());
    QObject::connect(&termination, &TerminationSignals::received, &form, [&form, &hooks](int signalNumber) {
        hooks.print(u"signal %1"_s.arg(signalNumber));
        form.shutDown();
    });
    // Queued: a hand-over is taken in from the event loop, never inside the socket's handler.
    QObject::connect(
        &instance, &SingleInstance::filesOpened, &form,
        [&form, &hooks](const QStringList &opened) {
            form.openFiles(opened);
            hooks.afterAdding(form.sourceIntake(), [&form, &hooks, count = opened.size()] {
                hooks.print(u"files-opened %1 rows=%2"_s.arg(count).arg(form.fileList().rowCount()));
            });
        },
        Qt::QueuedConnection);
    hooks.follow(form.queue(), form.fileList());
    QObject::connect(&form.batchNotice(), &BatchNotice::activated, &form,
        [&form, &hooks] { hooks.print(u"notification-clicked minimized=%1"_s.arg(int(form.isMinimized()))); });

    QObject::connect(
        &instance, &SingleInstance::restoreRequested, &form,
        [&form, &hooks] {
            const bool wasMinimized = form.isMinimized();
            form.restoreRequest();
            hooks.print(u"restore was-minimized=%1 minimized=%2 visible=%3"_s.arg(int(wasMinimized))
                            .arg(int(form.isMinimized()))
                            .arg(int(form.isVisible())));
        },
        Qt::QueuedConnection);

    if (hooks.afterDone >= 0)
        form.outputChoices().setAfterDone(hooks.afterDone);
    if (hooks.startMinimized)
        form.showMinimized();
    else
        form.show();
    if (form.programState().quitRequested)
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    QTimer::singleShot(0, &form, [&form, &hooks, &files] {
        form.openFiles(files);
        hooks.print(u"ready"_s);
        if (hooks.startBatch)
            hooks.afterAdding(form.sourceIntake(), [&form] { form.startButtonClick(); });
    });
    const int status = app.exec();
    // The window is gone: the children it ended are given their time to go (a transcoder
    // removes its temporary file), and forced if they do not, before the program goes.
    ChildProcess::settleBeforeExit();
    hooks.print(form.endingAfterDone() ? u"exit after-done"_s : u"exit"_s);
    return status;
}
