// What the profile chooser, the quality chooser and the settings dialog's OK and Cancel do to
// the target rows and to the choosers, on rows held in memory and the shipped catalogue.

#include "batch/outputchoices.h"
#include "core/programtexts.h"
#include "profiles/privateprofile.h"
#include "profiles/profilecatalogue.h"
#include "profiles/profilejob.h"
#include "profiles/settingsform.h"
#include "sources/profileselection.h"
#include "testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kProgramDir = QStringLiteral(TOLM_PROGRAM_DIR);
constexpr int kAac = 0, kAiff = 2, kMp3 = 5, kOgg = 6, kWav = 9, kFlac = 11;

struct Row
{
    TStartRecord job;
    QString destination;
};

class MemoryRows : public QueueRows
{
public:
    QList<Row> rows;
    int rowCount() const override { return int(rows.size()); }
    RowId rowId(int row) const override { return RowId(row + 1); }
    int rowOfId(RowId id) const override { return int(id) - 1; }
    RowStatus status(int) const override { return {}; }
    void setStatus(int, const RowStatus &) override { }
    TStartRecord &job(int row) override { return rows[row].job; }
    void setDestination(int row, const QString &fileName) override { rows[row].destination = fileName; }
};

// What the choosers show of what the profile allows.
QString state(const OutputChoices &choices)
{
    return u"settings=%1 quality=%2 lossless=%3"_s.arg(int(choices.settingsEnabled()))
        .arg(int(choices.qualityEnabled()))
        .arg(int(choices.qualityLook() == QualityLook::Lossless));
}

} // namespace

class TestProfileSelection : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_out;
    SourcePaths m_paths;
    MemoryRows m_rows;
    std::unique_ptr<OutputChoices> m_choosers;
    std::unique_ptr<ProfileSelection> m_selection;

    // A row added with the AAC profile at Normal, its destination in the output folder.
    void addRow(const QString &source)
    {
        Row row;
        row.job.SourcePath = m_dir.filePath(source);
        ApplyProfileToJob(row.job, BuiltInProfileNames().at(kAac),
            ReadProfileSettings(m_paths.cataloguePath, BuiltInProfileNames().at(kAac)), QualityPosition::Normal);
        row.destination = QFileInfo(source).completeBaseName() + u".aac"_s;
        row.job.OutputPath = m_out + u'/' + row.destination;
        m_rows.rows << row;
    }
    void choose(int profile, const QList<int> &targets)
    {
        m_choosers->setProfilePosition(profile);
        m_selection->applyProfile(targets);
    }

private Q_SLOTS:
    void init()
    {
        const QString base = m_dir.filePath(
            QString::fromLatin1(QTest::currentTestFunction()) + QString::fromLatin1(QTest::currentDataTag()));
        m_out = base + u"/out"_s;
        QVERIFY(QDir().mkpath(m_out) && QDir().mkpath(base + u"/default"_s));
        m_paths = { kProgramDir + kCatalogueRelativePath, base + u"/userprofile.ini"_s, base + u"/TOLM"_s,
            base + u"/default"_s };
        m_rows = MemoryRows();
        m_choosers = std::make_unique<OutputChoices>();
        m_choosers->setProfiles(BuiltInProfileNames());
        m_choosers->setQualityPosition(QualityPosition::Normal);
        m_choosers->setDestinationFolder(m_out);
        m_selection = std::make_unique<ProfileSelection>(m_rows, *m_choosers, m_paths);
    }

    void profileAndQualityReachTheRow_data()
    {
        QTest::addColumn<int>("quality");
        QTest::addColumn<QString>("bitrate");
        QTest::newRow("High") << int(QualityPosition::High) << u"192 kbps"_s;
        QTest::newRow("Normal") << int(QualityPosition::Normal) << u"128 kbps"_s;
        QTest::newRow("Low") << int(QualityPosition::Low) << u"96 kbps"_s;
    }
    void profileAndQualityReachTheRow()
    {
        QFETCH(int, quality);
        QFETCH(QString, bitrate);
        addRow(u"song.wav"_s);
        m_rows.rows[0].job.Volume = 150;
        m_rows.rows[0].destination = u"my own name.aac"_s; // edited by the user: rebuilt all the same
        m_choosers->setQualityPosition(quality);
        choose(kMp3, { 0 });
        const TStartRecord &job = m_rows.rows[0].job;
        QCOMPARE(job.ProfileName.text(), BuiltInProfileNames().at(kMp3));
        QCOMPARE(job.Extension.text(), u".mp3"_s);
        QCOMPARE(job.AudioCodec.text(), u"mp3"_s);
        QCOMPARE(job.Bitrate.text(), bitrate);
        QCOMPARE(job.Volume, 150);
        QCOMPARE(m_rows.rows[0].destination, u"song.mp3"_s);
        QCOMPARE(job.OutputPath.text(), m_out + u"/song.mp3"_s);
        QCOMPARE(state(*m_choosers), u"settings=1 quality=1 lossless=0"_s);

        // The quality chooser alone changes only the bit rate.
        m_choosers->setQualityPosition(QualityPosition::Low);
        m_selection->applyQuality({ 0 });
        QCOMPARE(m_rows.rows[0].job.Bitrate.text(), u"96 kbps"_s);
        QCOMPARE(m_rows.rows[0].destination, u"song.mp3"_s);
    }

    void onlyTargetRowsChange()
    {
        addRow(u"a.wav"_s);
        addRow(u"b.wav"_s);
        addRow(u"c.wav"_s);
        choose(kOgg, { 0, 2 });
        QCOMPARE(m_rows.rows[0].destination, u"a.ogg"_s);
        QCOMPARE(m_rows.rows[1].destination, u"b.aac"_s);
        QCOMPARE(m_rows.rows[1].job.AudioCodec.text(), u"aac"_s);
        QCOMPARE(m_rows.rows[2].job.AudioCodec.text(), u"vorbis"_s);
        m_choosers->setQualityPosition(QualityPosition::High);
        m_selection->applyQuality({});
        QCOMPARE(m_rows.rows[0].job.Bitrate.text(), u"128 kbps"_s);
    }

    // Tracks of one image keep their own names: "NN - Title", not the image's.
    void tracksKeepTheirNames()
    {
        addRow(u"image.flac"_s);
        addRow(u"image.flac"_s);
        m_rows.rows[0].job.TrackName = u"01 - Mr. Blue"_s;
        m_rows.rows[1].job.TrackName = u"02 - Finale"_s;
        choose(kOgg, { 0, 1 });
        QCOMPARE(m_rows.rows[0].destination, u"01 - Mr. Blue.ogg"_s);
        QCOMPARE(m_rows.rows[1].job.OutputPath.text(), m_out + u"/02 - Finale.ogg"_s);
    }

    void takenNamesGetNew()
    {
        addRow(u"a.wav"_s);
        TestFiles::write(m_out + u"/a.mp3"_s, "x");
        choose(kMp3, { 0 });
        QCOMPARE(m_rows.rows[0].destination, u"a(new).mp3"_s);
        TestFiles::write(m_out + u"/a(new).mp3"_s, "x");
        choose(kMp3, { 0 });
        QCOMPARE(m_rows.rows[0].destination, u"a(new)(new).mp3"_s);
        QCOMPARE(m_rows.rows[0].job.OutputPath.text(), m_out + u"/a(new)(new).mp3"_s);
    }

    void missingFolderIsReplacedOrCreated_data()
    {
        QTest::addColumn<bool>("startupFolder");
        QTest::newRow("another folder") << false;
        QTest::newRow("the start-up folder") << true;
    }
    void missingFolderIsReplacedOrCreated()
    {
        QFETCH(bool, startupFolder);
        addRow(u"a.wav"_s);
        m_choosers->setDestinationFolder(startupFolder ? m_paths.startupDestination : m_out + u"/gone"_s);
        choose(kMp3, { 0 });
        const QString expected = startupFolder ? m_paths.startupDestination : m_paths.defaultOutputFolder;
        QCOMPARE(m_choosers->destinationFolder(), expected);
        QVERIFY(QFileInfo(expected).isDir());
        QCOMPARE(m_rows.rows[0].job.OutputPath.text(), expected + u"/a.mp3"_s);
    }

    void losslessAndNoBitrateSwitchTheChoosers()
    {
        addRow(u"a.wav"_s);
        m_rows.rows[0].job.SampleRate = u"22050 Hz"_s;
        choose(kFlac, { 0 });
        QCOMPARE(state(*m_choosers), u"settings=0 quality=0 lossless=1"_s);
        QCOMPARE(m_rows.rows[0].job.Lossless.text(), u"True"_s);
        QCOMPARE(m_rows.rows[0].job.SampleRate.text(), u"22050 Hz"_s); // kept for a lossless profile
        QCOMPARE(m_rows.rows[0].destination, u"a.flac"_s);

        choose(kAiff, { 0 });
        QCOMPARE(state(*m_choosers), u"settings=1 quality=0 lossless=0"_s);
        QCOMPARE(m_rows.rows[0].job.SampleRate.text(), u"44100 Hz"_s);

        // Without rows only the choosers switch.
        choose(kFlac, {});
        QCOMPARE(state(*m_choosers), u"settings=0 quality=0 lossless=1"_s);
        choose(kWav, {});
        QCOMPARE(state(*m_choosers), u"settings=1 quality=0 lossless=0"_s);
        choose(kMp3, {});
        QCOMPARE(state(*m_choosers), u"settings=1 quality=1 lossless=0"_s);
        QCOMPARE(m_rows.rows[0].job.AudioCodec.text(), u"pcm16be"_s);
    }

    // The positions after the built-in ones read the user profile file, whatever the catalogue holds of that name.
    void userProfilesComeFromTheirFile()
    {
        const QString aac = BuiltInProfileNames().at(kAac);
        TestFiles::write(m_paths.userProfilePath,
            "[" + aac.toUtf8() + "]\nAudioCodec=mp3\nASR=22050 Hz\nAC=1 Channel Mono\nABRN=64 kbps\n");
        m_choosers->setProfiles(m_choosers->profiles() << aac);
        addRow(u"a.wav"_s);
        choose(kBuiltInProfileCount, { 0 });
        QCOMPARE(m_rows.rows[0].job.AudioCodec.text(), u"mp3"_s);
        QCOMPARE(m_rows.rows[0].job.SampleRate.text(), u"22050 Hz"_s);
        QCOMPARE(m_rows.rows[0].job.Bitrate.text(), u"64 kbps"_s);
        m_choosers->setQualityPosition(QualityPosition::High);
        m_selection->applyQuality({ 0 });
        QCOMPARE(m_rows.rows[0].job.Bitrate.text(), u"128 kbps"_s); // the reader's default
    }

    void settingsOkWritesTheDialogsChoices_data()
    {
        QTest::addColumn<int>("profile");
        QTest::addColumn<QString>("bitrate");
        QTest::addColumn<int>("quality");
        QTest::addColumn<QString>("destination");
        QTest::newRow("same extension, lower rate")
            << kAac << u"64 kbps"_s << int(QualityPosition::Low) << u"old name.aac"_s;
        QTest::newRow("same rate") << kAac << u"128 kbps"_s << int(QualityPosition::Normal) << u"old name.aac"_s;
        QTest::newRow("other extension, higher rate")
            << kMp3 << u"192 kbps"_s << int(QualityPosition::High) << u"a.mp3"_s;
    }
    void settingsOkWritesTheDialogsChoices()
    {
        QFETCH(int, profile);
        QFETCH(QString, bitrate);
        QFETCH(int, quality);
        QFETCH(QString, destination);
        addRow(u"a.wav"_s);
        m_rows.rows[0].destination = u"old name.aac"_s;
        SettingsChoices choices = SettingsChoices::designed();
        choices.profiles = BuiltInProfileNames();
        choices.profilePosition = profile;
        SelectChooserText(choices.chooser(LibraryChooser::Channels), u"1 Channel Mono"_s);
        SelectChooserText(choices.chooser(LibraryChooser::SampleRate), u"22050 Hz"_s);
        SelectChooserText(choices.chooser(LibraryChooser::Bitrate), bitrate);
        m_selection->applySettings({ 0 }, choices);

        const TStartRecord &job = m_rows.rows[0].job;
        QCOMPARE(m_choosers->profilePosition(), profile);
        QCOMPARE(m_choosers->qualityPosition(), quality);
        QCOMPARE(job.ProfileName.text(), BuiltInProfileNames().at(profile));
        QCOMPARE(job.AudioCodec.text(), u"mp3"_s);
        QCOMPARE(job.Channels.text(), u"1 Channel Mono"_s);
        QCOMPARE(job.SampleRate.text(), u"22050 Hz"_s);
        QCOMPARE(job.Bitrate.text(), bitrate);
        QCOMPARE(m_rows.rows[0].destination, destination);
        QCOMPARE(state(*m_choosers), u"settings=1 quality=1 lossless=0"_s);
    }

    void settingsOkWithChoosersOff()
    {
        addRow(u"a.wav"_s);
        addRow(u"b.wav"_s);
        m_choosers->setQualityPosition(QualityPosition::High);
        SettingsChoices choices = SettingsChoices::designed();
        choices.profiles = BuiltInProfileNames() << u"Saved (*.flac)"_s;
        choices.profilePosition = kBuiltInProfileCount;
        choices.profilesChanged = true;
        choices.chooser(LibraryChooser::SampleRate).disabled = true;
        choices.chooser(LibraryChooser::Bitrate).disabled = true;
        m_selection->applySettings({ 0, 1 }, choices);
        QCOMPARE(m_choosers->profiles().size(), kBuiltInProfileCount + 1);
        QCOMPARE(m_choosers->profilePosition(), kBuiltInProfileCount);
        QCOMPARE(m_choosers->qualityPosition(), int(QualityPosition::High));
        QCOMPARE(state(*m_choosers), u"settings=0 quality=0 lossless=1"_s);
        for (const Row &row : m_rows.rows) {
            QCOMPARE(row.job.Bitrate.text(), u"128 kbps"_s);
            QCOMPARE(row.job.SampleRate.text(), u"44100 Hz"_s);
            QCOMPARE(row.job.Extension.text(), u".flac"_s);
            QCOMPARE(row.job.Lossless.text(), u"False"_s); // switches are the chooser's business
        }
        QCOMPARE(m_rows.rows[1].destination, u"b.flac"_s);
    }

    void cancelStillListsSavedProfiles()
    {
        m_choosers->setProfilePosition(kOgg);
        SettingsChoices choices;
        choices.profiles = BuiltInProfileNames() << u"Voice (*.mp3)"_s;
        choices.profilePosition = kBuiltInProfileCount;
        m_selection->keepSavedProfiles(choices);
        QCOMPARE(m_choosers->profiles().size(), kBuiltInProfileCount); // nothing saved in this opening
        choices.profilesChanged = true;
        m_selection->keepSavedProfiles(choices);
        QCOMPARE(m_choosers->profiles(), choices.profiles);
        QCOMPARE(m_choosers->profilePosition(), kOgg);
    }
};

QTEST_GUILESS_MAIN(TestProfileSelection)
#include "tst_profileselection.moc"
