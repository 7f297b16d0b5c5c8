#pragma once

#include <cstdint>

// Timing helpers used by every protocol. Everything runs on one thread: a
// long wait keeps handing control to the installed message pump so that the
// window stays responsive. Clock and pump are replaceable; tests install a
// VirtualClock, in which every wait advances time at once.

// The source of time: a monotonic millisecond counter and a plain sleep.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint32_t NowMs() = 0;
    virtual void SleepMs(unsigned ms) = 0;
};

// The message pump: what a long wait hands control to.
class MessagePump {
public:
    virtual ~MessagePump() = default;
    // Blocks until a message arrives for the thread or ms have passed.
    virtual void WaitForMessages(unsigned ms) = 0;
    // Removes and dispatches every pending message.
    virtual void DispatchMessages() = 0;
};

// The real monotonic clock.
class SystemClock : public Clock {
public:
    std::uint32_t NowMs() override;
    void SleepMs(unsigned ms) override;
};

// A clock that moves only when told, or when somebody sleeps on it.
class VirtualClock : public Clock {
public:
    explicit VirtualClock(std::uint32_t start = 0) : now_(start) {}
    std::uint32_t NowMs() override { return now_; }
    void SleepMs(unsigned ms) override { now_ += ms; }
    void Advance(unsigned ms) { now_ += ms; }

private:
    std::uint32_t now_;
};

// Installs a clock or pump; null restores the default (the system clock; a
// pump that sleeps and has nothing to dispatch). Returns the previous one.
Clock* SetClock(Clock* clock);
MessagePump* SetMessagePump(MessagePump* pump);
Clock& CurrentClock();
MessagePump& CurrentPump();

// Installs a clock or pump for the lifetime of a scope.
class ScopedClock {
public:
    explicit ScopedClock(Clock* clock) : previous_(SetClock(clock)) {}
    ~ScopedClock() { SetClock(previous_); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    Clock* previous_;
};

class ScopedPump {
public:
    explicit ScopedPump(MessagePump* pump) : previous_(SetMessagePump(pump)) {}
    ~ScopedPump() { SetMessagePump(previous_); }
    ScopedPump(const ScopedPump&) = delete;
    ScopedPump& operator=(const ScopedPump&) = delete;

private:
    MessagePump* previous_;
};

// Waits ms milliseconds. Below 170 ms a plain sleep; otherwise the pump's
// messages are dispatched while waiting. Always returns 0.
int PumpDelay(unsigned ms);

// Monotonic milliseconds, truncated to 32 bits (it wraps).
std::uint32_t MsTick();

// Seconds to add to UTC to get local time (east positive), daylight saving
// included.
int UtcOffsetSeconds();
