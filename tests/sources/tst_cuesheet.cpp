// CUE sheets without media: decoding, reading, refusals that name their line, and the rows
// a sheet expands to (positions, names, tags, the images found beside it).

#include "core/startrecord.h"
#include "sources/cuesheet.h"
#include "sources/cuetracks.h"
#include "testfiles.h"

#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kAlbum = uR"(REM GENRE "Live Jazz"
REM DATE 1999
REM DISCNUMBER 2/3
REM COMMENT "Recorded on tour"
REM LOUDNESS whatever
CATALOG 0123456789012
PERFORMER "Ensemble Clé"
TITLE "Concert à Paris"
SONGWRITER "Marie Dupont"
FILE "concert.wav" WAVE
  TRACK 01 AUDIO
    TITLE "Overture"
    ISRC FRXXX9900001
    INDEX 01 00:00:32
  TRACK 02 AUDIO
    TITLE "Café Intermezzo"
    PERFORMER "Guest Soloist"
    FLAGS DCP
    INDEX 00 00:02:10
    INDEX 01 00:03:00
  track 03 audio
    index 01 00:05:74
)"_s;

CueSheet parsed(const QString &text)
{
    const auto result = ParseCueSheet(text);
    if (const auto *error = std::get_if<CueError>(&result))
        qWarning("line %d: %s", error->line, qPrintable(error->reason));
    return std::get<CueSheet>(result);
}

} // namespace

class TestCueSheet : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void readsAlbumAndTracks()
    {
        const CueSheet sheet = parsed(kAlbum);
        QCOMPARE(sheet.title, u"Concert à Paris"_s);
        QCOMPARE(sheet.performer, u"Ensemble Clé"_s);
        QCOMPARE(sheet.songwriter, u"Marie Dupont"_s);
        QCOMPARE(sheet.genre, u"Live Jazz"_s);
        QCOMPARE(sheet.date, u"1999"_s);
        QCOMPARE(sheet.discNumber, u"2/3"_s);
        QCOMPARE(sheet.comment, u"Recorded on tour"_s);
        QCOMPARE(sheet.files, QStringList { u"concert.wav"_s });
        QCOMPARE(sheet.tracks.size(), 3);
        QCOMPARE(sheet.tracks[0].title, u"Overture"_s);
        QCOMPARE(sheet.tracks[0].isrc, u"FRXXX9900001"_s);
        QCOMPARE(sheet.tracks[0].start, 32);
        QCOMPARE(sheet.tracks[1].performer, u"Guest Soloist"_s);
        QCOMPARE(sheet.tracks[1].pregap, std::optional<qint64>(2 * 75 + 10));
        QCOMPARE(sheet.tracks[1].start, 3 * 75);
        QCOMPARE(sheet.tracks[2].number, 3); // commands in any letter case
        QCOMPARE(sheet.tracks[2].start, 5 * 75 + 74);
        QCOMPARE(sheet.tracks[2].line, 21);
    }

    void cdFrames_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("frames");
        QTest::newRow("start") << u"00:00:00"_s << qint64(0);
        QTest::newRow("last frame of a second") << u"00:01:74"_s << qint64(149);
        QTest::newRow("over an hour") << u"75:00:00"_s << qint64(75 * 60 * 75);
        QTest::newRow("frame 75") << u"00:00:75"_s << qint64(-1);
        QTest::newRow("second 60") << u"00:60:00"_s << qint64(-1);
        QTest::newRow("hh:mm:ss.xx") << u"00:00:01.50"_s << qint64(-1);
        QTest::newRow("two fields") << u"01:02"_s << qint64(-1);
    }
    void cdFrames()
    {
        QFETCH(QString, text);
        QFETCH(qint64, frames);
        QCOMPARE(CueTimeToFrames(text).value_or(-1), frames);
    }

    void decodesEveryEncoding_data()
    {
        const QString text = u"TITLE \"Café – Ōtsuki\"\n"_s;
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("UTF-8") << text.toUtf8() << text;
        QTest::newRow("UTF-8 with its mark") << QByteArray("\xEF\xBB\xBF") + text.toUtf8() << text;
        QStringEncoder le(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
        QTest::newRow("UTF-16 LE") << QByteArray(le.encode(text)) << text;
        QStringEncoder be(QStringConverter::Utf16BE, QStringConverter::Flag::WriteBom);
        QTest::newRow("UTF-16 BE") << QByteArray(be.encode(text)) << text;
        // Windows-1252: é is E9, the dash 96, the euro sign 80, the curly quotes 93 and 94.
        QTest::newRow("Windows-1252") << QByteArray("TITLE \"Caf\xE9 \x96 \x80 \x93x\x94\"\n")
                                      << u"TITLE \"Café – € “x”\"\n"_s;
    }
    void decodesEveryEncoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        QCOMPARE(DecodeCueText(bytes), expected);
    }

    void refusalsNameTheLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("reason");
        const QString head = u"FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\n"_s;
        QTest::newRow("bad time") << head + u"INDEX 01 00:6x:00\n"_s << 3
                                  << u"INDEX needs a number and a time mm:ss:ff"_s;
        QTest::newRow("frame 75") << head + u"INDEX 01 00:00:75\n"_s << 3
                                  << u"INDEX needs a number and a time mm:ss:ff"_s;
        QTest::newRow("track before file")
            << u"TITLE x\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"_s << 2 << u"TRACK before any FILE"_s;
        QTest::newRow("track without INDEX 01")
            << head + u"INDEX 00 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:01:00\n"_s << 2 << u"track 1 has no INDEX 01"_s;
        QTest::newRow("last track without INDEX 01") << head + u"TITLE t\n"_s << 2 << u"track 1 has no INDEX 01"_s;
        QTest::newRow("positions going back") << head + u"INDEX 01 00:10:00\nTRACK 02 AUDIO\nINDEX 01 00:05:00\n"_s << 5
                                              << u"INDEX 01 lies before an earlier position of its file"_s;
        QTest::newRow("unknown command") << head + u"INDEX 01 00:00:00\nWHATEVER 1\n"_s << 4
                                         << u"unknown command WHATEVER"_s;
        QTest::newRow("track number") << u"FILE \"a.wav\" WAVE\nTRACK 0x AUDIO\n"_s << 2
                                      << u"TRACK needs a number from 1 to 99 and a type"_s;
        QTest::newRow("no tracks") << u"FILE \"a.wav\" WAVE\n"_s << 0 << u"the sheet has no TRACK"_s;
        QTest::newRow("binary junk") << u"\x01\x02\x03 garbage\n"_s << 1 << u"unknown command \x01\x02\x03"_s;
    }
    void refusalsNameTheLine()
    {
        QFETCH(QString, text);
        QFETCH(int, line);
        QFETCH(QString, reason);
        const auto result = ParseCueSheet(text);
        QVERIFY(std::holds_alternative<CueError>(result));
        QCOMPARE(std::get<CueError>(result).line, line);
        QCOMPARE(std::get<CueError>(result).reason, reason);
    }

    void expandsToOneRowPerTrack()
    {
        QVERIFY(TestFiles::write(m_dir.filePath(u"album/concert.wav"_s), "RIFF"));
        const auto expanded = ExpandCueSheet(parsed(kAlbum), m_dir.filePath(u"album"_s), u"album.cue"_s);
        QVERIFY(std::holds_alternative<QList<CueTrackRow>>(expanded));
        const QList<CueTrackRow> rows = std::get<QList<CueTrackRow>>(expanded);
        QCOMPARE(rows.size(), 3);

        // The first track takes the image from its start, a pregap goes with the track before it,
        // the last runs to the image's end: every frame once.
        QCOMPARE(rows[0].start, 0);
        QCOMPARE(rows[0].end, std::optional<qint64>(3 * 75));
        QCOMPARE(rows[1].start, 3 * 75);
        QCOMPARE(rows[1].end, std::optional<qint64>(5 * 75 + 74));
        QCOMPARE(rows[2].start, 5 * 75 + 74);
        QCOMPARE(rows[2].end, std::nullopt);
        QCOMPARE(rows[0].imagePath, m_dir.filePath(u"album/concert.wav"_s));

        QCOMPARE(rows[1].caption, u"02 - Café Intermezzo"_s);
        QCOMPARE(rows[2].caption, u"03 - Track 03"_s);
        QCOMPARE(rows[2].outputStem, u"03 - Track 03"_s);

        using Tags = QList<QPair<QString, QString>>;
        QCOMPARE(rows[1].tags,
            Tags({ { u"title"_s, u"Café Intermezzo"_s }, { u"artist"_s, u"Guest Soloist"_s },
                { u"album"_s, u"Concert à Paris"_s }, { u"albumartist"_s, u"Ensemble Clé"_s }, { u"track"_s, u"2/3"_s },
                { u"disc"_s, u"2/3"_s }, { u"date"_s, u"1999"_s }, { u"genre"_s, u"Live Jazz"_s },
                { u"comment"_s, u"Recorded on tour"_s }, { u"composer"_s, u"Marie Dupont"_s } }));
        QCOMPARE(rows[2].tags.at(0), (QPair<QString, QString>(u"artist"_s, u"Ensemble Clé"_s)));
        // The sheet's SONGWRITER stands for every track without its own; a track's ISRC is its own.
        QCOMPARE(rows[0].tags.mid(rows[0].tags.size() - 2),
            Tags({ { u"composer"_s, u"Marie Dupont"_s }, { u"isrc"_s, u"FRXXX9900001"_s } }));
    }

    void severalFilesAndDataTracks()
    {
        const QString text = uR"(FILE "one.flac" WAVE
TRACK 01 AUDIO
INDEX 01 00:00:00
TRACK 02 AUDIO
INDEX 01 01:00:00
TRACK 03 MODE1/2352
INDEX 01 02:00:00
TRACK 04 AUDIO
INDEX 00 02:30:00
FILE "two.flac" WAVE
INDEX 01 00:00:00
TRACK 05 AUDIO
INDEX 01 00:40:00
)"_s;
        QVERIFY(TestFiles::write(m_dir.filePath(u"multi/one.flac"_s), "x"));
        QVERIFY(TestFiles::write(m_dir.filePath(u"multi/two.flac"_s), "x"));
        const auto expanded = ExpandCueSheet(parsed(text), m_dir.filePath(u"multi"_s), u"multi.cue"_s);
        const QList<CueTrackRow> rows = std::get<QList<CueTrackRow>>(expanded);
        QCOMPARE(rows.size(), 4); // the data track is no row ...
        QCOMPARE(rows[1].end, std::optional<qint64>(2 * 60 * 75)); // ... but ends the one before
        QCOMPARE(rows[2].number, 4);
        QCOMPARE(rows[2].imagePath, m_dir.filePath(u"multi/two.flac"_s)); // its INDEX 01 is in two.flac
        QCOMPARE(rows[2].start, 0);
        QCOMPARE(rows[2].end, std::optional<qint64>(40 * 75));
        QCOMPARE(rows[3].end, std::nullopt);
        QCOMPARE(rows[3].tags.at(0), (QPair<QString, QString>(u"track"_s, u"5/5"_s)));
    }

    void imagesFoundBesideTheSheet()
    {
        const QString folder = m_dir.filePath(u"find"_s);
        QVERIFY(TestFiles::write(folder + u"/Live Set.flac"_s, "x"));
        QVERIFY(TestFiles::write(folder + u"/Live Set.log"_s, "x"));
        QVERIFY(TestFiles::write(folder + u"/Other.WAV"_s, "x"));
        // The WAV image the sheet names was compressed later.
        QCOMPARE(FindCueImage(folder, u"Live Set.wav"_s), folder + u"/Live Set.flac"_s);
        // A path from another system: only the name counts, in any letter case.
        QCOMPARE(FindCueImage(folder, uR"(C:\Rips\other.wav)"_s), folder + u"/Other.WAV"_s);
        QCOMPARE(FindCueImage(folder, u"Missing.wav"_s), QString());
        QCOMPARE(FindCueImage(folder, u"../find/Live Set.flac"_s), folder + u"/Live Set.flac"_s);
    }

    void missingImageRefusedWithItsLine()
    {
        const QString sheet = m_dir.filePath(u"lost/lost.cue"_s);
        QVERIFY(TestFiles::write(sheet, "FILE \"gone.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"));
        const auto expanded = ExpandCueSheet(sheet);
        QVERIFY(std::holds_alternative<QString>(expanded));
        QCOMPARE(std::get<QString>(expanded),
            u"The CUE sheet \"%1\" cannot be used: line 2: the image \"gone.wav\" of track 1 is not beside the sheet."_s
                .arg(sheet));

        QVERIFY(
            TestFiles::write(m_dir.filePath(u"bad/bad.cue"_s), "FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 1:2\n"));
        QCOMPARE(std::get<QString>(ExpandCueSheet(m_dir.filePath(u"bad/bad.cue"_s))),
            u"The CUE sheet \"%1\" cannot be used: line 3: INDEX needs a number and a time mm:ss:ff."_s.arg(
                m_dir.filePath(u"bad/bad.cue"_s)));
    }

    void titlesMadeFitForFileNames()
    {
        const QString text = u"FILE \"i.wav\" WAVE\nTRACK 07 AUDIO\nTITLE \"AC/DC\\Live. \"\nINDEX 01 00:00:00\n"_s;
        QVERIFY(TestFiles::write(m_dir.filePath(u"names/i.wav"_s), "x"));
        const auto rows = std::get<QList<CueTrackRow>>(ExpandCueSheet(parsed(text), m_dir.filePath(u"names"_s), {}));
        QCOMPARE(rows[0].caption, u"07 - AC/DC\\Live."_s);
        QCOMPARE(rows[0].outputStem, u"07 - AC-DC-Live."_s);
    }

    void trackTimesFromThePositions()
    {
        CueTrackRow row;
        row.start = 901; // 12.013333333 s
        row.end = 1537; // 20.493333333 s
        row.tags = { { u"title"_s, u"x"_s } };
        row.outputStem = u"01 - x"_s;
        TStartRecord job;
        const qint64 image = 30'000'000'000;
        QVERIFY(ApplyCueTrack(job, row, image));
        QCOMPARE(job.SpanStartNs, 12'013'333'333);
        QCOMPARE(job.SpanEndNs, 20'493'333'333);
        QCOMPARE(job.Duration, u"00:00:08"_s);
        QCOMPARE(job.Length, u"00:00:08"_s);
        QCOMPARE(job.StartTime, u"00:00:00"_s);
        QCOMPARE(job.TagValues, row.tags);
        QCOMPARE(job.TrackName, row.outputStem);

        row.end.reset(); // the last track: to the image's end
        QVERIFY(ApplyCueTrack(job, row, image));
        QCOMPARE(job.SpanEndNs, image);
        QCOMPARE(job.Duration, u"00:00:17"_s);

        row.start = 30 * 75 + 1; // the sheet reaches past the image
        QVERIFY(!ApplyCueTrack(job, row, image));
        row.start = 0;
        row.end = 31 * 75;
        QVERIFY(!ApplyCueTrack(job, row, image));
    }
};

QTEST_GUILESS_MAIN(TestCueSheet)
#include "tst_cuesheet.moc"
