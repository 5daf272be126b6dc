// After-done actions in their order, with a recording power service; and the logind
// back-end's calls against a mocked logind on a private bus (never the real system bus).

#include "engine/afterdone.h"
#include "platform/logindpowercontrol.h"
#include "platform/recordingpowercontrol.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

AfterDoneHooks recordingHooks(QStringList &steps, PowerControl &power)
{
    AfterDoneHooks hooks;
    hooks.openOutputFolder = [&steps] { steps << u"open-folder"_s; };
    hooks.closeMainWindow = [&steps] { steps << u"close"_s; };
    hooks.showMessage = [&steps](const QString &m) { steps << u"message:"_s + m; };
    hooks.endProgram = [&steps] { steps << u"end"_s; };
    hooks.power = &power;
    return hooks;
}

} // namespace

class TestAfterDone : public QObject
{
    Q_OBJECT

    QProcess m_bus;
    QProcess m_logind;
    QString m_busAddress;
    QTemporaryDir m_dir;

private Q_SLOTS:
    void order_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("refuse");
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("No Action") << 0 << false << QStringList();
        QTest::newRow("Browse Output") << 1 << false << QStringList { u"open-folder"_s };
        // The three power actions close the window and then end the program, answered or not,
        // after the failure box where there is one.
        QTest::newRow("Turn Off closes first") << 2 << false << QStringList { u"close"_s, u"power-off"_s, u"end"_s };
        QTest::newRow("Turn Off refused says nothing")
            << 2 << true << QStringList { u"close"_s, u"power-off"_s, u"end"_s };
        QTest::newRow("Hibernate") << 3 << false << QStringList { u"close"_s, u"hibernate"_s, u"end"_s };
        QTest::newRow("Hibernate refused")
            << 3 << true << QStringList { u"close"_s, u"hibernate"_s, u"message:Can't  Hiberate !"_s, u"end"_s };
        QTest::newRow("Stand By") << 4 << false << QStringList { u"close"_s, u"suspend"_s, u"end"_s };
        QTest::newRow("Stand By refused")
            << 4 << true << QStringList { u"close"_s, u"suspend"_s, u"message:Can't  StandBy !"_s, u"end"_s };
    }
    void order()
    {
        QFETCH(int, index);
        QFETCH(bool, refuse);
        QFETCH(QStringList, steps);
        RecordingPowerControl power;
        power.refuse = refuse;
        RunAfterDoneAction(index, recordingHooks(power.steps, power));
        QCOMPARE(power.steps, steps);
    }

    void startMockedLogind()
    {
        m_bus.start(u"dbus-daemon"_s, { u"--session"_s, u"--nofork"_s, u"--print-address=1"_s });
        QVERIFY(m_bus.waitForReadyRead(10000));
        m_busAddress = QString::fromUtf8(m_bus.readLine()).trimmed();
        QVERIFY(!m_busAddress.isEmpty());

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, m_busAddress);
        env.remove(u"DBUS_SYSTEM_BUS_ADDRESS"_s);
        m_logind.setProcessEnvironment(env);
        m_logind.start(u"/usr/bin/python3"_s,
            { u"-m"_s, u"dbusmock"_s, u"--session"_s, u"--template"_s, u"logind"_s, u"-l"_s,
                m_dir.filePath(u"logind.log"_s) });
        QVERIFY(m_logind.waitForStarted());

        QDBusConnection bus = QDBusConnection::connectToBus(m_busAddress, u"mock"_s);
        QVERIFY(bus.isConnected());
        QTRY_VERIFY_WITH_TIMEOUT(bus.interface()->isServiceRegistered(u"org.freedesktop.login1"_s), 15000);
    }

    void logindReceivesTheRequests()
    {
        QDBusConnection bus(u"mock"_s);
        LogindPowerControl power(bus);
        QVERIFY(power.request(PowerControl::Request::PowerOff));
        QVERIFY(power.request(PowerControl::Request::Suspend));
        QVERIFY(power.request(PowerControl::Request::Hibernate));
        const auto calls = [this] {
            QFile log(m_dir.filePath(u"logind.log"_s));
            return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
        };
        QTRY_VERIFY_WITH_TIMEOUT(calls().contains(u"Hibernate"_s), 5000);
        QVERIFY2(calls().contains(u"PowerOff True"_s) && calls().contains(u"Suspend True"_s), qPrintable(calls()));
    }

    void refusedHibernateIsReported()
    {
        QDBusConnection bus(u"mock"_s);
        QDBusMessage refuse = QDBusMessage::createMethodCall(
            u"org.freedesktop.login1"_s, u"/org/freedesktop/login1"_s, u"org.freedesktop.DBus.Mock"_s, u"AddMethod"_s);
        refuse << u"org.freedesktop.login1.Manager"_s << u"Hibernate"_s << u"b"_s << QString()
               << u"raise dbus.exceptions.DBusException('Sleep verb not supported', "
                  u"name='org.freedesktop.login1.SleepVerbNotSupported')"_s;
        const QDBusMessage added = bus.call(refuse);
        QVERIFY2(added.type() != QDBusMessage::ErrorMessage, qPrintable(added.errorMessage()));

        LogindPowerControl power(bus);
        QStringList steps;
        RunAfterDoneAction(int(AfterDoneAction::Hibernate), recordingHooks(steps, power));
        QCOMPARE(steps, QStringList({ u"close"_s, u"message:Can't  Hiberate !"_s, u"end"_s }));
        QVERIFY(power.lastError().contains(u"SleepVerbNotSupported"_s));
    }

    void cleanupTestCase()
    {
        QDBusConnection::disconnectFromBus(u"mock"_s);
        for (QProcess *p : { &m_logind, &m_bus }) {
            p->terminate();
            if (!p->waitForFinished(5000))
                p->kill();
        }
    }
};

QTEST_GUILESS_MAIN(TestAfterDone)
#include "tst_afterdone.moc"
