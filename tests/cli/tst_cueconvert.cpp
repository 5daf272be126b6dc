// An album image and its CUE sheet through tolm-convert: one file per track, cut so the
// tracks' samples end to end are the image's, each with its own tags; sheets in other
// encodings, and sheets that are refused.

#include "testfiles.h"
#include "testmedia.h"
#include "testprocess.h"

#include <QDir>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kProgramDir = QStringLiteral(TOLM_PROGRAM_DIR);
constexpr int kRate = 44100;
constexpr qint64 kImageFrames = 12 * kRate + 12345; // 12.28 s

// Boundaries between whole seconds (4.2267 s and 9.0133 s), track 2 with a pregap.
const QString kSheet = uR"(REM GENRE "Jazz"
REM DATE 2001
REM DISCNUMBER 1
PERFORMER "The Band"
TITLE "Live Album"
FILE "image.wav" WAVE
  TRACK 01 AUDIO
    TITLE "Opening"
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    TITLE "Café"
    PERFORMER "Guest"
    INDEX 00 00:03:40
    INDEX 01 00:04:17
  TRACK 03 AUDIO
    TITLE "Finale"
    INDEX 01 00:09:01
)"_s;

using Run = TestProcess::Ended;

// Output of a program that is not ours, as bytes; empty when it failed.
QByteArray outsideTool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};
    return process.readAllStandardOutput();
}

// The samples of a file as 16-bit little-endian bytes, decoded by the flac tool or read by sox.
QByteArray samplesOf(const QString &file)
{
    if (file.endsWith(u".flac"_s))
        return outsideTool(u"flac"_s,
            { u"-d"_s, u"-s"_s, u"-c"_s, u"--force-raw-format"_s, u"--endian=little"_s, u"--sign=signed"_s, file });
    return outsideTool(u"sox"_s, { file, u"-t"_s, u"raw"_s, u"-e"_s, u"signed"_s, u"-b"_s, u"16"_s, u"-L"_s, u"-"_s });
}

} // namespace

class TestCueConvert : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_album;
    QByteArray m_imageSamples;

    QString path(const QString &relative) const { return m_root.filePath(relative); }

    Run convert(const QStringList &arguments) const
    {
        QProcess process;
        process.setProcessEnvironment(TestProcess::terminalEnvironment(path(u"home"_s), path(u"cache"_s)));
        process.setWorkingDirectory(m_root.path());
        process.start(kProgramDir + u"/tolm-convert"_s, arguments);
        return TestProcess::waitForEnd(process);
    }

    QString writeSheet(const QString &name, const QByteArray &bytes)
    {
        const QString sheet = m_album + u'/' + name;
        return TestFiles::write(sheet, bytes) ? sheet : QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        QVERIFY(QDir().mkpath(path(u"home"_s)));
        m_album = path(u"album"_s);
        // Noise that never repeats, so a track shifted by one sample cannot pass.
        const QString wav = path(u"made/image.wav"_s);
        QVERIFY(QDir().mkpath(path(u"made"_s)));
        quint32 seed = 12345;
        QVERIFY(TestMedia::writeWav(wav, kRate, 2, kImageFrames, [&seed](qint64, int) {
            seed = seed * 1664525u + 1013904223u;
            return (double(seed >> 8) / double(1 << 24) - 0.5) * 0.8;
        }));
        // The sheet names a WAV image; it was compressed to FLAC later.
        QVERIFY(QDir().mkpath(m_album));
        QProcess sonmill;
        sonmill.start(kProgramDir + u"/sonmill"_s,
            { u"qzv"_s, u"-i"_s, wav, u"-acodec"_s, u"flac"_s, m_album + u"/image.flac"_s });
        QVERIFY(sonmill.waitForFinished(60000) && sonmill.exitCode() == 0);
        m_imageSamples = samplesOf(m_album + u"/image.flac"_s);
        QCOMPARE(m_imageSamples.size(), kImageFrames * 4);
        QCOMPARE(samplesOf(wav), m_imageSamples);
        QVERIFY(!writeSheet(u"album.cue"_s, kSheet.toUtf8()).isEmpty());
    }

    void tracksEndToEndAreTheImage_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("extension");
        QTest::newRow("FLAC") << u"flac"_s << u".flac"_s;
        QTest::newRow("WAV") << u"WAV - Waveform Lossless Audio (*.wav)"_s << u".wav"_s;
    }
    void tracksEndToEndAreTheImage()
    {
        QFETCH(QString, profile);
        QFETCH(QString, extension);
        const QString out = path(u"out-"_s + extension.mid(1));
        const Run run = convert({ u"-p"_s, profile, u"-o"_s, out, u"album/album.cue"_s });
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QStringList names { u"01 - Opening"_s + extension, u"02 - Café"_s + extension,
            u"03 - Finale"_s + extension };
        QCOMPARE(QDir(out).entryList(QDir::Files, QDir::Name), names);
        QVERIFY2(run.out.contains(u"converted: album/album.cue: 02 - Café -> "_s), qPrintable(run.out));

        QByteArray joined;
        QList<qint64> lengths;
        for (const QString &name : names) {
            const QByteArray samples = samplesOf(out + u'/' + name);
            QVERIFY2(!samples.isEmpty(), qPrintable(name));
            lengths << samples.size() / 4;
            joined += samples;
        }
        // Track 1 ends where track 2's INDEX 01 is (its pregap included): 4 s and 17 CD frames.
        QCOMPARE(lengths.at(0), 4 * kRate + 17 * 588);
        QCOMPARE(lengths.at(1), (9 * 75 + 1 - (4 * 75 + 17)) * 588);
        QCOMPARE(joined.size(), m_imageSamples.size());
        QVERIFY2(joined == m_imageSamples, "the tracks end to end differ from the image");
    }

    void tracksCarryTheirTags()
    {
        const QString file = path(u"out-flac/02 - Café.flac"_s);
        if (!QFileInfo::exists(file))
            QVERIFY(convert({ u"-p"_s, u"flac"_s, u"-o"_s, path(u"out-flac"_s), u"album/album.cue"_s }).exitCode == 0);
        const QString tags = QString::fromUtf8(outsideTool(u"metaflac"_s, { u"--export-tags-to=-"_s, file }));
        for (const QString &expected : { u"TITLE=Café"_s, u"ARTIST=Guest"_s, u"ALBUM=Live Album"_s,
                 u"ALBUMARTIST=The Band"_s, u"TRACKNUMBER=2"_s, u"DATE=2001"_s, u"GENRE=Jazz"_s, u"DISCNUMBER=1"_s })
            QVERIFY2(tags.contains(expected, Qt::CaseInsensitive), qPrintable(expected + u" in\n"_s + tags));
        const QString first = QString::fromUtf8(
            outsideTool(u"metaflac"_s, { u"--export-tags-to=-"_s, path(u"out-flac/01 - Opening.flac"_s) }));
        QVERIFY2(first.contains(u"ARTIST=The Band"_s, Qt::CaseInsensitive), qPrintable(first));
    }

    void dryRunShowsTheCommands()
    {
        const Run run = convert({ u"--dry-run"_s, u"-p"_s, u"flac"_s, u"-o"_s, path(u"dry"_s), u"album/album.cue"_s });
        QCOMPARE(run.exitCode, 0);
        const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines.at(0).contains(u"  -ss  00:00:00  -t  00:00:04.226666667 "_s), qPrintable(lines.at(0)));
        QVERIFY2(
            lines.at(1).contains(u"  -ss  00:00:04.226666667  -t  00:00:04.786666666 "_s), qPrintable(lines.at(1)));
        QVERIFY2(
            lines.at(2).contains(u"  -ss  00:00:09.013333333  -t  00:00:03.266666667 "_s), qPrintable(lines.at(2)));
        QVERIFY2(lines.at(1).contains(u"  -tag  \"title=Café\""_s), qPrintable(lines.at(1)));
        QVERIFY(lines.at(1).endsWith(u"/dry/02 - Café.flac\""_s));
        QVERIFY(!QFileInfo::exists(path(u"dry"_s)));
    }

    void sheetsInOtherEncodings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
        QTest::newRow("UTF-16") << QByteArray(utf16.encode(kSheet));
        QByteArray legacy = kSheet.toLatin1(); // é is E9 in Windows-1252 too
        QTest::newRow("Windows-1252") << legacy;
    }
    void sheetsInOtherEncodings()
    {
        QFETCH(QByteArray, bytes);
        const QString sheet = writeSheet(u"encoded.cue"_s, bytes);
        const Run run = convert({ u"--dry-run"_s, u"-p"_s, u"flac"_s, u"-o"_s, path(u"dry"_s), sheet });
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY2(run.out.contains(u"\"title=Café\""_s), qPrintable(run.out));
        QVERIFY2(run.out.contains(u"/dry/02 - Café.flac\""_s), qPrintable(run.out));
        QFile::remove(sheet);
    }

    void refusedSheetsAddNothing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing image") << QString(kSheet).replace(u"image.wav"_s, u"other.wav"_s)
                                       << u"line 7: the image \"other.wav\" of track 1 is not beside the sheet."_s;
        QTest::newRow("bad line") << QString(kSheet).replace(u"00:09:01"_s, u"00:09:99"_s)
                                  << u"line 17: INDEX needs a number and a time mm:ss:ff."_s;
        QTest::newRow("track beyond the image") << QString(kSheet).replace(
            u"00:09:01"_s, u"00:20:00"_s) << u"line 15: track 3 lies beyond the end of its image \"image.flac\"."_s;
    }
    void refusedSheetsAddNothing()
    {
        QFETCH(QString, text);
        QFETCH(QString, reason);
        const QString sheet = writeSheet(u"refused.cue"_s, text.toUtf8());
        const QString out = path(u"refused-out"_s);
        const Run run = convert({ u"-p"_s, u"flac"_s, u"-o"_s, out, sheet });
        QVERIFY(run.exitCode != 0);
        // The sheet is named, never its image in its place.
        QVERIFY2(
            run.err.contains(u"The CUE sheet \""_s + sheet + u"\" cannot be used: "_s + reason), qPrintable(run.err));
        QVERIFY2(QDir(out).entryList(QDir::Files).isEmpty(), qPrintable(run.out)); // not one track of it
        QFile::remove(sheet);
    }
};

QTEST_GUILESS_MAIN(TestCueConvert)
#include "tst_cueconvert.moc"
