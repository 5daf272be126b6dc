#pragma once

#include "profiles/profilelibrary.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class Dialogs;
class QWidget;
struct TStartRecord;

// What the advanced settings dialog shows, without its widgets: the profile list with its
// selection, the four choosers of a profile library file (encoder, channels, sample rate, bit
// rate; `disabled` is the chooser's present state) and whether a user profile was saved
// during this opening. The dialog's handlers work on this and the dialog shows the result.
struct SettingsChoices
{
    QStringList profiles;
    int profilePosition = -1;
    QList<ChooserRecord> choosers; // kLibraryRecordCount records, in the library's order
    bool profilesChanged = false;

    // The dialog as it is designed, before any library file was read.
    static SettingsChoices designed();

    QString profileText() const;
    ChooserRecord &chooser(LibraryChooser which) { return choosers[int(which)]; }
    const ChooserRecord &chooser(LibraryChooser which) const { return choosers.at(int(which)); }
};

// The values the opener hands the dialog before each showing.
struct SettingsPaths
{
    QString programFolder; // no trailing '/'
    QString cataloguePath;
    QString userProfilePath;
    QString profileFolder;
};

// Texts of the dialog's messages, as the program has always shown them.
namespace SettingsText {
inline constexpr QStringView NoTarget = u"First select a file(s)!";
inline constexpr QStringView OpenLibraryMissing = u"Can't found  library file for selected profile!";
inline constexpr QStringView LibraryMissing = u"Cannot found  library file for selected profile!";
inline constexpr QStringView DefaultProfileTaken = u"Default profile can't be overwritten, please use another name.";
QString replaceQuestion(const QString &typedName); // "Would you like to replace the existing profile  <typed> ?"
inline constexpr QStringView ReplaceCaption = u"Confirm";
} // namespace SettingsText

// Looks a name up in a profile list without regard to letter case; -1 when it is not there.
int FindProfile(const QStringList &profiles, const QString &name);

// Selects text in the chooser: its index among the items, none when it is not one of them.
void SelectChooserText(ChooserRecord &chooser, const QString &text);

// Opening the dialog for a job: copies the main profile list, selects the job's profile,
// reads its whole library file and selects the job's bit rate, sample rate and channels.
// The sample-rate and bit-rate choosers are enabled first for a profile that is not
// lossless, so an earlier opening's lossless choice does not stay. Returns the message to
// show instead of the dialog, or an empty text.
QString PrepareSettings(
    SettingsChoices &choices, const SettingsPaths &paths, const QStringList &mainProfiles, const TStartRecord &job);

// The dialog's profile chooser: loads the chosen profile's library file, only its encoder and
// channel records for a lossless profile, and switches the other two choosers by the
// profile. Returns the message to show, or an empty text.
QString SelectSettingsProfile(SettingsChoices &choices, const SettingsPaths &paths, int position);

// Default: reloads all four records of the selected profile's library file.
QString ReloadSettingsProfile(SettingsChoices &choices, const SettingsPaths &paths);

// Asks for the name of a new user profile; nothing when the user cancelled.
class SaveAsPrompt
{
public:
    virtual ~SaveAsPrompt() = default;
    virtual std::optional<QString> askName() = 0;
};

// Save as: asks for a name until it is usable or the user gives up, writes the library file
// and the user profile file's section, and lists a new profile in the dialog. Questions are
// placed at the main window. Returns true when the profile was saved.
bool SaveUserProfile(
    SettingsChoices &choices, const SettingsPaths &paths, SaveAsPrompt &prompt, Dialogs &dialogs, QWidget *mainWindow);

// Why a typed profile name cannot become a library file in the profile folder, or an empty
// text: it must stay in that folder, fit a file name, be a section name that reads back, and
// not be one of the program's own files there.
QString UnusableProfileNameReason(const QString &name);

// The main quality chooser's position after the dialog chose a bit rate: High above the
// profile's Normal rate, Low below, Normal when equal, compared by the numbers before "kbps";
// the current position when either text holds no such number.
int QualityForBitrate(const QString &chosenBitrate, const QString &normalBitrate, int currentPosition);
