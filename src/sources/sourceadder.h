#pragma once

#include "core/startrecord.h"
#include "sources/mediaprobe.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class Dialogs;
class FileList;
class LogSink;
class OutputChoices;
class QWidget;
struct ProbeRun;
struct CueTrackRow;

// Files and folders adding a source needs.
struct SourcePaths
{
    QString cataloguePath;
    QString userProfilePath;
    QString startupDestination; // the destination the program starts with, created on demand
    QString defaultOutputFolder; // where output goes when the destination folder is gone
};

// The one way a file gets into the source list: the transcoder probes it, and it is either
// refused with a message or appended as a row with its job record, filled from the current
// profile, quality and destination folder.
class SourceAdder
{
public:
    // New rows take the choices' profile, quality and destination; a lossless or bit-rate-less
    // row switches what the choices offer. owner: the window the boxes belong to.
    SourceAdder(FileList &list, OutputChoices &choices, Dialogs &dialogs, LogSink &log, SourcePaths paths,
        QWidget *owner = nullptr);

    // A file whose probe has ended: refused with a message, or appended as a row. True when a
    // row was added.
    // relativeFolder: the file's folder below the added folder's parent, for a file added with
    // its folder (its output keeps those sub-folders below the destination).
    bool acceptProbe(const QString &absolutePath, const ProbeRun &probe, const QString &relativeFolder = {});
    // Where the rows' outputs go now: a folder added whole leaves it out, so an earlier run's
    // outputs inside the folder are not converted again.
    QString destinationFolder() const;
    // A folder added whole that holds nothing to convert: said once, for the whole folder.
    void refuseEmptyFolder(const QString &absolutePath);
    static QString emptyFolderMessage(const QString &absolutePath);

    // A CUE sheet's tracks (one row per track, cut from its image) whose images' probes have
    // ended (imageProbes by image path, one for each of CueImages(tracks)): the whole sheet is
    // refused with one box, or every track is appended as a row. True when rows were added.
    bool acceptCueSheet(const QString &sheetPath, const QList<CueTrackRow> &tracks,
        const QHash<QString, ProbeRun> &imageProbes, const QString &relativeFolder = {});
    // A sheet that cannot be used (ExpandCueSheet's refusal): one box.
    void refuseCueSheet(const QString &message);
    // The images a sheet's tracks cut, each once, in the sheet's order.
    static QStringList CueImages(const QList<CueTrackRow> &tracks);

    const SourcePaths &paths() const { return m_paths; }

private:
    QString checkedDestinationFolder();
    // A source's ended probe; a refusal is shown and gives nothing.
    std::optional<ProbeVerdict> judgedProbe(const QString &absolutePath, const ProbeRun &probe);
    // The record of a new row from the current profile and quality; the caller fills in
    // the times and the output path.
    TStartRecord newJob(const QString &absolutePath);
    // The output name: the wanted one, or "(new)" versions of it while taken.
    QString freeOutputName(const TStartRecord &job, const QString &wantedName);
    void appendRow(const QString &caption, const QString &name, const TStartRecord &job, const QString &toolTip = {});

    FileList &m_list;
    OutputChoices &m_choices;
    QWidget *m_owner;
    Dialogs &m_dialogs;
    LogSink &m_log;
    SourcePaths m_paths;
};
