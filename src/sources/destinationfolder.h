#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class DestinationHistory;
class Dialogs;
class QWidget;

// The destination folder edit as its rules see it: its text and its caret.
class FolderField
{
public:
    virtual ~FolderField() = default;
    virtual QString text() const = 0;
    virtual void setText(const QString &text) = 0;
    virtual int caret() const = 0;
    virtual void selectAll() = 0;
    // The caret at `caret` and the text from there to its end selected.
    virtual void selectToEnd(int caret) = 0;
};

inline constexpr QStringView kInvalidFolderMessage
    = u"Destination folder is not valid.\r\n\r\nPlease input another folder.";
inline constexpr QStringView kCreateFolderQuestion = u"Create a new folder? ";
inline constexpr QStringView kBrowseTitle = u"Please select a folder:";
inline constexpr QStringView kBrowseStart = u"/";

// The first history entry (in its sorted order) that begins with typed, ASCII letter case
// ignored, and is longer than it. An empty text proposes nothing.
std::optional<QString> CompleteFolder(const QStringList &history, const QString &typed);

// What the user does with the destination folder edit and the Browse button: confirming
// (creating a missing folder on request), leaving, completing from the history and browsing.
// A confirmed or browsed folder is handed to applyToRows; a refused one gives way to the text
// the edit held at the last mouse release.
class DestinationFolder
{
public:
    DestinationFolder(FolderField &field, Dialogs &dialogs, DestinationHistory &history, QString defaultOutputFolder,
        QWidget *owner, std::function<void()> applyToRows);

    void mouseReleased(); // pathdirMouseUp
    void confirm(); // Enter in the edit
    void left(); // the edit lost the focus
    void keyReleased(int key); // pathdirKeyUp: Qt::Key values
    void browse(); // the Browse button

private:
    void refuse(bool withMessage);

    FolderField &m_field;
    Dialogs &m_dialogs;
    DestinationHistory &m_history;
    QString m_defaultOutputFolder;
    QWidget *m_owner;
    std::function<void()> m_applyToRows;
    QString m_previousFolder;
};
