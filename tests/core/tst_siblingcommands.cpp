#include "core/siblingcommands.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestSiblingCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void probe()
    {
        const CommandLine cmd = ProbeCommand(u"/music/a \"b\".flac"_s, u"/home/u/.cache/tolm/inadd.wav"_s);
        QCOMPARE(cmd.text, uR"(sonmill qzv -y -i "/music/a "b".flac" -t 0.001  "/home/u/.cache/tolm/inadd.wav")"_s);
        QCOMPARE(cmd.program, u"sonmill"_s);
        QCOMPARE(cmd.arguments,
            QStringList({ u"qzv"_s, u"-y"_s, u"-i"_s, u"/music/a \"b\".flac"_s, u"-t"_s, u"0.001"_s,
                u"/home/u/.cache/tolm/inadd.wav"_s }));
    }

    // The check goes in before the output, whatever blanks and quotes the output's piece has;
    // everything else stays as it was composed.
    void outputCheck_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("checked");
        QTest::newRow("conversion")
            << uR"(sonmill qzv -y -i "/in/a.wav"  -ss  00:00:00  -t  00:03:25  -ac  2 -vn   "/out/a "1".mp3")"_s
            << uR"(sonmill qzv -y -i "/in/a.wav"  -ss  00:00:00  -t  00:03:25  -ac  2 -vn  -verify   "/out/a "1".mp3")"_s;
        QTest::newRow("loudness pieces before the output")
            << uR"(sonmill qzv -y -i "/in/a.wav" -acodec  flac  -ac  2  -replaygain  track   "/out/-a.flac")"_s
            << uR"(sonmill qzv -y -i "/in/a.wav" -acodec  flac  -ac  2  -replaygain  track  -verify   "/out/-a.flac")"_s;
    }
    void outputCheck()
    {
        QFETCH(QString, text);
        QFETCH(QString, checked);
        CommandLine cmd;
        cmd.program = u"sonmill"_s;
        cmd.text = text;
        const QString output = text.mid(text.lastIndexOf(u"   \""_s) + 4).chopped(1);
        cmd.arguments = QStringList { u"qzv"_s, u"-y"_s, u"-i"_s, u"/in/a.wav"_s, output };
        const CommandLine withCheck = WithOutputCheck(cmd);
        QCOMPARE(withCheck.text, checked);
        QCOMPARE(withCheck.program, cmd.program);
        QCOMPARE(
            withCheck.arguments, (QStringList { u"qzv"_s, u"-y"_s, u"-i"_s, u"/in/a.wav"_s, u"-verify"_s, output }));
    }

    void player()
    {
        const CommandLine cmd = PlayerCommand(42, u"/v/-clip.mkv"_s);
        QCOMPARE(cmd.text, uR"(mirplay qzv  -ss  42 -x 320 -y 240  "/v/-clip.mkv")"_s);
        QCOMPARE(cmd.program, u"mirplay"_s);
        QCOMPARE(cmd.arguments,
            QStringList({ u"qzv"_s, u"-ss"_s, u"42"_s, u"-x"_s, u"320"_s, u"-y"_s, u"240"_s, u"/v/-clip.mkv"_s }));

        const CommandLine trim = PlayerCommand(0, u"/v/a.mp3"_s, true);
        QCOMPARE(trim.text, uR"(mirplay qzv  -ss  0 -x 320 -y 240  "/v/a.mp3" )"_s);
        QCOMPARE(trim.arguments.last(), u"/v/a.mp3"_s);

        // A track of an album image plays from its own start in the image.
        const CommandLine track = PlayerCommand(3, u"/v/image.flac"_s, false, 4'226'666'667);
        QCOMPARE(track.text, uR"(mirplay qzv  -ss  7.227 -x 320 -y 240  "/v/image.flac")"_s);
        QCOMPARE(track.arguments.at(2), u"7.227"_s);
    }
};

QTEST_GUILESS_MAIN(TestSiblingCommands)
#include "tst_siblingcommands.moc"
