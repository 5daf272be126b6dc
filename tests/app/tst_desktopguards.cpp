// The real program under the real X server, with a mocked logind and a mocked notification
// service on a private bus that this test starts and ends (never the machine's own buses):
// the sleep and shutdown locks of a batch, given back at its end, when its transcoder is
// killed and when the program is sent a termination signal; a refused lock; files opened
// with a running copy; the notification at the end of an unseen batch.

#include "dbusmock.h"
#include "loginlocks.h"
#include "testfiles.h"
#include "testmedia.h"
#include "testprocess.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <csignal>

using namespace Qt::StringLiterals;

namespace {

const QString kBus = u"guards-bus"_s;

QString program()
{
    return QStringLiteral(TOLM_PROGRAM_DIR) + u"/tolm-audio-converter"_s;
}

// Gone, or a zombie nobody has reaped yet: either way it converts nothing more.
bool processGone(qint64 pid)
{
    const QByteArray stat = TestFiles::read(u"/proc/%1/stat"_s.arg(pid));
    if (stat.isEmpty())
        return true;
    const qsizetype close = stat.lastIndexOf(')');
    return close > 0 && stat.mid(close + 2, 1) == "Z";
}

} // namespace

class TestDesktopGuards : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_busAddress;
    QProcess m_bus;
    QProcess m_logind;
    QProcess m_notifications;
    QString m_long;
    QString m_short;
    std::unique_ptr<QTemporaryDir> m_home;

    QProcessEnvironment environment(const QString &hooks, const QString &systemBus) const
    {
        QProcessEnvironment env = TestProcess::programEnvironment(m_home->path(), hooks);
        env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, m_busAddress);
        env.insert(u"DBUS_SYSTEM_BUS_ADDRESS"_s, systemBus);
        return env;
    }
    void start(QProcess &copy, const QString &hooks, const QStringList &files, const QString &systemBus = {})
    {
        copy.setProcessEnvironment(environment(hooks, systemBus.isEmpty() ? m_busAddress : systemBus));
        copy.start(program(), files);
        QVERIFY(copy.waitForStarted());
    }
    static void end(QProcess &copy)
    {
        if (copy.state() == QProcess::NotRunning)
            return;
        copy.terminate();
        if (!copy.waitForFinished(10000))
            copy.kill();
        copy.waitForFinished();
    }
    QString outputFolder() const { return m_home->filePath(u"TOLM"_s); }
    QString historyPath() const
    {
        return m_home->filePath(u"Documents/TOLM/TOLM Audio Converter/profile/destination.ini"_s);
    }
    QString mockLog(const QString &name) const
    {
        return QString::fromUtf8(TestFiles::read(m_root.filePath(name + u".log"_s)));
    }
    bool startMock(QProcess &mock, const QString &templateName, const QString &service)
    {
        return DbusMock::start(mock, QDBusConnection(kBus), m_busAddress, templateName,
            m_root.filePath(templateName + u".log"_s), service);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs the X server the test script starts");
        QVERIFY(QFile::exists(program()));
        // Three minutes of a tone, to be cut in the middle; and three seconds.
        m_long = m_root.filePath(u"long tone.wav"_s);
        m_short = m_root.filePath(u"short tone.wav"_s);
        const auto tone = [](qint64 frame, int) { return 0.3 * std::sin(double(frame) * 0.05); };
        QVERIFY(TestMedia::writeWav(m_long, 22050, 1, 22050 * 180, tone));
        QVERIFY(TestMedia::writeWav(m_short, 22050, 1, 22050 * 3, tone));

        m_bus.start(u"dbus-daemon"_s, { u"--session"_s, u"--nofork"_s, u"--print-address=1"_s });
        QVERIFY(m_bus.waitForReadyRead(10000));
        m_busAddress = QString::fromUtf8(m_bus.readLine()).trimmed();
        QVERIFY(QDBusConnection::connectToBus(m_busAddress, kBus).isConnected());
        QVERIFY(startMock(m_notifications, u"notification_daemon"_s, u"org.freedesktop.Notifications"_s));
    }

    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir().mkdir(m_home->filePath(u"run"_s)));
        QFile::setPermissions(m_home->filePath(u"run"_s), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // Runs before logind is on the bus: the lock is refused, the batch converts regardless.
    void refusedLockIsLoggedAndTheBatchConverts()
    {
        QProcess copy;
        start(copy, u"report,start"_s, { m_short });
        const auto stop = qScopeGuard([&copy] { end(copy); });
        QCOMPARE(TestProcess::waitForLine(copy, "row-ended"), u"row-ended 0 100%"_s);
        QCOMPARE(TestProcess::waitForLine(copy, "queue-finished"), u"queue-finished abandoned=0"_s);
        const QString errors = QString::fromUtf8(copy.readAllStandardError());
        QVERIFY2(errors.contains(u"The system may sleep during this conversion: the lock was refused"_s),
            qPrintable(errors));
        QVERIFY(QFile::exists(outputFolder() + u"/short tone.aac"_s));
    }

    void startLogind() { QVERIFY(startMock(m_logind, u"logind"_s, u"org.freedesktop.login1"_s)); }

    void locksLastTheBatchAndTheNotificationCounts()
    {
        QProcess copy;
        start(copy, u"report,start,start-minimized"_s, { m_long, m_short });
        const auto stop = qScopeGuard([&copy] { end(copy); });
        QVERIFY(TestProcess::waitForLine(copy, "row-started 0").startsWith(u"row-started 0 "_s));
        QCOMPARE(LoginLocks::held(QDBusConnection(kBus)), LoginLocks::batch());
        QCOMPARE(TestProcess::waitForLine(copy, "queue-finished"), u"queue-finished abandoned=0"_s);
        QTRY_COMPARE_WITH_TIMEOUT(LoginLocks::held(QDBusConnection(kBus)), QStringList(), 5000);
        QCOMPARE(copy.state(), QProcess::Running);

        QTRY_VERIFY_WITH_TIMEOUT(mockLog(u"notification_daemon"_s).contains(u"2 converted, 0 failed"_s), 5000);
        QVERIFY(mockLog(u"notification_daemon"_s).contains(u"\"Conversion finished\""_s));
        // The mock numbers notifications 1, 2, ... in the order they came, earlier tests' included.
        const uint id = uint(mockLog(u"notification_daemon"_s).count(u" Notify "_s));
        QDBusMessage click = QDBusMessage::createMethodCall(u"org.freedesktop.Notifications"_s,
            u"/org/freedesktop/Notifications"_s, u"org.freedesktop.DBus.Mock"_s, u"EmitSignal"_s);
        click << u"org.freedesktop.Notifications"_s << u"ActionInvoked"_s << u"us"_s
              << QVariantList { QVariant::fromValue(QDBusVariant(id)),
                     QVariant::fromValue(QDBusVariant(u"default"_s)) };
        QCOMPARE(QDBusConnection(kBus).call(click).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(TestProcess::waitForLine(copy, "notification-clicked"), u"notification-clicked minimized=0"_s);
    }

    void killedTranscoderGivesTheLocksBack()
    {
        QProcess copy;
        start(copy, u"report,start"_s, { m_long });
        const auto stop = qScopeGuard([&copy] { end(copy); });
        const QString started = TestProcess::waitForLine(copy, "row-started 0");
        const qint64 transcoder = started.section(u' ', 2).toLongLong();
        QVERIFY2(transcoder > 0, qPrintable(started));
        QCOMPARE(LoginLocks::held(QDBusConnection(kBus)), LoginLocks::batch());
        // The transcoder this test had the program start dies without a word.
        QCOMPARE(::kill(pid_t(transcoder), SIGKILL), 0);
        QCOMPARE(TestProcess::waitForLine(copy, "row-ended"), u"row-ended 0  -  -  -"_s);
        QCOMPARE(TestProcess::waitForLine(copy, "queue-finished"), u"queue-finished abandoned=0"_s);
        QTRY_COMPARE_WITH_TIMEOUT(LoginLocks::held(QDBusConnection(kBus)), QStringList(), 5000);
        QCOMPARE(copy.state(), QProcess::Running);
        QVERIFY(!QFile::exists(outputFolder() + u"/long tone.aac"_s));
    }

    void terminationSignalEndsThroughTheNormalShutdown_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void terminationSignalEndsThroughTheNormalShutdown()
    {
        QFETCH(int, signalNumber);
        QProcess copy;
        start(copy, u"report,start"_s, { m_long });
        const auto stop = qScopeGuard([&copy] { end(copy); });
        const qint64 transcoder = TestProcess::waitForLine(copy, "row-started 0").section(u' ', 2).toLongLong();
        QVERIFY(transcoder > 0);
        QCOMPARE(LoginLocks::held(QDBusConnection(kBus)), LoginLocks::batch());
        QVERIFY(QFile::remove(historyPath()));
        QCOMPARE(::kill(pid_t(copy.processId()), signalNumber), 0);
        QCOMPARE(TestProcess::waitForLine(copy, "signal"), u"signal %1"_s.arg(signalNumber));
        QCOMPARE(TestProcess::waitForLine(copy, "queue-finished"), u"queue-finished abandoned=1"_s);
        QVERIFY(copy.waitForFinished(15000));
        QCOMPARE(copy.exitStatus(), QProcess::NormalExit);
        QCOMPARE(copy.exitCode(), 0);
        QVERIFY(processGone(transcoder));
        QCOMPARE(QDir(outputFolder()).entryList(QDir::Files | QDir::Hidden), QStringList());
        QVERIFY(QFile::exists(historyPath()));
        QTRY_COMPARE_WITH_TIMEOUT(LoginLocks::held(QDBusConnection(kBus)), QStringList(), 5000);
    }

    void filesOpenedWithARunningCopyJoinIt()
    {
        QProcess first;
        start(first, u"report,start"_s, { m_long });
        const auto stop = qScopeGuard([&first] { end(first); });
        QVERIFY(!TestProcess::waitForLine(first, "row-started 0").isEmpty());

        QProcess second;
        start(second, u"report"_s, { m_short, u"file://"_s + m_root.filePath(u"short%20tone.wav"_s) });
        QVERIFY(second.waitForFinished(15000));
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(second.readAllStandardOutput()).trimmed(), u"second-copy restore-sent windows=0"_s);
        // The window comes to the front at once; the files join it once their probes have ended.
        QVERIFY(TestProcess::waitForLine(first, "restore").startsWith(u"restore was-minimized=0 minimized=0"_s));
        QCOMPARE(TestProcess::waitForLine(first, "files-opened"), u"files-opened 2 rows=3"_s);
        // Added while the batch runs, they wait for the next Start.
        QCOMPARE(TestProcess::waitForLine(first, "queue-finished"), u"queue-finished abandoned=0"_s);
        QVERIFY(QFile::exists(outputFolder() + u"/long tone.aac"_s));
        QVERIFY(!QFile::exists(outputFolder() + u"/short tone.aac"_s));
    }

    void cleanupTestCase()
    {
        QDBusConnection::disconnectFromBus(kBus);
        for (QProcess *p : { &m_notifications, &m_logind, &m_bus })
            end(*p);
    }
};

QTEST_GUILESS_MAIN(TestDesktopGuards)
#include "tst_desktopguards.moc"
