#pragma once
// Runs work from another thread on the thread that created the invoker (the user-interface
// thread) and lets the caller wait for it. Tasks travel through our own locked queue and an
// eventfd, so every hand-over is ordered by a lock the caller can see.

#include <QObject>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class QSocketNotifier;

class TUiInvoker : public QObject {
    Q_OBJECT
public:
    explicit TUiInvoker(QObject* parent = nullptr);
    ~TUiInvoker() override;

    // Runs f on the invoker's thread and waits until it has run. Returns false without running
    // it when stop becomes true first. An exception thrown by f is rethrown here.
    bool Run(const std::function<void()>& f, const std::atomic<bool>& stop);

private:
    struct Task;
    void Drain();

    int FEventFd = -1;
    QSocketNotifier* FNotifier = nullptr;
    std::mutex FLock;
    std::deque<std::shared_ptr<Task>> FTasks;
};
