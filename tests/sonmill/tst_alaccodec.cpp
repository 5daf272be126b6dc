// Our Apple Lossless encoder and decoder, each judged against the other and both against
// libsndfile's own ALAC codec (sndfile-convert), which reads and writes it in CAF files: the
// test's own small CAF writer and reader carry the packets and the configuration across.

#include "media/alac/alacdecoder.h"
#include "sonmill/encoders/alacframes.h"
#include "testmedia.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

const QString kSndfileConvert = u"/usr/bin/sndfile-convert"_s;

using Samples = std::vector<std::int32_t>; // interleaved, sign-extended at the sample size

enum class Signal { Music, Silence, Noise, FullScale, Clicks };

// Test material: music-like tones with a slow swell and a little noise, digital silence
// (long zero runs), white noise at full level (frames that do not shrink), square waves at
// the extremes, and silence broken by single clicks.
Samples makeSignal(Signal signal, int channels, int bits, std::int64_t frames, unsigned seed = 1)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    const double top = std::ldexp(1.0, bits - 1) - 1;
    Samples out(std::size_t(frames * channels));
    for (std::int64_t f = 0; f < frames; ++f) {
        for (int c = 0; c < channels; ++c) {
            const double t = double(f) / 44100;
            double value = 0;
            switch (signal) {
            case Signal::Music:
                value = (0.45 + 0.2 * std::sin(2 * M_PI * 0.7 * t))
                        * (0.5 * std::sin(2 * M_PI * (220 + 3 * c) * t) + 0.25 * std::sin(2 * M_PI * 1375 * t + c)
                            + 0.1 * std::sin(2 * M_PI * 5200 * t))
                    + 0.01 * uniform(random);
                break;
            case Signal::Silence:
                value = 0;
                break;
            case Signal::Noise:
                value = uniform(random);
                break;
            case Signal::FullScale:
                value = ((f / 37) % 2 ? 1.0 : -1.0) * (c ? -1 : 1);
                break;
            case Signal::Clicks:
                value = f % 5000 == 17 ? 0.9 : 0.0;
                break;
            }
            std::int64_t sample = std::llround(value * top);
            sample = std::clamp<std::int64_t>(sample, -std::int64_t(top) - 1, std::int64_t(top));
            out[std::size_t(f * channels + c)] = std::int32_t(sample);
        }
    }
    return out;
}

struct Encoded
{
    Alac::Config config;
    std::vector<std::vector<std::uint8_t>> packets;
};

Encoded encode(const Samples &samples, int channels, int bits)
{
    sonmill::AlacFrameEncoder encoder(channels, bits, 44100);
    Encoded encoded;
    const std::size_t total = samples.size() / std::size_t(channels);
    for (std::size_t at = 0; at < total; at += Alac::kDefaultFrameLength) {
        const auto count = std::uint32_t(std::min<std::size_t>(Alac::kDefaultFrameLength, total - at));
        encoded.packets.emplace_back();
        encoder.encode(samples.data() + at * std::size_t(channels), count, encoded.packets.back());
    }
    encoded.config = encoder.config();
    return encoded;
}

bool decode(const Encoded &encoded, Samples &out, QString *why)
{
    Alac::Decoder decoder;
    std::vector<std::int32_t> scratch(Alac::Decoder::scratchSamples(encoded.config));
    if (!decoder.init(encoded.config, scratch.data())) {
        *why = u"configuration refused"_s;
        return false;
    }
    std::vector<std::int32_t> frame(std::size_t(encoded.config.frameLength) * encoded.config.channels);
    out.clear();
    for (std::size_t i = 0; i < encoded.packets.size(); ++i) {
        std::uint32_t frames = 0;
        const auto &packet = encoded.packets[i];
        if (decoder.decode(packet.data(), packet.size(), frame.data(), frames) != Alac::Decoder::Status::Ok) {
            *why = u"packet %1 refused"_s.arg(i);
            return false;
        }
        out.insert(out.end(), frame.begin(), frame.begin() + std::ptrdiff_t(frames * encoded.config.channels));
    }
    return true;
}

// ---- CAF, as far as ALAC needs it ------------------------------------------------------

void put32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToBigEndian(value, bytes);
    out.append(bytes, 4);
}
void put64(QByteArray &out, quint64 value)
{
    char bytes[8];
    qToBigEndian(value, bytes);
    out.append(bytes, 8);
}
void chunk(QByteArray &out, const char *type, const QByteArray &body)
{
    out.append(type, 4);
    put64(out, quint64(body.size()));
    out.append(body);
}

bool writeCaf(const QString &path, const Encoded &encoded, std::int64_t frames)
{
    const Alac::Config &config = encoded.config;
    QByteArray file("caff\x00\x01\x00\x00", 8);
    QByteArray desc;
    double rate = config.sampleRate;
    quint64 rateBits;
    std::memcpy(&rateBits, &rate, 8);
    put64(desc, rateBits);
    desc.append("alac", 4);
    put32(desc, config.bitDepth == 16 ? 1 : config.bitDepth == 20 ? 2 : config.bitDepth == 24 ? 3 : 4);
    put32(desc, 0);
    put32(desc, config.frameLength);
    put32(desc, config.channels);
    put32(desc, 0);
    chunk(file, "desc", desc);
    std::uint8_t cookie[Alac::kCookieSize];
    Alac::renderCookie(config, cookie);
    chunk(file, "kuki", QByteArray(reinterpret_cast<const char *>(cookie), sizeof cookie));
    QByteArray pakt;
    put64(pakt, encoded.packets.size());
    put64(pakt, quint64(frames));
    put32(pakt, 0);
    put32(pakt, quint32(std::int64_t(encoded.packets.size()) * config.frameLength - frames));
    for (const auto &packet : encoded.packets) {
        // Sizes as variable-length numbers: 7 bits a byte, the high bit on all but the last.
        quint32 size = quint32(packet.size());
        QByteArray digits;
        do {
            digits.prepend(char((size & 0x7F) | (digits.isEmpty() ? 0 : 0x80)));
            size >>= 7;
        } while (size);
        pakt.append(digits);
    }
    chunk(file, "pakt", pakt);
    QByteArray data(4, '\0'); // edit count
    for (const auto &packet : encoded.packets)
        data.append(reinterpret_cast<const char *>(packet.data()), qsizetype(packet.size()));
    chunk(file, "data", data);
    QFile out(path);
    return out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(file) == file.size();
}

bool readCaf(const QString &path, Encoded &encoded, std::int64_t &frames, QString *why)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray file = in.readAll();
    if (!file.startsWith("caff"))
        return false;
    QByteArray cookie;
    QByteArray pakt;
    QByteArray data;
    for (qsizetype at = 8; at + 12 <= file.size();) {
        const QByteArray type = file.mid(at, 4);
        qint64 size = qFromBigEndian<qint64>(file.constData() + at + 4);
        if (size < 0 || at + 12 + size > file.size())
            size = file.size() - at - 12;
        const QByteArray body = file.mid(at + 12, size);
        if (type == "kuki")
            cookie = body;
        else if (type == "pakt")
            pakt = body;
        else if (type == "data")
            data = body.mid(4);
        at += 12 + size;
    }
    if (!Alac::parseCookie(
            reinterpret_cast<const std::uint8_t *>(cookie.constData()), std::size_t(cookie.size()), encoded.config)) {
        *why = u"cookie of %1 bytes refused"_s.arg(cookie.size());
        return false;
    }
    if (pakt.size() < 24)
        return false;
    const qint64 packets = qFromBigEndian<qint64>(pakt.constData());
    frames = qFromBigEndian<qint64>(pakt.constData() + 8);
    qsizetype at = 24;
    qsizetype offset = 0;
    for (qint64 i = 0; i < packets; ++i) {
        quint32 size = 0;
        while (at < pakt.size()) {
            const auto byte = quint8(pakt.at(at++));
            size = (size << 7) | (byte & 0x7F);
            if (!(byte & 0x80))
                break;
        }
        const QByteArray packet = data.mid(offset, size);
        encoded.packets.emplace_back(packet.begin(), packet.end());
        offset += size;
    }
    return offset <= data.size();
}

// A WAV's samples as integers (16 or 24 bits, libsndfile's own writing).
bool readWavIntegers(const QString &path, Samples &out, int &channels, int &bits)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray file = in.readAll();
    for (qsizetype at = 12; at + 8 <= file.size();) {
        const QByteArray id = file.mid(at, 4);
        const quint32 size = qFromLittleEndian<quint32>(file.constData() + at + 4);
        if (id == "fmt ") {
            channels = qFromLittleEndian<quint16>(file.constData() + at + 10);
            bits = qFromLittleEndian<quint16>(file.constData() + at + 22);
        } else if (id == "data") {
            const int width = bits / 8;
            out.clear();
            for (qsizetype i = 0; i + width <= qsizetype(size) && at + 8 + i + width <= file.size(); i += width) {
                const auto *p = reinterpret_cast<const quint8 *>(file.constData() + at + 8 + i);
                std::uint32_t value = 0;
                for (int b = width - 1; b >= 0; --b)
                    value = (value << 8) | p[b];
                out.push_back(Alac::signExtend(std::int32_t(value), bits));
            }
            return true;
        }
        at += 8 + size + (size & 1);
    }
    return false;
}

bool writeWavIntegers(const QString &path, const Samples &samples, int channels, int bits, int rate)
{
    const int width = bits / 8;
    QByteArray data;
    for (const std::int32_t sample : samples)
        for (int b = 0; b < width; ++b)
            data.append(char((std::uint32_t(sample) >> (8 * b)) & 0xFF));
    QByteArray file("RIFF");
    const auto le32 = [&](quint32 v) {
        char bytes[4];
        qToLittleEndian(v, bytes);
        file.append(bytes, 4);
    };
    const auto le16 = [&](quint16 v) {
        char bytes[2];
        qToLittleEndian(v, bytes);
        file.append(bytes, 2);
    };
    le32(quint32(36 + data.size()));
    file.append("WAVEfmt ");
    le32(16);
    le16(1);
    le16(quint16(channels));
    le32(quint32(rate));
    le32(quint32(rate * channels * width));
    le16(quint16(channels * width));
    le16(quint16(bits));
    file.append("data");
    le32(quint32(data.size()));
    file.append(data);
    QFile out(path);
    return out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(file) == file.size();
}

QString runSndfile(const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(kSndfileConvert, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return u"sndfile-convert failed: "_s + QString::fromUtf8(process.readAll());
    return {};
}

QString firstDifference(const Samples &a, const Samples &b)
{
    if (a.size() != b.size())
        return u"%1 samples against %2"_s.arg(a.size()).arg(b.size());
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i])
            return u"sample %1: %2 against %3"_s.arg(i).arg(a[i]).arg(b[i]);
    return {};
}

} // namespace

class TestAlacCodec : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    // libsndfile's own round trip of 24-bit stereo frames stored as they are (full-scale
    // noise) gives other samples than went in: it cannot judge those, either way.
    static bool libsndfileJudges(Signal signal, int channels, int bits)
    {
        return !(signal == Signal::Noise && channels == 2 && bits == 24);
    }

    static void addRows()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("frames");
        const struct
        {
            const char *name;
            Signal signal;
        } signals_[] = { { "music", Signal::Music }, { "silence", Signal::Silence }, { "noise", Signal::Noise },
            { "full scale", Signal::FullScale }, { "clicks", Signal::Clicks } };
        for (const auto &s : signals_)
            for (int channels : { 1, 2 })
                for (int bits : { 16, 24 })
                    QTest::newRow(
                        qPrintable(u"%1, %2 ch, %3 bit"_s.arg(QLatin1StringView(s.name)).arg(channels).arg(bits)))
                        << int(s.signal) << channels << bits << 3 * 4096 + 1234;
        // Lengths at the edges of a frame: one sample, one short of a frame, exactly two.
        QTest::newRow("one frame of one sample") << int(Signal::Music) << 2 << 16 << 1;
        QTest::newRow("one short of a frame") << int(Signal::Music) << 2 << 16 << 4095;
        QTest::newRow("two whole frames") << int(Signal::Music) << 1 << 24 << 8192;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(QFile::exists(kSndfileConvert), "sndfile-convert (sndfile-programs) is needed");
    }

    void cookieRoundTrip()
    {
        Alac::Config config;
        config.bitDepth = 24;
        config.channels = 1;
        config.maxFrameBytes = 12345;
        config.avgBitRate = 987654;
        config.sampleRate = 96000;
        std::uint8_t bytes[Alac::kCookieSize];
        Alac::renderCookie(config, bytes);
        Alac::Config back;
        QVERIFY(Alac::parseCookie(bytes, sizeof bytes, back));
        QCOMPARE(back.bitDepth, 24);
        QCOMPARE(back.channels, 1);
        QCOMPARE(back.maxFrameBytes, 12345u);
        QCOMPARE(back.avgBitRate, 987654u);
        QCOMPARE(back.sampleRate, 96000u);
        QCOMPARE(back.frameLength, 4096u);
        // Wrapped in the atoms some writers add, and refused when short or odd.
        QByteArray wrapped("\0\0\0\x0C"
                           "frma"
                           "alac"
                           "\0\0\0\x24"
                           "alac"
                           "\0\0\0\0",
            24);
        wrapped.append(reinterpret_cast<const char *>(bytes), sizeof bytes);
        QVERIFY(Alac::parseCookie(
            reinterpret_cast<const std::uint8_t *>(wrapped.constData()), std::size_t(wrapped.size()), back));
        QCOMPARE(back.sampleRate, 96000u);
        QVERIFY(!Alac::parseCookie(bytes, sizeof bytes - 1, back));
        bytes[5] = 17; // a sample size no encoder writes
        QVERIFY(!Alac::parseCookie(bytes, sizeof bytes, back));
    }

    // Ours to ours: every sample back as it was.
    void roundTrip_data() { addRows(); }
    void roundTrip()
    {
        QFETCH(int, signal);
        QFETCH(int, channels);
        QFETCH(int, bits);
        QFETCH(int, frames);
        const Samples source = makeSignal(Signal(signal), channels, bits, frames);
        const Encoded encoded = encode(source, channels, bits);
        Samples decoded;
        QString why;
        QVERIFY2(decode(encoded, decoded, &why), qPrintable(why));
        QVERIFY2(decoded == source, qPrintable(firstDifference(decoded, source)));
        QCOMPARE(encoded.config.bitDepth, bits);
        std::size_t largest = 0;
        for (const auto &packet : encoded.packets)
            largest = std::max(largest, packet.size());
        QCOMPARE(std::size_t(encoded.config.maxFrameBytes), largest);
        // Nothing grows past the samples as they are (plus a few bytes of framing).
        for (const auto &packet : encoded.packets)
            QVERIFY(packet.size() <= std::size_t(4096 * channels * bits / 8 + 16));
        // Silence is almost nothing; at 24 bits the low byte of each sample is kept apart,
        // as it is, which leaves a byte a sample.
        if (Signal(signal) == Signal::Silence)
            QVERIFY(encoded.packets.front().size() < 64 + std::size_t(bits == 24 ? 4096 * channels : 0));
    }

    // Ours judged by libsndfile: our packets in a CAF decode to the same samples.
    void libsndfileDecodesOurs_data() { addRows(); }
    void libsndfileDecodesOurs()
    {
        QFETCH(int, signal);
        QFETCH(int, channels);
        QFETCH(int, bits);
        QFETCH(int, frames);
        if (!libsndfileJudges(Signal(signal), channels, bits))
            QSKIP("libsndfile does not round-trip escaped 24-bit stereo frames itself");
        const Samples source = makeSignal(Signal(signal), channels, bits, frames, 7);
        const Encoded encoded = encode(source, channels, bits);
        const QString caf = m_dir.filePath(u"ours.caf"_s);
        const QString wav = m_dir.filePath(u"ours.wav"_s);
        QVERIFY(writeCaf(caf, encoded, frames));
        const QString failed = runSndfile({ bits == 16 ? u"-pcm16"_s : u"-pcm24"_s, caf, wav });
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        Samples decoded;
        int readChannels = 0;
        int readBits = 0;
        QVERIFY(readWavIntegers(wav, decoded, readChannels, readBits));
        QCOMPARE(readChannels, channels);
        QCOMPARE(readBits, bits);
        QVERIFY2(decoded == source, qPrintable(firstDifference(decoded, source)));
    }

    // libsndfile's packets decoded by ours.
    void oursDecodesLibsndfile_data() { addRows(); }
    void oursDecodesLibsndfile()
    {
        QFETCH(int, signal);
        QFETCH(int, channels);
        QFETCH(int, bits);
        QFETCH(int, frames);
        if (!libsndfileJudges(Signal(signal), channels, bits))
            QSKIP("libsndfile does not round-trip escaped 24-bit stereo frames itself");
        const Samples source = makeSignal(Signal(signal), channels, bits, frames, 11);
        const QString wav = m_dir.filePath(u"theirs.wav"_s);
        const QString caf = m_dir.filePath(u"theirs.caf"_s);
        QVERIFY(writeWavIntegers(wav, source, channels, bits, 44100));
        const QString failed = runSndfile({ bits == 16 ? u"-alac16"_s : u"-alac24"_s, wav, caf });
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        Encoded encoded;
        std::int64_t validFrames = 0;
        QString why;
        QVERIFY2(readCaf(caf, encoded, validFrames, &why), qPrintable(why));
        QCOMPARE(validFrames, std::int64_t(frames));
        Samples decoded;
        QVERIFY2(decode(encoded, decoded, &why), qPrintable(why));
        decoded.resize(std::size_t(frames * channels));
        QVERIFY2(decoded == source, qPrintable(firstDifference(decoded, source)));
    }

    // Damaged packets: cut short, bytes flipped, or empty. The decoder says so or decodes
    // something; it never reads or writes out of bounds (the sanitizer build checks that).
    void damagedPackets()
    {
        const Samples source = makeSignal(Signal::Music, 2, 16, 4096);
        Encoded encoded = encode(source, 2, 16);
        Alac::Decoder decoder;
        std::vector<std::int32_t> scratch(Alac::Decoder::scratchSamples(encoded.config));
        QVERIFY(decoder.init(encoded.config, scratch.data()));
        std::vector<std::int32_t> frame(4096 * 2);
        std::uint32_t frames = 0;
        const std::vector<std::uint8_t> whole = encoded.packets.front();
        for (std::size_t cut : { std::size_t(0), std::size_t(1), std::size_t(5), whole.size() / 2, whole.size() - 1 })
            QVERIFY(decoder.decode(whole.data(), cut, frame.data(), frames) != Alac::Decoder::Status::Ok);
        std::mt19937 random(3);
        int refused = 0;
        // Up to eight flipped bits: a stereo header's mix shift of 255 or sums past 32 bits
        // must neither crash nor read out of bounds (found with the sanitizers).
        for (int round = 0; round < 2000; ++round) {
            std::vector<std::uint8_t> damaged = whole;
            for (unsigned flips = 1 + random() % 8; flips > 0; --flips)
                damaged[random() % damaged.size()] ^= std::uint8_t(1u << (random() % 8));
            if (decoder.decode(damaged.data(), damaged.size(), frame.data(), frames) != Alac::Decoder::Status::Ok)
                ++refused;
            else
                QVERIFY(frames <= 4096);
        }
        QVERIFY(refused > 0);
        QVERIFY(decoder.decode(whole.data(), whole.size(), frame.data(), frames) == Alac::Decoder::Status::Ok);
        QCOMPARE(frames, 4096u);
    }
};

QTEST_GUILESS_MAIN(TestAlacCodec)
#include "tst_alaccodec.moc"
