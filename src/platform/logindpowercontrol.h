#pragma once

#include "platform/powercontrol.h"

#include <QDBusConnection>
#include <QString>

// Power requests through systemd-logind's Manager interface on the given bus.
class LogindPowerControl : public PowerControl
{
public:
    explicit LogindPowerControl(const QDBusConnection &bus);

    bool request(Request request) override;

    // The D-Bus error of the last refused request, for the log.
    QString lastError() const { return m_lastError; }

private:
    QDBusConnection m_bus;
    QString m_lastError;
};
