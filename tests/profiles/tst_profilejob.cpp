// The one step that fills a job record from a profile and a quality, as the adder, the
// choosers and the settings dialog take it.

#include "core/startrecord.h"
#include "profiles/profilejob.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

ProfileSettings mp3Settings()
{
    ProfileSettings s;
    s.audioCodec = u"mp3"_s;
    s.channels = u"2 Channels Stereo"_s;
    s.videoNot = u"True"_s;
    s.lossless = u"False"_s;
    s.bitrateNot = u"False"_s;
    s.sampleRate = u"44100 Hz"_s;
    s.bitrateHigh = u"192 kbps"_s;
    s.bitrateNormal = u"128 kbps"_s;
    s.bitrateLow = u"64 kbps"_s;
    return s;
}

// A record that already holds another profile's values, so every field the step leaves
// alone shows.
TStartRecord earlierJob()
{
    TStartRecord job;
    job.SampleRate = u"22050 Hz"_s;
    job.Bitrate = u"96 kbps"_s;
    job.OutputPath = u"/out/song.ogg"_s;
    job.Volume = 50;
    return job;
}

} // namespace

class TestProfileJob : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void qualityPicksItsBitrate_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("bitrate");
        QTest::newRow("High") << 0 << u"ABRH"_s << u"192 kbps"_s;
        QTest::newRow("Normal") << 1 << u"ABRN"_s << u"128 kbps"_s;
        QTest::newRow("Low") << 2 << u"ABRL"_s << u"64 kbps"_s;
        QTest::newRow("no selection reads as Low") << -1 << u"ABRL"_s << u"64 kbps"_s;
    }
    void qualityPicksItsBitrate()
    {
        QFETCH(int, position);
        QFETCH(QString, key);
        QFETCH(QString, bitrate);
        QCOMPARE(QualityBitrateKey(position).toString(), key);
        TStartRecord job = earlierJob();
        ApplyProfileToJob(job, u"MP3 - MPEG Layer-3 Audio (*.mp3)"_s, mp3Settings(), position);
        QCOMPARE(job.Bitrate.text(), bitrate);
        QCOMPARE(job.Extension.text(), u".mp3"_s);
        QCOMPARE(job.AudioCodec.text(), u"mp3"_s);
        QCOMPARE(job.SampleRate.text(), u"44100 Hz"_s);
        QCOMPARE(job.VideoNot.text(), u"True"_s);
        // Not the profile's business: the destination and the volume stay.
        QCOMPARE(job.OutputPath.text(), u"/out/song.ogg"_s);
        QCOMPARE(job.Volume, 50);
    }

    // A lossless profile has no bit rate, and a chosen one keeps the row's sample rate; a
    // profile without a bit-rate choice leaves the bit rate alone.
    void switchesDecideWhatIsWritten_data()
    {
        QTest::addColumn<QString>("lossless");
        QTest::addColumn<QString>("bitrateNot");
        QTest::addColumn<bool>("newRow");
        QTest::addColumn<QString>("sampleRate");
        QTest::addColumn<QString>("bitrate");
        QTest::newRow("lossy") << u"False"_s << u"False"_s << false << u"48000 Hz"_s << u"192 kbps"_s;
        QTest::newRow("lossless, new row") << u"True"_s << u"False"_s << true << u"48000 Hz"_s << u"96 kbps"_s;
        QTest::newRow("lossless, chosen") << u"True"_s << u"False"_s << false << u"22050 Hz"_s << u"96 kbps"_s;
        QTest::newRow("no bit rate") << u"False"_s << u"True"_s << false << u"48000 Hz"_s << u"96 kbps"_s;
        QTest::newRow("switch texts compared exactly")
            << u"true"_s << u"TRUE"_s << false << u"48000 Hz"_s << u"192 kbps"_s;
    }
    void switchesDecideWhatIsWritten()
    {
        QFETCH(QString, lossless);
        QFETCH(QString, bitrateNot);
        QFETCH(bool, newRow);
        QFETCH(QString, sampleRate);
        QFETCH(QString, bitrate);
        ProfileSettings settings = mp3Settings();
        settings.lossless = lossless;
        settings.bitrateNot = bitrateNot;
        settings.sampleRate = u"48000 Hz"_s;
        TStartRecord job = earlierJob();
        ApplyProfileToJob(job, u"Some profile (*.flac)"_s, settings, QualityPosition::High,
            newRow ? SampleRateRule::Always : SampleRateRule::UnlessLossless);
        QCOMPARE(job.Lossless.text(), lossless);
        QCOMPARE(job.BitrateNot.text(), bitrateNot);
        QCOMPARE(job.SampleRate.text(), sampleRate);
        QCOMPARE(job.Bitrate.text(), bitrate);
    }

    // Values longer than a field holds are cut to the field, as stored files may hold them.
    void longValuesAreCutToTheirFields()
    {
        ProfileSettings settings = mp3Settings();
        settings.channels = u"2 Channels Stereo, and more words"_s;
        settings.bitrateHigh = u"320 kbps or more"_s;
        const QString name = QString(120, u'n') + u" (*.mp3)"_s;
        TStartRecord job;
        ApplyProfileToJob(job, name, settings, QualityPosition::High);
        QCOMPARE(job.ProfileName.size(), 100);
        QCOMPARE(job.Channels.text(), u"2 Channels Stereo,"_s);
        QCOMPARE(job.Bitrate.text(), u"320 kbps o"_s);
    }
};

QTEST_GUILESS_MAIN(TestProfileJob)
#include "tst_profilejob.moc"
