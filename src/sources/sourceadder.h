#pragma once

#include "core/startrecord.h"
#include "sources/mediaprobe.h"

#include <QString>

#include <optional>

class Dialogs;
class FileList;
class LogSink;
class QWidget;

// What adding a source reads from, and changes in, the window around the list.
class SourceAdderHost
{
public:
    virtual ~SourceAdderHost() = default;
    virtual QWidget *ownerWindow() const = 0;
    virtual QString profileName() const = 0; // the profile chooser's text
    virtual int profilePosition() const = 0; // its position in the profile list
    virtual int qualityIndex() const = 0; // 0 High, 1 Normal, else Low
    virtual QString destinationFolder() const = 0;
    virtual void setDestinationFolder(const QString &folder) = 0;
    // The added row's profile decides the settings and quality choosers: a lossless profile
    // offers neither, a profile without bit rates no quality.
    virtual void applyProfileSwitches(bool lossless, bool bitrateNot) = 0;
    // A row was added; the first one of an empty list enables what needs a row.
    virtual void rowAdded() = 0;
};

// Files and folders adding a source needs.
struct SourcePaths
{
    QString cataloguePath;
    QString userProfilePath;
    QString startupDestination; // the destination the program starts with, created on demand
    QString defaultOutputFolder; // where output goes when the destination folder is gone
    QString scratchPath; // the probe's one-millisecond output
};

// The one way a file gets into the source list: the transcoder probes it, and it is either
// refused with a message or appended as a row with its job record, filled from the current
// profile, quality and destination folder.
class SourceAdder
{
public:
    SourceAdder(FileList &list, SourceAdderHost &host, Dialogs &dialogs, LogSink &log, SourcePaths paths);

    // True when a row was added.
    bool AddSourceFile(const QString &sourcePath);

    // A CUE sheet: one row per track, cut from its image; a sheet that cannot be used is
    // refused with a message naming its line, and then no row is added. True when rows were.
    bool AddCueSheet(const QString &sheetPath);

    const SourcePaths &paths() const { return m_paths; }

private:
    QString checkedDestinationFolder();
    // Probes a source; a refusal is shown and gives nothing.
    std::optional<ProbeVerdict> probedSource(const QString &shownPath, const QString &absolutePath);
    // The record of a new row from the current profile and quality; the caller fills in
    // the times and the output path.
    TStartRecord newJob(const QString &absolutePath);
    // The output name: the wanted one, or "(new)" versions of it while taken.
    QString freeOutputName(const QString &wantedName);
    void appendRow(const QString &caption, const QString &name, const TStartRecord &job, const QString &toolTip = {});

    FileList &m_list;
    SourceAdderHost &m_host;
    Dialogs &m_dialogs;
    LogSink &m_log;
    SourcePaths m_paths;
};
