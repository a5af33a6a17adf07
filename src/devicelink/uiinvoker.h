#pragma once
// Runs work from another thread on the thread that created the invoker (the user-interface
// thread). Tasks travel through our own locked queue and an eventfd, so every hand-over is
// ordered by a lock the caller can see. A caller may post a task and wait for it later: the
// wait then costs nothing when the task has run by the time the caller looks.

#include <QObject>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class QSocketNotifier;

class TUiInvoker : public QObject {
    Q_OBJECT
public:
    struct Task;
    using TTicket = std::shared_ptr<Task>;

    explicit TUiInvoker(QObject* parent = nullptr);
    ~TUiInvoker() override;

    // Queues f for the invoker's thread; f's references must stay valid until Wait returned
    // (or Cancel). On the invoker's own thread f runs at once.
    TTicket Post(std::function<void()> f);
    // Waits until the task has run. Returns false without waiting further once stop is true or
    // the invoker was cancelled; the task is then dropped if it had not started. An exception
    // thrown by the task is rethrown here.
    bool Wait(const TTicket& ticket, const std::atomic<bool>& stop);
    bool Done(const TTicket& ticket);
    // Runs f on the invoker's thread and waits until it has run (Post + Wait).
    bool Run(const std::function<void()>& f, const std::atomic<bool>& stop) { return Wait(Post(f), stop); }
    // Releases every waiter for good; called from the invoker's thread when it stops draining.
    void Cancel();
    // Called on the invoker's thread when a task is about to be posted (the worker was just
    // handed what it waited for). Once the current event is done the thread stays awake up to
    // maxWait for it and runs it, instead of going to sleep and being woken for it a moment later.
    void ExpectTask(std::chrono::microseconds maxWait);

private:
    void Drain();
    void AwaitTask(std::chrono::microseconds maxWait);

    int FEventFd = -1;
    QSocketNotifier* FNotifier = nullptr;
    std::mutex FLock;
    std::condition_variable FDone;  // one for all tasks: there is one waiting thread
    std::deque<TTicket> FTasks;
    bool FCancelled = false;
    std::atomic<bool> FHasTasks{false};  // FTasks is not empty; written under FLock
    bool FAwaitQueued = false;           // invoker's thread only
};
