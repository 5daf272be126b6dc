// sonmill's own AC-3 encoder, judged only by GStreamer's A/52 decoder (a52dec, from the
// ugly plugin set): every mode decodes at its rate, channel count and length; the frames
// carry valid sync words, sizes and both check words; tonal material keeps its SNR, level
// and band, and a sine gets no clicks; each 5.1 channel lands in its place; bit rates too
// low for the channel count are refused. The tests make all their material.

#include "sonmillrun.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <numbers>

using namespace Qt::StringLiterals;
using namespace SonmillRun;

namespace {

constexpr int kFrameSamples = 1536;
constexpr int kDelay = 256; // the decoder's output runs one block behind the input
constexpr int kBoundMs = 60000;
constexpr double kPi = std::numbers::pi;
constexpr quint32 kMask51 = 0x3F; // FL FR FC LFE BL BR

using Signal = std::function<double(qint64 frame, int channel)>;

// Test material, per channel so that channels differ.
Signal mixedSines(int rate)
{
    return [rate](qint64 f, int c) {
        const double t = double(f) / rate;
        return 0.2 * std::sin(2 * kPi * 440 * t + c) + 0.15 * std::sin(2 * kPi * 1234.5 * t)
            + 0.1 * std::sin(2 * kPi * 5003 * t) + 0.05 * std::sin(2 * kPi * 11000 * t);
    };
}
Signal pluckedNotes(int rate)
{
    return [rate](qint64 f, int c) {
        constexpr double kNote = 0.25; // seconds
        const double t = double(f) / rate;
        const auto n = qint64(t / kNote);
        const double local = t - double(n) * kNote;
        const double pitch = std::array { 220.0, 330.0, 440.0, 550.0, 660.0 }[std::size_t(n % 5)] * (1 + 0.25 * c);
        double v = 0;
        for (int h = 1; h <= 5; ++h)
            v += std::sin(2 * kPi * pitch * h * local) / h;
        return 0.3 * std::exp(-12 * local) * v;
    };
}
Signal whiteNoise()
{
    return [](qint64 f, int c) {
        quint64 x = quint64(f) * 8 + quint64(c); // a hash of the position: the same noise every run
        x = (x ^ (x >> 33)) * 0xff51afd7ed558ccdull;
        x = (x ^ (x >> 33)) * 0xc4ceb9fe1a85ec53ull;
        x ^= x >> 33;
        return 0.3 * (double(x >> 11) / double(1ull << 52) - 1.0);
    };
}
// Clicks of noise every 100 ms over a quiet tone: transient-rich.
Signal clicks(int rate)
{
    return [rate](qint64 f, int c) {
        const qint64 inPeriod = f % (rate / 10);
        const double burst = inPeriod < rate / 200 ? 0.6 * std::exp(-double(inPeriod) / 40.0) : 0;
        return 0.05 * std::sin(2 * kPi * 700 * double(f) / rate) + burst * whiteNoise()(f, c);
    };
}
Signal tone(int rate, double hertz, double amplitude)
{
    return [=](qint64 f, int) { return amplitude * std::sin(2 * kPi * hertz * double(f) / rate); };
}

// Interleaved samples of a 16-bit or a 32-bit float WAV (plain or extensible).
struct Wav
{
    int rate = 0;
    int channels = 0;
    QList<float> samples;
    qint64 frames() const { return channels ? samples.size() / channels : 0; }
    float at(qint64 frame, int channel) const { return samples.at(frame * channels + channel); }
};

Wav readWav(const QString &path)
{
    QFile file(path);
    Wav wav;
    if (!file.open(QIODevice::ReadOnly))
        return wav;
    const QByteArray data = file.readAll();
    int bits = 0;
    for (qsizetype at = 12; at + 8 <= data.size();) {
        const QByteArray id = data.mid(at, 4);
        const auto size = qsizetype(qFromLittleEndian<quint32>(data.constData() + at + 4));
        const char *body = data.constData() + at + 8;
        if (id == "fmt ") {
            wav.channels = qFromLittleEndian<quint16>(body + 2);
            wav.rate = int(qFromLittleEndian<quint32>(body + 4));
            bits = qFromLittleEndian<quint16>(body + 14);
        } else if (id == "data") {
            const qsizetype bytes = std::min(size, data.size() - at - 8);
            const bool isFloat = bits == 32; // what the decoding writes; the sources are 16-bit
            for (qsizetype i = 0; i + (isFloat ? 4 : 2) <= bytes; i += isFloat ? 4 : 2)
                wav.samples.append(isFloat ? qFromLittleEndian<float>(body + i)
                                           : float(qFromLittleEndian<qint16>(body + i)) / 32768.0f);
        }
        at += 8 + size + (size & 1);
    }
    return wav;
}

// Decodes with GStreamer's A/52 decoder to 32-bit float.
Wav decodeAc3(const QString &ac3)
{
    const QString wav = ac3 + u".wav"_s;
    if (!make(u"filesrc location=\""_s + ac3
                + u"\" ! ac3parse ! a52dec ! audioconvert ! audio/x-raw,format=F32LE ! wavenc ! filesink location=%1"_s,
            wav))
        return {};
    return readWav(wav);
}

// Source against decoded, with the decoder's delay, over the frames [from, to).
double snrDb(const Wav &source, const Wav &decoded, int channel, qint64 from, qint64 to)
{
    double signal = 0, error = 0;
    for (qint64 f = from; f < to && f + kDelay < decoded.frames(); ++f) {
        const double s = source.at(f, channel);
        const double d = decoded.at(f + kDelay, channel) - s;
        signal += s * s;
        error += d * d;
    }
    return 10 * std::log10(signal / std::max(error, 1e-20));
}
double rmsDb(const Wav &wav, int channel, qint64 from, qint64 to)
{
    double sum = 0;
    for (qint64 f = from; f < to; ++f)
        sum += double(wav.at(f, channel)) * wav.at(f, channel);
    return 10 * std::log10(sum / double(to - from));
}
double largestStep(const Wav &wav, int channel, qint64 from, qint64 to)
{
    double step = 0;
    for (qint64 f = from + 1; f < to; ++f)
        step = std::max(step, double(std::fabs(wav.at(f, channel) - wav.at(f - 1, channel))));
    return step;
}

// The frames of a raw AC-3 file, checked as a strict decoder checks them.
struct FrameScan
{
    QString fault; // empty when every frame is sound
    int frames = 0;
    qint64 bytes = 0;
};

quint16 crc16(const uchar *data, qsizetype length)
{
    quint16 crc = 0;
    for (qsizetype i = 0; i < length; ++i) {
        crc ^= quint16(data[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = quint16((crc & 0x8000) ? (crc << 1) ^ 0x8005 : crc << 1);
    }
    return crc;
}

FrameScan scanFrames(const QString &path, int rate, int kbps, int acmod, bool lfe)
{
    static constexpr int kRates[]
        = { 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 448, 512, 576, 640 };
    QFile file(path);
    FrameScan scan;
    if (!file.open(QIODevice::ReadOnly))
        return { u"unreadable"_s };
    const QByteArray data = file.readAll();
    scan.bytes = data.size();
    const auto *bytes = reinterpret_cast<const uchar *>(data.constData());
    const int fscod = rate == 48000 ? 0 : (rate == 44100 ? 1 : 2);
    for (qsizetype at = 0; at < data.size(); ++scan.frames) {
        const uchar *frame = bytes + at;
        if (data.size() - at < 8 || frame[0] != 0x0B || frame[1] != 0x77)
            return { u"no sync word at byte %1"_s.arg(at) };
        const int code = frame[4] & 0x3F;
        if ((frame[4] >> 6) != fscod || code / 2 >= int(std::size(kRates)) || kRates[code / 2] != kbps)
            return { u"rate codes %1 at byte %2"_s.arg(frame[4]).arg(at) };
        const int words = rate == 48000 ? 2 * kbps : (rate == 32000 ? 3 * kbps : kbps * 320 / 147 + (code & 1));
        if (data.size() - at < 2 * words)
            return { u"short last frame"_s };
        // bsid 8, then the coding mode and (at a place that depends on it) the LFE flag.
        if ((frame[5] >> 3) != 8 || (frame[6] >> 5) != acmod)
            return { u"bsid or acmod at byte %1"_s.arg(at) };
        const int lfeBit = 8 * 6 + 3 + ((acmod & 1) && acmod != 1 ? 2 : 0) + (acmod & 4 ? 2 : 0) + (acmod == 2 ? 2 : 0);
        if (bool((frame[lfeBit / 8] >> (7 - lfeBit % 8)) & 1) != lfe)
            return { u"lfeon at byte %1"_s.arg(at) };
        const int fiveEighths = 2 * ((words >> 1) + (words >> 3));
        if (crc16(frame + 2, fiveEighths - 2) != 0 || crc16(frame + 2, 2 * words - 2) != 0)
            return { u"check word at byte %1"_s.arg(at) };
        at += 2 * words;
    }
    return scan;
}

} // namespace

class TestSonmillAc3Encoder : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    QString makeSource(const QString &name, int rate, int channels, double seconds, const Signal &signal)
    {
        const QString file = path(name + u".wav"_s);
        if (!QFile::exists(file)
            && !writeWav(file, rate, channels, qint64(seconds * rate), signal, channels == 6 ? kMask51 : 0))
            return {};
        return file;
    }

    // Encodes; the run must succeed by the transcoder's contract.
    bool encode(const QString &source, const QString &output, const QStringList &options)
    {
        const Result result = run(QStringList { u"qzv"_s, u"-y"_s, u"-i"_s, source } + options
                + QStringList { u"-acodec"_s, u"ac3"_s, output },
            kBoundMs);
        const bool ok = result.finished && result.exitCode == 0 && result.output.count(u"global"_s) == 1
            && result.output.contains(u"time="_s) && QFile::exists(output) && noLeftovers(m_dir.path());
        if (!ok)
            qWarning("%s", qPrintable(result.output));
        return ok;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // Every channel mode and rate at the AC3 profile's three quality bit rates.
    void everyModeDecodes_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("kbps");
        for (int channels : { 1, 2, 6 })
            for (int rate : { 32000, 44100, 48000 })
                for (int kbps : { 128, 192, 384 })
                    QTest::addRow("%d ch, %d Hz, %d kbps", channels, rate, kbps) << channels << rate << kbps;
    }
    void everyModeDecodes()
    {
        QFETCH(int, channels);
        QFETCH(int, rate);
        QFETCH(int, kbps);
        constexpr double kSeconds = 1.3;
        const QString source
            = makeSource(u"plucked-%1-%2"_s.arg(channels).arg(rate), rate, channels, kSeconds, pluckedNotes(rate));
        const QString output = path(u"mode-%1-%2-%3.ac3"_s.arg(channels).arg(rate).arg(kbps));
        QVERIFY(encode(source, output, { u"-ab"_s, u"%1k"_s.arg(kbps) }));

        const int acmod = channels == 1 ? 1 : (channels == 2 ? 2 : 7);
        const FrameScan scan = scanFrames(output, rate, kbps, acmod, channels == 6);
        QVERIFY2(scan.fault.isEmpty(), qPrintable(scan.fault));
        // Frames at 44.1 kHz keep the nominal rate by their padding words.
        const double seconds = double(scan.frames) * kFrameSamples / rate;
        QVERIFY(std::fabs(double(scan.bytes) * 8 / seconds / 1000 - kbps) < 0.5);

        const Media media = inspect(output);
        QVERIFY2(media.ok, qPrintable(media.chain));
        QVERIFY(media.chain.contains(u"audio/x-ac3"_s));
        QCOMPARE(media.rate, rate);
        QCOMPARE(media.channels, channels);
        QVERIFY2(std::fabs(media.seconds - kSeconds) <= double(kFrameSamples) / rate,
            qPrintable(QString::number(media.seconds)));
        for (int c = 0; c < channels; ++c)
            if (!(channels == 6 && c == 3)) // the LFE keeps only the notes' lowest partials
                QVERIFY2(media.rms.at(c) > -30, qPrintable(u"channel %1 at %2 dB"_s.arg(c).arg(media.rms.at(c))));
    }

    // SNR by bit rate, stereo at 48 kHz: tonal material holds 25 dB at 192 kbps; for all
    // material more bits give a better SNR. The table is printed.
    void snrRisesWithBitRate_data()
    {
        QTest::addColumn<QString>("material");
        QTest::addColumn<double>("floorAt192");
        QTest::newRow("mixed sines") << u"sines"_s << 25.0;
        QTest::newRow("plucked notes") << u"plucked"_s << 25.0;
        QTest::newRow("white noise") << u"noise"_s << 0.5;
        QTest::newRow("clicks over a tone") << u"clicks"_s << 5.0;
    }
    void snrRisesWithBitRate()
    {
        QFETCH(QString, material);
        QFETCH(double, floorAt192);
        constexpr int kRate = 48000;
        const Signal signal = material == u"sines"_s ? mixedSines(kRate)
            : material == u"plucked"_s               ? pluckedNotes(kRate)
            : material == u"noise"_s                 ? whiteNoise()
                                                     : clicks(kRate);
        const QString sourcePath = makeSource(material, kRate, 2, 2.0, signal);
        const Wav source = readWav(sourcePath);
        QString table;
        double previous = -100;
        for (int kbps : { 96, 128, 192, 256, 384, 640 }) {
            const QString output = path(u"%1-%2.ac3"_s.arg(material).arg(kbps));
            QVERIFY(encode(sourcePath, output, { u"-ab"_s, u"%1k"_s.arg(kbps) }));
            const Wav decoded = decodeAc3(output);
            QCOMPARE(decoded.channels, 2);
            const double snr = std::min(
                snrDb(source, decoded, 0, 0, source.frames()), snrDb(source, decoded, 1, 0, source.frames()));
            table += u" %1k %2 dB"_s.arg(kbps).arg(snr, 0, 'f', 1);
            QVERIFY2(snr > previous - 0.5, qPrintable(table));
            if (kbps == 192)
                QVERIFY2(snr >= floorAt192, qPrintable(table));
            previous = snr;
        }
        qInfo("SNR %s:%s", qPrintable(material), qPrintable(table));
    }

    // Stereo whose sides are equal or opposite is sent as sum and difference, one of them
    // silent: it keeps a high SNR at a low bit rate, and each side its own sign.
    void rematrixedStereo_data()
    {
        QTest::addColumn<double>("rightGain");
        QTest::newRow("equal sides") << 1.0;
        QTest::newRow("opposite sides") << -1.0;
    }
    void rematrixedStereo()
    {
        QFETCH(double, rightGain);
        constexpr int kRate = 48000;
        const Signal sines = mixedSines(kRate);
        const QString sourcePath = makeSource(u"sides%1"_s.arg(rightGain), kRate, 2, 2.0,
            [&](qint64 f, int c) { return sines(f, 0) * (c == 0 ? 1.0 : rightGain); });
        const QString output = path(u"sides%1.ac3"_s.arg(rightGain));
        QVERIFY(encode(sourcePath, output, { u"-ab"_s, u"96k"_s }));
        const Wav source = readWav(sourcePath);
        const Wav decoded = decodeAc3(output);
        for (int c = 0; c < 2; ++c) {
            const double snr = snrDb(source, decoded, c, 0, source.frames());
            QVERIFY2(snr >= 40, qPrintable(u"channel %1: %2 dB"_s.arg(c).arg(snr)));
        }
    }

    // The coded band by bit rate: at 192 kbps stereo it reaches 15 kHz; what lies above the
    // chosen band is left out.
    void bandwidth_data()
    {
        QTest::addColumn<int>("kbps");
        QTest::addColumn<double>("hertz");
        QTest::addColumn<bool>("kept");
        QTest::newRow("192k, 15 kHz") << 192 << 15000.0 << true;
        QTest::newRow("192k, 21 kHz") << 192 << 21000.0 << false;
        QTest::newRow("384k, 19 kHz") << 384 << 19000.0 << true;
        QTest::newRow("96k, 15 kHz") << 96 << 15000.0 << false;
    }
    void bandwidth()
    {
        QFETCH(int, kbps);
        QFETCH(double, hertz);
        QFETCH(bool, kept);
        constexpr int kRate = 48000;
        const QString sourcePath = makeSource(u"tone-%1"_s.arg(hertz), kRate, 2, 1.0, tone(kRate, hertz, 0.25));
        const QString output = path(u"band-%1-%2.ac3"_s.arg(kbps).arg(hertz));
        QVERIFY(encode(sourcePath, output, { u"-ab"_s, u"%1k"_s.arg(kbps) }));
        const Wav source = readWav(sourcePath);
        const Wav decoded = decodeAc3(output);
        const qint64 from = kRate / 10, to = source.frames() - kRate / 10;
        const double loss = rmsDb(source, 0, from, to) - rmsDb(decoded, 0, from + kDelay, to + kDelay);
        QVERIFY2(kept ? loss < 0.5 : loss > 30, qPrintable(QString::number(loss)));
    }

    // A steady 1 kHz tone (60 Hz in the LFE) keeps its level within 0.1 dB, and no step from
    // one sample to the next is larger than the tone's own (no clicks where blocks or frames
    // meet).
    void toneLevelWithoutClicks_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("kbps");
        QTest::newRow("48k stereo 192k") << 48000 << 2 << 192;
        QTest::newRow("44.1k stereo 128k") << 44100 << 2 << 128;
        QTest::newRow("32k mono 96k") << 32000 << 1 << 96;
        QTest::newRow("48k 5.1 448k") << 48000 << 6 << 448;
    }
    void toneLevelWithoutClicks()
    {
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(int, kbps);
        const QString sourcePath = makeSource(u"1k-%1-%2"_s.arg(rate).arg(channels), rate, channels, 2.0,
            [&](qint64 f, int c) { return tone(rate, channels == 6 && c == 3 ? 60 : 1000, 0.5)(f, c); });
        const QString output = path(u"1k-%1-%2-%3.ac3"_s.arg(rate).arg(channels).arg(kbps));
        QVERIFY(encode(sourcePath, output, { u"-ab"_s, u"%1k"_s.arg(kbps) }));
        const Wav source = readWav(sourcePath);
        const Wav decoded = decodeAc3(output);
        QCOMPARE(decoded.channels, channels);
        // The steady part: away from the tone's sudden start and end.
        const qint64 from = 2 * kFrameSamples, to = source.frames() - 2 * kFrameSamples;
        for (int c = 0; c < channels; ++c) {
            const double level = rmsDb(decoded, c, from + kDelay, to + kDelay) - rmsDb(source, c, from, to);
            QVERIFY2(std::fabs(level) <= 0.1, qPrintable(u"channel %1: %2 dB"_s.arg(c).arg(level)));
            const double sourceStep = largestStep(source, c, from, to);
            const double decodedStep = largestStep(decoded, c, from + kDelay, to + kDelay);
            QVERIFY2(decodedStep <= sourceStep * 1.01, qPrintable(u"%1 against %2"_s.arg(decodedStep).arg(sourceStep)));
        }
    }

    // One channel of our 5.1 order (L R C LFE Ls Rs) at a time: it comes out of the
    // decoder in the same place, and the others stay silent.
    void surroundChannelsKeepTheirPlaces_data()
    {
        QTest::addColumn<int>("channel");
        for (int c = 0; c < 6; ++c)
            QTest::addRow("%s", std::array { "left", "right", "centre", "LFE", "left surround", "right surround" }[c])
                << c;
    }
    void surroundChannelsKeepTheirPlaces()
    {
        QFETCH(int, channel);
        constexpr int kRate = 48000;
        const double hertz = channel == 3 ? 60 : 1000;
        const QString sourcePath = makeSource(u"only-%1"_s.arg(channel), kRate, 6, 1.0,
            [&](qint64 f, int c) { return c == channel ? tone(kRate, hertz, 0.3)(f, c) : 0.0; });
        const QString output = path(u"only-%1.ac3"_s.arg(channel));
        QVERIFY(encode(sourcePath, output, { u"-ab"_s, u"448k"_s }));
        const Media media = inspect(output);
        QCOMPARE(media.channels, 6);
        for (int c = 0; c < 6; ++c) {
            const QString detail = u"channel %1 at %2 dB"_s.arg(c).arg(media.rms.at(c));
            if (c == channel)
                QVERIFY2(media.rms.at(c) > -14 && media.rms.at(c) < -13, qPrintable(detail)); // 0.3 is -13.5 dB
            else
                QVERIFY2(media.rms.at(c) < -90, qPrintable(detail));
        }
    }

    // Too few bits for the channels: refused with the Unsupported word, nothing written.
    void tooLowBitRatesAreRefused_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("kbps");
        QTest::newRow("stereo at 40k") << 2 << 40;
        QTest::newRow("5.1 at 112k") << 6 << 112;
        QTest::newRow("5.1 at 32k") << 6 << 32;
    }
    void tooLowBitRatesAreRefused()
    {
        QFETCH(int, channels);
        QFETCH(int, kbps);
        const QString sourcePath = makeSource(u"short-%1"_s.arg(channels), 48000, channels, 0.5, tone(48000, 440, 0.3));
        const QString output = path(u"refused-%1-%2.ac3"_s.arg(channels).arg(kbps));
        const Result result = run({ u"qzv"_s, u"-y"_s, u"-i"_s, sourcePath, u"-ab"_s, u"%1k"_s.arg(kbps), u"-ac"_s,
                                      QString::number(channels), u"-acodec"_s, u"ac3"_s, output },
            kBoundMs);
        QVERIFY(result.finished);
        QVERIFY(result.exitCode != 0);
        QVERIFY2(result.output.contains(u"Error: Unsupported"_s), qPrintable(result.output));
        QVERIFY(!result.output.contains(u"global"_s));
        QVERIFY(!QFile::exists(output));
        QVERIFY(noLeftovers(m_dir.path()));
    }

    // -ss, -t and -vol work as for every encoder: the length asked for (within a frame)
    // and the level scaled; the probe reads the stream's length back.
    void startLengthAndVolume()
    {
        constexpr int kRate = 44100;
        const QString sourcePath = makeSource(u"long-tone"_s, kRate, 2, 4.0, tone(kRate, 1000, 0.4));
        const QString output = path(u"cut.ac3"_s);
        QVERIFY(encode(sourcePath, output, { u"-ss"_s, u"1.5"_s, u"-t"_s, u"1.2"_s, u"-vol"_s, u"50"_s }));
        const Wav decoded = decodeAc3(output);
        QVERIFY(std::fabs(double(decoded.frames()) / kRate - 1.2) <= double(kFrameSamples) / kRate);
        const double level = rmsDb(decoded, 1, kFrameSamples, qint64(1.2 * kRate) - kFrameSamples);
        QVERIFY2(std::fabs(level - (20 * std::log10(0.4 / std::sqrt(2.0)) - 6.02)) < 0.1,
            qPrintable(QString::number(level)));

        const Result probe = run({ u"qzv"_s, u"-y"_s, u"-i"_s, output, u"-t"_s, u"0.001"_s, path(u"inadd.wav"_s) });
        QCOMPARE(probe.exitCode, 0);
        QVERIFY2(
            std::fabs(durationLine(probe.output) - double(decoded.frames()) / kRate) < 0.02, qPrintable(probe.output));
    }

    // "-acodec copy" from an AC-3 stream into .ac3 keeps its frames as they are: all of
    // them, or the whole frames of a range.
    void copyKeepsTheFrames()
    {
        constexpr int kRate = 48000;
        const QString sourcePath = makeSource(u"copy-source"_s, kRate, 2, 3.0, pluckedNotes(kRate));
        const QString coded = path(u"copy-source.ac3"_s);
        QVERIFY(encode(sourcePath, coded, { u"-ab"_s, u"256k"_s }));
        const QStringList copy = { u"qzv"_s, u"-y"_s, u"-i"_s, coded, u"-acodec"_s, u"copy"_s };

        const QString whole = path(u"copied.ac3"_s);
        QCOMPARE(run(copy + QStringList { whole }).exitCode, 0);
        QFile a(coded), b(whole);
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QVERIFY(a.readAll() == b.readAll());

        const QString part = path(u"copied-part.ac3"_s);
        const Result cut = run(
            copy.mid(0, 4) + QStringList { u"-ss"_s, u"1"_s, u"-t"_s, u"1"_s } + copy.mid(4) + QStringList { part });
        QCOMPARE(cut.exitCode, 0);
        const FrameScan scan = scanFrames(part, kRate, 256, 2, false);
        QVERIFY2(scan.fault.isEmpty(), qPrintable(scan.fault));
        QVERIFY2(
            std::abs(scan.frames * kFrameSamples - kRate) <= kFrameSamples, qPrintable(QString::number(scan.frames)));
    }
};

QTEST_GUILESS_MAIN(TestSonmillAc3Encoder)
#include "tst_sonmillac3encoder.moc"
