#include "profiles/settingsform.h"

#include "core/startrecord.h"
#include "platform/dialogs.h"
#include "profiles/privateprofile.h"
#include "profiles/profilecatalogue.h"
#include "profiles/profilejob.h"
#include "profiles/programstartup.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

// Blanks and control characters around a text go, as profile names have always been trimmed.
QString trimmedName(const QString &text)
{
    qsizetype first = 0, last = text.size();
    while (first < last && text.at(first).unicode() <= u' ')
        ++first;
    while (last > first && text.at(last - 1).unicode() <= u' ')
        --last;
    return text.mid(first, last - first);
}

// Built-in profiles name their library file below the program folder, user profiles by
// its full path.
QString libraryPath(const SettingsPaths &paths, int position, const QString &value)
{
    return position >= 0 && position < kBuiltInProfileCount ? paths.programFolder + value : value;
}

QString profileFile(const SettingsPaths &paths, int position)
{
    return ProfileFileForPosition(position, paths.cataloguePath, paths.userProfilePath);
}

// Reading a record replaces the chooser's items, selection and text; a disabled mark
// disables it, no mark leaves its enabled state as it was.
QString readRecords(SettingsChoices &choices, const QString &path, int count)
{
    const LibraryReadResult read = ReadProfileLibrary(path, count);
    for (int i = 0; i < read.records.size() && i < kLibraryRecordCount; ++i) {
        ChooserRecord &chooser = choices.choosers[i];
        const ChooserRecord &record = read.records.at(i);
        chooser.items = record.items;
        chooser.selectedIndex = record.selectedIndex;
        chooser.text = record.text;
        chooser.disabled = chooser.disabled || record.disabled;
    }
    return read.error;
}

void setEnabled(SettingsChoices &choices, LibraryChooser which, bool enabled)
{
    choices.chooser(which).disabled = !enabled;
}

// The library file of the selected profile, read with the longer path buffer; empty when it
// is not there.
QString selectedLibrary(const SettingsChoices &choices, const SettingsPaths &paths)
{
    const QString value = PrivateProfile::readString(profileFile(paths, choices.profilePosition), choices.profileText(),
        ProfileKey::LibraryFile.toString(), {}, PrivateProfile::kPathBuffer);
    const QString path = libraryPath(paths, choices.profilePosition, value);
    return QFileInfo(path).isFile() ? path : QString();
}

std::optional<int> numberBeforeKbps(const QString &bitrate)
{
    const qsizetype at = bitrate.indexOf(u"kbps");
    if (at < 0)
        return std::nullopt;
    bool ok = false;
    const int number = bitrate.left(at).trimmed().toInt(&ok);
    return ok ? std::optional<int>(number) : std::nullopt;
}

// Writes the user profile's keys in their fixed order; false at the first that fails.
bool writeUserSection(
    const SettingsChoices &choices, const SettingsPaths &paths, const QString &section, const QString &library)
{
    const auto source = PrivateProfile::Document::load(profileFile(paths, choices.profilePosition));
    const auto copied = [&](QStringView key, QStringView fallback) {
        return source.value(choices.profileText(), key.toString(), fallback.toString());
    };
    const QString lossless = copied(ProfileKey::Lossless, kFalse);
    const QString bitrateNot = copied(ProfileKey::BitrateNot, kFalse);

    QList<std::pair<QStringView, QString>> keys;
    keys.append({ ProfileKey::VideoNot, copied(ProfileKey::VideoNot, kFalse) });
    keys.append({ ProfileKey::Lossless, lossless });
    if (lossless == kFalse)
        keys.append({ ProfileKey::SampleRate, choices.chooser(LibraryChooser::SampleRate).text });
    keys.append({ ProfileKey::BitrateNot, bitrateNot });
    if (bitrateNot == kFalse) {
        for (QStringView key : { ProfileKey::BitrateHigh, ProfileKey::BitrateNormal, ProfileKey::BitrateLow })
            keys.append({ key, copied(key, {}) });
        keys.append({ ProfileKey::Bitrate, choices.chooser(LibraryChooser::Bitrate).text });
    }
    keys.append({ ProfileKey::AudioCodec, choices.chooser(LibraryChooser::Encoder).text });
    keys.append({ ProfileKey::Channels, choices.chooser(LibraryChooser::Channels).text });
    keys.append({ ProfileKey::LibraryFile, library });

    for (const auto &[key, value] : keys) {
        if (!PrivateProfile::writeString(paths.userProfilePath, section, key.toString(), value))
            return false;
    }
    return true;
}

} // namespace

SettingsChoices SettingsChoices::designed()
{
    SettingsChoices choices;
    choices.choosers = {
        { { u"mp3"_s }, 0, u"mp3"_s, false },
        { { u"1 Channel Mono"_s, u"2 Channels Stereo"_s, u"5.1"_s }, 1, u"2 Channels Stereo"_s, false },
        { { u"8000 Hz"_s, u"16000 Hz"_s, u"22050 Hz"_s, u"32000 Hz"_s, u"44100 Hz"_s, u"48000 Hz"_s }, 5, u"48000 Hz"_s,
            false },
        { { u"32 kbps"_s, u"40 kbps"_s, u"48 kbps"_s, u"56 kbps"_s, u"64 kbps"_s, u"80 kbps"_s, u"96 kbps"_s,
              u"112 kbps"_s, u"128 kbps"_s, u"160 kbps"_s, u"192 kbps"_s, u"224 kbps"_s, u"256 kbps"_s, u"320 kbps"_s },
            8, u"128 kbps"_s, false },
    };
    return choices;
}

QString SettingsChoices::profileText() const
{
    return profilePosition >= 0 && profilePosition < profiles.size() ? profiles.at(profilePosition) : QString();
}

QString SettingsText::replaceQuestion(const QString &typedName)
{
    return u"Would you like to replace the existing profile  "_s + typedName + u" ?"_s;
}

int FindProfile(const QStringList &profiles, const QString &name)
{
    for (int i = 0; i < profiles.size(); ++i) {
        if (profiles.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void SelectChooserText(ChooserRecord &chooser, const QString &text)
{
    chooser.selectedIndex = int(chooser.items.indexOf(text));
    chooser.text = chooser.selectedIndex >= 0 ? text : QString();
}

QString PrepareSettings(
    SettingsChoices &choices, const SettingsPaths &paths, const QStringList &mainProfiles, const TStartRecord &job)
{
    choices.profiles = mainProfiles;
    choices.profilesChanged = false;
    choices.profilePosition = FindProfile(mainProfiles, job.ProfileName);

    const auto file = PrivateProfile::Document::load(profileFile(paths, choices.profilePosition));
    const QString section = trimmedName(job.ProfileName);
    const QString path = libraryPath(paths, choices.profilePosition,
        file.value(section, ProfileKey::LibraryFile.toString(), {}, PrivateProfile::kValueBuffer));
    if (!QFileInfo(path).isFile())
        return SettingsText::OpenLibraryMissing.toString();

    if (file.value(section, ProfileKey::Lossless.toString(), kFalse.toString()) == kFalse) {
        setEnabled(choices, LibraryChooser::SampleRate, true);
        setEnabled(choices, LibraryChooser::Bitrate, true);
    }
    const QString error = readRecords(choices, path, kLibraryRecordCount);
    if (!error.isEmpty())
        return error;

    if (job.BitrateNot == kFalse)
        SelectChooserText(choices.chooser(LibraryChooser::Bitrate), job.Bitrate);
    else
        setEnabled(choices, LibraryChooser::Bitrate, false);
    SelectChooserText(choices.chooser(LibraryChooser::SampleRate), job.SampleRate);
    SelectChooserText(choices.chooser(LibraryChooser::Channels), job.Channels);
    return {};
}

QString SelectSettingsProfile(SettingsChoices &choices, const SettingsPaths &paths, int position)
{
    choices.profilePosition = position;
    const QString path = selectedLibrary(choices, paths);
    if (path.isEmpty())
        return SettingsText::LibraryMissing.toString();

    const auto file = PrivateProfile::Document::load(profileFile(paths, position));
    const bool lossless
        = file.value(choices.profileText(), ProfileKey::Lossless.toString(), kFalse.toString()) != kFalse;
    if (lossless) {
        setEnabled(choices, LibraryChooser::SampleRate, false);
        setEnabled(choices, LibraryChooser::Bitrate, false);
        return readRecords(choices, path, 2);
    }
    setEnabled(choices, LibraryChooser::SampleRate, true);
    setEnabled(choices, LibraryChooser::Bitrate, true);
    const QString error = readRecords(choices, path, kLibraryRecordCount);
    if (!error.isEmpty())
        return error;
    const QString bitrateNot = file.value(choices.profileText(), ProfileKey::BitrateNot.toString(), kFalse.toString());
    setEnabled(choices, LibraryChooser::Bitrate, bitrateNot != kTrue);
    return {};
}

QString ReloadSettingsProfile(SettingsChoices &choices, const SettingsPaths &paths)
{
    const QString path = selectedLibrary(choices, paths);
    if (path.isEmpty())
        return SettingsText::LibraryMissing.toString();
    return readRecords(choices, path, kLibraryRecordCount);
}

QString UnusableProfileNameReason(const QString &name)
{
    if (name == u"." || name == u"..")
        return u"A profile name cannot be \".\" or \"..\"."_s;
    for (const QChar c : name) {
        if (c == u'/' || c == u'[' || c == u']' || c.unicode() < u' ' || c.unicode() == 0x7f)
            return u"A profile name cannot hold a slash, a square bracket or a control character."_s;
    }
    if (name == kUserProfileFileName || name == kDestinationHistoryFileName)
        return u"The name belongs to one of the program's own files."_s;
    if (name.toUtf8().size() > 255)
        return u"File name too long"_s;
    return {};
}

bool SaveUserProfile(
    SettingsChoices &choices, const SettingsPaths &paths, SaveAsPrompt &prompt, Dialogs &dialogs, QWidget *mainWindow)
{
    for (;;) {
        const std::optional<QString> typed = prompt.askName();
        if (!typed)
            return false;
        const QString name = trimmedName(*typed);
        if (name.isEmpty())
            return false;
        const QString source = choices.profileText();
        const QString section = name + u' ' + source.mid(qMax<qsizetype>(0, source.indexOf(u"(*.")));
        const int taken = FindProfile(choices.profiles, section);
        if (taken >= 0 && taken < kBuiltInProfileCount) {
            dialogs.showMessage(mainWindow, MessageRequest::plain(SettingsText::DefaultProfileTaken.toString()));
            continue;
        }

        const QString library = paths.profileFolder + u'/' + name;
        // Without a profile folder (start-up could create none) the name would land in '/'.
        const QString unusable
            = paths.profileFolder.isEmpty() ? u"There is no profile folder."_s : UnusableProfileNameReason(name);
        if (!unusable.isEmpty()) {
            dialogs.showMessage(
                mainWindow, MessageRequest::plain(u"Cannot create file \"%1\". %2"_s.arg(library, unusable)));
            return false;
        }
        const bool replacing = QFileInfo::exists(library);
        if (replacing) {
            const MessageRequest question = MessageRequest::confirmation(SettingsText::replaceQuestion(*typed),
                SettingsText::ReplaceCaption.toString(), DialogIcon::Question, DialogButtons::YesNo);
            if (dialogs.showMessage(mainWindow, question) != DialogAnswer::Yes)
                continue;
        }

        const QString error = WriteProfileLibrary(library, choices.choosers);
        if (!error.isEmpty()) {
            dialogs.showMessage(mainWindow, MessageRequest::plain(error));
            return false;
        }
        if (!writeUserSection(choices, paths, section, library))
            return false;
        if (!replacing) {
            choices.profiles << section;
            choices.profilePosition = int(choices.profiles.size() - 1);
        }
        choices.profilesChanged = true;
        return true;
    }
}

int QualityForBitrate(const QString &chosenBitrate, const QString &normalBitrate, int currentPosition)
{
    const std::optional<int> chosen = numberBeforeKbps(chosenBitrate);
    const std::optional<int> normal = numberBeforeKbps(normalBitrate);
    if (!chosen || !normal)
        return currentPosition;
    if (*chosen > *normal)
        return QualityPosition::High;
    return *chosen < *normal ? QualityPosition::Low : QualityPosition::Normal;
}
