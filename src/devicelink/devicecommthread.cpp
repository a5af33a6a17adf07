#include "devicecommthread.h"

#include "linklog.h"
#include "sendorder.h"

#include <QLoggingCategory>

#include <cxxabi.h>
#include <exception>
#include <typeinfo>

Q_LOGGING_CATEGORY(lcLink, "sarvik.devicelink")

namespace {

using Clock = TAutoResetEvent::Clock;

QString exceptionClassName(const std::exception& e)
{
    int status = 0;
    char* demangled = abi::__cxa_demangle(typeid(e).name(), nullptr, nullptr, &status);
    QString name = QString::fromLatin1(status == 0 && demangled ? demangled : typeid(e).name());
    std::free(demangled);
    return name;
}


}  // namespace

TAutoResetEvent::TAutoResetEvent()
    : FOwnGroup(std::make_unique<TEventGroup>())
    , FGroup(FOwnGroup.get())
    , FBit(FGroup->FNextBit)
{
    FGroup->FNextBit <<= 1;
}

TAutoResetEvent::TAutoResetEvent(TEventGroup& group)
    : FGroup(&group)
    , FBit(group.FNextBit)
{
    group.FNextBit <<= 1;
}

bool TAutoResetEvent::set()
{
    bool wake = false;
    {
        std::lock_guard guard(FGroup->FLock);
        FSignalled = true;
        wake = (FGroup->FWaitMask & FBit) != 0;
    }
    if (wake)
        FGroup->FCond.notify_all();
    return wake;
}

bool TAutoResetEvent::wait(std::chrono::milliseconds timeout)
{
    return waitUntil(timeout.count() < 0 ? Clock::time_point::max() : Clock::now() + timeout);
}

bool TAutoResetEvent::waitUntil(Clock::time_point deadline)
{
    std::unique_lock guard(FGroup->FLock);
    if (!waitLocked(*FGroup, guard, [this] { return FBit; }, [this] { return FSignalled || FStopped; }, deadline))
        return false;
    if (FStopped)
        return false;
    FSignalled = false;
    return true;
}

bool TAutoResetEvent::take()
{
    std::lock_guard guard(FGroup->FLock);
    const bool was = FSignalled;
    FSignalled = false;
    return was;
}

void TAutoResetEvent::stop()
{
    {
        std::lock_guard guard(FGroup->FLock);
        FStopped = true;
    }
    FGroup->FCond.notify_all();
}

bool TAutoResetEvent::stopped() const
{
    std::lock_guard guard(FGroup->FLock);
    return FStopped;
}

bool TAutoResetEvent::waitAny(std::initializer_list<TAutoResetEvent*> events, Clock::time_point deadline)
{
    TEventGroup& group = *(*events.begin())->FGroup;
    unsigned bits = 0;
    for (const TAutoResetEvent* e : events)
        bits |= e->FBit;
    std::unique_lock guard(group.FLock);
    auto ready = [&] {
        for (const TAutoResetEvent* e : events) {
            if (e->FSignalled || e->FStopped)
                return true;
        }
        return false;
    };
    if (!waitLocked(group, guard, [bits] { return bits; }, ready, deadline))
        return false;
    for (const TAutoResetEvent* e : events) {
        if (e->FStopped)
            return false;
    }
    return true;
}

TDeviceCommThread::TDeviceCommThread(TDeviceCommPort* port,
                                     TDeviceCommDebugMsgCallback debugMsgCallback,
                                     TDeviceCommFinishedOrderCallback finishedOrderCallback,
                                     int answerWindowMs)
    : FUi(std::make_unique<TUiInvoker>())
    , FPort(port)
    , FDebugMsgCB(std::move(debugMsgCallback))
    , FFinishedOrderCB(std::move(finishedOrderCallback))
    , FAnswerWindowMs(answerWindowMs)
{
}

TDeviceCommThread::~TDeviceCommThread()
{
    Stop();
}

void TDeviceCommThread::Start()
{
    if (!FThread.joinable() && !FStop.load())
        FThread = std::thread([this] { Execute(); });
}

void TDeviceCommThread::Stop()
{
    FStop.store(true);
    FUi->Cancel();
    FOrderEvent.stop();
    FDataEvent.stop();
    FHandOverEvent.stop();
    if (FThread.joinable())
        FThread.join();
}

void TDeviceCommThread::AddOrder(const TOrder& order)
{
    {
        std::lock_guard guard(FOrderQueueLock);
        FOrderQueue.push_back(order);
    }
    FOrderEvent.set();
}

void TDeviceCommThread::ClearOrders()
{
    {
        std::lock_guard guard(FOrderQueueLock);
        FOrderQueue.clear();
    }
    {
        std::lock_guard guard(FRXDataLock);
        FRXData.clear();
    }
    FDataEvent.set();
}

int TDeviceCommThread::QueuedOrderCount() const
{
    std::lock_guard guard(FOrderQueueLock);
    return static_cast<int>(FOrderQueue.size());
}

void TDeviceCommThread::HandleRXData(const QByteArray& line)
{
    {
        std::lock_guard guard(FRXDataLock);
        // Device messages queue up: in the one answer slot a message followed quickly by the
        // answer would be overwritten and lost.
        if (IsDeviceMessage(line)) {
            FDeviceMessages.push_back(line);
            if (FDeviceMessages.size() > kMaxPendingMessages)
                FDeviceMessages.pop_front();
        } else {
            FRXData = line;
        }
    }
    // The woken worker answers with a hand-over at once (the finished order, a retry or a
    // device message); waiting for it awake beats being woken for it.
    if (FDataEvent.set())
        FUi->ExpectTask(kReactionSpin);
}

QByteArray TDeviceCommThread::TakeRXData(std::deque<QByteArray>& messages)
{
    std::lock_guard guard(FRXDataLock);
    messages.swap(FDeviceMessages);
    QByteArray line;
    line.swap(FRXData);
    return line;
}

bool TDeviceCommThread::RunOnUi(const std::function<void()>& f)
{
    return FUi->Run(f, FStop);
}

void TDeviceCommThread::Log(const QString& tag, const QByteArray& text)
{
    // The switch is read here so that a quiet link costs no hand-over.
    if (!TLinkLog::instance().enabled())
        return;
    RunOnUi([&] { TLinkLog::instance().write(tag, text); });
}

void TDeviceCommThread::RaiseComError()
{
    FComError.store(true);
    // Nobody waits for this: the handler only schedules the connection logic.
    FUi->Post([this] {
        if (FComErrorHandler)
            FComErrorHandler();
    });
}

void TDeviceCommThread::Execute()
{
    std::unique_ptr<TStarted> started;
    while (!FStop.load()) {
        try {
            if (started) {
                started = ProcessOrder({}, std::move(started));
                continue;
            }
            TOrder order;
            {
                std::unique_lock guard(FOrderQueueLock);
                if (FOrderQueue.empty()) {
                    guard.unlock();
                    FOrderEvent.waitForever();
                    continue;
                }
                order = FOrderQueue.front();
                FOrderQueue.pop_front();
            }
            started = ProcessOrder(std::move(order), nullptr);
        } catch (const std::exception& e) {
            started.reset();
            FHandOverEvent.take();
            Log(QStringLiteral("ERROR"), (exceptionClassName(e) + QStringLiteral(": ") +
                                          QString::fromLocal8Bit(e.what())).toUtf8());
            qCWarning(lcLink) << "worker pass failed:" << e.what();
        }
    }
}

void TDeviceCommThread::SendOnUi(const TOrder& order, int& haltCount, TSendResult& result)
{
    try {
        // From a halt on the port belongs to someone else (device change, firmware update): an
        // order in flight then ends unwritten, even when the halt is over by its next attempt.
        if (haltCount < 0)
            haltCount = LinkHaltCount();
        result.connected = FPort && !LinkHalted() && LinkHaltCount() == haltCount && FPort->IsConnected();
        if (result.connected) {
            if (TLinkLog::instance().enabled())
                TLinkLog::instance().write(QStringLiteral("PC"), order.TXData);
            result.sent = FPort->Send(order.TXData);
            result.sentAt = Clock::now();
        }
    } catch (...) {
        FHandOverEvent.set();
        throw;
    }
    // A written frame is followed by its answer, which wakes the worker; anything else must.
    if (!result.connected || !result.sent)
        FHandOverEvent.set();
}

std::unique_ptr<TDeviceCommThread::TStarted> TDeviceCommThread::ProcessOrder(TOrder order,
                                                                             std::unique_ptr<TStarted> started)
{
    const TLinkLogFn log = [this](const QString& tag, const QByteArray& text) { Log(tag, text); };
    int haltCount = -1;
    TUiInvoker::TTicket ticket;
    Clock::time_point postedAt;
    TSendResult ownResult;
    TSendResult* result = &ownResult;
    if (started) {
        // Its predecessor's hand-over has run already, so these are the worker's again.
        order = std::move(started->order);
        haltCount = started->haltCount;
        ownResult = started->result;
        ticket = started->ticket;
        postedAt = started->postedAt;
    }
    for (int attempt = 0; attempt < kAttempts && !FStop.load(); ++attempt) {
        if (attempt > 0 || !ticket) {
            // Open check, protocol line and write run back to back on the user-interface thread.
            ownResult = {};
            postedAt = Clock::now();
            ticket = FUi->Post([this, &order, &haltCount, result] { SendOnUi(order, haltCount, *result); });
        }
        // The worker is not woken for a write that worked: the answer does that. Waiting up to
        // the window counted from the hand-over covers a silent device as well.
        const bool woken = TAutoResetEvent::waitAny({&FDataEvent, &FHandOverEvent},
                                                    postedAt + std::chrono::milliseconds(FAnswerWindowMs));
        if (FStop.load() || !FUi->Wait(ticket, FStop))
            return {};
        FHandOverEvent.take();
        ticket.reset();
        if (!result->connected)
            break;
        if (result->sent) {
            order.Status = kOrderSent;
            ++order.TXCount;
        } else {
            RaiseComError();
            order.Status = kOrderFailed;
            ClearOrders();
        }
        const auto deadline = result->sentAt + std::chrono::milliseconds(FAnswerWindowMs);
        QByteArray answer;
        // A first wait that ran out has looked at the window already, even when the write
        // started the window a moment after the hand-over was posted.
        bool ranOut = !woken;
        while (Clock::now() < deadline || ranOut) {
            ranOut = false;
            // Waiting up to the deadline itself: a rest rounded to whole milliseconds would come
            // back early, find the window still open and wait for 0 ms again and again.
            if (!FDataEvent.waitUntil(deadline)) {
                if (FStop.load())
                    return {};
                Log(QStringLiteral("DEBUG"), "Timeout");
                break;  // the window has run out
            }
            std::deque<QByteArray> messages;
            const QByteArray line = TakeRXData(messages);
            for (const QByteArray& message : messages) {
                if (FDebugMsgCB) {
                    const QString text = RenderControlChars(message);
                    RunOnUi([&] { FDebugMsgCB(text); });
                }
            }
            if (IsAnswerLine(line)) {
                answer = line;
                break;
            }
            if (messages.empty())
                Log(QStringLiteral("DEBUG"), "Not enough data received");
        }
        if (!answer.isEmpty() && CheckAnswer(answer, order, log))
            break;
    }
    if (FStop.load())
        return {};
    if (order.Status != kOrderDone) {
        RaiseComError();
        ClearOrders();
        order.Status = kOrderFailed;
    }
    // One hand-over returns the order and, when another is queued by then (often by the
    // callback itself), writes that one too: a paced exchange costs one trip each way.
    auto next = std::make_unique<TStarted>();
    TStarted* n = next.get();
    n->postedAt = Clock::now();
    {
        std::lock_guard guard(FWake.FLock);
        FHandBackDone = false;
    }
    ticket = FUi->Post([this, &order, n] {
        try {
            if (FFinishedOrderCB)
                FFinishedOrderCB(order);
        } catch (...) {
            FHandOverEvent.set();
            throw;
        }
        if (!FStop.load()) {
            std::lock_guard guard(FOrderQueueLock);
            if (!FOrderQueue.empty()) {
                n->order = FOrderQueue.front();
                FOrderQueue.pop_front();
                n->present = true;
                // The order that announced it is taken here, not by the worker.
                if (FOrderQueue.empty())
                    FOrderEvent.take();
            }
        }
        if (n->present)
            SendOnUi(n->order, n->haltCount, n->result);
        bool wake = false;
        {
            std::lock_guard guard(FWake.FLock);
            FHandBackDone = true;
            // From now on a new order is the worker's business; one may be waiting already.
            if (FWake.FWaitMask != 0)
                FWake.FWaitMask |= FOrderEvent.bit();
            wake = FWake.FWaitMask != 0 && FOrderEvent.isSetLocked();
        }
        if (wake)
            FWake.FCond.notify_all();
    });
    // Whatever comes next wakes the worker: the next order's answer or failed write, or a new
    // order once the hand-over has run. The hand-over itself does not, nor does an order the
    // callback queues (the hand-over writes that one).
    {
        std::unique_lock guard(FWake.FLock);
        const auto window = std::chrono::milliseconds(FAnswerWindowMs);
        // A silent device must not keep the worker here: the window of an order the hand-over
        // wrote runs from the hand-over, as for one the worker wrote itself.
        auto deadline = n->postedAt + window;
        while (!TAutoResetEvent::waitLocked(
            FWake, guard,
            [this] { return FDataEvent.bit() | FHandOverEvent.bit() | (FHandBackDone ? FOrderEvent.bit() : 0u); },
            [this] {
                return FDataEvent.isSetLocked() || FHandOverEvent.isSetLocked() ||
                    (FHandBackDone && FOrderEvent.isSetLocked()) || FOrderEvent.isStoppedLocked();
            },
            deadline)) {
            if (FHandBackDone && n->present)
                break;  // its window has run out; the attempt loop logs it and tries again
            // Nothing written: the next order wakes the worker. A hand-over that has not run
            // yet is looked at again a window later.
            deadline = FHandBackDone ? Clock::time_point::max() : deadline + window;
        }
    }
    if (FStop.load() || !FUi->Wait(ticket, FStop))
        return {};
    if (!n->present)
        return {};
    n->ticket = ticket;
    return next;
}
