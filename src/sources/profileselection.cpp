#include "sources/profileselection.h"

#include "core/startrecord.h"
#include "profiles/privateprofile.h"
#include "profiles/profilecatalogue.h"
#include "profiles/profilejob.h"
#include "profiles/settingsform.h"
#include "sources/destinationname.h"

#include <QDir>
#include <QFileInfo>

ProfileSelection::ProfileSelection(QueueRows &rows, OutputChoosers &choosers, SourcePaths paths)
    : m_rows(rows)
    , m_choosers(choosers)
    , m_paths(std::move(paths))
{ }

QString ProfileSelection::profileFile() const
{
    return ProfileFileForPosition(m_choosers.profilePosition(), m_paths.cataloguePath, m_paths.userProfilePath);
}

void ProfileSelection::applyProfile(const QList<int> &targets)
{
    const QString section = m_choosers.profiles().value(m_choosers.profilePosition());
    const ProfileSettings settings = ReadProfileSettings(profileFile(), section);
    if (targets.isEmpty()) {
        switchChoosers(settings.lossless == kTrue, settings.bitrateNot == kTrue);
        return;
    }
    for (const int row : targets) {
        TStartRecord &job = m_rows.job(row);
        ApplyProfileToJob(job, section, settings, m_choosers.qualityPosition(), SampleRateRule::UnlessLossless);
        switchChoosers(job.Lossless == kTrue, job.BitrateNot == kTrue);
        renameDestination(row, checkedFolder());
    }
    applyQuality(targets);
}

void ProfileSelection::applyQuality(const QList<int> &targets)
{
    if (targets.isEmpty())
        return;
    const QString section = m_choosers.profiles().value(m_choosers.profilePosition());
    const QString bitrate = PrivateProfile::readString(
        profileFile(), section, QualityBitrateKey(m_choosers.qualityPosition()).toString(), kDefaultBitrate.toString());
    for (const int row : targets)
        m_rows.job(row).Bitrate = bitrate;
}

void ProfileSelection::applySettings(const QList<int> &targets, const SettingsChoices &choices)
{
    if (choices.profilesChanged)
        m_choosers.setProfiles(choices.profiles);
    m_choosers.setProfilePosition(choices.profilePosition);

    const QString profile = choices.profileText();
    const QString extension = ProfileExtension(profile);
    const ChooserRecord &sampleRate = choices.chooser(LibraryChooser::SampleRate);
    const ChooserRecord &bitrate = choices.chooser(LibraryChooser::Bitrate);
    for (const int row : targets) {
        TStartRecord &job = m_rows.job(row);
        job.ProfileName = profile;
        if (job.Extension.text() != extension) {
            job.Extension = extension;
            renameDestination(row, m_choosers.destinationFolder());
        }
        job.AudioCodec = choices.chooser(LibraryChooser::Encoder).text;
        job.Channels = choices.chooser(LibraryChooser::Channels).text;
        if (!sampleRate.disabled) {
            m_choosers.setQualityEnabled(true);
            m_choosers.setQualityLossless(false);
            job.SampleRate = sampleRate.text;
        } else {
            m_choosers.setQualityLossless(true);
            m_choosers.setQualityEnabled(false);
            m_choosers.setSettingsEnabled(false);
        }
        if (!bitrate.disabled)
            job.Bitrate = bitrate.text;
    }

    if (bitrate.disabled)
        return;
    m_choosers.setQualityEnabled(true);
    const QString normal
        = PrivateProfile::readString(profileFile(), m_choosers.profiles().value(m_choosers.profilePosition()),
            ProfileKey::BitrateNormal.toString(), kDefaultBitrate.toString());
    m_choosers.setQualityPosition(QualityForBitrate(bitrate.text, normal, m_choosers.qualityPosition()));
}

void ProfileSelection::keepSavedProfiles(const SettingsChoices &choices)
{
    if (!choices.profilesChanged)
        return;
    const int position = m_choosers.profilePosition();
    m_choosers.setProfiles(choices.profiles);
    m_choosers.setProfilePosition(position);
}

// The destination folder, made to exist before a destination is built in it: the start-up
// destination is created when missing, any other missing folder gives way to the default
// output folder.
QString ProfileSelection::checkedFolder()
{
    const QString folder = m_choosers.destinationFolder();
    if (QFileInfo(folder).isDir())
        return folder;
    if (folder == m_paths.startupDestination) {
        QDir().mkdir(folder);
        if (QFileInfo(folder).isDir())
            return folder;
    }
    m_choosers.setDestinationFolder(m_paths.defaultOutputFolder);
    return m_paths.defaultOutputFolder;
}

// The destination is always rebuilt from the source name, so a name the user edited goes.
void ProfileSelection::renameDestination(int row, const QString &folder)
{
    TStartRecord &job = m_rows.job(row);
    const QString extension = job.Extension;
    const QString rowFolder = RowOutputFolder(folder, job);
    const QString name = FreeDestinationName(rowFolder, RowDestinationName(job, extension), extension);
    job.OutputPath = JoinFolder(rowFolder, name);
    m_rows.setDestination(row, name);
}

void ProfileSelection::switchChoosers(bool lossless, bool bitrateNot)
{
    m_choosers.setSettingsEnabled(!lossless);
    m_choosers.setQualityLossless(lossless);
    m_choosers.setQualityEnabled(!lossless && !bitrateNot);
}
