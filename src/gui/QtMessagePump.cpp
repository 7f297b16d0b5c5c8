#include "gui/QtMessagePump.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <climits>

void QtMessagePump::WaitForMessages(unsigned ms)
{
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher) {
        CurrentClock().SleepMs(ms);
        return;
    }
    // The timer is the event that ends the wait when nothing else comes.
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(static_cast<int>(ms > INT_MAX ? INT_MAX : ms));
    dispatcher->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void QtMessagePump::DispatchMessages()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}
