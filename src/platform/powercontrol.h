#pragma once

#include <memory>

// Turning the computer off, hibernating it or putting it on stand-by after a batch.
// One interface, a real back-end (systemd-logind over D-Bus) and a recording fake, so no
// test can ever power off or suspend the machine.
class PowerControl
{
public:
    enum class Request { PowerOff, Hibernate, Suspend };

    virtual ~PowerControl() = default;

    // Asks for the change; false when it was refused or could not be asked.
    virtual bool request(Request request) = 0;
};

// The back-end for the running program.
std::unique_ptr<PowerControl> CreateSystemPowerControl();
