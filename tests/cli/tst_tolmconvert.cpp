// tolm-convert end to end: the real executable and the real sonmill from the program folder,
// on media this test makes with GStreamer (and sonmill, for the M4A no allowed encoder writes).

#include "core/siblingcommands.h"
#include "core/startrecord.h"
#include "engine/conversioncommand.h"
#include "loudnesscheck.h"
#include "platform/childprocess.h"
#include "playback/jobedits.h"
#include "playback/trimtimes.h"
#include "testfiles.h"
#include "testmedia.h"
#include "testprobe.h"
#include "testprocess.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString kProgramDir = QStringLiteral(TOLM_PROGRAM_DIR);
const QString kMp3 = u"MP3 - MPEG Layer-3 Audio (*.mp3)"_s;
// A name a shell would trip over: a leading dash, quotes, a dollar, blanks, letters beyond ASCII.
const QString kOddName = u"-odd 'name' \"q\" $HOME ünï.wav"_s;

using Run = TestProcess::Ended;

// Every file below a folder, hidden ones included, relative to it, sorted.
QStringList filesBelow(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

using TestMedia::discover;
using TestMedia::Discovered;

} // namespace

class TestTolmConvert : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_home;
    QString m_in;

    QString path(const QString &relative) const { return m_root.filePath(relative); }

    QProcessEnvironment environment() const { return TestProcess::terminalEnvironment(m_home, path(u"cache"_s)); }

    void prepare(QProcess &process, const QStringList &arguments) const
    {
        process.setProcessEnvironment(environment());
        process.setWorkingDirectory(m_root.path());
        process.start(kProgramDir + u"/tolm-convert"_s, arguments);
    }

    Run convert(const QStringList &arguments) const
    {
        QProcess process;
        prepare(process, arguments);
        return TestProcess::waitForEnd(process);
    }

    static bool tone(const QString &file, int seconds, const QString &tail)
    {
        QDir().mkpath(QFileInfo(file).path());
        return TestMedia::launchInto(u"audiotestsrc wave=sine freq=330 samplesperbuffer=4410 num-buffers=%1 ! "
                                     u"audio/x-raw,rate=44100,channels=2 ! "_s.arg(seconds * 10)
                + tail,
            file);
    }

    static bool longWav(const QString &file, int seconds)
    {
        QDir().mkpath(QFileInfo(file).path());
        return TestMedia::writeWav(file, 44100, 2, qint64(seconds) * 44100,
            [](qint64 frame, int channel) { return 0.3 * std::sin(double(frame) * (0.05 + 0.01 * channel)); });
    }

    // The window's record for a file: what adding it with a profile and quality gives, then
    // what the trim and effect dialogs store for the same values.
    TStartRecord windowRecord(const QString &source, const QString &profile, int quality, const QString &outputFolder)
    {
        TStartRecord job = TestProbe::addedRow(source, profile, quality, kProgramDir, path(u"window-probe"_s));
        job.OutputPath = outputFolder + u'/' + QFileInfo(source).completeBaseName() + job.Extension.text();
        return job;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        m_home = path(u"home"_s);
        m_in = path(u"in"_s);
        QVERIFY(QDir().mkpath(m_home));
        QVERIFY(QDir().mkpath(path(u"cache"_s)));
        ChildProcess::setProgramFolder(kProgramDir);
        qputenv("XDG_CACHE_HOME", path(u"cache"_s).toUtf8());

        // The mixed tree.
        QVERIFY(tone(m_in + u"/tone.wav"_s, 3, u"wavenc"_s));
        QVERIFY(tone(m_in + u"/clash.wav"_s, 2, u"wavenc"_s));
        QVERIFY(tone(m_in + u"/clash.flac"_s, 2, u"flacenc"_s));
        QVERIFY(tone(m_in + u"/lossless/tone.flac"_s, 3, u"flacenc"_s));
        QVERIFY(tone(m_in + u"/lossy/tone.mp3"_s, 3, u"lamemp3enc ! id3v2mux"_s));
        QVERIFY(tone(m_in + u"/odd/"_s + kOddName, 2, u"wavenc"_s));
        QVERIFY(QDir().mkpath(m_in + u"/video"_s));
        QVERIFY(TestMedia::launch(u"avimux name=mux ! filesink location=%1 videotestsrc num-buffers=60 ! "
                                  u"video/x-raw,width=64,height=48,framerate=20/1 ! jpegenc ! mux. "
                                  u"audiotestsrc num-buffers=30 samplesperbuffer=4410 ! "
                                  u"audio/x-raw,rate=44100,channels=2 ! lamemp3enc ! mpegaudioparse ! mux."_s,
            m_in + u"/video/clip.avi"_s));
        QVERIFY(tone(path(u"m4a-source.wav"_s), 3, u"wavenc"_s));
        QProcess sonmill;
        sonmill.start(kProgramDir + u"/sonmill"_s,
            { u"qzv"_s, u"-y"_s, u"-i"_s, path(u"m4a-source.wav"_s), u"-acodec"_s, u"aac"_s, u"-ab"_s, u"128k"_s,
                m_in + u"/lossy/aac.m4a"_s });
        QVERIFY(sonmill.waitForFinished(60000) && sonmill.exitCode() == 0);
        QByteArray junk(8192, '\0');
        for (char &c : junk)
            c = char(QRandomGenerator::global()->bounded(256));
        QVERIFY(TestFiles::write(m_in + u"/broken.mp3"_s, junk));
        QVERIFY(TestFiles::write(m_in + u"/notes.txt"_s, "not audio"));
        QVERIFY(tone(m_in + u"/.hidden.wav"_s, 1, u"wavenc"_s));
    }

    void mixedTree()
    {
        const QString out = path(u"tree-out"_s);
        const Run run = convert({ u"-r"_s, u"-p"_s, u"mp3"_s, u"-q"_s, u"high"_s, u"-o"_s, out, u"in"_s });
        QCOMPARE(run.exitCode, 1);
        // Only the broken file is named, with the transcoder's reason.
        const QStringList errors = run.err.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().startsWith(u"tolm-convert: in/broken.mp3: "_s), qPrintable(run.err));
        QVERIFY2(errors.first().contains(u"Unsupported"_s), qPrintable(run.err));

        // The tree is mirrored from the folder's own name on, as in the window.
        const QStringList expected { u"in/clash(new).mp3"_s, u"in/clash.mp3"_s, u"in/lossless/tone.mp3"_s,
            u"in/lossy/aac.mp3"_s, u"in/lossy/tone.mp3"_s,
            u"in/odd/"_s + QFileInfo(kOddName).completeBaseName() + u".mp3"_s, u"in/tone.mp3"_s,
            u"in/video/clip.mp3"_s };
        QCOMPARE(filesBelow(out), expected); // nothing else: no temporary or partial file
        QVERIFY2(run.out.contains(u"converted: in/lossless/tone.flac -> "_s + out + u"/in/lossless/tone.mp3"_s),
            qPrintable(run.out));
        QVERIFY(run.out.endsWith(u"8 converted, 1 failed\n"_s));

        for (const QString &file : expected) {
            const Discovered found = discover(out + u'/' + file);
            QVERIFY2(found.text.contains(u"audio/mpeg, mpegversion=(int)1"_s) && found.text.contains(u"layer=(int)3"_s),
                qPrintable(file + u": "_s + found.text));
            QVERIFY2(!found.text.contains(u"video #"_s), qPrintable(file));
            const double seconds = file.startsWith(u"in/clash"_s) || file.startsWith(u"in/odd"_s) ? 2.0 : 3.0;
            QVERIFY2(std::fabs(found.seconds - seconds) < 0.15,
                qPrintable(file + u" lasts "_s + QString::number(found.seconds)));
        }
        // "High" is the profile's 192 kbps: about 72 kB for three seconds, not the 48 of "Normal".
        const qint64 size = QFileInfo(out + u"/in/tone.mp3"_s).size();
        QVERIFY2(size > 65000 && size < 80000, qPrintable(QString::number(size)));
    }

    // The range and volume options give the command the window composes for the same values in
    // its trim and effect dialogs (their own OK steps), and so the same file.
    void sameAsWindow_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("profile");
        QTest::addColumn<int>("quality");
        QTest::addColumn<QString>("dialogStart"); // typed into the trim dialog; empty: not opened
        QTest::addColumn<QString>("dialogEnd");
        QTest::addColumn<int>("volume");
        QTest::addColumn<bool>("alsoConvert"); // also convert both ways and compare the files

        QTest::newRow("untouched") << QStringList() << kMp3 << 1 << QString() << QString() << 100 << false;
        QTest::newRow("start and end, volume")
            << QStringList { u"--start"_s, u"00:00:02"_s, u"--end"_s, u"7"_s, u"--volume"_s, u"250"_s } << kMp3 << 1
            << u"00:00:02"_s << u"00:00:07"_s << 250 << true;
        QTest::newRow("length, silent") << QStringList { u"--start"_s, u"3"_s, u"--length"_s, u"00:00:04"_s,
            u"--volume"_s, u"0"_s } << kMp3
                                        << 2 << u"00:00:03"_s << u"00:00:07"_s << 0 << false;
        // The dialog lets the end go no further than the file's end.
        QTest::newRow("end past the file") << QStringList { u"--start"_s, u"8"_s, u"--end"_s, u"00:05:00"_s } << kMp3
                                           << 1 << u"00:00:08"_s << u"00:00:10"_s << 100 << false;
        QTest::newRow("lossless") << QStringList { u"--length"_s, u"5"_s, u"--volume"_s, u"50"_s }
                                  << u"FLAC - Free Lossless Audio Codec (*.flac)"_s << 1 << u"00:00:00"_s
                                  << u"00:00:05"_s << 50 << true;
        // Ogg streams carry a random serial number, so only the commands are compared.
        QTest::newRow("ogg, high") << QStringList { u"--end"_s, u"4"_s } << u"OGG - Ogg Vorbis Audio (*.ogg)"_s << 0
                                   << u"00:00:00"_s << u"00:00:04"_s << 100 << false;
    }

    void sameAsWindow()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, profile);
        QFETCH(int, quality);
        QFETCH(QString, dialogStart);
        QFETCH(QString, dialogEnd);
        QFETCH(int, volume);
        QFETCH(bool, alsoConvert);
        const QString source = path(u"ten.wav"_s);
        if (!QFile::exists(source))
            QVERIFY(tone(source, 10, u"wavenc"_s));
        const QString out = path(u"same-cli"_s);
        QDir(out).removeRecursively();

        TStartRecord job = windowRecord(source, profile, quality, out);
        QCOMPARE(job.Duration, u"00:00:10"_s);
        if (!dialogStart.isEmpty()) {
            const TrimCheck check = CheckTrimField(TrimField::End, dialogStart, dialogEnd, 10);
            QCOMPARE(check.outcome, TrimCheck::Accepted);
            QVERIFY(ApplyTrim(job, dialogStart, check.length));
        }
        ApplyVolume(job, volume);
        // The window's engine has every output checked, as tolm-convert does.
        const QString window = WithOutputCheck(BuildConversionCommand(job)).text;
        QVERIFY(window.contains(u" -verify   \""_s));

        const QStringList qualities { u"high"_s, u"normal"_s, u"low"_s };
        const QStringList common { u"-p"_s, profile, u"-q"_s, qualities.at(quality), u"-o"_s, out, source };
        const Run dry = convert(QStringList { u"--dry-run"_s } + options + common);
        QCOMPARE(dry.exitCode, 0);
        QCOMPARE(dry.out, window + u'\n');
        QVERIFY(!QFileInfo::exists(out)); // a dry run creates nothing
        if (!alsoConvert)
            return;

        const Run real = convert(options + common);
        QVERIFY2(real.exitCode == 0, qPrintable(real.err));
        const QString windowOut = path(u"same-window"_s);
        QDir(windowOut).removeRecursively();
        QVERIFY(QDir().mkpath(windowOut));
        job.OutputPath = windowOut + u'/' + QFileInfo(job.OutputPath.text()).fileName();
        const CommandLine command = WithOutputCheck(BuildConversionCommand(job));
        QProcess sonmill;
        sonmill.start(kProgramDir + u"/sonmill"_s, command.arguments);
        QVERIFY(sonmill.waitForFinished(60000) && sonmill.exitCode() == 0);
        const QByteArray ours = TestFiles::read(out + u'/' + QFileInfo(job.OutputPath.text()).fileName());
        QVERIFY(!ours.isEmpty());
        QVERIFY2(ours == TestFiles::read(job.OutputPath), "the two conversions differ");
    }

    void clashRules_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("files"); // in the output folder afterwards
        QTest::addColumn<bool>("oldKept"); // tone.mp3 still holds what was there before
        QTest::addColumn<QString>("said");

        QTest::newRow("(new) by default") << QStringList() << 0 << QStringList { u"tone(new).mp3"_s, u"tone.mp3"_s }
                                          << true << u"-> %1/tone(new).mp3"_s;
        QTest::newRow("overwrite") << QStringList { u"--overwrite"_s } << 0 << QStringList { u"tone.mp3"_s } << false
                                   << u"-> %1/tone.mp3"_s;
        QTest::newRow("skip") << QStringList { u"--skip"_s } << 0 << QStringList { u"tone.mp3"_s } << true
                              << u"skipped: in/tone.wav (%1/tone.mp3 exists)"_s;
    }

    void clashRules()
    {
        QFETCH(QStringList, options);
        QFETCH(QStringList, files);
        QFETCH(bool, oldKept);
        QFETCH(QString, said);
        const QString out = path(u"clash-out"_s);
        QDir(out).removeRecursively();
        QVERIFY(TestFiles::write(out + u"/tone.mp3"_s, "old"));
        const Run run = convert(options + QStringList { u"-p"_s, u"mp3"_s, u"-o"_s, out, u"in/tone.wav"_s });
        QTEST(run.exitCode, "exitCode");
        QCOMPARE(filesBelow(out), files);
        QCOMPARE(TestFiles::read(out + u"/tone.mp3"_s) == "old", oldKept);
        if (!oldKept)
            QVERIFY(discover(out + u"/tone.mp3"_s).text.contains(u"layer=(int)3"_s));
        QVERIFY2(run.out.contains(said.arg(out)), qPrintable(run.out));
    }

    // Converting a folder into itself with --overwrite: an output that would be a source gets
    // the "(new)" name, and no source changes.
    void overwriteNeverASource()
    {
        const QString folder = path(u"self"_s);
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::copy(m_in + u"/lossy/tone.mp3"_s, folder + u"/song.mp3"_s));
        QVERIFY(QFile::copy(m_in + u"/tone.wav"_s, folder + u"/song.wav"_s));
        const QByteArray mp3 = TestFiles::read(folder + u"/song.mp3"_s);
        const QByteArray wav = TestFiles::read(folder + u"/song.wav"_s);
        const Run run = convert(
            { u"--overwrite"_s, u"-p"_s, u"mp3"_s, u"-o"_s, folder, folder + u"/song.mp3"_s, folder + u"/song.wav"_s });
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(TestFiles::read(folder + u"/song.mp3"_s), mp3);
        QCOMPARE(TestFiles::read(folder + u"/song.wav"_s), wav);
        QCOMPARE(filesBelow(folder),
            QStringList({ u"song(new)(new).mp3"_s, u"song(new).mp3"_s, u"song.mp3"_s, u"song.wav"_s }));
    }

    void badCommandLines_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("said");
        QTest::newRow("unknown profile") << QStringList { u"-p"_s, u"speex"_s, u"in/tone.wav"_s } << u"no profile"_s;
        QTest::newRow("two profiles") << QStringList { u"-p"_s, u"wav"_s, u"in/tone.wav"_s }
                                      << u"WAV - Waveform Audio (*.wav)"_s;
        QTest::newRow("rate not offered") << QStringList { u"-p"_s, u"mp3"_s, u"--rate"_s, u"1234"_s, u"in/tone.wav"_s }
                                          << u"offers the sample rates"_s;
        QTest::newRow("lossless") << QStringList { u"-p"_s, u"flac"_s, u"--bitrate"_s, u"128"_s, u"in/tone.wav"_s }
                                  << u"lossless"_s;
        QTest::newRow("output is a file")
            << QStringList { u"-o"_s, u"in/notes.txt"_s, u"in/tone.wav"_s } << u"is a file"_s;
        QTest::newRow("unknown option") << QStringList { u"--fast"_s, u"in/tone.wav"_s } << u"--help"_s;
        QTest::newRow("nothing to convert") << QStringList { u"-p"_s, u"mp3"_s } << u"no file or folder"_s;
        QTest::newRow("album and normalize") << QStringList { u"--replaygain"_s, u"album"_s, u"--normalize"_s, u"-16"_s,
            u"in/tone.wav"_s } << u"exclude each other"_s;
    }

    // --replaygain album: every file measured first, one album gain in all of them, equal to
    // the outside meter's reading of the files joined end to end; each keeps its own track
    // gain. --normalize: each file at the target, peaks under -1 dBTP.
    void loudness()
    {
        const QString dense = path(u"loudness/dense.wav"_s);
        const QString quiet = path(u"loudness/quiet.wav"_s);
        QVERIFY(QDir().mkpath(path(u"loudness"_s)));
        QVERIFY(LoudnessCheck::writeProgramme(dense, LoudnessCheck::Programme::Dense, 6, -20));
        QVERIFY(LoudnessCheck::writeProgramme(quiet, LoudnessCheck::Programme::Punchy, 6, -35));
        QProcess sox;
        sox.start(u"sox"_s, { dense, quiet, path(u"loudness/joined.wav"_s) });
        QVERIFY(sox.waitForFinished(60000) && sox.exitCode() == 0);
        const LoudnessCheck::Reading joined = LoudnessCheck::measure(path(u"loudness/joined.wav"_s));
        QVERIFY(joined.ok);

        const QString album = path(u"loudness-album"_s);
        const Run run = convert({ u"-p"_s, u"flac"_s, u"--replaygain"_s, u"album"_s, u"-o"_s, album, dense, quiet });
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QStringList albumGains;
        for (const QString &source : { dense, quiet }) {
            const QString output = album + u'/' + QFileInfo(source).completeBaseName() + u".flac"_s;
            const QMap<QString, QString> tags = LoudnessCheck::replayGainTags(output);
            albumGains << tags.value(u"REPLAYGAIN_ALBUM_GAIN"_s);
            const double albumGain = LoudnessCheck::gainOf(albumGains.last());
            QVERIFY2(qAbs(albumGain - (-18 - joined.integratedLufs)) <= 0.5,
                qPrintable(u"%1 against %2 LUFS"_s.arg(albumGain).arg(joined.integratedLufs)));
            const LoudnessCheck::Reading own = LoudnessCheck::measure(source);
            const double trackGain = LoudnessCheck::gainOf(tags.value(u"REPLAYGAIN_TRACK_GAIN"_s));
            QVERIFY2(qAbs(trackGain - (-18 - own.integratedLufs)) <= 0.3,
                qPrintable(tags.value(u"REPLAYGAIN_TRACK_GAIN"_s)));
            QVERIFY(tags.contains(u"REPLAYGAIN_ALBUM_PEAK"_s));
        }
        QCOMPARE(albumGains.at(0), albumGains.at(1));

        const QString normalized = path(u"loudness-normalized"_s);
        // High quality here; every profile's normal one is normalizeWhatPlays.
        const Run second = convert(
            { u"-p"_s, u"mp3"_s, u"-q"_s, u"high"_s, u"--normalize"_s, u"-16"_s, u"-o"_s, normalized, dense, quiet });
        QVERIFY2(second.exitCode == 0, qPrintable(second.err));
        for (const QString &source : { dense, quiet }) {
            const QString output = normalized + u'/' + QFileInfo(source).completeBaseName() + u".mp3"_s;
            const LoudnessCheck::Reading reading = LoudnessCheck::measure(output);
            QVERIFY2(reading.ok && qAbs(reading.integratedLufs + 16) <= 0.5, qPrintable(reading.text));
            QVERIFY2(reading.truePeakDb <= -1.0, qPrintable(reading.text));
        }
    }

    // --normalize at each lossy profile's own quality and FLAC, from a loud and a quiet
    // source: what a player decodes from the output is at the target, its true peak under
    // -1 dBTP, by the outside meter (the encoders' low-pass and coding noise included).
    void normalizeWhatPlays_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("extension");
        for (const char *source : { "loud", "quiet" }) {
            QTest::addRow("%s to mp3", source) << u"mp3"_s << u"mp3"_s;
            QTest::addRow("%s to aac", source) << u"aac"_s << u"aac"_s;
            QTest::addRow("%s to ogg", source) << u"ogg"_s << u"ogg"_s;
            QTest::addRow("%s to opus", source) << u"opus"_s << u"opus"_s;
            QTest::addRow("%s to flac", source) << u"flac"_s << u"flac"_s;
        }
    }
    void normalizeWhatPlays()
    {
        QFETCH(QString, profile);
        QFETCH(QString, extension);
        const bool loud = QString::fromLatin1(QTest::currentDataTag()).startsWith(u"loud"_s);
        const QString source = path(loud ? u"normalize/loud.wav"_s : u"normalize/quiet.wav"_s);
        if (!QFileInfo::exists(source)) {
            QVERIFY(QDir().mkpath(path(u"normalize"_s)));
            // Dense at -13 LUFS; punchy at -35 LUFS, whose peaks the gain to -16 would lift
            // far past full scale (the limiter works hard).
            QVERIFY(LoudnessCheck::writeProgramme(source,
                loud ? LoudnessCheck::Programme::Dense : LoudnessCheck::Programme::Punchy, 8, loud ? -13 : -35));
        }
        const QString folder = path(u"normalize-"_s + extension);
        const Run run
            = convert({ u"-p"_s, profile, u"--normalize"_s, u"-16"_s, u"--overwrite"_s, u"-o"_s, folder, source });
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QString output = folder + u'/' + QFileInfo(source).completeBaseName() + u'.' + extension;
        QVERIFY(QFileInfo::exists(output));
        if (extension == u"aac") {
            // GStreamer's AAC decoders lie outside the plugin sets we allow: decoded by ours.
            QProcess decode;
            decode.setProcessEnvironment(environment());
            const QString wav = output + u".wav"_s;
            decode.start(
                kProgramDir + u"/sonmill"_s, { u"qzv"_s, u"-y"_s, u"-i"_s, output, u"-acodec"_s, u"pcm16le"_s, wav });
            QVERIFY(decode.waitForFinished(60000) && decode.exitCode() == 0);
            output = wav;
        }
        const LoudnessCheck::Reading reading = LoudnessCheck::measure(output);
        QVERIFY2(reading.ok, qPrintable(reading.text));
        QVERIFY2(qAbs(reading.integratedLufs + 16) <= 0.5, qPrintable(reading.text));
        QVERIFY2(reading.truePeakDb <= -1.0, qPrintable(reading.text));
    }

    void badCommandLines()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, said);
        const QString out = path(u"bad-out"_s);
        QDir(out).removeRecursively();
        const Run run = convert(QStringList { u"-o"_s, out } + arguments);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(said), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
        QVERIFY(!QFileInfo::exists(out));
    }

    // The window's user profiles and default output folder.
    void windowFolders()
    {
        const QString profileFolder = m_home + u"/Documents/TOLM/TOLM Audio Converter/profile"_s;
        QVERIFY(TestFiles::write(profileFolder + u"/userprofile.ini"_s,
            "[Voice (*.mp3)]\nVideoNot=True\nLossless=False\nASR=22050 Hz\nBitrateNot=False\nABRH=96 kbps\n"
            "ABRN=64 kbps\nABRL=32 kbps\nAudioCodec=mp3\nAC=1 Channel Mono\n"));
        const Run listed = convert({ u"--list-profiles"_s });
        QCOMPARE(listed.exitCode, 0);
        QVERIFY(listed.out.contains(u"Voice (*.mp3)  [user profile]\n"_s));
        QCOMPARE(listed.out.count(u"\n    "_s), 17);

        // Without -o, the files go where the window converts into: ~/TOLM, made when missing.
        QVERIFY(!QFileInfo::exists(m_home + u"/TOLM"_s) || QDir(m_home + u"/TOLM"_s).removeRecursively());
        const Run run = convert({ u"-p"_s, u"voice"_s, u"in/tone.wav"_s });
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QString output = m_home + u"/TOLM/tone.mp3"_s;
        const Discovered found = discover(output);
        QVERIFY2(found.text.contains(u"rate=(int)22050, channels=(int)1"_s), qPrintable(found.text));
        QVERIFY(!QFileInfo::exists(m_home + u"/Documents/TOLM/TOLM Audio Converter/tone.mp3"_s));

        // Where ~/TOLM cannot be a folder, the window's default output folder, as the window
        // falls back to it.
        QVERIFY(QDir(m_home + u"/TOLM"_s).removeRecursively());
        QVERIFY(TestFiles::write(m_home + u"/TOLM"_s, "not a folder"));
        const Run fallback = convert({ u"-p"_s, u"voice"_s, u"in/tone.wav"_s });
        QFile::remove(m_home + u"/TOLM"_s);
        QVERIFY2(fallback.exitCode == 0, qPrintable(fallback.err));
        QVERIFY(QFileInfo::exists(m_home + u"/Documents/TOLM/TOLM Audio Converter/tone.mp3"_s));

        // And the help says so.
        const Run help = convert({ u"--help"_s });
        QVERIFY2(help.out.contains(u"~/TOLM"_s), qPrintable(help.out));
        QVERIFY(!help.out.contains(u"Default: the window's default output"_s));
    }

    // A source named with 250 characters (254 bytes) converts, its output path far past 255
    // characters; a second run's "(new)" output gives up the end of the base instead.
    void longSourceName()
    {
        const QString stem = QString(242, u'x') + u"üüüü"_s;
        const QString source = path(u"long-names/"_s + stem + u".wav"_s);
        QVERIFY(tone(source, 2, u"wavenc"_s));
        const QString out = path(u"long-names-out/"_s + QString(200, u'd'));
        for (int runs = 0; runs < 2; ++runs) {
            const Run run = convert({ u"-p"_s, u"mp3"_s, u"-o"_s, out, source });
            QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        }
        QStringList expected { stem + u".mp3"_s, QString(242, u'x') + u"üü(new).mp3"_s };
        QStringList written = QDir(out).entryList(QDir::Files);
        expected.sort();
        written.sort();
        QCOMPARE(written, expected);
        for (const QString &name : expected) {
            const Discovered d = discover(out + u'/' + name);
            QVERIFY2(qAbs(d.seconds - 2.0) < 0.1, qPrintable(d.text));
        }
    }

    // Live lines on a terminal, one plain line per file otherwise.
    void progressDisplay()
    {
        const QString out = path(u"progress-out"_s);
        QDir(out).removeRecursively();
        const QStringList arguments { u"-p"_s, u"ogg"_s, u"-j"_s, u"2"_s, u"-o"_s, out, u"in/tone.wav"_s,
            u"in/clash.wav"_s };
        const Run plain = convert(arguments);
        QCOMPARE(plain.exitCode, 0);
        QVERIFY(!plain.out.contains(u'\x1b'));
        QCOMPARE(plain.out.count(u"converted: "_s), 2);

        QDir(out).removeRecursively();
        // script(1) gives the program a terminal of its own.
        QString command = kProgramDir + u"/tolm-convert"_s;
        for (const QString &argument : arguments)
            command += u" '"_s + argument + u'\'';
        QProcess terminal;
        QProcessEnvironment env = environment();
        env.insert(u"TERM"_s, u"xterm"_s);
        terminal.setProcessEnvironment(env);
        terminal.setWorkingDirectory(m_root.path());
        terminal.start(u"script"_s, { u"-qefc"_s, command, u"/dev/null"_s });
        QVERIFY(terminal.waitForFinished(120000));
        QCOMPARE(terminal.exitCode(), 0);
        const QString live = QString::fromUtf8(terminal.readAllStandardOutput());
        QVERIFY2(live.contains(u"\x1b["_s) && live.contains(u"remaining"_s), qPrintable(live));
        QVERIFY2(live.contains(u"2 converted"_s), qPrintable(live));
    }

    // Ctrl-C while two transcoders run: both end, nothing of theirs stays, status 130.
    void interrupted_data()
    {
        QTest::addColumn<bool>("wholeGroup"); // as a terminal sends it, or to tolm-convert alone
        QTest::newRow("terminal's Ctrl-C") << true;
        QTest::newRow("signal to tolm-convert only") << false;
    }

    void interrupted()
    {
        QFETCH(bool, wholeGroup);
        const QString long1 = path(u"long/one.wav"_s);
        const QString long2 = path(u"long/two.wav"_s);
        if (!QFile::exists(long2)) {
            QVERIFY(longWav(long1, 300));
            QVERIFY(longWav(long2, 300));
        }
        const QString out = path(u"interrupted-out"_s);
        QDir(out).removeRecursively();

        QProcess process;
        process.setChildProcessModifier([] { ::setpgid(0, 0); }); // a group of its own, as a shell's job
        prepare(process, { u"-j"_s, u"2"_s, u"-p"_s, u"mp3"_s, u"-o"_s, out, long1, long2 });
        QVERIFY(process.waitForStarted());
        const qint64 pid = process.processId();

        // Wait until both transcoders write their temporary files.
        QElapsedTimer clock;
        clock.start();
        while (filesBelow(out).size() < 2 && clock.elapsed() < 30000)
            QTest::qWait(50);
        const QList<qint64> children = TestProcess::childrenOf(pid);
        QCOMPARE(filesBelow(out).size(), 2);
        QCOMPARE(children.size(), 2);

        QCOMPARE(::kill(pid_t(wholeGroup ? -pid : pid), SIGINT), 0);
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 130);
        for (qint64 child : children)
            QVERIFY2(!TestProcess::alive(child), qPrintable(QString::number(child)));
        QCOMPARE(filesBelow(out), QStringList());
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(err.contains(u"interrupted"_s) && !err.contains(u"one.wav"_s), qPrintable(err));
    }
};

QTEST_GUILESS_MAIN(TestTolmConvert)
#include "tst_tolmconvert.moc"
