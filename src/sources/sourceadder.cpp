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

    const ProbeRun probe = RunProbe(absolutePath, m_paths.scratchPath);
    if (!probe.started) {
        m_dialogs.showMessage(nullptr, MessageRequest::plain(ProbeStartFailedMessage(sourcePath)));
        return false;
    }
    ProbeVerdict verdict = JudgeProbeText(probe.text);
    if (probe.timedOut)
        verdict.accepted = false; // a probe that never ends is no usable source
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
    const QString name
        = FreeDestinationName(m_host.destinationFolder(), DestinationName(caption, extension), extension);

    TStartRecord job;
    job.SourcePath = absolutePath;
    job.Duration = verdict.duration;
    job.StartTime = kStartOfFile.toString();
    job.Length = verdict.duration;
    const ProfileSettings settings = ReadProfileSettings(
        ProfileFileForPosition(m_host.profilePosition(), m_paths.cataloguePath, m_paths.userProfilePath), profile);
    ApplyProfileToJob(job, profile, settings, m_host.qualityIndex());
    m_host.applyProfileSwitches(job.Lossless == kTrue, job.BitrateNot == kTrue);
    job.OutputPath = JoinFolder(checkedDestinationFolder(), name);
    job.Volume = kUnchangedVolume;

    m_list.appendRow(caption, FileSizeText(FileSizeBytes(absolutePath)), verdict.duration, name, job);
    m_host.rowAdded();
    return true;
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
