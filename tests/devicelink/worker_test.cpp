#include "connection.h"
#include "devicecommthread.h"
#include "linklog.h"
#include "waitfor.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

constexpr int kWindowMs = 150;

QByteArray answerLine(const QByteArray& payload)
{
    return payload + QByteArray::number(CalcChecksum(payload)).rightJustified(5, '0');
}

// One reaction of the scripted device to a frame: lines to hand back after a delay.
struct Reply {
    int delayMs;
    QByteArray line;
};

// Plays the serial layer and the device at once, on the test's (user-interface) thread.
class ScriptedPeer : public TDeviceCommPort {
public:
    bool connected = true;
    bool sendFails = false;
    std::deque<std::vector<Reply>> script;  // one entry per written frame; none = silence
    std::vector<QByteArray> written;
    TDeviceCommThread* worker = nullptr;
    QObject context;

    bool IsConnected() override { return connected; }
    bool Send(const QByteArray& frame) override
    {
        written.push_back(frame);
        if (sendFails)
            return false;
        if (!script.empty()) {
            for (const Reply& r : script.front()) {
                QTimer::singleShot(r.delayMs, &context, [this, line = r.line] { worker->HandleRXData(line); });
            }
            script.pop_front();
        }
        return true;
    }
};

class devicelink_Worker : public ::testing::Test {
protected:
    void SetUp() override
    {
        TLinkLog::instance().setHook([this](const QString& tag, const QByteArray& data) {
            protocol.emplace_back(tag, data);
        });
        TLinkLog::instance().setEnabled(true);
        worker = std::make_unique<TDeviceCommThread>(
            &peer,
            [this](const QString& msg) { messages.push_back(msg); },
            [this](const TOrder& o) {
                finished.push_back(o);
                if (onFinished)
                    onFinished(o);
            },
            kWindowMs);
        peer.worker = worker.get();
        worker->Start();
    }
    void TearDown() override
    {
        worker.reset();
        TLinkLog::instance().setEnabled(false);
        TLinkLog::instance().setHook({});
    }
    int count(const char* tag, const QByteArray& text = {}) const
    {
        int n = 0;
        for (const auto& [t, d] : protocol)
            n += (t == QLatin1String(tag) && (text.isEmpty() || d == text)) ? 1 : 0;
        return n;
    }

    ScriptedPeer peer;
    std::unique_ptr<TDeviceCommThread> worker;
    std::vector<TOrder> finished;
    std::vector<QString> messages;
    std::vector<std::pair<QString, QByteArray>> protocol;
    std::function<void(const TOrder&)> onFinished;
};

TEST_F(devicelink_Worker, answeredOrderIsDoneWithItsPayload)
{
    peer.script.push_back({{5, answerLine("TIN;1234;")}});
    worker->AddOrder(MakeOrder(3, QStringLiteral("GIN"), 9));
    ASSERT_TRUE(waitFor([&] { return finished.size() == 1; }));
    EXPECT_EQ(finished[0].Status, kOrderDone);
    EXPECT_EQ(finished[0].Sender, 3);
    EXPECT_EQ(finished[0].TXTag, 9);
    EXPECT_EQ(finished[0].TXCount, 1);
    EXPECT_EQ(finished[0].RXData, QByteArray("TIN;1234;"));
    EXPECT_FALSE(worker->ComError());
    EXPECT_EQ(count("PC", "GIN;00281\r\n"), 1);
}

TEST_F(devicelink_Worker, silentDevice_failsFirstOrderAfterTwoWindowsAndDropsTheRest)
{
    worker->AddOrder(MakeOrder(1, QStringLiteral("GIN"), 1));
    worker->AddOrder(MakeOrder(1, QStringLiteral("GIS"), 2));
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(waitFor([&] { return finished.size() == 1; }));
    EXPECT_GE(t.elapsed(), 2 * kWindowMs - 10);
    spinFor(3 * kWindowMs);
    ASSERT_EQ(finished.size(), 1u) << "the queued order must be dropped, not reported";
    EXPECT_EQ(finished[0].Status, kOrderFailed);
    EXPECT_EQ(finished[0].TXCount, 2);
    EXPECT_TRUE(finished[0].RXData.isEmpty());
    EXPECT_TRUE(worker->ComError());
    EXPECT_EQ(worker->QueuedOrderCount(), 0);
    EXPECT_EQ(peer.written.size(), 2u);
    EXPECT_GE(count("DEBUG", "Timeout"), 2);
}

TEST_F(devicelink_Worker, errorFlagStaysSetWhileTheNextOrderRuns_untilTheLinkWentOffline)
{
    // The status polling queues its next query as soon as the failure is handed over; the
    // connection timer (a fake clock here) ticks only after that query has started.
    bool online = true;
    TConnectionEnv env;
    env.isOnline = [&] { return online; };
    env.comError = [&] { return worker->ComError(); };
    env.acknowledgeComError = [&] { worker->AcknowledgeComError(); };
    env.setOffline = [&] { online = false; };
    env.setHalted = [](bool) {};
    TConnectionMachine machine(env);
    qint64 now = 1000;

    onFinished = [&](const TOrder&) {
        if (finished.size() == 1)
            worker->AddOrder(MakeOrder(0, QStringLiteral("GID"), 0));
    };
    worker->AddOrder(MakeOrder(0, QStringLiteral("GIS"), 0));
    ASSERT_TRUE(waitFor([&] { return peer.written.size() == 3; })) << "the next order has started";
    EXPECT_TRUE(worker->ComError());
    machine.tick(now += 5);
    EXPECT_FALSE(online) << "a failed order must take the program offline";
    EXPECT_FALSE(worker->ComError());

    // The query fails as well while offline: taken, and no obstacle to coming back online.
    ASSERT_TRUE(waitFor([&] { return finished.size() == 2; }));
    EXPECT_TRUE(worker->ComError());
    machine.tick(now += 5);
    EXPECT_FALSE(worker->ComError());
    online = true;
    machine.tick(now += 5);
    EXPECT_TRUE(online);
}

TEST_F(devicelink_Worker, oneTimeoutLinePerExpiredAnswerWindow)
{
    struct Case {
        const char* name;
        std::vector<Reply> firstAttempt;  // the second attempt meets silence
        size_t messages;
    };
    const Case cases[] = {
        {"silence", {}, 0},
        {"a device message, then silence", {{kWindowMs / 3, "TIM;Pumpe an"}}, 1},
        {"a short line, then silence", {{kWindowMs / 3, "T;"}}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        protocol.clear();
        finished.clear();
        messages.clear();
        peer.script = {c.firstAttempt};
        worker->AddOrder(MakeOrder(1, QStringLiteral("GIS"), 1));
        ASSERT_TRUE(waitFor([&] { return finished.size() == 1; }));
        EXPECT_EQ(finished[0].Status, kOrderFailed);
        EXPECT_EQ(count("DEBUG", "Timeout"), 2);
        EXPECT_EQ(messages.size(), c.messages);
        worker->AcknowledgeComError();
    }
}

TEST_F(devicelink_Worker, wrongThenRightChecksum_doneOnSecondAttempt)
{
    peer.script.push_back({{5, "TIN;1234;00556"}});
    peer.script.push_back({{5, answerLine("TIN;1234;")}});
    worker->AddOrder(MakeOrder(0, QStringLiteral("GIN"), 0));
    ASSERT_TRUE(waitFor([&] { return finished.size() == 1; }));
    EXPECT_EQ(finished[0].Status, kOrderDone);
    EXPECT_EQ(finished[0].TXCount, 2);
    EXPECT_EQ(count("PC"), 2);
    EXPECT_EQ(count("ERROR"), 1);
    EXPECT_EQ(count("ERROR", "Checksum Mismatch! Expected: 556 - Got: 555"), 1);
}

TEST_F(devicelink_Worker, twoWrongChecksums_failWithTheLastRejectedPayload)
{
    peer.script.push_back({{5, "TIN;1111;00001"}});
    peer.script.push_back({{5, "TIN;2222;00001"}});
    worker->AddOrder(MakeOrder(0, QStringLiteral("GIN"), 0));
    ASSERT_TRUE(waitFor([&] { return finished.size() == 1; }));
    EXPECT_EQ(finished[0].Status, kOrderFailed);
    EXPECT_EQ(finished[0].RXData, QByteArray("TIN;2222;"));
    EXPECT_TRUE(worker->ComError());
}

TEST_F(devicelink_Worker, deviceMessageInsideTheWindow_isPassedOnAndTheAnswerStillCounts)
{
    peer.script.push_back({{5, QByteArray("TIM;Pumpe\tan", 12)}, {40, answerLine("TIS;4;0;")}});
    worker->AddOrder(MakeOrder(0, QStringLiteral("GIS"), 0));
    ASSERT_TRUE(waitFor([&] { return finished.size() == 1; }));
    EXPECT_EQ(finished[0].Status, kOrderDone);
    EXPECT_EQ(finished[0].TXCount, 1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], QStringLiteral("TIM;Pumpe<9>an"));
}

TEST_F(devicelink_Worker, deviceMessageJustBeforeTheWindowEnds_leavesTheAttemptUnanswered)
{
    peer.script.push_back({{kWindowMs - 30, "TIM;late"}});
    peer.script.push_back({{5, answerLine("TIS;4;0;")}});
    worker->AddOrder(MakeOrder(0, QStringLiteral("GIS"), 0));
    ASSERT_TRUE(waitFor([&] { return finished.size() == 1; }));
    EXPECT_EQ(finished[0].Status, kOrderDone);
    EXPECT_EQ(finished[0].TXCount, 2);
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(devicelink_Worker, clearOrdersDuringAWait_wakesTheWorkerAndTheOrderStillFinishes)
{
    peer.script.push_back({{kWindowMs / 2, answerLine("TIS;4;0;")}});
    worker->AddOrder(MakeOrder(0, QStringLiteral("GIS"), 0));
    worker->AddOrder(MakeOrder(0, QStringLiteral("GIO"), 0));
    ASSERT_TRUE(waitFor([&] { return peer.written.size() == 1; }));
    worker->ClearOrders();
    ASSERT_TRUE(waitFor([&] { return finished.size() == 1; }));
    EXPECT_EQ(count("DEBUG", "Not enough data received"), 1);
    EXPECT_EQ(finished[0].Status, kOrderDone);
    spinFor(2 * kWindowMs);
    EXPECT_EQ(peer.written.size(), 1u) << "the cleared order must never be sent";
}

TEST_F(devicelink_Worker, loggingOff_writesNothingButMessagesStillArrive)
{
    TLinkLog::instance().setEnabled(false);
    peer.script.push_back({{5, "TIM;x;y"}, {20, answerLine("TIS;4;0;")}});
    worker->AddOrder(MakeOrder(0, QStringLiteral("GIS"), 0));
    ASSERT_TRUE(waitFor([&] { return finished.size() == 1; }));
    EXPECT_TRUE(protocol.empty());
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(devicelink_Worker, closedPort_failsAtOnceWithoutWriting)
{
    peer.connected = false;
    QElapsedTimer t;
    t.start();
    worker->AddOrder(MakeOrder(0, QStringLiteral("GIN"), 0));
    worker->AddOrder(MakeOrder(0, QStringLiteral("GIS"), 0));
    ASSERT_TRUE(waitFor([&] { return finished.size() == 1; }));
    EXPECT_LT(t.elapsed(), kWindowMs) << "no answer window may be spent on a closed port";
    EXPECT_EQ(finished[0].Status, kOrderFailed);
    EXPECT_EQ(finished[0].TXCount, 0);
    EXPECT_TRUE(peer.written.empty());
    EXPECT_EQ(count("PC"), 0);
    EXPECT_TRUE(worker->ComError());
    spinFor(50);
    EXPECT_EQ(finished.size(), 1u);
}

TEST_F(devicelink_Worker, writeFailure_dropsTheQueueAndFails)
{
    peer.sendFails = true;
    worker->AddOrder(MakeOrder(0, QStringLiteral("GIN"), 0));
    worker->AddOrder(MakeOrder(0, QStringLiteral("GIS"), 0));
    ASSERT_TRUE(waitFor([&] { return finished.size() == 1; }));
    EXPECT_EQ(finished[0].Status, kOrderFailed);
    EXPECT_EQ(finished[0].TXCount, 0);
    spinFor(2 * kWindowMs);
    EXPECT_EQ(finished.size(), 1u);
}

TEST_F(devicelink_Worker, finishedCallbackMayQueueTheNextOrderAtOnce)
{
    for (int i = 0; i < 3; ++i)
        peer.script.push_back({{1, answerLine("TIS;4;0;")}});
    onFinished = [&](const TOrder&) {
        if (finished.size() < 3)
            worker->AddOrder(MakeOrder(0, QStringLiteral("GIS"), static_cast<int>(finished.size())));
    };
    worker->AddOrder(MakeOrder(0, QStringLiteral("GIS"), 0));
    ASSERT_TRUE(waitFor([&] { return finished.size() == 3; }));
    for (size_t i = 0; i < finished.size(); ++i) {
        EXPECT_EQ(finished[i].Status, kOrderDone);
        EXPECT_EQ(finished[i].TXTag, static_cast<int>(i));
    }
}

TEST_F(devicelink_Worker, ordersQueuedInBurstsAfterTheWorkerFellAsleep_areAllCarriedOut)
{
    // The worker sleeps after a hand-back with nothing queued; a later order, one queued by the
    // callback and one queued behind it must each wake it exactly when they are its business.
    for (int i = 0; i < 5; ++i)
        peer.script.push_back({{1, answerLine("TIS;4;0;")}});
    worker->AddOrder(MakeOrder(0, QStringLiteral("GIS"), 0));
    ASSERT_TRUE(waitFor([&] { return finished.size() == 1; }));
    spinFor(30);
    worker->AddOrder(MakeOrder(0, QStringLiteral("GIS"), 1));
    ASSERT_TRUE(waitFor([&] { return finished.size() == 2; }));
    onFinished = [&](const TOrder& o) {
        if (o.TXTag == 2) {
            worker->AddOrder(MakeOrder(0, QStringLiteral("GIS"), 3));
            worker->AddOrder(MakeOrder(0, QStringLiteral("GIS"), 4));
        }
    };
    spinFor(30);
    worker->AddOrder(MakeOrder(0, QStringLiteral("GIS"), 2));
    ASSERT_TRUE(waitFor([&] { return finished.size() == 5; }));
    for (size_t i = 0; i < finished.size(); ++i) {
        EXPECT_EQ(finished[i].Status, kOrderDone);
        EXPECT_EQ(finished[i].TXTag, static_cast<int>(i));
    }
    EXPECT_EQ(peer.written.size(), 5u);
}

// Orders the finished callback queues are written by the hand-over of their predecessor; after
// quick answers in a row, an answer that comes late, or none, must still meet the usual windows
// and attempts.
TEST_F(devicelink_Worker, chainedOrdersAfterQuickAnswers_lateOrMissingAnswersKeepTheirRules)
{
    struct Case {
        const char* name;
        std::vector<std::vector<Reply>> script;  // for the order after the quick ones
        qint32 status;
        size_t writes;
        int timeouts;
        size_t messages;
    };
    const Case cases[] = {
        {"answer long after the pace", {{{30, answerLine("TIN;7;")}}}, kOrderDone, 1, 0, 0},
        {"message at the pace, answer later", {{{1, "TIM;Pumpe an"}, {25, answerLine("TIN;7;")}}}, kOrderDone, 1, 0, 1},
        {"wrong checksum at the pace, then right", {{{1, "TIN;7;00001"}}, {{1, answerLine("TIN;7;")}}}, kOrderDone, 2, 0, 0},
        {"silence", {}, kOrderFailed, 2, 2, 0},
    };
    constexpr int kQuick = 12;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        finished.clear();
        messages.clear();
        protocol.clear();
        peer.written.clear();
        peer.script.clear();
        for (int i = 0; i < kQuick; ++i)
            peer.script.push_back({{0, answerLine("TIS;4;0;")}});
        for (const auto& replies : c.script)
            peer.script.push_back(replies);
        onFinished = [&](const TOrder&) {
            if (finished.size() < kQuick + 1)
                worker->AddOrder(MakeOrder(0, QStringLiteral("GIS"), static_cast<int>(finished.size())));
        };
        worker->AddOrder(MakeOrder(0, QStringLiteral("GIS"), 0));
        ASSERT_TRUE(waitFor([&] { return finished.size() == kQuick + 1; }));
        for (int i = 0; i < kQuick; ++i)
            EXPECT_EQ(finished[i].Status, kOrderDone);
        EXPECT_EQ(finished.back().Status, c.status);
        EXPECT_EQ(peer.written.size(), kQuick + c.writes);
        EXPECT_EQ(count("DEBUG", "Timeout"), c.timeouts);
        EXPECT_EQ(messages.size(), c.messages);
        onFinished = {};
        worker->AcknowledgeComError();
    }
}

TEST_F(devicelink_Worker, exceptionInACallback_isLoggedAndTheWorkerGoesOn)
{
    peer.script.push_back({{1, answerLine("TIN;1;")}});
    peer.script.push_back({{1, answerLine("TIN;2;")}});
    onFinished = [&](const TOrder& o) {
        if (o.RXData == "TIN;1;")
            throw std::runtime_error("boom");
    };
    worker->AddOrder(MakeOrder(0, QStringLiteral("GIN"), 0));
    ASSERT_TRUE(waitFor([&] { return count("ERROR") == 1; }));
    EXPECT_EQ(count("ERROR", "std::runtime_error: boom"), 1);
    worker->AddOrder(MakeOrder(0, QStringLiteral("GIN"), 0));
    ASSERT_TRUE(waitFor([&] { return finished.size() == 2; }));
    EXPECT_EQ(finished[1].RXData, QByteArray("TIN;2;"));
}

TEST_F(devicelink_Worker, stopWhileAnOrderWaits_joinsWithoutCallingBack)
{
    worker->AddOrder(MakeOrder(0, QStringLiteral("GIN"), 0));
    ASSERT_TRUE(waitFor([&] { return peer.written.size() == 1; }));
    worker.reset();  // must neither hang nor crash
    spinFor(2 * kWindowMs);
    EXPECT_TRUE(finished.empty());
}

TEST(devicelink_WorkerShutdown, stopWhileAHandOverIsQueued_doesNotDeadlock)
{
    // The worker's hand-over is queued but the user-interface thread never runs it: Stop() from
    // that thread must still return.
    struct NoPort : TDeviceCommPort {
        bool IsConnected() override { return true; }
        bool Send(const QByteArray&) override { return true; }
    } port;
    auto worker = std::make_unique<TDeviceCommThread>(&port, nullptr, nullptr, 1000);
    worker->Start();
    worker->AddOrder(MakeOrder(0, QStringLiteral("GIN"), 0));
    QThread::msleep(50);
    worker.reset();
    SUCCEED();
}

}  // namespace

namespace {

TEST_F(devicelink_Worker, messageAndAnswerArrivingTogether_bothCount)
{
    // Both lines complete before the worker can take the first.
    peer.script.push_back({{5, "TIM;Akku schwach"}, {5, answerLine("TIS;4;0;")}});
    worker->AddOrder(MakeOrder(0, QStringLiteral("GIS"), 0));
    ASSERT_TRUE(waitFor([&] { return finished.size() == 1; }));
    EXPECT_EQ(finished[0].Status, kOrderDone);
    EXPECT_EQ(finished[0].TXCount, 1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], QStringLiteral("TIM;Akku schwach"));
}

}  // namespace
