// Every input a fuzzer found a fault with, kept in a folder named after its target, run
// again through that target's entry point (the replayer of this build): each must end
// normally and quickly, as it did once the fault was mended. A sanitizer build
// (scripts/test.sh --sanitize) also checks it for leaks and undefined behaviour.
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

class TestFuzzFindings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void replays_data()
    {
        QTest::addColumn<QString>("replayer");
        QTest::addColumn<QString>("input");
        const QDir findings(QStringLiteral(TOLM_FUZZ_FINDINGS_DIR));
        int rows = 0;
        for (const QString &target : findings.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QDir folder(findings.filePath(target));
            for (const QString &input : folder.entryList(QDir::Files)) {
                QTest::addRow("%s/%s", qPrintable(target), qPrintable(input))
                    << QStringLiteral(TOLM_FUZZ_REPLAY_DIR) + u"/fuzz_"_s + target << folder.filePath(input);
                ++rows;
            }
        }
        QVERIFY2(rows > 0, "no kept inputs found under tests/fuzz");
    }

    void replays()
    {
        QFETCH(QString, replayer);
        QFETCH(QString, input);
        QVERIFY2(
            QFile::exists(replayer), qPrintable(u"no replayer "_s + replayer + u" (a folder with no fuzz target?)"_s));
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        process.setProcessEnvironment(env);
        QElapsedTimer timer;
        timer.start();
        process.start(replayer, { input });
        // Far above the fuzzers' second per input: a sanitizer build on a busy machine.
        const bool ended = process.waitForFinished(60000);
        if (!ended) {
            process.kill();
            process.waitForFinished(5000);
        }
        const QByteArray output = process.readAll();
        QVERIFY2(ended, qPrintable(u"still running after a minute"_s));
        QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0, output.constData());
    }
};

QTEST_GUILESS_MAIN(TestFuzzFindings)
#include "tst_fuzzfindings.moc"
