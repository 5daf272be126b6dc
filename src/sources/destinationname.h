#pragma once

#include <QString>

#include <functional>

class OutputChoices;
struct TStartRecord;

// Folder + "/" + name; the separator is left out when the folder already ends in one.
QString JoinFolder(const QString &folder, const QString &name);

// The source's file name with its extension (from the last dot) replaced by the output
// extension (which carries its dot); a name without a dot gets the extension appended. A
// name that would pass a file name's 255 bytes is shortened before the extension.
QString DestinationName(const QString &sourceFileName, const QString &extension);

// The output name a row starts with: a track's name or the source's file name, with the
// output extension.
struct TStartRecord;
QString RowDestinationName(const TStartRecord &job, const QString &extension);

// What makes a row's name free of a taken one, before the extension.
inline constexpr QStringView kNewNameMark = u"(new)";

// While a file of that name exists in the folder, "(new)" goes before the extension again
// (song.mp3, song(new).mp3, song(new)(new).mp3 ...), by FreeFileName's rule.
// A long name gives up the end of its base to the marks, never the marks or the extension.
// alsoTaken (if given) names paths that count as taken though no file is there yet.
QString FreeDestinationName(const QString &folder, const QString &name, const QString &extension,
    const std::function<bool(const QString &path)> &alsoTaken = {});

// The folder an output goes to: the destination, then the folders its source lies in below
// the folder that was added, that folder's own name first ("Album One/CD2"). Empty for a file
// added by itself. One rule for the window and tolm-convert.
QString MirroredFolder(const QString &destination, const QString &relativeFolder);

// The folder a row's output goes to: the destination folder, then the row's own sub-folders
// when it was added with its folder.
QString RowOutputFolder(const QString &destination, const TStartRecord &job);

// The destination folder a row's output path stands in, its own sub-folders taken off.
QString RowDestinationFolder(const TStartRecord &job);

// The choices' destination folder, made to exist before an output is named in it: the start-up
// destination is created when missing, any other missing folder gives way to the default output
// folder, which the choices then hold.
QString CheckedDestinationFolder(
    OutputChoices &choices, const QString &startupDestination, const QString &defaultOutputFolder);
