#include "mainwindow/helpcommand.h"

#include "platform/desktopservices.h"
#include "platform/dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

using namespace Qt::StringLiterals;

QString HelpText::cannotOpen(const QString &fileName)
{
    return u"Can't open the help file "_s + fileName + u" !"_s;
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
    if (!desktop.open(QUrl::fromLocalFile(programFolder + u'/' + file)))
        dialogs.showMessage(owner, MessageRequest::plain(HelpText::cannotOpen(file)));
}
