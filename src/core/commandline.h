#pragma once

#include <QString>
#include <QStringList>

// A child's command line kept in two equal forms: the exact text the user sees in the
// log (blanks and quotes as they have always been), and the argument list the child is
// really started from. The list is never parsed back out of the text, so a path with
// quotes, blanks or a leading dash reaches the child intact, and no shell is involved.
struct CommandLine
{
    QString program; // bare executable name, found in the program folder first
    QStringList arguments; // what the child receives, one entry per option or value
    QString text; // the composed text, character for character

    // Appends a piece of text together with the arguments it stands for.
    void append(const QString &piece, const QStringList &args = {})
    {
        text += piece;
        arguments += args;
    }
};

// Wraps a path in double quotes the way the command text shows it.
inline QString QuotedPath(const QString &path)
{
    return QLatin1Char('"') + path + QLatin1Char('"');
}
