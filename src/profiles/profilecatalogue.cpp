#include "profiles/profilecatalogue.h"

#include "profiles/privateprofile.h"

using namespace Qt::StringLiterals;

QStringList BuiltInProfileNames()
{
    return {
        u"AAC - Advanced Audio Coding (*.aac)"_s,
        u"AC3 - Dolby Digital AC-3 (*.ac3)"_s,
        u"AIFF - Audio Interchange File Format (*.aiff)"_s,
        u"M4A - MPEG-4 Audio (*.m4a)"_s,
        u"MP2 - MPEG Layer-2 Audio (*.mp2)"_s,
        u"MP3 - MPEG Layer-3 Audio (*.mp3)"_s,
        u"OGG - Ogg Vorbis Audio (*.ogg)"_s,
        u"RA - RealAudio (*.ra)"_s,
        u"SUN AU Format (*.au)"_s,
        u"WAV - Waveform Audio (*.wav)"_s,
        u"WMA - Windows Media Audio (*.wma)"_s,
        u"FLAC - Free Lossless Audio Codec (*.flac)"_s,
        u"WAV - Waveform Lossless Audio (*.wav)"_s,
        u"WMA - Windows Media Lossless Audio (*.wma)"_s,
        u"OPUS - Opus Audio (*.opus)"_s,
        u"ALAC - Apple Lossless (*.m4a)"_s,
    };
}

QString ProfileExtension(const QString &profileName)
{
    const qsizetype p = profileName.indexOf(u"(*.") + 1; // 1-based, 0 when missing
    const qsizetype n = profileName.size();
    const qsizetype count = n - p - 2;
    if (count <= 0)
        return {};
    return profileName.mid(p + 1, count); // starts at the 1-based position p + 2
}

QString ProfileFileForPosition(int position, const QString &cataloguePath, const QString &userProfilePath)
{
    return position >= 0 && position < kBuiltInProfileCount ? cataloguePath : userProfilePath;
}

ProfileSettings ReadProfileSettings(const QString &profileFile, const QString &section)
{
    const auto file = PrivateProfile::Document::load(profileFile);
    const auto read = [&](QStringView key, const QString &fallback, int buffer = PrivateProfile::kValueBuffer) {
        return file.value(section, key.toString(), fallback, buffer);
    };
    const QString defaultBitrate = u"128 kbps"_s;
    ProfileSettings s;
    s.audioCodec = read(ProfileKey::AudioCodec, {});
    s.channels = read(ProfileKey::Channels, u"2 Channels Stereo"_s);
    s.videoNot = read(ProfileKey::VideoNot, u"False"_s);
    s.lossless = read(ProfileKey::Lossless, u"False"_s);
    s.bitrateNot = read(ProfileKey::BitrateNot, u"False"_s);
    s.sampleRate = read(ProfileKey::SampleRate, u"44100 Hz"_s);
    s.bitrateHigh = read(ProfileKey::BitrateHigh, defaultBitrate);
    s.bitrateNormal = read(ProfileKey::BitrateNormal, defaultBitrate);
    s.bitrateLow = read(ProfileKey::BitrateLow, defaultBitrate);
    s.libraryFile = read(ProfileKey::LibraryFile, {}, PrivateProfile::kPathBuffer);
    return s;
}
