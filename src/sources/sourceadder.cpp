#include "sources/sourceadder.h"

#include "core/logsink.h"
#include "core/startrecord.h"
#include "platform/dialogs.h"
#include "profiles/profilejob.h"
#include "sources/destinationname.h"
#include "sources/filelist.h"
#include "sources/filesize.h"
#include "sources/mediaprobe.h"

#include <QDir>
#include <QFileInfo>

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
    const QString absolutePath = QDir::current().absoluteFilePath(sourcePath);
    QDir().mkpath(QFileInfo(m_paths.scratchPath).path());

    return acceptProbe(absolutePath, RunProbe(absolutePath, m_paths.scratchPath));
}

bool SourceAdder::acceptProbe(const QString &absolutePath, const ProbeRun &probe, const QString &relativeFolder)
{
    if (!probe.started) {
        m_dialogs.showMessage(nullptr, MessageRequest::plain(ProbeStartFailedMessage(absolutePath)));
        return false;
    }
    const ProbeVerdict verdict = JudgeProbeRun(probe);
    if (!verdict.accepted) {
        // The probe's text tells why a file was refused; an accepted file's would only bury
        // the conversions' own text.
        if (!probe.text.isEmpty())
            m_log.append(probe.text, LogSink::View::Beginning);
        MessageRequest refusal = MessageRequest::confirmation(
            ProbeRefusedMessage(absolutePath), u"Information"_s, DialogIcon::Information, DialogButtons::Yes);
        m_dialogs.showMessage(m_host.ownerWindow(), refusal);
        return false;
    }

    const QString caption = QFileInfo(absolutePath).fileName();
    const QString profile = m_host.profileName();
    const QString extension = ProfileExtension(profile);
    TStartRecord job;
    job.RelativeFolder = relativeFolder;
    const QString name = FreeDestinationName(
        RowOutputFolder(m_host.destinationFolder(), job), DestinationName(caption, extension), extension);

    job.SourcePath = absolutePath;
    job.Duration = verdict.duration;
    job.StartTime = kStartOfFile.toString();
    job.Length = verdict.duration;
    const ProfileSettings settings = ReadProfileSettings(
        ProfileFileForPosition(m_host.profilePosition(), m_paths.cataloguePath, m_paths.userProfilePath), profile);
    ApplyProfileToJob(job, profile, settings, m_host.qualityIndex());
    m_host.applyProfileSwitches(job.Lossless == kTrue, job.BitrateNot == kTrue);
    job.OutputPath = JoinFolder(RowOutputFolder(checkedDestinationFolder(), job), name);
    job.Volume = kUnchangedVolume;

    m_list.appendRow(caption, FileSizeText(FileSizeBytes(absolutePath)), verdict.duration, name, job);
    m_host.rowAdded();
    return true;
}

QString SourceAdder::emptyFolderMessage(const QString &absolutePath)
{
    return u"The folder \""_s + absolutePath + u"\" holds no audio or video file to convert."_s;
}

void SourceAdder::refuseEmptyFolder(const QString &absolutePath)
{
    m_dialogs.showMessage(m_host.ownerWindow(),
        MessageRequest::confirmation(
            emptyFolderMessage(absolutePath), u"Information"_s, DialogIcon::Information, DialogButtons::Yes));
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
