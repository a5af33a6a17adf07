// Manual control logic against a scripted order channel: orders are collected, answers fed to
// RXData, the clock driven by the test.

#include "i18n.h"
#include "manuelllogic.h"
#include "programsettings.h"
#include "sendorder.h"
#include "settingsform.h"
#include "sysmeld.h"
#include "wireformat.h"

#include <gtest/gtest.h>

#include "qtprinters.h"

#include <memory>
#include <vector>

namespace {

QString commandOf(const TOrder& order)
{
    const QString frame = FromWire(order.TXData);
    return frame.left(frame.lastIndexOf(QLatin1Char(';')));
}

class manual_Logic : public ::testing::Test {
protected:
    void SetUp() override
    {
        BuildProgramSettings(Settings);
        SetProgramLanguage(kLangGerman);
        SetOrderSink([this](const TOrder& o) { Sent.push_back(o); });
        SetStatusMessageHook([this](const QString& text, bool alarm) { SysLines << text + (alarm ? "!" : ""); });
        Context.Online = true;
        Logic = std::make_unique<TManuellLogic>(Context);
        Logic->SetClock([this] { return ClockMs; });
    }
    void TearDown() override
    {
        Logic.reset();
        SetOrderSink({});
        SetStatusMessageHook({});
    }
    QStringList takeCommands()
    {
        QStringList list;
        for (const TOrder& o : Sent)
            list << commandOf(o);
        Sent.clear();
        return list;
    }
    void limits(int valve, int closed, int open)
    {
        Logic->RXData(kOrderDone, 0, QStringLiteral("TCS;%1;%2;%3;").arg(valve).arg(closed).arg(open));
    }
    void position(int valve, int p) { Logic->RXData(kOrderDone, 1, QStringLiteral("TMS;%1;%2;").arg(valve).arg(p)); }

    TFSettingsForm Settings;
    TAppContext Context{Settings};
    std::unique_ptr<TManuellLogic> Logic;
    std::vector<TOrder> Sent;
    QStringList SysLines;
    qint64 ClockMs = 1000;
};

TEST(manual_Conversion, servoPercentAndTarget_roundHalfToEven)
{
    EXPECT_EQ(ServoPercent(500, 800, 200), 50);
    EXPECT_EQ(ServoPercent(800, 800, 200), 0);
    EXPECT_EQ(ServoPercent(200, 800, 200), 100);
    // 49.833.. with integer division would be 49.
    EXPECT_EQ(ServoPercent(501, 800, 200), 50);
    EXPECT_EQ(ServoPercent(5, 0, 1000), 0);      // 0.5 -> 0
    EXPECT_EQ(ServoPercent(15, 0, 1000), 2);     // 1.5 -> 2
    for (int p : {0, 500, 900})
        EXPECT_EQ(ServoPercent(p, 400, 400), 0);
    EXPECT_EQ(ServoTarget(25, 800, 200), 650);
    EXPECT_EQ(ServoTarget(25, 200, 800), 350);
    EXPECT_EQ(ServoTarget(0, 800, 200), 800);
    EXPECT_EQ(ServoTarget(100, 800, 200), 200);
    EXPECT_EQ(ServoTarget(50, 0, 5), 2);  // 2.5 -> 2
}

TEST(manual_Conversion, wheelStepsStayBetweenTheEndPositions)
{
    const struct {
        int position, notches;
        bool shift, ctrl;
        int closed, open, target;
    } cases[] = {
        {205, 1, false, true, 800, 200, 200},  // Ctrl, away from the user, raised to A
        {797, -1, false, false, 800, 200, 800},  // towards the user, lowered to Z
        {500, 1, true, false, 800, 200, 499},
        {500, 1, true, true, 800, 200, 480},   // Ctrl wins over Shift
        {500, -2, false, false, 800, 200, 510},
        {795, -1, false, false, 200, 800, 800},  // valve mounted the other way round
        {205, 1, false, false, 200, 800, 200},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WheelTarget(c.position, c.notches, c.shift, c.ctrl, c.closed, c.open), c.target)
            << c.position << " " << c.notches;
}

TEST(manual_Conversion, pumpSetPoints)
{
    const struct {
        double slider;
        int sent;
    } cases[] = {{30, 500}, {8, 80}, {1638.3, 16380}, {10.5, 100}, {11, 500}, {49.4, 500}, {49.5, 500},
                 {50.5, 500}, {0, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(PumpSetPoint(c.slider), c.sent) << c.slider;
}

TEST_F(manual_Logic, online_readsLimits_pollsEveryPointSixSeconds)
{
    Logic->FormShow();
    EXPECT_EQ(takeCommands(), (QStringList{QStringLiteral("GCS;0"), QStringLiteral("GCS;1")}));
    Logic->TimerEvent();
    const QStringList poll{QStringLiteral("GMW"), QStringLiteral("GMF"), QStringLiteral("GMS;0"),
                           QStringLiteral("GMS;1"), QStringLiteral("GMP;0")};
    EXPECT_EQ(takeCommands(), poll);
    ClockMs += 600;
    Logic->TimerEvent();
    EXPECT_TRUE(takeCommands().isEmpty());
    ClockMs += 1;
    Logic->TimerEvent();
    EXPECT_EQ(takeCommands(), poll);
    Context.Online = false;
    Logic->SetOnOffLine(0);
    ClockMs += 5000;
    Logic->TimerEvent();
    EXPECT_TRUE(takeCommands().isEmpty());
    EXPECT_FALSE(Logic->View().PumpEnabled);
    Logic->PumpReleased(30);
    Logic->btnStopClick();
    EXPECT_TRUE(takeCommands().isEmpty());
}

TEST_F(manual_Logic, servoSliders_enabledByKnownLimits)
{
    Logic->FormShow();
    limits(0, 800, 200);
    Logic->RXData(kOrderDone, 0, QStringLiteral("TCS;1;800;"));
    EXPECT_EQ(SysLines, QStringList{QStringLiteral("TSS: Ungültiger Max-Wert Kanal 1")});
    Logic->TimerEvent();
    EXPECT_TRUE(Logic->View().Servo[0].SliderEnabled);
    EXPECT_EQ(Logic->View().Servo[0].ClosedText, QStringLiteral("800"));
    EXPECT_EQ(Logic->View().Servo[0].OpenText, QStringLiteral("200"));
    EXPECT_FALSE(Logic->View().Servo[1].SliderEnabled);

    // Going offline forgets the limits; the next tick disables and shows "?".
    Context.Online = false;
    Logic->SetOnOffLine(0);
    Logic->TimerEvent();
    EXPECT_FALSE(Logic->View().Servo[0].SliderEnabled);
    EXPECT_EQ(Logic->View().Servo[0].ClosedText, QStringLiteral("?"));
    EXPECT_EQ(Logic->View().Servo[0].OpenText, QStringLiteral("?"));
}

TEST_F(manual_Logic, servo_positionPercent_releaseAndWheel)
{
    Logic->FormShow();
    limits(1, 800, 200);
    Logic->TimerEvent();
    takeCommands();
    position(1, 500);
    EXPECT_EQ(Logic->View().Servo[1].PositionText, QStringLiteral("500"));
    EXPECT_EQ(Logic->View().Servo[1].PercentText, QStringLiteral("50"));
    EXPECT_DOUBLE_EQ(Logic->View().Servo[1].SliderPercent, 50.0);
    position(7, 300);  // no such valve
    EXPECT_EQ(Logic->View().Servo[1].PositionText, QStringLiteral("500"));

    // While dragged the slider stays where the user holds it.
    Logic->ServoPressed(1);
    position(1, 800);
    EXPECT_DOUBLE_EQ(Logic->View().Servo[1].SliderPercent, 50.0);
    EXPECT_EQ(Logic->View().Servo[1].PositionText, QStringLiteral("800"));
    Logic->ServoReleased(1, 25);
    EXPECT_EQ(takeCommands(), QStringList{QStringLiteral("SMS;1;650")});

    position(1, 205);
    Logic->ServoWheel(1, 1, false, true);
    position(1, 797);
    Logic->ServoWheel(1, -1, false, false);
    EXPECT_EQ(takeCommands(), (QStringList{QStringLiteral("SMS;1;200"), QStringLiteral("SMS;1;800")}));

    limits(0, 200, 800);
    position(0, 795);
    Logic->ServoWheel(0, -1, false, false);
    EXPECT_EQ(takeCommands(), QStringList{QStringLiteral("SMS;0;800")});
    limits(0, 400, 400);
    position(0, 600);
    EXPECT_EQ(Logic->View().Servo[0].PercentText, QStringLiteral("0"));
}

TEST_F(manual_Logic, liveValues)
{
    SetProgramLanguage(kLangGerman);
    Logic->RXData(kOrderDone, 0, QStringLiteral("TMW;12345;2400;37;"));
    const TManuellView& v = Logic->View();
    EXPECT_EQ(v.PumpText, QStringLiteral(" 12345"));
    EXPECT_DOUBLE_EQ(v.PumpSlider, 1234.5);
    EXPECT_EQ(v.SpeedText, QStringLiteral("  2400"));
    EXPECT_TRUE(v.PumpLed);
    EXPECT_EQ(v.Power, 37);
    Logic->RXData(kOrderDone, 0, QStringLiteral("TMW;0;0;0;"));
    EXPECT_FALSE(v.PumpLed);
    // While the pump slider is held, the set point does not move it.
    Logic->PumpPressed();
    Logic->RXData(kOrderDone, 0, QStringLiteral("TMW;5000;1200;20;"));
    EXPECT_DOUBLE_EQ(v.PumpSlider, 0.0);
    EXPECT_EQ(v.PumpText, QStringLiteral("  5000"));
    Logic->PumpReleased(30);
    EXPECT_EQ(takeCommands(), QStringList{QStringLiteral("SMW;500")});
    Logic->btnStopClick();
    EXPECT_EQ(takeCommands(), QStringList{QStringLiteral("SMW;0")});

    Logic->RXData(kOrderDone, 0, QStringLiteral("TMP;8123;1;"));
    EXPECT_DOUBLE_EQ(v.ReservoirBar, 0.8123);
    EXPECT_EQ(v.ReservoirText, QStringLiteral("812,3"));
    EXPECT_TRUE(v.ReservoirLed);
    Logic->RXData(kOrderDone, 0, QStringLiteral("TMF;1.2345;0.5;"));
    EXPECT_EQ(v.FlowText[0], QStringLiteral("1,2345"));
    EXPECT_EQ(v.FlowText[1], QStringLiteral("0,5000"));
    EXPECT_FLOAT_EQ(static_cast<float>(v.Flow[0]), 1.2345f);

    // Failed or malformed answers change nothing.
    Logic->RXData(kOrderFailed, 0, QStringLiteral("TMP;1;0;"));
    Logic->RXData(kOrderDone, 0, QStringLiteral("TMP;x;y;"));
    EXPECT_EQ(v.ReservoirText, QStringLiteral("812,3"));
    EXPECT_TRUE(v.ReservoirLed);
}

}  // namespace
