#pragma once

#include "serial/Timing.h"

// The message pump of the window: long waits (PumpDelay, the serial waits,
// the progress callback) keep the window alive through it. Install it with
// ScopedPump once the QApplication exists.
class QtMessagePump : public MessagePump {
public:
    // Waits until at least one event has arrived or ms have passed, and
    // dispatches what arrived.
    void WaitForMessages(unsigned ms) override;
    // Dispatches every pending event.
    void DispatchMessages() override;
};
