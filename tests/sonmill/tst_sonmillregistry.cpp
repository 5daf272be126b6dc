// The plugin registry in the user's cache: an update of the program gets a new one, and
// registries no copy has used for a month are cleared away then, while those in use, and
// anything else in the folder, stay.

#include "sonmillrun.h"
#include "testfiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/time.h>

using namespace Qt::StringLiterals;
using namespace SonmillRun;

namespace {

const QString kRegistryPattern = u"gst-registry-1.0-*.bin"_s;

// Sets a file's or folder's modification time that many days back.
bool age(const QString &path, int daysOld)
{
    const qint64 when = QDateTime::currentSecsSinceEpoch() - qint64(daysOld) * 24 * 3600;
    const timeval times[2] = { { when, 0 }, { when, 0 } };
    return ::utimes(QFile::encodeName(path).constData(), times) == 0;
}

bool writeAged(const QString &path, int daysOld)
{
    return TestFiles::write(path, "old registry") && age(path, daysOld);
}

qint64 daysSinceModified(const QString &path)
{
    return QFileInfo(path).lastModified().daysTo(QDateTime::currentDateTime());
}

} // namespace

class TestSonmillRegistry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void unusedRegistriesGoWhenANewOneIsMade()
    {
        QTemporaryDir cache;
        QVERIFY(cache.isValid());
        const QString folder = cache.filePath(u"tolm-audio-converter"_s);
        QVERIFY(QDir().mkpath(folder));
        const QString unused = folder + u"/gst-registry-1.0-x86_64-00000001.bin"_s;
        const QString inUse = folder + u"/gst-registry-1.0-x86_64-00000002.bin"_s;
        const QString notARegistry = folder + u"/gst-registry-notes.txt"_s;
        const QString aFolder = folder + u"/gst-registry-1.0-x86_64-00000003.bin"_s;
        QVERIFY(writeAged(unused, 60));
        QVERIFY(writeAged(inUse, 2));
        QVERIFY(writeAged(notARegistry, 60));
        QVERIFY(QDir().mkpath(aFolder));
        QVERIFY(age(aFolder, 60));

        QTemporaryDir work;
        const QString input = work.filePath(u"tone.wav"_s);
        QVERIFY(writeWav(input, 44100, 2, 44100, [](qint64, int) { return 0.25; }));
        QProcessEnvironment env = environment();
        env.insert(u"HOME"_s, cache.path());
        env.insert(u"XDG_CACHE_HOME"_s, cache.path());
        const QStringList probe
            = { u"qzv"_s, u"-y"_s, u"-i"_s, input, u"-t"_s, u"0.001"_s, work.filePath(u"inadd.wav"_s) };

        const Result first = run(probe, 120000, env);
        QCOMPARE(first.exitCode, 0);
        QVERIFY2(first.output.contains(u"Duration: 00:00:01.00"_s), qPrintable(first.output));
        QVERIFY(!QFile::exists(unused));
        QVERIFY(QFile::exists(inUse));
        QVERIFY(QFile::exists(notARegistry));
        QVERIFY(QFileInfo(aFolder).isDir());
        QStringList made = QDir(folder).entryList({ kRegistryPattern }, QDir::Files);
        made.removeAll(QFileInfo(inUse).fileName());
        QCOMPARE(made.size(), 1); // the run's own, new registry
        const QString own = folder + u'/' + made.first();

        // A month later the same copy runs again: its registry is still in use, so it is
        // marked as such and kept, and the plugins are not scanned again.
        QVERIFY(age(own, 40));
        const qint64 size = QFileInfo(own).size();
        const Result second = run(probe, 60000, env);
        QCOMPARE(second.exitCode, 0);
        QVERIFY(QFile::exists(own));
        QCOMPARE(daysSinceModified(own), 0);
        QCOMPARE(QFileInfo(own).size(), size);
        QVERIFY(QFile::exists(inUse));
    }
};

QTEST_GUILESS_MAIN(TestSonmillRegistry)
#include "tst_sonmillregistry.moc"
