#pragma once

#include "platform/notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>

// Notifications through org.freedesktop.Notifications on the given bus. The call is sent
// without waiting; a missing service only produces an error reply, which is dropped.
class DBusNotifier : public Notifier
{
    Q_OBJECT

public:
    explicit DBusNotifier(const QDBusConnection &bus, QObject *parent = nullptr);

    void notify(const QString &summary, const QString &body) override;

private Q_SLOTS:
    void onReply(const QDBusMessage &reply);
    void onError(const QDBusError &error);
    void onActionInvoked(uint id, const QString &action);

private:
    QDBusConnection m_bus;
    uint m_lastId = 0;
};
