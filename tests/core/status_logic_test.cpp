#include "deviceformat.h"
#include "devicestatus.h"
#include "formatsettings.h"
#include "i18n.h"
#include "sendorder.h"
#include "settingsform.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

constexpr int kTickMs = 50;

QString u8(const char* text)
{
    return QString::fromUtf8(text);
}

class core_status_Logic : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetLinkHalted(false);
        SetOrderSink([this](const TOrder& order) { sent << FromWire(order.TXData).left(3); });
        // What the main window's SetOnOffline does with the status logic.
        status.FSetOnline = [this](bool online) {
            ctx.Online = online;
            if (online)
                status.OnOnline();
            else
                status.OnOffline();
        };
        status.FShowSysMessage = [this](const QString& text, bool alarm) { messages.emplace_back(text, alarm); };
        status.FShowErrorPanel = [this](bool show, const QStringList& lines) {
            panelShown = show;
            panelLines = lines;
        };
        status.FQueuedOrderCount = [this] { return queued; };
        status.FCaptionChanged = [this](const QString& text) { caption = text; };
        status.FValuesChanged = [this](const TStatusValues&) { ++valuesChanges; };
    }
    void TearDown() override
    {
        SetOrderSink({});
        SetLinkHalted(false);
        SetProgramLanguage(kLangGerman);
        SetDisplayLocale(QStringLiteral("de_DE"));
    }

    void answer(const char* data) { status.ProcessStatusAnswer(kOrderDone, 0, u8(data)); }
    void goOnline() { answer("TID;0;3.6.0;HW2;0;3;0"); }
    void goOffline() { status.FSetOnline(false); }
    void tickFor(int ms)
    {
        for (int t = 0; t < ms; t += kTickMs)
            status.Tick(kTickMs);
    }

    TFSettingsForm settings;
    TAppContext ctx{settings};
    TDeviceStatus status{ctx};
    const TDeviceState& device = ctx.Device;
    QStringList sent;
    std::vector<std::pair<QString, bool>> messages;
    bool panelShown = false;
    QStringList panelLines;
    int queued = 0;
    QString caption;
    int valuesChanges = 0;
};

TEST_F(core_status_Logic, onlinePollingFollowsTheOneAndSixSecondSchedule)
{
    goOnline();
    ASSERT_TRUE(ctx.Online);
    tickFor(13000);

    EXPECT_NEAR(sent.count(QStringLiteral("GIS")), 13, 1);
    EXPECT_NEAR(sent.count(QStringLiteral("GID")), 13, 1);
    for (const char* slow : {"GIO", "GIB", "GIE"}) {
        const auto n = sent.count(QLatin1String(slow));
        EXPECT_GE(n, 2) << slow;
        EXPECT_LE(n, 3) << slow;
    }
    EXPECT_EQ(sent.count(QStringLiteral("GIN")), 1);
    // The slow queries go out with the first tick after going online, in this order.
    EXPECT_EQ(sent.mid(0, 4), QStringList({"GIN", "GIO", "GIB", "GIE"}));
}

TEST_F(core_status_Logic, offlinePollKnocksOnlyOnAnIdleLink)
{
    const struct {
        int queued;
        bool halted;
        int gidPerThreeSeconds;
    } cases[] = {
        {0, false, 3},
        {2, false, 0},
        {0, true, 0},
    };
    for (const auto& c : cases) {
        sent.clear();
        queued = c.queued;
        SetLinkHalted(c.halted);
        tickFor(3000);
        EXPECT_EQ(sent.count(QStringLiteral("GID")), c.gidPerThreeSeconds) << c.queued << c.halted;
        EXPECT_EQ(sent.size(), sent.count(QStringLiteral("GID"))) << "offline sends nothing but GID";
    }
}

TEST_F(core_status_Logic, deviceInfoGivesVersionFeaturesAndVariants)
{
    const struct {
        const char* data;
        bool ok;
        int major, minor, build;
        int features;
        const char* text;
    } cases[] = {
        {"TID;1;3.3;HW2;1;4;0", true, 3, 3, -1, 0, "3.3"},
        {"TID;1;3.3.0;HW2;1;4;0", true, 3, 3, 0, 2 + 4, "3.3.0"},
        {"TID;1;3.4.0;HW2;1;4;0", true, 3, 4, 0, 2 + 4 + 8, "3.4.0"},
        {"TID;1;3.6.0;HW2;1;4;2", true, 3, 6, 0, 31, "3.6.0"},
        {"TID;1;3.6.x;HW2;1;4;0", true, 3, 6, -1, 2 + 4 + 8, "3.6"},
        {"TID;1;x.3;HW2;1;4;0", false, 0, 0, 0, 0, "0.0.0"},
        {"TID;1;3;HW2;1;4;0", false, 0, 0, 0, 0, "0.0.0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data);
        EXPECT_EQ(status.ParseDeviceInfo(u8(c.data)), c.ok);
        EXPECT_EQ(device.FirmwareMajor, c.major);
        EXPECT_EQ(device.FirmwareMinor, c.minor);
        EXPECT_EQ(device.FirmwareBuild, c.build);
        EXPECT_EQ(device.DeviceFeatures, c.features);
        EXPECT_EQ(device.FirmwareText, u8(c.text));
        EXPECT_EQ(status.Values().FirmwareText, u8(c.text));
    }
    ASSERT_TRUE(status.ParseDeviceInfo(u8("TID;1;3.6.0;HW7;3;5;34")));
    EXPECT_DOUBLE_EQ(MaxFlow(device), 2.0);
    EXPECT_EQ(device.HardwareVersion, u8("HW7"));
    EXPECT_TRUE(device.Jumper[0] && device.Jumper[1]);
    EXPECT_EQ(device.LanguageCount, 5);
    EXPECT_EQ(device.Variant, (std::array<bool, 6>{false, true, false, false, false, true}));
    // A short answer empties what it lacks, except the language count.
    ASSERT_TRUE(status.ParseDeviceInfo(u8("TID;1;3.6.0")));
    EXPECT_EQ(device.HardwareVersion, QString());
    EXPECT_FALSE(device.Jumper[0]);
    EXPECT_EQ(device.LanguageCount, 5);
    EXPECT_EQ(device.DeviceFeatures, 2 + 4 + 8 + 16);
    EXPECT_FALSE(status.ParseDeviceInfo(u8("TIS;1;3.6.0")));
}

TEST_F(core_status_Logic, onlyAReadableDeviceInfoWhileOfflineTakesTheLinkOnline)
{
    answer("TID;1;?;HW2;1;4;0");
    EXPECT_FALSE(ctx.Online);
    status.ProcessStatusAnswer(kOrderFailed, 0, u8("TID;1;3.6.0;HW2;1;4;0"));
    EXPECT_FALSE(ctx.Online);

    goOnline();
    EXPECT_TRUE(ctx.Online);
    EXPECT_TRUE(status.StateDisplay().Visible);
    EXPECT_EQ(sent, QStringList({"GIN"}));
    // Online the device info is a keep-alive and changes nothing.
    answer("TID;1;9.9.9;HW9;0;1;0");
    EXPECT_EQ(device.FirmwareText, u8("3.6.0"));
}

TEST_F(core_status_Logic, serialNumberSetsCaptionUntilOffline)
{
    goOnline();
    EXPECT_EQ(caption, u8("SarvikControl"));
    answer("TIN;SN4711");
    EXPECT_EQ(device.SerialNo, u8("SN4711"));
    EXPECT_EQ(status.Values().SerialNo, u8("SN4711"));
    EXPECT_EQ(caption, u8("SN4711 - SarvikControl"));
    status.ProcessStatusAnswer(kOrderFailed, 0, u8("TIN;SN0000"));
    EXPECT_EQ(device.SerialNo, u8("SN4711"));

    goOffline();
    EXPECT_EQ(caption, u8("SarvikControl"));
    EXPECT_EQ(status.Values().SerialNo, u8("???"));
    // Back online the number is asked for again and not shown before it comes.
    goOnline();
    EXPECT_EQ(device.SerialNo, QString());
    EXPECT_EQ(caption, u8("SarvikControl"));
}

TEST_F(core_status_Logic, climateFieldsDependOnSensorKindAndBarometerFlag)
{
    const struct {
        const char* data;
        const char *temp, *tempUnit, *hum, *humUnit, *pressure;
    } cases[] = {
        {"TIE;0;21.5;°C;45.2;%rF;1;1013.2", "21,5", "°C", "45,2", "%rF", "1013,2"},
        {"TIE;1;21.5;°C;45.2;%rF;1;1013.2", "21,5", "°C", "", "", "1013,2"},
        {"TIE;2;21.5;°C;45.2;%rF;1;1013.2", "", "", "", "", "1013,2"},
        {"TIE;x;21.5;°C;45.2;%rF;0;1013.2", "", "", "", "", ""},
        {"TIE;0;21.5;°C;45.2;%rF;x;1013.2", "21,5", "°C", "45,2", "%rF", ""},
        {"TIE;0", "", "", "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data);
        TOrder order;
        order.Status = kOrderDone;
        order.RXData = ToWire(u8(c.data));  // the device's code page, as the link delivers it
        status.ProcessStatusAnswer(order);
        const TStatusValues& v = status.Values();
        EXPECT_EQ(v.Temperature, u8(c.temp));
        EXPECT_EQ(v.TemperatureUnit, u8(c.tempUnit));
        EXPECT_EQ(v.Humidity, u8(c.hum));
        EXPECT_EQ(v.HumidityUnit, u8(c.humUnit));
        EXPECT_EQ(v.Pressure, u8(c.pressure));
    }
}

TEST_F(core_status_Logic, climateAndBatteryUseTheDisplayLanguageDecimalSeparator)
{
    const struct {
        const char* language;
        const char *temp, *hum, *pressure, *battery;
    } cases[] = {
        {"de_DE", "21,5", "45,2", "1013,2", "3,95 V"},
        {"en_US", "21.5", "45.2", "1013.2", "3.95 V"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        SetDisplayLocale(u8(c.language));
        answer("TIE;0;21.5;°C;45.2;%rF;1;1013.2");
        answer("TIB;3.95;0;3;75");
        EXPECT_EQ(status.Values().Temperature, u8(c.temp));
        EXPECT_EQ(status.Values().Humidity, u8(c.hum));
        EXPECT_EQ(status.Values().Pressure, u8(c.pressure));
        EXPECT_EQ(status.Values().BatteryText, u8(c.battery));
        EXPECT_DOUBLE_EQ(device.BatteryVoltage, 3.95);
    }
}

TEST_F(core_status_Logic, batteryLevelColoursGaugeAndServiceModeShowsTheLevel)
{
    const struct {
        int level;
        QColor colour;
    } cases[] = {
        {0, QColor(255, 0, 0)},   {1, QColor(248, 159, 71)}, {2, QColor(248, 159, 71)},
        {3, QColor(0, 128, 0)},   {4, QColor(0, 255, 0)},    {5, QColor(0, 255, 0)},
    };
    for (const auto& c : cases) {
        answer(QStringLiteral("TIB;3.9;0;%1;50").arg(c.level).toUtf8().constData());
        EXPECT_EQ(status.Values().BatteryColour, c.colour) << c.level;
    }
    EXPECT_EQ(status.Values().BatteryCaption, u8("Akku:"));

    ctx.ServiceMode = true;
    answer("TIB;3.9;0;3;75");
    EXPECT_EQ(status.Values().BatteryColour, QColor(0, 128, 0));
    EXPECT_EQ(status.Values().BatteryPosition, 75);
    EXPECT_EQ(status.Values().BatteryCaption, u8("Akku: 3"));

    // The same answer again does not disturb the display.
    const int changes = valuesChanges;
    answer("TIB;3.9;0;3;75");
    EXPECT_EQ(valuesChanges, changes);

    // An unknown level keeps colour and caption; a missing percentage empties the gauge.
    answer("TIB;3.9;0;9");
    EXPECT_EQ(status.Values().BatteryColour, QColor(0, 128, 0));
    EXPECT_EQ(status.Values().BatteryCaption, u8("Akku: 3"));
    EXPECT_EQ(status.Values().BatteryPosition, 0);
    answer("TIB");
    EXPECT_EQ(status.Values().BatteryText, QString());
}

TEST_F(core_status_Logic, totalsShowRunTimeAndPaddedVolume)
{
    answer("TIO;1234:56;x;y;567");
    EXPECT_EQ(status.Values().TotalRunTime, u8("1234:56"));
    EXPECT_EQ(status.Values().TotalVolume, u8("  567"));
    answer("TIO;12:00;;;abc");
    EXPECT_EQ(status.Values().TotalVolume, QString());
    answer("TIO");
    EXPECT_EQ(status.Values().TotalRunTime, QString());
}

TEST_F(core_status_Logic, deviceStatePanelFollowsKnownCodesOnly)
{
    answer("TIS;8;0;0;0;0;5;6");
    EXPECT_EQ(status.StateDisplay().Text, u8("Probenahme"));
    EXPECT_EQ(status.StateDisplay().Back, QColor(255, 255, 0));
    EXPECT_EQ(status.StateDisplay().Font, QColor(0, 0, 255));
    EXPECT_TRUE(status.StateDisplay().SamplingLed);
    EXPECT_TRUE(device.Sampling);
    EXPECT_EQ(device.Channel1State, 5);
    EXPECT_EQ(device.Channel2State, 6);

    const TStateDisplay before = status.StateDisplay();
    answer("TIS;3;0;0;0;0;5;6");
    EXPECT_EQ(device.DeviceState, 3);
    EXPECT_EQ(status.StateDisplay(), before);
    EXPECT_TRUE(device.Sampling);

    // Fields that are missing or not numbers keep their values.
    answer("TIS;x;;;;;y");
    EXPECT_EQ(device.DeviceState, 3);
    EXPECT_EQ(device.Channel1State, 5);

    answer("TIS;16;0;0;0;0;0;0");
    EXPECT_EQ(status.StateDisplay().Text, u8("Bereitschaft"));
    EXPECT_EQ(status.StateDisplay().Back, QColor(128, 128, 0));
    EXPECT_EQ(status.StateDisplay().Font, QColor(255, 255, 255));
    EXPECT_FALSE(device.Sampling);
    answer("TIS;0;0;0;0;0;0;0");
    EXPECT_EQ(status.StateDisplay().Text, QString());
    EXPECT_FALSE(status.StateDisplay().Back.isValid());
}

TEST_F(core_status_Logic, alarmIsReportedOnceAndClearedWithAcknowledgement)
{
    answer("TIS;4;0;0;0;0;0;0");
    EXPECT_TRUE(messages.empty());

    answer("TIS;4;9;0;0;2;0;0");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, u8("Luftstrom blockiert, Sensordaten fehlerhaft, 5-Volt-Versorgung gestört"));
    EXPECT_TRUE(messages[0].second);
    EXPECT_TRUE(panelShown);
    EXPECT_EQ(panelLines,
              QStringList({u8("Luftstrom blockiert"), u8("Sensordaten fehlerhaft"), u8("5-Volt-Versorgung gestört")}));
    EXPECT_EQ(status.DeviceErrorText(true),
              u8("Luftstrom blockiert\r\nSensordaten fehlerhaft\r\n5-Volt-Versorgung gestört"));
    EXPECT_TRUE(device.AlarmActive);
    EXPECT_TRUE(status.Values().AlarmLed);

    // Other bits while the alarm is shown: no second report.
    answer("TIS;4;1;0;0;3;0;0");
    EXPECT_EQ(messages.size(), 1u);

    answer("TIS;4;0;0;0;0;0;0");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1], std::make_pair(u8("Alarm quittiert"), false));
    EXPECT_FALSE(device.AlarmActive);
    EXPECT_FALSE(status.Values().AlarmLed);
    EXPECT_TRUE(panelShown) << "the panel stays until the user closes it";
}

TEST_F(core_status_Logic, channelErrorWordAloneRaisesASilentAlarm)
{
    answer("TIS;4;0;1;0;0;0;0");
    EXPECT_TRUE(device.AlarmActive);
    EXPECT_TRUE(status.Values().AlarmLed);
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(panelShown);
    EXPECT_TRUE(panelLines.isEmpty());
}

TEST_F(core_status_Logic, pendingAlarmIsReportedAgainAfterReconnection)
{
    goOnline();
    answer("TIS;4;0;0;0;3;0;0");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, u8("Motorstörung"));
    status.ShowErrorPanel(false);  // the user closed the panel

    goOffline();
    EXPECT_FALSE(status.Values().AlarmLed);
    EXPECT_EQ(device.AlarmCode, 0);
    goOnline();
    answer("TIS;4;0;0;0;3;0;0");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].first, u8("Motorstörung"));
    EXPECT_TRUE(panelShown);
}

TEST_F(core_status_Logic, goingOfflineResetsTheDisplay)
{
    goOnline();
    answer("TIS;8;1;0;0;0;1;1");
    answer("TIO;10:00;0;0;42");
    answer("TIB;3.9;0;3;75");
    answer("TIE;0;21.5;°C;45.2;%rF;1;1013.2");
    goOffline();

    const TStatusValues& v = status.Values();
    for (const QString& text : {v.SerialNo, v.FirmwareText, v.TotalVolume, v.Temperature, v.Humidity, v.Pressure})
        EXPECT_EQ(text, u8("???"));
    EXPECT_EQ(v.TotalRunTime, QString());
    EXPECT_EQ(v.BatteryText, QString());
    EXPECT_EQ(v.BatteryPosition, 0);
    EXPECT_FALSE(v.AlarmLed);
    EXPECT_FALSE(panelShown);
    EXPECT_EQ(status.StateDisplay().Text, u8("???"));
    EXPECT_FALSE(status.StateDisplay().SamplingLed);
    EXPECT_EQ(device.DeviceState, 0);
    EXPECT_EQ(device.Channel1State, 0);

    // The same state as before the loss is drawn again.
    goOnline();
    answer("TIS;8;0;0;0;0;1;1");
    EXPECT_EQ(status.StateDisplay().Text, u8("Probenahme"));
}

TEST_F(core_status_Logic, switchingLanguageRetranslatesWhatIsShown)
{
    answer("TIS;8;0;0;0;0;0;0");
    answer("TIB;3.95;0;3;75");
    ASSERT_TRUE(SetProgramLanguage(kLangEnglish)) << "English catalogue not found";
    status.SwitchLanguage();
    EXPECT_EQ(status.StateDisplay().Text, u8("Sampling"));
    EXPECT_EQ(status.Values().BatteryCaption, u8("Battery:"));
    answer("TIS;8;0;0;0;2;0;0");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, u8("Air flow blocked"));
}

}  // namespace
