// The player's command line: every form the window program composes, the same typed in a
// shell, and the mistakes a hand-typed line can hold.

#include "playeroptions.h"

#include "core/siblingcommands.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestMirplayOptions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void composedByProgram_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("trimForm");
        // A name holding double quotes cannot be typed inside the command text's own quotes.
        QTest::addColumn<bool>("typable");

        QTest::newRow("main preview at 0") << 0 << u"/music/song.ogg"_s << false << true;
        QTest::newRow("main preview at 3725") << 3725 << u"/music/a long/name with blanks.flac"_s << false << true;
        QTest::newRow("trim preview") << 90 << u"/v/clip.mkv"_s << true << true;
        QTest::newRow("dashes in the name") << 7 << u"/v/-x live -ss.mp4"_s << true << true;
        QTest::newRow("quotes in the name") << 7 << u"/v/\"live\" -y 1.mp4"_s << false << false;
        QTest::newRow("non-ASCII name") << 12 << u"/m/Björk – Jóga.ogg"_s << false << true;
    }

    // Started from the argument list, as the window program does, and from the command text
    // split the way a shell splits what a user types.
    void composedByProgram()
    {
        QFETCH(int, seconds);
        QFETCH(QString, file);
        QFETCH(bool, trimForm);
        QFETCH(bool, typable);

        const CommandLine cmd = PlayerCommand(seconds, file, trimForm);
        QList<QStringList> forms { cmd.arguments };
        if (typable) {
            QStringList typed = QProcess::splitCommand(cmd.text);
            QCOMPARE(typed.takeFirst(), u"mirplay"_s);
            forms.append(typed);
        }
        for (const QStringList &arguments : forms) {
            const PlayerOptionsResult result = parsePlayerArguments(arguments);
            QVERIFY2(result.options, qPrintable(result.error));
            QCOMPARE(result.options->startSeconds, double(seconds));
            QCOMPARE(result.options->width, kPlayerWidth);
            QCOMPARE(result.options->height, kPlayerHeight);
            QCOMPARE(result.options->file, file);
        }
    }

    void accepted_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("file");

        QTest::newRow("only the file") << QStringList { u"qzv"_s, u"a.ogg"_s } << 0.0 << QSize(320, 240) << u"a.ogg"_s;
        QTest::newRow("options in another order")
            << QStringList { u"qzv"_s, u"-y"_s, u"100"_s, u"-ss"_s, u"4"_s, u"-x"_s, u"200"_s, u"/a.ogg"_s } << 4.0
            << QSize(200, 100) << u"/a.ogg"_s;
        QTest::newRow("fraction of a second")
            << QStringList { u"qzv"_s, u"-ss"_s, u"2.5"_s, u"/a.ogg"_s } << 2.5 << QSize(320, 240) << u"/a.ogg"_s;
        QTest::newRow("time code") << QStringList { u"qzv"_s, u"-ss"_s, u"01:02:05"_s, u"/a.ogg"_s } << 3725.0
                                   << QSize(320, 240) << u"/a.ogg"_s;
        QTest::newRow("time code with fraction") << QStringList { u"qzv"_s, u"-ss"_s, u"00:00:07.25"_s, u"/a.ogg"_s }
                                                 << 7.25 << QSize(320, 240) << u"/a.ogg"_s;
        QTest::newRow("file name starting with a dash")
            << QStringList { u"qzv"_s, u"-ss"_s, u"1"_s, u"-ss"_s } << 1.0 << QSize(320, 240) << u"-ss"_s;
        QTest::newRow("quotes and trailing blank left by a launcher") << QStringList { u"qzv"_s, u"-ss"_s, u"3"_s,
            u"\"/m/a b.ogg\" "_s } << 3.0 << QSize(320, 240) << u"/m/a b.ogg"_s;
        QTest::newRow("a later value wins")
            << QStringList { u"qzv"_s, u"-x"_s, u"100"_s, u"-x"_s, u"640"_s, u"/a.ogg"_s } << 0.0 << QSize(640, 240)
            << u"/a.ogg"_s;
    }

    void accepted()
    {
        QFETCH(QStringList, arguments);
        QFETCH(double, seconds);
        QFETCH(QSize, size);
        QFETCH(QString, file);

        const PlayerOptionsResult result = parsePlayerArguments(arguments);
        QVERIFY2(result.options, qPrintable(result.error));
        QCOMPARE(result.options->startSeconds, seconds);
        QCOMPARE(QSize(result.options->width, result.options->height), size);
        QCOMPARE(result.options->file, file);
    }

    // Names that really hold blanks or quotes at their ends are kept as they are.
    void existingNameKept_data()
    {
        QTest::addColumn<QString>("name");

        QTest::newRow("trailing blank") << u"song.ogg "_s;
        QTest::newRow("leading blank") << u" song.ogg"_s;
        QTest::newRow("quoted") << u"\"song.ogg\""_s;
    }

    void existingNameKept()
    {
        QFETCH(QString, name);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QFile file(folder.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();

        // Typed by hand in that folder, so the quotes can stand at the ends of the argument.
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(folder.path()));
        const PlayerOptionsResult result = parsePlayerArguments({ u"qzv"_s, u"-ss"_s, u"0"_s, name });
        QVERIFY(QDir::setCurrent(before));
        QVERIFY2(result.options, qPrintable(result.error));
        QCOMPARE(result.options->file, name);
    }

    void refused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("word");

        QTest::newRow("nothing") << QStringList {} << u"qzv"_s;
        QTest::newRow("key missing") << QStringList { u"-ss"_s, u"0"_s, u"/a.ogg"_s } << u"qzv"_s;
        QTest::newRow("key only") << QStringList { u"qzv"_s } << u"no file"_s;
        QTest::newRow("blank file") << QStringList { u"qzv"_s, u" "_s } << u"no file"_s;
        QTest::newRow("unknown option") << QStringList { u"qzv"_s, u"-t"_s, u"5"_s, u"/a.ogg"_s } << u"-t"_s;
        QTest::newRow("value missing") << QStringList { u"qzv"_s, u"-x"_s, u"/a.ogg"_s } << u"-x needs a value"_s;
        QTest::newRow("negative start") << QStringList { u"qzv"_s, u"-ss"_s, u"-5"_s, u"/a.ogg"_s } << u"-5"_s;
        QTest::newRow("start not a number") << QStringList { u"qzv"_s, u"-ss"_s, u"abc"_s, u"/a.ogg"_s } << u"abc"_s;
        QTest::newRow("minutes past 59") << QStringList { u"qzv"_s, u"-ss"_s, u"00:60:00"_s, u"/a.ogg"_s }
                                         << u"00:60:00"_s;
        QTest::newRow("zero width") << QStringList { u"qzv"_s, u"-x"_s, u"0"_s, u"/a.ogg"_s } << u"-x"_s;
        QTest::newRow("huge height") << QStringList { u"qzv"_s, u"-y"_s, u"100000"_s, u"/a.ogg"_s } << u"-y"_s;
        QTest::newRow("size with unit") << QStringList { u"qzv"_s, u"-x"_s, u"320px"_s, u"/a.ogg"_s } << u"320px"_s;
    }

    void refused()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, word);

        const PlayerOptionsResult result = parsePlayerArguments(arguments);
        QVERIFY(!result.options);
        QVERIFY2(result.error.contains(word), qPrintable(result.error));
    }
};

QTEST_GUILESS_MAIN(TestMirplayOptions)
#include "tst_mirplayoptions.moc"
