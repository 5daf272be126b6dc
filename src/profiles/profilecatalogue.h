#pragma once

#include <QString>
#include <QStringList>

// The built-in output profiles, in the order of the profile list; position 0 is the profile
// selected when the program starts. The first fourteen are the original program's; later
// formats are appended after them, so every earlier position keeps its profile. Their settings live in
// Config/config.ini beside the program; user profiles follow them in the list and live in the user profile file.
QStringList BuiltInProfileNames();
inline constexpr int kBuiltInProfileCount = 16;

// Keys of a profile section.
namespace ProfileKey {
inline constexpr QStringView AudioCodec = u"AudioCodec";
inline constexpr QStringView Channels = u"AC";
inline constexpr QStringView VideoNot = u"VideoNot";
inline constexpr QStringView Lossless = u"Lossless";
inline constexpr QStringView BitrateNot = u"BitrateNot";
inline constexpr QStringView SampleRate = u"ASR";
inline constexpr QStringView BitrateHigh = u"ABRH";
inline constexpr QStringView BitrateNormal = u"ABRN";
inline constexpr QStringView BitrateLow = u"ABRL";
inline constexpr QStringView Bitrate = u"ABR";
inline constexpr QStringView LibraryFile = u"filename";
} // namespace ProfileKey

// Where the catalogue lies below the program folder.
inline constexpr QStringView kCatalogueRelativePath = u"/Config/config.ini";

// The extension of a profile name with its dot: "(*.flac)" at its end gives ".flac".
// Taken by position from the first "(*." to the name's last character, not included.
QString ProfileExtension(const QString &profileName);

// The file that holds the profile at this position of the profile list: the built-in
// positions read the catalogue, later ones the user profile file. The position decides, never the name.
QString ProfileFileForPosition(int position, const QString &cataloguePath, const QString &userProfilePath);

// A profile section's values with the readers' defaults applied (Lossless, VideoNot and
// BitrateNot "False"; "44100 Hz"; "2 Channels Stereo"; "128 kbps" at every quality; no
// encoder; no library file). Texts are kept exactly as the file holds them.
struct ProfileSettings
{
    QString audioCodec;
    QString channels;
    QString videoNot;
    QString lossless;
    QString bitrateNot;
    QString sampleRate;
    QString bitrateHigh;
    QString bitrateNormal;
    QString bitrateLow;
    QString libraryFile;
};

ProfileSettings ReadProfileSettings(const QString &profileFile, const QString &section);
