#include "platform/recordingdialogs.h"

namespace {

DialogAnswer firstButton(DialogButtons buttons)
{
    switch (buttons) {
    case DialogButtons::Ok:
    case DialogButtons::OkCancel:
        return DialogAnswer::Ok;
    case DialogButtons::Yes:
    case DialogButtons::YesNo:
    case DialogButtons::YesNoCancel:
        return DialogAnswer::Yes;
    }
    return DialogAnswer::Ok;
}

} // namespace

DialogAnswer RecordingDialogs::showMessage(QWidget *owner, const MessageRequest &request)
{
    Call call;
    call.owner = owner;
    call.message = request;
    calls.append(call);
    return answers.isEmpty() ? firstButton(request.buttons) : answers.dequeue();
}

QStringList RecordingDialogs::openFiles(QWidget *owner, const FileOpenRequest &request)
{
    Call call;
    call.kind = Call::OpenFiles;
    call.owner = owner;
    call.files = request;
    calls.append(call);
    return fileAnswers.isEmpty() ? QStringList() : fileAnswers.dequeue();
}

QString RecordingDialogs::chooseFolder(QWidget *owner, const QString &title, const QString &startFolder)
{
    Call call;
    call.kind = Call::ChooseFolder;
    call.owner = owner;
    call.title = title;
    call.startFolder = startFolder;
    calls.append(call);
    return folderAnswers.isEmpty() ? QString() : folderAnswers.dequeue();
}

QStringList RecordingDialogs::messageTexts() const
{
    QStringList texts;
    for (const Call &call : calls) {
        if (call.kind == Call::Message)
            texts.append(call.message.text);
    }
    return texts;
}
