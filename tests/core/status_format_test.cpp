#include "deviceformat.h"

#include <gtest/gtest.h>

TEST(core_status_Format, durationSwitchesFromMinutesToHoursAtOneHour)
{
    const struct {
        int seconds;
        const char* text;
    } cases[] = {
        {0, "00:00 m:s"},
        {59, "00:59 m:s"},
        {3599, "59:59 m:s"},
        {3600, "01:00 h:m"},
        {3659, "01:00 h:m"},
        {3660, "01:01 h:m"},
        {100 * 3600, "100:00 h:m"},
        {-5, "00:00 m:s"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatDuration(c.seconds), QString::fromUtf8(c.text)) << c.seconds;
}

TEST(core_status_Format, unitsFollowVolumeTypeBitsWithStandardLitresFirst)
{
    const struct {
        int volumeType;
        const char* volume;
        const char* flow;
    } cases[] = {
        {0, "NL", "NL/min"},
        {1, "SL", "SL/min"},
        {2, "L", "L/min"},
        {3, "SL", "SL/min"},
        {4, "NL", "NL/min"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(VolumeUnitText(c.volumeType), QString::fromUtf8(c.volume)) << c.volumeType;
        EXPECT_EQ(FlowUnitText(c.volumeType), QString::fromUtf8(c.flow)) << c.volumeType;
    }
}

TEST(core_status_Format, maxFlowIsTwoLitresOnlyWithTheFlowVariantBit)
{
    TDeviceState device;
    device.DeviceFeatures = dfDiffPressure | dfExtraBarometer | dfServiceCounters | dfDaylightSaving;
    EXPECT_DOUBLE_EQ(MaxFlow(device), 1.9);
    device.DeviceFeatures |= dfFlow2l;
    EXPECT_DOUBLE_EQ(MaxFlow(device), 2.0);
}
