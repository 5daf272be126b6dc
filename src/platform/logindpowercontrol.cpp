#include "platform/logindpowercontrol.h"

#include <QDBusMessage>

using namespace Qt::StringLiterals;

namespace {

constexpr QStringView kService = u"org.freedesktop.login1";
constexpr QStringView kPath = u"/org/freedesktop/login1";
constexpr QStringView kInterface = u"org.freedesktop.login1.Manager";
constexpr int kCallTimeoutMs = 25000; // polkit may ask the user first

QString methodFor(PowerControl::Request request)
{
    switch (request) {
    case PowerControl::Request::PowerOff:
        return u"PowerOff"_s;
    case PowerControl::Request::Hibernate:
        return u"Hibernate"_s;
    case PowerControl::Request::Suspend:
        return u"Suspend"_s;
    }
    return {};
}

} // namespace

LogindPowerControl::LogindPowerControl(const QDBusConnection &bus)
    : m_bus(bus)
{ }

bool LogindPowerControl::request(Request request)
{
    m_lastError.clear();
    QDBusMessage call = QDBusMessage::createMethodCall(
        kService.toString(), kPath.toString(), kInterface.toString(), methodFor(request));
    call << true; // interactive: let polkit ask for a password where the policy wants one
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        m_lastError = reply.errorName() + u": "_s + reply.errorMessage();
        return false;
    }
    return true;
}
