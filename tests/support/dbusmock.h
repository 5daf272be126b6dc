#pragma once

// A python-dbusmock template (a login manager, a notification daemon) on a session bus of the
// test's own. Header only: the tests that use it link Qt DBus themselves.

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

namespace DbusMock {

// Starts the template on the bus at busAddress (bus: a connection to it), logging its calls to
// logPath, and waits until it has taken its service name, at most 15 s. False when it never did.
inline bool start(QProcess &mock, const QDBusConnection &bus, const QString &busAddress, const QString &templateName,
    const QString &logPath, const QString &service)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
    mock.setProcessEnvironment(env);
    mock.start(QStringLiteral("/usr/bin/python3"),
        { QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--session"), QStringLiteral("--template"),
            templateName, QStringLiteral("-l"), logPath });
    if (!mock.waitForStarted())
        return false;
    QElapsedTimer timer;
    timer.start();
    while (!bus.interface()->isServiceRegistered(service) && timer.elapsed() < 15000)
        QTest::qWait(50);
    return bus.interface()->isServiceRegistered(service);
}

} // namespace DbusMock
