#pragma once

#include "platform/powercontrol.h"

#include <QStringList>

// Test back-end: records each step ("power-off", "hibernate", "suspend")
// instead of touching the machine, and refuses when told to.
class RecordingPowerControl final : public PowerControl
{
public:
    bool request(Request request) override
    {
        steps << (request == Request::PowerOff  ? QStringLiteral("power-off")
                : request == Request::Hibernate ? QStringLiteral("hibernate")
                                                : QStringLiteral("suspend"));
        return !refuse;
    }

    QStringList steps;
    bool refuse = false;
};
