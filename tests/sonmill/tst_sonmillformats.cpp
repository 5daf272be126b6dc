// sonmill end to end: every encoder and container, every input format, trims, volume and
// channel mixing, each result decoded back by mediacheck.

#include "sonmillrun.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <utility>

using namespace Qt::StringLiterals;
using namespace SonmillRun;

namespace {

constexpr int kRate = 44100;
constexpr double kSourceSeconds = 4.0;
constexpr double kToneAmplitude = 0.5;
const double kToneDb = 20 * std::log10(kToneAmplitude / std::sqrt(2.0)); // -9.03 dBFS
constexpr double kLengthTolerance = 0.05; // seconds

double toneAt(qint64 frame, double frequency, double amplitude = kToneAmplitude)
{
    return amplitude * std::sin(2 * M_PI * frequency * double(frame) / kRate);
}

// A plain PCM WAV at 48 kHz, written byte by byte; padded says whether an odd-sized data
// chunk gets the pad byte that keeps chunks at even lengths.
QByteArray pcmWav(int bits, int channels, qint64 frames, bool padded)
{
    const int bytesPerSample = bits / 8;
    QByteArray data;
    for (qint64 f = 0; f < frames; ++f) {
        for (int c = 0; c < channels; ++c) {
            const auto value = qint32(std::lround(toneAt(f, 440 + 110 * c) * ((1 << (bits - 1)) - 1)));
            for (int b = 0; b < bytesPerSample; ++b)
                data.append(char((value >> (8 * b)) & 0xFF));
        }
    }
    auto le = [](quint32 value, int bytes) {
        QByteArray out;
        for (int b = 0; b < bytes; ++b)
            out.append(char((value >> (8 * b)) & 0xFF));
        return out;
    };
    const bool pad = padded && (data.size() & 1);
    QByteArray format = le(1, 2) + le(quint32(channels), 2) + le(48000, 4)
        + le(quint32(48000 * channels * bytesPerSample), 4) + le(quint32(channels * bytesPerSample), 2)
        + le(quint32(bits), 2);
    QByteArray body = "WAVEfmt " + le(16, 4) + format + "data" + le(quint32(data.size()), 4) + data;
    if (pad)
        body.append('\0');
    return "RIFF" + le(quint32(body.size()), 4) + body;
}

} // namespace

class TestSonmillFormats : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_stereo; // 4 s, 440 Hz at -9 dBFS in both channels
    QString m_impulses; // 4 s stereo silence with one-sample clicks at 1.0 s and 2.5 s

    QString path(const QString &name) const { return m_dir.filePath(name); }

    QString source(const QString &pipeline) const
    {
        return u"audiotestsrc num-buffers=%1 samplesperbuffer=1024 freq=440 volume=0.5 ! "
               "audio/x-raw,rate=44100,channels=2 ! "_s.replace(u"%1"_s, QString::number(int(3.0 * kRate / 1024)))
            + pipeline;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_stereo = path(u"tone.wav"_s);
        QVERIFY(
            writeWav(m_stereo, kRate, 2, qint64(kSourceSeconds * kRate), [](qint64 f, int) { return toneAt(f, 440); }));
        m_impulses = path(u"clicks.wav"_s);
        QVERIFY(writeWav(m_impulses, kRate, 2, qint64(kSourceSeconds * kRate),
            [](qint64 f, int) { return (f == qint64(1.0 * kRate) || f == qint64(2.5 * kRate)) ? 0.9 : 0.0; }));
    }

    // One source through every encoder and container the catalogue uses.
    void encoders_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("constantKbps"); // 0: not a constant bit rate
        QTest::addColumn<QString>("chain");

        const auto row = [](const char *tag, const char *name, const QStringList &options, int rate, int channels,
                             int kbps, const char *chain) {
            QTest::newRow(tag) << QString::fromLatin1(name) << options << rate << channels << kbps
                               << QString::fromLatin1(chain);
        };
        const QStringList trim = { u"-ss"_s, u"00:00:00.5"_s, u"-t"_s, u"3"_s };
        row("mp3", "out.mp3",
            trim
                + QStringList { u"-vol"_s, u"100"_s, u"-ar"_s, u"44100"_s, u"-acodec"_s, u"libmp3lame"_s, u"-ab"_s,
                    u"128k"_s, u"-qscale"_s, u"6"_s, u"-ac"_s, u"2"_s, u"-vn"_s },
            44100, 2, 128, "audio/mpeg,mpegversion=1,layer=3");
        row("mp3 mono 22.05 kHz", "mono.mp3",
            trim + QStringList { u"-ar"_s, u"22050"_s, u"-acodec"_s, u"mp3"_s, u"-ab"_s, u"64k"_s, u"-ac"_s, u"1"_s },
            22050, 1, 64, "layer=3");
        row("mp3 variable rate", "vbr.mp3", trim + QStringList { u"-acodec"_s, u"mp3"_s, u"-qscale"_s, u"2"_s }, 44100,
            2, 0, "layer=3");
        row("mp2", "out.mp2",
            trim + QStringList { u"-ar"_s, u"48000"_s, u"-acodec"_s, u"mp2"_s, u"-ab"_s, u"192k"_s, u"-ac"_s, u"2"_s },
            48000, 2, 192, "audio/mpeg,mpegversion=1,layer=2");
        row("vorbis", "out.ogg",
            trim + QStringList { u"-acodec"_s, u"vorbis"_s, u"-ab"_s, u"128k"_s, u"-ac"_s, u"2"_s }, 44100, 2, 0,
            "audio/x-vorbis");
        row("vorbis 5.1", "surround.ogg",
            trim + QStringList { u"-acodec"_s, u"vorbis"_s, u"-ab"_s, u"256k"_s, u"-ac"_s, u"6"_s }, 44100, 6, 0,
            "audio/x-vorbis");
        row("flac lossless line", "out.flac",
            trim + QStringList { u"-acodec"_s, u"copy"_s, u"-acodec"_s, u"flac"_s, u"-ac"_s, u"2"_s }, 44100, 2, 0,
            "audio/x-flac");
        row("flac 5.1 at 96 kHz", "surround.flac",
            trim + QStringList { u"-ar"_s, u"96000"_s, u"-acodec"_s, u"flac"_s, u"-ac"_s, u"6"_s }, 96000, 6, 0,
            "audio/x-flac");
        row("aac adts", "out.aac", trim + QStringList { u"-acodec"_s, u"aac"_s, u"-ab"_s, u"128k"_s, u"-ac"_s, u"2"_s },
            44100, 2, 128, "stream-format=adts");
        row("aac mpeg-4", "out.m4a",
            trim + QStringList { u"-ar"_s, u"32000"_s, u"-acodec"_s, u"aac"_s, u"-ab"_s, u"96k"_s, u"-ac"_s, u"1"_s },
            32000, 1, 96, "audio/x-m4a");
        row("wav", "out.wav", trim + QStringList { u"-ar"_s, u"22050"_s, u"-acodec"_s, u"pcm16le"_s, u"-ac"_s, u"1"_s },
            22050, 1, 22050 * 16 / 1000, "audio/x-wav");
        row("wav lossless line", "lossless.wav",
            trim + QStringList { u"-acodec"_s, u"copy"_s, u"-acodec"_s, u"pcm16le"_s, u"-ac"_s, u"2"_s }, 44100, 2,
            44100 * 32 / 1000, "audio/x-wav");
        row("aiff", "out.aiff", trim + QStringList { u"-acodec"_s, u"pcm16be"_s, u"-ac"_s, u"2"_s }, 44100, 2,
            44100 * 32 / 1000, "audio/x-aiff");
        row("au", "out.au", trim + QStringList { u"-ar"_s, u"8000"_s, u"-acodec"_s, u"pcm16be"_s, u"-ac"_s, u"1"_s },
            8000, 1, 128, "audio/x-au");
    }
    void encoders()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, options);
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(int, constantKbps);
        QFETCH(QString, chain);

        const QString output = path(name);
        const Result result = run(conversionArguments(m_stereo, output, options));
        QVERIFY2(result.finished && result.exitCode == 0, qPrintable(result.output));
        QCOMPARE(result.output.count(u"global"_s), 1);

        const Media media = inspect(output);
        QVERIFY2(media.ok, qPrintable(output));
        QVERIFY2(media.chain.contains(chain), qPrintable(media.chain));
        QCOMPARE(media.rate, rate);
        QCOMPARE(media.channels, channels);
        QVERIFY2(std::fabs(media.seconds - 3.0) <= kLengthTolerance, qPrintable(QString::number(media.seconds)));
        // The tone keeps its level (lossy coding may take a little off a pure sine).
        QVERIFY2(std::fabs(media.rms.at(0) - kToneDb) < 1.0, qPrintable(QString::number(media.rms.at(0))));
        if (channels == 6) {
            // Stereo spread over 5.1: fronts carry it, the rest stay silent.
            QVERIFY(std::fabs(media.rms.at(1) - kToneDb) < 1.0);
            for (int c = 2; c < 6; ++c)
                QVERIFY2(media.rms.at(c) < -60, qPrintable(QString::number(media.rms.at(c))));
        }
        if (constantKbps > 0) {
            const double kbps = QFileInfo(output).size() * 8.0 / 1000.0 / 3.0;
            const double tolerance = chain.contains(u"adts") || chain.contains(u"m4a") ? 0.10 : 0.03;
            QVERIFY2(std::fabs(kbps - constantKbps) <= constantKbps * tolerance, qPrintable(QString::number(kbps)));
        }
    }

    // Everything the program accepts as a source, made here and converted to WAV.
    void inputs_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("pipeline"); // gst-launch description; %1 is the file; empty: sonmill makes it
        QTest::addColumn<QStringList>("sonmillOptions");

        const auto row = [](const char *tag, const char *name, const char *pipeline) {
            QTest::newRow(tag) << QString::fromLatin1(name) << QString::fromLatin1(pipeline) << QStringList();
        };
        const auto ours = [](const char *tag, const char *name, const QStringList &options) {
            QTest::newRow(tag) << QString::fromLatin1(name) << QString() << options;
        };
        row("wav", "in.wav", "wavenc ! filesink location=%1");
        row("flac", "in.flac", "flacenc ! filesink location=%1");
        row("ogg vorbis", "in.ogg", "audioconvert ! vorbisenc ! oggmux ! filesink location=%1");
        row("opus", "in.opus", "audioresample ! audio/x-raw,rate=48000 ! opusenc ! oggmux ! filesink location=%1");
        row("mp3 constant rate", "cbr.mp3", "lamemp3enc target=bitrate bitrate=128 cbr=true ! filesink location=%1");
        row("mp3 variable, no header", "vbr.mp3", "lamemp3enc target=quality quality=2 ! filesink location=%1");
        row("mp3 with id3", "tagged.mp3", "lamemp3enc ! taginject tags=\"title=x\" ! id3v2mux ! filesink location=%1");
        row("mp2", "in.mp2", "twolamemp2enc ! filesink location=%1");
        row("wavpack", "in.wv", "wavpackenc ! filesink location=%1");
        row("matroska vorbis", "vorbis.mkv", "audioconvert ! vorbisenc ! matroskamux ! filesink location=%1");
        row("matroska opus", "opus.mkv",
            "audioresample ! audio/x-raw,rate=48000 ! opusenc ! matroskamux ! filesink location=%1");
        row("matroska mp3", "mp3.mkv", "lamemp3enc ! mpegaudioparse ! matroskamux ! filesink location=%1");
        row("webm vorbis", "vorbis.webm", "audioconvert ! vorbisenc ! webmmux ! filesink location=%1");
        row("webm opus", "opus.webm",
            "audioresample ! audio/x-raw,rate=48000 ! opusenc ! webmmux ! filesink location=%1");
        row("avi pcm", "pcm.avi", "avimux ! filesink location=%1");
        row("avi mp3", "mp3.avi", "lamemp3enc ! mpegaudioparse ! avimux ! filesink location=%1");
        row("flv mp3", "mp3.flv",
            "audioresample ! audio/x-raw,rate=44100 ! lamemp3enc ! mpegaudioparse ! flvmux ! "
            "filesink location=%1");
        ours("aiff", "in.aiff", { u"-acodec"_s, u"pcm16be"_s });
        // Made by libsndfile itself: formats only our libsndfile reader decodes.
        row("aiff 24-bit", "in24.aif", "sndfile");
        row("aiff-c little-endian", "in.aifc", "sndfile");
        row("caf", "in.caf", "sndfile");
        row("wave64", "in.w64", "sndfile");
        ours("au", "in.au", { u"-acodec"_s, u"pcm16be"_s });
        ours("aac adts", "in.aac", { u"-acodec"_s, u"aac"_s, u"-ab"_s, u"128k"_s });
        ours("aac mpeg-4", "in.m4a", { u"-acodec"_s, u"aac"_s, u"-ab"_s, u"128k"_s });
        // No AAC encoder in the allowed plugin sets: sonmill's own stream, put into the containers.
        row("flv aac", "aac.flv", "aac:flvmux");
        row("matroska aac", "aac.mkv", "aac:matroskamux");
    }
    void inputs()
    {
        QFETCH(QString, name);
        QFETCH(QString, pipeline);
        QFETCH(QStringList, sonmillOptions);

        const QString input = path(name);
        if (pipeline.startsWith(u"aac:")) {
            const QString adts = path(u"for-muxing.aac"_s);
            QVERIFY(
                run(conversionArguments(m_stereo, adts, { u"-t"_s, u"3"_s, u"-acodec"_s, u"aac"_s })).exitCode == 0);
            QVERIFY(make(
                u"filesrc location="_s + adts + u" ! aacparse ! "_s + pipeline.mid(4) + u" ! filesink location=%1"_s,
                input));
        } else if (pipeline == u"sndfile") {
            QProcess maker;
            maker.start(QCoreApplication::applicationDirPath() + u"/sndfilemake"_s, { m_stereo, input });
            QVERIFY(maker.waitForFinished(30000) && maker.exitCode() == 0);
        } else if (pipeline.isEmpty()) {
            const Result made
                = run(conversionArguments(m_stereo, input, QStringList { u"-t"_s, u"3"_s } + sonmillOptions));
            QVERIFY2(made.exitCode == 0, qPrintable(made.output));
        } else {
            QVERIFY(make(source(pipeline), input));
        }
        const Media original = inspect(input);
        QVERIFY2(original.ok, qPrintable(name));

        const QString output = path(name + u".wav"_s);
        const Result result = run(conversionArguments(input, output, {}));
        QVERIFY2(result.finished && result.exitCode == 0, qPrintable(result.output));
        QCOMPARE(result.output.count(u"global"_s), 1);
        // The length on the Duration line is the real one, also where the file does not say.
        const double announced = durationLine(result.output);
        QVERIFY2(std::fabs(announced - original.seconds) <= kLengthTolerance, qPrintable(result.output));

        const Media converted = inspect(output);
        QVERIFY(converted.ok);
        QCOMPARE(converted.rate, original.rate);
        QCOMPARE(converted.channels, original.channels);
        QVERIFY2(std::fabs(converted.seconds - original.seconds) <= kLengthTolerance,
            qPrintable(u"%1 vs %2"_s.arg(converted.seconds).arg(original.seconds)));
        QVERIFY2(std::fabs(converted.rms.at(0) - original.rms.at(0)) < 0.2,
            qPrintable(QString::number(converted.rms.at(0))));
    }

    // The audio of a file with a video stream; a video without audio is refused.
    void videoFiles()
    {
        const QString both = path(u"both.avi"_s);
        QVERIFY(make(u"avimux name=mux ! filesink location=%1 "
                     "videotestsrc num-buffers=60 ! video/x-raw,width=64,height=48,framerate=20/1 ! jpegenc ! mux. "_s
                + source(u"lamemp3enc ! mpegaudioparse ! mux."_s),
            both));
        const Result result = run(conversionArguments(both, path(u"both.mp3"_s), { u"-vn"_s }));
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        QVERIFY(std::fabs(inspect(path(u"both.mp3"_s)).seconds - 3.0) < 0.1);

        const QString silent = path(u"silent.avi"_s);
        QVERIFY(make(u"videotestsrc num-buffers=20 ! video/x-raw,width=64,height=48 ! jpegenc ! avimux ! "
                     "filesink location=%1"_s,
            silent));
        const Result refused = run(conversionArguments(silent, path(u"silent.mp3"_s), {}));
        QVERIFY(refused.exitCode != 0);
        QVERIFY2(refused.output.contains(u"Error: Unsupported"_s), qPrintable(refused.output));
        QVERIFY(!QFileInfo::exists(path(u"silent.mp3"_s)));
    }

    // Video and no audio, in each container whose reader decodebin can plug while the
    // reader's error gets lost (its streaming thread fails before the plugging is done): every
    // probe is refused at once, many times over, three at a time, never after the stall limit.
    void videoOnlyRefusedAtOnce_data()
    {
        QTest::addColumn<QString>("muxer");
        QTest::addColumn<QString>("name");
        QTest::newRow("avi") << u"avimux"_s << u"video-only.avi"_s;
        QTest::newRow("matroska") << u"matroskamux"_s << u"video-only.mkv"_s;
        QTest::newRow("quicktime") << u"qtmux"_s << u"video-only.mov"_s;
    }
    void videoOnlyRefusedAtOnce()
    {
        QFETCH(QString, muxer);
        QFETCH(QString, name);
        const QString input = path(name);
        QVERIFY(make(u"videotestsrc num-buffers=20 ! video/x-raw,width=64,height=48 ! jpegenc ! "_s + muxer
                + u" ! filesink location=%1"_s,
            input));
        const QString failure = probeRefusals(input, m_dir.path(), 30);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QVERIFY(noLeftovers(m_dir.path()));
    }

    // -ss and -t cut to the sample: the clicks land exactly where they should.
    void trims_data()
    {
        QTest::addColumn<QString>("inputName"); // made from the clicks by sonmill (WAV: the clicks themselves)
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("length");
        QTest::addColumn<qint64>("frames");
        QTest::addColumn<qint64>("clickAt");
        QTest::addColumn<qint64>("tolerance"); // frames
        QTest::newRow("wav, seconds") << u"clicks.wav"_s << u"0.5"_s << u"2"_s << qint64(88200) << qint64(22050)
                                      << qint64(0);
        QTest::newRow("wav, time codes") << u"clicks.wav"_s << u"00:00:01.5"_s << u"00:00:01.5"_s << qint64(66150)
                                         << qint64(44100) << qint64(0);
        QTest::newRow("wav, rest of file")
            << u"clicks.wav"_s << u"2"_s << QString() << qint64(88200) << qint64(22050) << qint64(0);
        QTest::newRow("flac") << u"clicks.flac"_s << u"0.75"_s << u"2"_s << qint64(88200) << qint64(11025) << qint64(0);
        QTest::newRow("aiff") << u"clicks.aiff"_s << u"0.75"_s << u"2"_s << qint64(88200) << qint64(11025) << qint64(0);
        QTest::newRow("mp3") << u"clicks.mp3"_s << u"0.5"_s << u"2"_s << qint64(88200) << qint64(22050) << qint64(2);
        QTest::newRow("m4a") << u"clicks.m4a"_s << u"0.75"_s << u"2"_s << qint64(88200) << qint64(11025) << qint64(2);
        // A bare AAC stream cannot tell its decoder the encoder's delay: the trim is still
        // exact, the audio comes that delay (576 samples past the frame faad2 drops) late.
        QTest::newRow("aac") << u"clicks.aac"_s << u"0.25"_s << u"2"_s << qint64(88200) << qint64(33075 + 576)
                             << qint64(2);
    }
    void trims()
    {
        QFETCH(QString, inputName);
        QFETCH(QString, start);
        QFETCH(QString, length);
        QFETCH(qint64, frames);
        QFETCH(qint64, clickAt);
        QFETCH(qint64, tolerance);

        const QString input = path(inputName);
        if (!QFileInfo::exists(input)) {
            const Result made = run(conversionArguments(m_impulses, input, { u"-ab"_s, u"320k"_s }));
            QVERIFY2(made.exitCode == 0, qPrintable(made.output));
        }
        QStringList options { u"-ss"_s, start };
        if (!length.isEmpty())
            options << u"-t"_s << length;
        const QString output = path(u"trim.wav"_s);
        const Result result = run(conversionArguments(input, output, options));
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        const Media media = inspect(output);
        QCOMPARE(media.frames, frames);
        QVERIFY2(
            std::abs(media.peakFrame.at(0) - clickAt) <= tolerance, qPrintable(QString::number(media.peakFrame.at(0))));
    }

    void volume_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("tolerance");
        QTest::newRow("wav") << u"vol.wav"_s << 0.05;
        QTest::newRow("mp3") << u"vol.mp3"_s << 0.5;
        QTest::newRow("m4a") << u"vol.m4a"_s << 0.5;
    }
    void volume()
    {
        QFETCH(QString, name);
        QFETCH(double, tolerance);
        const QString output = path(name);
        QVERIFY(run(conversionArguments(m_stereo, output, { u"-vol"_s, u"100"_s })).exitCode == 0);
        const double full = inspect(output).rms.at(0);
        QVERIFY(run(conversionArguments(m_stereo, output, { u"-vol"_s, u"50"_s })).exitCode == 0);
        const double half = inspect(output).rms.at(0);
        QVERIFY2(std::fabs(half - full + 6.02) <= tolerance, qPrintable(u"%1 %2"_s.arg(full).arg(half)));

        QVERIFY(run(conversionArguments(m_stereo, output, { u"-vol"_s, u"0"_s })).exitCode == 0);
        QVERIFY(inspect(output).peak.at(0) < 0.001);
    }

    // Four times a tone at half scale: flattened at full scale, never wrapped round.
    void loudVolumeClips()
    {
        const QString output = path(u"loud.wav"_s);
        QVERIFY(run(conversionArguments(m_stereo, output, { u"-vol"_s, u"400"_s })).exitCode == 0);
        const Media media = inspect(output);
        QVERIFY(media.peak.at(0) <= 1.0);
        QVERIFY(media.peak.at(0) > 0.99);
        // A sine at twice full scale, clipped, is two thirds flat top (-1.1 dBFS);
        // wrapped-round samples would pull it far below.
        QVERIFY2(media.rms.at(0) > -1.5, qPrintable(QString::number(media.rms.at(0))));
    }

    void channelMixing()
    {
        const double amplitude = 0.5;
        // Mono to stereo: the same signal at the same level on both sides.
        const QString mono = path(u"mono.wav"_s);
        QVERIFY(writeWav(mono, kRate, 1, kRate, [](qint64 f, int) { return toneAt(f, 1000); }));
        QVERIFY(run(conversionArguments(mono, path(u"dual.wav"_s), { u"-ac"_s, u"2"_s })).exitCode == 0);
        Media media = inspect(path(u"dual.wav"_s));
        QCOMPARE(media.channels, 2);
        QVERIFY(std::fabs(media.rms.at(0) - kToneDb) < 0.05);
        QVERIFY(std::fabs(media.rms.at(1) - kToneDb) < 0.05);

        // 5.1 to stereo: a centre tone lands on both sides at -3 dB (before the common
        // scaling), a left-surround tone on the left only.
        const QString surround = path(u"surround.wav"_s);
        QVERIFY(writeWav(
            surround, kRate, 6, kRate,
            [&](qint64 f, int c) {
                return c == 2 ? toneAt(f, 500, amplitude) : c == 4 ? toneAt(f, 700, amplitude) : 0.0;
            },
            0x3F));
        QVERIFY(run(conversionArguments(surround, path(u"folded.wav"_s), { u"-ac"_s, u"2"_s })).exitCode == 0);
        media = inspect(path(u"folded.wav"_s));
        QCOMPARE(media.channels, 2);
        const double scale = 1.0 / (1.0 + 2 * std::sqrt(0.5));
        const double centreDb = kToneDb + 20 * std::log10(std::sqrt(0.5) * scale);
        const double leftDb = 10 * std::log10(2 * std::pow(10, centreDb / 10)); // centre and surround, equal power
        QVERIFY2(std::fabs(media.rms.at(0) - leftDb) < 0.1, qPrintable(QString::number(media.rms.at(0))));
        QVERIFY2(std::fabs(media.rms.at(1) - centreDb) < 0.1, qPrintable(QString::number(media.rms.at(1))));

        // Stereo to mono: the average of the two sides.
        const QString pair = path(u"pair.wav"_s);
        QVERIFY(writeWav(pair, kRate, 2, kRate, [](qint64 f, int c) { return c == 0 ? toneAt(f, 1000) : 0.0; }));
        QVERIFY(run(conversionArguments(pair, path(u"single.wav"_s), { u"-ac"_s, u"1"_s })).exitCode == 0);
        media = inspect(path(u"single.wav"_s));
        QCOMPARE(media.channels, 1);
        QVERIFY(std::fabs(media.rms.at(0) - (kToneDb - 6.02)) < 0.05);
    }

    // Lossless outputs give back every sample of the input, at the input's resolution.
    void losslessKeepsEverySample_data()
    {
        QTest::addColumn<QString>("format"); // the source's sample format
        QTest::addColumn<QString>("output");
        QTest::addColumn<QStringList>("options");
        const QStringList losslessFlac = { u"-acodec"_s, u"copy"_s, u"-acodec"_s, u"flac"_s, u"-ac"_s, u"2"_s };
        const QStringList copy = { u"-acodec"_s, u"copy"_s };
        QTest::newRow("16-bit to flac") << u"S16LE"_s << u"s16.flac"_s << losslessFlac;
        QTest::newRow("16-bit to wav") << u"S16LE"_s << u"s16.wav"_s
                                       << QStringList { u"-acodec"_s, u"copy"_s, u"-acodec"_s, u"pcm16le"_s };
        QTest::newRow("16-bit to aiff") << u"S16LE"_s << u"s16.aiff"_s << QStringList { u"-acodec"_s, u"pcm16be"_s };
        QTest::newRow("16-bit to au") << u"S16LE"_s << u"s16.au"_s << QStringList { u"-acodec"_s, u"pcm16be"_s };
        QTest::newRow("24-bit to flac") << u"S24LE"_s << u"s24.flac"_s << losslessFlac;
        QTest::newRow("24-bit copied to wav") << u"S24LE"_s << u"s24.wav"_s << copy;
        QTest::newRow("24-bit copied to aiff") << u"S24LE"_s << u"s24.aiff"_s << copy;
        QTest::newRow("24-bit copied to au") << u"S24LE"_s << u"s24.au"_s << copy;
        QTest::newRow("float copied to wav") << u"F32LE"_s << u"f32.wav"_s << copy;
        // The lossless WAV profile's line names its 16-bit encoder after "copy": the samples
        // still keep their size (or float), and the rate stays the input's 48 kHz.
        const QStringList losslessWav = { u"-acodec"_s, u"copy"_s, u"-acodec"_s, u"pcm16le"_s, u"-ac"_s, u"2"_s };
        QTest::newRow("24-bit to wav, lossless line") << u"S24LE"_s << u"line24.wav"_s << losslessWav;
        QTest::newRow("float to wav, lossless line") << u"F32LE"_s << u"linef32.wav"_s << losslessWav;
        QTest::newRow("24-bit to aiff, lossless line")
            << u"S24LE"_s << u"line24.aiff"_s
            << QStringList { u"-acodec"_s, u"copy"_s, u"-acodec"_s, u"pcm16be"_s, u"-ac"_s, u"2"_s };
        // Through libsndfile's formats (read by our own element) as well.
        QTest::newRow("24-bit aiff to flac") << u"S24LE:aif"_s << u"aif24.flac"_s << losslessFlac;
        QTest::newRow("16-bit caf to wav") << u"S16LE:caf"_s << u"caf16.wav"_s << copy;
    }
    void losslessKeepsEverySample()
    {
        QFETCH(QString, format);
        QFETCH(QString, output);
        QFETCH(QStringList, options);
        const QString sampleFormat = format.section(u':', 0, 0);
        const QString container = format.section(u':', 1);
        QString input = path(u"lossless-"_s + sampleFormat + u".wav"_s);
        if (!QFileInfo::exists(input))
            QVERIFY(make(u"audiotestsrc wave=pink-noise num-buffers=100 ! audio/x-raw,format="_s + sampleFormat
                    + u",rate=48000,channels=2 ! wavenc ! filesink location=%1"_s,
                input));
        if (!container.isEmpty()) {
            const QString rewritten = path(u"lossless-"_s + sampleFormat + u"."_s + container);
            QProcess maker;
            maker.start(QCoreApplication::applicationDirPath() + u"/sndfilemake"_s, { input, rewritten });
            QVERIFY(maker.waitForFinished(30000) && maker.exitCode() == 0);
            input = rewritten;
        }
        const Result result = run(conversionArguments(input, path(output), options));
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        const Media original = inspect(input);
        const Media converted = inspect(path(output));
        QCOMPARE(converted.frames, original.frames);
        QCOMPARE(converted.rate, original.rate);
        QCOMPARE(converted.digest, original.digest);
    }

    // 16-bit input reaches FLAC as integers when nothing changes it and through float
    // otherwise; either way the FLAC holds the very samples a 16-bit WAV made by the same
    // line holds, trimmed, mixed or resampled alike.
    void sixteenBitFlacMatchesSixteenBitWav_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<QStringList>("options");
        QTest::newRow("stereo as it is") << 2 << QStringList();
        QTest::newRow("mono as it is") << 1 << QStringList();
        QTest::newRow("5.1 as it is") << 6 << QStringList();
        QTest::newRow("stereo trimmed") << 2 << QStringList { u"-ss"_s, u"00:00:00.3"_s, u"-t"_s, u"00:00:01.1"_s };
        QTest::newRow("stereo resampled") << 2 << QStringList { u"-ar"_s, u"44100"_s };
        QTest::newRow("stereo made mono") << 2 << QStringList { u"-ac"_s, u"1"_s };
        QTest::newRow("stereo louder") << 2 << QStringList { u"-vol"_s, u"150"_s };
    }
    void sixteenBitFlacMatchesSixteenBitWav()
    {
        QFETCH(int, channels);
        QFETCH(QStringList, options);
        const QString input = path(u"sixteen-%1.wav"_s.arg(channels));
        if (!QFileInfo::exists(input))
            QVERIFY(make(
                u"audiotestsrc wave=pink-noise volume=0.9 num-buffers=100 ! audio/x-raw,format=S16LE,rate=48000,channels="_s
                    + QString::number(channels) + u" ! wavenc ! filesink location=%1"_s,
                input));
        const QString flac = path(u"sixteen.flac"_s);
        const QString wav = path(u"sixteen-out.wav"_s);
        for (const auto &[output, codec] : { std::pair { flac, u"flac"_s }, std::pair { wav, u"pcm16le"_s } }) {
            const Result result
                = run(conversionArguments(input, output, options + QStringList { u"-acodec"_s, codec }));
            QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        }
        const Media fromFlac = inspect(flac);
        const Media fromWav = inspect(wav);
        QVERIFY(fromFlac.frames > 0);
        QCOMPARE(fromFlac.channels, fromWav.channels);
        QCOMPARE(fromFlac.frames, fromWav.frames);
        QCOMPARE(fromFlac.digest, fromWav.digest);
        if (options.isEmpty())
            QCOMPARE(fromFlac.digest, inspect(input).digest);
    }

    // WAV files whose chunks do not end where the file does: the pad byte after an odd-sized
    // data chunk (24-bit mono with an odd number of frames), a few stray bytes after the last
    // chunk. They are read as the chunks that parse, every sample of them.
    void wavWithBytesAfterItsChunks_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("channels");
        QTest::addColumn<qint64>("frames");
        QTest::addColumn<int>("stray");
        QTest::newRow("pad byte, 24-bit mono") << 24 << 1 << qint64(48001) << 0;
        QTest::newRow("pad byte and 5 stray bytes") << 24 << 1 << qint64(48001) << 5;
        for (int stray : { 1, 3, 7, 8, 16 })
            QTest::addRow("%d stray bytes", stray) << 16 << 2 << qint64(48000) << stray;
    }
    void wavWithBytesAfterItsChunks()
    {
        QFETCH(int, bits);
        QFETCH(int, channels);
        QFETCH(qint64, frames);
        QFETCH(int, stray);
        const QString clean = path(u"chunks-clean.wav"_s);
        const QString input = path(u"chunks-stray.wav"_s);
        for (const auto &[file, bytes] : { std::pair { clean, pcmWav(bits, channels, frames, false) },
                 std::pair {
                     input, QByteArray(pcmWav(bits, channels, frames, true) + QByteArray(stray, char(0xA5))) } }) {
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(bytes) == bytes.size());
        }

        const Result probe
            = run({ u"qzv"_s, u"-y"_s, u"-i"_s, input, u"-t"_s, u"0.001"_s, path(u"chunks-probe.wav"_s) });
        QVERIFY2(probe.exitCode == 0, qPrintable(probe.output));
        QVERIFY2(std::fabs(durationLine(probe.output) - double(frames) / 48000) < 0.01, qPrintable(probe.output));
        const QString output = path(u"chunks-out.wav"_s);
        const Result result = run(conversionArguments(input, output, { u"-acodec"_s, u"copy"_s }));
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        const Media converted = inspect(output);
        QCOMPARE(converted.frames, frames);
        QCOMPARE(converted.digest, inspect(clean).digest);
    }

    // "copy" of a coded stream into a file of its own coding: the very same audio, whatever
    // bit rate was asked for; a range is cut to the frame.
    void streamCopy_data()
    {
        QTest::addColumn<QString>("pipeline"); // makes the input; empty: sonmill's own M4A
        QTest::addColumn<QString>("inputName");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QStringList>("range");
        QTest::addColumn<bool>("sameAudio"); // decodes to the same samples as the input
        QTest::addColumn<QString>("chain");
        const QString mp3 = u"lamemp3enc ! mpegaudioparse ! matroskamux ! filesink location=%1"_s;
        QTest::newRow("mp3 out of matroska")
            << mp3 << u"copy.mkv"_s << u"copied.mp3"_s << QStringList() << true << u"layer=3"_s;
        // From a bare MP3, so the copied frames can be found byte for byte in the input.
        QTest::newRow("mp3, a range") << u"lamemp3enc target=bitrate bitrate=128 cbr=true ! filesink location=%1"_s
                                      << u"copy.mp3"_s << u"cut.mp3"_s
                                      << QStringList { u"-ss"_s, u"1"_s, u"-t"_s, u"1.5"_s } << false << u"layer=3"_s;
        QTest::newRow("aac, a range") << QString() << u"copy.m4a"_s << u"cut.aac"_s
                                      << QStringList { u"-ss"_s, u"1"_s, u"-t"_s, u"1.5"_s } << false
                                      << u"stream-format=adts"_s;
        QTest::newRow("vorbis out of webm")
            << u"audioconvert ! vorbisenc ! webmmux ! filesink location=%1"_s << u"copy.webm"_s << u"copied.ogg"_s
            << QStringList() << true << u"audio/x-vorbis"_s;
        QTest::newRow("aac out of mpeg-4")
            << QString() << u"copy.m4a"_s << u"copied.aac"_s << QStringList() << false << u"stream-format=adts"_s;
        QTest::newRow("aac into mpeg-4") << QString() << u"copy.m4a"_s << u"copied.m4a"_s << QStringList() << false
                                         << u"mpegversion=4,stream-format=raw"_s;
    }
    void streamCopy()
    {
        QFETCH(QString, pipeline);
        QFETCH(QString, inputName);
        QFETCH(QString, output);
        QFETCH(QStringList, range);
        QFETCH(bool, sameAudio);
        QFETCH(QString, chain);
        const QString input = path(inputName);
        if (!QFileInfo::exists(input)) {
            if (pipeline.isEmpty())
                QVERIFY(
                    run(conversionArguments(m_stereo, input, { u"-acodec"_s, u"aac"_s, u"-ab"_s, u"128k"_s })).exitCode
                    == 0);
            else
                QVERIFY(make(source(pipeline), input));
        }
        // A re-encode would follow -ab; a copy keeps the input's bit rate.
        const Result result = run(conversionArguments(
            input, path(output), range + QStringList { u"-acodec"_s, u"copy"_s, u"-ab"_s, u"32k"_s }));
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        const Media original = inspect(input);
        const Media copied = inspect(path(output));
        QVERIFY2(copied.chain.contains(chain), qPrintable(copied.chain));
        if (sameAudio) {
            QCOMPARE(copied.digest, original.digest);
        } else if (output.endsWith(u".mp3"_s)) {
            QFile in(input);
            QFile out(path(output));
            QVERIFY(in.open(QIODevice::ReadOnly) && out.open(QIODevice::ReadOnly));
            const QByteArray frames = out.readAll();
            QVERIFY(frames.size() > 10000);
            QVERIFY(in.readAll().contains(frames));
        } else {
            // AAC decodes with its own priming in each container; its bit rate tells.
            const double kbps = QFileInfo(path(output)).size() * 8.0 / 1000.0 / copied.seconds;
            QVERIFY2(kbps > 100, qPrintable(QString::number(kbps)));
        }
        if (range.isEmpty())
            QVERIFY(std::fabs(copied.seconds - original.seconds) < 0.05);
        else
            // To the frame: 26 ms for MP3, 23 ms for AAC, which also drops its run-in frame.
            QVERIFY2(std::fabs(copied.seconds - 1.5) <= 0.05, qPrintable(QString::number(copied.seconds)));
    }

    // A coding the output cannot hold is encoded with the output's own encoder.
    void copyIntoAnotherCodingEncodes()
    {
        const QString input = path(u"copy-source.mp3"_s);
        QVERIFY(make(source(u"lamemp3enc ! filesink location=%1"_s), input));
        const Result result = run(conversionArguments(input, path(u"recoded.ogg"_s), { u"-acodec"_s, u"copy"_s }));
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        QVERIFY(inspect(path(u"recoded.ogg"_s)).chain.contains(u"audio/x-vorbis"_s));
    }

    // 44.1 to 48 kHz keeps the pitch and the level: the tone's peak stays in place.
    void resampling()
    {
        const QString output = path(u"48k.wav"_s);
        QVERIFY(run(conversionArguments(m_impulses, output, { u"-ar"_s, u"48000"_s })).exitCode == 0);
        const Media media = inspect(output);
        QCOMPARE(media.rate, 48000);
        QVERIFY(std::abs(media.frames - qint64(kSourceSeconds * 48000)) <= 1);
        QVERIFY2(std::abs(media.peakFrame.at(0) - 48000) <= 2, qPrintable(QString::number(media.peakFrame.at(0))));
    }
};

QTEST_GUILESS_MAIN(TestSonmillFormats)
#include "tst_sonmillformats.moc"
