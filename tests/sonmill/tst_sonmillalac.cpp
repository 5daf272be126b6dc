// Apple Lossless through the real sonmill: written into M4A by our encoder and read back by
// our MP4 reader and decoder, sample for sample at 16 and 24 bits, with its exact length;
// sources made by libsndfile's ALAC (in CAF) convert to FLAC unchanged.

#include "sonmillrun.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cmath>

using namespace Qt::StringLiterals;
using namespace SonmillRun;

namespace {

const QString kSndfileConvert = u"/usr/bin/sndfile-convert"_s;

// Music-like material: two tones under a slow swell, a little noise, a quiet passage.
double musicSample(qint64 frame, int channel, int rate)
{
    const double t = double(frame) / rate;
    quint32 seed = quint32(frame * 2 + channel) * 2654435761u;
    seed ^= seed >> 15;
    const double noise = double(seed % 2001) / 1000.0 - 1.0;
    const double swell = t > 1.5 && t < 2.0 ? 0.01 : 0.4 + 0.2 * std::sin(2 * M_PI * 0.5 * t);
    return swell * (0.6 * std::sin(2 * M_PI * (196 + 5 * channel) * t) + 0.3 * std::sin(2 * M_PI * 1570 * t))
        + 0.003 * noise;
}

// A PCM WAV of 16 or 24 bits.
bool writePcm(const QString &path, int rate, int channels, int bits, qint64 frames)
{
    const int width = bits / 8;
    const double top = std::ldexp(1.0, bits - 1) - 1;
    QByteArray data;
    data.reserve(qsizetype(frames * channels * width));
    for (qint64 f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c) {
            const auto value = qint32(std::lround(musicSample(f, c, rate) * top));
            for (int b = 0; b < width; ++b)
                data.append(char((quint32(value) >> (8 * b)) & 0xFF));
        }
    QByteArray file("RIFF");
    const auto le = [&](quint32 v, int bytes) {
        for (int b = 0; b < bytes; ++b)
            file.append(char((v >> (8 * b)) & 0xFF));
    };
    le(quint32(36 + data.size()), 4);
    file.append("WAVEfmt ");
    le(16, 4);
    le(1, 2);
    le(quint32(channels), 2);
    le(quint32(rate), 4);
    le(quint32(rate * channels * width), 4);
    le(quint32(channels * width), 2);
    le(quint32(bits), 2);
    file.append("data");
    le(quint32(data.size()), 4);
    file.append(data);
    QFile out(path);
    return out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(file) == file.size();
}

// The sample size a WAV or FLAC file holds, by its header.
int bitsOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray head = file.read(4096);
    if (head.startsWith("RIFF")) {
        for (qsizetype at = 12; at + 24 <= head.size();) {
            const quint32 size = qFromLittleEndian<quint32>(head.constData() + at + 4);
            if (head.mid(at, 4) == "fmt ")
                return qFromLittleEndian<quint16>(head.constData() + at + 22);
            at += 8 + size + (size & 1);
        }
        return 0;
    }
    if (head.startsWith("fLaC"))
        return ((quint8(head.at(20)) & 1) << 4 | (quint8(head.at(21)) >> 4)) + 1;
    return 0;
}

} // namespace

class TestSonmillAlac : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // WAV to ALAC to WAV (and to FLAC): the same samples, the same size of them, the same
    // length, at any rate; the M4A says it holds ALAC.
    void roundTrip_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("bits");
        QTest::newRow("16 bit stereo, 44.1 kHz") << 44100 << 2 << 16;
        QTest::newRow("24 bit stereo, 96 kHz") << 96000 << 2 << 24;
        QTest::newRow("16 bit mono, 22.05 kHz") << 22050 << 1 << 16;
        QTest::newRow("24 bit mono, 48 kHz") << 48000 << 1 << 24;
    }
    void roundTrip()
    {
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(int, bits);
        const qint64 frames = std::llround(7.43 * rate);
        const QString name = u"%1-%2-%3"_s.arg(rate).arg(channels).arg(bits);
        const QString source = path(name + u".wav"_s);
        QVERIFY(writePcm(source, rate, channels, bits, frames));
        const QString alac = path(name + u".m4a"_s);
        // The program's line for a lossless profile: copy first, then the encoder.
        Result result = run(conversionArguments(
            source, alac, { u"-acodec"_s, u"copy"_s, u"-acodec"_s, u"alac"_s, u"-ac"_s, QString::number(channels) }));
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        QFile written(alac);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray bytes = written.readAll();
        QVERIFY(bytes.contains("stsd") && bytes.contains("alac") && !bytes.contains("mp4a"));
        QVERIFY(bytes.contains("elst"));
        QVERIFY2(bytes.size() < QFileInfo(source).size() * 9 / 10, "it compresses");

        const Media in = inspect(source);
        const Media out = inspect(alac);
        QVERIFY(in.ok && out.ok);
        QVERIFY2(out.chain.contains(u"audio/x-alac"_s), qPrintable(out.chain));
        QCOMPARE(out.rate, rate);
        QCOMPARE(out.channels, channels);
        QCOMPARE(out.frames, frames);
        QCOMPARE(out.digest, in.digest);

        for (const QString &back : QStringList { name + u"-back.wav"_s, name + u"-back.flac"_s }) {
            const QString target = path(back);
            const QStringList codec = back.endsWith(u".wav"_s)
                ? QStringList { u"-acodec"_s, u"copy"_s, u"-acodec"_s, u"pcm16le"_s }
                : QStringList { u"-acodec"_s, u"copy"_s, u"-acodec"_s, u"flac"_s };
            result = run(conversionArguments(alac, target, codec));
            QVERIFY2(result.exitCode == 0, qPrintable(result.output));
            QCOMPARE(bitsOf(target), bits);
            const Media again = inspect(target);
            QCOMPARE(again.frames, frames);
            QCOMPARE(again.digest, in.digest);
        }
    }

    // An ALAC file made by libsndfile's own encoder (CAF) converts to FLAC and to our ALAC
    // unchanged.
    void fromLibsndfile_data()
    {
        QTest::addColumn<int>("bits");
        QTest::newRow("16 bit") << 16;
        QTest::newRow("24 bit") << 24;
    }
    void fromLibsndfile()
    {
        QFETCH(int, bits);
        QVERIFY2(QFile::exists(kSndfileConvert), "sndfile-convert (sndfile-programs) is needed");
        const QString source = path(u"theirs-%1.wav"_s.arg(bits));
        QVERIFY(writePcm(source, 44100, 2, bits, 3 * 44100 + 77));
        const QString caf = path(u"theirs-%1.caf"_s.arg(bits));
        QProcess convert;
        convert.setProcessChannelMode(QProcess::MergedChannels);
        convert.start(kSndfileConvert, { bits == 16 ? u"-alac16"_s : u"-alac24"_s, source, caf });
        QVERIFY(convert.waitForFinished(60000) && convert.exitCode() == 0);
        const Media in = inspect(source);
        for (const QString &target :
            QStringList { path(u"theirs-%1.flac"_s.arg(bits)), path(u"theirs-%1.m4a"_s.arg(bits)) }) {
            const QString encoder = target.endsWith(u".flac"_s) ? u"flac"_s : u"alac"_s;
            const Result result
                = run(conversionArguments(caf, target, { u"-acodec"_s, u"copy"_s, u"-acodec"_s, encoder }));
            QVERIFY2(result.exitCode == 0, qPrintable(result.output));
            const Media out = inspect(target);
            QCOMPARE(out.frames, in.frames);
            QCOMPARE(out.digest, in.digest);
        }
    }

    // A damaged ALAC file: a clear refusal or a shorter result, never a crash or a hang, and
    // no output left under the final name on failure.
    void damagedInput()
    {
        const QString source = path(u"whole.wav"_s);
        QVERIFY(writePcm(source, 44100, 2, 16, 44100));
        const QString alac = path(u"whole.m4a"_s);
        QCOMPARE(run(conversionArguments(source, alac, { u"-acodec"_s, u"alac"_s })).exitCode, 0);
        QFile file(alac);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray bytes = file.readAll();
        file.close();
        // Scribble over the middle of the audio.
        const qsizetype mdat = bytes.indexOf("mdat");
        QVERIFY(mdat > 0);
        for (qsizetype i = mdat + 2000; i < mdat + 2400 && i < bytes.size(); ++i)
            bytes[i] = char(0xA5 ^ bytes[i]);
        const QString damaged = path(u"damaged.m4a"_s);
        QFile out(damaged);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
        out.close();
        const QString target = path(u"from-damaged.wav"_s);
        const Result result = run(conversionArguments(damaged, target, { u"-acodec"_s, u"pcm16le"_s }));
        QVERIFY(result.finished && !result.crashed);
        if (result.exitCode != 0) {
            QVERIFY2(result.output.contains(u"Error: "_s), qPrintable(result.output));
            QVERIFY(!QFileInfo::exists(target));
        }
        QVERIFY(noLeftovers(m_dir.path()));
    }
};

QTEST_GUILESS_MAIN(TestSonmillAlac)
#include "tst_sonmillalac.moc"
