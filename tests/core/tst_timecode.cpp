#include "core/conversionfailure.h"
#include "core/timecode.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestTimeCode : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void toSeconds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("seconds");
        QTest::newRow("empty") << QString() << 0;
        QTest::newRow("zero") << u"00:00:00"_s << 0;
        QTest::newRow("h m s") << u"01:02:03"_s << 3723;
        QTest::newRow("transcoder hundredths dropped") << u"00:03:25.12"_s << 205;
        QTest::newRow("separators not examined") << u"00x03y25"_s << 205;
        QTest::newRow("last of the day") << u"23:59:59"_s << 86399;
        QTest::newRow("beyond a day") << u"25:00:00"_s << 90000;
    }
    void toSeconds()
    {
        QFETCH(QString, text);
        QFETCH(int, seconds);
        QCOMPARE(TimeCodeToSeconds(text), seconds);
    }

    void badFieldRaisesConversionFailure_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("placeholder names its first field") << u"--:--:--"_s << u"'--' is not a valid integer value"_s;
        QTest::newRow("letters in the minutes") << u"00:ab:00"_s << u"'ab' is not a valid integer value"_s;
        QTest::newRow("text ends inside the hours field") << u"5"_s << u"'' is not a valid integer value"_s;
        QTest::newRow("seconds cut short") << u"00:01:"_s << u"'' is not a valid integer value"_s;
    }
    void badFieldRaisesConversionFailure()
    {
        QFETCH(QString, text);
        QFETCH(QString, message);
        try {
            TimeCodeToSeconds(text);
            QFAIL("no conversion failure raised");
        } catch (const ConversionFailure &failure) {
            QCOMPARE(failure.message(), message);
        }
    }

    void toTimeCode_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << u"00:00:00"_s;
        QTest::newRow("59") << 59 << u"00:00:59"_s;
        QTest::newRow("60") << 60 << u"00:01:00"_s;
        QTest::newRow("3599") << 3599 << u"00:59:59"_s;
        QTest::newRow("3600") << 3600 << u"01:00:00"_s;
        QTest::newRow("3725") << 3725 << u"01:02:05"_s;
        QTest::newRow("86399") << 86399 << u"23:59:59"_s;
        QTest::newRow("24 hours go on counting") << 86400 << u"24:00:00"_s;
        QTest::newRow("largest") << 99 * 3600 + 59 * 60 + 59 << u"99:59:59"_s;
        QTest::newRow("100 hours stay at the largest") << 100 * 3600 << u"99:59:59"_s;
        QTest::newRow("negative") << -5 << u"00:00:00"_s;
    }
    void toTimeCode()
    {
        QFETCH(int, seconds);
        QFETCH(QString, text);
        QCOMPARE(SecondsToTimeCode(seconds), text);
    }

    void colonWhateverTheLocale()
    {
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::Finnish, QLocale::Finland)); // time separator "."
        const QString text = SecondsToTimeCode(3725);
        QLocale::setDefault(saved);
        QCOMPARE(text, u"01:02:05"_s);
    }

    void everyTimeCodeOfTheHundredHoursRoundTrips()
    {
        for (int seconds = 0; seconds < 100 * 3600; ++seconds) {
            const QString text = SecondsToTimeCode(seconds);
            if (text.size() != kTimeCodeLength || TimeCodeToSeconds(text) != seconds)
                QFAIL(qPrintable(u"%1 gave %2"_s.arg(seconds).arg(text)));
        }
    }
};

QTEST_GUILESS_MAIN(TestTimeCode)
#include "tst_timecode.moc"
