// Tags copied from the input to every output format that holds them, and read back from
// each of those formats again.

#include "sonmillrun.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace SonmillRun;

namespace {

// The tags the source carries, by GStreamer's names.
const QMap<QString, QString> &sourceTags()
{
    static const QMap<QString, QString> tags = {
        { u"title"_s, u"Tïtle, with comma"_s },
        { u"artist"_s, u"The Artist"_s },
        { u"album"_s, u"An Album"_s },
        { u"album-artist"_s, u"Various Artists"_s },
        { u"track-number"_s, u"3"_s },
        { u"track-count"_s, u"12"_s },
        { u"album-disc-number"_s, u"1"_s },
        { u"album-disc-count"_s, u"2"_s },
        { u"datetime"_s, u"2021-05-04"_s },
        { u"genre"_s, u"Rock"_s },
        { u"comment"_s, u"A comment"_s },
    };
    return tags;
}

// WAV keeps its tags in a RIFF INFO list (and an ID3 chunk beside it); GStreamer reads
// these from the INFO list.
const QStringList kWavTags = { u"title"_s, u"artist"_s, u"album"_s, u"genre"_s, u"comment"_s };

} // namespace

class TestSonmillTags : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_source;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    void compareTags(const QString &file, const QStringList &names)
    {
        const Media media = inspect(file);
        QVERIFY2(media.ok, qPrintable(file));
        for (const QString &name : names)
            QVERIFY2(media.tags.value(name) == sourceTags().value(name),
                qPrintable(u"%1: %2 is '%3'"_s.arg(file, name, media.tags.value(name))));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_source = path(u"source.flac"_s);
        QVERIFY(make(u"audiotestsrc num-buffers=100 ! audio/x-raw,rate=44100,channels=2 ! "
                     "taginject tags=\"title=\\\"Tïtle\\, with comma\\\",artist=\\\"The Artist\\\","
                     "album=\\\"An Album\\\",album-artist=\\\"Various Artists\\\",track-number=(uint)3,"
                     "track-count=(uint)12,album-disc-number=(uint)1,album-disc-count=(uint)2,"
                     "datetime=(GstDateTime)2021-05-04,genre=Rock,comment=\\\"A comment\\\"\" ! "
                     "flacenc ! filesink location=%1"_s,
            m_source));
        compareTags(m_source, sourceTags().keys());
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("held"); // tags the format holds as GStreamer reads them
        const QStringList all = sourceTags().keys();
        QTest::newRow("mp3") << u"mp3"_s << QStringList { u"-acodec"_s, u"libmp3lame"_s } << all;
        QTest::newRow("mp2") << u"mp2"_s << QStringList { u"-acodec"_s, u"mp2"_s } << all;
        QTest::newRow("ogg") << u"ogg"_s << QStringList { u"-acodec"_s, u"vorbis"_s } << all;
        QTest::newRow("flac") << u"flac"_s << QStringList { u"-acodec"_s, u"flac"_s } << all;
        QTest::newRow("m4a") << u"m4a"_s << QStringList { u"-acodec"_s, u"aac"_s } << all;
        QTest::newRow("aiff") << u"aiff"_s << QStringList { u"-acodec"_s, u"pcm16be"_s } << all;
        QTest::newRow("wav") << u"wav"_s << QStringList { u"-acodec"_s, u"pcm16le"_s } << kWavTags;
    }
    void roundTrip()
    {
        QFETCH(QString, extension);
        QFETCH(QStringList, options);
        QFETCH(QStringList, held);

        const QString tagged = path(u"tagged."_s + extension);
        const Result out = run(conversionArguments(m_source, tagged, options));
        QVERIFY2(out.exitCode == 0, qPrintable(out.output));
        compareTags(tagged, held);

        // And back: sonmill reads that format's tags as well.
        const QString back = path(u"back-from-"_s + extension + u".flac"_s);
        const Result in = run(conversionArguments(tagged, back, {}));
        QVERIFY2(in.exitCode == 0, qPrintable(in.output));
        compareTags(back, held);
    }

    // A bare AAC stream carries its tags as an ID3v2 tag in front, as MP3 does.
    void adtsTagsInFront()
    {
        const QString tagged = path(u"tagged.aac"_s);
        QVERIFY(run(conversionArguments(m_source, tagged, { u"-acodec"_s, u"aac"_s })).exitCode == 0);
        QFile file(tagged);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray data = file.readAll();
        QVERIFY(data.startsWith("ID3"));
        QVERIFY(data.left(4096).contains("The Artist"));
        QVERIFY(data.left(4096).contains("Various Artists"));
        QVERIFY(inspect(tagged).ok); // and the stream behind it still decodes
    }

    // AU has no place for tags: the conversion simply goes without them. Its header is
    // the 28 bytes readers expect (the fixed fields and an empty annotation).
    void auWithoutTags()
    {
        const QString output = path(u"plain.au"_s);
        const Result result = run(conversionArguments(m_source, output, {}));
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        QVERIFY(inspect(output).ok);
        QFile file(output);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray header = file.read(28);
        QCOMPARE(header.left(4), QByteArray(".snd"));
        QCOMPARE(header.mid(4, 4), QByteArray("\0\0\0\x1C", 4));
        QCOMPARE(header.mid(24, 4), QByteArray(4, '\0'));
        QVERIFY(!header.contains("The Artist"));
        // sox, which warns of a shorter header, reads it without a word.
        QProcess sox;
        sox.start(u"sox"_s, { output, u"-n"_s, u"stat"_s });
        QVERIFY(sox.waitForFinished(30000));
        QCOMPARE(sox.exitCode(), 0);
        QVERIFY2(!sox.readAllStandardError().contains("WARN"), "sox warns about the header");
    }

    // Nothing to copy: the output carries no tag block at all.
    void untaggedStaysUntagged()
    {
        const QString plain = path(u"plain.wav"_s);
        QVERIFY(writeWav(plain, 44100, 1, 44100, [](qint64, int) { return 0.0; }));
        const QString output = path(u"plain.mp3"_s);
        QVERIFY(run(conversionArguments(plain, output, {})).exitCode == 0);
        QFile file(output);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(!file.read(3).startsWith("ID3"));
    }
};

QTEST_GUILESS_MAIN(TestSonmillTags)
#include "tst_sonmilltags.moc"
