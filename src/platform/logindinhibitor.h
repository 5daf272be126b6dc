#pragma once

#include "platform/inhibitor.h"

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>

#include <map>

// Inhibitor locks from systemd-logind's Manager on the given bus: each lock is a file
// descriptor that logind hands out and that holds the lock until it is closed (by us, or by
// the kernel when the program ends in any way). Its PrepareForSleep signal becomes
// prepareForSleep().
class LogindInhibitor : public Inhibitor
{
    Q_OBJECT

public:
    explicit LogindInhibitor(const QDBusConnection &bus, QObject *parent = nullptr);
    ~LogindInhibitor() override;

    bool hold(What what, const QString &reason) override;
    void releaseAll() override;
    bool holds(What what) const override;

private Q_SLOTS:
    void onPrepareForSleep(bool starting);

private:
    QDBusConnection m_bus;
    std::map<What, QDBusUnixFileDescriptor> m_locks;
};
