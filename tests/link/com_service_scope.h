#pragma once

#include "com_port.h"
#include "messages.h"
#include "serial_device.h"

// The serial service for as long as the scope lives, every wait going to `sleeper`; a
// device factory a test installed is dropped with it. A failed check that leaves a test
// early leaves no service running behind it.
class ComServiceScope {
public:
    explicit ComServiceScope(Sleeper &sleeper)
    {
        set_default_sleeper(&sleeper);
        com_service_start();
    }
    ~ComServiceScope()
    {
        com_service_stop();
        com_set_device_factory(nullptr);
        set_default_sleeper(nullptr);
    }
    ComServiceScope(const ComServiceScope &) = delete;
    ComServiceScope &operator=(const ComServiceScope &) = delete;
};
