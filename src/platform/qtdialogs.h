#pragma once

#include "platform/dialogs.h"

// The real dialogs: Qt message boxes and file dialogs with the requested texts and positions.
class QtDialogs final : public Dialogs
{
public:
    DialogAnswer showMessage(QWidget *owner, const MessageRequest &request) override;
    QStringList openFiles(QWidget *owner, const FileOpenRequest &request) override;
    QString chooseFolder(QWidget *owner, const QString &title, const QString &startFolder) override;

    // "Name|pattern|Name|pattern" as Qt name filters; "*.*" becomes "*", as files without a
    // dot are files all the same here.
    static QStringList nameFilters(const QString &filter);
};
