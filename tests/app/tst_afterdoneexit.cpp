// The real program under the real X server after "Turn Off", "Hibernate" and "Stand By", with
// a mocked logind on a private bus that this test starts and ends (never the machine's own
// buses, so nothing here can power off or suspend the machine): whether the request is
// granted or refused, the program ends through its normal shutdown (the destination history
// written), after the failure box where there is one, and the next start opens a window
// instead of handing its request to a copy nobody can see.

#include "dbusmock.h"
#include "testfiles.h"
#include "testmedia.h"
#include "testprocess.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;
using TestProcess::waitForLine;

namespace {

const QString kBus = u"after-done-bus"_s;

QString program()
{
    return QStringLiteral(TOLM_PROGRAM_DIR) + u"/tolm-audio-converter"_s;
}

bool runXdotool(const QStringList &arguments, QString *output = nullptr)
{
    QProcess tool;
    tool.start(u"xdotool"_s, arguments);
    if (!tool.waitForFinished(5000) || tool.exitCode() != 0)
        return false;
    if (output)
        *output = QString::fromUtf8(tool.readAllStandardOutput());
    return true;
}

// Shown X windows titled like the program (the main window and its plain message boxes).
QStringList programWindows()
{
    QString found;
    runXdotool({ u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"^TOLM Audio Converter$"_s }, &found);
    return found.split(u'\n', Qt::SkipEmptyParts);
}

// The one shown window titled like the program that is not the main window (795 by 562):
// a plain message box; empty while there is none, or more than one window.
QString messageBox()
{
    const QStringList windows = programWindows();
    if (windows.size() != 1)
        return {};
    QString geometry;
    if (!runXdotool({ u"getwindowgeometry"_s, windows.constFirst() }, &geometry) || geometry.contains(u"795x562"_s))
        return {};
    return windows.constFirst();
}

} // namespace

class TestAfterDoneExit : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_busAddress;
    QProcess m_bus;
    QProcess m_logind;
    QString m_tone;
    std::unique_ptr<QTemporaryDir> m_home;

    QProcessEnvironment environment(const QString &hooks) const
    {
        QProcessEnvironment env = TestProcess::programEnvironment(m_home->path(), hooks);
        // Both buses are this test's own: the power requests reach the mock only.
        env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, m_busAddress);
        env.insert(u"DBUS_SYSTEM_BUS_ADDRESS"_s, m_busAddress);
        return env;
    }
    static void end(QProcess &process)
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(10000))
            process.kill();
        process.waitForFinished();
    }
    QString historyPath() const
    {
        return m_home->filePath(u"Documents/TOLM/TOLM Audio Converter/profile/destination.ini"_s);
    }
    QString logindCalls() const { return QString::fromUtf8(TestFiles::read(m_root.filePath(u"logind.log"_s))); }

    // What the mocked logind does with the method: succeed, or refuse as logind does when the
    // machine cannot sleep that way.
    static bool setMethod(const QString &method, bool refuse)
    {
        QDBusMessage add = QDBusMessage::createMethodCall(
            u"org.freedesktop.login1"_s, u"/org/freedesktop/login1"_s, u"org.freedesktop.DBus.Mock"_s, u"AddMethod"_s);
        add << u"org.freedesktop.login1.Manager"_s << method << u"b"_s << QString()
            << (refuse ? u"raise dbus.exceptions.DBusException('Sleep verb not supported', "
                         u"name='org.freedesktop.login1.SleepVerbNotSupported')"_s
                       : QString());
        return QDBusConnection(kBus).call(add).type() == QDBusMessage::ReplyMessage;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs the X server the test script starts");
        QVERIFY(QFile::exists(program()));
        QVERIFY2(!QStandardPaths::findExecutable(u"xdotool"_s).isEmpty(), "xdotool is missing (scripts/setup-deps.sh)");
        m_tone = m_root.filePath(u"tone.wav"_s);
        QVERIFY(TestMedia::writeWav(
            m_tone, 22050, 1, 22050, [](qint64 frame, int) { return 0.3 * std::sin(double(frame) * 0.05); }));

        m_bus.start(u"dbus-daemon"_s, { u"--session"_s, u"--nofork"_s, u"--print-address=1"_s });
        QVERIFY(m_bus.waitForReadyRead(10000));
        m_busAddress = QString::fromUtf8(m_bus.readLine()).trimmed();
        QVERIFY(!m_busAddress.isEmpty());
        QDBusConnection bus = QDBusConnection::connectToBus(m_busAddress, kBus);
        QVERIFY(bus.isConnected());
        QVERIFY(DbusMock::start(
            m_logind, bus, m_busAddress, u"logind"_s, m_root.filePath(u"logind.log"_s), u"org.freedesktop.login1"_s));
    }

    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir().mkdir(m_home->filePath(u"run"_s)));
        QFile::setPermissions(m_home->filePath(u"run"_s), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void endsAndTheNextStartOpensAWindow_data()
    {
        QTest::addColumn<int>("action"); // the item of "After  Done :"
        QTest::addColumn<QString>("method"); // logind's
        QTest::addColumn<bool>("refuse");
        QTest::addColumn<QString>("message"); // the failure box, when there is one
        QTest::newRow("Stand By, suspended") << 4 << u"Suspend"_s << false << QString();
        QTest::newRow("Stand By, refused") << 4 << u"Suspend"_s << true << u"Can't  StandBy !"_s;
        QTest::newRow("Hibernate, refused") << 3 << u"Hibernate"_s << true << u"Can't  Hiberate !"_s;
        QTest::newRow("Turn Off, refused: no box") << 2 << u"PowerOff"_s << true << QString();
        QTest::newRow("Turn Off, powered off") << 2 << u"PowerOff"_s << false << QString();
    }
    void endsAndTheNextStartOpensAWindow()
    {
        QFETCH(int, action);
        QFETCH(QString, method);
        QFETCH(bool, refuse);
        QFETCH(QString, message);
        QVERIFY(setMethod(method, refuse));
        // The mock writes one line per call ("Suspend True"), and one more for a refusal.
        const QString call = method + u" True\n"_s;
        const qsizetype callsBefore = logindCalls().count(call);

        QProcess copy;
        copy.setProcessEnvironment(environment(u"report,start,after-done=%1"_s.arg(action)));
        copy.start(program(), { m_tone });
        QVERIFY(copy.waitForStarted());
        const auto stop = qScopeGuard([&copy] { end(copy); });
        QCOMPARE(waitForLine(copy, "ready"), u"ready"_s);
        // Written again by the shutdown, or the history is lost.
        QVERIFY(QFile::remove(historyPath()));
        QCOMPARE(waitForLine(copy, "queue-finished"), u"queue-finished abandoned=0"_s);
        if (!message.isEmpty()) {
            QCOMPARE(waitForLine(copy, "message"), u"message "_s + message);
            // The window was closed before the request: the one shown is the box. OK answers it.
            QString box;
            QTRY_VERIFY_WITH_TIMEOUT(!(box = messageBox()).isEmpty(), 10000);
            QVERIFY(runXdotool({ u"windowfocus"_s, u"--sync"_s, box }));
            QVERIFY(runXdotool({ u"key"_s, u"Return"_s }));
        }
        QCOMPARE(waitForLine(copy, "exit"), u"exit after-done"_s);
        QVERIFY(copy.waitForFinished(15000));
        QCOMPARE(copy.exitStatus(), QProcess::NormalExit);
        QCOMPARE(copy.exitCode(), 0);
        QVERIFY(QFile::exists(historyPath()));
        QTRY_COMPARE_WITH_TIMEOUT(logindCalls().count(call), callsBefore + 1, 5000);
        QVERIFY(QFile::exists(m_home->filePath(u"TOLM/tone.aac"_s)));

        // Nothing is left to take the next start's hand-over: it is a first copy with a window.
        QProcess next;
        next.setProcessEnvironment(environment(u"report"_s));
        next.start(program());
        QVERIFY(next.waitForStarted());
        const auto stopNext = qScopeGuard([&next] { end(next); });
        QCOMPARE(waitForLine(next, "ready", 15000), u"ready"_s);
        QTRY_COMPARE_WITH_TIMEOUT(programWindows().size(), 1, 10000);
    }

    void cleanupTestCase()
    {
        QDBusConnection::disconnectFromBus(kBus);
        for (QProcess *p : { &m_logind, &m_bus })
            end(*p);
    }
};

QTEST_GUILESS_MAIN(TestAfterDoneExit)
#include "tst_afterdoneexit.moc"
