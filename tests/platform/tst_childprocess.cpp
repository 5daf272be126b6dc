#include "platform/childprocess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kStandIns = QStringLiteral(TOLM_SOURCE_DIR "/tests/platform/standin");

CommandLine bash(const QString &script, const QStringList &args = {})
{
    CommandLine cmd;
    cmd.program = u"bash"_s;
    cmd.arguments = QStringList { u"-c"_s, script, u"child"_s } + args;
    return cmd;
}

QString readUntil(ChildProcess &child, const QString &end, int timeoutMs = 10000)
{
    QString text;
    QElapsedTimer clock;
    clock.start();
    while (!text.contains(end) && clock.elapsed() < timeoutMs) {
        QTest::qWait(20);
        text += child.readPipeText();
    }
    return text;
}

// Lets the event loop run until the child has gone (its end is a signal, never a wait).
bool ends(ChildProcess &child, int timeoutMs = 10000)
{
    if (!child.isRunning())
        return true;
    QSignalSpy finished(&child, &ChildProcess::finished);
    return finished.wait(timeoutMs) || !child.isRunning();
}

bool processExists(qint64 pid)
{
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2, 1) != "Z";
}

} // namespace

class TestChildProcess : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { ChildProcess::setProgramFolder(kStandIns); }

    void readingNeverWaits()
    {
        ChildProcess child;
        QVERIFY(child.start(bash(u"sleep 2; echo late"_s)));
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(child.readPipeText(), QString());
        QVERIFY(clock.elapsed() < 100);
        child.end();
    }

    void outputAndErrorsMergedAndCharactersKeptWholeAcrossReads()
    {
        ChildProcess child;
        QVERIFY(child.start(
            bash(u"printf 'out\\n'; printf 'err\\n' >&2; printf '\\xc3'; sleep 0.4; printf '\\xbc!\\n'"_s)));
        QString text;
        QTRY_VERIFY((text += child.readPipeText()).contains(u"err\n"_s));
        QTest::qWait(150);
        text += child.readPipeText(); // the first byte of the character has arrived alone
        QVERIFY2(!text.contains(QChar::ReplacementCharacter), qPrintable(text));
        text += readUntil(child, u"!"_s);
        QCOMPARE(text, u"out\nerr\nü!\n"_s);
    }

    void largeOutputIsReadWhole()
    {
        ChildProcess child;
        QVERIFY(child.start(bash(u"head -c 300000 /dev/zero | tr '\\0' 'x'; echo END"_s)));
        QVERIFY(ends(child));
        const QString text = child.readPipeText();
        QCOMPARE(text.size(), 300004);
        QVERIFY(child.isDrained());
    }

    // Ending returns at once whatever the child does: one that goes when asked is gone soon
    // after, one that ignores the request is forced after its grace, and a grace of 0 or less
    // (QProcess's "for ever") forces it at once. finished() comes once, when it has gone.
    void endingNeverWaits_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("graceMs");
        QTest::newRow("goes when asked") << u"echo ready; exec sleep 20"_s << 5000;
        QTest::newRow("ignores the request") << u"trap '' TERM; echo ready; exec sleep 20"_s << 300;
        QTest::newRow("grace -1") << u"trap '' TERM; echo ready; exec sleep 20"_s << -1;
        QTest::newRow("grace 0") << u"echo ready; exec sleep 20"_s << 0;
    }
    void endingNeverWaits()
    {
        QFETCH(QString, script);
        QFETCH(int, graceMs);
        ChildProcess child;
        QVERIFY(child.start(bash(script)));
        QVERIFY(readUntil(child, u"ready"_s).contains(u"ready"_s));
        const qint64 pid = child.processId();
        QSignalSpy finished(&child, &ChildProcess::finished);
        child.end(graceMs);
        // Nothing was waited for: the child has not been reaped yet.
        QVERIFY(child.isRunning());
        QVERIFY(child.isEnding() || graceMs <= 0);
        QVERIFY(finished.isEmpty());
        QVERIFY(ends(child));
        QCOMPARE(finished.size(), 1);
        QVERIFY(!processExists(pid));
        QVERIFY(!child.exitedCleanly());
    }

    // A child still running when its owner goes is neither waited for nor lost: it is asked to
    // end, forced after its grace, and counted until it has gone; settling before the program
    // exits lets every child go, the one that ignores the request too.
    void childOfAGoneOwnerIsStillEnded()
    {
        QCOMPARE(ChildProcess::runningCount(), 0);
        qint64 polite = 0;
        qint64 stubborn = 0;
        {
            ChildProcess first;
            ChildProcess second;
            QVERIFY(first.start(bash(u"echo ready; exec sleep 20"_s)));
            QVERIFY(second.start(bash(u"trap '' TERM; echo ready; exec sleep 20"_s)));
            QVERIFY(readUntil(first, u"ready"_s).contains(u"ready"_s));
            QVERIFY(readUntil(second, u"ready"_s).contains(u"ready"_s));
            polite = first.processId();
            stubborn = second.processId();
        }
        QCOMPARE(ChildProcess::runningCount(), 2);
        QVERIFY(processExists(polite) || processExists(stubborn));
        ChildProcess::settleBeforeExit();
        QCOMPARE(ChildProcess::runningCount(), 0);
        QVERIFY(!processExists(polite));
        QVERIFY(!processExists(stubborn));
    }

    // Starting again while the last child is still ending does not wait for it either.
    void startingAgainLeavesTheEndingChildToItself()
    {
        ChildProcess child;
        QVERIFY(child.start(bash(u"trap '' TERM; echo ready; exec sleep 20"_s)));
        QVERIFY(readUntil(child, u"ready"_s).contains(u"ready"_s));
        const qint64 first = child.processId();
        child.end(300);
        QVERIFY(child.start(bash(u"echo second"_s)));
        QVERIFY(child.processId() != first);
        QVERIFY(readUntil(child, u"second"_s).contains(u"second"_s));
        QTRY_VERIFY_WITH_TIMEOUT(!processExists(first), 5000);
        QVERIFY(ends(child));
        QVERIFY(child.exitedCleanly());
    }

    // A program that is found but cannot be run says so through finished(), not by waiting.
    void programThatCannotRunFailsLater()
    {
        QTemporaryDir folder;
        QFile notAProgram(folder.filePath(u"sonmill"_s));
        QVERIFY(notAProgram.open(QIODevice::WriteOnly));
        notAProgram.write("\x7f"
                          "ELF but not really");
        notAProgram.close();
        notAProgram.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ChildProcess::setProgramFolder(folder.path());
        ChildProcess child;
        CommandLine cmd;
        cmd.program = u"sonmill"_s;
        const bool started = child.start(cmd);
        ChildProcess::setProgramFolder(kStandIns);
        QVERIFY(started);
        QVERIFY(ends(child));
        QVERIFY(child.failedToStart());
        QVERIFY(!child.errorText().isEmpty());
        QVERIFY(!child.exitedCleanly());
        QCOMPARE(ChildProcess::runningCount(), 0);
    }

    void argumentsReachTheChildIntact()
    {
        const QString odd = u"-i \"quoted\" 'single' $HOME `x` ; # ?*"_s;
        ChildProcess child;
        QVERIFY(child.start(bash(u"printf '%s|' \"$@\""_s, { odd, QString(), u"two words"_s })));
        QVERIFY(ends(child));
        QCOMPARE(child.readPipeText(), odd + u"||two words|"_s);
    }

    void programFolderComesFirst()
    {
        QCOMPARE(ChildProcess::resolveProgram(u"sonmill"_s), kStandIns + u"/sonmill"_s);
        QCOMPARE(ChildProcess::resolveProgram(u"bash"_s).section(u'/', -1), u"bash"_s);
        QCOMPARE(ChildProcess::resolveProgram(u"no-such-program-here"_s), QString());
        ChildProcess child;
        CommandLine missing;
        missing.program = u"no-such-program-here"_s;
        QVERIFY(!child.start(missing));
        QVERIFY(!child.errorText().isEmpty());
    }

    void endingByNameEndsOnlyOurOwnChildren()
    {
        // A process of the same name that this program did not start.
        QProcess outsider;
        outsider.start(kStandIns + u"/sonmill"_s, {});
        QVERIFY(outsider.waitForReadyRead(5000));

        CommandLine cmd;
        cmd.program = u"sonmill"_s;
        ChildProcess first, second, other;
        QVERIFY(first.start(cmd));
        QVERIFY(second.start(cmd));
        QVERIFY(other.start(bash(u"sleep 60"_s)));

        QCOMPARE(ChildProcess::KillProcessByName(u"sonmill"_s), 2);
        QVERIFY(ends(first));
        QVERIFY(ends(second));
        QVERIFY(other.isRunning());
        QCOMPARE(outsider.state(), QProcess::Running);

        other.end();
        QVERIFY(ends(other));
        outsider.terminate();
        QVERIFY(outsider.waitForFinished(5000));
    }
};

QTEST_GUILESS_MAIN(TestChildProcess)
#include "tst_childprocess.moc"
