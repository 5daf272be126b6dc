// sonmill on AC-3, bare and in AVI. No encoder the tests may use writes AC-3, so ac3make
// writes the frames: every length follows from their count (1536 samples a frame), and the
// decoder's dither noise gives each channel a level of its own, so a stream that was not
// really decoded, or decoded into the wrong channels, cannot pass.

#include "sonmillrun.h"

#include "core/siblingcommands.h"
#include "core/startrecord.h"
#include "engine/conversioncommand.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;
using namespace SonmillRun;

namespace {

constexpr int kFrameSamples = 1536;
constexpr int kBoundMs = 30000; // every run, good or bad, ends well within this
constexpr double kLengthTolerance = 0.05; // seconds
constexpr double kSilentDb = -90;

// One AC-3 stream for ac3make: levels are dither exponents per full-band channel in the
// stream's order (L C R Ls Rs for 3/2), "x" for silence.
struct Ac3
{
    int rate = 48000;
    int acmod = 2;
    bool lfe = false;
    int frames = 100;
    int kbps = 0;
    QStringList levels;

    int channels() const
    {
        static constexpr int kFullBand[8] = { 2, 1, 2, 3, 3, 4, 4, 5 };
        return kFullBand[acmod] + (lfe ? 1 : 0);
    }
    double seconds() const { return double(frames) * kFrameSamples / rate; }
};

bool writeAc3(const QString &path, const Ac3 &stream)
{
    QProcess maker;
    maker.start(QCoreApplication::applicationDirPath() + u"/ac3make"_s,
        QStringList { path, QString::number(stream.rate), QString::number(stream.acmod),
            QString::number(stream.lfe ? 1 : 0), QString::number(stream.frames), QString::number(stream.kbps) }
            + stream.levels);
    return maker.waitForFinished(30000) && maker.exitCode() == 0;
}

// What is wrong with a run's text, empty when nothing: only the fixed lines (a plain
// conversion measures no loudness, so no "Loudness:" line), Duration at most once and
// before any progress, progress never going back, the summary with
// "global" once and last on success, an error line last and no "global" on failure.
QString textFault(const Result &result)
{
    static const QList<QRegularExpression> allowed = {
        QRegularExpression(uR"(^Duration: \d\d:\d\d:\d\d\.\d\d$)"_s),
        QRegularExpression(uR"(^Stream: audio \d+ Hz, \d+ channels -> \d+ Hz, \d+ channels$)"_s),
        QRegularExpression(uR"(^size=\s*\d+kB time=\d+\.\d\d bitrate=\s*[\d.]+kbits/s$)"_s),
        QRegularExpression(uR"(^Summary: audio \d+kB, \d+\.\d\d s; global speed [\d.]+x$)"_s),
        QRegularExpression(uR"(^Error: .+$)"_s),
    };
    static const QRegularExpression time(uR"(time=(\d+\.\d\d))"_s);
    QString text = result.output;
    text.replace(u'\r', u'\n');
    const QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
    if (lines.isEmpty())
        return u"no text"_s;
    int durations = 0;
    bool progressSeen = false;
    double last = -1;
    for (const QString &line : lines) {
        if (std::none_of(
                allowed.begin(), allowed.end(), [&](const QRegularExpression &r) { return r.match(line).hasMatch(); }))
            return u"stray line: "_s + line;
        if (line.startsWith(u"Duration:"_s)) {
            if (++durations > 1 || progressSeen)
                return u"Duration again or late"_s;
        }
        if (const QRegularExpressionMatch m = time.match(line); m.hasMatch()) {
            progressSeen = true;
            if (m.captured(1).toDouble() < last)
                return u"time went back: "_s + line;
            last = m.captured(1).toDouble();
        }
    }
    const int globals = int(result.output.count(u"global"_s));
    if (result.exitCode == 0)
        return globals == 1 && lines.last().contains(u"global"_s) ? QString() : u"no single closing summary"_s;
    return globals == 0 && lines.last().startsWith(u"Error: "_s) ? QString() : u"failure without its error line"_s;
}

} // namespace

class TestSonmillAc3 : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QMap<QString, Ac3> m_streams; // file name: what it holds

    QString path(const QString &name) const { return m_dir.filePath(name); }

    void addAc3(const QString &name, const Ac3 &stream)
    {
        QVERIFY2(writeAc3(path(name), stream), qPrintable(name));
        m_streams.insert(name, stream);
    }

    // The stream of an .ac3 made before, put into AVI, with a video track when asked.
    void addAvi(const QString &name, const QString &ac3Name, bool withVideo)
    {
        QString pipeline
            = u"avimux name=mux ! filesink location=%1 filesrc location="_s + path(ac3Name) + u" ! ac3parse ! mux."_s;
        const Ac3 stream = m_streams.value(ac3Name);
        if (withVideo)
            pipeline
                += u" videotestsrc num-buffers=%2 ! video/x-raw,width=64,height=48,framerate=25/1 ! jpegenc ! mux."_s
                       .arg(std::lround(stream.seconds() * 25));
        QVERIFY2(make(pipeline, path(name)), qPrintable(name));
        // What the tests think the file is, seen by the checker's own decoding.
        const Media media = inspect(path(name));
        QVERIFY(media.chain.startsWith(u"video/x-msvideo"_s));
        QVERIFY(media.chain.contains(u"audio/x-ac3"_s));
        QCOMPARE(media.chain.contains(u"image/jpeg"_s), withVideo);
        m_streams.insert(name, stream);
    }

    // The job the program composes for one file, after its probe said how long it is.
    QStringList programLine(const QString &input, const QString &output, const char *rate, const char *channels,
        const char *codec, const char *bitrate)
    {
        const Result probe = run(ProbeCommand(input, path(u"inadd.wav"_s)).arguments, kBoundMs);
        const qsizetype at = probe.output.indexOf(u"Duration: "_s);
        TStartRecord job;
        job.SourcePath = input;
        job.Duration = at >= 0 ? probe.output.mid(at + 10, 8) : kDurationPlaceholder.toString();
        job.StartTime = kStartOfFile.toString();
        job.Length = job.Duration;
        job.SampleRate = QString::fromLatin1(rate);
        job.Channels = QString::fromLatin1(channels);
        job.AudioCodec = QString::fromLatin1(codec);
        job.Bitrate = QString::fromLatin1(bitrate);
        job.BitrateNot = job.Bitrate.text().isEmpty() ? kTrue.toString() : kFalse.toString();
        job.Lossless = kFalse.toString();
        job.VideoNot = kTrue.toString();
        job.Volume = kUnchangedVolume;
        job.Extension = u"."_s + QFileInfo(output).suffix();
        job.OutputPath = output;
        return BuildConversionCommand(job).arguments;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        addAc3(u"stereo48.ac3"_s, { 48000, 2, false, 100, 0, { u"8"_s, u"12"_s } });
        // 192 kbps at 44.1 kHz: frames with and without the padding word.
        addAc3(u"stereo44.ac3"_s, { 44100, 2, false, 120, 192, { u"8"_s, u"x"_s } });
        addAc3(u"mono32.ac3"_s, { 32000, 1, false, 70, 0, { u"9"_s } });
        addAc3(u"full51.ac3"_s, { 48000, 7, true, 100, 448, { u"7"_s, u"8"_s, u"9"_s, u"10"_s, u"11"_s } });
        addAc3(u"centre51at44.ac3"_s, { 44100, 7, true, 110, 384, { u"x"_s, u"8"_s, u"x"_s, u"x"_s, u"x"_s } });
        addAc3(u"surround51.ac3"_s, { 48000, 7, true, 100, 0, { u"x"_s, u"x"_s, u"x"_s, u"8"_s, u"x"_s } });
        // What the tests think the 5.1 file is, seen by the checker's own decoding: each
        // exponent step is 6 dB, and the channels come in GStreamer's order (front left,
        // front right, centre, LFE, rear left, rear right) from the stream's L C R Ls Rs.
        const Media full = inspect(path(u"full51.ac3"_s));
        QCOMPARE(full.channels, 6);
        const QList<int> exponents = { 7, 9, 8, -1, 10, 11 };
        for (int c = 0; c < 6; ++c) {
            if (exponents.at(c) < 0)
                QVERIFY(full.rms.at(c) < kSilentDb);
            else
                QVERIFY2(std::fabs(full.rms.at(c) - full.rms.at(0) + 6.02 * (exponents.at(c) - 7)) < 0.1,
                    qPrintable(u"channel %1 at %2 dB"_s.arg(c).arg(full.rms.at(c))));
        }
        addAvi(u"full51.avi"_s, u"full51.ac3"_s, false);
        addAvi(u"stereo48video.avi"_s, u"stereo48.ac3"_s, true);

        // A bit rate that changes on the way: a length from the first frames' rate is wrong.
        QVERIFY(writeAc3(path(u"quiet.part"_s), { 48000, 2, false, 40, 48, {} }));
        QVERIFY(writeAc3(path(u"loud.part"_s), { 48000, 2, false, 110, 448, { u"8"_s, u"8"_s } }));
        QFile quiet(path(u"quiet.part"_s));
        QFile loud(path(u"loud.part"_s));
        QFile changing(path(u"changing.ac3"_s));
        QVERIFY(
            quiet.open(QIODevice::ReadOnly) && loud.open(QIODevice::ReadOnly) && changing.open(QIODevice::WriteOnly));
        changing.write(quiet.readAll() + loud.readAll());
        changing.close();
        m_streams.insert(u"changing.ac3"_s, { 48000, 2, false, 150, 0, {} });
    }

    // The probe, exactly as the program runs it when a file is added.
    void probe_data()
    {
        QTest::addColumn<QString>("name");
        for (auto it = m_streams.cbegin(); it != m_streams.cend(); ++it)
            QTest::newRow(qPrintable(it.key())) << it.key();
    }
    void probe()
    {
        QFETCH(QString, name);
        const Ac3 stream = m_streams.value(name);
        const QString scratch = path(u"inadd.wav"_s);
        QFile::remove(scratch);
        const Result result = run(ProbeCommand(path(name), scratch).arguments, kBoundMs);
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        QVERIFY2(textFault(result).isEmpty(), qPrintable(textFault(result) + u'\n' + result.output));
        // Hundredths, from the frame count.
        const double announced = durationLine(result.output);
        QVERIFY2(std::fabs(announced - stream.seconds()) < 0.011,
            qPrintable(u"%1 announced, %2 in the file"_s.arg(announced).arg(stream.seconds())));
        const Media scratchMedia = inspect(scratch);
        QVERIFY(scratchMedia.ok);
        QCOMPARE(scratchMedia.rate, stream.rate);
        QCOMPARE(scratchMedia.channels, stream.channels());
        QCOMPARE(scratchMedia.frames, qint64(std::lround(0.001 * stream.rate)));
    }

    // The program's own conversion lines. Each output channel is 'S' (the source's level
    // in the same channel, silence included), 'L' (carries audio), '=' (carries audio at
    // channel 0's level) or '-' (silent).
    void conversions_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("channels");
        QTest::addColumn<QString>("codec");
        QTest::addColumn<QString>("bitrate");
        QTest::addColumn<QString>("levels");

        const auto row = [](const char *tag, const char *source, const char *output, const char *rate,
                             const char *channels, const char *codec, const char *bitrate, const char *levels) {
            QTest::newRow(tag) << QString::fromLatin1(source) << QString::fromLatin1(output)
                               << QString::fromLatin1(rate) << QString::fromLatin1(channels)
                               << QString::fromLatin1(codec) << QString::fromLatin1(bitrate)
                               << QString::fromLatin1(levels);
        };
        const char *stereo = "2 Channels Stereo";
        const char *surround = "5.1 Channels Surround";
        row("stereo to wav", "stereo48.ac3", "stereo48.wav", "48000 Hz", stereo, "pcm16le", "", "SS");
        row("stereo to mp3", "stereo48.ac3", "stereo48.mp3", "44100 Hz", stereo, "mp3", "128 kbps", "LL");
        row("padded 44.1 kHz to wav", "stereo44.ac3", "stereo44.wav", "44100 Hz", stereo, "pcm16le", "", "S-");
        row("mono to mp3", "mono32.ac3", "mono32.mp3", "32000 Hz", "1 Channel Mono", "mp3", "64 kbps", "L");
        row("mono to stereo wav", "mono32.ac3", "mono32.wav", "32000 Hz", stereo, "pcm16le", "", "L=");
        row("5.1 to wav", "full51.ac3", "full51.wav", "48000 Hz", surround, "pcm16le", "", "SSSSSS");
        row("5.1 centre to stereo", "centre51at44.ac3", "centre.wav", "44100 Hz", stereo, "pcm16le", "", "L=");
        row("5.1 left surround to stereo", "surround51.ac3", "surround.wav", "48000 Hz", stereo, "pcm16le", "", "L-");
        row("5.1 to stereo mp3", "full51.ac3", "full51.mp3", "44100 Hz", stereo, "mp3", "192 kbps", "LL");
        row("avi 5.1 to wav", "full51.avi", "avi51.wav", "48000 Hz", surround, "pcm16le", "", "SSSSSS");
        row("avi 5.1 to stereo mp3", "full51.avi", "avi51.mp3", "48000 Hz", stereo, "mp3", "128 kbps", "LL");
        row("avi with video to wav", "stereo48video.avi", "video.wav", "48000 Hz", stereo, "pcm16le", "", "SS");
        row("avi with video to mp3", "stereo48video.avi", "video.mp3", "44100 Hz", stereo, "mp3", "128 kbps", "LL");
        row("changing bit rate to wav", "changing.ac3", "changing.wav", "48000 Hz", stereo, "pcm16le", "", "L=");
    }
    void conversions()
    {
        QFETCH(QString, source);
        QFETCH(QString, output);
        QFETCH(QString, rate);
        QFETCH(QString, channels);
        QFETCH(QString, codec);
        QFETCH(QString, bitrate);
        QFETCH(QString, levels);

        const Ac3 stream = m_streams.value(source);
        const QStringList arguments = programLine(path(source), path(output), rate.toLatin1().constData(),
            channels.toLatin1().constData(), codec.toLatin1().constData(), bitrate.toLatin1().constData());
        const Result result = run(arguments, kBoundMs);
        QVERIFY2(result.finished && result.exitCode == 0, qPrintable(arguments.join(u' ') + u'\n' + result.output));
        QVERIFY2(textFault(result).isEmpty(), qPrintable(textFault(result) + u'\n' + result.output));

        // The program asks for the probed length in whole seconds.
        const double wanted = std::floor(stream.seconds());
        const Media media = inspect(path(output));
        QVERIFY(media.ok);
        QCOMPARE(media.rate, rate.section(u' ', 0, 0).toInt());
        QCOMPARE(media.channels, levels.size());
        QVERIFY2(std::fabs(media.seconds - wanted) <= kLengthTolerance, qPrintable(QString::number(media.seconds)));
        if (output.endsWith(u".wav"_s))
            QCOMPARE(media.frames, qint64(wanted) * media.rate);

        const Media original = inspect(path(source));
        QVERIFY(original.ok);
        QCOMPARE(original.channels, stream.channels());
        const double equalTolerance = output.endsWith(u".wav"_s) ? 0.15 : 0.5;
        for (int c = 0; c < levels.size(); ++c) {
            const double rms = media.rms.at(c);
            const QString detail = u"channel %1 at %2 dB"_s.arg(c).arg(rms);
            switch (levels.at(c).toLatin1()) {
            case 'S':
                if (original.rms.at(c) < kSilentDb)
                    QVERIFY2(rms < kSilentDb, qPrintable(detail));
                else
                    QVERIFY2(std::fabs(rms - original.rms.at(c)) < equalTolerance,
                        qPrintable(detail + u" vs %1"_s.arg(original.rms.at(c))));
                break;
            case 'L':
                QVERIFY2(rms > -70, qPrintable(detail));
                break;
            case '=':
                QVERIFY2(rms > -70 && std::fabs(rms - media.rms.at(0)) < equalTolerance, qPrintable(detail));
                break;
            default:
                QVERIFY2(rms < kSilentDb, qPrintable(detail));
            }
        }
    }

    // -ss and -t typed by hand, to the sample: silence, then dither noise from 1.6 s on, so
    // the level of a cut tells where it began.
    void trims_data()
    {
        QTest::addColumn<QString>("container"); // ac3 or avi
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("length"); // empty: to the end
        QTest::addColumn<double>("seconds");
        QTest::addColumn<double>("loudPart"); // share of the cut after 1.6 s
        for (const char *container : { "ac3", "avi" }) {
            const auto row = [&](const char *what, const char *start, const char *length, double seconds, double loud) {
                QTest::addRow("%s, %s", container, what) << QString::fromLatin1(container) << QString::fromLatin1(start)
                                                         << QString::fromLatin1(length) << seconds << loud;
            };
            row("all quiet", "0.6", "1", 1.0, 0.0);
            row("across the change", "1.2", "1", 1.0, 0.6);
            row("time codes", "00:00:01.000", "00:00:01.5", 1.5, 0.9 / 1.5);
            row("all loud", "2", "1.5", 1.5, 1.0);
            row("to the end", "1", "", 3.8, 3.2 / 3.8);
        }
    }
    void trims()
    {
        QFETCH(QString, container);
        QFETCH(QString, start);
        QFETCH(QString, length);
        QFETCH(double, seconds);
        QFETCH(double, loudPart);

        // One bit rate throughout, as an AVI's audio header expects.
        const QString ac3 = path(u"step.ac3"_s);
        const QString input = path(u"step."_s + container);
        if (!QFileInfo::exists(ac3)) {
            QVERIFY(writeAc3(path(u"silent.part"_s), { 48000, 2, false, 50, 448, {} }));
            QVERIFY(writeAc3(path(u"noise.part"_s), { 48000, 2, false, 100, 448, { u"8"_s, u"8"_s } }));
            QFile silent(path(u"silent.part"_s));
            QFile noise(path(u"noise.part"_s));
            QFile step(ac3);
            QVERIFY(
                silent.open(QIODevice::ReadOnly) && noise.open(QIODevice::ReadOnly) && step.open(QIODevice::WriteOnly));
            step.write(silent.readAll() + noise.readAll());
        }
        if (!QFileInfo::exists(input))
            QVERIFY(make(u"filesrc location="_s + ac3 + u" ! ac3parse ! avimux ! filesink location=%1"_s, input));
        const double loudDb = inspect(path(u"noise.part"_s)).rms.at(0);

        QStringList options { u"-ss"_s, start };
        if (!length.isEmpty())
            options << u"-t"_s << length;
        const QString output = path(u"cut.wav"_s);
        const Result result = run(conversionArguments(input, output, options), kBoundMs);
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        QVERIFY2(textFault(result).isEmpty(), qPrintable(textFault(result) + u'\n' + result.output));
        const Media media = inspect(output);
        QCOMPARE(media.frames, qint64(std::lround(seconds * 48000)));
        if (loudPart == 0) {
            QVERIFY2(media.rms.at(0) < kSilentDb, qPrintable(QString::number(media.rms.at(0))));
        } else {
            // One frame (32 ms) off would move the level by 0.2 dB or more.
            const double expected = loudDb + 10 * std::log10(loudPart);
            QVERIFY2(std::fabs(media.rms.at(0) - expected) < 0.12,
                qPrintable(u"%1 dB, %2 expected"_s.arg(media.rms.at(0)).arg(expected)));
        }
    }

    // Damaged and false AC-3: what is there is converted, or the fitting error line comes,
    // quickly, with nothing under the output name.
    void damagedInputs_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<double>("seconds"); // of the conversion; 0: it fails
        QTest::addColumn<QString>("error"); // the error line's start; empty with seconds

        // full51.ac3 has frames of 1792 bytes (448 kbps), 32 ms each.
        QTest::newRow("cut inside a frame") << u"cut 36840"_s << 20 * 0.032 << QString();
        QTest::newRow("cut after a frame") << u"cut 35840"_s << 20 * 0.032 << QString();
        QTest::newRow("cut inside the first frame") << u"cut 300"_s << 0.0 << u"Error: Unsupported"_s;
        QTest::newRow("random bytes") << u"random"_s << 0.0 << u"Error: Unsupported"_s;
        QTest::newRow("a sync word, then random bytes") << u"sync"_s << 0.0 << u"Error: Unsupported"_s;
        // Sound headers, nonsense in the audio blocks of every third frame: the decoder
        // gets through them.
        QTest::newRow("damaged audio blocks") << u"blocks"_s << 3.2 << QString();
        // Nonsense headers in every third frame: the coding changes its channels on the
        // way, which the decoding cannot follow.
        QTest::newRow("damaged frame headers") << u"headers"_s << 0.0 << u"Error: Could not"_s;
    }
    void damagedInputs()
    {
        QFETCH(QString, damage);
        QFETCH(double, seconds);
        QFETCH(QString, error);

        QFile whole(path(u"full51.ac3"_s));
        QVERIFY(whole.open(QIODevice::ReadOnly));
        QByteArray data = whole.readAll();
        constexpr qsizetype kFrameBytes = 1792;
        QRandomGenerator random(7);
        const auto scramble = [&](qsizetype from, qsizetype to) {
            for (qsizetype i = from; i < to; ++i)
                data[i] = char(random.bounded(256));
        };
        if (damage.startsWith(u"cut "_s)) {
            data.truncate(damage.mid(4).toInt());
        } else if (damage == u"random"_s) {
            data.resize(40000);
            scramble(0, data.size());
        } else if (damage == u"sync"_s) {
            data.resize(40000);
            scramble(2, data.size());
        } else {
            // After syncinfo and the first bytes of bsi (5.1 with LFE: 12 bytes), or right
            // after syncinfo.
            const qsizetype keep = damage == u"blocks"_s ? 12 : 5;
            for (qsizetype frame = 1; (frame + 1) * kFrameBytes <= data.size(); frame += 3)
                scramble(frame * kFrameBytes + keep, (frame + 1) * kFrameBytes);
        }
        const QString input = path(u"damaged.ac3"_s);
        QFile file(input);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(data);
        file.close();

        const QString output = path(u"damaged.wav"_s);
        QFile::remove(output);
        const Result result = run(conversionArguments(input, output, {}), kBoundMs);
        QVERIFY(result.finished && !result.crashed);
        QVERIFY2(textFault(result).isEmpty(), qPrintable(textFault(result) + u'\n' + result.output));
        if (error.isEmpty()) {
            QVERIFY2(result.exitCode == 0, qPrintable(result.output));
            const Media media = inspect(output);
            QCOMPARE(media.channels, 6);
            QVERIFY2(std::fabs(media.seconds - seconds) < 0.001, qPrintable(QString::number(media.seconds)));
            QVERIFY2(std::fabs(durationLine(result.output) - seconds) < 0.011, qPrintable(result.output));
        } else {
            QVERIFY(result.exitCode != 0);
            QVERIFY2(result.output.contains(error), qPrintable(result.output));
            QVERIFY(!QFileInfo::exists(output));
        }
        QVERIFY(noLeftovers(m_dir.path()));
    }
};

QTEST_GUILESS_MAIN(TestSonmillAc3)
#include "tst_sonmillac3.moc"
