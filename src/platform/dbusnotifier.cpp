#include "platform/dbusnotifier.h"

#include "core/programtexts.h"

#include <QDBusError>
#include <QVariantMap>

using namespace Qt::StringLiterals;

namespace {

constexpr QStringView kService = u"org.freedesktop.Notifications";
constexpr QStringView kPath = u"/org/freedesktop/Notifications";
constexpr QStringView kInterface = u"org.freedesktop.Notifications";
// The action a click on the notification's body invokes, by the protocol's convention.
constexpr QStringView kDefaultAction = u"default";
constexpr QStringView kDesktopEntry = u"org.tolm.AudioConverter";
constexpr QStringView kIconName = u"org.tolm.AudioConverter";
constexpr int kDesktopDefaultTimeout = -1;

} // namespace

DBusNotifier::DBusNotifier(const QDBusConnection &bus, QObject *parent)
    : Notifier(parent)
    , m_bus(bus)
{
    m_bus.connect(kService.toString(), kPath.toString(), kInterface.toString(), u"ActionInvoked"_s, this,
        SLOT(onActionInvoked(uint, QString)));
}

void DBusNotifier::notify(const QString &summary, const QString &body)
{
    if (!m_bus.isConnected())
        return;
    QDBusMessage call
        = QDBusMessage::createMethodCall(kService.toString(), kPath.toString(), kInterface.toString(), u"Notify"_s);
    const QVariantMap hints { { u"desktop-entry"_s, kDesktopEntry.toString() } };
    call << kApplicationTitle.toString() << uint(0) << kIconName.toString() << summary << body
         << QStringList { kDefaultAction.toString(), kApplicationTitle.toString() } << hints << kDesktopDefaultTimeout;
    // No desktop may have the service at all, and none needs starting for us.
    call.setAutoStartService(false);
    m_bus.callWithCallback(call, this, SLOT(onReply(QDBusMessage)), SLOT(onError(QDBusError)));
}

void DBusNotifier::onReply(const QDBusMessage &reply)
{
    if (!reply.arguments().isEmpty())
        m_lastId = reply.arguments().constFirst().toUInt();
}

void DBusNotifier::onError(const QDBusError &)
{ }

void DBusNotifier::onActionInvoked(uint id, const QString &action)
{
    if (id != 0 && id == m_lastId && action == kDefaultAction)
        Q_EMIT activated();
}
