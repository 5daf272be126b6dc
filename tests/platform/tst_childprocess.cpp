#include "platform/childprocess.h"

#include <QElapsedTimer>
#include <QProcess>
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
        QVERIFY(child.waitForFinished(10000));
        const QString text = child.readPipeText();
        QCOMPARE(text.size(), 300004);
        QVERIFY(child.isDrained());
    }

    // A negative time (QProcess's "for ever") never makes a wait unbounded, even for a
    // child that ignores the polite request to end.
    void everyWaitHasItsLimit_data()
    {
        QTest::addColumn<QString>("call");
        QTest::newRow("waitForFinished(-1)") << u"wait"_s;
        QTest::newRow("end(-1)") << u"end"_s;
    }
    void everyWaitHasItsLimit()
    {
        QFETCH(QString, call);
        ChildProcess child;
        QVERIFY(child.start(bash(u"trap '' TERM; echo ready; exec sleep 20"_s)));
        QVERIFY(readUntil(child, u"ready"_s).contains(u"ready"_s));
        QElapsedTimer clock;
        clock.start();
        if (call == u"wait")
            QVERIFY(!child.waitForFinished(-1));
        else
            child.end(-1);
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        child.end(); // forced after its grace: the child ignores SIGTERM
        QTRY_VERIFY_WITH_TIMEOUT(!child.isRunning(), 5000);
    }

    void argumentsReachTheChildIntact()
    {
        const QString odd = u"-i \"quoted\" 'single' $HOME `x` ; # ?*"_s;
        ChildProcess child;
        QVERIFY(child.start(bash(u"printf '%s|' \"$@\""_s, { odd, QString(), u"two words"_s })));
        QVERIFY(child.waitForFinished(5000));
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
        QVERIFY(!first.isRunning());
        QVERIFY(!second.isRunning());
        QVERIFY(other.isRunning());
        QCOMPARE(outsider.state(), QProcess::Running);

        other.end();
        outsider.terminate();
        QVERIFY(outsider.waitForFinished(5000));
    }
};

QTEST_GUILESS_MAIN(TestChildProcess)
#include "tst_childprocess.moc"
