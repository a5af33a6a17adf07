#include "devicecommthread.h"

#include "linklog.h"
#include "sendorder.h"

#include <QLoggingCategory>

#include <cxxabi.h>
#include <exception>
#include <typeinfo>

Q_LOGGING_CATEGORY(lcLink, "sarvik.devicelink")

namespace {

using Clock = std::chrono::steady_clock;

QString exceptionClassName(const std::exception& e)
{
    int status = 0;
    char* demangled = abi::__cxa_demangle(typeid(e).name(), nullptr, nullptr, &status);
    QString name = QString::fromLatin1(status == 0 && demangled ? demangled : typeid(e).name());
    std::free(demangled);
    return name;
}


}  // namespace

void TAutoResetEvent::set()
{
    {
        std::lock_guard guard(FLock);
        FSignalled = true;
    }
    FCond.notify_one();
}

bool TAutoResetEvent::wait(std::chrono::milliseconds timeout)
{
    std::unique_lock guard(FLock);
    auto ready = [this] { return FSignalled || FStopped; };
    if (timeout.count() < 0)
        FCond.wait(guard, ready);
    else if (!FCond.wait_for(guard, timeout, ready))
        return false;
    if (FStopped)
        return false;
    FSignalled = false;
    return true;
}

bool TAutoResetEvent::waitUntil(std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock guard(FLock);
    if (!FCond.wait_until(guard, deadline, [this] { return FSignalled || FStopped; }))
        return false;
    if (FStopped)
        return false;
    FSignalled = false;
    return true;
}

void TAutoResetEvent::stop()
{
    {
        std::lock_guard guard(FLock);
        FStopped = true;
    }
    FCond.notify_all();
}

bool TAutoResetEvent::stopped() const
{
    std::lock_guard guard(FLock);
    return FStopped;
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
    FOrderEvent.stop();
    FDataEvent.stop();
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
    FDataEvent.set();
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

void TDeviceCommThread::Execute()
{
    while (!FStop.load()) {
        try {
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
            ProcessOrder(std::move(order));
        } catch (const std::exception& e) {
            Log(QStringLiteral("ERROR"), (exceptionClassName(e) + QStringLiteral(": ") +
                                          QString::fromLocal8Bit(e.what())).toUtf8());
            qCWarning(lcLink) << "worker pass failed:" << e.what();
        }
    }
}

void TDeviceCommThread::ProcessOrder(TOrder order)
{
    const TLinkLogFn log = [this](const QString& tag, const QByteArray& text) { Log(tag, text); };
    int haltCount = -1;
    for (int attempt = 0; attempt < kAttempts && !FStop.load(); ++attempt) {
        // Open check, protocol line and write run back to back on the user-interface thread;
        // one hand-over instead of three keeps the per-order cost low.
        bool connected = false;
        bool sent = false;
        const bool logging = TLinkLog::instance().enabled();
        RunOnUi([&] {
            // From a halt on the port belongs to someone else (device change, firmware
            // update): an order in flight then ends unwritten, even when the halt is over
            // by its next attempt.
            if (haltCount < 0)
                haltCount = LinkHaltCount();
            connected = FPort && !LinkHalted() && LinkHaltCount() == haltCount && FPort->IsConnected();
            if (!connected)
                return;
            if (logging)
                TLinkLog::instance().write(QStringLiteral("PC"), order.TXData);
            sent = FPort->Send(order.TXData);
        });
        if (!connected)
            break;
        if (sent) {
            order.Status = kOrderSent;
            ++order.TXCount;
        } else {
            FComError.store(true);
            order.Status = kOrderFailed;
            ClearOrders();
        }
        const auto deadline = Clock::now() + std::chrono::milliseconds(FAnswerWindowMs);
        QByteArray answer;
        while (Clock::now() < deadline) {
            // Waiting up to the deadline itself: a rest rounded to whole milliseconds would come
            // back early, find the window still open and wait for 0 ms again and again.
            if (!FDataEvent.waitUntil(deadline)) {
                if (FStop.load())
                    return;
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
        return;
    if (order.Status != kOrderDone) {
        FComError.store(true);
        ClearOrders();
        order.Status = kOrderFailed;
    }
    if (FFinishedOrderCB)
        RunOnUi([&] { FFinishedOrderCB(order); });
}
