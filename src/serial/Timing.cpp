#include "serial/Timing.h"

#include <ctime>
#include <time.h>

namespace {

// Without a window there is nothing to dispatch: waiting is sleeping.
class SleepingPump : public MessagePump {
public:
    void WaitForMessages(unsigned ms) override { CurrentClock().SleepMs(ms); }
    void DispatchMessages() override {}
};

SystemClock gSystemClock;
SleepingPump gSleepingPump;
Clock* gClock = &gSystemClock;
MessagePump* gPump = &gSleepingPump;

}  // namespace

std::uint32_t SystemClock::NowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const std::uint64_t ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                             static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

void SystemClock::SleepMs(unsigned ms)
{
    timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0) {
    }
}

Clock* SetClock(Clock* clock)
{
    Clock* previous = gClock;
    gClock = clock ? clock : &gSystemClock;
    return previous;
}

MessagePump* SetMessagePump(MessagePump* pump)
{
    MessagePump* previous = gPump;
    gPump = pump ? pump : &gSleepingPump;
    return previous;
}

Clock& CurrentClock() { return *gClock; }
MessagePump& CurrentPump() { return *gPump; }

std::uint32_t MsTick() { return gClock->NowMs(); }

int PumpDelay(unsigned ms)
{
    if (ms < 170) {
        gClock->SleepMs(ms);
        return 0;
    }
    std::uint32_t start = MsTick();
    unsigned remaining = ms;
    for (;;) {
        gPump->WaitForMessages(remaining);
        const std::uint32_t now = MsTick();
        if (now < start) start = now;  // the counter wrapped
        const std::uint32_t elapsed = now - start;
        if (elapsed >= ms) return 0;
        remaining = ms - elapsed;
        gPump->DispatchMessages();
    }
}

int UtcOffsetSeconds()
{
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    std::tm utc{};
    gmtime_r(&t, &utc);
    // Converting the UTC broken-down time back as if it were local time, with
    // daylight saving taken as off, gives t minus the standard offset; the
    // daylight hour is added separately.
    utc.tm_isdst = 0;
    const std::time_t g = std::mktime(&utc);
    const int d = local.tm_isdst > 0 ? 3600 : 0;
    return static_cast<int>(t + d - g);
}
