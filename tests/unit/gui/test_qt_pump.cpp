#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include "gui/QtMessagePump.h"
#include "serial/Timing.h"

// A wait of the serial layer keeps the window alive: events that arrive
// during PumpDelay are dispatched before it returns.
TEST(QtMessagePump, PumpDelayDispatchesEventsThatArriveDuringTheWait)
{
    QtMessagePump pump;
    ScopedPump scoped(&pump);
    int fired = 0;
    QTimer::singleShot(0, [&] { ++fired; });
    QTimer::singleShot(50, [&] { ++fired; });
    PumpDelay(400);
    EXPECT_EQ(fired, 2);
}

TEST(QtMessagePump, DispatchRunsPendingQueuedCalls)
{
    QtMessagePump pump;
    bool ran = false;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { ran = true; }, Qt::QueuedConnection);
    EXPECT_FALSE(ran);
    pump.DispatchMessages();
    EXPECT_TRUE(ran);
}

// The wait ends with the first event, long before its time is up.
TEST(QtMessagePump, WaitEndsWithTheFirstEvent)
{
    QtMessagePump pump;
    bool fired = false;
    pump.DispatchMessages();
    QTimer::singleShot(10, [&] { fired = true; });
    for (int i = 0; i < 3 && !fired; ++i)
        pump.WaitForMessages(600000);
    EXPECT_TRUE(fired);
}
