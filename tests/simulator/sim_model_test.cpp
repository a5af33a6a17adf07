// The virtual device without its port: frame checks, line assembly, command handlers and runs,
// driven directly through the model's clock.

#include "commandtable.h"
#include "devicemodel.h"
#include "families.h"
#include "simwire.h"
#include "wireformat.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double kSecondMs = 1000.0;

class sim_Model : public ::testing::Test {
protected:
    sim_Model() : FModel(identity(), 7, QDateTime(QDate(2024, 3, 15), QTime(10, 0, 0))) { RegisterAllCommands(FTable); }

    static TSimIdentity identity()
    {
        TSimIdentity id;
        id.iLanguages = 3;
        return id;
    }

    QString ask(const QString& command) { return AnswerPayload(FTable, FModel, command); }

    // Advances second by second until pred holds or limitS device seconds have passed.
    template <typename P>
    bool runUntil(P pred, double limitS)
    {
        for (double t = 0; t < limitS; t += 1.0) {
            if (pred())
                return true;
            FModel.advance(kSecondMs);
        }
        return pred();
    }

    TDeviceModel FModel;
    TCommandTable FTable;
};

}  // namespace

TEST(sim_Wire, commandFrames_areCheckedByChecksumAndSyntax)
{
    struct Case {
        QByteArray line;
        TFrameCheck expected;
        QByteArray command;
    };
    const Case cases[] = {
        {"GIN;00281", TFrameCheck::Valid, "GIN"},
        {"SAS;3;00400", TFrameCheck::Valid, "SAS;3"},
        {"GLV;0;;00458", TFrameCheck::Valid, "GLV;0;"},
        {"GIN;00282", TFrameCheck::BadChecksum, {}},
        {"GIN;0028", TFrameCheck::Malformed, {}},        // four digits
        {"GIN;0028x", TFrameCheck::Malformed, {}},
        {"GIN00281", TFrameCheck::Malformed, {}},        // no separator
        {BuildFrame(QString()).trimmed(), TFrameCheck::Malformed, {}},               // ";00059"
        {BuildFrame(QStringLiteral("gin")).trimmed(), TFrameCheck::Malformed, {}},  // not capitals
        {BuildFrame(QStringLiteral("GINX")).trimmed(), TFrameCheck::Malformed, {}},
        {BuildFrame(QStringLiteral("GI")).trimmed(), TFrameCheck::Malformed, {}},
        {BuildFrame(QStringLiteral("SSP;1;") + QString(20000, QLatin1Char('z'))).trimmed(), TFrameCheck::Valid,
         "SSP;1;" + QByteArray(20000, 'z')},  // six-digit sum
    };
    for (const Case& c : cases) {
        QByteArray command;
        EXPECT_EQ(CheckCommandFrame(c.line, command), c.expected) << c.line.left(40).constData();
        if (c.expected == TFrameCheck::Valid) {
            EXPECT_EQ(command, c.command);
        }
    }
}

TEST(sim_Wire, lineAssembler_joinsPiecesAndDropsOverlongLines)
{
    TLineAssembler a;
    EXPECT_TRUE(a.feed("GIN;00").isEmpty());
    EXPECT_EQ(a.feed("281\r\nGIS;00286\r\nGI"), (QList<QByteArray>{"GIN;00281", "GIS;00286"}));
    EXPECT_EQ(a.feed("D;00273\n"), QList<QByteArray>{"GID;00273"});
    // Noise without a line end is thrown away up to the next line end; the line after it counts.
    EXPECT_TRUE(a.feed(QByteArray(kMaxFrameBytes + 10, 'x')).isEmpty());
    EXPECT_TRUE(a.feed("xx\r\n").isEmpty());
    EXPECT_EQ(a.feed("GIN;00281\r\n"), QList<QByteArray>{"GIN;00281"});
}

TEST(sim_Wire, answerLine_carriesTheByteSum)
{
    EXPECT_EQ(AnswerLine("TIN;1234;"), QByteArray("TIN;1234;00555\r\n"));
    TOrder order;
    EXPECT_FALSE(CheckAnswer(AnswerLine("TIN;1234;", true).trimmed(), order, {}));
}

TEST_F(sim_Model, unknownCommandsAndBadParameters_getTheQuestionMarkField)
{
    EXPECT_EQ(ask(QStringLiteral("GXY")), QStringLiteral("TXY;?;"));
    EXPECT_EQ(ask(QStringLiteral("GSP;11")), QStringLiteral("TSP;?;"));
    EXPECT_EQ(ask(QStringLiteral("GSP;x")), QStringLiteral("TSP;?;"));
    EXPECT_EQ(ask(QStringLiteral("GIL;3")), QStringLiteral("TIL;?;"));
    EXPECT_EQ(ask(QStringLiteral("GIL;2")), QString::fromUtf8("TIL;2;Fran\u00e7ais;"));
}

TEST_F(sim_Model, parameterSets_storeValidValuesAndLeaveOthers)
{
    struct Case {
        const char* set;
        const char* answer;  // of the set, then of the matching get
    };
    const Case cases[] = {
        {"SSB;10", "TSB;10;"},
        {"SSB;11", "TSB;?;"},
        {"SSL;2", "TSL;2;"},
        {"SSL;3", "TSL;?;"},  // three languages: 0..2
        {"SSJ;2", "TSJ;2;"},
        {"SSJ;1", "TSJ;?;"},
        {"SSV;4;99", "TSV;4;7;"},
        {"SSV;99;9", "TSV;4;9;"},
        {"SSV;11;99", "TSV;?;"},
        {"SSS;0;99", "TSS;0;1;"},
        {"SSE;-20.0", "TSE;-20.0;"},
        {"SSE;-20.1", "TSE;?;"},
        {"SSE;nan", "TSE;?;"},
        {"SSE;21,5", "TSE;?;"},
        {"SSF;1100", "TSF;1100.0;"},
        {"SSF;799.9", "TSF;?;"},
        {"SSD;29.02.2024", "TSD;29.02.2024;"},
        {"SSD;30.02.2024", "TSD;?;"},
        {"SST;23:59:30", "TST;23:59:30;"},
        {"SST;24:00:00", "TST;?;"},
        {"SSX;1", "TSX;1;"},
        {"SSO;4", "TSO;?;"},
    };
    for (const Case& c : cases) {
        const QString set = QLatin1String(c.set);
        EXPECT_EQ(ask(set), QLatin1String(c.answer)) << c.set;
    }
    EXPECT_EQ(ask(QStringLiteral("GSB")), QStringLiteral("TSB;10;"));
    EXPECT_EQ(ask(QStringLiteral("GSV")), QStringLiteral("TSV;4;9;"));
    EXPECT_EQ(ask(QStringLiteral("GSE")), QStringLiteral("TSE;-20.0;"));
    EXPECT_EQ(ask(QStringLiteral("GSD")), QStringLiteral("TSD;29.02.2024;"));
    // The clock goes on from what was set.
    FModel.advance(60 * kSecondMs);
    EXPECT_EQ(ask(QStringLiteral("GST")), QStringLiteral("TST;00:00:30;"));
    EXPECT_EQ(ask(QStringLiteral("GSD")), QStringLiteral("TSD;01.03.2024;"));
}

TEST(sim_ModelFirmware, daylightSaving_onlyFrom360)
{
    struct Case {
        const char* firmware;
        bool known;
    };
    for (const auto& [firmware, known] : {Case{"3.5.9", false}, Case{"3.6", false}, Case{"3.6.0", true}, Case{"4.0.0", true}}) {
        TSimIdentity id;
        id.strFirmware = QLatin1String(firmware);
        TDeviceModel model(id, 1, QDateTime::currentDateTime());
        TCommandTable table;
        RegisterAllCommands(table);
        EXPECT_EQ(AnswerPayload(table, model, QStringLiteral("GSX")) != QStringLiteral("TSX;?;"), known) << firmware;
        EXPECT_EQ(AnswerPayload(table, model, QStringLiteral("SSX;1")) != QStringLiteral("TSX;?;"), known) << firmware;
    }
}

TEST_F(sim_Model, presetWrite_isReadBackExactly_andABadWriteChangesNothing)
{
    const QString stored = QStringLiteral("3;B\u00fcro;60;21;150;1200;0;0;0;0;0;0;0");
    EXPECT_EQ(ask(QStringLiteral("SSP;") + stored), QStringLiteral("TSP;") + stored + QLatin1Char(';'));
    EXPECT_EQ(ask(QStringLiteral("GSP;3")), QStringLiteral("TSP;") + stored + QLatin1Char(';'));
    // Trailing separator as the program may send it.
    EXPECT_EQ(ask(QStringLiteral("SSP;4;A;0;16;100;10;0;0;29;100;2400;5;480;")),
              QStringLiteral("TSP;4;A;0;16;100;10;0;0;29;100;2400;5;480;"));
    const char* const bad[] = {
        "SSP;3;X;60;21;150;1200;0;0;0;0;0;0",              // one field short
        "SSP;3;X;241;21;150;1200;0;0;0;0;0;0;0",           // log interval
        "SSP;3;X;60;19;150;1200;0;0;0;0;0;0;0",            // volume type 3
        "SSP;3;X;60;21;201;1200;0;0;0;0;0;0;0",            // flow above 2.00
        "SSP;3;X;60;21;-1;1200;0;0;0;0;0;0;0",
        "SSP;3;X;60;21;1a0;1200;0;0;0;0;0;0;0",
        "SSP;3;123456789012345678901;60;21;150;1200;0;0;0;0;0;0;0",  // name of 21
        "SSP;0;X;60;21;150;1200;0;0;0;0;0;0;0",
    };
    for (const char* b : bad)
        EXPECT_EQ(ask(QLatin1String(b)), QStringLiteral("TSP;?;")) << b;
    EXPECT_EQ(ask(QStringLiteral("GSP;3")), QStringLiteral("TSP;") + stored + QLatin1Char(';'));
}

TEST_F(sim_Model, factoryPresets_useBothChannels_andOneRunsIntervalsWithFlowMonitoring)
{
    bool bothChannels = false;
    bool intervalWithMonitor = false;
    for (const TSimPreset& p : FModel.FPresets) {
        EXPECT_FALSE(p.strBez.isEmpty());
        EXPECT_LE(p.strBez.size(), 20);
        bothChannels = bothChannels || (p.aSet[0].bActive && p.aSet[1].bActive);
        for (const TSimChannelSet& s : p.aSet) {
            intervalWithMonitor = intervalWithMonitor || (s.bActive && s.bIntervalMode && s.bFlowMonitor);
            // Interval presets must pass the program's own check.
            if (s.bIntervalMode && s.iFlow > 0) {
                const int time = static_cast<int>(std::lround(s.iVolume / 10.0 / (s.iFlow / 100.0) * 60.0));
                EXPECT_GE(time, 1200);
                EXPECT_GE(s.iSetTime * 60, time + 300);
            }
        }
    }
    EXPECT_TRUE(bothChannels);
    EXPECT_TRUE(intervalWithMonitor);
}

TEST_F(sim_Model, run_goesThroughDelayActiveAndEnd_withVolumeInThePresetsType)
{
    // Preset 10: channel 1 1.00 l/min for 1.0 SL; channel 2 0.50 l/min for 0.5 SL after 10 s.
    ASSERT_EQ(ask(QStringLiteral("SAS;10")), QStringLiteral("TAS;0;"));
    EXPECT_EQ(FModel.deviceState(), kDevSampling);
    EXPECT_EQ(FModel.FRun.aChannel[0].iState, kChActive);
    EXPECT_EQ(FModel.FRun.aChannel[1].iState, kChWaiting);
    EXPECT_EQ(ask(QStringLiteral("SAS;1")), QStringLiteral("TAS;2;"));  // no second start
    FModel.advance(5 * kSecondMs);
    EXPECT_EQ(FModel.FRun.aChannel[1].iState, kChWaiting);
    EXPECT_NEAR(FModel.FRun.aChannel[0].fFlow, 1.0, 0.03);
    FModel.advance(10 * kSecondMs);
    EXPECT_EQ(FModel.FRun.aChannel[1].iState, kChActive);
    ASSERT_TRUE(runUntil([&] { return FModel.FRun.aChannel[0].iState == kChFinished; }, 70));
    EXPECT_EQ(FModel.deviceState(), kDevSampling);
    ASSERT_TRUE(runUntil([&] { return FModel.deviceState() == kDevReady; }, 30));
    EXPECT_EQ(FModel.FRun.aChannel[1].iState, kChFinished);
    EXPECT_EQ(ask(QStringLiteral("GMQ")), QStringLiteral("TMQ;0.00;1.00;1;0.00;0.50;1;"));
    EXPECT_EQ(ask(QStringLiteral("GIO")).left(12), QStringLiteral("TIO;0000:01;"));
}

TEST_F(sim_Model, stop_abortsRunningChannels_andLeavesInactiveOnes)
{
    ASSERT_EQ(ask(QStringLiteral("SAS;3")), QStringLiteral("TAS;0;"));  // channel 2 inactive
    FModel.advance(2 * kSecondMs);
    EXPECT_EQ(ask(QStringLiteral("SAH")), QStringLiteral("TAH;0;"));
    EXPECT_EQ(ask(QStringLiteral("GIS")), QStringLiteral("TIS;4;0;0;0;0;8;1;"));
    EXPECT_EQ(ask(QStringLiteral("SAH")), QStringLiteral("TAH;1;"));
}

TEST_F(sim_Model, intervalRun_pausesBetweenIntervals_andEndsAtTheSetTime)
{
    ASSERT_EQ(ask(QStringLiteral("SSJ;4")), QStringLiteral("TSJ;4;"));
    // Preset 5: 240 SL at 1.00 l/min (4 h of pumping) spread over 480 minutes.
    ASSERT_EQ(ask(QStringLiteral("SAS;5")), QStringLiteral("TAS;0;"));
    bool sawPause = false;
    bool sawActiveAfterPause = false;
    ASSERT_TRUE(runUntil(
        [&] {
            const int s = FModel.FRun.aChannel[0].iState;
            sawActiveAfterPause = sawActiveAfterPause || (sawPause && s == kChActive);
            sawPause = sawPause || s == kChIntervalPause;
            return FModel.deviceState() == kDevReady;
        },
        480 * 60 + 60));
    EXPECT_TRUE(sawPause);
    EXPECT_TRUE(sawActiveAfterPause);
    EXPECT_EQ(FModel.FRun.aChannel[0].iState, kChFinished);
    EXPECT_NEAR(FModel.FRun.aChannel[0].fVolume, 240.0, 2.0);
    EXPECT_NEAR(FModel.FRun.fElapsedS, 480 * 60, 2.0);
}

TEST_F(sim_Model, blockedAirFlow_disturbsMonitoredChannels_andThrottlesOthers)
{
    // Preset 5 has flow monitoring on both channels, preset 1 on neither.
    struct Case {
        const char* start;
        int expectedState;
    };
    for (const Case& c : {Case{"SAS;5", kChDisturbed}, Case{"SAS;1", kChActive}}) {
        FModel.FAlarmCode = 0;
        ask(QStringLiteral("SAH"));
        ASSERT_EQ(ask(QLatin1String(c.start)), QStringLiteral("TAS;0;"));
        FModel.advance(3 * kSecondMs);
        FModel.FAlarmCode = 2;
        FModel.advance(3 * kSecondMs);
        EXPECT_EQ(FModel.FRun.aChannel[0].iState, c.expectedState) << c.start;
        EXPECT_LT(FModel.FRun.aChannel[0].fFlow, 0.5) << c.start;
    }
    // All channels disturbed ends the run.
    ask(QStringLiteral("SAH"));
    FModel.FAlarmCode = 2;
    ASSERT_EQ(ask(QStringLiteral("SAS;5")), QStringLiteral("TAS;0;"));
    FModel.advance(2 * kSecondMs);
    EXPECT_EQ(FModel.deviceState(), kDevReady);
}

TEST_F(sim_Model, idleDevice_fallsIntoStandby_andWakesOnASetCommand)
{
    ASSERT_EQ(ask(QStringLiteral("SSR;1")), QStringLiteral("TSR;1;"));
    ASSERT_TRUE(runUntil([&] { return FModel.deviceState() == kDevStandby; }, 61));
    ask(QStringLiteral("GIS"));  // polling does not wake it
    EXPECT_EQ(FModel.deviceState(), kDevStandby);
    ask(QStringLiteral("SSB;5"));
    EXPECT_EQ(FModel.deviceState(), kDevReady);
}

TEST_F(sim_Model, switchOff_needsItsCodePair_andTheIdleTimerSwitchesOffToo)
{
    EXPECT_EQ(ask(QStringLiteral("SAO;428;618")), QStringLiteral("TAO;1;"));
    EXPECT_EQ(ask(QStringLiteral("SAO")), QStringLiteral("TAO;1;"));
    EXPECT_FALSE(FModel.switchOffPending());
    EXPECT_EQ(ask(QStringLiteral("SAO;428;617")), QStringLiteral("TAO;0;"));
    EXPECT_EQ(ask(QStringLiteral("GIS")).left(7), QStringLiteral("TIS;64;"));

    TDeviceModel idle(TSimIdentity{}, 3, QDateTime::currentDateTime());
    idle.FParams.iSwitchOff = 1;  // 10 minutes at rest
    idle.FParams.iStandby = 0;
    idle.advance(9 * 60 * kSecondMs);
    EXPECT_FALSE(idle.switchOffPending());
    idle.advance(61 * kSecondMs);
    EXPECT_TRUE(idle.switchOffPending());
}

TEST_F(sim_Model, pumping_drainsTheBattery_andAnEmptyOneAbortsTheRun)
{
    const double before = FModel.FBatteryPercent;
    ask(QStringLiteral("SAS;1"));
    FModel.advance(600 * kSecondMs);
    EXPECT_LT(FModel.FBatteryPercent, before - 1.0);
    FModel.FBatteryPercent = 0.01;
    FModel.advance(10 * kSecondMs);
    EXPECT_EQ(FModel.deviceState(), kDevReady);
    EXPECT_EQ(FModel.FRun.aChannel[0].iState, kChAborted);
    EXPECT_NE(FModel.FErrorWord1 & (1 << 14), 0);
}
