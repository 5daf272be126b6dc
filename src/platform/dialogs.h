#pragma once

#include "core/programtexts.h"

#include <QString>
#include <QStringList>

class QWidget;

// Every message box, file-open and folder dialog of the program goes through this service, so
// the texts, captions, icons, buttons and positions are decided in one place and tests can
// answer dialogs from a script instead of a user.
namespace DialogIcon {
enum Kind { None, Information, Warning, Question, Critical };
}

enum class DialogButtons { Ok, Yes, OkCancel, YesNo, YesNoCancel };
enum class DialogAnswer { Ok, Cancel, Yes, No };

// Where a message box appears.
enum class DialogPlacement {
    ScreenCentre, // plain messages: centred on the screen
    OverOwner, // centred over the owner window
    ConfirmOffset, // top-left corner at the owner's left + 310, top + 150
};

struct MessageRequest
{
    QString text;
    QString caption;
    DialogIcon::Kind icon = DialogIcon::None;
    DialogButtons buttons = DialogButtons::Ok;
    DialogPlacement placement = DialogPlacement::ScreenCentre;

    // A plain message: the application title as caption, OK, centred on the screen.
    static MessageRequest plain(const QString &text);
    // A question that confirms or rejects, placed at the owner's confirmation offset.
    static MessageRequest confirmation(
        const QString &text, const QString &caption, DialogIcon::Kind icon, DialogButtons buttons);

    friend bool operator==(const MessageRequest &, const MessageRequest &) = default;
};

// The multi-select file-open dialog, which takes folders too. Filters are written as the program has always written
// them: "Name|pattern|Name|pattern".
struct FileOpenRequest
{
    QString filter;
    int filterIndex = 0; // the entry chosen when the dialog opens
    QString title; // empty: the desktop's default
    QString startFolder; // empty: the desktop's default

    friend bool operator==(const FileOpenRequest &, const FileOpenRequest &) = default;
};

class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // Shows a modal message box owned by owner (may be null) and returns the button pressed.
    // Closing the box without a button counts as Cancel, or No when there is no Cancel button.
    virtual DialogAnswer showMessage(QWidget *owner, const MessageRequest &request) = 0;
    // The chosen existing files and folders, in the dialog's order; empty when cancelled.
    virtual QStringList openFiles(QWidget *owner, const FileOpenRequest &request) = 0;
    // The chosen folder; empty when cancelled. A root folder keeps its trailing '/'.
    virtual QString chooseFolder(QWidget *owner, const QString &title, const QString &startFolder) = 0;
};
