#pragma once

#include "sources/cuetracks.h"

#include <QList>
#include <QString>
#include <QStringList>

// What a list of paths becomes before anything is examined, for the window and tolm-convert
// alike: every file to add, each CUE sheet with its tracks, and each path that gives nothing,
// in the order given. A folder gives every media file below it (a file manager's order, its
// CUE sheets read first so the images they cut are not added whole as well); each keeps its
// folder below the added one. The front ends only present the plan.
struct IntakeEntry
{
    enum class Kind {
        File, // a file to examine and add
        CueSheet, // a sheet whose tracks are added
        BadSheet, // a sheet that cannot be used: refusal says why
        EmptyFolder, // a folder that holds no media file
        NotFound, // neither a folder nor a regular file (missing, a pipe, a device)
        Unreadable, // below an added folder: a folder it could not read, a name no path reaches
    };
    Kind kind = Kind::File;
    QString path; // absolute and cleaned
    QString shown; // as the user named it: the path given, or the folder given and the path below it
    QString relativeFolder; // below the added folder, its own name first; empty for a path given by itself
    QList<CueTrackRow> tracks; // a sheet's
    QString refusal; // a bad sheet's, or why an unreadable entry was left out
};

struct IntakeOptions
{
    bool subFolders = true; // false: a folder's own files only
    QString leaveOut; // a folder never taken as input (the destination inside an added folder)
};

QList<IntakeEntry> PlanIntake(const QStringList &paths, const IntakeOptions &options = {});
