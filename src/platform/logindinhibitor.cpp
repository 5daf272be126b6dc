#include "platform/logindinhibitor.h"

#include "core/programtexts.h"

#include <QDBusArgument>
#include <QDBusMessage>

using namespace Qt::StringLiterals;

namespace {

constexpr QStringView kService = u"org.freedesktop.login1";
constexpr QStringView kPath = u"/org/freedesktop/login1";
constexpr QStringView kInterface = u"org.freedesktop.login1.Manager";
constexpr QStringView kBlockMode = u"block";
// A lock is asked for as the user presses Start; a logind that does not answer must not
// hold the window up for long.
constexpr int kCallTimeoutMs = 3000;

} // namespace

LogindInhibitor::LogindInhibitor(const QDBusConnection &bus, QObject *parent)
    : Inhibitor(parent)
    , m_bus(bus)
{
    m_bus.connect(kService.toString(), kPath.toString(), kInterface.toString(), u"PrepareForSleep"_s, this,
        SLOT(onPrepareForSleep(bool)));
}

LogindInhibitor::~LogindInhibitor()
{
    releaseAll();
}

bool LogindInhibitor::hold(What what, const QString &reason)
{
    m_errorText.clear();
    if (holds(what))
        return true;
    if (!m_bus.isConnected()) {
        m_errorText = u"no system bus: "_s + m_bus.lastError().message();
        return false;
    }
    QDBusMessage call
        = QDBusMessage::createMethodCall(kService.toString(), kPath.toString(), kInterface.toString(), u"Inhibit"_s);
    call << whatName(what) << kApplicationTitle.toString() << reason << kBlockMode.toString();
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        m_errorText = reply.errorName() + u": "_s + reply.errorMessage();
        return false;
    }
    const auto lock = qdbus_cast<QDBusUnixFileDescriptor>(reply.arguments().constFirst());
    if (!lock.isValid()) {
        m_errorText = u"logind gave no lock"_s;
        return false;
    }
    m_locks[what] = lock;
    return true;
}

void LogindInhibitor::releaseAll()
{
    // Closing our copy of the descriptor is what gives the lock back.
    m_locks.clear();
}

bool LogindInhibitor::holds(What what) const
{
    return m_locks.contains(what);
}

void LogindInhibitor::onPrepareForSleep(bool starting)
{
    if (starting)
        Q_EMIT prepareForSleep();
}
