#include "sources/sourceadder.h"

#include "batch/outputchoices.h"
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

SourceAdder::SourceAdder(
    FileList &list, OutputChoices &choices, Dialogs &dialogs, LogSink &log, SourcePaths paths, QWidget *owner)
    : m_list(list)
    , m_choices(choices)
    , m_owner(owner)
    , m_dialogs(dialogs)
    , m_log(log)
    , m_paths(std::move(paths))
{ }

bool SourceAdder::acceptProbe(const QString &absolutePath, const ProbeRun &probe, const QString &relativeFolder)
{
    const std::optional<ProbeVerdict> verdict = judgedProbe(absolutePath, probe);
    if (!verdict)
        return false;
    const QString caption = QFileInfo(absolutePath).fileName();
    const QString extension = ProfileExtension(m_choices.profileName());
    TStartRecord job = newJob(absolutePath);
    job.RelativeFolder = relativeFolder;
    const QString name = freeOutputName(job, DestinationName(caption, extension));
    job.OutputPath = JoinFolder(RowOutputFolder(checkedDestinationFolder(), job), name);
    SetProbedTimes(job, *verdict);
    appendRow(caption, name, job);
    return true;
}

QStringList SourceAdder::CueImages(const QList<CueTrackRow> &tracks)
{
    QStringList images;
    for (const CueTrackRow &track : tracks) {
        if (!images.contains(track.imagePath))
            images << track.imagePath;
    }
    return images;
}

bool SourceAdder::acceptCueSheet(const QString &sheetPath, const QList<CueTrackRow> &tracks,
    const QHash<QString, ProbeRun> &imageProbes, const QString &relativeFolder)
{
    // Every image is judged before any row is added: a sheet is taken whole or not at all.
    QHash<QString, qint64> imageEnds;
    for (const QString &image : CueImages(tracks)) {
        const auto probe = imageProbes.constFind(image);
        if (probe == imageProbes.cend())
            return false;
        const std::optional<ProbeVerdict> verdict = judgedProbe(image, *probe);
        if (!verdict)
            return false;
        imageEnds.insert(image, verdict->exactNs);
    }
    const QString extension = ProfileExtension(m_choices.profileName());
    QList<TStartRecord> jobs;
    for (const CueTrackRow &track : tracks) {
        TStartRecord job = newJob(track.imagePath);
        job.RelativeFolder = relativeFolder;
        if (!ApplyCueTrack(job, track, imageEnds.value(track.imagePath))) {
            refuseCueSheet(CueTrackBeyondImageMessage(sheetPath, track));
            return false;
        }
        jobs << job;
    }
    for (qsizetype i = 0; i < tracks.size(); ++i) {
        TStartRecord &job = jobs[i];
        const QString name = freeOutputName(job, RowDestinationName(job, extension));
        job.OutputPath = JoinFolder(RowOutputFolder(checkedDestinationFolder(), job), name);
        appendRow(tracks.at(i).caption, name, job, QFileInfo(tracks.at(i).imagePath).fileName());
    }
    return !tracks.isEmpty();
}

void SourceAdder::refuseCueSheet(const QString &message)
{
    m_dialogs.showMessage(
        m_owner, MessageRequest::confirmation(message, u"Information"_s, DialogIcon::Information, DialogButtons::Yes));
}

std::optional<ProbeVerdict> SourceAdder::judgedProbe(const QString &absolutePath, const ProbeRun &probe)
{
    if (!probe.started) {
        m_dialogs.showMessage(nullptr, MessageRequest::plain(ProbeStartFailedMessage(absolutePath)));
        return std::nullopt;
    }
    const ProbeVerdict verdict = JudgeProbeRun(probe);
    if (!verdict.accepted) {
        // The probe's text tells why a file was refused; an accepted file's would only bury
        // the conversions' own text.
        if (!probe.text.isEmpty())
            m_log.append(probe.text, LogSink::View::Beginning);
        MessageRequest refusal = MessageRequest::confirmation(
            ProbeRefusedMessage(absolutePath), u"Information"_s, DialogIcon::Information, DialogButtons::Yes);
        m_dialogs.showMessage(m_owner, refusal);
        return std::nullopt;
    }
    return verdict;
}

QString SourceAdder::freeOutputName(const TStartRecord &job, const QString &wantedName)
{
    const QString extension = ProfileExtension(m_choices.profileName());
    return FreeDestinationName(RowOutputFolder(m_choices.destinationFolder(), job), wantedName, extension);
}

TStartRecord SourceAdder::newJob(const QString &absolutePath)
{
    const QString profile = m_choices.profileName();
    TStartRecord job;
    job.SourcePath = absolutePath;
    const ProfileSettings settings = ReadProfileSettings(
        ProfileFileForPosition(m_choices.profilePosition(), m_paths.cataloguePath, m_paths.userProfilePath), profile);
    ApplyProfileToJob(job, profile, settings, m_choices.qualityPosition());
    m_choices.applyAddedRowSwitches(job.Lossless == kTrue, job.BitrateNot == kTrue);
    job.Volume = kUnchangedVolume;
    return job;
}

void SourceAdder::appendRow(
    const QString &caption, const QString &name, const TStartRecord &job, const QString &toolTip)
{
    m_list.appendRow(caption, FileSizeText(FileSizeBytes(job.SourcePath)), job.Duration, name, job, toolTip);
}

QString SourceAdder::destinationFolder() const
{
    return m_choices.destinationFolder();
}

QString SourceAdder::emptyFolderMessage(const QString &absolutePath)
{
    return u"The folder \""_s + absolutePath + u"\" holds no audio or video file to convert."_s;
}

void SourceAdder::refuseEmptyFolder(const QString &absolutePath)
{
    m_dialogs.showMessage(m_owner,
        MessageRequest::confirmation(
            emptyFolderMessage(absolutePath), u"Information"_s, DialogIcon::Information, DialogButtons::Yes));
}

QString SourceAdder::checkedDestinationFolder()
{
    return CheckedDestinationFolder(m_choices, m_paths.startupDestination, m_paths.defaultOutputFolder);
}
