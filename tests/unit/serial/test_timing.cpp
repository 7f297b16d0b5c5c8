#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "serial/Timing.h"
#include "support/ScopedTz.h"

namespace {

// A pump that records how it was used; its waits take time on the clock.
class RecordingPump : public MessagePump {
public:
    void WaitForMessages(unsigned ms) override
    {
        ++waits;
        lastWait = ms;
        CurrentClock().SleepMs(ms > step ? step : ms);
    }
    void DispatchMessages() override { ++dispatches; }

    unsigned step = 1000000;
    int waits = 0;
    int dispatches = 0;
    unsigned lastWait = 0;
};

}  // namespace

TEST(PumpDelay, ShortWaitsSleepWithoutPumping)
{
    VirtualClock clock(1000);
    RecordingPump pump;
    ScopedClock useClock(&clock);
    ScopedPump usePump(&pump);
    EXPECT_EQ(PumpDelay(100), 0);
    EXPECT_EQ(PumpDelay(169), 0);
    EXPECT_EQ(clock.NowMs(), 1269u);
    EXPECT_EQ(pump.waits, 0);
    EXPECT_EQ(pump.dispatches, 0);
}

TEST(PumpDelay, LongWaitsHandControlToThePumpUntilTimeIsUp)
{
    VirtualClock clock(5000);
    RecordingPump pump;
    pump.step = 60;  // messages keep arriving every 60 ms
    ScopedClock useClock(&clock);
    ScopedPump usePump(&pump);
    EXPECT_EQ(PumpDelay(170), 0);
    EXPECT_EQ(clock.NowMs(), 5170u);  // waits of 60, 60 and the 50 ms left
    EXPECT_EQ(pump.waits, 3);
    EXPECT_EQ(pump.dispatches, 2);
    EXPECT_EQ(pump.lastWait, 50u);  // 170 - 120 ms left for the last wait
}

TEST(PumpDelay, QuietPumpWaitsOnce)
{
    VirtualClock clock;
    RecordingPump pump;
    ScopedClock useClock(&clock);
    ScopedPump usePump(&pump);
    PumpDelay(2500);
    EXPECT_EQ(pump.waits, 1);
    EXPECT_EQ(pump.dispatches, 0);
    EXPECT_EQ(clock.NowMs(), 2500u);
}

TEST(PumpDelay, SurvivesTheCounterWrapping)
{
    VirtualClock clock(0xFFFFFFFFu - 100);
    RecordingPump pump;
    pump.step = 80;
    ScopedClock useClock(&clock);
    ScopedPump usePump(&pump);
    PumpDelay(400);
    // Once the counter wraps the wait starts over from the wrapped value, as
    // the tick-based original did; it never ends early.
    EXPECT_GE(pump.waits, 5);
}

TEST(PumpDelay, RealTimeWaitsPumpOnlyAtOrAbove170Ms)
{
    RecordingPump pump;
    ScopedPump usePump(&pump);
    const std::uint32_t start = MsTick();
    PumpDelay(50);
    const std::uint32_t afterShort = MsTick();
    EXPECT_GE(afterShort - start, 50u);
    EXPECT_EQ(pump.waits, 0);
    PumpDelay(200);
    EXPECT_GE(MsTick() - afterShort, 200u);
    EXPECT_GE(pump.waits, 1);
}

TEST(MsTick, IsMonotonic)
{
    const std::uint32_t a = MsTick();
    const std::uint32_t b = MsTick();
    EXPECT_GE(b - a, 0u);
    EXPECT_LT(b - a, 1000u);
}

TEST(UtcOffsetSeconds, FollowsZoneAndDaylightSaving)
{
    {
        ScopedTz tz("UTC0");
        EXPECT_EQ(UtcOffsetSeconds(), 0);
    }
    {
        ScopedTz tz("EST5");  // five hours behind, no daylight saving
        EXPECT_EQ(UtcOffsetSeconds(), -5 * 3600);
    }
    {
        // One hour east of UTC with daylight saving in force all year round.
        ScopedTz tz("XST-1XDT,0/0,J365/25");
        EXPECT_EQ(UtcOffsetSeconds(), 7200);
    }
    {
        ScopedTz tz("IST-5:30");
        EXPECT_EQ(UtcOffsetSeconds(), 5 * 3600 + 1800);
    }
}
