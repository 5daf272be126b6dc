#include "mainwindow/helpcommand.h"

#include "platform/desktopservices.h"
#include "platform/dialogs.h"

#include <QDir>
#include <QUrl>

using namespace Qt::StringLiterals;

QString HelpText::cannotOpen(const QString &fileName)
{
    return u"Can't open the help file "_s + fileName + u" !"_s;
}

void ShowHelp(QWidget *owner, const QString &programFolder, Dialogs &dialogs, DesktopServices &desktop)
{
    const QStringList found
        = QDir(programFolder).entryList({ u"*.chm"_s }, QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
    if (found.isEmpty()) {
        dialogs.showMessage(owner,
            { HelpText::Missing.toString(), QString(), DialogIcon::None, DialogButtons::Ok,
                DialogPlacement::OverOwner });
        return;
    }
    const QString path = programFolder + u'/' + found.constFirst();
    if (!desktop.open(QUrl::fromLocalFile(path)))
        dialogs.showMessage(owner, MessageRequest::plain(HelpText::cannotOpen(found.constFirst())));
}
