#include "app/testhooks.h"
#include "engine/logwindow.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/skin.h"
#include "platform/desktopservices.h"
#include "platform/powercontrol.h"
#include "platform/qtdialogs.h"
#include "platform/singleinstance.h"
#include "profiles/saveasdialog.h"

#include <QApplication>
#include <QTimer>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    // The preview player's window is embedded into ours, which only works between X clients:
    // on a Wayland desktop run through its X server, unless the user chose a platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QApplication::setApplicationName(kApplicationTitle.toString());
    const TestHooks hooks = TestHooks::fromEnvironment();

    // One copy per user: a second one hands the restore request to the first and ends
    // before it creates any window.
    SingleInstance instance(kApplicationTitle.toString());
    if (instance.claim() == SingleInstance::Role::Secondary) {
        hooks.print(u"second-copy restore-sent windows=%1"_s.arg(QApplication::topLevelWidgets().size()));
        return 0;
    }

    Skin::apply(app);
    const QString programFolder = QApplication::applicationDirPath();
    QApplication::setWindowIcon(Skin::icon(programFolder, u"logo"));
    QtDialogs dialogs;
    QtDesktopServices desktop;
    const std::unique_ptr<PowerControl> power = CreateSystemPowerControl();
    TForm1 form({ dialogs, desktop, *power }, StartupEnvironment::fromSystem(programFolder));
    auto *logFrm = new TlogFrm(&form);
    form.setLogWindow(logFrm);
    form.setSaveAsDialog(new TsaveasFrm(&form));

    QObject::connect(&instance, &SingleInstance::restoreRequested, &form, [&form, &hooks] {
        const bool wasMinimized = form.isMinimized();
        form.restoreRequest();
        hooks.print(u"restore was-minimized=%1 minimized=%2 visible=%3"_s.arg(int(wasMinimized))
                        .arg(int(form.isMinimized()))
                        .arg(int(form.isVisible())));
    });

    if (hooks.startMinimized)
        form.showMinimized();
    else
        form.show();
    if (form.programState().quitRequested)
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    QTimer::singleShot(0, &form, [&hooks] { hooks.print(u"ready"_s); });
    return app.exec();
}
