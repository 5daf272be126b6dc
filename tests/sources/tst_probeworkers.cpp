// The probe road on the real transcoder's probe workers: every answer is the text of a probe
// run on its own, a worker that hangs or dies costs the file it was on and no other, and the
// files come out in the order given.

#include "core/siblingcommands.h"
#include "platform/childprocess.h"
#include "sources/mediaprobe.h"
#include "sources/probequeue.h"
#include "testmedia.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <csignal>

using namespace Qt::StringLiterals;

namespace {

// The summary's speed is the only part of a probe's text that differs between two runs.
QString withoutSpeed(QString text)
{
    static const QRegularExpression speed(u"global speed [0-9.]+x"_s);
    return text.replace(speed, u"global speed Nx"_s);
}

bool writeTone(const QString &path, double seconds)
{
    return TestMedia::writeWav(path, 44100, 2, qint64(seconds * 44100),
        [](qint64 frame, int) { return 0.3 * std::sin(double(frame) * 0.05); });
}

} // namespace

class TestProbeWorkers : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_order;
    QList<ProbeRun> m_runs;

    QString file(const QString &name) const { return m_dir.filePath(name); }
    QString scratch() const { return m_dir.filePath(u"cache"_s); }
    void follow(ProbeQueue &queue)
    {
        connect(&queue, &ProbeQueue::probed, this, [this](const QString &path, const ProbeRun &run) {
            m_order << QFileInfo(path).fileName();
            m_runs << run;
        });
    }
    static bool waitIdle(ProbeQueue &queue, int timeoutMs = 30000)
    {
        return QTest::qWaitFor([&queue] { return !queue.isBusy(); }, timeoutMs);
    }
    // One probe run on its own, as before the workers.
    QString probeOnItsOwn(const QString &path)
    {
        const CommandLine command = ProbeCommand(path, file(u"alone.wav"_s));
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(ChildProcess::resolveProgram(command.program), command.arguments);
        if (!process.waitForFinished(30000))
            return u"(did not end)"_s;
        QFile::remove(file(u"alone.wav"_s));
        return QString::fromUtf8(process.readAll());
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        ChildProcess::setProgramFolder(QStringLiteral(TOLM_PROGRAM_DIR));
        QVERIFY(writeTone(file(u"tone.wav"_s), 2.5));
        QVERIFY(writeTone(file(u"short.wav"_s), 0.4));
        QVERIFY(writeTone(file(u"line\nbreak \\ name.wav"_s), 1.2));
        QFile empty(file(u"empty.wav"_s));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        QFile text(file(u"notes.mp3"_s));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write(QByteArray(4096, 'x'));
        QVERIFY(QDir().mkpath(file(u"folder.wav"_s)));
    }
    void init()
    {
        m_order.clear();
        m_runs.clear();
    }

    // Each file's answer is word for word what a probe of its own says (the speed aside), and
    // so is its verdict; the files come out in the order given.
    void answersAreTheTextsOfProbesOfTheirOwn()
    {
        const QStringList names { u"tone.wav"_s, u"missing.wav"_s, u"short.wav"_s, u"empty.wav"_s, u"notes.mp3"_s,
            u"folder.wav"_s, u"line\nbreak \\ name.wav"_s, u"tone.wav"_s };
        QStringList paths;
        for (const QString &name : names)
            paths << file(name);
        ProbeQueue queue(scratch());
        follow(queue);
        queue.add(paths);
        QVERIFY(waitIdle(queue));
        QCOMPARE(m_order, names);
        for (int i = 0; i < names.size(); ++i) {
            const QString alone = probeOnItsOwn(paths[i]);
            QVERIFY2(m_runs[i].started && !m_runs[i].timedOut && !m_runs[i].died, qPrintable(names[i]));
            QCOMPARE(withoutSpeed(m_runs[i].text), withoutSpeed(alone));
            QCOMPARE(JudgeProbeRun(m_runs[i]).accepted, JudgeProbeText(alone).accepted);
        }
        QVERIFY(JudgeProbeRun(m_runs[0]).accepted);
        QVERIFY(!JudgeProbeRun(m_runs[1]).accepted);
        QVERIFY(JudgeProbeRun(m_runs[6]).accepted);
    }

    void failingWorkerCostsOnlyItsFile_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("timedOut");
        // A stopped worker never answers: the time limit ends it. A killed one dies.
        QTest::newRow("hangs") << int(SIGSTOP) << true;
        QTest::newRow("is killed") << int(SIGKILL) << false;
    }
    // The worker is made to fail while the file "victim" is its request: that file is refused,
    // every other one is probed by the workers left or a fresh one, in the order given.
    void failingWorkerCostsOnlyItsFile()
    {
        QFETCH(int, signal);
        QFETCH(bool, timedOut);
        QVERIFY(QFile::copy(file(u"tone.wav"_s), file(u"victim.wav"_s)) || QFile::exists(file(u"victim.wav"_s)));
        ProbeQueue queue(scratch());
        queue.setTimeoutMs(1500);
        follow(queue);
        queue.add({ file(u"tone.wav"_s) });
        QVERIFY(waitIdle(queue));
        QCOMPARE(queue.workerProcessIds().size(), 1);
        const qint64 worker = queue.workerProcessIds().first();
        // Stopped first, so the victim is certain to be its request when it fails.
        QCOMPARE(::kill(pid_t(worker), SIGSTOP), 0);
        QStringList given { u"victim.wav"_s, u"short.wav"_s, u"tone.wav"_s, u"missing.wav"_s, u"short.wav"_s };
        QStringList paths;
        for (const QString &name : given)
            paths << file(name);
        queue.add(paths);
        QVERIFY(queue.workerProcessIds().contains(worker));
        if (signal != SIGSTOP)
            QCOMPARE(::kill(pid_t(worker), signal), 0);
        QVERIFY(waitIdle(queue));
        QCOMPARE(m_order, QStringList({ u"tone.wav"_s }) + given);
        const ProbeRun &victim = m_runs[1];
        QCOMPARE(victim.timedOut, timedOut);
        QCOMPARE(victim.died, !timedOut);
        QVERIFY(!JudgeProbeRun(victim).accepted);
        const QList<bool> accepted { true, false, true, true, false, true };
        for (int i = 0; i < m_runs.size(); ++i)
            QCOMPARE(JudgeProbeRun(m_runs[i]).accepted, accepted[i]);
        QVERIFY(!queue.workerProcessIds().contains(worker));
        // Nothing of the failed worker stays in the cache folder: one scratch file a live worker.
        QTRY_VERIFY(QDir(scratch()).entryList(QDir::Files).size() <= queue.workerProcessIds().size());
    }

    // Many files through two workers keep their order and their verdicts.
    void manyFilesKeepTheirOrder()
    {
        QStringList paths;
        QList<bool> expected;
        for (int i = 0; i < 60; ++i) {
            const bool good = i % 7 != 3;
            paths << file(good ? (i % 2 ? u"tone.wav"_s : u"short.wav"_s) : u"missing.wav"_s);
            expected << good;
        }
        ProbeQueue queue(scratch());
        queue.setSimultaneous(1); // at least two all the same
        follow(queue);
        QSignalSpy idle(&queue, &ProbeQueue::idle);
        queue.add(paths.mid(0, 25));
        queue.add(paths.mid(25));
        QVERIFY(waitIdle(queue));
        QCOMPARE(queue.workerProcessIds().size(), 2);
        QCOMPARE(idle.size(), 1);
        QCOMPARE(m_runs.size(), paths.size());
        for (int i = 0; i < paths.size(); ++i)
            QCOMPARE(JudgeProbeRun(m_runs[i]).accepted, expected[i]);
        QCOMPARE(JudgeProbeRun(m_runs[0]).duration, u"00:00:00"_s);
        QCOMPARE(JudgeProbeRun(m_runs[1]).duration, u"00:00:02"_s);
    }
};

QTEST_GUILESS_MAIN(TestProbeWorkers)
#include "tst_probeworkers.moc"
