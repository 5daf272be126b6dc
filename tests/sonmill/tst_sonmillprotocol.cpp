// The contract between the window program and sonmill: every command the window composes
// runs on the real sonmill, and the window's own readers (the probe's judge, the progress and
// success words, the failure reason, the album's loudness) judge what sonmill printed. An
// option word, a -tag key or a line's format changed on one side alone fails here.

#include "core/siblingcommands.h"
#include "engine/albumloudness.h"
#include "engine/conversioncommand.h"
#include "engine/transcodertext.h"
#include "protocol/sonmillprotocol.h"
#include "sonmillrun.h"
#include "sources/cuetracks.h"
#include "sources/mediaprobe.h"
#include "testjobs.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;
using namespace SonmillRun;

namespace {

constexpr int kRate = 44100;

QString word(std::string_view text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

// A line format of the protocol as a pattern: each "%.Nf" a number with N decimals.
QString formatPattern(const char *format)
{
    const QString text = QString::fromLatin1(format);
    static const QRegularExpression number(u"%\\.(\\d)f"_s);
    QString pattern;
    qsizetype at = 0;
    for (auto found = number.globalMatch(text); found.hasNext();) {
        const QRegularExpressionMatch match = found.next();
        pattern += QRegularExpression::escape(text.mid(at, match.capturedStart() - at)) + u"-?[0-9]+\\.[0-9]{"_s
            + match.captured(1) + u'}';
        at = match.capturedEnd();
    }
    return pattern + QRegularExpression::escape(text.mid(at));
}

// What GStreamer calls the field each -tag key sets, and what it reads back from "n/total".
struct TagRead
{
    QString name;
    QString value;
};
const QHash<QString, TagRead> &tagReads()
{
    static const QHash<QString, TagRead> reads {
        { u"title"_s, { u"title"_s, u"Tïtle, with comma"_s } },
        { u"artist"_s, { u"artist"_s, u"The Artist"_s } },
        { u"album"_s, { u"album"_s, u"An Album"_s } },
        { u"albumartist"_s, { u"album-artist"_s, u"Various Artists"_s } },
        { u"date"_s, { u"datetime"_s, u"2021"_s } },
        { u"genre"_s, { u"genre"_s, u"Rock"_s } },
        { u"comment"_s, { u"comment"_s, u"A comment"_s } },
        { u"composer"_s, { u"composer"_s, u"Marie Dupont"_s } },
        { u"isrc"_s, { u"isrc"_s, u"FRXXX9900001"_s } },
        { u"track"_s, { u"track-number"_s, u"3"_s } },
        { u"disc"_s, { u"album-disc-number"_s, u"1"_s } },
    };
    return reads;
}
QString sentValue(const QString &key)
{
    if (key == u"track")
        return u"3/12"_s;
    if (key == u"disc")
        return u"1/2"_s;
    return tagReads().value(key).value;
}

} // namespace

class TestSonmillProtocol : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_source;
    QSet<QString> m_sent; // every argument the window's commands below gave sonmill

    QString path(const QString &name) const { return m_dir.filePath(name); }

    TStartRecord job(const QString &output) const
    {
        TStartRecord job = TestJobs::mp3(m_source, path(output), u"00:00:02"_s);
        job.Duration = u"00:00:02"_s;
        return job;
    }

    Result runSent(const CommandLine &cmd)
    {
        for (const QString &argument : cmd.arguments)
            m_sent.insert(argument);
        return run(cmd.arguments);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_source = path(u"source.wav"_s);
        QVERIFY(writeWav(m_source, kRate, 2, kRate * 2,
            [](qint64 f, int c) { return 0.3 * std::sin(2 * M_PI * (c ? 660.0 : 440.0) * double(f) / kRate); }));
    }

    // The probe: "Duration:" as the window takes it.
    void probe()
    {
        const Result result = runSent(ProbeCommand(m_source, path(u"inadd.wav"_s)));
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        const ProbeVerdict verdict = JudgeProbeText(result.output);
        QVERIFY2(verdict.accepted, qPrintable(result.output));
        QCOMPARE(verdict.duration, u"00:00:02"_s);
        QCOMPARE(verdict.exactNs, 2'000'000'000);
    }

    // The conversions the window composes, between them every option it has: each ends with
    // the summary, its progress lines give positions the window reads, and the loudness
    // options print the "Loudness:" line in its format.
    void conversions_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<int>("kind");
        QTest::newRow("mp3: volume, rate, bit rate, channels") << u"a.mp3"_s << 0;
        QTest::newRow("lossless: copy, then the profile's encoder") << u"b.wav"_s << 1;
        QTest::newRow("flac: loudness, album values, tags, checked") << u"c.flac"_s << 2;
    }
    void conversions()
    {
        QFETCH(QString, output);
        QFETCH(int, kind);
        TStartRecord row = job(output);
        if (kind == 0) {
            row.Volume = 80;
            row.SampleRate = u"22050 Hz"_s;
            row.Bitrate = u"96 kbps"_s;
            row.Channels = u"1 Channel Mono"_s;
        } else {
            row.BitrateNot = kTrue.toString();
            row.AudioCodec = kind == 1 ? u"pcm16le"_s : u"flac"_s;
            row.Lossless = kind == 1 ? kTrue.toString() : kFalse.toString();
            row.Extension = output.mid(1);
        }
        if (kind == 2) {
            row.Loudness.normalizeLufs = -20;
            row.Loudness.replayGain = true;
            row.Loudness.albumGainDb = -2.5;
            row.Loudness.albumPeak = 0.5;
            for (auto key = tagReads().cbegin(); key != tagReads().cend(); ++key)
                row.TagValues.append({ key.key(), sentValue(key.key()) });
        }
        const CommandLine cmd = kind == 2 ? WithOutputCheck(BuildConversionCommand(row)) : BuildConversionCommand(row);
        const Result result = runSent(cmd);
        QVERIFY2(result.exitCode == 0, qPrintable(cmd.text + u'\n' + result.output));
        QVERIFY(ReportsSuccess(result.output));
        QVERIFY2(!ReportsFailure(result.output), qPrintable(result.output));
        QVERIFY(FailureReason(result.output).isEmpty());

        TranscoderLines cut;
        QList<int> positions;
        for (const QString &line : cut.take(result.output)) {
            if (const auto seconds = ProgressSeconds(line))
                positions << *seconds;
        }
        QVERIFY2(!positions.isEmpty(), qPrintable(result.output));
        QCOMPARE(positions.last(), 2); // the last progress line is the end: 2.00 s
        QCOMPARE(PercentStatus(positions.last(), 2), u"100%"_s);

        if (kind == 2) {
            const QString loudness = u"^"_s + QRegularExpression::escape(u"" SONMILL_LOUDNESS_LABEL ": integrated "_s)
                + formatPattern(SONMILL_LUFS_FORMAT) + u", range ("_s + formatPattern(SONMILL_RANGE_FORMAT)
                + u"|" SONMILL_NO_VALUE "), true peak "_s + formatPattern(SONMILL_TRUE_PEAK_FORMAT) + u"$"_s;
            const QRegularExpression line(loudness, QRegularExpression::MultilineOption);
            QVERIFY2(line.match(result.output).hasMatch(), qPrintable(loudness + u'\n' + result.output));

            const Media media = inspect(row.OutputPath);
            QVERIFY(media.ok);
            for (auto key = tagReads().cbegin(); key != tagReads().cend(); ++key)
                QVERIFY2(media.tags.value(key->name) == key->value,
                    qPrintable(u"%1 is '%2'"_s.arg(key->name, media.tags.value(key->name))));
        }
    }

    // -retag (tolm-convert --sync): an earlier output gets the source's tags anew, in place.
    void retag()
    {
        TStartRecord row = job(u"r.mp3"_s);
        QCOMPARE(runSent(BuildConversionCommand(row)).exitCode, 0);
        const Result result = runSent(RetagCommand(m_source, row.OutputPath));
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        QVERIFY2(!ReportsFailure(result.output), qPrintable(result.output));
        QVERIFY(inspect(row.OutputPath).ok);
        QVERIFY(!QDir(QFileInfo(row.OutputPath).path())
                     .entryList(QDir::Files | QDir::Hidden)
                     .join(u' ')
                     .contains(u".part"_s));
    }

    // -measure: the album's line as the window reads it.
    void albumLoudness()
    {
        const Result result = runSent(AlbumLoudness::command({ m_source, m_source }));
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        const AlbumLoudness::Verdict verdict = AlbumLoudness::judge(result.output);
        QVERIFY2(verdict.measured && verdict.values, qPrintable(verdict.reason + u'\n' + result.output));
        QVERIFY(verdict.values->peak > 0.25 && verdict.values->peak < 0.35); // a 0.3 sine's true peak
    }

    // A CUE sheet's SONGWRITER and ISRC reach the track's output as its composer and ISRC.
    void cueSheetTagsReachTheOutput()
    {
        const QString sheet = path(u"album.cue"_s);
        QFile file(sheet);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("PERFORMER \"Ensemble\"\nTITLE \"Concert\"\nSONGWRITER \"Marie Dupont\"\n"
                   "FILE \"source.wav\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"Overture\"\n"
                   "    ISRC FRXXX9900001\n    INDEX 01 00:00:00\n");
        file.close();
        const auto expanded = ExpandCueSheet(sheet);
        QVERIFY(std::holds_alternative<QList<CueTrackRow>>(expanded));
        const CueTrackRow track = std::get<QList<CueTrackRow>>(expanded).at(0);

        TStartRecord row = job(u"track.flac"_s);
        row.AudioCodec = u"flac"_s;
        row.BitrateNot = kTrue.toString();
        row.Extension = u".flac"_s;
        QVERIFY(ApplyCueTrack(row, track, 2'000'000'000));
        const Result result = runSent(BuildConversionCommand(row));
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        const Media media = inspect(row.OutputPath);
        QCOMPARE(media.tags.value(u"composer"_s), u"Marie Dupont"_s);
        QCOMPARE(media.tags.value(u"isrc"_s), u"FRXXX9900001"_s);
        QCOMPARE(media.tags.value(u"title"_s), u"Overture"_s);
    }

    // Failed runs read as failures: the reason is the text after "Error: ", the probe refuses.
    void failures_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no input") << 0 << u"no such file: the input does not exist"_s;
        QTest::newRow("no encoder") << 1 << u"Unknown encoder"_s;
        QTest::newRow("volume out of range") << 2 << u"Incorrect volume for -vol (0 to 400)"_s;
    }
    void failures()
    {
        QFETCH(int, kind);
        QFETCH(QString, reason);
        CommandLine cmd;
        if (kind == 0) {
            cmd = ProbeCommand(path(u"missing.wav"_s), path(u"inadd.wav"_s));
        } else {
            TStartRecord row = job(u"failed.mp3"_s);
            if (kind == 1)
                row.AudioCodec = u"wma"_s;
            else
                row.Volume = 999;
            cmd = BuildConversionCommand(row);
        }
        const Result result = runSent(cmd);
        QVERIFY(result.finished);
        QVERIFY(result.exitCode != 0);
        QVERIFY(ReportsFailure(result.output));
        QVERIFY(!ReportsSuccess(result.output));
        QCOMPARE(FailureReason(result.output), reason);
        QVERIFY(!JudgeProbeText(result.output).accepted);
    }

    // Between them the commands above sent every option word and every -tag key the protocol
    // has, and sonmill's help names them all.
    void everyWordSentAndDescribed()
    {
        const Result help = run({ u"--help"_s });
        QCOMPARE(help.exitCode, 0);
        for (const SonmillProtocol::OptionWord &option : SonmillProtocol::kOptions) {
            QVERIFY2(m_sent.contains(word(option.word)), option.word.data());
            QVERIFY2(help.output.contains(word(option.word) + u' '), option.word.data());
        }
        for (const SonmillProtocol::TagKey &tag : SonmillProtocol::kTagKeys) {
            QVERIFY2(tagReads().contains(word(tag.key)), tag.key.data());
            QVERIFY2(help.output.contains(word(tag.key)), tag.key.data());
        }
        QVERIFY(m_sent.contains(kSiblingKey.toString()));
    }
};

QTEST_GUILESS_MAIN(TestSonmillProtocol)
#include "tst_sonmillprotocol.moc"
