#pragma once

#include <QString>

// Folder + "/" + name; the separator is left out when the folder already ends in one.
QString JoinFolder(const QString &folder, const QString &name);

// The source's file name with its extension (from the last dot) replaced by the output
// extension (which carries its dot); a name without a dot gets the extension appended.
QString DestinationName(const QString &sourceFileName, const QString &extension);

// The output name a row starts with: a track's name or the source's file name, with the
// output extension.
struct TStartRecord;
QString RowDestinationName(const TStartRecord &job, const QString &extension);

// While a file of that name exists in the folder, "(new)" goes before the extension again
// (song.mp3, song(new).mp3, song(new)(new).mp3 ...), 10 ms apart. Only files on disk count.
QString FreeDestinationName(const QString &folder, const QString &name, const QString &extension);
