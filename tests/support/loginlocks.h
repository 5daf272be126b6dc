#pragma once

// The inhibitor locks the (mocked) login manager holds, as the tests that start a batch
// check them. Header only: the tests that use it link Qt DBus themselves.

#include "core/programversion.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>

namespace LoginLocks {

// Why a running batch keeps the machine from sleeping and the session from ending.
inline QString sleepReason()
{
    return QStringLiteral("TOLM Audio Converter  " TOLM_PROGRAM_VERSION " is running!\n\nNO Hiberate or Standby!");
}
inline QString shutdownReason()
{
    return QStringLiteral("TOLM Audio Converter  " TOLM_PROGRAM_VERSION " is running!\n\nNO Turning off!");
}

// The two locks a running batch holds, as held() lists them.
inline QStringList batch()
{
    return { QStringLiteral("shutdown|TOLM Audio Converter|") + shutdownReason() + QStringLiteral("|block"),
        QStringLiteral("sleep|TOLM Audio Converter|") + sleepReason() + QStringLiteral("|block") };
}

// Every lock the login manager on the bus lists, "what|who|why|mode", sorted; "error: ..."
// when it does not answer.
inline QStringList held(const QDBusConnection &bus)
{
    const QDBusMessage reply = bus.call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.login1"),
        QStringLiteral("/org/freedesktop/login1"), QStringLiteral("org.freedesktop.login1.Manager"),
        QStringLiteral("ListInhibitors")));
    if (reply.type() != QDBusMessage::ReplyMessage)
        return { QStringLiteral("error: ") + reply.errorMessage() };
    QStringList locks;
    const QDBusArgument list = reply.arguments().constFirst().value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
        QString what, who, why, mode;
        uint uid = 0, pid = 0;
        list.beginStructure();
        list >> what >> who >> why >> mode >> uid >> pid;
        list.endStructure();
        locks << what + u'|' + who + u'|' + why + u'|' + mode;
    }
    list.endArray();
    locks.sort();
    return locks;
}

} // namespace LoginLocks
