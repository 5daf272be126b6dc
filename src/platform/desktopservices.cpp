#include "platform/desktopservices.h"

#include <QProcess>

using namespace Qt::StringLiterals;

void XdgDesktopServices::open(const QUrl &url, std::function<void()> failed)
{
    // Without a parent: a viewer that outlives the window is left running when the program
    // ends, as a detached start would leave it.
    auto *opener = new QProcess;
    opener->setProgram(u"xdg-open"_s);
    opener->setArguments({ url.isLocalFile() ? url.toLocalFile() : url.toString() });
    opener->setStandardInputFile(QProcess::nullDevice());
    opener->setStandardOutputFile(QProcess::nullDevice());
    opener->setStandardErrorFile(QProcess::nullDevice());
    auto report = std::make_shared<std::function<void()>>(std::move(failed));
    QObject::connect(opener, &QProcess::errorOccurred, opener, [opener, report](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        if (*report)
            std::exchange(*report, {})();
        opener->deleteLater();
    });
    QObject::connect(opener, &QProcess::finished, opener, [opener, report](int code, QProcess::ExitStatus status) {
        if ((status != QProcess::NormalExit || code != 0) && *report)
            std::exchange(*report, {})();
        opener->deleteLater();
    });
    opener->start();
}
