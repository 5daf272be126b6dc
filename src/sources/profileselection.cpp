#include "sources/profileselection.h"

#include "batch/outputchoices.h"
#include "core/startrecord.h"
#include "profiles/privateprofile.h"
#include "profiles/profilecatalogue.h"
#include "profiles/profilejob.h"
#include "profiles/settingsform.h"
#include "sources/destinationname.h"

#include <QDir>
#include <QFileInfo>

ProfileSelection::ProfileSelection(QueueRows &rows, OutputChoices &choices, SourcePaths paths)
    : m_rows(rows)
    , m_choices(choices)
    , m_paths(std::move(paths))
{ }

QString ProfileSelection::profileFile() const
{
    return ProfileFileForPosition(m_choices.profilePosition(), m_paths.cataloguePath, m_paths.userProfilePath);
}

void ProfileSelection::applyProfile(const QList<int> &targets)
{
    const QString section = m_choices.profileName();
    const ProfileSettings settings = ReadProfileSettings(profileFile(), section);
    if (targets.isEmpty()) {
        switchChoosers(settings.lossless == kTrue, settings.bitrateNot == kTrue);
        return;
    }
    for (const int row : targets) {
        TStartRecord &job = m_rows.job(row);
        ApplyProfileToJob(job, section, settings, m_choices.qualityPosition(), SampleRateRule::UnlessLossless);
        switchChoosers(job.Lossless == kTrue, job.BitrateNot == kTrue);
        renameDestination(row, checkedFolder());
    }
    applyQuality(targets);
}

void ProfileSelection::applyQuality(const QList<int> &targets)
{
    if (targets.isEmpty())
        return;
    const QString section = m_choices.profileName();
    const QString bitrate = PrivateProfile::readString(
        profileFile(), section, QualityBitrateKey(m_choices.qualityPosition()).toString(), kDefaultBitrate.toString());
    for (const int row : targets) {
        TStartRecord &job = m_rows.job(row);
        if (job.Bitrate.text() == bitrate)
            continue;
        job.Bitrate = bitrate;
        ReopenIfFinished(m_rows, row);
    }
}

void ProfileSelection::applySettings(const QList<int> &targets, const SettingsChoices &choices)
{
    if (choices.profilesChanged)
        m_choices.setProfiles(choices.profiles);
    m_choices.setProfilePosition(choices.profilePosition);

    const QString profile = choices.profileText();
    const QString extension = ProfileExtension(profile);
    const ChooserRecord &sampleRate = choices.chooser(LibraryChooser::SampleRate);
    const ChooserRecord &bitrate = choices.chooser(LibraryChooser::Bitrate);
    for (const int row : targets) {
        TStartRecord &job = m_rows.job(row);
        job.ProfileName = profile;
        if (job.Extension.text() != extension) {
            job.Extension = extension;
            renameDestination(row, m_choices.destinationFolder());
        }
        ReopenIfFinished(m_rows, row); // the dialog's OK is a choice made for these rows
        job.AudioCodec = choices.chooser(LibraryChooser::Encoder).text;
        job.Channels = choices.chooser(LibraryChooser::Channels).text;
        if (!sampleRate.disabled) {
            m_choices.setQualityEnabled(true);
            m_choices.setQualityLook(QualityLook::List);
            job.SampleRate = sampleRate.text;
        } else {
            m_choices.setQualityLook(QualityLook::Lossless);
            m_choices.setQualityEnabled(false);
            m_choices.setSettingsEnabled(false);
        }
        if (!bitrate.disabled)
            job.Bitrate = bitrate.text;
    }

    if (bitrate.disabled)
        return;
    m_choices.setQualityEnabled(true);
    const QString normal = PrivateProfile::readString(
        profileFile(), m_choices.profileName(), ProfileKey::BitrateNormal.toString(), kDefaultBitrate.toString());
    m_choices.setQualityPosition(QualityForBitrate(bitrate.text, normal, m_choices.qualityPosition()));
}

void ProfileSelection::keepSavedProfiles(const SettingsChoices &choices)
{
    if (!choices.profilesChanged)
        return;
    const int position = m_choices.profilePosition();
    m_choices.setProfiles(choices.profiles);
    m_choices.setProfilePosition(position);
}

QString ProfileSelection::checkedFolder()
{
    return CheckedDestinationFolder(m_choices, m_paths.startupDestination, m_paths.defaultOutputFolder);
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
    ReopenIfFinished(m_rows, row);
}

void ProfileSelection::switchChoosers(bool lossless, bool bitrateNot)
{
    m_choices.setSettingsEnabled(!lossless);
    m_choices.setQualityLook(lossless ? QualityLook::Lossless : QualityLook::List);
    m_choices.setQualityEnabled(!lossless && !bitrateNot);
}
