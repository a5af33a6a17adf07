#include "connectiontimer.h"

#include "presencewatcher.h"

#include <QElapsedTimer>
#include <QPointer>

#include <algorithm>

namespace {

qint64 monotonicMs()
{
    static const QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

}  // namespace

TConnectionTimer::TConnectionTimer(TConnectionMachine& machine, QObject* parent)
    : QObject(parent)
    , FMachine(machine)
    , FPresence(new TPresenceWatcher(this))
    , FClock(monotonicMs)
{
    FTimer.setSingleShot(true);
    // The open delay and time-out are steps of the machine's own; a coarse timer would stretch them.
    FTimer.setTimerType(Qt::PreciseTimer);
    connect(&FTimer, &QTimer::timeout, this, &TConnectionTimer::run);
    connect(FPresence, &TPresenceWatcher::PresenceChanged, this, &TConnectionTimer::Poke);
    // The machine may outlive the timer (a window's members go before its child objects) and
    // the other way round; neither reaches into the other when it goes.
    FMachine.SetScheduleChanged([self = QPointer<TConnectionTimer>(this)] {
        if (self && !self->FInTick)
            self->schedule();
    });
}

TConnectionTimer::~TConnectionTimer() = default;

void TConnectionTimer::WatchRoots(const QStringList& roots)
{
    FPresence->Watch(roots);
}

void TConnectionTimer::start()
{
    FRunning = true;
    schedule();
}

void TConnectionTimer::stop()
{
    FRunning = false;
    FTimer.stop();
}

void TConnectionTimer::Poke()
{
    if (FRunning)
        FTimer.start(0);
}

void TConnectionTimer::run()
{
    if (!FRunning)
        return;
    FInTick = true;
    FMachine.tick(FClock());
    FInTick = false;
    schedule();
}

void TConnectionTimer::schedule()
{
    if (!FRunning)
        return;
    const qint64 now = FClock();
    qint64 due = FMachine.NextDueMs(now);
    if (FMachine.State() == TConnectionMachine::csConnected && !FPresence->Complete())
        due = std::min(due, now + kFallbackPollMs);
    if (due == TConnectionMachine::kNothingDue) {
        FTimer.stop();
        return;
    }
    FTimer.start(int(std::clamp<qint64>(due - now, 0, std::numeric_limits<int>::max())));
}
