#include "presetmodel.h"

#include "sendorder.h"
#include "wireformat.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace {

const QString kInnen = QStringLiteral("TSP;3;Innen;60;21;150;1200;0;0;0;0;0;0;0;");

TEST(presets_Answer, innenExample_storesPresetThreeBehindTwoEmptyEntries)
{
    TPresetTable table;
    const auto index = ParsePresetAnswer(table, kOrderDone, kInnen);
    ASSERT_EQ(index, 2);
    ASSERT_EQ(table.size(), 3);
    EXPECT_EQ(table[0], TPreSet{});
    EXPECT_EQ(table[1], TPreSet{});
    const TPreSet& p = table[2];
    EXPECT_EQ(p.ilfdNr, 3);
    EXPECT_EQ(p.strBez, QStringLiteral("Innen"));
    EXPECT_EQ(p.iLoginterv, 60);
    const TSampleSet& c1 = p.aSet[0];
    EXPECT_TRUE(c1.bActive);
    EXPECT_TRUE(c1.bFlowMonitor);
    EXPECT_FALSE(c1.bIntervalMode);
    EXPECT_EQ(c1.iVolType, kVolTypeSL);
    EXPECT_FLOAT_EQ(c1.fFlow, 1.5f);
    EXPECT_FLOAT_EQ(c1.fVolume, 120.0f);
    EXPECT_EQ(c1.iTime, 4800);
    EXPECT_EQ(EffectiveSampleTime(p, 0), 4800);
    EXPECT_FALSE(p.aSet[1].bActive);
    EXPECT_EQ(p.aSet[1].iTime, 0);
    EXPECT_EQ(EffectiveSampleTime(p, 1), 0);
}

TEST(presets_Answer, flowZero_keepsTimeZeroOutsideIntervalMode_setTimeInIntervalMode)
{
    TPresetTable table;
    ASSERT_TRUE(ParsePresetAnswer(table, kOrderDone, QStringLiteral("TSP;1;A;0;16;0;500;0;90;24;0;500;0;90;")));
    EXPECT_EQ(table[0].aSet[0].iTime, 0);
    EXPECT_EQ(EffectiveSampleTime(table[0], 0), 0);
    // Flags 24: active and interval mode; the set time counts, in seconds.
    EXPECT_EQ(EffectiveSampleTime(table[0], 1), 90 * 60);
}

TEST(presets_Answer, flagBitSevenOfChannelTwoIsTheOneKept)
{
    TPresetTable table;
    ParsePresetAnswer(table, kOrderDone, QStringLiteral("TSP;1;A;0;144;100;100;0;0;16;100;100;0;0;"));
    EXPECT_FALSE(table[0].bFlagDef);
    ParsePresetAnswer(table, kOrderDone, QStringLiteral("TSP;1;A;0;16;100;100;0;0;144;100;100;0;0;"));
    EXPECT_TRUE(table[0].bFlagDef);
    EXPECT_TRUE(table[0].aSet[0].bActive);
}

TEST(presets_Answer, answersWithoutUsablePresetNumber_areIgnored)
{
    struct Case {
        int status;
        const char* data;
    };
    const std::vector<Case> cases = {
        {kOrderFailed, "TSP;3;Innen;60;21;150;1200;0;0;0;0;0;0;0;"},
        {kOrderDone, "TSP;0;Null;60;21;150;1200;0;0;0;0;0;0;0;"},
        {kOrderDone, "TSP;11;Elf;60;21;150;1200;0;0;0;0;0;0;0;"},
        {kOrderDone, "TSP;?;"},
        {kOrderDone, "TSP"},
        {kOrderDone, ""},
    };
    for (const Case& c : cases) {
        TPresetTable table;
        EXPECT_FALSE(ParsePresetAnswer(table, c.status, QString::fromUtf8(c.data))) << c.data;
        EXPECT_TRUE(table.isEmpty()) << c.data;
    }
}

TEST(presets_Answer, fieldsThatDoNotParse_leaveStoredValuesUnchanged)
{
    TPresetTable table;
    ParsePresetAnswer(table, kOrderDone, kInnen);
    const TPreSet before = table[2];
    // Log interval, channel 1 flags and delay are not numbers, the rest is missing.
    ASSERT_TRUE(ParsePresetAnswer(table, kOrderDone, QStringLiteral("TSP;3;Innen;x;?;150;1200;-")));
    EXPECT_EQ(table[2].iLoginterv, before.iLoginterv);
    EXPECT_EQ(table[2].aSet[0], before.aSet[0]);
    EXPECT_EQ(table[2].aSet[1].fVolume, before.aSet[1].fVolume);
    // A volume that does not parse leaves the volume but cannot give a sampling time.
    ParsePresetAnswer(table, kOrderDone, QStringLiteral("TSP;3;Innen;60;21;150;?;0;0;0;0;0;0;0;"));
    EXPECT_FLOAT_EQ(table[2].aSet[0].fVolume, 120.0f);
    EXPECT_EQ(table[2].aSet[0].iTime, 0);
    // An empty name field is a name.
    ParsePresetAnswer(table, kOrderDone, QStringLiteral("TSP;3;;60;21;150;1200;0;0;0;0;0;0;0;"));
    EXPECT_TRUE(table[2].strBez.isEmpty());
}

TEST(presets_Time, roundsHalvesToEven)
{
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(2.4999), 2);
    EXPECT_EQ(RoundHalfEven(2.5001), 3);
    // Out of range (an overlong number in a preset file): the nearest limit, never undefined.
    EXPECT_EQ(RoundHalfEven(std::numeric_limits<double>::infinity()), std::numeric_limits<qint64>::max());
    EXPECT_EQ(RoundHalfEven(-1e300), std::numeric_limits<qint64>::min());
    EXPECT_EQ(RoundHalfEven(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(RoundHalfEven(-9223372036854775808.0), std::numeric_limits<qint64>::min());
    // 0.5 l at 0.24 l/min: exactly 125 s; 0.1 l at 0.08 l/min: exactly 75 s.
    TPresetTable table;
    ParsePresetAnswer(table, kOrderDone, QStringLiteral("TSP;1;A;0;16;24;5;0;0;16;8;1;0;0;"));
    EXPECT_EQ(table[0].aSet[0].iTime, 125);
    EXPECT_EQ(table[0].aSet[1].iTime, 75);
}

TPreSet intervalPreset(int channel, qint32 time, qint32 setTimeMin)
{
    TPreSet p;
    p.ilfdNr = 1;
    TSampleSet& s = p.aSet[static_cast<size_t>(channel)];
    s.bIntervalMode = true;
    s.fFlow = 1.0f;
    s.fVolume = 20.0f;
    s.iTime = time;
    s.iSetTime = setTimeMin;
    return p;
}

TEST(presets_IntervalCheck, timesAgainstLimits)
{
    const QString shortTime = QStringLiteral("Probenahmezeit bei Kanal %1 zu kurz für Intervallbetrieb");
    const QString shortSpan = QStringLiteral("Probenahmedauer bei Kanal %1 zu kurz für Intervallbetrieb");
    struct Case {
        int channel;
        qint32 time;
        qint32 setTime;
        bool passes;
        QString message;
    };
    const std::vector<Case> cases = {
        {0, 1199, 600, false, shortTime.arg(1)},
        {0, 1200, 25, true, {}},
        {0, 1260, 25, false, shortSpan.arg(1)},
        {1, 1199, 600, false, shortTime.arg(2)},
        {1, 1260, 25, false, shortSpan.arg(2)},
    };
    for (const Case& c : cases) {
        QString message;
        EXPECT_EQ(CheckIntervalTimes(intervalPreset(c.channel, c.time, c.setTime), message), c.passes)
            << c.channel << " " << c.time;
        EXPECT_EQ(message, c.message);
    }
}

TEST(presets_IntervalCheck, onlyChannelsInIntervalModeWithFlowAndVolumeAreChecked)
{
    QString message;
    TPreSet p = intervalPreset(0, 10, 0);
    p.aSet[0].bIntervalMode = false;
    EXPECT_TRUE(CheckIntervalTimes(p, message));
    p = intervalPreset(0, 10, 0);
    p.aSet[0].fFlow = 0.0f;
    EXPECT_TRUE(CheckIntervalTimes(p, message));
    // An inactive channel with the interval flag is checked all the same.
    p = intervalPreset(1, 10, 0);
    EXPECT_FALSE(p.aSet[1].bActive);
    EXPECT_FALSE(CheckIntervalTimes(p, message));
}

TEST(presets_Command, bothChannelsInactive_sendsFiveZerosPerChannel)
{
    TPreSet p;
    p.ilfdNr = 4;
    p.strBez = QStringLiteral("Leer");
    EXPECT_EQ(PresetCommandText(p), QStringLiteral("SSP;4;Leer;0;0;0;0;0;0;0;0;0;0;0"));
}

TEST(presets_Command, flagsAndScaledValues_roundHalvesToEven_andRoundTrip)
{
    TPresetTable table;
    ParsePresetAnswer(table, kOrderDone, QStringLiteral("TSP;2;Zwei;30;30;185;9995;600;480;6;5;1;0;0;"));
    EXPECT_EQ(PresetCommandText(table[1]), QStringLiteral("SSP;2;Zwei;30;30;185;9995;600;480;6;5;1;0;0"));
    TPreSet p;
    p.ilfdNr = 1;
    p.strBez = QStringLiteral("R");
    p.aSet[0].fFlow = 0.125f;   // 12.5 -> 12
    p.aSet[0].fVolume = 0.25f;  // 2.5 -> 2
    p.aSet[1].fFlow = 0.375f;   // 37.5 -> 38
    p.aSet[1].fVolume = 0.75f;  // 7.5 -> 8
    EXPECT_EQ(PresetCommandText(p), QStringLiteral("SSP;1;R;0;0;12;2;0;0;0;38;8;0;0"));
}

TEST(presets_Command, nameCannotBreakTheFrame)
{
    TPreSet p;
    p.ilfdNr = 1;
    p.strBez = QStringLiteral("a;b\r\nc0123456789012345678901");
    EXPECT_EQ(PresetCommandText(p), QStringLiteral("SSP;1;abc01234567890123456;0;0;0;0;0;0;0;0;0;0;0"));
}

TEST(presets_Command, sentOnlyOnline_asClientOneWithTagZero)
{
    std::vector<TOrder> sent;
    SetOrderSink([&](const TOrder& o) { sent.push_back(o); });
    TPreSet p;
    p.ilfdNr = 5;
    EXPECT_FALSE(BuildPresetCommand(p, false));
    EXPECT_TRUE(sent.empty());
    EXPECT_TRUE(BuildPresetCommand(p, true));
    SetOrderSink({});
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].Sender, 1);
    EXPECT_EQ(sent[0].TXTag, 0);
    EXPECT_EQ(sent[0].TXData, BuildFrame(PresetCommandText(p)));
}

}  // namespace

namespace {

TEST(presets_Answer, hugeSetTime_computedIn64Bits)
{
    // 71582814 min x 60 wraps in 32 bits to 1544 s.
    TPreSet p;
    p.aSet[0] = TSampleSet{true, 1.0f, 40.0f, 2400, 0, 71582814, true, false, kVolTypeNL};
    EXPECT_EQ(EffectiveSampleTime(p, 0), qint64(71582814) * 60);
    QString message;
    EXPECT_TRUE(CheckIntervalTimes(p, message)) << message.toStdString();
}

}  // namespace
