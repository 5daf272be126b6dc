// MPEG-4 inputs through our own reader (tolmmp4demux): every layout decodes to the same
// samples as through GStreamer's reader, trims stay sample-exact, files the reader does
// not take still convert through GStreamer's, and damaged files end cleanly.

#include "sonmillrun.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <array>
#include <cmath>

using namespace Qt::StringLiterals;
using namespace SonmillRun;

namespace {

constexpr int kRate = 44100;
constexpr double kSeconds = 4.0;
const QString kOwnReader = u"demuxer: tolmmp4demux"_s;
const QString kGStreamerReader = u"demuxer: qtdemux"_s;

// Three tones whose loudness drifts: no stretch of it repeats, so a slice of the decoded
// audio matches the whole at one place only.
double signalAt(qint64 frame, int channel)
{
    const double t = double(frame) / kRate;
    const double drift = 0.6 + 0.4 * std::sin(2 * M_PI * 0.37 * t + channel);
    return 0.25 * drift
        * (std::sin(2 * M_PI * 440 * t) + 0.5 * std::sin(2 * M_PI * 1234.5 * t) + 0.3 * std::sin(2 * M_PI * 97.1 * t));
}

quint32 be32(const QByteArray &data, qsizetype at)
{
    return (quint32(quint8(data[at])) << 24) | (quint32(quint8(data[at + 1])) << 16)
        | (quint32(quint8(data[at + 2])) << 8) | quint32(quint8(data[at + 3]));
}

void setBe32(QByteArray &data, qsizetype at, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        data[at + i] = char((value >> (24 - 8 * i)) & 0xFF);
}

// Where the box of this type starts (its size field), searching from `from`; -1 if none.
qsizetype findBox(const QByteArray &data, const char *type, qsizetype from = 0)
{
    const qsizetype at = data.indexOf(type, from + 4);
    return at < 4 ? -1 : at - 4;
}

// The file with its 'moov' moved in front of 'mdat' (the chunk offsets moved with the data),
// as a "fast start" writer lays it out.
QByteArray moovFirst(const QByteArray &file)
{
    const qsizetype moov = findBox(file, "moov");
    const qsizetype mdat = findBox(file, "mdat");
    if (moov < 0 || mdat < 0 || moov < mdat)
        return {};
    QByteArray header = file.mid(moov, be32(file, moov));
    const qsizetype stco = findBox(header, "stco");
    if (stco < 0)
        return {};
    const quint32 count = be32(header, stco + 12);
    for (quint32 i = 0; i < count; ++i)
        setBe32(header, stco + 16 + 4 * i, be32(header, stco + 16 + 4 * i) + quint32(header.size()));
    return file.left(mdat) + header + file.mid(mdat, moov - mdat) + file.mid(moov + header.size());
}

// The samples of a 16-bit PCM WAV, interleaved.
QList<qint16> wavSamples(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    const qsizetype at = data.indexOf("data", 12);
    if (at < 0)
        return {};
    const qsizetype size = qMin<qsizetype>(qFromLittleEndian<quint32>(data.constData() + at + 4), data.size() - at - 8);
    QList<qint16> samples(size / 2);
    for (qsizetype i = 0; i < samples.size(); ++i)
        samples[i] = qFromLittleEndian<qint16>(data.constData() + at + 8 + 2 * i);
    return samples;
}

QProcessEnvironment reportingDemuxer(bool ownReaders = true)
{
    QProcessEnvironment env = environment();
    env.insert(u"TOLM_REPORT_DEMUXER"_s, u"1"_s);
    if (!ownReaders)
        env.insert(u"TOLM_OWN_DEMUXERS"_s, u"0"_s);
    return env;
}

} // namespace

class TestSonmillMp4 : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_wav; // the source
    QString m_m4a; // sonmill's own M4A of it: tables at the end, an edit list for the delay
    QString m_adts; // sonmill's ADTS of it, for GStreamer's muxers
    QMap<QString, QString> m_digests; // by input file, as our reader decodes it

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // Converts with the demuxer line on, which says which reader ran.
    Result convert(const QString &input, const QString &output, const QStringList &options = {}, bool own = true)
    {
        return run(conversionArguments(input, output, options), 60000, reportingDemuxer(own));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_wav = path(u"source.wav"_s);
        QVERIFY(writeWav(m_wav, kRate, 2, qint64(kSeconds * kRate), signalAt));
        m_m4a = path(u"sonmill.m4a"_s);
        m_adts = path(u"sonmill.aac"_s);
        for (const QString &output : { m_m4a, m_adts }) {
            const Result made
                = run(conversionArguments(m_wav, output, { u"-acodec"_s, u"aac"_s, u"-ab"_s, u"160k"_s }));
            QVERIFY2(made.exitCode == 0, qPrintable(made.output));
        }
        QFile in(m_m4a);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QByteArray first = moovFirst(in.readAll());
        QVERIFY(!first.isEmpty());
        QFile out(path(u"sonmill-moov-first.m4a"_s));
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(first) == first.size());
    }

    // Each layout decodes through the reader the row names, to exactly what GStreamer's
    // reader gives for it, and to the same samples as its twin in another layout.
    void layouts_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("muxer"); // a gst-launch tail making it from the ADTS; empty: made already
        QTest::addColumn<QString>("reader");
        QTest::addColumn<QString>("twin"); // decodes to the same samples; empty: none
        const QString aac = u"filesrc location=" + m_adts
            + u" ! aacparse ! audio/mpeg,stream-format=raw ! capssetter caps=audio/mpeg,mpegversion=(int)4 ! "_s;
        const QString video
            = u"videotestsrc num-buffers=100 ! video/x-raw,width=64,height=48,framerate=25/1 ! %1 ! mux. "_s;

        QTest::newRow("sonmill, tables at the end") << m_m4a << QString() << kOwnReader << QString();
        QTest::newRow("sonmill, tables first") << path(u"sonmill-moov-first.m4a"_s) << QString() << kOwnReader << m_m4a;
        QTest::newRow("qtmux, tables at the end")
            << path(u"qt.mov"_s) << aac + u"qtmux ! filesink location=%1"_s << kOwnReader << QString();
        QTest::newRow("qtmux, tables first")
            << path(u"qt-first.mov"_s) << aac + u"qtmux faststart=true ! filesink location=%1"_s << kOwnReader
            << path(u"qt.mov"_s);
        QTest::newRow("mp4mux, tables at the end")
            << path(u"iso.mp4"_s) << aac + u"mp4mux ! filesink location=%1"_s << kOwnReader << path(u"qt.mov"_s);
        QTest::newRow("mp4mux, tables first")
            << path(u"iso-first.mp4"_s) << aac + u"mp4mux faststart=true ! filesink location=%1"_s << kOwnReader
            << path(u"qt.mov"_s);
        QTest::newRow("with a JPEG video track")
            << path(u"video.mov"_s) << video.arg(u"jpegenc"_s) + aac + u"mux. qtmux name=mux ! filesink location=%1"_s
            << kOwnReader << QString();
        QTest::newRow("with an H.264 video track")
            << path(u"video.mp4"_s)
            << video.arg(u"x264enc"_s) + aac + u"mux. mp4mux name=mux faststart=true ! filesink location=%1"_s
            << kOwnReader << QString();
        // Fragments are left to GStreamer's reader.
        QTest::newRow("fragmented") << path(u"fragments.mp4"_s)
                                    << aac + u"mp4mux fragment-duration=500 ! filesink location=%1"_s
                                    << kGStreamerReader << path(u"qt.mov"_s);
    }
    void layouts()
    {
        QFETCH(QString, input);
        QFETCH(QString, muxer);
        QFETCH(QString, reader);
        QFETCH(QString, twin);
        if (!muxer.isEmpty())
            QVERIFY(make(muxer, input));

        const QString ours = input + u".wav"_s;
        const Result result = convert(input, ours);
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        QVERIFY2(result.output.contains(reader), qPrintable(result.output));
        const Media decoded = inspect(ours);
        QVERIFY(decoded.ok);
        QVERIFY2(std::fabs(decoded.seconds - kSeconds) < 0.05, qPrintable(QString::number(decoded.seconds)));
        m_digests.insert(input, decoded.digest);

        const QString theirs = input + u".gst.wav"_s;
        const Result reference = convert(input, theirs, {}, false);
        QVERIFY2(reference.exitCode == 0, qPrintable(reference.output));
        QVERIFY2(reference.output.contains(kGStreamerReader), qPrintable(reference.output));
        const Media expected = inspect(theirs);
        QCOMPARE(decoded.frames, expected.frames);
        QCOMPARE(decoded.digest, expected.digest);
        if (!twin.isEmpty()) {
            QVERIFY(m_digests.contains(twin));
            QCOMPARE(decoded.digest, m_digests.value(twin));
        }
    }

    // MPEG-4 files whose audio is not AAC: MP3 and MP2 through our reader, on to GStreamer's
    // MPEG audio parser and decoder; codings our reader leaves alone through GStreamer's
    // reader and their own parsers and decoders. Each converts whole, to the length it was
    // made with, and decodes as through GStreamer's reader alone.
    void otherCodings_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("muxer"); // a gst-launch tail making it
        QTest::addColumn<QString>("reader");
        QTest::addColumn<double>("seconds");
        // 200 buffers of 1024 samples at 44.1 kHz.
        const QString tone = u"audiotestsrc num-buffers=200 ! audio/x-raw,rate=44100,channels=2 ! audioconvert ! "_s;
        const double toneSeconds = 200 * 1024 / 44100.0;
        QTest::newRow("mp3, mp4mux") << path(u"mp3in.m4a"_s)
                                     << tone + u"lamemp3enc ! mpegaudioparse ! mp4mux ! filesink location=%1"_s
                                     << kOwnReader << toneSeconds;
        QTest::newRow("mp3, qtmux, tables first")
            << path(u"mp3in.mov"_s)
            << tone + u"lamemp3enc ! mpegaudioparse ! qtmux faststart=true ! filesink location=%1"_s << kOwnReader
            << toneSeconds;
        QTest::newRow("mp2, mp4mux") << path(u"mp2in.m4a"_s)
                                     << tone + u"twolamemp2enc ! mpegaudioparse ! mp4mux ! filesink location=%1"_s
                                     << kOwnReader << toneSeconds;
        QTest::newRow("mp3 at 22.05 kHz, mp4mux")
            << path(u"mp3-22k.m4a"_s)
            << u"audiotestsrc num-buffers=100 ! audio/x-raw,rate=22050,channels=1 ! audioconvert ! "
               "lamemp3enc ! mpegaudioparse ! mp4mux ! filesink location=%1"_s
            << kOwnReader << 100 * 1024 / 22050.0;
        QTest::newRow("ac3, mp4mux") << path(u"ac3in.mp4"_s)
                                     << u"filesrc location=%2 ! ac3parse ! mp4mux ! filesink location=%1"_s
                                     << kGStreamerReader << kSeconds;
    }
    void otherCodings()
    {
        QFETCH(QString, input);
        QFETCH(QString, muxer);
        QFETCH(QString, reader);
        QFETCH(double, seconds);
        if (muxer.contains(u"%2"_s)) {
            const QString ac3 = path(u"source.ac3"_s);
            const Result made = run(conversionArguments(m_wav, ac3, { u"-acodec"_s, u"ac3"_s, u"-ab"_s, u"192k"_s }));
            QVERIFY2(made.exitCode == 0, qPrintable(made.output));
            muxer = muxer.arg(u"%1"_s, ac3);
        }
        QVERIFY(make(muxer, input));

        const QString ours = input + u".wav"_s;
        const Result result = convert(input, ours, { u"-acodec"_s, u"pcm16le"_s });
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        QVERIFY2(result.output.contains(reader), qPrintable(result.output));
        // What was made, give or take the encoder's delay and padding (a frame or two, which
        // these muxers keep); and all of what the file says it holds.
        const double said = durationLine(result.output);
        QVERIFY2(said >= seconds && said - seconds < 0.08, qPrintable(result.output));
        const Media decoded = inspect(ours);
        QVERIFY(decoded.ok);
        QVERIFY2(std::fabs(decoded.seconds - said) < 0.01, qPrintable(QString::number(decoded.seconds)));

        const QString theirs = input + u".gst.wav"_s;
        const Result reference = convert(input, theirs, { u"-acodec"_s, u"pcm16le"_s }, false);
        QVERIFY2(reference.exitCode == 0, qPrintable(reference.output));
        QCOMPARE(decoded.frames, inspect(theirs).frames);
        QCOMPARE(decoded.digest, inspect(theirs).digest);
    }

    // Tags come through our reader as through GStreamer's.
    void tags()
    {
        const QString tagged = path(u"tagged.m4a"_s);
        QVERIFY(make(u"audiotestsrc num-buffers=50 ! audio/x-raw,rate=44100,channels=2 ! taginject "
                     "tags=\"title=Song,artist=Someone,album=Record,album-artist=Band,track-number=(uint)4,"
                     "track-count=(uint)9,album-disc-number=(uint)2,album-disc-count=(uint)3,"
                     "datetime=(GstDateTime)1999-12-31,genre=Jazz,comment=Fine\" ! flacenc ! filesink location=%1"_s,
            tagged + u".flac"_s));
        QVERIFY(run(conversionArguments(tagged + u".flac"_s, tagged, { u"-acodec"_s, u"aac"_s })).exitCode == 0);
        const QString back = path(u"back.flac"_s);
        const Result result = convert(tagged, back);
        QVERIFY2(result.exitCode == 0 && result.output.contains(kOwnReader), qPrintable(result.output));
        const QMap<QString, QString> expected = inspect(tagged).tags; // GStreamer's reader
        const QMap<QString, QString> copied = inspect(back).tags;
        for (const QString &name :
            { u"title"_s, u"artist"_s, u"album"_s, u"album-artist"_s, u"track-number"_s, u"track-count"_s,
                u"album-disc-number"_s, u"album-disc-count"_s, u"datetime"_s, u"genre"_s, u"comment"_s }) {
            QVERIFY2(!expected.value(name).isEmpty(), qPrintable(name));
            QCOMPARE(copied.value(name), expected.value(name));
        }
    }

    // -ss and -t on an M4A: the piece is the whole file's decoded audio from that point,
    // sample for sample (no silent or smeared first frame), and exactly -t long.
    void trims_data()
    {
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("length");
        QTest::newRow("inside the first frames") << 0.01 << 0.5;
        QTest::newRow("on a frame boundary") << 1024.0 * 40 / kRate << 1.0;
        QTest::newRow("mid-frame") << 1.2345 << 1.5;
        QTest::newRow("to the end") << 3.0 << 0.0;
    }
    void trims()
    {
        QFETCH(double, start);
        QFETCH(double, length);
        const QString whole = path(u"whole.wav"_s);
        if (!QFileInfo::exists(whole))
            QVERIFY(convert(m_m4a, whole).exitCode == 0);
        const QList<qint16> all = wavSamples(whole);
        QVERIFY(all.size() > kSeconds * kRate);

        QStringList options { u"-ss"_s, QString::number(start, 'f', 6) };
        if (length > 0)
            options << u"-t"_s << QString::number(length, 'f', 6);
        const QString piece = path(u"piece.wav"_s);
        const Result result = convert(m_m4a, piece, options);
        QVERIFY2(result.exitCode == 0 && result.output.contains(kOwnReader), qPrintable(result.output));
        const QList<qint16> cut = wavSamples(piece);
        if (length > 0)
            QCOMPARE(cut.size() / 2, qRound(length * kRate));
        // The whole file's first sample lies one before the edit list's start (the
        // nanosecond rounding of GStreamer's own reader, kept), so the piece starts at
        // its frame or the one after.
        const qsizetype at = qsizetype(std::llround(start * kRate));
        bool found = false;
        for (qsizetype shift : { 0, 1 }) {
            const qsizetype first = (at + shift) * 2;
            if (first + cut.size() <= all.size() && all.mid(first, cut.size()) == cut)
                found = true;
        }
        QVERIFY2(found, qPrintable(u"%1 samples from %2"_s.arg(cut.size()).arg(at)));
    }

    // Damaged files: a clean error (and nothing under the output name) or a conversion of
    // what is there, always within a bounded time.
    void damaged_data()
    {
        QTest::addColumn<QString>("base"); // the file it is made from
        QTest::addColumn<QString>("damage");
        QTest::addColumn<bool>("mustFail");
        const QString end = m_m4a;
        const QString first = path(u"sonmill-moov-first.m4a"_s);
        QTest::newRow("cut in half, tables at the end") << end << u"truncate"_s << true;
        QTest::newRow("cut in half, tables first") << first << u"truncate"_s << false;
        QTest::newRow("moov larger than the file") << first << u"moov size"_s << false;
        QTest::newRow("first box of size zero") << first << u"zero box"_s << true;
        QTest::newRow("sample count far past its table") << first << u"stsz count"_s << false;
        QTest::newRow("chunks outside the file") << first << u"stco outside"_s << true;
        QTest::newRow("a frame of absurd size") << first << u"huge frame"_s << true;
        QTest::newRow("no samples per chunk") << first << u"stsc zero"_s << true;
        QTest::newRow("edit past the media") << first << u"edit"_s << false;
        QTest::newRow("size fields flipped") << first << u"flip sizes"_s << false;
    }
    void damaged()
    {
        QFETCH(QString, base);
        QFETCH(QString, damage);
        QFETCH(bool, mustFail);
        QFile in(base);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QByteArray data = in.readAll();
        const qsizetype stbl = findBox(data, "stbl");
        QVERIFY(stbl > 0);
        if (damage == u"truncate") {
            data.truncate(data.size() / 2);
        } else if (damage == u"moov size") {
            setBe32(data, findBox(data, "moov"), 0x7FFFFFF0);
        } else if (damage == u"zero box") {
            setBe32(data, 0, 0);
        } else if (damage == u"stsz count") {
            setBe32(data, findBox(data, "stsz", stbl) + 16, 0x7FFFFFF0);
        } else if (damage == u"stco outside") {
            const qsizetype stco = findBox(data, "stco", stbl);
            for (quint32 i = 0; i < be32(data, stco + 12); ++i)
                setBe32(data, stco + 16 + 4 * i, 0x7FFFFF00);
        } else if (damage == u"huge frame") {
            setBe32(data, findBox(data, "stsz", stbl) + 20, 0x00FFFFFF);
        } else if (damage == u"stsc zero") {
            const qsizetype stsc = findBox(data, "stsc", stbl);
            for (quint32 i = 0; i < be32(data, stsc + 12); ++i)
                setBe32(data, stsc + 16 + 12 * i + 4, 0);
        } else if (damage == u"edit") {
            setBe32(data, findBox(data, "elst") + 20, 0x7FFFFFF0);
        } else if (damage == u"flip sizes") {
            for (const char *type : { "trak", "mdia", "minf", "stbl", "stsd" }) {
                const qsizetype at = findBox(data, type);
                setBe32(data, at, be32(data, at) ^ 0x00010001);
            }
        }
        const QString input = path(u"damaged.m4a"_s);
        QFile out(input);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(data) == data.size());
        out.close();

        const QString output = path(u"damaged.mp3"_s);
        QFile::remove(output);
        const Result result = convert(input, output, { u"-acodec"_s, u"libmp3lame"_s });
        QVERIFY2(result.finished && !result.crashed, qPrintable(result.output));
        QVERIFY2(result.milliseconds < 30000, qPrintable(QString::number(result.milliseconds)));
        if (result.exitCode == 0) {
            QVERIFY2(!mustFail, qPrintable(result.output));
            const Media media = inspect(output);
            QVERIFY(media.ok);
            QVERIFY(media.seconds <= kSeconds + 0.1);
        } else {
            QVERIFY2(result.output.contains(u"Error: "_s), qPrintable(result.output));
            QVERIFY2(!result.output.contains(u"global"_s), qPrintable(result.output));
            QVERIFY(!QFileInfo::exists(output));
        }
    }

    // A file that lost its index: no reader can take it. It is refused at once on every run,
    // including the runs where GStreamer's decodebin drops the error of the reader that
    // gave up (now and then, more often on a busy machine): three probes at a time, many
    // times over, none of them may wait for the stall limit.
    void withoutIndexRefusedAtOnce_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("first half of the file") << u"half"_s;
        QTest::newRow("movie header of size zero") << u"mvhd"_s;
    }
    void withoutIndexRefusedAtOnce()
    {
        QFETCH(QString, damage);
        QFile in(m_m4a);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QByteArray data = in.readAll();
        if (damage == u"half")
            data.truncate(data.size() / 2);
        else
            setBe32(data, findBox(data, "mvhd"), 0);
        const QString input = path(u"no-index.m4a"_s);
        QFile out(input);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(data) == data.size());
        out.close();

        const QString failure = probeRefusals(input, m_dir.path(), 60);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QVERIFY(noLeftovers(m_dir.path()));
    }
};

QTEST_GUILESS_MAIN(TestSonmillMp4)
#include "tst_sonmillmp4.moc"
