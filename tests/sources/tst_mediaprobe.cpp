#include "core/startrecord.h"
#include "sources/destinationname.h"
#include "sources/mediaprobe.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestMediaProbe : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void judge_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("duration");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("fraction cut off")
            << u"Input #0\n  Duration: 00:03:25.12, start: 0\n"_s << u"00:03:25"_s << true;
        QTest::newRow("zero length refused") << u"Duration: 00:00:00.00\n"_s << u"00:00:00"_s << false;
        QTest::newRow("ten milliseconds accepted") << u"Duration: 00:00:00.01\n"_s << u"00:00:00"_s << true;
        QTest::newRow("half a second accepted") << u"Duration: 00:00:00.50\n"_s << u"00:00:00"_s << true;
        QTest::newRow("0.99 seconds accepted") << u"Duration: 00:00:00.99\n"_s << u"00:00:00"_s << true;
        QTest::newRow("no duration refused") << u"Input #0\nStream #0\n"_s << u"--:--:--"_s << false;
        QTest::newRow("refusing word beside a duration")
            << u"Duration: 00:01:00.00\nError: Unsupported codec\n"_s << u"00:01:00"_s << false;
        QTest::newRow("letter case must match") << u"Duration: 00:01:00.00\nunsupported\n"_s << u"00:01:00"_s << true;
        QTest::newRow("missing file") << u"Error: no such file\n"_s << u"--:--:--"_s << false;
        QTest::newRow("taken unchecked") << u"Duration: N/A, bitrate"_s << u"N/A, bit"_s << true;
        QTest::newRow("text ends early") << u"Duration: 00:0"_s << u"00:0"_s << true;
        QTest::newRow("nothing printed: accepted with the placeholder") << QString() << u"--:--:--"_s << true;
        QTest::newRow("Error alone does not refuse a probe")
            << u"Duration: 00:00:05.00 Error"_s << u"00:00:05"_s << true;
    }
    void judge()
    {
        QFETCH(QString, text);
        QFETCH(QString, duration);
        QFETCH(bool, accepted);
        const ProbeVerdict verdict = JudgeProbeText(text);
        QCOMPARE(verdict.duration, duration);
        QCOMPARE(verdict.accepted, accepted);
    }

    // The exact end a new row keeps beside its whole seconds.
    void probedTimes()
    {
        TStartRecord job;
        job.SpanStartNs = 5;
        SetProbedTimes(job, JudgeProbeText(u"Input #0\n  Duration: 00:03:25.40, start: 0\n"_s));
        QCOMPARE(job.Duration, u"00:03:25"_s);
        QCOMPARE(job.Length, u"00:03:25"_s);
        QCOMPARE(job.StartTime, u"00:00:00"_s);
        QCOMPARE(job.SpanStartNs, 0);
        QCOMPARE(job.SpanEndNs, 205'400'000'000);
        SetProbedTimes(job, JudgeProbeText(u"Duration: N/A, bitrate"_s));
        QCOMPARE(job.SpanEndNs, -1);
        SetProbedTimes(job, JudgeProbeText(u"Duration: 00:0"_s));
        QCOMPARE(job.SpanEndNs, -1);
    }

    void messages()
    {
        QCOMPARE(ProbeStartFailedMessage(u"/music/a b.flac"_s),
            u"Video or audio file: a b.flac  is not valid and fails to load."_s);
        QCOMPARE(ProbeRefusedMessage(u"/music/a b.flac"_s),
            u"Video or audio file: \"/music/a b.flac\"  is not valid and fails to load. "_s);
    }

    void destinationNames_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("name");
        QTest::newRow("extension replaced") << u"song.wav"_s << u"song.mp3"_s;
        QTest::newRow("last dot only") << u"a.mp3.wav"_s << u"a.mp3.mp3"_s;
        QTest::newRow("no dot") << u"README"_s << u"README.mp3"_s;
        QTest::newRow("hidden file") << u".wav"_s << u".mp3"_s;
    }
    void destinationNames()
    {
        QFETCH(QString, source);
        QFETCH(QString, name);
        QCOMPARE(DestinationName(source, u".mp3"_s), name);
    }

    void freeNamesAddNewBeforeTheExtension()
    {
        QTemporaryDir dir;
        for (const QString &taken : { u"song.mp3"_s, u"song(new).mp3"_s, u"a.mp3.mp3"_s }) {
            QFile file(dir.filePath(taken));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QCOMPARE(FreeDestinationName(dir.path(), u"song.mp3"_s, u".mp3"_s), u"song(new)(new).mp3"_s);
        QCOMPARE(FreeDestinationName(dir.path() + u'/', u"a.mp3.mp3"_s, u".mp3"_s), u"a.mp3(new).mp3"_s);
        QCOMPARE(FreeDestinationName(dir.path(), u"free.mp3"_s, u".mp3"_s), u"free.mp3"_s);
        QCOMPARE(JoinFolder(u"/"_s, u"x.mp3"_s), u"/x.mp3"_s);
        QCOMPARE(JoinFolder(u"/out"_s, u"x.mp3"_s), u"/out/x.mp3"_s);
    }
};

QTEST_GUILESS_MAIN(TestMediaProbe)
#include "tst_mediaprobe.moc"
