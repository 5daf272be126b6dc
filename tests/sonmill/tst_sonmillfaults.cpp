// sonmill on a disk that fills up: whatever the output format, the run stops where the
// disk filled, says why, and leaves nothing behind.

#include "sonmillrun.h"
#include "testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace SonmillRun;

namespace {

constexpr qint64 kDiskBytes = 1024 * 1024;
// Buffers between the encoder and the file, and the last progress line before the failed
// write: far less than the rest of the input, which is several times the disk.
constexpr qint64 kSlackBytes = 256 * 1024;
constexpr int kBoundMs = 60000;

// The largest size= a run reported, in bytes.
qint64 largestReportedSize(const QString &output)
{
    static const QRegularExpression sizeField(uR"(size=\s*(\d+)kB)"_s);
    qint64 largest = 0;
    for (auto it = sizeField.globalMatch(output); it.hasNext();)
        largest = std::max(largest, it.next().captured(1).toLongLong() * 1024);
    return largest;
}

} // namespace

class TestSonmillFaults : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_noise; // a minute of stereo noise: several times the disk in every format
    QString m_mp3; // the same as MP3, for the stream copy
    QString m_disk; // a small disk of its own, or a folder where a file may not grow past its size
    bool m_mounted = false;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // Runs sonmill writing to the small disk. Without a disk of our own, the child's file
    // size limit stands in for it: its writes past the limit fail (with SIGXFSZ ignored),
    // as they would on a full disk.
    Result runOnSmallDisk(const QStringList &arguments) const
    {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.setProcessChannelMode(QProcess::MergedChannels);
        if (!m_mounted) {
            process.setChildProcessModifier([] {
                const rlimit limit { rlim_t(kDiskBytes), rlim_t(kDiskBytes) };
                ::setrlimit(RLIMIT_FSIZE, &limit);
                ::signal(SIGXFSZ, SIG_IGN);
            });
        }
        Result result;
        process.start(sonmillPath(), arguments);
        if (!process.waitForStarted(10000))
            return result;
        result.finished = process.waitForFinished(kBoundMs);
        if (!result.finished) {
            process.kill(); // our own child, by its handle
            process.waitForFinished(5000);
        }
        result.exitCode = process.exitCode();
        result.crashed = process.exitStatus() == QProcess::CrashExit;
        result.output = QString::fromUtf8(process.readAll());
        return result;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_noise = path(u"noise.wav"_s);
        QVERIFY(make(u"audiotestsrc wave=white-noise num-buffers=2600 samplesperbuffer=1024 ! "
                     "audio/x-raw,rate=44100,channels=2 ! wavenc ! filesink location=%1"_s,
            m_noise));
        m_mp3 = path(u"noise.mp3"_s);
        QVERIFY(
            run(conversionArguments(m_noise, m_mp3, { u"-acodec"_s, u"libmp3lame"_s, u"-ab"_s, u"320k"_s })).exitCode
            == 0);
        QVERIFY(QFileInfo(m_mp3).size() > 2 * kDiskBytes);

        m_disk = path(u"disk"_s);
        QVERIFY(QDir().mkpath(m_disk));
        // A real full disk where we may mount one (as root, in CI); the file size limit
        // elsewhere.
        if (::geteuid() == 0) {
            QProcess mount;
            mount.start(u"mount"_s, { u"-t"_s, u"tmpfs"_s, u"-o"_s, u"size=%1"_s.arg(kDiskBytes), u"tmpfs"_s, m_disk });
            m_mounted
                = mount.waitForFinished(10000) && mount.exitStatus() == QProcess::NormalExit && mount.exitCode() == 0;
        }
        qInfo("writing to %s", m_mounted ? "a 1 MiB tmpfs" : "a folder under a 1 MiB file size limit");
    }

    void cleanupTestCase()
    {
        if (m_mounted) {
            QProcess umount;
            umount.start(u"umount"_s, { m_disk });
            umount.waitForFinished(10000);
        }
    }

    void diskFullStopsTheRun_data()
    {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("fromMp3");
        const auto options = [](const char *encoder, const char *bitrate = nullptr) {
            QStringList list { u"-acodec"_s, QString::fromLatin1(encoder) };
            if (bitrate)
                list << u"-ab"_s << QString::fromLatin1(bitrate);
            return list;
        };
        QTest::newRow("mp3") << u"mp3"_s << options("libmp3lame", "320k") << false;
        QTest::newRow("ogg") << u"ogg"_s << options("vorbis", "320k") << false;
        QTest::newRow("m4a") << u"m4a"_s << options("aac", "320k") << false;
        QTest::newRow("aac") << u"aac"_s << options("aac", "320k") << false;
        QTest::newRow("mp2") << u"mp2"_s << options("mp2", "384k") << false;
        QTest::newRow("flac") << u"flac"_s << options("flac") << false;
        QTest::newRow("wav") << u"wav"_s << options("pcm16le") << false;
        QTest::newRow("aiff") << u"aiff"_s << options("pcm16be") << false;
        QTest::newRow("au") << u"au"_s << options("pcm16be") << false;
        QTest::newRow("ac3") << u"ac3"_s << options("ac3", "640k") << false;
        QTest::newRow("mp3 stream copy") << u"mp3"_s << options("copy") << true;
    }
    void diskFullStopsTheRun()
    {
        QFETCH(QString, extension);
        QFETCH(QStringList, options);
        QFETCH(bool, fromMp3);
        const QString output = m_disk + u"/out."_s + extension;
        const Result result
            = runOnSmallDisk(conversionArguments(fromMp3 ? m_mp3 : m_noise, output, options << u"-ac"_s << u"2"_s));
        QVERIFY2(result.finished && !result.crashed, qPrintable(result.output));
        QCOMPARE(result.exitCode, 7);
        const QStringList lines = result.output.split(u'\n', Qt::SkipEmptyParts);
        // The system's reason follows: a full disk, or a file past the size limit standing in
        // for one (the stream copy's writer says only that the write failed there).
        const QString fixed = u"Error: Could not write the output file"_s;
        const QString reason = m_mounted ? u": No space left on device"_s : u": File too large"_s;
        const bool reasonKnown = m_mounted || !fromMp3;
        QVERIFY2(!lines.isEmpty() && lines.last() == (reasonKnown ? fixed + reason : fixed), qPrintable(result.output));
        QVERIFY(!result.output.contains(u"global"_s));
        // Stopped when the disk filled, not after encoding the whole input.
        QVERIFY2(largestReportedSize(result.output) <= kDiskBytes + kSlackBytes, qPrintable(result.output));
        QVERIFY(QDir(m_disk).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    }

    // The output cannot even be created: the error line gives the system's reason after the
    // fixed words, and never the path.
    void outputRefusedSaysWhy_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("reason");
        QTest::newRow("folder removed") << u"gone"_s << u"No such file or directory"_s;
        QTest::newRow("a file where the folder should be") << u"plain-file"_s << u"Not a directory"_s;
        QTest::newRow("read-only folder")
            << u"read-only"_s << (::geteuid() == 0 ? u"Read-only file system"_s : u"Permission denied"_s);
    }
    void outputRefusedSaysWhy()
    {
        QFETCH(QString, folder);
        QFETCH(QString, reason);
        const QString place = path(u"refusing %1 global Unknown"_s.arg(folder));
        if (folder == u"plain-file"_s) {
            QVERIFY(TestFiles::write(place, "a file"));
        } else if (folder == u"read-only"_s) {
            QVERIFY(QDir().mkpath(place));
            if (::geteuid() == 0) {
                // Permissions do not hold for root: a file system mounted read-only does.
                QProcess mount;
                mount.start(u"mount"_s, { u"-t"_s, u"tmpfs"_s, u"-o"_s, u"ro,size=64k"_s, u"tmpfs"_s, place });
                if (!mount.waitForFinished(10000) || mount.exitStatus() != QProcess::NormalExit
                    || mount.exitCode() != 0)
                    QSKIP("root, and no read-only file system could be mounted");
            } else {
                QVERIFY(QFile::setPermissions(place, QFile::ReadOwner | QFile::ExeOwner));
            }
        }
        const Result result = run(conversionArguments(m_mp3, place + u"/out.wav"_s, { u"-acodec"_s, u"pcm16le"_s }));
        if (folder == u"read-only"_s) {
            if (::geteuid() == 0) {
                QProcess umount;
                umount.start(u"umount"_s, { place });
                umount.waitForFinished(10000);
            } else {
                QFile::setPermissions(place, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            }
        }
        QCOMPARE(result.exitCode, 7);
        QCOMPARE(result.output.split(u'\n', Qt::SkipEmptyParts).last(),
            u"Error: Could not create the output file: "_s + reason);
        QVERIFY(!result.output.contains(u"refusing"_s));
    }

    // The disk fills up while the tags go in (the tag library rewrites the finished file in
    // place): the run fails as for any refused write, and no damaged file is left.
    void diskFullForTheTags()
    {
        if (!m_mounted)
            QSKIP("needs a small disk of its own (mounting a tmpfs as root)");
        const QString tagged = path(u"tagged.flac"_s);
        QVERIFY(make(u"audiotestsrc num-buffers=130 ! audio/x-raw,rate=44100,channels=2 ! "
                     "taginject tags=\"title=Song,comment=%1\" ! flacenc ! filesink location=%2"_s.arg(
                         QString(20000, u'x'), u"%1"_s),
            tagged));
        const QStringList options { u"-acodec"_s, u"libmp3lame"_s, u"-ab"_s, u"128k"_s, u"-ac"_s, u"2"_s };
        const QString roomy = path(u"tagged.mp3"_s);
        QVERIFY(run(conversionArguments(tagged, roomy, options)).exitCode == 0);
        const qint64 whole = QFileInfo(roomy).size();

        // Room for the audio, not for the whole file with its tags.
        const QString filler = m_disk + u"/filler"_s;
        QFile fill(filler);
        QVERIFY(fill.open(QIODevice::WriteOnly));
        QVERIFY(fill.resize(0));
        QStorageInfo disk(m_disk);
        const QByteArray block(4096, '\0');
        while (disk.refresh(), disk.bytesAvailable() > whole - 8192)
            QVERIFY(fill.write(block) == block.size() && fill.flush());
        fill.close();

        const QString output = m_disk + u"/tagged.mp3"_s;
        const Result result = runOnSmallDisk(conversionArguments(tagged, output, options));
        QFile::remove(filler);
        QVERIFY2(result.finished && result.exitCode == 7, qPrintable(result.output));
        QVERIFY(result.output.endsWith(u"Error: Could not write the output file\n"_s));
        QVERIFY(QDir(m_disk).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSonmillFaults)
#include "tst_sonmillfaults.moc"
