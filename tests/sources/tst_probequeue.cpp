// The probe road: probes side by side, results in the order the files were given, stopping,
// time limits. Driven with the probe's stand-in transcoder (tests/sources/standin/sonmill).

#include "platform/childprocess.h"
#include "sources/mediaprobe.h"
#include "sources/probequeue.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestProbeQueue : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_order;
    QList<ProbeRun> m_runs;

    QString scratch() const { return m_dir.filePath(u"cache"_s); }
    void follow(ProbeQueue &queue)
    {
        connect(&queue, &ProbeQueue::probed, this, [this](const QString &path, const ProbeRun &run) {
            m_order << QFileInfo(path).fileName();
            m_runs << run;
        });
    }
    static bool waitIdle(ProbeQueue &queue, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&queue] { return !queue.isBusy(); }, timeoutMs);
    }

private Q_SLOTS:
    void initTestCase() { ChildProcess::setProgramFolder(QStringLiteral(TOLM_SOURCE_DIR "/tests/sources/standin")); }
    void init()
    {
        m_order.clear();
        m_runs.clear();
    }

    // Later files whose probes end first still come out after the earlier ones; every probe's
    // scratch file is gone afterwards.
    void resultsComeInTheOrderGiven()
    {
        ProbeQueue queue(scratch());
        queue.setSimultaneous(4);
        follow(queue);
        QSignalSpy idle(&queue, &ProbeQueue::idle);
        queue.add({ u"/x/wait6-a.wav"_s, u"/x/wait1-b.wav"_s, u"/x/refuse-c.wav"_s, u"/x/wait3-d.wav"_s });
        QVERIFY(waitIdle(queue));
        QCOMPARE(m_order, QStringList({ u"wait6-a.wav"_s, u"wait1-b.wav"_s, u"refuse-c.wav"_s, u"wait3-d.wav"_s }));
        QCOMPARE(JudgeProbeRun(m_runs[0]).duration, u"00:00:06"_s);
        QVERIFY(!JudgeProbeRun(m_runs[2]).accepted);
        QCOMPARE(JudgeProbeRun(m_runs[3]).duration, u"00:00:03"_s);
        QCOMPARE(idle.size(), 1);
        QCOMPARE(queue.handedOn(), 4);
        QTRY_COMPARE(QDir(scratch()).entryList(QDir::Files), QStringList()); // each worker removes its own
    }

    // N probes at once take about 1/N of the time one at a time would.
    void probesRunSideBySide()
    {
        const QStringList files { u"/x/wait5-a.wav"_s, u"/x/wait5-b.wav"_s, u"/x/wait5-c.wav"_s, u"/x/wait5-d.wav"_s };
        ProbeQueue queue(scratch());
        queue.setSimultaneous(4);
        follow(queue);
        QElapsedTimer clock;
        clock.start();
        queue.add(files);
        QVERIFY(waitIdle(queue));
        QCOMPARE(m_order.size(), 4);
        // One at a time takes 2 s at least; four at once well under that.
        QVERIFY2(clock.elapsed() < 1600, qPrintable(QString::number(clock.elapsed())));
    }

    // Stopping drops the files waiting and ends the running probes, which hand nothing on.
    void cancelEndsRunningProbes()
    {
        ProbeQueue queue(scratch());
        queue.setSimultaneous(2);
        follow(queue);
        QSignalSpy idle(&queue, &ProbeQueue::idle);
        queue.add({ u"/x/slow-a.wav"_s, u"/x/slow-b.wav"_s, u"/x/wait1-c.wav"_s });
        QTest::qWait(300);
        QElapsedTimer clock;
        clock.start();
        queue.cancel();
        QVERIFY(clock.elapsed() < 2000);
        QVERIFY(!queue.isBusy());
        QCOMPARE(idle.size(), 1);
        QTest::qWait(300);
        QCOMPARE(m_order, QStringList());
        QTRY_COMPARE(QDir(scratch()).entryList(QDir::Files), QStringList());
    }

    // A probe's text is read whole however long it is; one over its time is ended and refused.
    void probeOverItsTimeIsRefusedAndMissingTranscoderSaysWhy()
    {
        ProbeQueue queue(scratch());
        follow(queue);
        queue.add({ u"/x/chatty.wav"_s });
        QVERIFY(waitIdle(queue, 10000));
        QVERIFY(m_runs.first().started && !m_runs.first().timedOut);
        QVERIFY(m_runs.first().text.size() > 200000);
        QCOMPARE(JudgeProbeRun(m_runs.first()).duration, u"00:03:25"_s);
        m_runs.clear();

        queue.setTimeoutMs(300);
        queue.add({ u"/x/slow-a.wav"_s });
        QVERIFY(waitIdle(queue, 5000));
        QVERIFY(m_runs.first().timedOut);
        QVERIFY(!JudgeProbeRun(m_runs.first()).accepted);

        ChildProcess::setProgramFolder(m_dir.path());
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", "/nonexistent");
        queue.add({ u"/x/a.wav"_s });
        QVERIFY(waitIdle(queue, 5000));
        qputenv("PATH", path);
        ChildProcess::setProgramFolder(QStringLiteral(TOLM_SOURCE_DIR "/tests/sources/standin"));
        QVERIFY(!m_runs.last().started);
        QVERIFY(!m_runs.last().errorText.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestProbeQueue)
#include "tst_probequeue.moc"
