#include "profiles/profilejob.h"

#include "core/startrecord.h"

QStringView QualityBitrateKey(int qualityPosition)
{
    switch (qualityPosition) {
    case QualityPosition::High:
        return ProfileKey::BitrateHigh;
    case QualityPosition::Normal:
        return ProfileKey::BitrateNormal;
    default:
        return ProfileKey::BitrateLow;
    }
}

QString QualityBitrate(const ProfileSettings &settings, int qualityPosition)
{
    switch (qualityPosition) {
    case QualityPosition::High:
        return settings.bitrateHigh;
    case QualityPosition::Normal:
        return settings.bitrateNormal;
    default:
        return settings.bitrateLow;
    }
}

void ApplyProfileToJob(TStartRecord &job, const QString &profileName, const ProfileSettings &settings,
    int qualityPosition, SampleRateRule sampleRateRule)
{
    job.ProfileName = profileName;
    job.Extension = ProfileExtension(profileName);
    job.Channels = settings.channels;
    job.AudioCodec = settings.audioCodec;
    job.VideoNot = settings.videoNot;
    job.Lossless = settings.lossless;
    job.BitrateNot = settings.bitrateNot;
    const bool lossless = job.Lossless == kTrue;
    if (!lossless || sampleRateRule == SampleRateRule::Always)
        job.SampleRate = settings.sampleRate;
    if (!lossless && job.BitrateNot != kTrue)
        job.Bitrate = QualityBitrate(settings, qualityPosition);
}
