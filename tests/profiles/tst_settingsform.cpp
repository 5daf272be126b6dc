// The advanced settings dialog's decisions without its widgets: opening it for a job, its
// profile chooser and Default reading library files, Save as writing user profiles, and the
// main quality chooser's position after OK. Profile files are the shipped catalogue and
// library files of the program folder.

#include "core/startrecord.h"
#include "platform/recordingdialogs.h"
#include "profiles/privateprofile.h"
#include "profiles/profilecatalogue.h"
#include "profiles/profilejob.h"
#include "profiles/settingsform.h"
#include "testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QQueue>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kProgramDir = QStringLiteral(TOLM_PROGRAM_DIR);
const QString kMp3 = u"MP3 - MPEG Layer-3 Audio (*.mp3)"_s;
const QString kAac = u"AAC - Advanced Audio Coding (*.aac)"_s;
const QString kFlac = u"FLAC - Free Lossless Audio Codec (*.flac)"_s;
const QString kWav = u"WAV - Waveform Audio (*.wav)"_s;

// The save-as dialog answered from a script: a name, or nothing for Cancel.
class ScriptedPrompt : public SaveAsPrompt
{
public:
    QQueue<std::optional<QString>> names;
    int asked = 0;
    std::optional<QString> askName() override
    {
        ++asked;
        return names.isEmpty() ? std::nullopt : names.dequeue();
    }
};

TStartRecord jobFor(const QString &profile, const QString &catalogue)
{
    TStartRecord job;
    ApplyProfileToJob(job, profile, ReadProfileSettings(catalogue, profile), QualityPosition::Normal);
    return job;
}

QStringList sectionKeys(const QString &path, const QString &section)
{
    QStringList keys;
    bool inside = false;
    for (const QString &line : QString::fromUtf8(TestFiles::read(path)).split(u'\n')) {
        if (line.startsWith(u'['))
            inside = line == u'[' + section + u']';
        else if (inside && line.contains(u'='))
            keys << line.section(u'=', 0, 0);
    }
    return keys;
}

} // namespace

class TestSettingsForm : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    SettingsPaths m_paths;
    RecordingDialogs m_dialogs;

    QString userFile() const { return m_paths.userProfilePath; }
    // The dialog opened for a job of the profile.
    SettingsChoices openedFor(const QString &profile)
    {
        SettingsChoices choices = SettingsChoices::designed();
        const QString message
            = PrepareSettings(choices, m_paths, BuiltInProfileNames(), jobFor(profile, m_paths.cataloguePath));
        [&] { QCOMPARE(message, QString()); }();
        return choices;
    }

private Q_SLOTS:
    void init()
    {
        m_dialogs = RecordingDialogs();
        const QString profileFolder = m_dir.filePath(QString::fromLatin1(QTest::currentTestFunction())
            + QString::fromLatin1(QTest::currentDataTag()).remove(u'/'));
        QVERIFY(QDir().mkpath(profileFolder));
        m_paths = { kProgramDir, kProgramDir + kCatalogueRelativePath, profileFolder + u"/userprofile.ini"_s,
            profileFolder };
    }

    void openingShowsTheJobInTheLibrarysChoosers_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("bitrate"); // the job's, written after the profile's
        QTest::addColumn<QString>("sampleRate");
        QTest::addColumn<QStringList>("shown"); // encoder, channels, sample rate, bit rate
        QTest::addColumn<QList<bool>>("enabled");
        QTest::newRow("mp3") << kMp3 << u"192 kbps"_s << u"22050 Hz"_s
                             << QStringList { u"mp3"_s, u"2 Channels Stereo"_s, u"22050 Hz"_s, u"192 kbps"_s }
                             << QList<bool> { true, true, true, true };
        QTest::newRow("rate not offered") << kMp3 << u"128 kbps"_s << u"7 Hz"_s
                                          << QStringList { u"mp3"_s, u"2 Channels Stereo"_s, QString(), u"128 kbps"_s }
                                          << QList<bool> { true, true, true, true };
        QTest::newRow("no bit rate") << kWav << QString() << u"44100 Hz"_s
                                     << QStringList { u"pcm16le"_s, u"2 Channels Stereo"_s, u"44100 Hz"_s, QString() }
                                     << QList<bool> { true, true, true, false };
    }
    void openingShowsTheJobInTheLibrarysChoosers()
    {
        QFETCH(QString, profile);
        QFETCH(QString, bitrate);
        QFETCH(QString, sampleRate);
        QFETCH(QStringList, shown);
        QFETCH(QList<bool>, enabled);
        TStartRecord job = jobFor(profile, m_paths.cataloguePath);
        job.Bitrate = bitrate;
        job.SampleRate = sampleRate;

        // An earlier opening picked a lossless profile: its disabled choosers do not stay.
        SettingsChoices choices = SettingsChoices::designed();
        choices.profiles = BuiltInProfileNames();
        QCOMPARE(SelectSettingsProfile(choices, m_paths, 11), QString());
        QVERIFY(choices.chooser(LibraryChooser::SampleRate).disabled);
        choices.profilesChanged = true;

        QCOMPARE(PrepareSettings(choices, m_paths, BuiltInProfileNames(), job), QString());
        QCOMPARE(choices.profiles, BuiltInProfileNames());
        QCOMPARE(choices.profileText(), profile);
        QVERIFY(!choices.profilesChanged);
        const auto library = ReadProfileLibrary(
            kProgramDir + PrivateProfile::readString(m_paths.cataloguePath, profile, u"filename"_s, {}));
        for (int i = 0; i < kLibraryRecordCount; ++i) {
            QCOMPARE(choices.choosers.at(i).items, library.records.at(i).items);
            QCOMPARE(choices.choosers.at(i).text, shown.at(i));
            QCOMPARE(choices.choosers.at(i).selectedIndex, int(choices.choosers.at(i).items.indexOf(shown.at(i))));
            QCOMPARE(!choices.choosers.at(i).disabled, enabled.at(i));
        }
    }

    void openingRefusesAProfileWithoutLibrary()
    {
        TestFiles::write(
            userFile(), "[Lost (*.mp3)]\nfilename=" + QFile::encodeName(m_paths.profileFolder) + "/Lost\n");
        QStringList profiles = BuiltInProfileNames();
        profiles << u"Lost (*.mp3)"_s;
        SettingsChoices choices = SettingsChoices::designed();
        TStartRecord job = jobFor(kMp3, m_paths.cataloguePath);
        job.ProfileName = u"lost (*.MP3)"_s; // found without regard to letter case
        QCOMPARE(
            PrepareSettings(choices, m_paths, profiles, job), u"Can't found  library file for selected profile!"_s);
        QCOMPARE(choices.profilePosition, kBuiltInProfileCount);
        job.ProfileName = u"Nowhere (*.mp3)"_s;
        QCOMPARE(
            PrepareSettings(choices, m_paths, profiles, job), u"Can't found  library file for selected profile!"_s);
        QCOMPARE(choices.profilePosition, -1);
    }

    void profileChooserSwitchesByTheProfile()
    {
        SettingsChoices choices = openedFor(kMp3);
        const ChooserRecord mp3Rates = choices.chooser(LibraryChooser::SampleRate);

        // Lossless: two records read, the other two choosers off and left as they were.
        QCOMPARE(SelectSettingsProfile(choices, m_paths, 11), QString());
        QCOMPARE(choices.chooser(LibraryChooser::Encoder).text, u"flac"_s);
        QCOMPARE(choices.chooser(LibraryChooser::Channels).items.size(), 3);
        QVERIFY(
            choices.chooser(LibraryChooser::SampleRate).disabled && choices.chooser(LibraryChooser::Bitrate).disabled);
        QCOMPARE(choices.chooser(LibraryChooser::SampleRate).items, mp3Rates.items);

        // No bit rate: sample rates back, bit rate off.
        QCOMPARE(SelectSettingsProfile(choices, m_paths, 2), QString());
        QCOMPARE(choices.chooser(LibraryChooser::Encoder).text, u"pcm16be"_s);
        QVERIFY(!choices.chooser(LibraryChooser::SampleRate).disabled);
        QVERIFY(choices.chooser(LibraryChooser::Bitrate).disabled);

        QCOMPARE(SelectSettingsProfile(choices, m_paths, 5), QString());
        QVERIFY(!choices.chooser(LibraryChooser::SampleRate).disabled
            && !choices.chooser(LibraryChooser::Bitrate).disabled);
        QCOMPARE(choices.chooser(LibraryChooser::Bitrate).text, u"128 kbps"_s);

        // A profile whose library is gone: the message, the choosers as they were.
        choices.profiles << u"Gone (*.mp3)"_s;
        const SettingsChoices before = choices;
        QCOMPARE(SelectSettingsProfile(choices, m_paths, kBuiltInProfileCount),
            u"Cannot found  library file for selected profile!"_s);
        QCOMPARE(choices.choosers, before.choosers);
        QCOMPARE(ReloadSettingsProfile(choices, m_paths), u"Cannot found  library file for selected profile!"_s);
        QCOMPARE(choices.choosers, before.choosers);
    }

    void defaultReloadsTheWholeLibrary()
    {
        SettingsChoices choices = openedFor(kMp3);
        SelectChooserText(choices.chooser(LibraryChooser::Channels), u"1 Channel Mono"_s);
        SelectChooserText(choices.chooser(LibraryChooser::Bitrate), u"64 kbps"_s);
        QCOMPARE(ReloadSettingsProfile(choices, m_paths), QString());
        QCOMPARE(choices.chooser(LibraryChooser::Channels).text, u"2 Channels Stereo"_s);
        QCOMPARE(choices.chooser(LibraryChooser::Bitrate).text, u"128 kbps"_s);

        // A damaged library: what was read before the fault stays, with the reader's message.
        const QString damaged = m_paths.profileFolder + u"/Damaged"_s;
        TestFiles::write(damaged, "[encoder]\nitem=opus\nselected=0\ntext=opus\n[channels]\nnonsense\n");
        TestFiles::write(userFile(), "[Damaged (*.ogg)]\nfilename=" + QFile::encodeName(damaged) + "\n");
        choices.profiles << u"Damaged (*.ogg)"_s;
        choices.profilePosition = kBuiltInProfileCount;
        QVERIFY(ReloadSettingsProfile(choices, m_paths).contains(u"is damaged (line 6)"_s));
        QCOMPARE(choices.chooser(LibraryChooser::Encoder).text, u"opus"_s);
        QCOMPARE(choices.chooser(LibraryChooser::Channels).text, u"2 Channels Stereo"_s);
    }

    void saveAsWritesTheUserProfile()
    {
        SettingsChoices choices = openedFor(kMp3);
        SelectChooserText(choices.chooser(LibraryChooser::Channels), u"1 Channel Mono"_s);
        SelectChooserText(choices.chooser(LibraryChooser::SampleRate), u"22050 Hz"_s);
        SelectChooserText(choices.chooser(LibraryChooser::Bitrate), u"64 kbps"_s);
        ScriptedPrompt prompt;
        prompt.names << u"  Voice "_s;
        QVERIFY(SaveUserProfile(choices, m_paths, prompt, m_dialogs, nullptr));

        const QString library = m_paths.profileFolder + u"/Voice"_s;
        QCOMPARE(PrivateProfile::sectionNames(userFile()), QStringList { u"Voice (*.mp3)"_s });
        QCOMPARE(sectionKeys(userFile(), u"Voice (*.mp3)"_s),
            QStringList({ u"VideoNot"_s, u"Lossless"_s, u"ASR"_s, u"BitrateNot"_s, u"ABRH"_s, u"ABRN"_s, u"ABRL"_s,
                u"ABR"_s, u"AudioCodec"_s, u"AC"_s, u"filename"_s }));
        const ProfileSettings saved = ReadProfileSettings(userFile(), u"Voice (*.mp3)"_s);
        QCOMPARE(saved.sampleRate, u"22050 Hz"_s);
        QCOMPARE(saved.channels, u"1 Channel Mono"_s);
        QCOMPARE(saved.audioCodec, u"mp3"_s);
        QCOMPARE(saved.bitrateNormal, u"128 kbps"_s); // copied from the MP3 profile
        QCOMPARE(PrivateProfile::readString(userFile(), u"Voice (*.mp3)"_s, u"ABR"_s, {}), u"64 kbps"_s);
        QCOMPARE(saved.libraryFile, library);
        QCOMPARE(ReadProfileLibrary(library).records, choices.choosers);
        QCOMPARE(choices.profiles.size(), kBuiltInProfileCount + 1);
        QCOMPARE(choices.profileText(), u"Voice (*.mp3)"_s);
        QVERIFY(choices.profilesChanged);
        QVERIFY(m_dialogs.calls.isEmpty());

        // Again from AAC: the library file is there, so the question comes, with the name as
        // typed. No asks for another name; Yes writes Voice (*.aac) and lists nothing new.
        QCOMPARE(SelectSettingsProfile(choices, m_paths, 0), QString());
        choices.profilesChanged = false;
        prompt.names << u" Voice"_s << u"Voice  "_s;
        m_dialogs.answers << DialogAnswer::No << DialogAnswer::Yes;
        QVERIFY(SaveUserProfile(choices, m_paths, prompt, m_dialogs, nullptr));
        QCOMPARE(m_dialogs.messageTexts(),
            QStringList({ u"Would you like to replace the existing profile   Voice ?"_s,
                u"Would you like to replace the existing profile  Voice   ?"_s }));
        const MessageRequest question = m_dialogs.calls.first().message;
        QCOMPARE(question.buttons, DialogButtons::YesNo);
        QCOMPARE(question.placement, DialogPlacement::ConfirmOffset);
        QCOMPARE(PrivateProfile::sectionNames(userFile()), QStringList({ u"Voice (*.mp3)"_s, u"Voice (*.aac)"_s }));
        QCOMPARE(choices.profiles.size(), kBuiltInProfileCount + 1);
        QCOMPARE(choices.profileText(), kAac);
        QVERIFY(choices.profilesChanged);
        QCOMPARE(ReadProfileLibrary(library).records.first().text, u"aac"_s);
    }

    void saveAsLeavesOutWhatTheSourceProfileLacks_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("lossless") << kFlac
                                  << QStringList { u"VideoNot"_s, u"Lossless"_s, u"BitrateNot"_s, u"AudioCodec"_s,
                                         u"AC"_s, u"filename"_s };
        QTest::newRow("no bit rate") << kWav
                                     << QStringList { u"VideoNot"_s, u"Lossless"_s, u"ASR"_s, u"BitrateNot"_s,
                                            u"AudioCodec"_s, u"AC"_s, u"filename"_s };
    }
    void saveAsLeavesOutWhatTheSourceProfileLacks()
    {
        QFETCH(QString, profile);
        QFETCH(QStringList, keys);
        SettingsChoices choices = openedFor(kMp3);
        QCOMPARE(SelectSettingsProfile(choices, m_paths, int(BuiltInProfileNames().indexOf(profile))), QString());
        ScriptedPrompt prompt;
        prompt.names << u"Mine"_s;
        QVERIFY(SaveUserProfile(choices, m_paths, prompt, m_dialogs, nullptr));
        const QString section = u"Mine "_s + profile.mid(profile.indexOf(u"(*."));
        QCOMPARE(sectionKeys(userFile(), section), keys);
        // The library keeps the disabled marks, so the profile reads back as it was saved.
        QCOMPARE(ReadProfileLibrary(m_paths.profileFolder + u"/Mine"_s).records, choices.choosers);
    }

    void refusedNames_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message"); // empty: asked again
        QTest::newRow("built-in") << u"MP3 - MPEG Layer-3 Audio"_s << SettingsText::DefaultProfileTaken.toString();
        QTest::newRow("built-in, other case")
            << u" mp3 - mpeg layer-3 audio"_s << SettingsText::DefaultProfileTaken.toString();
        QTest::newRow("slash") << u"a/b"_s << u"Cannot create file \"%1/a/b\". A profile name cannot hold"_s;
        QTest::newRow("dot dot") << u".."_s << u"Cannot create file \"%1/..\". A profile name cannot be"_s;
        QTest::newRow("dot") << u"."_s << u"Cannot create file \"%1/.\". A profile name cannot be"_s;
        QTest::newRow("bracket") << u"x]y"_s << u"Cannot create file \"%1/x]y\". A profile name cannot hold"_s;
        QTest::newRow("line feed") << u"a\nb"_s << u"Cannot create file \"%1/a\nb\". A profile name cannot hold"_s;
        QTest::newRow("own file") << u"userprofile.ini"_s
                                  << u"Cannot create file \"%1/userprofile.ini\". The name belongs"_s;
        QTest::newRow("too long") << QString(300, u'v')
                                  << u"Cannot create file \"%1/"_s + QString(300, u'v') + u"\". File name too long"_s;
    }
    void refusedNames()
    {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        TestFiles::write(userFile(), "[Kept (*.mp3)]\nAC=1 Channel Mono\n");
        const QByteArray before = TestFiles::read(userFile());
        SettingsChoices choices = openedFor(kMp3);
        const SettingsChoices opened = choices;
        ScriptedPrompt prompt;
        prompt.names << typed; // then Cancel
        QVERIFY(!SaveUserProfile(choices, m_paths, prompt, m_dialogs, nullptr));

        const bool builtIn = message == SettingsText::DefaultProfileTaken;
        QCOMPARE(prompt.asked, builtIn ? 2 : 1); // a built-in name asks again, an unusable one stops
        QCOMPARE(m_dialogs.calls.size(), 1);
        QVERIFY2(
            m_dialogs.calls.first().message.text.startsWith(builtIn ? message : message.arg(m_paths.profileFolder)),
            qPrintable(m_dialogs.calls.first().message.text));
        QCOMPARE(m_dialogs.calls.first().message.placement, DialogPlacement::ScreenCentre);
        QCOMPARE(TestFiles::read(userFile()), before);
        QCOMPARE(QDir(m_paths.profileFolder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
            QStringList { u"userprofile.ini"_s });
        QCOMPARE(choices.profiles, opened.profiles);
        QVERIFY(!choices.profilesChanged);
    }

    void cancelOrBlankNameSavesNothing()
    {
        SettingsChoices choices = openedFor(kMp3);
        ScriptedPrompt prompt;
        QVERIFY(!SaveUserProfile(choices, m_paths, prompt, m_dialogs, nullptr));
        prompt.names << u" \t "_s;
        QVERIFY(!SaveUserProfile(choices, m_paths, prompt, m_dialogs, nullptr));
        QCOMPARE(prompt.asked, 2);
        QVERIFY(!QFileInfo::exists(userFile()));
        QVERIFY(m_dialogs.calls.isEmpty());
    }

    void noProfileFolderSavesNothing()
    {
        m_paths.profileFolder.clear();
        m_paths.userProfilePath.clear();
        SettingsChoices choices = openedFor(kMp3);
        ScriptedPrompt prompt;
        prompt.names << u"Voice"_s;
        QVERIFY(!SaveUserProfile(choices, m_paths, prompt, m_dialogs, nullptr));
        QCOMPARE(
            m_dialogs.messageTexts(), QStringList { u"Cannot create file \"/Voice\". There is no profile folder."_s });
        QVERIFY(!QFileInfo::exists(u"/Voice"_s));
    }

    // The user profile file cannot be written: the library file stays, the list and the flag
    // do not change, and the save ends without a message.
    void failedKeyWriteEndsTheSaveSilently()
    {
        QVERIFY(QDir().mkpath(userFile())); // a folder where the file should be
        SettingsChoices choices = openedFor(kMp3);
        ScriptedPrompt prompt;
        prompt.names << u"Voice"_s;
        QVERIFY(!SaveUserProfile(choices, m_paths, prompt, m_dialogs, nullptr));
        QVERIFY(QFileInfo(m_paths.profileFolder + u"/Voice"_s).isFile());
        QCOMPARE(choices.profiles, BuiltInProfileNames());
        QVERIFY(!choices.profilesChanged);
        QVERIFY(m_dialogs.calls.isEmpty());
    }

    void qualityFollowsTheChosenBitrate_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("normal");
        QTest::addColumn<int>("expected");
        QTest::newRow("above") << u"192 kbps"_s << u"128 kbps"_s << int(QualityPosition::High);
        QTest::newRow("equal") << u"128 kbps"_s << u"128 kbps"_s << int(QualityPosition::Normal);
        QTest::newRow("below") << u"96 kbps"_s << u"128 kbps"_s << int(QualityPosition::Low);
        QTest::newRow("numbers, not texts") << u"64 kbps"_s << u"128 kbps"_s << int(QualityPosition::Low);
        QTest::newRow("no kbps") << u"64"_s << u"128 kbps"_s << 1;
        QTest::newRow("no number") << u"fast kbps"_s << u"128 kbps"_s << 1;
        QTest::newRow("profile without number") << u"64 kbps"_s << u"kbps"_s << 1;
    }
    void qualityFollowsTheChosenBitrate()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, normal);
        QFETCH(int, expected);
        QCOMPARE(QualityForBitrate(chosen, normal, 1), expected);
    }
};

QTEST_GUILESS_MAIN(TestSettingsForm)
#include "tst_settingsform.moc"
