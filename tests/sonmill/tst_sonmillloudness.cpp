// sonmill's loudness work judged by a meter that is not ours (ebur128 of ebumeter): the
// measured line, ReplayGain tags in every format that holds them, the album's values, and
// normalising with the true-peak limiter.

#include "loudnesscheck.h"
#include "sonmillrun.h"
#include "testfiles.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace Qt::StringLiterals;
using namespace SonmillRun;
using LoudnessCheck::Programme;

namespace {

// What a run printed on its "Loudness:" line (the first one with that label).
struct LoudnessLine
{
    bool found = false;
    QString integrated; // "none" or the number
    double truePeakDb = 0;
};
LoudnessLine loudnessLine(const QString &output, const QString &label = u"Loudness"_s)
{
    const QRegularExpression pattern(
        u"^"_s + label + u": integrated (none|-?[0-9]+\\.[0-9]+)(?: LUFS)?, range [^,]+, true peak (none|-?[0-9.]+)"_s,
        QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = pattern.match(output);
    LoudnessLine line;
    line.found = match.hasMatch();
    line.integrated = match.captured(1);
    line.truePeakDb = match.captured(2).toDouble();
    return line;
}

QStringList codecFor(const QString &extension)
{
    if (extension == u"mp3")
        return { u"-acodec"_s, u"libmp3lame"_s, u"-ab"_s, u"192k"_s };
    if (extension == u"ogg")
        return { u"-acodec"_s, u"vorbis"_s };
    if (extension == u"m4a")
        return { u"-acodec"_s, u"aac"_s, u"-ab"_s, u"192k"_s };
    if (extension == u"flac")
        return { u"-acodec"_s, u"flac"_s };
    return { u"-acodec"_s, u"pcm16le"_s };
}

// The samples of a 16-bit PCM WAV, interleaved, scaled to [-1, 1); empty when it is none.
std::vector<double> readWav16(const QString &path, int *channels)
{
    const QByteArray bytes = TestFiles::read(path);
    std::vector<double> samples;
    const auto u16 = [&](qsizetype at) { return quint16(quint8(bytes[at]) | (quint8(bytes[at + 1]) << 8)); };
    const auto u32 = [&](qsizetype at) { return quint32(u16(at)) | (quint32(u16(at + 2)) << 16); };
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE")
        return samples;
    for (qsizetype at = 12; at + 8 <= bytes.size();) {
        const QByteArray id = bytes.mid(at, 4);
        const qsizetype size = qsizetype(u32(at + 4));
        if (id == "fmt ") {
            *channels = u16(at + 10);
            if (u16(at + 22) != 16)
                return samples;
        } else if (id == "data") {
            const qsizetype end = std::min(bytes.size(), at + 8 + size);
            for (qsizetype i = at + 8; i + 1 < end; i += 2)
                samples.push_back(double(qint16(u16(i))) / 32768.0);
            return samples;
        }
        at += 8 + size + (size & 1);
    }
    return samples;
}

// The true peak in dBTP as a near-ideal reconstruction sees it, measured here on its own:
// each channel upsampled 4x by a long Kaiser-windowed sinc cut at the Nyquist frequency (64
// taps a phase, in double precision), the highest absolute value of samples and the values
// between them.
double independentTruePeakDb(const std::vector<double> &samples, int channels)
{
    constexpr int kFactor = 4;
    constexpr int kHalf = 32; // taps on each side of a point between samples
    constexpr double kBeta = 9.0;
    const auto bessel0 = [](double x) {
        double sum = 1, term = 1;
        for (int k = 1; k < 50; ++k) {
            term *= (x / (2 * k)) * (x / (2 * k));
            sum += term;
        }
        return sum;
    };
    double taps[kFactor][2 * kHalf];
    for (int p = 1; p < kFactor; ++p) {
        for (int j = 0; j < 2 * kHalf; ++j) {
            const double t = double(j - kHalf + 1) - double(p) / kFactor; // sample j's distance
            const double r = t / (kHalf + 0.5);
            taps[p][j] = std::sin(M_PI * t) / (M_PI * t) * bessel0(kBeta * std::sqrt(std::max(0.0, 1 - r * r)))
                / bessel0(kBeta);
        }
    }
    const qsizetype frames = qsizetype(samples.size()) / channels;
    double peak = 0;
    for (int c = 0; c < channels; ++c) {
        const auto at = [&](qsizetype frame) {
            return frame < 0 || frame >= frames ? 0.0 : samples[std::size_t(frame * channels + c)];
        };
        for (qsizetype f = 0; f < frames; ++f) {
            peak = std::max(peak, std::fabs(at(f)));
            // The points between frame f and f + 1.
            for (int p = 1; p < kFactor; ++p) {
                double sum = 0;
                for (int j = 0; j < 2 * kHalf; ++j)
                    sum += taps[p][j] * at(f + kHalf - j);
                peak = std::max(peak, std::fabs(sum));
            }
        }
    }
    return 20 * std::log10(peak);
}

// Noise at about -26 dBFS, each channel its own: white (Gaussian), or pink (white through
// Paul Kellet's filter, -3 dB an octave).
bool writeNoise(const QString &path, bool pink, double seconds)
{
    QRandomGenerator random(pink ? 7 : 5);
    double state[2][7] = {};
    return TestMedia::writeWav(path, 44100, 2, qint64(seconds * 44100), [&](qint64, int channel) {
        const double u1 = std::max(random.generateDouble(), 1e-12);
        const double white = std::sqrt(-2 * std::log(u1)) * std::cos(2 * M_PI * random.generateDouble());
        if (!pink)
            return 0.05 * white;
        double *b = state[channel];
        b[0] = 0.99886 * b[0] + white * 0.0555179;
        b[1] = 0.99332 * b[1] + white * 0.0750759;
        b[2] = 0.96900 * b[2] + white * 0.1538520;
        b[3] = 0.86650 * b[3] + white * 0.3104856;
        b[4] = 0.55000 * b[4] + white * 0.5329522;
        b[5] = -0.7616 * b[5] - white * 0.0168980;
        const double value = b[0] + b[1] + b[2] + b[3] + b[4] + b[5] + b[6] + white * 0.5362;
        b[6] = white * 0.115926;
        return 0.05 * value / 3.5;
    });
}

} // namespace

class TestSonmillLoudness : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_dense; // -20 LUFS
    QString m_loud; // -14 LUFS, dense
    QString m_quiet; // -35 LUFS, punchy

    QString path(const QString &name) const { return m_dir.filePath(name); }

    Result convert(const QString &input, const QString &output, const QStringList &extra)
    {
        QStringList arguments { u"qzv"_s, u"-y"_s, u"-i"_s, input };
        arguments << codecFor(QFileInfo(output).suffix()) << extra << output;
        return run(arguments, 180000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_dense = path(u"dense.wav"_s);
        m_loud = path(u"loud.wav"_s);
        m_quiet = path(u"quiet.wav"_s);
        QVERIFY(LoudnessCheck::writeProgramme(m_dense, Programme::Dense, 12, -20));
        QVERIFY(LoudnessCheck::writeProgramme(m_loud, Programme::Dense, 12, -14));
        QVERIFY(LoudnessCheck::writeProgramme(m_quiet, Programme::Punchy, 12, -35));
        // The sources are what the cases say they are, by the outside meter.
        QVERIFY(std::fabs(LoudnessCheck::measure(m_loud).integratedLufs + 14) < 0.2);
        QVERIFY(std::fabs(LoudnessCheck::measure(m_quiet).integratedLufs + 35) < 0.2);
    }

    // Loudness is measured only where something uses it: the window's own command (no
    // loudness option) and a probe get no line; ReplayGain and normalising get the measured
    // line, whose numbers agree with the outside meter's and which holds no word the window
    // acts on.
    void loudnessLineOnlyWhenUsed_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("measured");
        QTest::newRow("plain conversion") << QStringList { u"-vol"_s, u"100"_s } << false;
        QTest::newRow("probe") << QStringList { u"-t"_s, u"0.001"_s } << false;
        QTest::newRow("replaygain") << QStringList { u"-replaygain"_s, u"track"_s } << true;
        QTest::newRow("album values told")
            << QStringList { u"-albumgain"_s, u"-2"_s, u"-albumpeak"_s, u"0.5"_s } << true;
        QTest::newRow("normalize to the same level") << QStringList { u"-normalize"_s, u"-20"_s } << true;
    }
    void loudnessLineOnlyWhenUsed()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, measured);
        const QString out = path(u"plain.wav"_s);
        const Result result
            = run(conversionArguments(m_dense, out, options + QStringList { u"-acodec"_s, u"pcm16le"_s }));
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        const LoudnessLine line = loudnessLine(result.output);
        QCOMPARE(line.found, measured);
        QCOMPARE(result.output.contains(u"Loudness"_s), measured);
        const bool tagged = options.contains(u"-replaygain"_s) || options.contains(u"-albumgain"_s);
        QCOMPARE(result.output.contains(u"ReplayGain"_s), tagged); // nothing asked, nothing tagged
        QCOMPARE(LoudnessCheck::replayGainTags(out).isEmpty(), !tagged);
        if (!measured)
            return;
        const LoudnessCheck::Reading source = LoudnessCheck::measure(m_dense);
        QVERIFY(source.ok);
        QVERIFY2(std::fabs(line.integrated.toDouble() - source.integratedLufs) < 0.3, qPrintable(result.output));
        QVERIFY2(std::fabs(line.truePeakDb - source.truePeakDb) < 0.3, qPrintable(result.output + source.text));
        const QString text = result.output.section(u"Loudness:"_s, 1).section(u'\n', 0, 0);
        for (const QString &word : failureWords() + QStringList { u"bitrate"_s, u"global"_s, u"time="_s })
            QVERIFY2(!text.contains(word), qPrintable(text));
    }

    void trackTags_data()
    {
        QTest::addColumn<QString>("extension");
        QTest::newRow("flac, Vorbis comments") << u"flac"_s;
        QTest::newRow("ogg, Vorbis comments") << u"ogg"_s;
        QTest::newRow("mp3, ID3 TXXX") << u"mp3"_s;
        QTest::newRow("m4a, freeform atoms") << u"m4a"_s;
        QTest::newRow("wav, ID3 chunk") << u"wav"_s;
    }
    void trackTags()
    {
        QFETCH(QString, extension);
        const QString out = path(u"track."_s + extension);
        const Result result = convert(m_dense, out, { u"-replaygain"_s, u"track"_s });
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        const LoudnessCheck::Reading source = LoudnessCheck::measure(m_dense);
        QVERIFY2(source.ok, qPrintable(source.text));
        const QMap<QString, QString> tags = LoudnessCheck::replayGainTags(out);
        QVERIFY2(tags.contains(u"REPLAYGAIN_TRACK_GAIN"_s), qPrintable(QStringList(tags.keys()).join(u',')));
        const double gain = LoudnessCheck::gainOf(tags.value(u"REPLAYGAIN_TRACK_GAIN"_s));
        QVERIFY2(std::fabs(gain - (-18 - source.integratedLufs)) <= 0.3,
            qPrintable(u"gain %1, source %2 LUFS"_s.arg(gain).arg(source.integratedLufs)));
        const double peakDb = 20 * std::log10(tags.value(u"REPLAYGAIN_TRACK_PEAK"_s).toDouble());
        QVERIFY2(std::fabs(peakDb - source.truePeakDb) <= 0.3,
            qPrintable(u"peak %1 dB, source %2 dBTP"_s.arg(peakDb).arg(source.truePeakDb)));
        QVERIFY(!tags.contains(u"REPLAYGAIN_ALBUM_GAIN"_s)); // nobody told it the album's
    }

    // The album's values: every file measured, then all end to end, as the outside meter
    // measures the files joined; told to a conversion, they are written as they are.
    void albumValues()
    {
        const QString joined = path(u"joined.wav"_s);
        QProcess sox;
        sox.start(u"sox"_s, { m_dense, m_quiet, joined });
        QVERIFY(sox.waitForFinished(60000) && sox.exitCode() == 0);
        const LoudnessCheck::Reading whole = LoudnessCheck::measure(joined);
        QVERIFY(whole.ok);

        const Result measured = run({ u"qzv"_s, u"-measure"_s, u"-i"_s, m_dense, u"-i"_s, m_quiet });
        QVERIFY2(measured.exitCode == 0, qPrintable(measured.output));
        QVERIFY(measured.output.contains(u"global"_s));
        QCOMPARE(measured.output.count(u"\nLoudness: "_s) + (measured.output.startsWith(u"Loudness: "_s) ? 1 : 0), 2);
        const LoudnessLine album = loudnessLine(measured.output, u"Album loudness"_s);
        QVERIFY2(album.found, qPrintable(measured.output));
        const double albumGain = -18 - album.integrated.toDouble();
        QVERIFY2(std::fabs(albumGain - (-18 - whole.integratedLufs)) <= 0.5, qPrintable(measured.output + whole.text));
        QVERIFY(std::fabs(album.truePeakDb - whole.truePeakDb) <= 0.3);

        const QString out = path(u"album.flac"_s);
        const Result converted = convert(m_quiet, out,
            { u"-replaygain"_s, u"track"_s, u"-albumgain"_s, u"-3.21"_s, u"-albumpeak"_s, u"0.912345"_s });
        QVERIFY2(converted.exitCode == 0, qPrintable(converted.output));
        const QMap<QString, QString> tags = LoudnessCheck::replayGainTags(out);
        QCOMPARE(tags.value(u"REPLAYGAIN_ALBUM_GAIN"_s), u"-3.21 dB"_s);
        QCOMPARE(tags.value(u"REPLAYGAIN_ALBUM_PEAK"_s), u"0.912345"_s);
        QVERIFY(tags.contains(u"REPLAYGAIN_TRACK_GAIN"_s));
    }

    void normalize_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("extension");
        QTest::newRow("loud to flac") << u"loud"_s << u"flac"_s;
        QTest::newRow("loud to mp3") << u"loud"_s << u"mp3"_s;
        QTest::newRow("quiet to flac") << u"quiet"_s << u"flac"_s;
        QTest::newRow("quiet to mp3") << u"quiet"_s << u"mp3"_s;
    }
    void normalize()
    {
        QFETCH(QString, source);
        QFETCH(QString, extension);
        const QString input = source == u"loud" ? m_loud : m_quiet;
        if (source == u"quiet") {
            // Its peaks stand so far above its loudness that the gain alone would lift them
            // past -1 dBTP: the limiter has work to do.
            const LoudnessCheck::Reading before = LoudnessCheck::measure(input);
            QVERIFY2(before.truePeakDb + (-16 - before.integratedLufs) > 0, qPrintable(before.text));
        }
        const QString out = path(u"normalized-%1.%2"_s.arg(source, extension));
        // MP3 at the profile's normal 128 kbit/s, whose low-pass takes loudness away.
        const QStringList rate = extension == u"mp3" ? QStringList { u"-ab"_s, u"128k"_s } : QStringList();
        const Result result = convert(input, out, QStringList { u"-normalize"_s, u"-16"_s } + rate);
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        QVERIFY(result.output.contains(u"Normalize: gain "_s));
        // An MP3 encoded again after its decoded level was measured: the position never
        // goes back (the window's percentage follows it).
        double last = -1;
        static const QRegularExpression time(uR"(time=(\d+\.\d\d))"_s);
        for (auto it = time.globalMatch(result.output); it.hasNext();) {
            const double position = it.next().captured(1).toDouble();
            QVERIFY2(position >= last, qPrintable(result.output));
            last = position;
        }
        const LoudnessCheck::Reading reading = LoudnessCheck::measure(out);
        QVERIFY2(reading.ok, qPrintable(reading.text));
        QVERIFY2(std::fabs(reading.integratedLufs + 16) <= 0.5, qPrintable(reading.text + result.output));
        QVERIFY2(reading.truePeakDb <= -1.0, qPrintable(reading.text + result.output));
        // The same length came out: the limiter's look-ahead delays, it does not cut.
        QVERIFY(std::fabs(inspect(out).seconds - inspect(input).seconds) < 0.06);
    }

    // Noise reaches up to the Nyquist frequency, where the values between the samples stand
    // furthest above them: normalised loud, white and pink noise still keep -1 dBTP by a
    // measurement of the test's own, not by sonmill's detector.
    void noiseKeepsTheCeiling_data()
    {
        QTest::addColumn<bool>("pink");
        QTest::addColumn<QString>("target");
        for (const bool pink : { false, true })
            for (const QString &target : { u"0"_s, u"-6"_s })
                QTest::addRow("%s noise to %s LUFS", pink ? "pink" : "white", qPrintable(target)) << pink << target;
    }
    void noiseKeepsTheCeiling()
    {
        QFETCH(bool, pink);
        QFETCH(QString, target);
        const QString input = path(pink ? u"pink.wav"_s : u"white.wav"_s);
        if (!QFile::exists(input))
            QVERIFY(writeNoise(input, pink, 10));
        const QString out = path(u"noise-%1-%2.wav"_s.arg(int(pink)).arg(target));
        const Result result = convert(input, out, { u"-normalize"_s, target });
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        int channels = 0;
        const std::vector<double> samples = readWav16(out, &channels);
        QCOMPARE(channels, 2);
        QVERIFY(samples.size() > 44100 * 2 * 9);
        const double truePeak = independentTruePeakDb(samples, channels);
        qInfo("%s: %.2f dBTP by the test's measurement; sonmill: %s", QTest::currentDataTag(), truePeak,
            qPrintable(loudnessLine(result.output).truePeakDb == 0
                    ? u"-"_s
                    : QString::number(loudnessLine(result.output).truePeakDb)));
        QVERIFY2(truePeak <= -1.0, qPrintable(u"%1 dBTP; "_s.arg(truePeak) + result.output));
        // Not kept by a mere turning down: the noise came out far louder than it went in.
        const LoudnessCheck::Reading reading = LoudnessCheck::measure(out);
        QVERIFY2(reading.integratedLufs > -12, qPrintable(reading.text));
    }

    void volumeSetAsideWhileNormalizing()
    {
        const QString out = path(u"volume.flac"_s);
        const Result result = convert(m_loud, out, { u"-vol"_s, u"300"_s, u"-normalize"_s, u"-23"_s });
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        QVERIFY(result.output.contains(u"Note: the volume percentage is ignored while normalizing"_s));
        const LoudnessCheck::Reading reading = LoudnessCheck::measure(out);
        QVERIFY(std::fabs(reading.integratedLufs + 23) <= 0.5);
    }

    // Silence and audio shorter than one gating block: no gain, no error.
    void silenceAndShortInputs_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<double>("amplitude");
        QTest::newRow("silence") << 3.0 << 0.0;
        QTest::newRow("shorter than a gating block") << 0.2 << 0.5;
    }
    void silenceAndShortInputs()
    {
        QFETCH(double, seconds);
        QFETCH(double, amplitude);
        const QString input = path(u"short.wav"_s);
        QVERIFY(writeWav(input, 44100, 2, qint64(seconds * 44100),
            [&](qint64 f, int) { return amplitude * std::sin(2 * M_PI * 1000 * double(f) / 44100); }));
        const QString out = path(u"short.flac"_s);
        const Result result = convert(input, out, { u"-replaygain"_s, u"track"_s, u"-normalize"_s, u"-16"_s });
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        QVERIFY(result.output.contains(u"global"_s));
        for (const QString &word : failureWords())
            QVERIFY2(!result.output.contains(word), qPrintable(result.output));
        QCOMPARE(loudnessLine(result.output).integrated, u"none"_s);
        QVERIFY(result.output.contains(u"Normalize: gain +0.00 dB"_s));
        QVERIFY(!LoudnessCheck::replayGainTags(out).contains(u"REPLAYGAIN_TRACK_GAIN"_s));
        QVERIFY(std::fabs(inspect(out).seconds - seconds) < 0.02);
    }

    void refusedValues_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::newRow("replaygain album") << QStringList { u"-replaygain"_s, u"album"_s };
        QTest::newRow("target above full scale") << QStringList { u"-normalize"_s, u"3"_s };
        QTest::newRow("target not a number") << QStringList { u"-normalize"_s, u"loud"_s };
        QTest::newRow("album gain alone") << QStringList { u"-albumgain"_s, u"-2"_s };
        QTest::newRow("album peak alone") << QStringList { u"-albumpeak"_s, u"0.5"_s };
    }
    void refusedValues()
    {
        QFETCH(QStringList, options);
        const QString out = path(u"refused.flac"_s);
        const Result result = convert(m_dense, out, options);
        QCOMPARE(result.exitCode, 2);
        QVERIFY2(result.output.startsWith(u"Error: Incorrect"_s) || result.output.startsWith(u"Error: Unknown"_s),
            qPrintable(result.output));
        QVERIFY(!QFileInfo::exists(out));
    }
};

QTEST_GUILESS_MAIN(TestSonmillLoudness)
#include "tst_sonmillloudness.moc"
