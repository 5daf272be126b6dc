#pragma once

#include "cli/terminaltext.h"
#include "platform/dialogs.h"

#include <cstdio>

// The dialogs service of a program without windows: messages go to standard error and are
// answered with the safe choice (No, Cancel); nothing is chosen from a file or folder dialog.
class ConsoleDialogs : public Dialogs
{
public:
    DialogAnswer showMessage(QWidget *, const MessageRequest &request) override
    {
        std::fprintf(stderr, "tolm-convert: %s\n", qPrintable(TerminalText(request.text.simplified())));
        switch (request.buttons) {
        case DialogButtons::Ok:
            return DialogAnswer::Ok;
        case DialogButtons::Yes:
            return DialogAnswer::Yes;
        case DialogButtons::YesNo:
            return DialogAnswer::No;
        default:
            return DialogAnswer::Cancel;
        }
    }
    QStringList openFiles(QWidget *, const FileOpenRequest &) override { return {}; }
    QString chooseFolder(QWidget *, const QString &, const QString &) override { return {}; }
};
