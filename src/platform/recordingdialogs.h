#pragma once

#include "platform/dialogs.h"

#include <QList>
#include <QQueue>

// Test back-end: records each call and answers from a script instead of showing anything.
// When the script runs dry, a message is answered with its first button and the file and
// folder dialogs are cancelled.
class RecordingDialogs final : public Dialogs
{
public:
    struct Call
    {
        enum Kind { Message, OpenFiles, ChooseFolder } kind = Message;
        QWidget *owner = nullptr;
        MessageRequest message;
        FileOpenRequest files;
        QString title;
        QString startFolder;
    };

    DialogAnswer showMessage(QWidget *owner, const MessageRequest &request) override;
    QStringList openFiles(QWidget *owner, const FileOpenRequest &request) override;
    QString chooseFolder(QWidget *owner, const QString &title, const QString &startFolder) override;

    // The texts of every message shown so far, in order.
    QStringList messageTexts() const;

    QList<Call> calls;
    QQueue<DialogAnswer> answers;
    QQueue<QStringList> fileAnswers;
    QQueue<QString> folderAnswers;
};
