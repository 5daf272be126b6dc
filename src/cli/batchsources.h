#pragma once

#include "cli/convertoptions.h"
#include "sources/cuetracks.h"
#include "sources/folderwalk.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// One source file of a run and where its output goes.
struct BatchSource
{
    QString path; // absolute, cleaned
    QString shown; // as the user named it (the argument, or the argument's folder and the relative path)
    QString
        outputFolder; // absolute: the output folder, then with -r the file's folders from its argument's own name on
    std::optional<CueTrackRow> track
        = std::nullopt; // a track of an album image (path is the image), from its CUE sheet
};

// The output's file name for a source: the source's name with the output extension, or a
// track's "NN - Title" with it.
QString BatchOutputName(const BatchSource &source, const QString &extension);

struct GatheredSources
{
    QList<BatchSource> sources;
    QStringList missing; // arguments that name no file or folder, as given
    // What cannot be converted, as named, and why: CUE sheets that cannot be used, folders
    // that cannot be read, media files whose names cannot be opened.
    QList<QPair<QString, QString>> refused;
};

// The files of the arguments, in argument order; each folder's files in the order a file
// manager shows them. A folder gives its media files into a folder of its own name below the
// output folder, as the window does; with -r those of every sub-folder too, mirrored below it, except a sub-folder that
// is the output folder, so a run never takes the outputs of an earlier one. Hidden files and folders are left out. A
// CUE sheet, named or in a folder, gives its tracks in place of its images.
GatheredSources GatherSources(const QStringList &inputs, bool recursive, const QString &outputFolder);

// Settles each output name once for the whole run, so two files of the run never write one
// output and a source is never written over.
class OutputNames
{
public:
    OutputNames(ClashRule rule, const QList<BatchSource> &sources);

    // The output path for a destination name in a folder, by the rule: for NewName and Skip the
    // window's "(new)" rule, for Overwrite the name itself unless it is a source or already
    // taken by this run (then "(new)" as well). Reserved for the rest of the run.
    QString reserve(const QString &folder, const QString &name, const QString &extension);

    // Skip: the natural name exists already.
    static bool exists(const QString &folder, const QString &name);

private:
    bool isSource(const QString &path) const;

    ClashRule m_rule;
    QSet<QString> m_reserved;
    QSet<QPair<quint64, quint64>> m_sourceIds; // device and inode of every source
};
