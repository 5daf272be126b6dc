#pragma once

#include "core/replacemark.h"

#include <QString>

#include <functional>

class Dialogs;
class QWidget;

// A destination name typed into the list's inline editor, and what the row makes of it.
struct NameCommitRequest
{
    QString typed; // the editor's text
    QString caption; // the row's source file name
    QString extension; // the row's output extension, with its dot
    QString folder; // the destination edit's text
    QString previousName; // the name the row had before editing
};

struct NameCommit
{
    bool refused = false; // the name would reach another folder: the previous name stays
    QString name;
    QString outputPath; // empty when refused: the row's path stays as it was
    ReplaceMark replace; // the existing file the user agreed to replace, if any
};

// A blank or empty name becomes the source name without its extension; then the output
// extension is appended, or replaces one that differs (letter case counts).
QString NameWithExtension(const QString &typed, const QString &caption, const QString &extension);

// A name that could move the output elsewhere: a separator, a NUL, or "." and "..".
bool IsRefusedName(const QString &name);

// The text shown when a typed name is refused.
inline constexpr QStringView kRefusedNameMessage
    = u"A destination name cannot contain \"/\" or be \".\" or \"..\".\r\n\r\nThe previous name is kept.";

// Commits a typed name: while a file of the resulting path exists the user is asked
// "File exists,rewrite?"; Yes marks that file to be replaced by the finished output (it is
// not touched now), No puts "(new)" before the extension and tests again. A file that is
// some row's source (isRowSource) or not a plain file is never offered: it counts as No.
// A refused name shows kRefusedNameMessage and keeps previousName.
NameCommit CommitDestinationName(const NameCommitRequest &request, Dialogs &dialogs, QWidget *owner,
    const std::function<bool(const QString &path)> &isRowSource);
