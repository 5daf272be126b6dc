// Ranges to the last sample: the window's and tolm-convert's road (probe, profile, command)
// with the real sonmill, judged by decoders that are not ours.

#include "core/exactrange.h"
#include "core/siblingcommands.h"
#include "core/startrecord.h"
#include "engine/conversioncommand.h"
#include "platform/childprocess.h"
#include "sonmillrun.h"
#include "testfiles.h"
#include "testmedia.h"
#include "testprobe.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

const QString kProgramDir = QStringLiteral(TOLM_PROGRAM_DIR);
constexpr int kRate = 44100;
constexpr qint64 kFrames = 327'751; // 7.432 s: the fraction is what was lost

// What a program that is not ours prints; nothing when it failed.
std::optional<QString> outsideTool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// The length an MPEG-4 file's edit list gives its audio, in samples (its movie time scale is
// the sample rate); -1 without one.
qint64 editListSamples(const QString &file)
{
    const QByteArray bytes = TestFiles::read(file);
    const qsizetype at = bytes.indexOf("elst");
    if (at < 0 || at + 16 > bytes.size() || bytes.at(at + 4) != 0)
        return -1; // version 1 (64-bit) lists are not written for files this short
    const auto u32 = [&bytes](qsizetype i) {
        return (quint32(quint8(bytes[i])) << 24) | (quint32(quint8(bytes[i + 1])) << 16)
            | (quint32(quint8(bytes[i + 2])) << 8) | quint32(quint8(bytes[i + 3]));
    };
    return u32(at + 12);
}

} // namespace

class TestExactEnds : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_source;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // The row the window (and tolm-convert) makes for a file with a profile at "Normal".
    TStartRecord probedRow(const QString &source, const QString &profile, const QString &outputName)
    {
        TStartRecord job = TestProbe::addedRow(source, profile, 1, kProgramDir, path(u"probe"_s));
        job.OutputPath = path(outputName);
        return job;
    }

    static bool convert(TStartRecord &job)
    {
        const CommandLine command = BuildConversionCommand(job);
        QProcess sonmill;
        sonmill.start(kProgramDir + u"/sonmill"_s, command.arguments);
        return sonmill.waitForFinished(120000) && sonmill.exitStatus() == QProcess::NormalExit
            && sonmill.exitCode() == 0;
    }

    // Frames of a file as an outside decoder gives them: mpg123 for MP3, oggdec for Ogg, the
    // flac tool for FLAC, GStreamer for the MPEG-4, ADTS, MP2 and AC-3 streams (AAC through
    // the faad2 element of our plugins), and sox reading the PCM containers and decoded WAVs.
    qint64 outsideFrames(const QString &file)
    {
        const QString suffix = QFileInfo(file).suffix();
        const QString wav = file + u".decoded.wav"_s;
        QFile::remove(wav);
        bool decoded = true;
        if (suffix == u"wav" || suffix == u"aiff" || suffix == u"au")
            return outsideTool(u"soxi"_s, { u"-s"_s, file }).value_or(u"-1"_s).toLongLong();
        if (suffix == u"mp3")
            decoded = outsideTool(u"mpg123"_s, { u"-q"_s, u"-w"_s, wav, file }).has_value();
        else if (suffix == u"ogg")
            decoded = outsideTool(u"oggdec"_s, { u"-Q"_s, u"-o"_s, wav, file }).has_value();
        else if (suffix == u"flac")
            decoded = outsideTool(u"flac"_s, { u"-d"_s, u"-s"_s, u"-f"_s, u"-o"_s, wav, file }).has_value();
        else if (suffix == u"m4a" || suffix == u"aac")
            return SonmillRun::inspect(file)
                .frames; // GStreamer with our faad2 element: the allowed sets hold no AAC decoder
        else
            decoded = TestMedia::launch(u"filesrc location=\"%1\" ! decodebin ! audioconvert ! "_s.arg(file)
                    + u"audio/x-raw,format=S16LE ! wavenc ! filesink location=%1"_s,
                wav);
        if (!decoded)
            return -1;
        return outsideTool(u"soxi"_s, { u"-s"_s, wav }).value_or(u"-1"_s).toLongLong();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        ChildProcess::setProgramFolder(kProgramDir);
        qputenv("XDG_CACHE_HOME", path(u"cache"_s).toUtf8());
        m_source = path(u"fraction.wav"_s);
        QVERIFY(TestMedia::writeWav(m_source, kRate, 2, kFrames,
            [](qint64 frame, int channel) { return 0.4 * std::sin(double(frame) * (0.031 + 0.007 * channel)); }));
    }

    void wholeFileToItsLastSample_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("slack"); // frames a decoder of that stream may differ by: one coded frame
        QTest::newRow("WAV") << u"WAV - Waveform Audio (*.wav)"_s << u"out.wav"_s << 44100 << 0;
        QTest::newRow("AIFF") << u"AIFF - Audio Interchange File Format (*.aiff)"_s << u"out.aiff"_s << 44100 << 0;
        QTest::newRow("AU") << u"SUN AU Format (*.au)"_s << u"out.au"_s << 44100 << 0;
        QTest::newRow("FLAC") << u"FLAC - Free Lossless Audio Codec (*.flac)"_s << u"out.flac"_s << 44100 << 0;
        QTest::newRow("MP3") << u"MP3 - MPEG Layer-3 Audio (*.mp3)"_s << u"out.mp3"_s << 44100 << 0;
        QTest::newRow("Ogg") << u"OGG - Ogg Vorbis Audio (*.ogg)"_s << u"out.ogg"_s << 44100 << 0;
        QTest::newRow("M4A") << u"M4A - MPEG-4 Audio (*.m4a)"_s << u"out.m4a"_s << 44100 << 0;
        QTest::newRow("ADTS AAC") << u"AAC - Advanced Audio Coding (*.aac)"_s << u"out.aac"_s << 44100 << 1024;
        QTest::newRow("MP2") << u"MP2 - MPEG Layer-2 Audio (*.mp2)"_s << u"out.mp2"_s << 44100 << 1152;
        QTest::newRow("AC-3") << u"AC3 - Dolby Digital AC-3 (*.ac3)"_s << u"out.ac3"_s << 48000 << 1536;
    }
    void wholeFileToItsLastSample()
    {
        QFETCH(QString, profile);
        QFETCH(QString, name);
        QFETCH(int, rate);
        QFETCH(int, slack);
        TStartRecord job = probedRow(m_source, profile, name);
        // What the user sees stays whole seconds; the command reaches the end.
        QCOMPARE(job.Duration, u"00:00:07"_s);
        QCOMPARE(job.Length, u"00:00:07"_s);
        QVERIFY2(BuildConversionCommand(job).text.contains(u"  -ss  00:00:00  -t  00:00:07.44"_s),
            qPrintable(BuildConversionCommand(job).text));
        QVERIFY(convert(job));

        const qint64 expected = std::llround(double(kFrames) * rate / kRate);
        const qint64 frames = outsideFrames(job.OutputPath);
        if (name.endsWith(u".m4a"_s)) {
            // The edit list says the exact length; GStreamer's MPEG-4 reader, turning it into
            // nanoseconds, lets one more sample through.
            QCOMPARE(editListSamples(job.OutputPath), expected);
            slack = 1;
        }
        QVERIFY2(
            std::abs(frames - expected) <= slack, qPrintable(u"%1 frames, %2 expected"_s.arg(frames).arg(expected)));
    }

    // A range inside the file keeps the command as it always was, and is exact too.
    void rangeInsideTheFile_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("name");
        QTest::newRow("FLAC") << u"FLAC - Free Lossless Audio Codec (*.flac)"_s << u"range.flac"_s;
        QTest::newRow("MP3") << u"MP3 - MPEG Layer-3 Audio (*.mp3)"_s << u"range.mp3"_s;
    }
    void rangeInsideTheFile()
    {
        QFETCH(QString, profile);
        QFETCH(QString, name);
        TStartRecord job = probedRow(m_source, profile, name);
        job.StartTime = u"00:00:02"_s;
        job.Length = u"00:00:03"_s;
        QVERIFY(BuildConversionCommand(job).text.contains(u"  -ss  00:00:02  -t  00:00:03 "_s));
        QVERIFY(convert(job));
        QCOMPARE(outsideFrames(job.OutputPath), 3 * kRate);
    }

    // A file of whole seconds: the command is the one it always was.
    void wholeSecondsKeepTheCommand()
    {
        const QString source = path(u"three.wav"_s);
        QVERIFY(TestMedia::writeWav(source, kRate, 2, 3 * kRate, [](qint64, int) { return 0.1; }));
        TStartRecord job = probedRow(source, u"FLAC - Free Lossless Audio Codec (*.flac)"_s, u"three.flac"_s);
        QCOMPARE(job.SpanEndNs, 3 * kNsPerSecond);
        QVERIFY(BuildConversionCommand(job).text.contains(u"  -ss  00:00:00  -t  00:00:03 -acodec  copy"_s));
        QVERIFY(convert(job));
        QCOMPARE(outsideFrames(job.OutputPath), 3 * kRate);
    }
};

QTEST_GUILESS_MAIN(TestExactEnds)
#include "tst_exactends.moc"
