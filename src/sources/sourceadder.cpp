#include "sources/sourceadder.h"

#include "core/logsink.h"
#include "core/startrecord.h"
#include "platform/dialogs.h"
#include "profiles/profilejob.h"
#include "sources/cuetracks.h"
#include "sources/destinationname.h"
#include "sources/filelist.h"
#include "sources/filesize.h"
#include "sources/mediaprobe.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

using namespace Qt::StringLiterals;

SourceAdder::SourceAdder(FileList &list, SourceAdderHost &host, Dialogs &dialogs, LogSink &log, SourcePaths paths)
    : m_list(list)
    , m_host(host)
    , m_dialogs(dialogs)
    , m_log(log)
    , m_paths(std::move(paths))
{ }

bool SourceAdder::AddSourceFile(const QString &sourcePath)
{
    // Album images come with their sheet: the sheet's tracks are the rows.
    if (IsCueSheetName(sourcePath))
        return AddCueSheet(sourcePath);

    const QString absolutePath = QDir::current().absoluteFilePath(sourcePath);
    const std::optional<ProbeVerdict> verdict = probedSource(sourcePath, absolutePath);
    if (!verdict)
        return false;
    const QString caption = QFileInfo(absolutePath).fileName();
    const QString extension = ProfileExtension(m_host.profileName());
    const QString name = freeOutputName(DestinationName(caption, extension));
    TStartRecord job = newJob(absolutePath);
    job.OutputPath = JoinFolder(checkedDestinationFolder(), name);
    SetProbedTimes(job, *verdict);
    appendRow(caption, name, job);
    return true;
}

bool SourceAdder::AddCueSheet(const QString &sheetPath)
{
    const QString absoluteSheet = QDir::current().absoluteFilePath(sheetPath);
    const auto expanded = ExpandCueSheet(absoluteSheet);
    if (const auto *refusal = std::get_if<QString>(&expanded)) {
        m_dialogs.showMessage(m_host.ownerWindow(),
            MessageRequest::confirmation(*refusal, u"Information"_s, DialogIcon::Information, DialogButtons::Yes));
        return false;
    }
    const QList<CueTrackRow> &tracks = std::get<QList<CueTrackRow>>(expanded);

    // Every image is probed once, before any row is added: a sheet is taken whole or not at all.
    QHash<QString, qint64> imageEnds;
    for (const CueTrackRow &track : tracks) {
        if (imageEnds.contains(track.imagePath))
            continue;
        const std::optional<ProbeVerdict> verdict = probedSource(track.imagePath, track.imagePath);
        if (!verdict)
            return false;
        imageEnds.insert(track.imagePath, verdict->exactNs);
    }
    const QString extension = ProfileExtension(m_host.profileName());
    QList<TStartRecord> jobs;
    for (const CueTrackRow &track : tracks) {
        TStartRecord job = newJob(track.imagePath);
        if (!ApplyCueTrack(job, track, imageEnds.value(track.imagePath))) {
            m_dialogs.showMessage(m_host.ownerWindow(),
                MessageRequest::confirmation(CueTrackBeyondImageMessage(absoluteSheet, track), u"Information"_s,
                    DialogIcon::Information, DialogButtons::Yes));
            return false;
        }
        jobs << job;
    }
    for (qsizetype i = 0; i < tracks.size(); ++i) {
        TStartRecord &job = jobs[i];
        const QString name = freeOutputName(RowDestinationName(job, extension));
        job.OutputPath = JoinFolder(checkedDestinationFolder(), name);
        appendRow(tracks.at(i).caption, name, job, QFileInfo(tracks.at(i).imagePath).fileName());
    }
    return true;
}

std::optional<ProbeVerdict> SourceAdder::probedSource(const QString &shownPath, const QString &absolutePath)
{
    QDir().mkpath(QFileInfo(m_paths.scratchPath).path());
    const ProbeRun probe = RunProbe(absolutePath, m_paths.scratchPath);
    if (!probe.started) {
        m_dialogs.showMessage(nullptr, MessageRequest::plain(ProbeStartFailedMessage(shownPath)));
        return std::nullopt;
    }
    ProbeVerdict verdict = JudgeProbeText(probe.text);
    if (!probe.text.isEmpty())
        m_log.append(probe.text, LogSink::View::Beginning);
    if (probe.timedOut)
        verdict.accepted = false; // a probe that never ends is no usable source
    if (!verdict.accepted) {
        MessageRequest refusal = MessageRequest::confirmation(
            ProbeRefusedMessage(absolutePath), u"Information"_s, DialogIcon::Information, DialogButtons::Yes);
        m_dialogs.showMessage(m_host.ownerWindow(), refusal);
        return std::nullopt;
    }
    return verdict;
}

QString SourceAdder::freeOutputName(const QString &wantedName)
{
    const QString extension = ProfileExtension(m_host.profileName());
    return FreeDestinationName(m_host.destinationFolder(), wantedName, extension);
}

TStartRecord SourceAdder::newJob(const QString &absolutePath)
{
    const QString profile = m_host.profileName();
    TStartRecord job;
    job.SourcePath = absolutePath;
    const ProfileSettings settings = ReadProfileSettings(
        ProfileFileForPosition(m_host.profilePosition(), m_paths.cataloguePath, m_paths.userProfilePath), profile);
    ApplyProfileToJob(job, profile, settings, m_host.qualityIndex());
    m_host.applyProfileSwitches(job.Lossless == kTrue, job.BitrateNot == kTrue);
    job.Volume = kUnchangedVolume;
    return job;
}

void SourceAdder::appendRow(
    const QString &caption, const QString &name, const TStartRecord &job, const QString &toolTip)
{
    SourceRow *row = m_list.appendRow(caption, FileSizeText(FileSizeBytes(job.SourcePath)), job.Duration, name, job);
    if (!toolTip.isEmpty())
        row->setToolTip(SourceColumn::Source, toolTip);
    m_host.rowAdded();
}

// The destination folder, made to exist: the start-up destination is created when missing,
// any other missing folder is replaced by the default output folder.
QString SourceAdder::checkedDestinationFolder()
{
    const QString folder = m_host.destinationFolder();
    if (QFileInfo(folder).isDir())
        return folder;
    if (folder == m_paths.startupDestination && QDir().mkdir(folder))
        return folder;
    m_host.setDestinationFolder(m_paths.defaultOutputFolder);
    return m_paths.defaultOutputFolder;
}
