#include "platform/powercontrol.h"

#include "platform/logindpowercontrol.h"

#include <QDBusConnection>

std::unique_ptr<PowerControl> CreateSystemPowerControl()
{
    return std::make_unique<LogindPowerControl>(QDBusConnection::systemBus());
}
