// The worker and a halt of the link: the order in flight when the firmware update takes the
// port is never written again, not even when the halt is over by its next attempt.

#include "devicecommthread.h"
#include "sendorder.h"
#include "waitfor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>

namespace {

class TCountingPort : public TDeviceCommPort {
public:
    bool IsConnected() override { return true; }
    bool Send(const QByteArray& frame) override
    {
        Frames << frame;
        return true;
    }
    QList<QByteArray> Frames;
};

struct THaltCase {
    const char* name;
    bool releaseBeforeRetry;  // StartConnecting before the answer window ends
};

class firmware_LinkHalt : public ::testing::TestWithParam<THaltCase> {};

TEST_P(firmware_LinkHalt, orderInFlightEndsFailedAndIsNeverWrittenAgain)
{
    constexpr int kWindowMs = 300;
    TCountingPort port;
    std::optional<TOrder> finished;
    TDeviceCommThread worker(&port, {}, [&](const TOrder& o) { finished = o; }, kWindowMs);
    worker.Start();
    SetLinkHalted(false);
    worker.AddOrder(MakeOrder(4, QStringLiteral("SAR;"), 1));
    ASSERT_TRUE(waitFor([&] { return port.Frames.size() == 1; }));

    // Disconnect: halt, drop the queue.
    SetLinkHalted(true);
    worker.ClearOrders();
    if (GetParam().releaseBeforeRetry)
        SetLinkHalted(false);
    ASSERT_TRUE(waitFor([&] { return finished.has_value(); }, 5 * kWindowMs));
    EXPECT_EQ(finished->Status, kOrderFailed);
    spinFor(kWindowMs);
    EXPECT_EQ(port.Frames.size(), 1);

    // Orders after the halt go out as usual.
    SetLinkHalted(false);
    finished.reset();
    worker.AddOrder(MakeOrder(0, QStringLiteral("GID"), 1));
    ASSERT_TRUE(waitFor([&] { return port.Frames.size() == 2; }));
    worker.Stop();
}

INSTANTIATE_TEST_SUITE_P(Cases, firmware_LinkHalt,
                         ::testing::Values(THaltCase{"stillHalted", false}, THaltCase{"haltLiftedMeanwhile", true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
