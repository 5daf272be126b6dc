// The album's ReplayGain values: the measuring command and the judging of its text.

#include "engine/albumloudness.h"

#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;

class TestAlbumLoudness : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void command()
    {
        const CommandLine cmd = AlbumLoudness::command({ u"/a/one.flac"_s, u"/b/-two \"2\".mp3"_s });
        QCOMPARE(cmd.program, u"sonmill"_s);
        QCOMPARE(cmd.text, uR"(sonmill qzv -measure -i "/a/one.flac" -i "/b/-two "2".mp3")"_s);
        QCOMPARE(cmd.arguments,
            QStringList({ u"qzv"_s, u"-measure"_s, u"-i"_s, u"/a/one.flac"_s, u"-i"_s, u"/b/-two \"2\".mp3"_s }));
    }

    void judge_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("measured");
        QTest::addColumn<bool>("hasValues");
        QTest::addColumn<double>("gainDb");
        QTest::addColumn<double>("peak");
        QTest::addColumn<QString>("reason");
        const QString tracks = u"Loudness: integrated -20.00 LUFS, range 3.0 LU, true peak -6.00 dBTP\n"
                               u"Loudness: integrated -30.00 LUFS, range none, true peak -12.00 dBTP\n"_s;
        const QString summary = u"Summary: audio 0kB, 0.00 s; global speed 0.0x\n"_s;
        QTest::newRow("measured") << tracks
                + u"Album loudness: integrated -21.50 LUFS, range 8.2 LU, true peak -6.00 dBTP\n"_s + summary
                                  << true << true << 3.5 << std::pow(10.0, -6.0 / 20) << QString();
        QTest::newRow("silence: no values, no failure")
            << u"Loudness: integrated none, range none, true peak none\n"
               u"Album loudness: integrated none, range none, true peak none\n"_s
                + summary
            << true << false << 0.0 << 0.0 << QString();
        QTest::newRow("peak of digital silence with a loudness")
            << u"Album loudness: integrated -60.00 LUFS, range none, true peak none\n"_s + summary << true << true
            << 42.0 << 0.0 << QString();
        QTest::newRow("a file failed") << tracks + u"Error: Unsupported input: no decodable audio\n"_s << false << false
                                       << 0.0 << 0.0 << u"Unsupported input: no decodable audio"_s;
        QTest::newRow("ended without its summary")
            << tracks << false << false << 0.0 << 0.0 << u"the transcoder ended without measuring the album"_s;
    }
    void judge()
    {
        QFETCH(QString, text);
        QFETCH(bool, measured);
        QFETCH(bool, hasValues);
        QFETCH(double, gainDb);
        QFETCH(double, peak);
        QFETCH(QString, reason);
        const AlbumLoudness::Verdict verdict = AlbumLoudness::judge(text);
        QCOMPARE(verdict.measured, measured);
        QCOMPARE(verdict.values.has_value(), hasValues);
        QCOMPARE(verdict.reason, reason);
        if (hasValues) {
            QVERIFY(std::fabs(verdict.values->gainDb - gainDb) < 1e-9);
            QVERIFY(std::fabs(verdict.values->peak - peak) < 1e-9);
        }

        LoudnessRequest request;
        request.replayGain = true;
        AlbumLoudness::apply(request, verdict.values);
        QCOMPARE(request.albumGainDb.has_value(), hasValues);
        QCOMPARE(request.albumPeak.has_value(), hasValues);
    }
};

QTEST_GUILESS_MAIN(TestAlbumLoudness)
#include "tst_albumloudness.moc"
