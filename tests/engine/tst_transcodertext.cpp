#include "engine/transcodertext.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestTranscoderText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void progress_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("seconds"); // -1: no progress in this text
        QTest::newRow("progress line") << u"size=    1200kB time=83.45 bitrate= 117.8kbits/s"_s << 83;
        QTest::newRow("first report of several") << u"time=1.50 bitrate= 1k\ntime=2.00 bitrate= 1k\n"_s << 1;
        QTest::newRow("zero") << u"time=0.00 bitrate=   0.0kbits/s"_s << 0;
        QTest::newRow("long position") << u"time=7322.09 bitrate=128"_s << 7322;
        QTest::newRow("bit rate of the header comes first")
            << u"Stream #0: 44100 Hz, bitrate: 1411 kb/s\ntime=3.00 bitrate= 1.0kbits/s"_s << -1;
        QTest::newRow("no bitrate") << u"time=3.00"_s << -1;
        QTest::newRow("no time") << u"bitrate= 128"_s << -1;
        QTest::newRow("time code instead of seconds") << u"time=00:01:02.00 bitrate=1"_s << -1;
        QTest::newRow("one decimal leaves nothing before the cut") << u"time=4.0 bitrate="_s << -1;
    }
    void progress()
    {
        QFETCH(QString, text);
        QFETCH(int, seconds);
        const std::optional<int> result = ProgressSeconds(text);
        QCOMPARE(result.value_or(-1), seconds);
    }

    void percent_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<int>("total");
        QTest::addColumn<QString>("status");
        QTest::newRow("40.49") << 83 << 205 << u"40%"_s;
        QTest::newRow("12.5 to even") << 1 << 8 << u"12%"_s;
        QTest::newRow("37.5 to even") << 3 << 8 << u"38%"_s;
        QTest::newRow("62.5 to even") << 5 << 8 << u"62%"_s;
        QTest::newRow("beyond the end rounds to 100") << 206 << 205 << u"100%"_s;
        QTest::newRow("not capped") << 210 << 205 << u"102%"_s;
        QTest::newRow("unknown total") << 10 << 0 << QString();
        // A position no int percentage holds (the fuzzer's input) stops at the largest one.
        QTest::newRow("past an int") << 99999999 << 1 << u"2147483647%"_s;
        QTest::newRow("far before") << -99999999 << 1 << u"-2147483647%"_s;
    }
    void percent()
    {
        QFETCH(int, seconds);
        QFETCH(int, total);
        QFETCH(QString, status);
        QCOMPARE(PercentStatus(seconds, total), status);
    }

    void outcome_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("success");
        QTest::addColumn<bool>("failure");
        QTest::newRow("summary") << u"video:0kB audio:3210kB global headers:0kB"_s << true << false;
        QTest::newRow("progress only") << u"time=1.00 bitrate= 1k"_s << false << false;
        QTest::newRow("both in one read") << u"global\nError: Could not write"_s << true << true;
        for (const char *word : { "Unknown", "Incorrect", "incorrect", "no file", "Unable", "Could not", "Error" })
            QTest::newRow(word) << u"x "_s + QString::fromLatin1(word) + u" y"_s << false << true;
        QTest::newRow("words are case-sensitive") << u"unknown error, could not"_s << false << false;
        QTest::newRow("GLOBAL is not the summary") << u"GLOBAL"_s << false << false;
    }
    void outcome()
    {
        QFETCH(QString, text);
        QFETCH(bool, success);
        QFETCH(bool, failure);
        QCOMPARE(ReportsSuccess(text), success);
        QCOMPARE(ReportsFailure(text), failure);
    }

    // The window's own line before a row's text: whole paths, on a line of its own after an
    // empty one; a name holding "%2" or the transcoder's words is shown as it is.
    void logHeaderNamesSourceAndOutput()
    {
        QCOMPARE(ConversionLogHeader(u"/music/a b.flac"_s, u"/out/a b.mp3"_s),
            u"\nConverting \"/music/a b.flac\" to \"/out/a b.mp3\"\n"_s);
        QCOMPARE(ConversionLogHeader(u"/m/%2 global.wav"_s, u"/o/%1 Error.mp3"_s),
            u"\nConverting \"/m/%2 global.wav\" to \"/o/%1 Error.mp3\"\n"_s);
    }
};

QTEST_GUILESS_MAIN(TestTranscoderText)
#include "tst_transcodertext.moc"
