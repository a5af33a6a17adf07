#include "uiinvoker.h"
#include "waitfor.h"

#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

// A task that is expected but posted while the caller's handler still runs must wait for that
// handler to return, and then run on the invoker's thread.
TEST(devicelink_UiInvoker, expectedTaskRunsAfterTheCurrentHandlerOnTheInvokersThread)
{
    TUiInvoker invoker;
    std::atomic<bool> posted{false};
    std::atomic<bool> ran{false};
    QThread* ranOn = nullptr;
    std::atomic<bool> stop{false};
    bool waited = false;
    std::thread poster;

    // Plays the serial handler that hands a line to the worker.
    auto handler = [&] {
        poster = std::thread([&] {
            auto ticket = invoker.Post([&] {
                ranOn = QThread::currentThread();
                ran = true;
            });
            posted = true;
            waited = invoker.Wait(ticket, stop);
        });
        while (!posted)
            std::this_thread::sleep_for(100us);
        invoker.ExpectTask(2s);
        EXPECT_FALSE(ran) << "ran inside the handler";
    };
    handler();
    EXPECT_TRUE(waitFor([&] { return ran.load(); }));
    poster.join();
    EXPECT_TRUE(waited);
    EXPECT_EQ(ranOn, QThread::currentThread());
}

// An expectation that nothing meets leaves the usual wake-up in place: what is posted later, or
// was posted while the thread waited, still runs.
TEST(devicelink_UiInvoker, unmetExpectationLosesNoLaterTask)
{
    TUiInvoker invoker;
    invoker.ExpectTask(1ms);
    spinFor(20);
    std::atomic<bool> stop{false};
    std::atomic<bool> ran{false};
    bool waited = false;
    std::thread poster([&] { waited = invoker.Run([&] { ran = true; }, stop); });
    EXPECT_TRUE(waitFor([&] { return ran.load(); }));
    poster.join();
    EXPECT_TRUE(waited);
}

// Ping-pong as the worker does it: every task expects the next one, which the other thread posts
// and waits for while the invoker's thread may be draining from either path. None may be lost
// or run twice.
TEST(devicelink_UiInvoker, tasksExpectedFromInsideTasks_eachRunsOnce)
{
    constexpr int kRounds = 2000;
    TUiInvoker invoker;
    std::atomic<bool> stop{false};
    int runs = 0;
    std::atomic<int> finished{0};
    std::atomic<bool> allWaited{true};
    std::thread worker([&] {
        for (int i = 0; i < kRounds; ++i) {
            // Alternate between waiting at once and letting the expectation run out first.
            if (i % 7 == 3)
                std::this_thread::sleep_for(300us);
            const bool ok = invoker.Run(
                [&] {
                    ++runs;
                    invoker.ExpectTask(50us);
                },
                stop);
            if (!ok)
                allWaited = false;
            ++finished;
        }
    });
    const bool done = waitFor([&] { return finished.load() == kRounds; });
    stop = true;
    invoker.Cancel();
    worker.join();
    ASSERT_TRUE(done) << "stuck after " << finished.load() << " rounds";
    EXPECT_TRUE(allWaited.load());
    EXPECT_EQ(runs, kRounds);
}

}  // namespace
