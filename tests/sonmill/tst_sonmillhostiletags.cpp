// Tags that a hostile or careless file carries, converted by the real sonmill and judged by
// readers that are not ours (mutagen, and the ID3 tag's own size field): a compressed frame
// that inflates far past any sane size, a tag or picture that the output format cannot hold.
// The run either converts to a file those readers read, with what did not fit left out and
// said in the log, or fails with a reason; never "converted" with a broken file.

#include "sonmillrun.h"
#include "testfiles.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <zlib.h>

using namespace Qt::StringLiterals;
using namespace SonmillRun;

namespace {

// Debian's interpreter, where python3-mutagen is installed.
const QString kPython = u"/usr/bin/python3"_s;

QByteArray synchsafe(quint32 value)
{
    const char bytes[4]
        = { char((value >> 21) & 0x7f), char((value >> 14) & 0x7f), char((value >> 7) & 0x7f), char(value & 0x7f) };
    return QByteArray(bytes, 4);
}

QByteArray bigEndian(quint32 value)
{
    const char bytes[4] = { char(value >> 24), char(value >> 16), char(value >> 8), char(value) };
    return QByteArray(bytes, 4);
}

// A zlib stream of that many zero bytes, made a megabyte at a time.
QByteArray deflatedZeros(qint64 bytes)
{
    z_stream stream {};
    deflateInit(&stream, 9);
    const QByteArray chunk(1 << 20, '\0');
    QByteArray out;
    char buffer[1 << 16];
    for (qint64 left = bytes; left >= 0; left -= chunk.size()) {
        const bool last = left <= chunk.size();
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(chunk.data()));
        stream.avail_in = uInt(last ? left : chunk.size());
        do {
            stream.next_out = reinterpret_cast<Bytef *>(buffer);
            stream.avail_out = sizeof buffer;
            deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
            out.append(buffer, int(sizeof buffer - stream.avail_out));
        } while (stream.avail_out == 0);
        if (last)
            break;
    }
    deflateEnd(&stream);
    return out;
}

// One frame: the body as stored, with ID3v2.3's or 2.4's size field and format flags.
QByteArray frame(int version, const char *id, const QByteArray &body, char formatFlags = 0)
{
    return QByteArray(id) + (version == 4 ? synchsafe(quint32(body.size())) : bigEndian(quint32(body.size()))) + char(0)
        + formatFlags + body;
}

// A compressed frame whose body inflates to `inflated` zero bytes after `lead`.
QByteArray compressedFrame(int version, const char *id, qint64 inflated)
{
    const QByteArray stream = deflatedZeros(inflated);
    if (version == 4) // compressed, with the data length before the stream
        return frame(4, id, synchsafe(quint32(inflated)) + stream, char(0x08 | 0x01));
    return frame(3, id, bigEndian(quint32(inflated)) + stream, char(0x80));
}

QByteArray compressedText(int version, const char *id, const QByteArray &text)
{
    const QByteArray body = char(version == 4 ? 3 : 0) + text;
    QByteArray stream = qCompress(body, 9).mid(4); // qCompress puts the length in front
    if (version == 4)
        return frame(4, id, synchsafe(quint32(body.size())) + stream, char(0x08 | 0x01));
    return frame(3, id, bigEndian(quint32(body.size())) + stream, char(0x80));
}

QByteArray tag(int version, const QByteArray &frames)
{
    return QByteArray("ID3") + char(version) + char(0) + char(0) + synchsafe(quint32(frames.size())) + frames;
}

// The audio of an MP3 without its ID3v2 tag, if it has one.
QByteArray withoutTag(const QByteArray &mp3)
{
    if (!mp3.startsWith("ID3"))
        return mp3;
    const auto *p = reinterpret_cast<const unsigned char *>(mp3.constData()) + 6;
    const qint64 size = (qint64(p[0]) << 21) | (qint64(p[1]) << 14) | (qint64(p[2]) << 7) | qint64(p[3]);
    return mp3.mid(10 + size);
}

// Where an ID3v2 tag says it ends, an MPEG frame must begin: readers find the audio there.
QString id3EndCheck(const QString &path)
{
    const QByteArray bytes = TestFiles::read(path);
    if (!bytes.startsWith("ID3"))
        return {};
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qint64 end = 10 + ((qint64(p[6]) << 21) | (qint64(p[7]) << 14) | (qint64(p[8]) << 7) | qint64(p[9]));
    if (end + 2 > bytes.size())
        return u"the tag says it ends at %1, past the file's %2 bytes"_s.arg(end).arg(bytes.size());
    if (p[end] != 0xff || (p[end + 1] & 0xe0) != 0xe0)
        return u"no MPEG frame where the tag says it ends (%1 of %2 bytes)"_s.arg(end).arg(bytes.size());
    return {};
}

QJsonObject mutagenRead(const QString &path, QString *error)
{
    QProcess process;
    process.start(kPython, { QStringLiteral(TOLM_SOURCE_DIR "/tests/sonmill/tagjudge.py"), u"read"_s, path });
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *error = QString::fromUtf8(process.readAllStandardError());
        return {};
    }
    return QJsonDocument::fromJson(process.readAllStandardOutput()).object();
}

} // namespace

class TestSonmillHostileTags : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QByteArray m_audio; // an MP3's frames, without a tag

    QString path(const QString &name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(writeWav(
            path(u"tone.wav"_s), 44100, 2, 44100 * 2, [](qint64 frame, int) { return 0.3 * std::sin(frame * 0.05); }));
        const Result made
            = run(conversionArguments(path(u"tone.wav"_s), path(u"plain.mp3"_s), { u"-ab"_s, u"128k"_s }));
        QVERIFY2(made.exitCode == 0, qPrintable(made.output));
        m_audio = withoutTag(TestFiles::read(path(u"plain.mp3"_s)));
        QVERIFY(m_audio.size() > 1000);
    }

    // A source MP3 whose ID3 tag has a compressed frame, converted to MP3 and FLAC: the
    // frame that inflates past the limit is left out and said; the frames beside it, a small
    // compressed one included, still arrive; the output is read whole by mutagen.
    void compressedFrames_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<QByteArray>("id");
        QTest::addColumn<qint64>("inflated");
        QTest::addColumn<QString>("output");
        QTest::addColumn<bool>("leftOut");
        for (const QString &output : { u"mp3"_s, u"flac"_s }) {
            QTest::addRow("2.3 TXXX inflating to 256 MiB, to %s", qPrintable(output))
                << 3 << QByteArray("TXXX") << (qint64(256) << 20) << output << true;
            QTest::addRow("2.3 APIC inflating to 256 MiB, to %s", qPrintable(output))
                << 3 << QByteArray("APIC") << (qint64(256) << 20) << output << true;
            QTest::addRow("2.4 PRIV inflating to 64 MiB, to %s", qPrintable(output))
                << 4 << QByteArray("PRIV") << (qint64(64) << 20) << output << true;
        }
        QTest::addRow("2.3 TXXX inflating to 1 MiB, to mp3")
            << 3 << QByteArray("TXXX") << (qint64(1) << 20) << u"mp3"_s << false;
    }

    void compressedFrames()
    {
        QFETCH(int, version);
        QFETCH(QByteArray, id);
        QFETCH(qint64, inflated);
        QFETCH(QString, output);
        QFETCH(bool, leftOut);
        const QByteArray frames = frame(version, "TPE1", char(0) + QByteArray("Plain artist"))
            + compressedFrame(version, id.constData(), inflated)
            + compressedText(version, "TIT2", "Small compressed title");
        const QString source = path(u"compressed.mp3"_s);
        QVERIFY(TestFiles::write(source, tag(version, frames) + m_audio));
        const QString converted = path(u"out."_s + output);
        QFile::remove(converted);

        const Result result = run(conversionArguments(source, converted, {}), 120000);
        QVERIFY2(result.finished, qPrintable(result.output));
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        QCOMPARE(result.output.contains(u"Tags: a compressed tag frame larger than 16 MiB is left out"_s), leftOut);
        QVERIFY(QFileInfo(converted).size() < 8 << 20);

        QCOMPARE(id3EndCheck(converted), QString());
        QString error;
        const QJsonObject read = mutagenRead(converted, &error);
        QVERIFY2(!read.isEmpty(), qPrintable(error));
        QVERIFY(read.value(u"seconds").toDouble() > 1.5);
        const QJsonObject fields = read.value(u"fields").toObject();
        QCOMPARE(fields.value(u"artist").toArray().first().toString(), u"Plain artist"_s);
        QCOMPARE(fields.value(u"title").toArray().first().toString(), u"Small compressed title"_s);
        QCOMPARE(read.value(u"pictures").toArray().size(), 0);
    }

    // A picture past what a FLAC metadata block holds (16 MiB) is left out of FLAC and Ogg
    // Vorbis outputs, said in the log, and the audio converts; an MP3 output keeps it.
    void pictureTooBigForTheFormat_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<int>("pictures");
        QTest::newRow("to flac") << u"flac"_s << 0;
        QTest::newRow("to ogg") << u"ogg"_s << 0;
        QTest::newRow("to mp3") << u"mp3"_s << 1;
    }

    void pictureTooBigForTheFormat()
    {
        QFETCH(QString, output);
        QFETCH(int, pictures);
        const QString source = path(u"bigpicture.mp3"_s);
        if (!QFile::exists(source)) {
            QByteArray picture = QByteArray("\xff\xd8\xff\xe0", 4) + QByteArray(17 << 20, '\0');
            for (qsizetype i = 4; i < picture.size(); i += 4096)
                picture[i] = char(i >> 12); // not all zeros, as a real picture's bytes are not
            const QByteArray body = QByteArray(1, '\0') + "image/jpeg" + char(0) + char(3) + char(0) + picture;
            QVERIFY(TestFiles::write(source,
                tag(3, frame(3, "TIT2", QByteArray(1, '\0') + "Picture title") + frame(3, "APIC", body)) + m_audio));
        }
        const QString converted = path(u"bigpicture-out."_s + output);
        QFile::remove(converted);
        const Result result = run(conversionArguments(source, converted, {}), 120000);
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        QCOMPARE(result.output.contains(u"Tags: a picture larger than a FLAC metadata block (16 MiB) is left out"_s),
            pictures == 0);
        QCOMPARE(id3EndCheck(converted), QString());
        QString error;
        const QJsonObject read = mutagenRead(converted, &error);
        QVERIFY2(!read.isEmpty(), qPrintable(error));
        QVERIFY(read.value(u"seconds").toDouble() > 1.5);
        QCOMPARE(read.value(u"fields").toObject().value(u"title").toArray().first().toString(), u"Picture title"_s);
        QCOMPARE(read.value(u"pictures").toArray().size(), pictures);
        QVERIFY(QFileInfo(converted).size() < (pictures == 0 ? 2 << 20 : 20 << 20));
    }
};

QTEST_GUILESS_MAIN(TestSonmillHostileTags)
#include "tst_sonmillhostiletags.moc"
