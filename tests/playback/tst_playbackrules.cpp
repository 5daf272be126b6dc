// The preview's, the trim dialog's and the effect dialog's rules, without widgets.

#include "core/startrecord.h"
#include "playback/jobedits.h"
#include "playback/previewtexts.h"
#include "playback/timecodeentry.h"
#include "playback/trimtimes.h"
#include "testjobs.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestPlaybackRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void shortName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        QTest::newRow("27 characters") << u"holiday_recording_2008.flac"_s << u"holi...008.flac"_s;
        QTest::newRow("22 characters, whole") << u"abcdefghijklmnop.flac1"_s << u"abcdefghijklmnop.flac1"_s;
        QTest::newRow("23 characters") << u"abcdefghijklmnopq.flac1"_s << u"abcd...pq.flac1"_s;
        QTest::newRow("short") << u"a.wav"_s << u"a.wav"_s;
        QTest::newRow("empty") << QString() << QString();
    }
    void shortName()
    {
        QFETCH(QString, name);
        QFETCH(QString, shown);
        QCOMPARE(ShortPreviewName(name), shown);
        QVERIFY(ShortPreviewName(name).size() <= 22);
    }

    void positionText()
    {
        QCOMPARE(PreviewPositionText(0, u"00:03:25"_s), u"00:00:00 / 00:03:25"_s);
        QCOMPARE(PreviewPositionText(3725, u"01:10:00"_s), u"01:02:05 / 01:10:00"_s);
    }

    void timeOfDay_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("seconds"); // -1: not a time of day
        QTest::newRow("zero") << u"00:00:00"_s << 0;
        QTest::newRow("last second") << u"23:59:59"_s << 86399;
        QTest::newRow("24 hours") << u"24:00:00"_s << -1;
        QTest::newRow("60 minutes") << u"00:60:00"_s << -1;
        QTest::newRow("short") << u"00:00:0"_s << -1;
        QTest::newRow("no colons") << u"00-00-00"_s << -1;
        QTest::newRow("placeholder") << u"--:--:--"_s << -1;
        QTest::newRow("never computed") << u"========"_s << -1;
        QTest::newRow("other digits") << u"0\u0663:00:00"_s << -1;
    }
    void timeOfDay()
    {
        QFETCH(QString, text);
        QFETCH(int, seconds);
        const auto parsed = TimeOfDaySeconds(text);
        QCOMPARE(parsed.value_or(-1), seconds);
    }

    void tensDigits_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("fixed");
        QTest::newRow("7 over tens of minutes") << u"00:70:00"_s << u"00:00:00"_s;
        QTest::newRow("6 over tens of seconds") << u"00:00:65"_s << u"00:00:05"_s;
        QTest::newRow("5 stays") << u"00:59:59"_s << u"00:59:59"_s;
        QTest::newRow("hours untouched") << u"99:00:00"_s << u"99:00:00"_s;
        QTest::newRow("both") << u"00:90:90"_s << u"00:00:00"_s;
    }
    void tensDigits()
    {
        QFETCH(QString, typed);
        QFETCH(QString, fixed);
        QCOMPARE(WithTensDigitsFixed(typed), fixed);
    }

    // A three-minute file.
    void check_data()
    {
        QTest::addColumn<bool>("endField");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("length");
        QTest::addColumn<int>("selection");
        QTest::addColumn<QString>("message");
        const auto row = [](const char *name, bool endField, const QString &start, const QString &end, int outcome,
                             const QString &length = {}, int selection = 0, const QString &message = {}) {
            QTest::newRow(name) << endField << start << end << outcome << length << selection << message;
        };
        row("whole file", true, u"00:00:00"_s, u"00:03:00"_s, TrimCheck::Accepted, u"00:03:00"_s, 180);
        row("end past the file", true, u"00:00:00"_s, u"00:04:00"_s, TrimCheck::Undo);
        row("end before start", true, u"00:01:00"_s, u"00:00:30"_s, TrimCheck::Undo);
        row("start after end", false, u"00:02:00"_s, u"00:01:00"_s, TrimCheck::Undo);
        row("start past the file", false, u"00:03:01"_s, u"00:03:01"_s, TrimCheck::Undo);
        row("zero length", false, u"00:01:10"_s, u"00:01:10"_s, TrimCheck::Accepted, u"00:00:00"_s, 70);
        row("start at the very end", false, u"00:03:00"_s, u"00:03:00"_s, TrimCheck::Accepted, u"00:00:00"_s, 180);
        row("5 to 12 s", true, u"00:00:05"_s, u"00:00:12"_s, TrimCheck::Accepted, u"00:00:07"_s, 12);
        row("hours 24", false, u"24:00:00"_s, u"00:03:00"_s, TrimCheck::NotATime, {}, 0,
            u"'24:00:00' is not a valid time."_s);
        row("hours 25 in end", true, u"00:00:00"_s, u"25:00:00"_s, TrimCheck::NotATime, {}, 0,
            u"'25:00:00' is not a valid time."_s);
    }
    void check()
    {
        QFETCH(bool, endField);
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(int, outcome);
        QFETCH(QString, length);
        QFETCH(int, selection);
        QFETCH(QString, message);
        const TrimCheck result = CheckTrimField(endField ? TrimField::End : TrimField::Start, start, end, 180);
        QCOMPARE(int(result.outcome), outcome);
        if (outcome == TrimCheck::Accepted) {
            QCOMPARE(result.length, length);
            QCOMPARE(result.selectionSeconds, selection);
        }
        QCOMPARE(result.message, message);
    }

    // A whole time typed over a selected field: keys fill it from the left, colons step over
    // their places; what cannot be applied changes nothing.
    void wholeEntry_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("keys"); // "<" is Backspace
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("refused"); // the keys that could not be applied, in order
        QTest::newRow("a whole time") << u"00:00:52"_s << u"00:00:35"_s << u"00:00:35"_s << 8 << QString();
        QTest::newRow("digits step over the colons") << u"00:00:52"_s << u"000035"_s << u"00:00:35"_s << 8 << QString();
        QTest::newRow("begun only") << u"00:00:52"_s << u"01"_s << u"01:00:52"_s << 2 << QString();
        QTest::newRow("colon where a digit belongs") << u"00:00:52"_s << u"0:1"_s << u"01:00:52"_s << 2 << u":"_s;
        QTest::newRow("letters and signs") << u"00:03:00"_s << u"a1-"_s << u"10:03:00"_s << 1 << u"a-"_s;
        QTest::newRow("nothing past the end") << u"00:00:52"_s << u"000000000"_s << u"00:00:00"_s << 8 << u"000"_s;
        QTest::newRow("backspace gives the old place back")
            << u"00:00:52"_s << u"001<<"_s << u"00:00:52"_s << 1 << QString();
        QTest::newRow("backspace at the start") << u"00:00:52"_s << u"<5"_s << u"50:00:52"_s << 1 << QString();
    }
    void wholeEntry()
    {
        QFETCH(QString, before);
        QFETCH(QString, keys);
        QFETCH(QString, text);
        QFETCH(int, position);
        QFETCH(QString, refused);
        TimeCodeEntry entry(before);
        QString notApplied;
        for (const QChar key : keys) {
            if (key == u'<') {
                entry.back();
            } else if (!entry.type(key)) {
                notApplied += key;
            }
        }
        QCOMPARE(entry.text(), text);
        QCOMPARE(entry.position(), position);
        QCOMPARE(notApplied, refused);
        QCOMPARE(entry.before(), before);
        QCOMPARE(entry.isComplete(), position == 8);
    }

    void applyTrim_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("length");
        QTest::addColumn<bool>("applied");
        QTest::newRow("5 s for 7 s") << u"00:00:05"_s << u"00:00:07"_s << true;
        QTest::newRow("zero length") << u"00:00:05"_s << u"00:00:00"_s << true;
        QTest::newRow("length never computed") << u"00:00:00"_s << u"========"_s << false;
        QTest::newRow("start not a time") << u"24:00:00"_s << u"00:00:07"_s << false;
    }
    void applyTrim()
    {
        QFETCH(QString, start);
        QFETCH(QString, length);
        QFETCH(bool, applied);
        TStartRecord job = TestJobs::source(u"/media/a.wav"_s, u"00:03:00"_s);
        const TStartRecord before = job;
        QCOMPARE(ApplyTrim(job, start, length), applied);
        QCOMPARE(job.StartTime, applied ? start : before.StartTime);
        QCOMPARE(job.Length, applied ? length : before.Length);
        // Nothing else moves.
        QCOMPARE(job.Duration, before.Duration);
        QCOMPARE(job.SourcePath, before.SourcePath);
        QCOMPARE(job.Volume, before.Volume);
    }

    void volumeLabel_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("left");
        QTest::newRow("0") << 0 << 12;
        QTest::newRow("100") << 100 << 112;
        QTest::newRow("207") << 207 << 219;
        QTest::newRow("208") << 208 << 203;
        QTest::newRow("347") << 347 << 342;
        QTest::newRow("348") << 348 << 337;
        QTest::newRow("400") << 400 << 389;
    }
    void volumeLabel()
    {
        QFETCH(int, position);
        QFETCH(int, left);
        QCOMPARE(VolumeLabelLeft(position), left);
    }

    void applyVolume()
    {
        TStartRecord job;
        job.Volume = 100;
        for (const int volume : { 0, 50, 400 }) {
            ApplyVolume(job, volume);
            QCOMPARE(job.Volume, volume);
        }
    }
};

QTEST_GUILESS_MAIN(TestPlaybackRules)
#include "tst_playbackrules.moc"
