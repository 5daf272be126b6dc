// Adding a source: the probe's verdict, the row and its record, the choosers' states and the
// destination folder, with a stand-in transcoder (tests/sources/standin) and the shipped
// profile catalogue.

#include "batch/outputchoices.h"
#include "core/logsink.h"
#include "platform/childprocess.h"
#include "platform/recordingdialogs.h"
#include "profiles/privateprofile.h"
#include "profiles/profilecatalogue.h"
#include "recordinglog.h"
#include "sources/filelist.h"
#include "sources/sourceadder.h"
#include "sources/sourceintake.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr int kMp3 = 5, kWav = 9, kFlac = 11;

// What the choosers show of what the added rows' profiles allow.
QString switches(const OutputChoices &choices)
{
    static const char *const looks[] = { "list", "plain", "lossless" };
    return u"settings=%1 quality=%2 %3"_s.arg(int(choices.settingsEnabled()))
        .arg(int(choices.qualityEnabled()))
        .arg(QLatin1StringView(looks[int(choices.qualityLook())]));
}

} // namespace

class TestSourceAdder : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<FileList> m_list;
    std::unique_ptr<OutputChoices> m_choices;
    RecordingDialogs m_dialogs;
    RecordingLog m_log;
    std::unique_ptr<SourceAdder> m_adder;
    QString m_source;

    QString path(const QString &name) const { return m_dir.filePath(name); }
    // Adds through the window's own road (probed without blocking, then handed to the adder)
    // and waits until the file is in or refused. True when rows were added.
    bool add(const QString &file)
    {
        const int before = m_list->rowCount();
        SourceIntake intake(*m_adder, path(u"cache"_s));
        QSignalSpy finished(&intake, &SourceIntake::finished);
        intake.add({ file });
        if (finished.isEmpty() && !finished.wait(20000))
            return false;
        return m_list->rowCount() > before;
    }

private Q_SLOTS:
    void initTestCase()
    {
        ChildProcess::setProgramFolder(QStringLiteral(TOLM_SOURCE_DIR "/tests/sources/standin"));
        m_source = path(u"song.wav"_s);
        QFile source(m_source);
        QVERIFY(source.open(QIODevice::WriteOnly));
        source.write(QByteArray(3 * 1024 * 1024, 'x'));
    }

    void init()
    {
        m_list = std::make_unique<FileList>();
        m_choices = std::make_unique<OutputChoices>();
        // The built-in profiles, then a user profile of the same name as the MP3 one.
        m_choices->setProfiles(BuiltInProfileNames() << BuiltInProfileNames().at(kMp3));
        m_choices->setProfilePosition(kMp3);
        m_choices->setDestinationFolder(path(u"out"_s));
        QDir().mkpath(m_choices->destinationFolder());
        m_dialogs = RecordingDialogs();
        m_log = RecordingLog();
        const QString user = path(u"userprofile.ini"_s);
        m_adder = std::make_unique<SourceAdder>(*m_list, *m_choices, m_dialogs, m_log,
            SourcePaths {
                QStringLiteral(TOLM_PROGRAM_DIR "/Config/config.ini"), user, path(u"TOLM"_s), path(u"default"_s) });
    }

    void acceptedFileGetsItsRowAndRecord()
    {
        QVERIFY(add(m_source));
        QCOMPARE(m_list->rowCount(), 1);
        QCOMPARE(m_list->cellText(0, BatchModel::Source), u"song.wav"_s);
        QCOMPARE(m_list->cellText(0, BatchModel::FileSize), u"3 MB"_s);
        QCOMPARE(m_list->cellText(0, BatchModel::Duration), u"00:00:01"_s);
        QCOMPARE(m_list->cellText(0, BatchModel::Destination), u"song.mp3"_s);
        QCOMPARE(m_list->cellText(0, BatchModel::Status), u"ready"_s);

        const TStartRecord &job = m_list->row(0).job;
        QCOMPARE(job.SourcePath, m_source);
        QCOMPARE(job.Duration, u"00:00:01"_s);
        QCOMPARE(job.StartTime, u"00:00:00"_s);
        QCOMPARE(job.Length, u"00:00:01"_s);
        QCOMPARE(QString(job.ProfileName), u"MP3 - MPEG Layer-3 Audio (*.mp3)"_s);
        QCOMPARE(QString(job.Extension), u".mp3"_s);
        QCOMPARE(QString(job.AudioCodec), u"mp3"_s);
        QCOMPARE(QString(job.SampleRate), u"44100 Hz"_s);
        QCOMPARE(QString(job.Channels), u"2 Channels Stereo"_s);
        QCOMPARE(QString(job.Lossless), u"False"_s);
        QCOMPARE(QString(job.VideoNot), u"True"_s);
        QCOMPARE(QString(job.Bitrate), u"128 kbps"_s);
        QCOMPARE(job.Volume, 100);
        QCOMPARE(QString(job.OutputPath), m_choices->destinationFolder() + u"/song.mp3"_s);
        QCOMPARE(switches(*m_choices), u"settings=1 quality=1 list"_s);
        QVERIFY(m_log.entries.isEmpty()); // an accepted file's probe text stays out of the log
        QVERIFY(m_dialogs.calls.isEmpty());
    }

    void qualityPicksTheBitRateKey_data()
    {
        QTest::addColumn<int>("quality");
        QTest::addColumn<QString>("bitrate");
        QTest::newRow("High") << 0 << u"192 kbps"_s;
        QTest::newRow("Normal") << 1 << u"128 kbps"_s;
        QTest::newRow("Low") << 2 << u"96 kbps"_s;
    }
    void qualityPicksTheBitRateKey()
    {
        QFETCH(int, quality);
        QFETCH(QString, bitrate);
        m_choices->setQualityPosition(quality);
        QVERIFY(add(m_source));
        QCOMPARE(QString(m_list->job(0).Bitrate), bitrate);
    }

    void losslessAndBitRateFreeProfilesLeaveTheBitRateEmpty()
    {
        m_choices->setProfilePosition(kFlac);
        QVERIFY(add(m_source));
        QCOMPARE(switches(*m_choices), u"settings=0 quality=0 plain"_s);
        m_choices->setProfilePosition(kWav);
        QVERIFY(add(m_source));
        QCOMPARE(QString(m_list->job(0).Bitrate), QString());
        QCOMPARE(QString(m_list->job(0).Lossless), u"True"_s);
        QCOMPARE(QString(m_list->job(1).Bitrate), QString());
        QCOMPARE(switches(*m_choices), u"settings=1 quality=0 list"_s);
    }

    void userProfilesComeFromTheUserFileByPosition()
    {
        const QString user = path(u"userprofile.ini"_s);
        QVERIFY(PrivateProfile::writeString(user, u"MP3 - MPEG Layer-3 Audio (*.mp3)"_s, u"AudioCodec"_s, u"mp2"_s));
        m_choices->setProfilePosition(kBuiltInProfileCount);
        QVERIFY(add(m_source));
        QCOMPARE(QString(m_list->job(0).AudioCodec), u"mp2"_s);
        QCOMPARE(QString(m_list->job(0).SampleRate), u"44100 Hz"_s); // missing keys take the defaults
        QFile::remove(user);
    }

    void takenNamesGetNewBeforeTheExtension()
    {
        for (const QString &taken : { u"song.mp3"_s, u"song(new).mp3"_s }) {
            QFile file(m_choices->destinationFolder() + u'/' + taken);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QVERIFY(add(m_source));
        QVERIFY(add(m_source)); // the same file twice: other rows do not count
        QCOMPARE(m_list->cellText(0, BatchModel::Destination), u"song(new)(new).mp3"_s);
        QCOMPARE(m_list->cellText(1, BatchModel::Destination), u"song(new)(new).mp3"_s);
    }

    void missingDestinationFolders()
    {
        // The start-up destination is created when it is missing ...
        m_choices->setDestinationFolder(path(u"TOLM"_s));
        QVERIFY(add(m_source));
        QVERIFY(QFileInfo(path(u"TOLM"_s)).isDir());
        QCOMPARE(QString(m_list->job(0).OutputPath), path(u"TOLM/song.mp3"_s));
        // ... any other missing folder is replaced by the default output folder.
        m_choices->setDestinationFolder(path(u"gone/away"_s));
        QVERIFY(add(m_source));
        QCOMPARE(m_choices->destinationFolder(), path(u"default"_s));
        QCOMPARE(QString(m_list->job(1).OutputPath), path(u"default/song.mp3"_s));
        QVERIFY(!QFileInfo::exists(path(u"gone"_s)));
    }

    void refusedFilesShowTheirMessageAndAddNothing()
    {
        const QString broken = path(u"refuse-me.wav"_s);
        QVERIFY(!add(broken));
        QCOMPARE(m_list->rowCount(), 0);
        QCOMPARE(m_dialogs.calls.size(), 1);
        const MessageRequest &m = m_dialogs.calls.first().message;
        QCOMPARE(m.text, u"Video or audio file: \""_s + broken + u"\"  is not valid and fails to load. "_s);
        QCOMPARE(m.caption, u"Information"_s);
        QCOMPARE(m.icon, DialogIcon::Information);
        QCOMPARE(m.buttons, DialogButtons::Yes);
        QCOMPARE(m.placement, DialogPlacement::ConfirmOffset);
        QVERIFY(m_log.entries.first().text.contains(u"Unsupported"_s)); // the text still reaches the log
    }

    // An album image's sheet gives one row per track, its image probed once.
    void cueSheetGivesOneRowPerTrack()
    {
        QVERIFY(TestFiles::write(path(u"album/image.flac"_s), QByteArray(1024, 'x')));
        const QString sheet = path(u"album/Album.CUE"_s);
        QVERIFY(TestFiles::write(sheet,
            "PERFORMER \"Band\"\nTITLE \"Live\"\nFILE \"image.wav\" WAVE\n"
            "TRACK 01 AUDIO\nTITLE \"Opening\"\nINDEX 01 00:00:00\n"
            "TRACK 02 AUDIO\nINDEX 00 00:03:40\nINDEX 01 00:04:17\n"
            "TRACK 03 AUDIO\nTITLE \"Fi/nale\"\nINDEX 01 00:09:01\n"));
        QVERIFY(add(sheet));
        QCOMPARE(m_list->rowCount(), 3);
        const QStringList captions { u"01 - Opening"_s, u"02 - Track 02"_s, u"03 - Fi/nale"_s };
        const QStringList names { u"01 - Opening.mp3"_s, u"02 - Track 02.mp3"_s, u"03 - Fi-nale.mp3"_s };
        const QStringList durations { u"00:00:04"_s, u"00:00:04"_s, u"00:00:03"_s };
        for (int i = 0; i < 3; ++i) {
            const BatchRow &row = m_list->row(i);
            QCOMPARE(row.caption, captions.at(i));
            QCOMPARE(m_list->index(i, BatchModel::Source).data(Qt::ToolTipRole).toString(), u"image.flac"_s);
            QCOMPARE(row.destination, names.at(i));
            QCOMPARE(row.duration, durations.at(i));
            QCOMPARE(row.job.SourcePath, path(u"album/image.flac"_s));
            QCOMPARE(QString(row.job.OutputPath), m_choices->destinationFolder() + u'/' + names.at(i));
            QCOMPARE(row.job.Length, durations.at(i));
        }
        QCOMPARE(m_list->job(1).SpanStartNs, 4'226'666'667);
        QCOMPARE(m_list->job(1).SpanEndNs, 9'013'333'333);
        QCOMPARE(m_list->job(2).SpanEndNs, 12'280'000'000); // the image's end, from its probe
        QCOMPARE(m_list->job(2).TagValues.first(), (QPair<QString, QString>(u"title"_s, u"Fi/nale"_s)));
        QVERIFY(m_log.entries.isEmpty()); // an accepted image's probe text stays out of the log
        QVERIFY(m_dialogs.calls.isEmpty());
    }

    void refusedSheetsAddNothing_data()
    {
        QTest::addColumn<QByteArray>("sheet");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing image") << QByteArray("FILE \"gone.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n")
                                       << u"line 2: the image \"gone.wav\" of track 1 is not beside the sheet."_s;
        QTest::newRow("bad line") << QByteArray("FILE \"image.flac\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00\n")
                                  << u"line 3: INDEX needs a number and a time mm:ss:ff."_s;
        QTest::newRow("beyond the image") << QByteArray(
            "FILE \"image.flac\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\n"
            "INDEX 01 00:13:00\n") << u"line 2: track 1 lies beyond the end of its image \"image.flac\"."_s;
    }
    void refusedSheetsAddNothing()
    {
        QFETCH(QByteArray, sheet);
        QFETCH(QString, reason);
        QVERIFY(TestFiles::write(path(u"refused/image.flac"_s), "x"));
        QVERIFY(TestFiles::write(path(u"refused/refused.cue"_s), sheet));
        QVERIFY(!add(path(u"refused/refused.cue"_s)));
        QCOMPARE(m_list->rowCount(), 0);
        QCOMPARE(m_dialogs.calls.size(), 1);
        const MessageRequest &m = m_dialogs.calls.first().message;
        QVERIFY2(m.text.startsWith(u"The CUE sheet \""_s + path(u"refused/refused.cue"_s) + u"\" cannot be used: "_s),
            qPrintable(m.text));
        QVERIFY2(m.text.endsWith(reason), qPrintable(m.text));
        QCOMPARE(m.icon, DialogIcon::Information);
    }

    void missingTranscoderRefusesWithTheFileNameOnly()
    {
        ChildProcess::setProgramFolder(path(u"nowhere"_s));
        const QByteArray pathVariable = qgetenv("PATH");
        qputenv("PATH", "/nonexistent");
        const bool added = add(m_source);
        qputenv("PATH", pathVariable);
        ChildProcess::setProgramFolder(QStringLiteral(TOLM_SOURCE_DIR "/tests/sources/standin"));
        QVERIFY(!added);
        const MessageRequest &m = m_dialogs.calls.first().message;
        QCOMPARE(m.text, u"Video or audio file: song.wav  is not valid and fails to load."_s);
        QCOMPARE(m.caption, u"TOLM Audio Converter"_s);
        QCOMPARE(m.icon, DialogIcon::None);
        QCOMPARE(m.placement, DialogPlacement::ScreenCentre);
        QVERIFY(m_log.entries.isEmpty());
    }
};

QTEST_MAIN(TestSourceAdder)
#include "tst_sourceadder.moc"
