// tolm-convert --trash-sources end to end: the real tolm-convert and sonmill, a home folder of
// the test's own, whose trash (~/.local/share/Trash) receives the sources whose outputs passed
// their check, and nothing else.

#include "testmedia.h"
#include "testprocess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

const QString kProgramDir = QStringLiteral(TOLM_PROGRAM_DIR);

QString trashInfoPath(const QString &info)
{
    for (const QString &line : info.split(u'\n')) {
        if (line.startsWith(u"Path="))
            return QUrl::fromPercentEncoding(line.mid(5).toUtf8());
    }
    return {};
}

} // namespace

class TestTrashSources : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each row: how the run goes, which sources end in the trash, and the closing line.
    void trashSources_data()
    {
        QTest::addColumn<QString>("damage"); // what the disk does to sonmill's outputs (see checkshim)
        QTest::addColumn<bool>("trashUsable");
        QTest::addColumn<QStringList>("trashed");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<int>("exitCode");

        QTest::newRow("the undecodable file stays") << QString() << true << QStringList { u"one.wav"_s, u"two.wav"_s }
                                                    << u"2 converted, 1 failed, 2 source(s) moved to the trash"_s << 1;
        QTest::newRow("outputs that fail their check keep their sources")
            << u"corrupt"_s << true << QStringList() << u"0 converted, 3 failed, 0 source(s) moved to the trash"_s << 1;
        QTest::newRow("a trash that cannot be made keeps them all")
            << QString() << false << QStringList() << u"2 converted, 1 failed, 0 source(s) moved to the trash"_s << 1;
    }
    void trashSources()
    {
        QFETCH(QString, damage);
        QFETCH(bool, trashUsable);
        QFETCH(QStringList, trashed);
        QFETCH(QString, summary);
        QFETCH(int, exitCode);

        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QString home = root.filePath(u"home"_s);
        const QString music = root.filePath(u"music"_s);
        const QString out = root.filePath(u"out"_s);
        const QString work = root.filePath(u"work"_s); // the working folder, which nothing may reach
        QVERIFY(QDir().mkpath(home) && QDir().mkpath(music) && QDir().mkpath(work));
        const QString trash = home + u"/.local/share/Trash"_s;
        if (!trashUsable) {
            // A file where the trash folder belongs: nothing can be moved there.
            QVERIFY(QDir().mkpath(home + u"/.local/share"_s));
            QFile blocker(trash);
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        const QStringList sources { u"one.wav"_s, u"two.wav"_s, u"broken.wav"_s };
        for (const QString &name : sources.mid(0, 2))
            QVERIFY(TestMedia::writeWav(music + u'/' + name, 44100, 2, 44100 * 2,
                [](qint64 frame, int channel) { return 0.3 * std::sin(double(frame) * (0.03 + 0.01 * channel)); }));
        QFile broken(music + u"/broken.wav"_s);
        QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write(QByteArray(4096, 'x')) == 4096);
        broken.close();

        QProcessEnvironment env = TestProcess::terminalEnvironment(home, root.filePath(u"cache"_s));
        if (!damage.isEmpty()) {
            env.insert(u"LD_PRELOAD"_s, QStringLiteral(TOLM_CHECK_SHIM));
            env.insert(u"TOLM_CHECK_SHIM"_s, damage);
        }
        QProcess process;
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(work);
        process.start(kProgramDir + u"/tolm-convert"_s,
            { u"--trash-sources"_s, u"-p"_s, u"flac"_s, u"-j"_s, u"1"_s, u"-o"_s, out, music });
        const TestProcess::Ended ended = TestProcess::waitForEnd(process);
        QVERIFY2(ended.exitCode == exitCode, qPrintable(ended.out + ended.err));
        QVERIFY2(ended.out.contains(summary), qPrintable(ended.out));

        for (const QString &name : sources) {
            const QString original = music + u'/' + name;
            const bool gone = trashed.contains(name);
            QVERIFY2(QFileInfo::exists(original) != gone, qPrintable(name));
            if (!trashUsable)
                continue;
            const QString inTrash = trash + u"/files/"_s + name;
            const QString info = trash + u"/info/"_s + name + u".trashinfo"_s;
            QCOMPARE(QFileInfo::exists(inTrash), gone);
            QCOMPARE(QFileInfo::exists(info), gone);
            if (gone) {
                QFile file(info);
                QVERIFY(file.open(QIODevice::ReadOnly));
                const QString text = QString::fromUtf8(file.readAll());
                QVERIFY(text.startsWith(u"[Trash Info]"_s));
                QCOMPARE(trashInfoPath(text), original);
                QVERIFY(text.contains(u"DeletionDate="_s));
            }
        }
        if (!trashUsable)
            QCOMPARE(ended.err.count(u"cannot move the source to the trash"_s), 2);
        QVERIFY(QDir(work).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
        // The outputs that took their names are the ones whose sources could go; the folder
        // named keeps its own name below the output folder.
        const QStringList outputs = QDir(out + u'/' + QFileInfo(music).fileName()).entryList(QDir::Files);
        if (damage.isEmpty())
            QCOMPARE(outputs, (QStringList { u"one.flac"_s, u"two.flac"_s }));
        else
            QVERIFY(outputs.isEmpty());
    }

    void notWithDryRun()
    {
        QTemporaryDir root;
        QProcess process;
        process.setProcessEnvironment(TestProcess::terminalEnvironment(root.path(), root.filePath(u"cache"_s)));
        process.start(kProgramDir + u"/tolm-convert"_s, { u"--trash-sources"_s, u"--dry-run"_s, root.path() });
        const TestProcess::Ended ended = TestProcess::waitForEnd(process);
        QCOMPARE(ended.exitCode, 2);
        QVERIFY(ended.err.contains(u"--trash-sources and --dry-run exclude each other"_s));
    }
};

QTEST_GUILESS_MAIN(TestTrashSources)
#include "tst_trashsources.moc"
