#pragma once
// Runs the connection state machine when it has something due (the search, the open delay and
// time-out) and whenever an event may have changed the device's presence: a device event, the
// port's hang-up, a failed order. While connected and nothing happens it does not wake at all.

#include "connection.h"

#include <QObject>
#include <QTimer>

#include <functional>

class TPresenceWatcher;

class TConnectionTimer : public QObject {
    Q_OBJECT
public:
    // Presence is looked at this often while connected when some root cannot be watched.
    static constexpr int kFallbackPollMs = 5;

    explicit TConnectionTimer(TConnectionMachine& machine, QObject* parent = nullptr);
    ~TConnectionTimer() override;

    // Device roots whose changes run the machine (TDeviceDiscovery::Roots()).
    void WatchRoots(const QStringList& roots);
    TPresenceWatcher& Presence() { return *FPresence; }
    // Monotonic milliseconds; replaced by tests.
    void SetClock(std::function<qint64()> clock) { FClock = std::move(clock); }

    void start();
    void stop();
    bool isActive() const { return FRunning; }
    // Milliseconds until the next run, -1 when it waits for an event only.
    int remainingTime() const { return FTimer.isActive() ? FTimer.remainingTime() : -1; }

    // Something happened that the machine should look at: runs it at the next turn of the event
    // loop.
    void Poke();

private:
    void run();
    void schedule();

    TConnectionMachine& FMachine;
    TPresenceWatcher* FPresence;
    QTimer FTimer;
    std::function<qint64()> FClock;
    bool FRunning = false;
    bool FInTick = false;
};
