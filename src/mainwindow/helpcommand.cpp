#include "mainwindow/helpcommand.h"

#include "platform/desktopservices.h"
#include "platform/dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QUrl>
#include <QWidget>

using namespace Qt::StringLiterals;

QString HelpText::cannotOpen(const QString &fileName)
{
    return u"Can't open the help file "_s + fileName + u" !"_s;
}

QString HelpText::cannotOpenFolder(const QString &folder)
{
    return u"Can't open the folder "_s + folder + u" !"_s;
}

namespace {

// The manual first; then the first "*.chm"; empty when the folder holds neither.
QString helpFile(const QString &programFolder)
{
    if (QFileInfo(programFolder + u'/' + HelpText::ManualPage).isFile())
        return HelpText::ManualPage.toString();
    const QStringList found
        = QDir(programFolder).entryList({ u"*.chm"_s }, QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
    return found.isEmpty() ? QString() : found.constFirst();
}

} // namespace

void ShowHelp(QWidget *owner, const QString &programFolder, Dialogs &dialogs, DesktopServices &desktop)
{
    const QString file = helpFile(programFolder);
    if (file.isEmpty()) {
        dialogs.showMessage(owner,
            { HelpText::Missing.toString(), QString(), DialogIcon::None, DialogButtons::Ok,
                DialogPlacement::OverOwner });
        return;
    }
    // The box belongs to the window, which may be gone by the time the desktop answers.
    desktop.open(QUrl::fromLocalFile(programFolder + u'/' + file), [owner = QPointer<QWidget>(owner), &dialogs, file] {
        dialogs.showMessage(owner, MessageRequest::plain(HelpText::cannotOpen(file)));
    });
}
