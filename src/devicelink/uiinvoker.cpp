#include "uiinvoker.h"

#include <QSocketNotifier>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>

#include <sys/eventfd.h>
#include <unistd.h>

struct TUiInvoker::Task {
    std::function<void()> work;
    std::condition_variable cond;
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
    delete FNotifier;
    if (FEventFd >= 0)
        ::close(FEventFd);
}

bool TUiInvoker::Run(const std::function<void()>& f, const std::atomic<bool>& stop)
{
    if (stop.load())
        return false;
    if (QThread::currentThread() == thread()) {
        f();
        return true;
    }
    auto task = std::make_shared<Task>();
    // The caller blocks until the task ran or was dropped, so f's references stay valid.
    task->work = f;
    std::unique_lock guard(FLock);
    FTasks.push_back(task);
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(FEventFd, &one, sizeof one);
    // Stop() runs on the invoker's thread, which then no longer drains: poll the flag.
    while (!task->done) {
        if (stop.load()) {
            task->abandoned = true;
            return false;
        }
        task->cond.wait_for(guard, std::chrono::milliseconds(20));
    }
    if (task->error)
        std::rethrow_exception(task->error);
    return true;
}

void TUiInvoker::Drain()
{
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(FEventFd, &count, sizeof count);
    std::unique_lock guard(FLock);
    while (!FTasks.empty()) {
        std::shared_ptr<Task> task = FTasks.front();
        FTasks.pop_front();
        if (task->abandoned)
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
        task->cond.notify_one();
    }
}
