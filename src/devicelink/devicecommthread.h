#pragma once
// The one worker that carries out all orders, strictly one after the other. It never touches
// the port itself: every side effect runs on the user-interface thread while the worker waits.

#include "uiinvoker.h"
#include "wireformat.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <thread>

using TDeviceCommFinishedOrderCallback = std::function<void(const TOrder&)>;
using TDeviceCommDebugMsgCallback = std::function<void(const QString&)>;

// What the worker needs of the serial layer; called on the user-interface thread only.
class TDeviceCommPort {
public:
    virtual ~TDeviceCommPort() = default;
    virtual bool IsConnected() = 0;
    virtual bool Send(const QByteArray& frame) = 0;
};

// Events that one thread waits on together share a group: its lock and condition. Setting an
// event wakes the waiter only when it waits for that event, so an order queued while the worker
// waits for an answer costs it no wake-up.
class TEventGroup {
public:
    std::mutex FLock;
    std::condition_variable FCond;
    unsigned FWaitMask = 0;  // events the waiting thread waits for; under FLock
    unsigned FNextBit = 1;
};

// An event that releases one waiter and then resets itself; stop() wakes every wait for good.
class TAutoResetEvent {
public:
    using Clock = std::chrono::steady_clock;

    TAutoResetEvent();
    explicit TAutoResetEvent(TEventGroup& group);

    // Whether it woke a waiter.
    bool set();
    // Waits until set or stopped; false on time-out. A negative timeout waits without limit.
    bool wait(std::chrono::milliseconds timeout);
    bool waitForever() { return wait(std::chrono::milliseconds(-1)); }
    // Waits until set, stopped or the deadline has passed; false on time-out.
    bool waitUntil(Clock::time_point deadline);
    // Resets the event; whether it was set.
    bool take();
    void stop();
    bool stopped() const;

    // Waits until one of the events (all of one group) is set, without resetting it; false when
    // one of them was stopped or the deadline passed. time_point::max() waits without limit.
    static bool waitAny(std::initializer_list<TAutoResetEvent*> events, Clock::time_point deadline);

    // For waits of the group's own making; the caller holds the group's lock.
    unsigned bit() const { return FBit; }
    bool isSetLocked() const { return FSignalled; }
    bool isStoppedLocked() const { return FStopped; }
    // Waits on group.FCond until ready() holds, telling setters which events matter (wanted());
    // false when the deadline passed first.
    template <typename Wanted, typename Ready>
    static bool waitLocked(TEventGroup& group, std::unique_lock<std::mutex>& guard, Wanted wanted, Ready ready,
                           Clock::time_point deadline)
    {
        bool inTime = true;
        while (!ready()) {
            group.FWaitMask = wanted();
            if (deadline == Clock::time_point::max()) {
                group.FCond.wait(guard);
            } else if (group.FCond.wait_until(guard, deadline) == std::cv_status::timeout) {
                inTime = ready();
                break;
            }
        }
        group.FWaitMask = 0;
        return inTime;
    }

private:
    std::unique_ptr<TEventGroup> FOwnGroup;
    TEventGroup* FGroup;
    unsigned FBit;
    bool FSignalled = false;
    bool FStopped = false;
};

class TDeviceCommThread {
public:
    static constexpr int kAnswerWindowMs = 3000;
    static constexpr int kAttempts = 2;
    static constexpr size_t kMaxPendingMessages = 256;
    // How long the user-interface thread stays awake for the worker's reaction to a line it
    // waited for: a thread wake-up costs tens of microseconds, the reaction takes a few.
    static constexpr std::chrono::microseconds kReactionSpin{100};

    // Created on the user-interface thread: the port, the protocol and the callbacks are run
    // there. The thread starts with Start().
    TDeviceCommThread(TDeviceCommPort* port,
                      TDeviceCommDebugMsgCallback debugMsgCallback,
                      TDeviceCommFinishedOrderCallback finishedOrderCallback,
                      int answerWindowMs = kAnswerWindowMs);
    ~TDeviceCommThread();  // stops and joins; an order in progress is abandoned

    TDeviceCommThread(const TDeviceCommThread&) = delete;
    TDeviceCommThread& operator=(const TDeviceCommThread&) = delete;

    void Start();
    void Stop();

    void AddOrder(const TOrder& order);
    void ClearOrders();
    int QueuedOrderCount() const;
    void HandleRXData(const QByteArray& line);

    // Set by a failed order and kept until the main window has acted on it: clearing it when the
    // next order starts would let a status poll that follows at once hide the failure.
    bool ComError() const { return FComError.load(); }
    void AcknowledgeComError() { FComError.store(false); }
    // Told on the user-interface thread whenever an order raised the error flag, so that the
    // connection logic need not look for it on a timer.
    void SetComErrorHandler(std::function<void()> handler) { FComErrorHandler = std::move(handler); }

private:
    // What the user-interface side of an attempt found: filled there, read by the worker only
    // after the hand-over is known to have run.
    struct TSendResult {
        bool connected = false;
        bool sent = false;
        std::chrono::steady_clock::time_point sentAt;
    };
    // An order that the hand-over of its predecessor's result has already written.
    struct TStarted {
        bool present = false;
        TOrder order;
        int haltCount = -1;
        TSendResult result;
        TUiInvoker::TTicket ticket;
        std::chrono::steady_clock::time_point postedAt;
    };

    void Execute();
    // Runs the attempts of one order and hands it back; returns the next order when that
    // hand-over already wrote it.
    std::unique_ptr<TStarted> ProcessOrder(TOrder order, std::unique_ptr<TStarted> started);
    // User-interface side of an attempt: open check, protocol line and write, back to back.
    void SendOnUi(const TOrder& order, int& haltCount, TSendResult& result);
    // Runs f on the user-interface thread and waits for it; false when the worker is stopping.
    bool RunOnUi(const std::function<void()>& f);
    void Log(const QString& tag, const QByteArray& text);
    void RaiseComError();
    // The answer slot and every device message that came in since the last take.
    QByteArray TakeRXData(std::deque<QByteArray>& messages);

    std::unique_ptr<TUiInvoker> FUi;
    TDeviceCommPort* FPort;
    TDeviceCommDebugMsgCallback FDebugMsgCB;
    TDeviceCommFinishedOrderCallback FFinishedOrderCB;
    const int FAnswerWindowMs;

    std::function<void()> FComErrorHandler;

    std::deque<TOrder> FOrderQueue;
    mutable std::mutex FOrderQueueLock;
    // The worker waits on these together; FHandOverEvent tells it that a hand-over it did not
    // wait for needs its attention (a write that failed, a callback that threw).
    TEventGroup FWake;
    TAutoResetEvent FOrderEvent{FWake};
    TAutoResetEvent FDataEvent{FWake};
    TAutoResetEvent FHandOverEvent{FWake};
    bool FHandBackDone = true;  // the last finished order's hand-over has run; under FWake.FLock
    std::atomic<bool> FComError{false};
    QByteArray FRXData;
    std::deque<QByteArray> FDeviceMessages;  // guarded by FRXDataLock
    std::mutex FRXDataLock;

    std::atomic<bool> FStop{false};
    std::thread FThread;
};
