// The one mapping table between the tag formats, the tag set the writer takes, the rules
// that fit a source's tags to its output, and the cover picture beside a source.

#include "sonmill/tags/coverfile.h"
#include "sonmill/tags/outputtags.h"
#include "sonmill/tags/tagmap.h"
#include "sonmill/tags/tags.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <set>

using namespace Qt::StringLiterals;
using namespace sonmill;

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

const QByteArray kJpeg("\xFF\xD8\xFF\xE0 a jpeg", 12);
const QByteArray kPng("\x89PNG\r\n\x1A\n a png", 14);

} // namespace

class TestSonmillTagMap : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each format's name leads back to exactly one row, and each row's canonical name is
    // what the lookups by every other name give.
    void tableIsOneToOne()
    {
        std::set<std::string_view> vorbis, id3, mp4, info;
        for (std::size_t i = 0; i < TagMap::size(); ++i) {
            const TagMapping &row = TagMap::at(i);
            QVERIFY2(vorbis.insert(row.vorbis).second, row.vorbis.data());
            QCOMPARE(TagMap::byVorbis(row.vorbis), &row);
            QCOMPARE(TagMap::canonicalKey(row.vorbis), std::string(row.vorbis));
            if (row.kind == TagKind::Total)
                continue; // shares its frame and atom with the number
            if (!row.id3.empty()) {
                QVERIFY2(id3.insert(row.id3).second, row.id3.data());
                QCOMPARE(TagMap::byId3(row.id3), &row);
            }
            if (!row.mp4.empty()) {
                QVERIFY2(mp4.insert(row.mp4).second, row.mp4.data());
                QCOMPARE(TagMap::byMp4(row.mp4), &row);
            }
            if (!row.info.empty()) {
                QVERIFY2(info.insert(row.info).second, row.info.data());
                QCOMPARE(TagMap::byInfo(row.info), &row);
            }
        }
        // The fields every tagger knows are all there.
        for (const char *name : { "TITLE", "ARTIST", "ALBUMARTIST", "COMPOSER", "LYRICS", "MUSICBRAINZ_TRACKID",
                 "ACOUSTID_ID", "REPLAYGAIN_TRACK_GAIN", "REPLAYGAIN_ALBUM_PEAK", "ISRC", "BARCODE", "CATALOGNUMBER",
                 "ALBUMARTISTSORT", "ORIGINALDATE", "LABEL", "MOOD", "GROUPING", "BPM", "COMPILATION" })
            QVERIFY2(TagMap::byVorbis(name), name);
    }

    void lookups_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("canonical"); // empty: not in the table
        QTest::newRow("id3 artist") << u"id3"_s << QByteArray("TPE1") << QByteArray("ARTIST");
        QTest::newRow("id3 user text, other case")
            << u"id3"_s << QByteArray("TXXX:musicbrainz album id") << QByteArray("MUSICBRAINZ_ALBUMID");
        QTest::newRow("id3 replaygain") << u"id3"_s << QByteArray("TXXX:replaygain_track_gain")
                                        << QByteArray("REPLAYGAIN_TRACK_GAIN");
        QTest::newRow("id3 ufid") << u"id3"_s << QByteArray("UFID:http://musicbrainz.org")
                                  << QByteArray("MUSICBRAINZ_TRACKID");
        QTest::newRow("id3 frame ids are exact") << u"id3"_s << QByteArray("tpe1") << QByteArray();
        QTest::newRow("id3 unknown") << u"id3"_s << QByteArray("TXXX:STUDIO") << QByteArray();
        QTest::newRow("mp4 composer") << u"mp4"_s << QByteArray("\251wrt") << QByteArray("COMPOSER");
        QTest::newRow("mp4 track pair") << u"mp4"_s << QByteArray("trkn") << QByteArray("TRACKNUMBER");
        QTest::newRow("mp4 freeform, other case")
            << u"mp4"_s << QByteArray("----:com.apple.iTunes:REPLAYGAIN_ALBUM_GAIN")
            << QByteArray("REPLAYGAIN_ALBUM_GAIN");
        QTest::newRow("mp4 unknown freeform") << u"mp4"_s << QByteArray("----:com.apple.iTunes:STUDIO") << QByteArray();
        QTest::newRow("info title") << u"info"_s << QByteArray("INAM") << QByteArray("TITLE");
        QTest::newRow("info software") << u"info"_s << QByteArray("ISFT") << QByteArray("ENCODER");
    }
    void lookups()
    {
        QFETCH(QString, format);
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, canonical);
        const std::string_view key(name.constData(), static_cast<std::size_t>(name.size()));
        const TagMapping *row = format == u"id3"_s ? TagMap::byId3(key)
            : format == u"mp4"_s                   ? TagMap::byMp4(key)
                                                   : TagMap::byInfo(key);
        if (canonical.isEmpty()) {
            QVERIFY(!row);
        } else {
            QVERIFY(row);
            QCOMPARE(QByteArray(row->vorbis.data(), static_cast<qsizetype>(row->vorbis.size())), canonical);
        }
    }

    void canonicalNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("canonical");
        QTest::newRow("lower case") << u"artist"_s << u"ARTIST"_s;
        QTest::newRow("APE album artist") << u"Album Artist"_s << u"ALBUMARTIST"_s;
        QTest::newRow("APE year") << u"Year"_s << u"DATE"_s;
        QTest::newRow("APE track") << u"Track"_s << u"TRACKNUMBER"_s;
        QTest::newRow("organization") << u"ORGANIZATION"_s << u"LABEL"_s;
        QTest::newRow("publisher") << u"publisher"_s << u"LABEL"_s;
        QTest::newRow("custom") << u"Studio"_s << u"STUDIO"_s;
        QTest::newRow("not ASCII untouched") << u"stüdio"_s << u"STüDIO"_s;
    }
    void canonicalNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, canonical);
        QCOMPARE(QString::fromStdString(TagMap::canonicalKey(name.toStdString())), canonical);
    }

    void roles()
    {
        QCOMPARE(TagMap::roleOf("REPLAYGAIN_TRACK_GAIN"), TagRole::Loudness);
        QCOMPARE(TagMap::roleOf("REPLAYGAIN_REFERENCE_LOUDNESS"), TagRole::Loudness);
        QCOMPARE(TagMap::roleOf("ITUNNORM"), TagRole::Loudness);
        QCOMPARE(TagMap::roleOf("ENCODER"), TagRole::Encoding);
        QCOMPARE(TagMap::roleOf("ITUNSMPB"), TagRole::Encoding);
        QCOMPARE(TagMap::roleOf("ENCODEDBY"), TagRole::Plain); // a person, not the audio
        QCOMPARE(TagMap::roleOf("ARTIST"), TagRole::Plain);
        QVERIFY(TagMap::isId3FrameLeftOut("TLEN"));
        QVERIFY(!TagMap::isId3FrameLeftOut("TIT2"));
    }

    void pictureTypes()
    {
        QCOMPARE(TagMap::mimeOfPicture(std::string_view(kJpeg.constData(), kJpeg.size())), "image/jpeg");
        QCOMPARE(TagMap::mimeOfPicture(std::string_view(kPng.constData(), kPng.size())), "image/png");
        QCOMPARE(TagMap::mimeOfPicture("GIF89a..."), "image/gif");
        QCOMPARE(TagMap::mimeOfPicture(std::string_view("RIFF\0\0\0\0WEBPVP8 ", 16)), "image/webp");
        QVERIFY(TagMap::mimeOfPicture("not a picture").empty());
        QVERIFY(TagMap::mimeOfPicture("").empty());
    }

    void tagSet()
    {
        TagSet tags;
        QVERIFY(tags.empty());
        tags.add("artist", "One");
        tags.add("ARTIST", "Two");
        tags.add("Artist", ""); // nothing
        QCOMPARE(tags.values("ARTIST"), (TagSet::Values { "One", "Two" }));
        tags.add("TRACKNUMBER", "3/12");
        QCOMPARE(tags.values("TRACKNUMBER"), TagSet::Values { "3" });
        QCOMPARE(tags.values("TRACKTOTAL"), TagSet::Values { "12" });
        tags.add("DISCNUMBER", "/2"); // a total alone
        QVERIFY(tags.values("DISCNUMBER").empty());
        QCOMPARE(tags.values("DISCTOTAL"), TagSet::Values { "2" });
        tags.set("album artist", { "Various" });
        QCOMPARE(tags.values("ALBUMARTIST"), TagSet::Values { "Various" });
        tags.set("ALBUMARTIST", { "", "" });
        QVERIFY(!tags.fields().count("ALBUMARTIST"));
        tags.set("REPLAYGAIN_TRACK_GAIN", { "-6.20 dB" });
        tags.set("ENCODER", { "x" });
        tags.removeRole(TagRole::Loudness);
        QVERIFY(tags.values("REPLAYGAIN_TRACK_GAIN").empty());
        QCOMPARE(tags.values("ENCODER"), TagSet::Values { "x" });
        tags.removeRole(TagRole::Encoding);
        QVERIFY(tags.values("ENCODER").empty());
        tags.addPicture({ 3, "image/jpeg", "", "" }); // no bytes: nothing
        QVERIFY(tags.pictures().empty());
        tags.addPicture({ 3, "image/jpeg", "d", "bytes" });
        QCOMPARE(tags.pictures().size(), std::size_t(1));
        QVERIFY(tags.byteSize() >= 5 + 10 + 1);
    }

    // What a source's tags become, by what was done to the audio, and per-row values.
    void fitToOutput_data()
    {
        QTest::addColumn<bool>("volume");
        QTest::addColumn<bool>("range");
        QTest::addColumn<bool>("encoding");
        QTest::addColumn<bool>("loudnessKept");
        QTest::addColumn<bool>("encoderKept");
        QTest::newRow("copied whole") << false << false << false << true << true;
        QTest::newRow("copied in part") << false << true << false << false << true;
        QTest::newRow("re-encoded whole") << false << false << true << true << false;
        QTest::newRow("half volume") << true << false << true << false << false;
        QTest::newRow("in part") << false << true << true << false << false;
    }
    void fitToOutput()
    {
        QFETCH(bool, volume);
        QFETCH(bool, range);
        QFETCH(bool, encoding);
        QFETCH(bool, loudnessKept);
        QFETCH(bool, encoderKept);
        TagSet tags;
        tags.set("ARTIST", { "One", "Two" });
        tags.set("REPLAYGAIN_TRACK_GAIN", { "-6.20 dB" });
        tags.set("REPLAYGAIN_ALBUM_PEAK", { "0.9" });
        tags.set("ITUNSMPB", { "gapless" });
        tags.set("ENCODER", { "old" });
        fitTagsToOutput(tags, { volume, range, encoding }, {});
        QCOMPARE(!tags.values("REPLAYGAIN_TRACK_GAIN").empty(), loudnessKept);
        QCOMPARE(!tags.values("REPLAYGAIN_ALBUM_PEAK").empty(), loudnessKept);
        QCOMPARE(!tags.values("ENCODER").empty(), encoderKept);
        QCOMPARE(!tags.values("ITUNSMPB").empty(), encoderKept);
        QCOMPARE(tags.values("ARTIST"), (TagSet::Values { "One", "Two" }));
    }

    void tagValues()
    {
        TagSet tags;
        tags.set("ARTIST", { "Source One", "Source Two" });
        tags.set("TITLE", { "Whole Disc" });
        tags.set("TRACKNUMBER", { "1" });
        tags.set("TRACKTOTAL", { "1" });
        tags.set("COMMENT", { "keep me" });
        tags.set("GENRE", { "Rock" });
        // A CUE track's values: two performers, its own title and number, no genre.
        applyTagValues(tags,
            { { "artist", "Track One" }, { "ARTIST", "Track Two" }, { "title", "Track 5" }, { "TRACKNUMBER", "5/9" },
                { "GENRE", "" }, { "REPLAYGAIN_TRACK_GAIN", "-3.00 dB" } });
        QCOMPARE(tags.values("ARTIST"), (TagSet::Values { "Track One", "Track Two" }));
        QCOMPARE(tags.values("TITLE"), TagSet::Values { "Track 5" });
        QCOMPARE(tags.values("TRACKNUMBER"), TagSet::Values { "5" });
        QCOMPARE(tags.values("TRACKTOTAL"), TagSet::Values { "9" });
        QCOMPARE(tags.values("COMMENT"), TagSet::Values { "keep me" });
        QVERIFY(!tags.fields().count("GENRE"));
        QCOMPARE(tags.values("REPLAYGAIN_TRACK_GAIN"), TagSet::Values { "-3.00 dB" });
        // Values given for the output outlive the rule that drops the source's loudness.
        fitTagsToOutput(tags, { true, true, true }, { { "REPLAYGAIN_TRACK_GAIN", "-1.00 dB" } });
        QCOMPARE(tags.values("REPLAYGAIN_TRACK_GAIN"), TagSet::Values { "-1.00 dB" });
    }

    void coverBesideSource()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const std::string source = dir.filePath(u"song.flac"_s).toStdString();
        QVERIFY(!coverBeside(source));

        QVERIFY(writeFile(dir.filePath(u"front.jpg"_s), kJpeg));
        std::optional<Picture> found = coverBeside(source);
        QVERIFY(found);
        QCOMPARE(found->mime, "image/jpeg");
        QCOMPARE(found->type, Picture::kFrontCover);
        QCOMPARE(QByteArray::fromStdString(found->data), kJpeg);

        QVERIFY(writeFile(dir.filePath(u"FOLDER.png"_s), kPng)); // folder before front
        found = coverBeside(source);
        QVERIFY(found);
        QCOMPARE(found->mime, "image/png");

        QVERIFY(writeFile(dir.filePath(u"Cover.jpg"_s), "text, not a picture")); // passed over
        QVERIFY(writeFile(dir.filePath(u"cover.webp"_s), kJpeg)); // not one of the names
        found = coverBeside(source);
        QVERIFY(found);
        QCOMPARE(QByteArray::fromStdString(found->data), kPng);

        QVERIFY(QFile::remove(dir.filePath(u"FOLDER.png"_s)));
        QVERIFY(QFile::remove(dir.filePath(u"front.jpg"_s)));
        QVERIFY(!coverBeside(source));
    }
};

QTEST_GUILESS_MAIN(TestSonmillTagMap)
#include "tst_sonmilltagmap.moc"
