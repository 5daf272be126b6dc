#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

// A CUE sheet as its lines say it: the album's texts, the image files it names and the
// tracks with their positions. Positions are CD frames, 75 to the second (mm:ss:ff).
inline constexpr int kCueFramesPerSecond = 75;

struct CueTrack
{
    int number = 0;
    bool audio = true; // TRACK nn AUDIO; data tracks are no rows but still end the one before
    int file = -1; // index into CueSheet::files of the file its INDEX 01 lies in
    qint64 start = -1; // INDEX 01
    std::optional<qint64> pregap; // INDEX 00, when given in the same file
    QString title;
    QString performer;
    QString songwriter;
    QString isrc;
    int line = 0; // of its TRACK command
};

struct CueSheet
{
    QString title;
    QString performer;
    QString songwriter;
    QString date; // REM DATE
    QString genre; // REM GENRE
    QString comment; // REM COMMENT
    QString discNumber; // REM DISCNUMBER
    QStringList files; // as written in the FILE commands
    QList<CueTrack> tracks;
};

// Where a sheet went wrong: its line (1 for the first, 0 for the sheet as a whole).
struct CueError
{
    int line = 0;
    QString reason;
};

// The sheet's bytes as text: UTF-8 with or without its byte-order mark, UTF-16 with its
// mark (either byte order), anything else read as Windows-1252.
QString DecodeCueText(const QByteArray &bytes);

// Reads a decoded sheet. Commands are taken in any letter case; CATALOG, CDTEXTFILE, FLAGS,
// PREGAP, POSTGAP, INDEX 02 and later and other REM fields are accepted and not used. An
// unknown command, a value that is missing or malformed, a track before any FILE, a track
// without INDEX 01 or positions that go backwards within a file refuse the sheet.
std::variant<CueSheet, CueError> ParseCueSheet(const QString &text);

// "mm:ss:ff" as frames, or nothing when malformed (seconds below 60, frames below 75).
std::optional<qint64> CueTimeToFrames(const QString &text);
