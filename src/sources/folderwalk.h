#pragma once

#include "sources/cuetracks.h"

#include <QList>
#include <QString>

#include <optional>
#include <variant>

// The audio and video files a folder holds, at every level, for adding the folder whole.

// True for the extensions of the audio and video files a folder contributes (a file named
// directly is always tried, whatever its name).
bool IsMediaFileName(const QString &fileName);

struct FolderFile
{
    QString path; // absolute
    // Its folder relative to the folder's parent: the added folder's own name first, then the
    // sub-folders ("Album One/CD2"). Where its output goes below the destination.
    QString relativeFolder;
};

struct FolderWalk
{
    bool withCueSheets = false; // CUE sheets come too, in their places (their images are cut into tracks)
    bool subFolders = true; // false: the folder's own files only
    QString leaveOut; // a folder below that is not walked (an output folder inside the input)
};

// Every media file below the folder, in the order a file manager shows them (names compared
// as people read numbers: "2" before "10"; a folder's files before its sub-folders). Hidden
// files and folders are left out; links are followed, each folder visited once, so a link
// loop ends the walk. The window and tolm-convert both add folders through this, so a tree
// is mirrored the same way by both.
QList<FolderFile> MediaFilesBelow(const QString &folder, const FolderWalk &how = {});

// What a walk could not take, with why: a folder it could not read, a media file whose name
// is not valid in the system's encoding (no path can reach it).
struct WalkProblem
{
    QString path; // absolute; an undecodable name shows U+FFFD where its bytes were
    QString reason;
};
QList<FolderFile> MediaFilesBelow(const QString &folder, const FolderWalk &how, QList<WalkProblem> *problems);

// A folder's files as they are added, the window's way and tolm-convert's alike: every CUE
// sheet read first, so the images its tracks cut are known and left out (they are not
// converted whole as well); a sheet keeps its place, carrying its tracks or why it cannot be
// used.
struct FolderEntry
{
    FolderFile file;
    std::optional<std::variant<QList<CueTrackRow>, QString>> sheet; // set for a CUE sheet
};
QList<FolderEntry> SheetsFirst(const QList<FolderFile> &files);
