#include "uiinvoker.h"

#include <QSocketNotifier>
#include <QThread>

#include <cstdint>
#include <exception>
#include <thread>

#include <sys/eventfd.h>
#include <unistd.h>

struct TUiInvoker::Task {
    std::function<void()> work;
    bool done = false;
    bool abandoned = false;
    std::exception_ptr error;
};

TUiInvoker::TUiInvoker(QObject* parent)
    : QObject(parent)
{
    FEventFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    FNotifier = new QSocketNotifier(FEventFd, QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, &TUiInvoker::Drain);
}

TUiInvoker::~TUiInvoker()
{
    Cancel();
    delete FNotifier;
    if (FEventFd >= 0)
        ::close(FEventFd);
}

TUiInvoker::TTicket TUiInvoker::Post(std::function<void()> f)
{
    auto task = std::make_shared<Task>();
    task->work = std::move(f);
    if (QThread::currentThread() == thread()) {
        try {
            task->work();
        } catch (...) {
            task->error = std::current_exception();
        }
        task->done = true;
        return task;
    }
    std::lock_guard guard(FLock);
    if (FCancelled) {
        task->abandoned = true;
        return task;
    }
    // A non-empty queue has its wake-up pending already, or Drain is still looping over it.
    const bool wake = FTasks.empty();
    FTasks.push_back(task);
    FHasTasks.store(true, std::memory_order_release);
    if (wake) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(FEventFd, &one, sizeof one);
    }
    return task;
}

bool TUiInvoker::Done(const TTicket& ticket)
{
    std::lock_guard guard(FLock);
    return ticket->done;
}

bool TUiInvoker::Wait(const TTicket& ticket, const std::atomic<bool>& stop)
{
    std::unique_lock guard(FLock);
    FDone.wait(guard, [&] { return ticket->done || ticket->abandoned || FCancelled || stop.load(); });
    if (!ticket->done) {
        ticket->abandoned = true;
        return false;
    }
    if (ticket->error)
        std::rethrow_exception(ticket->error);
    return true;
}

void TUiInvoker::Cancel()
{
    {
        std::lock_guard guard(FLock);
        FCancelled = true;
    }
    FDone.notify_all();
}

void TUiInvoker::ExpectTask(std::chrono::microseconds maxWait)
{
    if (QThread::currentThread() != thread() || FAwaitQueued)
        return;
    FAwaitQueued = true;
    // Queued, so that the task runs from the event loop and not inside the caller's handler.
    QMetaObject::invokeMethod(this, [this, maxWait] { AwaitTask(maxWait); }, Qt::QueuedConnection);
}

void TUiInvoker::AwaitTask(std::chrono::microseconds maxWait)
{
    FAwaitQueued = false;
    const auto until = std::chrono::steady_clock::now() + maxWait;
    while (!FHasTasks.load(std::memory_order_acquire)) {
        if (std::chrono::steady_clock::now() >= until)
            return;  // the eventfd still wakes the thread when the task comes
        // Gives the core away when another thread (perhaps the worker itself) waits for it.
        std::this_thread::yield();
    }
    Drain();
}

void TUiInvoker::Drain()
{
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(FEventFd, &count, sizeof count);
    std::unique_lock guard(FLock);
    while (!FTasks.empty()) {
        TTicket task = FTasks.front();
        FTasks.pop_front();
        if (task->abandoned || FCancelled)
            continue;
        guard.unlock();
        std::exception_ptr error;
        try {
            task->work();
        } catch (...) {
            error = std::current_exception();
        }
        guard.lock();
        task->error = error;
        task->done = true;
        // Without a waiter this is a flag test, no system call.
        FDone.notify_all();
    }
    FHasTasks.store(false, std::memory_order_relaxed);
}
