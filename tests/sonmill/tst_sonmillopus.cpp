// Opus output judged by the reference decoder (opusdec of opus-tools), not ours: exact
// lengths at the source's rate, the channel layouts, tracks that join without a gap, and
// loudness kept the Opus way (R128 gains, a header gain of 0, no ReplayGain field).

#include "loudnesscheck.h"
#include "sonmillrun.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <ebur128.h>

#include <cmath>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;
using namespace SonmillRun;

namespace {

const QString kOpusdec = u"/usr/bin/opusdec"_s;
const QString kPython = u"/usr/bin/python3"_s;

// Interleaved samples of a WAV file (16-bit or 32-bit float PCM, plain or extensible).
struct Wav
{
    bool ok = false;
    int rate = 0;
    int channels = 0;
    std::vector<float> samples;
    qint64 frames() const { return channels ? qint64(samples.size()) / channels : 0; }
    float at(qint64 frame, int channel) const { return samples[std::size_t(frame * channels + channel)]; }
};

Wav readWav(const QString &path)
{
    Wav wav;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return wav;
    const QByteArray bytes = file.readAll();
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE")
        return wav;
    int bits = 0;
    int format = 0;
    qsizetype at = 12;
    while (at + 8 <= bytes.size()) {
        const QByteArray id = bytes.mid(at, 4);
        const quint32 size = qFromLittleEndian<quint32>(bytes.constData() + at + 4);
        const qsizetype body = at + 8;
        if (id == "fmt ") {
            format = qFromLittleEndian<quint16>(bytes.constData() + body);
            wav.channels = qFromLittleEndian<quint16>(bytes.constData() + body + 2);
            wav.rate = int(qFromLittleEndian<quint32>(bytes.constData() + body + 4));
            bits = qFromLittleEndian<quint16>(bytes.constData() + body + 14);
            if (format == 0xFFFE) // extensible: the sub-format's first two bytes say which
                format = qFromLittleEndian<quint16>(bytes.constData() + body + 24);
        } else if (id == "data") {
            // A decoder writing to a pipe leaves the size open: the rest of the file.
            const qsizetype length = std::min<qsizetype>(size, bytes.size() - body);
            const qsizetype width = bits / 8;
            if (wav.channels <= 0 || width <= 0)
                return wav;
            for (qsizetype i = 0; i + width <= length; i += width) {
                const char *p = bytes.constData() + body + i;
                if (format == 3 && bits == 32)
                    wav.samples.push_back(qFromLittleEndian<float>(p));
                else if (format == 1 && bits == 16)
                    wav.samples.push_back(qFromLittleEndian<qint16>(p) / 32768.0f);
                else
                    return wav;
            }
            wav.ok = true;
            return wav;
        }
        at = body + size + (size & 1);
    }
    return wav;
}

// The identification header at the start of an Ogg Opus file (RFC 7845, 5.1).
struct OpusHead
{
    bool found = false;
    int channels = 0;
    int preSkip = 0;
    quint32 inputRate = 0;
    int outputGain = -1;
    int family = -1;
};

OpusHead readHead(const QString &path)
{
    OpusHead head;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return head;
    const QByteArray bytes = file.read(4096);
    const qsizetype at = bytes.indexOf("OpusHead");
    if (at < 0 || at + 19 > bytes.size())
        return head;
    const char *p = bytes.constData() + at;
    head.found = true;
    head.channels = quint8(p[9]);
    head.preSkip = qFromLittleEndian<quint16>(p + 10);
    head.inputRate = qFromLittleEndian<quint32>(p + 12);
    head.outputGain = qFromLittleEndian<qint16>(p + 16);
    head.family = quint8(p[18]);
    return head;
}

// The reference decoder, at the rate asked, to 32-bit float WAV: no dither, no clipping.
Wav decode(const QString &opus, int rate, QString *log)
{
    const QString wav = opus + u".wav"_s;
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(kOpusdec, { u"--quiet"_s, u"--float"_s, u"--rate"_s, QString::number(rate), opus, wav });
    const bool ok
        = process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    *log = QString::fromUtf8(process.readAll());
    return ok ? readWav(wav) : Wav {};
}

// Sines at a level of each channel's own (so a channel in the wrong place shows), with a
// high partial that makes a shift of one sample plain.
double testSignal(qint64 frame, int channel, int rate)
{
    const double t = double(frame) / rate;
    const double level = 0.5 / (1 + channel);
    // The fourth channel of 5.1 is the LFE, which Opus keeps below about 120 Hz.
    if (channel == 3)
        return level * (0.6 * std::sin(2 * M_PI * 50 * t) + 0.4 * std::sin(2 * M_PI * 80 * t));
    return level * (0.6 * std::sin(2 * M_PI * (330 + 40 * channel) * t) + 0.4 * std::sin(2 * M_PI * 3100 * t));
}

double rmsDb(const Wav &wav, int channel)
{
    double sum = 0;
    for (qint64 f = 0; f < wav.frames(); ++f)
        sum += double(wav.at(f, channel)) * wav.at(f, channel);
    return 10 * std::log10(sum / double(std::max<qint64>(1, wav.frames())) + 1e-20);
}

// The ratio of signal to error (dB) of decoded frames [from, to) against the source
// signal, with the decoded audio read lag frames later.
double snrDb(const Wav &decoded, qint64 firstSourceFrame, qint64 from, qint64 to, int lag, int rate)
{
    double signal = 0;
    double error = 0;
    for (qint64 f = from; f < to; ++f) {
        const qint64 at = f + lag;
        if (at < 0 || at >= decoded.frames())
            continue;
        for (int c = 0; c < decoded.channels; ++c) {
            const double want = testSignal(firstSourceFrame + f, c, rate);
            const double got = decoded.at(at, c);
            signal += want * want;
            error += (got - want) * (got - want);
        }
    }
    return 10 * std::log10((signal + 1e-20) / (error + 1e-20));
}

// Integrated loudness of a WAV's samples by libebur128 in the same histogram mode the
// transcoder measures in.
std::optional<double> integratedLoudness(const Wav &wav)
{
    ebur128_state *state
        = ebur128_init(unsigned(wav.channels), unsigned(wav.rate), EBUR128_MODE_I | EBUR128_MODE_HISTOGRAM);
    if (!state)
        return std::nullopt;
    ebur128_add_frames_float(state, wav.samples.data(), std::size_t(wav.frames()));
    double lufs = 0;
    const bool ok = ebur128_loudness_global(state, &lufs) == EBUR128_SUCCESS;
    ebur128_destroy(&state);
    return ok ? std::optional<double>(lufs) : std::nullopt;
}

// The Vorbis comments of a file as mutagen reads them, "KEY=value" per line.
QStringList commentsOf(const QString &path)
{
    QProcess process;
    process.start(kPython,
        { u"-c"_s,
            u"import sys, mutagen\nfor k, v in mutagen.File(sys.argv[1]).tags: print(k.upper() + '=' + v[:60])"_s,
            path });
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return { u"(mutagen failed: "_s + QString::fromUtf8(process.readAllStandardError()) + u')' };
    return QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

QString valueOf(const QStringList &comments, const QString &key)
{
    for (const QString &line : comments)
        if (line.startsWith(key + u'='))
            return line.mid(key.size() + 1);
    return {};
}

} // namespace

class TestSonmillOpus : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    Result toOpus(const QString &input, const QString &output, const QStringList &extra)
    {
        return run(conversionArguments(input, output, QStringList { u"-acodec"_s, u"opus"_s } + extra), 180000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(QFile::exists(kOpusdec), "opusdec (opus-tools) is needed");
    }

    // Any rate in, the same rate and exactly as many frames out as opusdec decodes at the
    // source's rate; the header says the input rate, family 0 for one or two channels and
    // family 1 (Vorbis order) for 5.1, whose channels come back where they were.
    void exactLength_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("kbps");
        QTest::newRow("7.43 s at 44.1 kHz, stereo") << 44100 << 2 << 128;
        QTest::newRow("7.43 s at 48 kHz, stereo") << 48000 << 2 << 160;
        QTest::newRow("7.43 s at 44.1 kHz, mono") << 44100 << 1 << 96;
        QTest::newRow("7.43 s at 48 kHz, 5.1") << 48000 << 6 << 256;
        QTest::newRow("7.43 s at 22.05 kHz, stereo") << 22050 << 2 << 96;
    }
    void exactLength()
    {
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(int, kbps);
        const qint64 frames = std::llround(7.43 * rate);
        const QString source = path(u"length-%1-%2.wav"_s.arg(rate).arg(channels));
        QVERIFY(writeWav(
            source, rate, channels, frames, [&](qint64 f, int c) { return testSignal(f, c, rate); },
            channels == 6 ? 0x3F : 0));
        const QString out = path(u"length-%1-%2.opus"_s.arg(rate).arg(channels));
        const Result result
            = toOpus(source, out, { u"-ab"_s, u"%1k"_s.arg(kbps), u"-ac"_s, QString::number(channels) });
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        QVERIFY(result.output.contains(u"global"_s));

        const OpusHead head = readHead(out);
        QVERIFY(head.found);
        QCOMPARE(head.channels, channels);
        QCOMPARE(head.inputRate, quint32(rate));
        QCOMPARE(head.outputGain, 0);
        QCOMPARE(head.family, channels > 2 ? 1 : 0);
        QVERIFY(head.preSkip > 0);

        QString log;
        const Wav decoded = decode(out, rate, &log);
        QVERIFY2(decoded.ok, qPrintable(log));
        QCOMPARE(decoded.rate, rate);
        QCOMPARE(decoded.channels, channels);
        QCOMPARE(decoded.frames(), frames);
        for (int c = 0; c < channels; ++c) {
            // Two sines at 0.6 and 0.4 of the channel's level: an RMS of sqrt(0.26) of it.
            const double want = 20 * std::log10(0.5 / (1 + c) * std::sqrt(0.26));
            QVERIFY2(std::fabs(rmsDb(decoded, c) - want) < 1.0,
                qPrintable(u"channel %1: %2 dB, want about %3"_s.arg(c).arg(rmsDb(decoded, c)).arg(want)));
        }
        QVERIFY2(snrDb(decoded, 0, rate / 10, frames - rate / 10, 0, rate) > 15, qPrintable(log));
    }

    // Tracks cut from one image at exact sample positions join without a gap or an
    // overlap: their decoded lengths add up to the whole, and each lines up with the source
    // at no shift, also at the join.
    void tracksJoin()
    {
        constexpr int kRate = 44100;
        constexpr qint64 kFrames = 6 * kRate + 123;
        constexpr qint64 kCut = 110999; // not on any frame or packet boundary
        const QString image = path(u"image.wav"_s);
        QVERIFY(writeWav(image, kRate, 2, kFrames, [](qint64 f, int c) { return testSignal(f, c, kRate); }));
        // The queue's exact form: seconds with nine decimals, rounded to the sample.
        const QString cut = QString::number(double(kCut) / kRate, 'f', 9);
        const QString first = path(u"track1.opus"_s);
        const QString second = path(u"track2.opus"_s);
        Result result = toOpus(image, first, { u"-ss"_s, u"0"_s, u"-t"_s, cut, u"-ab"_s, u"128k"_s });
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        result = toOpus(image, second, { u"-ss"_s, cut, u"-ab"_s, u"128k"_s });
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));

        QString log;
        const Wav one = decode(first, kRate, &log);
        QVERIFY2(one.ok, qPrintable(log));
        const Wav two = decode(second, kRate, &log);
        QVERIFY2(two.ok, qPrintable(log));
        QCOMPARE(one.frames(), kCut);
        QCOMPARE(two.frames(), kFrames - kCut);

        // Sample-exact placement: no shift lines up better than none.
        const qint64 edge = kRate / 100; // 10 ms on each side of the join
        for (const auto &[track, start] : { std::pair { &one, qint64(0) }, std::pair { &two, kCut } }) {
            const double atZero = snrDb(*track, start, edge, track->frames() - edge, 0, kRate);
            QVERIFY2(atZero > 15, qPrintable(u"%1 dB"_s.arg(atZero)));
            for (int lag : { -2, -1, 1, 2 })
                QVERIFY2(snrDb(*track, start, edge, track->frames() - edge, lag, kRate) < atZero - 3,
                    qPrintable(u"lag %1 lines up as well as none"_s.arg(lag)));
        }
        // The last 10 ms of one track and the first 10 ms of the next are the source's too.
        QVERIFY2(snrDb(one, 0, kCut - edge, kCut, 0, kRate) > 12, "the end of the first track");
        QVERIFY2(snrDb(two, kCut, 0, edge, 0, kRate) > 12, "the start of the second track");
    }

    // R128_TRACK_GAIN is 256 * (-23 - L) rounded, for L the source's loudness as libebur128
    // measures it; the album's value follows from the ReplayGain gain it is told; no
    // REPLAYGAIN_* field is written and the header gain stays 0.
    void r128Gains()
    {
        const QString source = path(u"programme.wav"_s);
        QVERIFY(LoudnessCheck::writeProgramme(source, LoudnessCheck::Programme::Dense, 10, -20));
        const Wav wav = readWav(source);
        QVERIFY(wav.ok);
        const std::optional<double> loudness = integratedLoudness(wav);
        QVERIFY(loudness);
        // The test's own reading agrees with the outside meter.
        QVERIFY(std::fabs(LoudnessCheck::measure(source).integratedLufs - *loudness) < 0.2);

        const QString out = path(u"gains.opus"_s);
        const Result result = toOpus(source, out,
            { u"-ab"_s, u"128k"_s, u"-replaygain"_s, u"track"_s, u"-albumgain"_s, u"-3.21"_s, u"-albumpeak"_s,
                u"0.912345"_s });
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        const QStringList comments = commentsOf(out);
        const QString track = valueOf(comments, u"R128_TRACK_GAIN"_s);
        bool isInteger = false;
        const int gain = track.toInt(&isInteger);
        QVERIFY2(isInteger, qPrintable(comments.join(u'\n')));
        const double expected = -256 * (*loudness + 23);
        QVERIFY2(std::fabs(gain - expected) <= 1, qPrintable(u"%1 against %2"_s.arg(gain).arg(expected)));
        QCOMPARE(valueOf(comments, u"R128_ALBUM_GAIN"_s), QString::number(std::lround(256 * (-3.21 - 5))));
        for (const QString &line : comments)
            QVERIFY2(!line.startsWith(u"REPLAYGAIN_"_s), qPrintable(line));
        QCOMPARE(readHead(out).outputGain, 0);

        // A copy at another volume drops the source's gains, R128 included.
        const QString quieter = path(u"quieter.opus"_s);
        const Result again = toOpus(out, quieter, { u"-vol"_s, u"50"_s });
        QVERIFY2(again.exitCode == 0, qPrintable(again.output));
        const QStringList left = commentsOf(quieter);
        QVERIFY2(valueOf(left, u"R128_TRACK_GAIN"_s).isEmpty(), qPrintable(left.join(u'\n')));
        QVERIFY(valueOf(left, u"R128_ALBUM_GAIN"_s).isEmpty());
    }

    // Opus lives in .opus files only; the encoder name in any other output is refused.
    void refusals_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("error");
        QTest::newRow("opus into .ogg") << u"wrong.ogg"_s << QStringList { u"-acodec"_s, u"opus"_s }
                                        << u"Error: Incorrect encoder for the output format"_s;
        QTest::newRow("vorbis into .opus") << u"wrong.opus"_s << QStringList { u"-acodec"_s, u"vorbis"_s }
                                           << u"Error: Incorrect encoder for the output format"_s;
        QTest::newRow("nine channels") << u"wide.opus"_s << QStringList { u"-acodec"_s, u"opus"_s, u"-ac"_s, u"9"_s }
                                       << u"Error: Incorrect"_s;
    }
    void refusals()
    {
        QFETCH(QString, output);
        QFETCH(QStringList, options);
        QFETCH(QString, error);
        const QString source = path(u"short.wav"_s);
        QVERIFY(writeWav(source, 48000, 2, 4800, [](qint64 f, int c) { return testSignal(f, c, 48000); }));
        const QString out = path(output);
        const Result result = run(QStringList { u"qzv"_s, u"-y"_s, u"-i"_s, source } + options + QStringList { out });
        QVERIFY(result.exitCode != 0);
        QVERIFY2(result.output.startsWith(error), qPrintable(result.output));
        QVERIFY(!QFileInfo::exists(out));
        QVERIFY(noLeftovers(m_dir.path()));
    }
};

QTEST_GUILESS_MAIN(TestSonmillOpus)
#include "tst_sonmillopus.moc"
