#pragma once

#include "sources/cuesheet.h"

#include <QList>
#include <QPair>
#include <QString>

#include <optional>
#include <variant>

struct TStartRecord;

// One row of the source list cut from an album image by its CUE sheet.
struct CueTrackRow
{
    QString sheetPath; // the sheet it comes from, as given
    QString imagePath; // absolute, as found beside the sheet
    int number = 0;
    int line = 0; // of its TRACK command in the sheet
    qint64 start = 0; // CD frames into the image; a file's first track starts at 0
    std::optional<qint64> end; // where the next track of the same file starts; none: the file's end
    QString caption; // "03 - Finale", what the Source column shows
    QString outputStem; // the output's name without extension: the caption, made fit for a file name
    QList<QPair<QString, QString>> tags; // transcoder tag keys and values
};

// True for a name ending in ".cue" (any letter case).
bool IsCueSheetName(const QString &path);

// The rows of a sheet, in its order: one per audio track. A track ends where the next one
// of its file starts (so a pregap, INDEX 00, belongs to the track before it) and the first
// track of a file starts at the file's beginning: the rows together hold every sample of
// the images once. Refusals name the sheet's line.
std::variant<QList<CueTrackRow>, QString> ExpandCueSheet(const QString &sheetPath);

// The same for a sheet already read, its images looked for in sheetFolder.
std::variant<QList<CueTrackRow>, QString> ExpandCueSheet(
    const CueSheet &sheet, const QString &sheetFolder, const QString &sheetPath);

// The image a sheet's FILE names, looked for in the sheet's folder: the name as written
// (only its last part, whatever separator the sheet used), then in any letter case, then
// the same name with another audio extension (a WAV image compressed later). Empty when
// none is there.
QString FindCueImage(const QString &sheetFolder, const QString &fileName);

// Turns a probed row into the track: its exact stretch of the image, its whole-second
// times and its tags. imageEndNs is the image's exact length from its probe. False when the
// track lies beyond the image's end (the sheet does not fit the image).
bool ApplyCueTrack(TStartRecord &job, const CueTrackRow &row, qint64 imageEndNs);

// Refusal of a sheet whose track lies beyond its image's end: names the sheet and the track's line.
QString CueTrackBeyondImageMessage(const QString &sheetPath, const CueTrackRow &row);

// A track's position in nanoseconds.
qint64 CueFramesToNs(qint64 frames);
