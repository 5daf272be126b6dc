#pragma once

#include "profiles/profilecatalogue.h"

#include <QList>
#include <QString>

struct ConvertOptions;
struct TStartRecord;

// One entry of the window's profile list: the built-in ones of the catalogue, then the user's.
struct ProfileEntry
{
    QString name;
    int position = 0;
    ProfileSettings settings;
    QString libraryPath; // the file of the advanced settings' item lists
    bool userProfile() const { return position >= kBuiltInProfileCount; }
};

class ProfileChoice
{
public:
    // The list as the window builds it at start-up: the built-in names, then the sections of
    // the user profile file (a missing file gives none).
    static ProfileChoice load(const QString &programFolder, const QString &userProfilePath);

    const QList<ProfileEntry> &entries() const { return m_entries; }

    // The profile for what the user typed: the full name (letter case ignored), else the one
    // profile whose name begins with it, else the one profile with that extension (with or
    // without its dot). Null with error set when none or several fit.
    const ProfileEntry *find(const QString &typed, QString *error) const;

    // Every profile with its settings, as --list-profiles prints them.
    QString listing() const;

private:
    QList<ProfileEntry> m_entries;
};

// Fills the job's output settings from the profile at a quality, as the window's choosers do,
// then applies --rate, --channels and --bitrate as the advanced settings dialog's OK does:
// only values the profile's library file offers, never for a lossless profile, and no bit
// rate for a profile without a bit-rate choice. Returns the reason when an override is refused.
QString ApplyProfileOptions(TStartRecord &job, const ProfileEntry &profile, const ConvertOptions &options);
