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

// An event that releases one waiter and then resets itself; stop() wakes every wait for good.
class TAutoResetEvent {
public:
    void set();
    // Waits until set or stopped; false on time-out. A negative timeout waits without limit.
    bool wait(std::chrono::milliseconds timeout);
    bool waitForever() { return wait(std::chrono::milliseconds(-1)); }
    // Waits until set, stopped or the deadline has passed; false on time-out.
    bool waitUntil(std::chrono::steady_clock::time_point deadline);
    void stop();
    bool stopped() const;

private:
    mutable std::mutex FLock;
    std::condition_variable FCond;
    bool FSignalled = false;
    bool FStopped = false;
};

class TDeviceCommThread {
public:
    static constexpr int kAnswerWindowMs = 3000;
    static constexpr int kAttempts = 2;
    static constexpr size_t kMaxPendingMessages = 256;

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

private:
    void Execute();
    void ProcessOrder(TOrder order);
    // Runs f on the user-interface thread and waits for it; false when the worker is stopping.
    bool RunOnUi(const std::function<void()>& f);
    void Log(const QString& tag, const QByteArray& text);
    // The answer slot and every device message that came in since the last take.
    QByteArray TakeRXData(std::deque<QByteArray>& messages);

    std::unique_ptr<TUiInvoker> FUi;
    TDeviceCommPort* FPort;
    TDeviceCommDebugMsgCallback FDebugMsgCB;
    TDeviceCommFinishedOrderCallback FFinishedOrderCB;
    const int FAnswerWindowMs;

    std::deque<TOrder> FOrderQueue;
    mutable std::mutex FOrderQueueLock;
    TAutoResetEvent FOrderEvent;
    TAutoResetEvent FDataEvent;
    std::atomic<bool> FComError{false};
    QByteArray FRXData;
    std::deque<QByteArray> FDeviceMessages;  // guarded by FRXDataLock
    std::mutex FRXDataLock;

    std::atomic<bool> FStop{false};
    std::thread FThread;
};
