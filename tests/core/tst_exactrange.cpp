// The range a row converts: whole-second time codes while they lose nothing, exact times
// where they would (a range reaching the end of a file with a fraction, a track of an image).

#include "core/exactrange.h"
#include "core/startrecord.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kSecond = 1'000'000'000;

TStartRecord row(const QString &duration, const QString &start, const QString &length, qint64 spanStart, qint64 spanEnd)
{
    TStartRecord job;
    job.Duration = duration;
    job.StartTime = start;
    job.Length = length;
    job.SpanStartNs = spanStart;
    job.SpanEndNs = spanEnd;
    return job;
}

} // namespace

Q_DECLARE_METATYPE(TStartRecord)

class TestExactRange : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void range_data()
    {
        QTest::addColumn<TStartRecord>("job");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("length");

        const qint64 file = 7 * kSecond + 430'000'000; // 7.43 s
        QTest::newRow("whole file, fraction kept")
            << row(u"00:00:07"_s, u"00:00:00"_s, u"00:00:07"_s, 0, file) << u"00:00:00"_s << u"00:00:07.43"_s;
        QTest::newRow("trim that reaches the end")
            << row(u"00:00:07"_s, u"00:00:02"_s, u"00:00:05"_s, 0, file) << u"00:00:02"_s << u"00:00:05.43"_s;
        QTest::newRow("trim inside the file keeps its shape")
            << row(u"00:00:07"_s, u"00:00:02"_s, u"00:00:03"_s, 0, file) << u"00:00:02"_s << u"00:00:03"_s;
        QTest::newRow("whole seconds lose nothing")
            << row(u"00:03:25"_s, u"00:00:00"_s, u"00:03:25"_s, 0, 205 * kSecond) << u"00:00:00"_s << u"00:03:25"_s;
        QTest::newRow("unknown end: as the record says")
            << row(u"00:00:07"_s, u"00:00:00"_s, u"00:00:07"_s, 0, -1) << u"00:00:00"_s << u"00:00:07"_s;
        QTest::newRow("unknown duration: as the record says")
            << row(u"--:--:--"_s, u"00:00:00"_s, u"--:--:--"_s, 0, file) << u"00:00:00"_s << u"--:--:--"_s;
        QTest::newRow("length past the end is held to it")
            << row(u"00:00:07"_s, u"00:00:05"_s, u"00:00:09"_s, 0, file) << u"00:00:05"_s << u"00:00:02.43"_s;

        // A track from 12.013333333 s (901 CD frames) to 20.5 s of its image.
        const qint64 trackStart = 12'013'333'333;
        const qint64 trackEnd = 20'500'000'000;
        QTest::newRow("whole track") << row(u"00:00:08"_s, u"00:00:00"_s, u"00:00:08"_s, trackStart, trackEnd)
                                     << u"00:00:12.013333333"_s << u"00:00:08.486666667"_s;
        QTest::newRow("trim inside a track") << row(u"00:00:08"_s, u"00:00:01"_s, u"00:00:02"_s, trackStart, trackEnd)
                                             << u"00:00:13.013333333"_s << u"00:00:02"_s;
        QTest::newRow("trim to a track's end") << row(u"00:00:08"_s, u"00:00:03"_s, u"00:00:05"_s, trackStart, trackEnd)
                                               << u"00:00:15.013333333"_s << u"00:00:05.486666667"_s;
    }
    void range()
    {
        QFETCH(TStartRecord, job);
        QFETCH(QString, start);
        QFETCH(QString, length);
        const ConversionRange range = ExactConversionRange(job);
        QCOMPARE(range.start, start);
        QCOMPARE(range.length, length);
    }

    void timeCodes_data()
    {
        QTest::addColumn<qint64>("ns");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << qint64(0) << u"00:00:00"_s;
        QTest::newRow("hundredths") << qint64(7'430'000'000) << u"00:00:07.43"_s;
        QTest::newRow("nanoseconds") << qint64(3723 * kSecond + 1) << u"01:02:03.000000001"_s;
        QTest::newRow("past a hundred hours") << qint64(360'000 * kSecond) << u"100:00:00"_s;
    }
    void timeCodes()
    {
        QFETCH(qint64, ns);
        QFETCH(QString, text);
        QCOMPARE(ExactTimeCode(ns), text);
        QCOMPARE(TimeCodeToNs(text), ns);
    }

    void transcoderDurationsRead()
    {
        QCOMPARE(TimeCodeToNs(u"00:03:25.40"_s), 205 * kSecond + 400'000'000);
        QCOMPARE(TimeCodeToNs(u"00:03:25"_s), 205 * kSecond);
        QCOMPARE(TimeCodeToNs(u"--:--:--"_s), -1);
        QCOMPARE(TimeCodeToNs(u"00:03:25.4x"_s), -1);
        QCOMPARE(TimeCodeToNs(u"00:03:25."_s), -1);
        QCOMPARE(ExactTimeCode(-5), u"00:00:00"_s);
    }
};

QTEST_GUILESS_MAIN(TestExactRange)
#include "tst_exactrange.moc"
