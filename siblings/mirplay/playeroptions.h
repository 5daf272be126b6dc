#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What the player is asked to do: `mirplay qzv -ss <seconds> -x <w> -y <h> <file>`.
struct PlayerOptions
{
    double startSeconds = 0.0;
    int width = 320;
    int height = 240;
    QString file;
};

// The outcome of reading the command line: the options, or a message for the user.
struct PlayerOptionsResult
{
    std::optional<PlayerOptions> options;
    QString error;
};

// Reads the arguments after the program name. The first must be the siblings' fixed key,
// the last is always the file (so a file name starting with a dash needs no escaping), and
// -ss, -x and -y may come in any order between them. Unless a file of exactly that name
// exists, blanks around the file name and a pair of double quotes a launcher left around it
// are dropped: the window program's trim preview composes its command text with a trailing
// blank.
PlayerOptionsResult parsePlayerArguments(const QStringList &arguments);

// One line describing the accepted form, for the usage message.
QString playerUsage();
