// Folders given to tolm-convert: each keeps its own name below -o with or without -r, and with
// --replaygain album each folder is its own album.

#include "loudnesscheck.h"
#include "testfiles.h"
#include "testprocess.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kProgramDir = QStringLiteral(TOLM_PROGRAM_DIR);

QStringList filesBelow(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace

class TestCliFolders : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;

    QString path(const QString &relative) const { return m_root.filePath(relative); }

    TestProcess::Ended convert(const QStringList &arguments) const
    {
        QProcess process;
        process.setProcessEnvironment(TestProcess::terminalEnvironment(path(u"home"_s), path(u"cache"_s)));
        process.setWorkingDirectory(m_root.path());
        process.start(kProgramDir + u"/tolm-convert"_s, arguments);
        return TestProcess::waitForEnd(process);
    }

private Q_SLOTS:
    // Two album folders, each with its 01 and 02, FLAC sources tagged by an older tool (an
    // 89 dB reference and an album gain of their own): one run, named without -r.
    void albumsByFolder()
    {
        struct Source
        {
            QString album;
            QString name;
            LoudnessCheck::Programme programme;
            double lufs;
        };
        const QList<Source> sources = {
            { u"Loud"_s, u"01"_s, LoudnessCheck::Programme::Dense, -12 },
            { u"Loud"_s, u"02"_s, LoudnessCheck::Programme::Punchy, -16 },
            { u"Quiet"_s, u"01"_s, LoudnessCheck::Programme::Punchy, -34 },
            { u"Quiet"_s, u"02"_s, LoudnessCheck::Programme::Dense, -30 },
        };
        QMap<QString, QStringList> wavs;
        for (const Source &source : sources) {
            const QString wav = path(u"wav/%1-%2.wav"_s.arg(source.album, source.name));
            const QString flac = path(u"lib/%1/%2.flac"_s.arg(source.album, source.name));
            QVERIFY(QDir().mkpath(QFileInfo(wav).path()) && QDir().mkpath(QFileInfo(flac).path()));
            QVERIFY(LoudnessCheck::writeProgramme(wav, source.programme, 5, source.lufs));
            QVERIFY(run(kProgramDir + u"/sonmill"_s, { u"qzv"_s, u"-i"_s, wav, u"-acodec"_s, u"flac"_s, flac }));
            QVERIFY(run(u"metaflac"_s,
                { u"--set-tag=REPLAYGAIN_REFERENCE_LOUDNESS=89.0 dB"_s, u"--set-tag=REPLAYGAIN_ALBUM_GAIN=-5.47 dB"_s,
                    u"--set-tag=TITLE=Song "_s + source.name, flac }));
            wavs[source.album] << wav;
        }

        const QString out = path(u"out"_s);
        const auto ended = convert(
            { u"-p"_s, u"flac"_s, u"--replaygain"_s, u"album"_s, u"-o"_s, out, u"lib/Loud"_s, u"lib/Quiet"_s });
        QVERIFY2(ended.exitCode == 0, qPrintable(ended.err));
        // Each folder under its own name, nothing renamed for a clash.
        QCOMPARE(filesBelow(out),
            QStringList({ u"Loud/01.flac"_s, u"Loud/02.flac"_s, u"Quiet/01.flac"_s, u"Quiet/02.flac"_s }));

        QMap<QString, double> albumGains;
        for (const QString &album : { u"Loud"_s, u"Quiet"_s }) {
            const QString joined = path(u"wav/%1-joined.wav"_s.arg(album));
            QVERIFY(run(u"sox"_s, wavs[album] + QStringList { joined }));
            const LoudnessCheck::Reading reading = LoudnessCheck::measure(joined);
            QVERIFY(reading.ok);
            QStringList gains;
            for (const QString &name : { u"01"_s, u"02"_s }) {
                const auto tags = LoudnessCheck::replayGainTags(out + u'/' + album + u'/' + name + u".flac"_s);
                QVERIFY2(!tags.contains(u"REPLAYGAIN_REFERENCE_LOUDNESS"_s),
                    qPrintable(tags.value(u"REPLAYGAIN_REFERENCE_LOUDNESS"_s)));
                QVERIFY(tags.contains(u"REPLAYGAIN_ALBUM_PEAK"_s) && tags.contains(u"REPLAYGAIN_TRACK_GAIN"_s));
                gains << tags.value(u"REPLAYGAIN_ALBUM_GAIN"_s);
            }
            QCOMPARE(gains.at(0), gains.at(1));
            albumGains[album] = LoudnessCheck::gainOf(gains.at(0));
            QVERIFY2(qAbs(albumGains[album] - (-18 - reading.integratedLufs)) <= 0.5,
                qPrintable(
                    u"%1: %2 dB against %3 LUFS"_s.arg(album).arg(albumGains[album]).arg(reading.integratedLufs)));
        }
        QVERIFY(albumGains[u"Quiet"_s] - albumGains[u"Loud"_s] > 10);
    }
};

QTEST_GUILESS_MAIN(TestCliFolders)
#include "tst_clifolders.moc"
