#include "core/filenamefit.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestFileNameFit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Names that fit stay as they are; longer ones lose the end of their base, in whole
    // characters, until the UTF-8 name holds 255 bytes or fewer.
    void fitsIn255Bytes_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("tail");
        QTest::addColumn<QString>("expected");
        const QString x250 = QString(250, u'x');
        QTest::newRow("short") << u"song"_s << u".mp3"_s << u"song.mp3"_s;
        QTest::newRow("exactly 255 bytes") << QString(251, u'x') << u".mp3"_s << QString(251, u'x') + u".mp3"_s;
        QTest::newRow("ascii, one byte over") << QString(252, u'x') << u".mp3"_s << QString(251, u'x') + u".mp3"_s;
        QTest::newRow("marks and extension kept") << x250 << u"-1-1.flac"_s << QString(246, u'x') + u"-1-1.flac"_s;
        QTest::newRow("(new) marks kept") << x250 << u"(new)(new).mp3"_s << QString(241, u'x') + u"(new)(new).mp3"_s;
        // Two bytes a letter: an odd room leaves a byte unused rather than half a letter.
        QTest::newRow("two-byte letters") << QString(130, u'é') << u".mp3"_s << QString(125, u'é') + u".mp3"_s;
        // A letter and its combining accent (1 + 2 bytes) stay together.
        QTest::newRow("combining accents")
            << u"e\u0301"_s.repeated(90) << u".ogg"_s << u"e\u0301"_s.repeated(83) + u".ogg"_s;
        // Four bytes a character, two UTF-16 units: never split.
        QTest::newRow("emoji") << u"😀"_s.repeated(70) << u".wav"_s << u"😀"_s.repeated(62) + u".wav"_s;
        QTest::newRow("empty base") << u""_s << u".mp3"_s << u".mp3"_s;
    }
    void fitsIn255Bytes()
    {
        QFETCH(QString, base);
        QFETCH(QString, tail);
        QFETCH(QString, expected);
        const QString fitted = FitFileName(base, tail);
        QCOMPARE(fitted, expected);
        QVERIFY(FileSystemBytes(fitted) <= kMaxFileNameBytes);
        QVERIFY(fitted.endsWith(tail) && base.startsWith(fitted.chopped(tail.size())));
    }

    void tailAloneTooLongGivesNothing()
    {
        QVERIFY(FitFileName(u"song"_s, u"(new)"_s.repeated(51) + u".mp3"_s).isEmpty());
        // 254 bytes of marks and extension leave one for the base.
        QCOMPARE(
            FitFileName(u"song"_s, u"(new)"_s.repeated(50) + u".mp3"_s), u"s"_s + u"(new)"_s.repeated(50) + u".mp3"_s);
    }

    // One rule for every free name: the marks pile up before the extension, only names the
    // rule is told are taken count, and a name that can hold no further mark is no answer.
    void freeFileName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("mark");
        QTest::addColumn<QStringList>("taken");
        QTest::addColumn<QString>("free"); // empty: none
        QTest::newRow("free at once") << u"song.mp3"_s << u"(new)"_s << QStringList() << u"song.mp3"_s;
        QTest::newRow("two taken") << u"song.mp3"_s << u"(new)"_s << QStringList { u"song.mp3"_s, u"song(new).mp3"_s }
                                   << u"song(new)(new).mp3"_s;
        QTest::newRow("minus one") << u"song.mp3"_s << u"-1"_s << QStringList { u"song.mp3"_s, u"song-1.mp3"_s }
                                   << u"song-1-1.mp3"_s;
        QTest::newRow("no extension on the name")
            << u"song"_s << u"-1"_s << QStringList { u"song"_s } << u"song-1.mp3"_s;
        QStringList all { u"s.mp3"_s };
        for (int marks = 1; marks <= 50; ++marks)
            all << FitFileName(u"s"_s, u"(new)"_s.repeated(marks) + u".mp3"_s);
        QTest::newRow("no room for another mark") << u"s.mp3"_s << u"(new)"_s << all << QString();
    }
    void freeFileName()
    {
        QFETCH(QString, name);
        QFETCH(QString, mark);
        QFETCH(QStringList, taken);
        QFETCH(QString, free);
        int asked = 0;
        const std::optional<QString> found = FreeFileName(name, u".mp3"_s, mark, [&](const QString &candidate) {
            ++asked;
            return taken.contains(candidate);
        });
        QCOMPARE(found.value_or(QString()), free);
        QVERIFY(asked <= taken.size() + 1); // each name is asked about once
    }

    void bytesAreCountedAsUtf8()
    {
        QCOMPARE(FileSystemBytes(u"abc"_s), 3);
        QCOMPARE(FileSystemBytes(u"ü/é"_s), 5);
        QCOMPARE(FileSystemBytes(u"😀"_s), 4);
    }
};

QTEST_GUILESS_MAIN(TestFileNameFit)
#include "tst_filenamefit.moc"
