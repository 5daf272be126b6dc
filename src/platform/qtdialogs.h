#pragma once

#include "platform/dialogs.h"

#include <QList>
#include <QStringList>

// The real dialogs: Qt message boxes and file dialogs with the requested texts and positions.
class QtDialogs final : public Dialogs
{
public:
    DialogAnswer showMessage(QWidget *owner, const MessageRequest &request) override;
    QStringList openFiles(QWidget *owner, const FileOpenRequest &request) override;
    QString chooseFolder(QWidget *owner, const QString &title, const QString &startFolder) override;

    // One entry of "Name|pattern|Name|pattern": the name is shown as it stands, the patterns
    // (";"-separated) pick the files; "*.*" is "*", as files without a dot are files all the
    // same here.
    struct NameFilter
    {
        QString shown;
        QStringList patterns;
        friend bool operator==(const NameFilter &, const NameFilter &) = default;
    };
    static QList<NameFilter> nameFilters(const QString &filter);
    // The title a box gets for a caption: Qt would put the program's name in an empty one.
    static QString boxTitle(const QString &caption);
};
