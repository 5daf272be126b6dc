#include "core/filenamefit.h"
#include "engine/conversioncommand.h"
#include "testjobs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(LoudnessRequest)

using namespace Qt::StringLiterals;

namespace {

// The job of the worked example: an MP3 at 128 kbps from a WAV, video dropped.
TStartRecord exampleJob()
{
    return TestJobs::mp3(u"C:\\in\\song.wav"_s, u"D:\\out\\song.mp3"_s, u"00:03:25"_s);
}

void touch(const QString &path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

} // namespace

class TestConversionCommand : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void workedExample()
    {
        TStartRecord job = exampleJob();
        const CommandLine cmd = BuildConversionCommand(job);
        QCOMPARE(cmd.text,
            uR"(sonmill qzv -y -i "C:\in\song.wav"  -ss  00:00:00  -t  00:03:25   -vol  100  -ar  44100 -acodec  libmp3lame -ab 128k  -qscale 6  -ac  2 -vn   "D:\out\song.mp3")"_s);
        QCOMPARE(cmd.program, u"sonmill"_s);
        QCOMPARE(cmd.arguments,
            QStringList({ u"qzv"_s, u"-y"_s, u"-i"_s, u"C:\\in\\song.wav"_s, u"-ss"_s, u"00:00:00"_s, u"-t"_s,
                u"00:03:25"_s, u"-vol"_s, u"100"_s, u"-ar"_s, u"44100"_s, u"-acodec"_s, u"libmp3lame"_s, u"-ab"_s,
                u"128k"_s, u"-qscale"_s, u"6"_s, u"-ac"_s, u"2"_s, u"-vn"_s, u"D:\\out\\song.mp3"_s }));
    }

    // Each row changes the worked example's job and names the text it must then give.
    void pieces_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("arguments"); // from -ss on, output path left out

        const QString head = uR"(sonmill qzv -y -i "C:\in\song.wav"  -ss  00:00:00  -t  00:03:25)"_s;
        const QString tail = uR"(   "D:\out\song.mp3")"_s;
        const QStringList times = { u"-ss"_s, u"00:00:00"_s, u"-t"_s, u"00:03:25"_s };

        QTest::newRow("lossless copies, then names its encoder")
            << u"Lossless"_s << u"True"_s
            << head + u" -acodec  copy -acodec  libmp3lame -ab 128k  -qscale 6  -ac  2 -vn"_s + tail
            << times
                + QStringList { u"-acodec"_s, u"copy"_s, u"-acodec"_s, u"libmp3lame"_s, u"-ab"_s, u"128k"_s,
                      u"-qscale"_s, u"6"_s, u"-ac"_s, u"2"_s, u"-vn"_s };
        QTest::newRow("lossless written in lower case counts as False")
            << u"Lossless"_s << u"true"_s
            << head + u"   -vol  100  -ar  44100 -acodec  libmp3lame -ab 128k  -qscale 6  -ac  2 -vn"_s + tail
            << times
                + QStringList { u"-vol"_s, u"100"_s, u"-ar"_s, u"44100"_s, u"-acodec"_s, u"libmp3lame"_s, u"-ab"_s,
                      u"128k"_s, u"-qscale"_s, u"6"_s, u"-ac"_s, u"2"_s, u"-vn"_s };
        QTest::newRow("sample rate without Hz gives no rate")
            << u"SampleRate"_s << u"Auto"_s
            << head + u"   -vol  100 -acodec  libmp3lame -ab 128k  -qscale 6  -ac  2 -vn"_s + tail
            << times
                + QStringList { u"-vol"_s, u"100"_s, u"-acodec"_s, u"libmp3lame"_s, u"-ab"_s, u"128k"_s, u"-qscale"_s,
                      u"6"_s, u"-ac"_s, u"2"_s, u"-vn"_s };
        QTest::newRow("bit rate without kbps gives no bit rate")
            << u"Bitrate"_s << u"128"_s << head + u"   -vol  100  -ar  44100 -acodec  libmp3lame  -ac  2 -vn"_s + tail
            << times
                + QStringList { u"-vol"_s, u"100"_s, u"-ar"_s, u"44100"_s, u"-acodec"_s, u"libmp3lame"_s, u"-ac"_s,
                      u"2"_s, u"-vn"_s };
        QTest::newRow("no bit-rate choice gives no bit rate")
            << u"BitrateNot"_s << u"True"_s
            << head + u"   -vol  100  -ar  44100 -acodec  libmp3lame  -ac  2 -vn"_s + tail
            << times
                + QStringList { u"-vol"_s, u"100"_s, u"-ar"_s, u"44100"_s, u"-acodec"_s, u"libmp3lame"_s, u"-ac"_s,
                      u"2"_s, u"-vn"_s };
        QTest::newRow("no bit-rate switch in lower case also gives none")
            << u"BitrateNot"_s << u"false"_s
            << head + u"   -vol  100  -ar  44100 -acodec  libmp3lame  -ac  2 -vn"_s + tail
            << times
                + QStringList { u"-vol"_s, u"100"_s, u"-ar"_s, u"44100"_s, u"-acodec"_s, u"libmp3lame"_s, u"-ac"_s,
                      u"2"_s, u"-vn"_s };
        QTest::newRow("5.1 passes six channels")
            << u"Channels"_s << u"5.1 Channels"_s
            << head + u"   -vol  100  -ar  44100 -acodec  libmp3lame -ab 128k  -qscale 6  -ac  6 -vn"_s + tail
            << times
                + QStringList { u"-vol"_s, u"100"_s, u"-ar"_s, u"44100"_s, u"-acodec"_s, u"libmp3lame"_s, u"-ab"_s,
                      u"128k"_s, u"-qscale"_s, u"6"_s, u"-ac"_s, u"6"_s, u"-vn"_s };
        QTest::newRow("empty channels leave the value empty")
            << u"Channels"_s << QString()
            << head + u"   -vol  100  -ar  44100 -acodec  libmp3lame -ab 128k  -qscale 6  -ac   -vn"_s + tail
            << times
                + QStringList { u"-vol"_s, u"100"_s, u"-ar"_s, u"44100"_s, u"-acodec"_s, u"libmp3lame"_s, u"-ab"_s,
                      u"128k"_s, u"-qscale"_s, u"6"_s, u"-ac"_s, QString(), u"-vn"_s };
        QTest::newRow("other encoders keep their name and two blanks")
            << u"AudioCodec"_s << u"vorbis"_s
            << head + u"   -vol  100  -ar  44100  -acodec  vorbis -ab 128k  -qscale 6  -ac  2 -vn"_s + tail
            << times
                + QStringList { u"-vol"_s, u"100"_s, u"-ar"_s, u"44100"_s, u"-acodec"_s, u"vorbis"_s, u"-ab"_s,
                      u"128k"_s, u"-qscale"_s, u"6"_s, u"-ac"_s, u"2"_s, u"-vn"_s };
        QTest::newRow("empty encoder leaves the value empty")
            << u"AudioCodec"_s << QString()
            << head + u"   -vol  100  -ar  44100  -acodec   -ab 128k  -qscale 6  -ac  2 -vn"_s + tail
            << times
                + QStringList { u"-vol"_s, u"100"_s, u"-ar"_s, u"44100"_s, u"-acodec"_s, QString(), u"-ab"_s, u"128k"_s,
                      u"-qscale"_s, u"6"_s, u"-ac"_s, u"2"_s, u"-vn"_s };
        QTest::newRow("length with hundredths passes eight characters")
            << u"Length"_s << u"00:03:25.40"_s
            << head + u"   -vol  100  -ar  44100 -acodec  libmp3lame -ab 128k  -qscale 6  -ac  2 -vn"_s + tail
            << times
                + QStringList { u"-vol"_s, u"100"_s, u"-ar"_s, u"44100"_s, u"-acodec"_s, u"libmp3lame"_s, u"-ab"_s,
                      u"128k"_s, u"-qscale"_s, u"6"_s, u"-ac"_s, u"2"_s, u"-vn"_s };
        QTest::newRow("volume 0 is still passed")
            << u"Volume"_s << u"0"_s
            << head + u"   -vol  0  -ar  44100 -acodec  libmp3lame -ab 128k  -qscale 6  -ac  2 -vn"_s + tail
            << times
                + QStringList { u"-vol"_s, u"0"_s, u"-ar"_s, u"44100"_s, u"-acodec"_s, u"libmp3lame"_s, u"-ab"_s,
                      u"128k"_s, u"-qscale"_s, u"6"_s, u"-ac"_s, u"2"_s, u"-vn"_s };
        QTest::newRow("video kept without the True switch")
            << u"VideoNot"_s << u"False"_s
            << head + u"   -vol  100  -ar  44100 -acodec  libmp3lame -ab 128k  -qscale 6  -ac  2"_s + tail
            << times
                + QStringList { u"-vol"_s, u"100"_s, u"-ar"_s, u"44100"_s, u"-acodec"_s, u"libmp3lame"_s, u"-ab"_s,
                      u"128k"_s, u"-qscale"_s, u"6"_s, u"-ac"_s, u"2"_s };
    }
    void pieces()
    {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, text);
        QFETCH(QStringList, arguments);

        TStartRecord job = exampleJob();
        if (field == u"Lossless")
            job.Lossless = value;
        else if (field == u"SampleRate")
            job.SampleRate = value;
        else if (field == u"Bitrate")
            job.Bitrate = value;
        else if (field == u"BitrateNot")
            job.BitrateNot = value;
        else if (field == u"Channels")
            job.Channels = value;
        else if (field == u"AudioCodec")
            job.AudioCodec = value;
        else if (field == u"Length")
            job.Length = value;
        else if (field == u"Volume")
            job.Volume = value.toInt();
        else if (field == u"VideoNot")
            job.VideoNot = value;
        else
            QFAIL("unknown field");

        const CommandLine cmd = BuildConversionCommand(job);
        QCOMPARE(cmd.text, text);
        QCOMPARE(cmd.arguments.mid(4), arguments + QStringList { u"D:\\out\\song.mp3"_s });
    }

    // Loudness choices add the transcoder's own options before the output, each only when
    // made; a request left empty gives the worked example's text exactly.
    void loudnessPieces_data()
    {
        QTest::addColumn<LoudnessRequest>("request");
        QTest::addColumn<QString>("pieces");
        QTest::addColumn<QStringList>("arguments");
        LoudnessRequest normalize;
        normalize.normalizeLufs = -16;
        LoudnessRequest track;
        track.replayGain = true;
        LoudnessRequest album = track;
        album.albumGainDb = -3.214;
        album.albumPeak = 0.9123456;
        LoudnessRequest both = normalize;
        both.replayGain = true;
        QTest::newRow("none") << LoudnessRequest {} << QString() << QStringList();
        QTest::newRow("normalize") << normalize << u"  -normalize  -16"_s << QStringList { u"-normalize"_s, u"-16"_s };
        QTest::newRow("track values") << track << u"  -replaygain  track"_s
                                      << QStringList { u"-replaygain"_s, u"track"_s };
        QTest::newRow("album values") << album << u"  -replaygain  track  -albumgain  -3.21  -albumpeak  0.912346"_s
                                      << QStringList { u"-replaygain"_s, u"track"_s, u"-albumgain"_s, u"-3.21"_s,
                                             u"-albumpeak"_s, u"0.912346"_s };
        QTest::newRow("normalize and track values")
            << both << u"  -normalize  -16  -replaygain  track"_s
            << QStringList { u"-normalize"_s, u"-16"_s, u"-replaygain"_s, u"track"_s };
    }
    void loudnessPieces()
    {
        QFETCH(LoudnessRequest, request);
        QFETCH(QString, pieces);
        QFETCH(QStringList, arguments);
        TStartRecord job = exampleJob();
        job.Loudness = request;
        const CommandLine cmd = BuildConversionCommand(job);
        QCOMPARE(cmd.text,
            uR"(sonmill qzv -y -i "C:\in\song.wav"  -ss  00:00:00  -t  00:03:25   -vol  100  -ar  44100 -acodec  libmp3lame -ab 128k  -qscale 6  -ac  2 -vn)"_s
                + pieces + uR"(   "D:\out\song.mp3")"_s);
        QCOMPARE(cmd.arguments.mid(21, arguments.size()), arguments);
        QCOMPARE(cmd.arguments.last(), u"D:\\out\\song.mp3"_s);
    }

    void takenNameGetsMinusOneAgainOnEachPass()
    {
        QTemporaryDir dir;
        touch(dir.filePath(u"song.mp3"_s));
        touch(dir.filePath(u"song-1.mp3"_s));

        TStartRecord job = exampleJob();
        job.OutputPath = dir.filePath(u"song.mp3"_s);
        const QStringList running { dir.filePath(u"song-1-1.mp3"_s) }; // written by a row, not there yet
        job.OutputPath = FreeOutputPath(job, [&](const QString &path) { return running.contains(path); });
        const CommandLine cmd = BuildConversionCommand(job);

        QCOMPARE(QString(job.OutputPath), dir.filePath(u"song-1-1-1.mp3"_s));
        QVERIFY(cmd.text.endsWith(u"   \""_s + dir.filePath(u"song-1-1-1.mp3"_s) + u'"'));
        QCOMPARE(cmd.arguments.last(), dir.filePath(u"song-1-1-1.mp3"_s));
    }

    // A file the user agreed to replace keeps its name (the transcoder's -y renames the
    // finished output over it), unless it changed since or is the job's own source.
    void markedFileIsReplacedOnlyWhileUnchanged_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("expected");
        QTest::newRow("unchanged: kept") << u"none"_s << u"song.mp3"_s;
        QTest::newRow("written since: -1") << u"rewrite"_s << u"song-1.mp3"_s;
        QTest::newRow("the job's source: -1") << u"source"_s << u"song-1.mp3"_s;
        QTest::newRow("another path marked: -1") << u"other"_s << u"song-1.mp3"_s;
    }

    void markedFileIsReplacedOnlyWhileUnchanged()
    {
        QFETCH(QString, change);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString taken = dir.filePath(u"song.mp3"_s);
        touch(taken);
        touch(dir.filePath(u"other.mp3"_s));
        TStartRecord job = exampleJob();
        job.OutputPath = taken;
        job.Replace = ReplaceMark::of(change == u"other" ? dir.filePath(u"other.mp3"_s) : taken);
        if (change == u"source")
            job.SourcePath = taken;
        if (change == u"rewrite") {
            QFile file(taken);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("new content");
        }
        QCOMPARE(FreeOutputPath(job), dir.filePath(expected));
    }

    void freeNameIsLeftAlone()
    {
        QTemporaryDir dir;
        TStartRecord job = exampleJob();
        job.OutputPath = dir.filePath(u"song.mp3"_s);
        QCOMPARE(FreeOutputPath(job), dir.filePath(u"song.mp3"_s));
        QVERIFY(BuildConversionCommand(job).text.endsWith(u"   \""_s + dir.filePath(u"song.mp3"_s) + u'"'));
    }

    void onlyTheTrailingExtensionIsReplaced()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(u"x.mp3s"_s));
        const QString taken = dir.filePath(u"x.mp3s/song.mp3"_s);
        touch(taken);

        TStartRecord job = exampleJob();
        job.OutputPath = taken;
        QCOMPARE(FreeOutputPath(job), dir.filePath(u"x.mp3s/song-1.mp3"_s));
    }

    // A taken name of a whole 255 bytes: the "-1" marks take the end of the base, the
    // extension stays, the folder stays whole however long, and the name stays within 255 bytes.
    void takenNameAtFullCapacityStillEndsFreeWithItsExtension()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + u'/' + QString(150, u'f') + u'/' + QString(150, u'g') + u'/';
        QVERIFY(QDir().mkpath(folder));
        const QString stem = QString(245, u'a') + u"üé́"_s; // 245 + 2 + 2 + 2 bytes
        const QString taken = folder + stem + u".mp3"_s;
        QCOMPARE(FileSystemBytes(QFileInfo(taken).fileName()), 255);
        touch(taken);
        touch(folder + QString(245, u'a') + u"ü-1.mp3"_s); // the first "-1" name is taken too

        TStartRecord job = exampleJob();
        job.OutputPath = taken;
        const QString result = FreeOutputPath(job);
        QCOMPARE(result, folder + QString(245, u'a') + u"ü-1-1.mp3"_s);
        QVERIFY2(!QFile::exists(result), qPrintable(result));
    }

    void fieldsAreCutToTheirCapacity()
    {
        TStartRecord job;
        job.AudioCodec = u"averylongenc"_s;
        QCOMPARE(QString(job.AudioCodec), u"averylonge"_s);
        job.Lossless = u"TrueTrue"_s;
        QCOMPARE(QString(job.Lossless), u"TrueTr"_s);
        job.ProfileName = QString(150, u'p');
        QCOMPARE(job.ProfileName.size(), 100);
        job.OutputPath = QString(300, u'o'); // a whole Linux path fits
        QCOMPARE(job.OutputPath.size(), 300);
        job.OutputPath = QString(5000, u'o');
        QCOMPARE(job.OutputPath.size(), 4095);
        job.Channels = u"2 Channels Stereo and more"_s;
        QCOMPARE(QString(job.Channels), u"2 Channels Stereo "_s);
        job.Extension = u"😀😀😀😀😀😀😀😀😀😀x"_s; // ten surrogate pairs fill 20 units exactly
        QCOMPARE(job.Extension.size(), 20);
        job.Extension = u"x😀😀😀😀😀😀😀😀😀😀"_s; // a pair across the limit is not split
        QCOMPARE(job.Extension.size(), 19);
    }

    void newRecordIsEmpty()
    {
        const TStartRecord job;
        QVERIFY(job.SourcePath.isEmpty() && job.Duration.isEmpty() && job.Bitrate.isEmpty() && job.OutputPath.isEmpty()
            && job.AudioCodec.isEmpty());
        QCOMPARE(job.Volume, 0);
    }
};

QTEST_GUILESS_MAIN(TestConversionCommand)
#include "tst_conversioncommand.moc"
