#pragma once
// Spins the event loop until a condition holds or a time-out passes.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include "qtprinters.h"

#include <functional>

constexpr int kWaitTimeoutMs = 10000;

inline bool waitFor(const std::function<bool()>& condition, int timeoutMs = kWaitTimeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        // Closed windows are deleted later; processEvents alone never gets to that.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::usleep(200);
    }
    return true;
}

// Keeps the event loop running for a while (for "nothing happens" checks).
inline void spinFor(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
}
