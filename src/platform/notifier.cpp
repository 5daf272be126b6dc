#include "platform/notifier.h"

#include "platform/dbusnotifier.h"

#include <QDBusConnection>

Notifier::Notifier(QObject *parent)
    : QObject(parent)
{ }

Notifier::~Notifier() = default;

void Notifier::notify(const QString &, const QString &)
{ }

std::unique_ptr<Notifier> CreateDesktopNotifier()
{
    return std::make_unique<DBusNotifier>(QDBusConnection::sessionBus());
}
