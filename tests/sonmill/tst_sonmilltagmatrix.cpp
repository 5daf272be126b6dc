// Tags and pictures carried from FLAC, MP3 (ID3v2.4) and M4A sources to every output format
// that holds them, judged by mutagen (tagjudge.py), a reader that is not ours.

#include "sonmillrun.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;
using namespace SonmillRun;

namespace {

using Fields = QMap<QString, QStringList>;

struct Judged
{
    bool ok = false;
    QString error;
    QString kind;
    Fields fields;
    QJsonArray pictures; // type, mime, desc, size, sha1
};

// Debian's interpreter, where python3-mutagen is installed.
const QString kPython = u"/usr/bin/python3"_s;

QByteArray runJudge(const QStringList &arguments, QString *error)
{
    QProcess process;
    process.start(kPython, QStringList { QStringLiteral(TOLM_SOURCE_DIR "/tests/sonmill/tagjudge.py") } + arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *error = QString::fromUtf8(process.readAllStandardError());
        return {};
    }
    return process.readAllStandardOutput();
}

Judged judge(const QString &path)
{
    Judged judged;
    const QByteArray text = runJudge({ u"read"_s, path }, &judged.error);
    const QJsonObject object = QJsonDocument::fromJson(text).object();
    if (object.isEmpty())
        return judged;
    judged.ok = true;
    judged.kind = object.value(u"kind").toString();
    const QJsonObject fields = object.value(u"fields").toObject();
    for (auto it = fields.begin(); it != fields.end(); ++it) {
        QStringList values;
        for (const QJsonValue &value : it.value().toArray())
            values << value.toString();
        judged.fields.insert(it.key(), values);
    }
    judged.pictures = object.value(u"pictures").toArray();
    return judged;
}

bool tagWithJudge(const QString &path, const QJsonObject &plan, const QString &planFile)
{
    QFile file(planFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(QJsonDocument(plan).toJson());
    file.close();
    QString error;
    runJudge({ u"write"_s, path, planFile }, &error);
    return error.isEmpty();
}

QJsonArray list(const QStringList &values)
{
    return QJsonArray::fromStringList(values);
}

// Every field the usual taggers write, by Vorbis comment name; STUDIO is a field of nobody's table.
QJsonObject fullFields()
{
    return QJsonObject {
        { u"title"_s, list({ u"Song Title"_s }) },
        { u"artist"_s, list({ u"Artist One"_s, u"Artist Two"_s }) },
        { u"album"_s, list({ u"An Album"_s }) },
        { u"albumartist"_s, list({ u"Various Artists"_s }) },
        { u"tracknumber"_s, list({ u"3"_s }) },
        { u"tracktotal"_s, list({ u"12"_s }) },
        { u"discnumber"_s, list({ u"1"_s }) },
        { u"disctotal"_s, list({ u"2"_s }) },
        { u"date"_s, list({ u"2021-05-04"_s }) },
        { u"originaldate"_s, list({ u"1999"_s }) },
        { u"genre"_s, list({ u"Rock"_s }) },
        { u"comment"_s, list({ u"A comment"_s }) },
        { u"composer"_s, list({ u"A Composer"_s }) },
        { u"conductor"_s, list({ u"A Conductor"_s }) },
        { u"lyricist"_s, list({ u"A Lyricist"_s }) },
        { u"lyrics"_s, list({ u"First line\nSecond line"_s }) },
        { u"label"_s, list({ u"A Label"_s }) },
        { u"copyright"_s, list({ u"2021 Someone"_s }) },
        { u"isrc"_s, list({ u"GBAYE0000001"_s }) },
        { u"barcode"_s, list({ u"0123456789012"_s }) },
        { u"catalognumber"_s, list({ u"CAT-001"_s }) },
        { u"bpm"_s, list({ u"120"_s }) },
        { u"compilation"_s, list({ u"1"_s }) },
        { u"grouping"_s, list({ u"A Group"_s }) },
        { u"mood"_s, list({ u"Calm"_s }) },
        { u"titlesort"_s, list({ u"Title, Song"_s }) },
        { u"artistsort"_s, list({ u"One, Artist"_s, u"Two, Artist"_s }) },
        { u"albumsort"_s, list({ u"Album, An"_s }) },
        { u"albumartistsort"_s, list({ u"Artists, Various"_s }) },
        { u"composersort"_s, list({ u"Composer, A"_s }) },
        { u"musicbrainz_trackid"_s, list({ u"0b6f4c37-1a87-4c4c-9c6c-6a2f2a6a0f01"_s }) },
        { u"musicbrainz_albumid"_s, list({ u"5d3e1f0a-7b5e-4f6b-8d43-0e0f7a7b8c02"_s }) },
        { u"musicbrainz_artistid"_s, list({ u"a1b2c3d4-0000-4000-8000-000000000003"_s }) },
        { u"acoustid_id"_s, list({ u"f0e1d2c3-1111-4111-8111-000000000004"_s }) },
        { u"replaygain_track_gain"_s, list({ u"-6.20 dB"_s }) },
        { u"replaygain_track_peak"_s, list({ u"0.988525"_s }) },
        { u"replaygain_album_gain"_s, list({ u"-5.10 dB"_s }) },
        { u"replaygain_album_peak"_s, list({ u"0.999969"_s }) },
        { u"studio"_s, list({ u"Studio Nine"_s }) },
        { u"encoder"_s, list({ u"Old Encoder 1.0"_s }) },
    };
}

const QStringList kLoudness = { u"replaygain_track_gain"_s, u"replaygain_track_peak"_s, u"replaygain_album_gain"_s,
    u"replaygain_album_peak"_s };

const QStringList kR128 = { u"r128_track_gain"_s, u"r128_album_gain"_s };

QByteArray randomBytes(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(size);
    for (char &byte : bytes)
        byte = static_cast<char>(generator.generate() & 0xFF);
    return bytes;
}

// Bytes that begin as JPEG and PNG files do: the picture is carried, never decoded.
QByteArray fakeJpeg(int size)
{
    return QByteArray("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11) + randomBytes(size);
}
QByteArray fakePng(int size)
{
    return QByteArray("\x89PNG\r\n\x1A\n", 8) + randomBytes(size + 1);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QString sha1(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex());
}

struct Target
{
    const char *extension;
    QStringList options;
};
const QList<Target> &targets()
{
    static const QList<Target> all = {
        { "mp3", { u"-acodec"_s, u"libmp3lame"_s } },
        { "ogg", { u"-acodec"_s, u"vorbis"_s } },
        { "flac", { u"-acodec"_s, u"flac"_s } },
        { "m4a", { u"-acodec"_s, u"aac"_s } },
        { "wav", { u"-acodec"_s, u"pcm16le"_s } },
        { "aiff", { u"-acodec"_s, u"pcm16be"_s } },
        { "opus", { u"-acodec"_s, u"opus"_s } },
    };
    return all;
}

bool isMp4(const QString &extension)
{
    return extension == u"m4a"_s;
}

bool isOpus(const QString &extension)
{
    return extension == u"opus"_s;
}

// Opus keeps loudness as R128 gains in 1/256 dB against -23 LUFS: a ReplayGain 2.0 gain G
// (against -18 LUFS) is 256 * (G - 5), rounded.
QString r128Of(const QString &replayGain)
{
    const double gain = replayGain.section(u' ', 0, 0).toDouble();
    return QString::number(std::lround(256 * (gain - 5)));
}

// What an Opus output should hold for a source's fields.
Fields asOpusFields(Fields fields)
{
    const QStringList trackGain = fields.take(u"replaygain_track_gain"_s);
    const QStringList albumGain = fields.take(u"replaygain_album_gain"_s);
    fields.remove(u"replaygain_track_peak"_s);
    fields.remove(u"replaygain_album_peak"_s);
    if (!trackGain.isEmpty())
        fields.insert(u"r128_track_gain"_s, { r128Of(trackGain.first()) });
    if (!albumGain.isEmpty())
        fields.insert(u"r128_album_gain"_s, { r128Of(albumGain.first()) });
    return fields;
}

// A picture as one format can say it: MP4 keeps no type or description.
QString pictureKey(const QJsonObject &picture, bool withType, bool withDescription)
{
    QString key = picture.value(u"mime").toString() + u' ' + picture.value(u"sha1").toString();
    if (withType)
        key += u" type "_s + QString::number(picture.value(u"type").toInt());
    if (withDescription)
        key += u" desc "_s + picture.value(u"desc").toString();
    return key;
}

QStringList pictureKeys(const QJsonArray &pictures, bool withType, bool withDescription)
{
    QStringList keys;
    for (const QJsonValue &picture : pictures)
        keys << pictureKey(picture.toObject(), withType, withDescription);
    return keys;
}

QString digestOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return sha1(file.readAll());
}

QString describe(const Fields &fields)
{
    QStringList lines;
    for (auto it = fields.begin(); it != fields.end(); ++it)
        lines << it.key() + u'=' + it.value().join(u'|').left(60);
    return lines.join(u"; "_s);
}

} // namespace

class TestSonmillTagMatrix : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QByteArray m_front;
    QByteArray m_back;
    QMap<QString, QString> m_sourceDigests; // each tagged source's bytes as made

    QString path(const QString &name) const { return m_dir.filePath(name); }

    QJsonObject tagPlan(const QJsonObject &fields, bool pictures) const
    {
        QJsonArray pictureList;
        if (pictures) {
            pictureList.append(QJsonObject { { u"type"_s, 3 }, { u"mime"_s, u"image/jpeg"_s },
                { u"desc"_s, u"Front – Ünïcödé"_s }, { u"file"_s, path(u"front-picture.jpg"_s) } });
            pictureList.append(QJsonObject { { u"type"_s, 4 }, { u"mime"_s, u"image/png"_s }, { u"desc"_s, u"Back"_s },
                { u"file"_s, path(u"back-picture.png"_s) } });
        }
        return QJsonObject { { u"fields"_s, fields }, { u"pictures"_s, pictureList } };
    }

    // An untagged source of a few seconds (4 s FLAC and MP3, 2 s M4A).
    bool makeSource(const QString &extension, const QString &file)
    {
        if (extension == u"flac"_s)
            return make(u"audiotestsrc num-buffers=172 ! audio/x-raw,rate=44100,channels=2 ! flacenc ! "
                        "filesink location=%1"_s,
                file);
        if (extension == u"mp3"_s)
            return make(u"audiotestsrc num-buffers=172 ! audio/x-raw,rate=44100,channels=2 ! lamemp3enc ! "
                        "filesink location=%1"_s,
                file);
        const QString wav = file + u".wav"_s;
        if (!writeWav(wav, 44100, 2, 88200, [](qint64 frame, int) { return 0.3 * std::sin(frame * 0.05); }))
            return false;
        const bool made = run(conversionArguments(wav, file, { u"-acodec"_s, u"aac"_s })).exitCode == 0;
        QFile::remove(wav);
        return made;
    }

    QString taggedSource(const QString &extension, const QJsonObject &fields, bool pictures, const QString &name)
    {
        const QString file = path(name + u'.' + extension);
        if (QFile::exists(file))
            return file;
        QDir().mkpath(QFileInfo(file).path());
        if (!makeSource(extension, file) || !tagWithJudge(file, tagPlan(fields, pictures), path(name + u".json"_s)))
            return {};
        m_sourceDigests.insert(file, digestOf(file));
        return file;
    }

    static void addMatrixRows(const QStringList &sources)
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QStringList>("options");
        for (const QString &source : sources)
            for (const Target &target : targets())
                QTest::newRow(qPrintable(source + u" to "_s + QLatin1StringView(target.extension)))
                    << source << QString::fromLatin1(target.extension) << target.options;
    }

    // The output holds what the source holds, the encoder's field aside; the pictures byte
    // for byte, with as much of type and description as the output format keeps.
    void compareAll(const Judged &in, const Judged &out, const QString &extension, const QStringList &leftOut)
    {
        Fields expected = isOpus(extension) ? asOpusFields(in.fields) : in.fields;
        Fields actual = out.fields;
        expected.remove(u"id3version"_s);
        actual.remove(u"id3version"_s);
        for (const QString &key : leftOut)
            expected.remove(key);
        for (auto it = expected.begin(); it != expected.end(); ++it)
            QVERIFY2(actual.value(it.key()) == it.value(),
                qPrintable(u"%1: '%2' is '%3'"_s.arg(
                    it.key(), it.value().join(u'|').left(80), actual.value(it.key()).join(u'|').left(80))));
        for (auto it = actual.begin(); it != actual.end(); ++it)
            QVERIFY2(expected.contains(it.key()), qPrintable(u"unexpected %1"_s.arg(it.key())));

        // MP4 keeps no picture type or description, and puts the front cover first; from
        // MP4, the first picture is taken as the front cover.
        const bool toMp4 = isMp4(extension);
        const bool fromMp4 = in.kind == u"MP4"_s;
        const bool typed = !toMp4 && !fromMp4;
        QStringList outKeys = pictureKeys(out.pictures, typed, typed);
        QStringList inKeys = pictureKeys(in.pictures, typed, typed);
        if (toMp4) {
            outKeys.sort();
            inKeys.sort();
        }
        QCOMPARE(outKeys, inKeys);
        if (!out.pictures.isEmpty() && (toMp4 || fromMp4)) {
            const QJsonObject first = out.pictures.first().toObject();
            QCOMPARE(first.value(u"mime").toString(), u"image/jpeg"_s);
            if (!toMp4)
                QCOMPARE(first.value(u"type").toInt(), 3);
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(QFile::exists(kPython), "Debian's python3 (with python3-mutagen) is needed");
        m_front = fakeJpeg(40000);
        m_back = fakePng(20000);
        QVERIFY(writeFile(path(u"front-picture.jpg"_s), m_front));
        QVERIFY(writeFile(path(u"back-picture.png"_s), m_back));
        // A folder picture beside sources that have pictures of their own stays out.
        QVERIFY(writeFile(path(u"folder.jpg"_s), fakeJpeg(3000)));
    }

    void matrix_data() { addMatrixRows({ u"flac"_s, u"mp3"_s, u"m4a"_s }); }
    void matrix()
    {
        QFETCH(QString, source);
        QFETCH(QString, extension);
        QFETCH(QStringList, options);

        const QString input = taggedSource(source, fullFields(), true, u"full"_s);
        QVERIFY(!input.isEmpty());
        const Judged in = judge(input);
        QVERIFY2(in.ok, qPrintable(in.error));
        QCOMPARE(in.fields.value(u"artist"_s), QStringList({ u"Artist One"_s, u"Artist Two"_s }));
        QCOMPARE(in.pictures.size(), 2);

        const QString output = path(u"full-%1-to.%2"_s.arg(source, extension));
        const Result result = run(conversionArguments(input, output, options));
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        const Judged out = judge(output);
        QVERIFY2(out.ok, qPrintable(out.error));
        if (!isMp4(extension) && extension != u"flac"_s && extension != u"ogg"_s && !isOpus(extension))
            QCOMPARE(out.fields.value(u"id3version"_s), QStringList { u"2.4"_s });
        // Two artists stay two in every output format here (Vorbis comments, ID3v2.4, MP4).
        QCOMPARE(out.fields.value(u"artist"_s), QStringList({ u"Artist One"_s, u"Artist Two"_s }));
        compareAll(in, out, extension, { u"encoder"_s });
        if (extension == u"wav"_s) {
            // The INFO list beside the ID3 chunk holds one value per field: joined.
            QFile file(output);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            const qsizetype artist = bytes.indexOf("IART");
            QVERIFY(artist > 0);
            QCOMPARE(bytes.mid(artist + 8, 22), QByteArray("Artist One; Artist Two"));
        }
        // No tag value ever reaches the console.
        QVERIFY(!result.output.contains(u"Artist One"_s));
        QVERIFY(!result.output.contains(u"Studio Nine"_s));
    }

    // ReplayGain describes the old audio: gone at another volume or for part of the file,
    // kept when the audio is copied whole.
    void loudnessDropped_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("kept");
        const QStringList half = { u"-vol"_s, u"50"_s };
        const QStringList part = { u"-t"_s, u"00:00:00.5"_s };
        for (const QString &source : { u"flac"_s, u"mp3"_s, u"m4a"_s }) {
            for (const char *extension : { "flac", "mp3", "m4a" }) {
                const QString name = source + u" to "_s + QLatin1StringView(extension);
                QTest::newRow(qPrintable(name + u" at 50 %"_s))
                    << source << QString::fromLatin1(extension) << half << false;
            }
            QTest::newRow(qPrintable(source + u" to ogg, half a second"_s)) << source << u"ogg"_s << part << false;
        }
        QTest::newRow("flac to opus at 50 %") << u"flac"_s << u"opus"_s << half << false;
        QTest::newRow("mp3 to opus, half a second") << u"mp3"_s << u"opus"_s << part << false;
        QTest::newRow("mp3 copied whole") << u"mp3"_s << u"mp3"_s << QStringList { u"-acodec"_s, u"copy"_s } << true;
        QTest::newRow("flac at 100 %") << u"flac"_s << u"mp3"_s << QStringList { u"-vol"_s, u"100"_s } << true;
        QTest::newRow("flac to opus at 100 %") << u"flac"_s << u"opus"_s << QStringList { u"-vol"_s, u"100"_s } << true;
        // The window's line: from the start for the length in whole seconds (3 of 3.99).
        QTest::newRow("flac for its whole seconds")
            << u"flac"_s << u"ogg"_s << QStringList { u"-ss"_s, u"00:00:00"_s, u"-t"_s, u"00:00:03"_s } << true;
        QTest::newRow("flac without its last second")
            << u"flac"_s << u"ogg"_s << QStringList { u"-ss"_s, u"00:00:00"_s, u"-t"_s, u"00:00:02"_s } << false;
        QTest::newRow("flac from its second second")
            << u"flac"_s << u"ogg"_s << QStringList { u"-ss"_s, u"00:00:01"_s } << false;
    }
    void loudnessDropped()
    {
        QFETCH(QString, source);
        QFETCH(QString, extension);
        QFETCH(QStringList, options);
        QFETCH(bool, kept);

        const QString input = taggedSource(source, fullFields(), true, u"full"_s);
        QVERIFY(!input.isEmpty());
        const QString output = path(u"loudness-%1-%2.%3"_s.arg(source, QString::number(qHash(options)), extension));
        const Result result = run(conversionArguments(input, output, options));
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        const Judged out = judge(output);
        QVERIFY2(out.ok, qPrintable(out.error));
        // Opus holds no ReplayGain field ever; its R128 gains go where they would.
        const bool opus = isOpus(extension);
        for (const QString &key : kLoudness)
            QVERIFY2(out.fields.contains(key) == (kept && !opus), qPrintable(key + u": "_s + describe(out.fields)));
        for (const QString &key : kR128)
            QVERIFY2(out.fields.contains(key) == (kept && opus), qPrintable(key + u": "_s + describe(out.fields)));
        QCOMPARE(out.fields.value(u"artist"_s), QStringList({ u"Artist One"_s, u"Artist Two"_s }));
        QCOMPARE(out.fields.value(u"mood"_s), QStringList { u"Calm"_s });
        // The old encoder's name stays only with its own, copied audio.
        QCOMPARE(out.fields.contains(u"encoder"_s), options.contains(u"copy"_s));
    }

    // Every kind of Unicode text and very long values arrive intact in every format.
    void unicodeAndLong_data() { addMatrixRows({ u"flac"_s }); }
    void unicodeAndLong()
    {
        QFETCH(QString, source);
        QFETCH(QString, extension);
        QFETCH(QStringList, options);

        QString longText;
        const QString piece = u"Ünïcödé – 日本語のテキスト – עברית – العربية – Ελληνικά – 😀🎵𝄞 – e\u0301 – "
                              "\u200d\u2060 – ẞß – \u00a0 end. "_s;
        while (longText.size() < 120000)
            longText += piece;
        const QJsonObject fields {
            { u"title"_s, list({ piece.trimmed() }) },
            { u"artist"_s, list({ u"Ⓐrtist 一"_s, u"Артист Два"_s }) },
            { u"album"_s, list({ piece.repeated(40) }) },
            { u"comment"_s, list({ longText }) },
            { u"lyrics"_s, list({ longText + u"\nlast line"_s }) },
            { u"studio"_s, list({ u"Студия ⁹ 🎚"_s }) },
        };
        // In a folder of its own: no cover picture beside it.
        const QString input = taggedSource(source, fields, false, u"no cover/unicode"_s);
        QVERIFY(!input.isEmpty());
        const Judged in = judge(input);
        QVERIFY2(in.ok, qPrintable(in.error));
        QCOMPARE(in.fields.value(u"comment"_s), QStringList { longText });

        const QString output = path(u"unicode-to."_s + extension);
        const Result result = run(conversionArguments(input, output, options));
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        const Judged out = judge(output);
        QVERIFY2(out.ok, qPrintable(out.error));
        compareAll(in, out, extension, {});
    }

    // A source without pictures gets the cover file beside it as its front cover, byte for
    // byte; cover is preferred to folder, whatever the letter case.
    void folderPicture_data()
    {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QStringList>("options");
        for (const Target &target : targets())
            QTest::newRow(target.extension) << QString::fromLatin1(target.extension) << target.options;
    }
    void folderPicture()
    {
        QFETCH(QString, extension);
        QFETCH(QStringList, options);

        const QString folder = path(u"album folder"_s);
        QVERIFY(QDir().mkpath(folder));
        const QByteArray cover = fakePng(9000);
        QVERIFY(writeFile(folder + u"/Cover.PNG"_s, cover));
        QVERIFY(writeFile(folder + u"/folder.jpg"_s, fakeJpeg(5000)));
        QVERIFY(writeFile(folder + u"/cover.jpg"_s, QByteArray("not a picture at all")));
        const QString input = folder + u"/plain.flac"_s;
        if (!QFile::exists(input)) {
            QVERIFY(makeSource(u"flac"_s, input));
            QVERIFY(tagWithJudge(
                input, tagPlan(QJsonObject { { u"title"_s, list({ u"Plain"_s }) } }, false), path(u"plain.json"_s)));
        }

        const QString output = path(u"folder-picture."_s + extension);
        const Result result = run(conversionArguments(input, output, options));
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        const Judged out = judge(output);
        QVERIFY2(out.ok, qPrintable(out.error));
        QCOMPARE(out.pictures.size(), 1);
        const QJsonObject picture = out.pictures.first().toObject();
        QCOMPARE(picture.value(u"sha1").toString(), sha1(cover));
        QCOMPARE(picture.value(u"mime").toString(), u"image/png"_s);
        if (!isMp4(extension))
            QCOMPARE(picture.value(u"type").toInt(), 3);
        QCOMPARE(out.fields.value(u"title"_s), QStringList { u"Plain"_s });
    }

    // The sources are only read: their bytes are the same after every conversion above.
    void sourcesUntouched()
    {
        QVERIFY(!m_sourceDigests.isEmpty());
        for (auto it = m_sourceDigests.begin(); it != m_sourceDigests.end(); ++it)
            QVERIFY2(digestOf(it.key()) == it.value(), qPrintable(it.key()));
    }
};

QTEST_GUILESS_MAIN(TestSonmillTagMatrix)
#include "tst_sonmilltagmatrix.moc"
