#include "devicestatus.h"
#include "settingsform.h"
#include "statusarea.h"
#include "statusbar.h"

#include "plxform.h"
#include "programsettings.h"

#include <QAccessible>
#include <QLabel>
#include <QStatusBar>
#include <QTest>
#include <gtest/gtest.h>

#include <set>

namespace {

QString u8(const char* text)
{
    return QString::fromUtf8(text);
}

class core_status_Area : public ::testing::Test {
protected:
    void SetUp() override
    {
        status.FSetOnline = [this](bool online) {
            ctx.Online = online;
            online ? status.OnOnline() : status.OnOffline();
        };
        ConnectStatusArea(status, area);
        area.resize(900, 90);
        area.show();
        status.FSetOnline(false);
    }

    QLabel* label(const char* name) const { return area.findChild<QLabel*>(QLatin1String(name)); }
    void answer(const char* data) { status.ProcessStatusAnswer(kOrderDone, 0, u8(data)); }

    TFSettingsForm settings;
    TAppContext ctx{settings};
    TDeviceStatus status{ctx};
    TStatusArea area;
};

TEST_F(core_status_Area, offlineShowsQuestionMarksAndOnlineTheDeviceValues)
{
    for (const char* name : {"txtSerNo", "txtFirmware", "txtVolume", "txtTemp", "txtHumidity", "txtPressure"}) {
        ASSERT_NE(label(name), nullptr) << name;
        EXPECT_EQ(label(name)->text(), u8("???")) << name;
    }
    EXPECT_FALSE(label("pnlStatus")->isVisible());

    answer("TID;0;3.6.0;HW2;0;3;0");
    answer("TIN;SN4711");
    answer("TIB;3.95;0;3;75");
    EXPECT_EQ(label("txtSerNo")->text(), u8("SN4711"));
    EXPECT_EQ(label("txtFirmware")->text(), u8("3.6.0"));
    EXPECT_EQ(label("txtAkku")->text(), u8("3,95 V"));
    EXPECT_EQ(label("lblAkku")->text(), u8("Akku:"));
    auto* gauge = area.findChild<TBatteryGauge*>(QStringLiteral("gaugeAkku"));
    ASSERT_NE(gauge, nullptr);
    EXPECT_EQ(gauge->Position(), 75);
    EXPECT_EQ(gauge->Colour(), QColor(0, 128, 0));
    EXPECT_TRUE(label("pnlStatus")->isVisible());
}

TEST_F(core_status_Area, statePanelColoursAndSamplingLed)
{
    status.FSetOnline(true);
    answer("TIS;8;0;0;0;0;0;0");
    QLabel* panel = label("pnlStatus");
    EXPECT_EQ(panel->text(), u8("Probenahme"));
    EXPECT_EQ(panel->palette().color(QPalette::Window), QColor(255, 255, 0));
    EXPECT_EQ(panel->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    auto* led = area.findChild<TBlinkLed*>(QStringLiteral("ledSampling"));
    ASSERT_NE(led, nullptr);
    EXPECT_TRUE(led->isVisible());

    answer("TIS;4;0;0;0;0;0;0");
    EXPECT_EQ(panel->text(), u8("Bereit"));
    EXPECT_EQ(panel->palette().color(QPalette::Window), QColor(255, 255, 255));
    EXPECT_FALSE(led->isVisible());
}

TEST_F(core_status_Area, errorPanelListsAlarmsAndHidesOnDoubleClick)
{
    status.FSetOnline(true);
    answer("TIS;4;9;0;0;2;0;0");
    QLabel* panel = label("pnlError");
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->width(), 440);
    EXPECT_EQ(panel->text().split(QLatin1Char('\n')).size(), 3);
    EXPECT_TRUE(area.findChild<TBlinkLed*>(QStringLiteral("ledAlarm"))->isVisible());

    QTest::mouseDClick(panel, Qt::LeftButton);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(status.ErrorPanelVisible());
}

TEST(core_status_Panels, dataPanelStaysLitForHundredMillisecondsOfTicks)
{
    TStatusPanels panels;
    panels.StatusInit(50, nullptr);
    EXPECT_EQ(panels.Panel(spLink).Text, u8("Offline"));
    panels.StatusSetOnline(true);
    EXPECT_EQ(panels.Panel(spLink).Text, u8("Online"));
    EXPECT_EQ(panels.Panel(spLink).State, spsActive);

    panels.StatusDataActivity();
    EXPECT_EQ(panels.Panel(spData).State, spsActive);
    panels.StatusTick();
    EXPECT_EQ(panels.Panel(spData).State, spsActive);
    panels.StatusTick();
    EXPECT_EQ(panels.Panel(spData).State, spsInactive);

    panels.StatusSetMessage(u8("Fehler"), true);
    EXPECT_EQ(panels.Panel(spMessage).State, spsActive);
    panels.StatusClearMessage();
    EXPECT_EQ(panels.Panel(spMessage).Text, QString());
    EXPECT_EQ(panels.Panel(spMessage).State, spsInactive);
}

// What screen readers are told: the name of a widget, and the widgets whose name was told as
// changed.
class AccessibleNames {
public:
    AccessibleNames()
    {
        SetAccessibleChangeObserver([this](QWidget* w, const QString&) { FChanged.insert(w); });
    }
    ~AccessibleNames() { SetAccessibleChangeObserver({}); }
    static QString name(QWidget* w)
    {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
        return iface ? iface->text(QAccessible::Name) : QStringLiteral("<no interface>");
    }
    bool takeChanged(QObject* o) { return FChanged.erase(o) > 0; }

private:
    std::set<QObject*> FChanged;
};

TEST(core_status_Accessible, statusBarPanelsSayWhatTheyDraw)
{
    TStatusPanels panels;
    panels.StatusInit(50, nullptr);
    panels.show();
    AccessibleNames names;
    struct Case {
        const char* what;
        std::function<void()> change;
        int panel;
        QString text;
    };
    const Case cases[] = {
        {"port", [&] { panels.StatusSetPort(u8("/dev/ttyACM0")); }, spPort, u8("/dev/ttyACM0")},
        {"online", [&] { panels.StatusSetOnline(true); }, spLink, u8("Online")},
        {"offline", [&] { panels.StatusSetOnline(false); }, spLink, u8("Offline")},
        {"message", [&] { panels.StatusSetMessage(u8("Verbunden mit Sarvik2V2"), false); }, spMessage,
         u8("Verbunden mit Sarvik2V2")},
        {"alarm", [&] { panels.StatusSetMessage(u8("Luftstrom blockiert"), true); }, spMessage,
         u8("Luftstrom blockiert")},
        {"cleared", [&] { panels.StatusClearMessage(); }, spMessage, QString()},
    };
    EXPECT_EQ(AccessibleNames::name(panels.PanelWidget(spData)), u8("Data"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.change();
        QWidget* w = panels.PanelWidget(c.panel);
        EXPECT_EQ(panels.Panel(c.panel).Text, c.text);
        EXPECT_EQ(AccessibleNames::name(w), c.text);
        EXPECT_TRUE(names.takeChanged(w)) << "no change told";
    }
}

TEST(core_status_Accessible, moduleStatusLineSaysWhatItDraws)
{
    TFSettingsForm settings;
    BuildProgramSettings(settings);
    TAppContext context(settings);
    TPLXForm form(context);
    auto* bar = new QStatusBar(&form);
    form.AttachStatusBar(bar);
    QWidget* line = form.StatusPanel();
    ASSERT_NE(line, nullptr);
    AccessibleNames names;
    form.ShowStatus(u8("Fehler beim Starten der Probenahme"), true);
    EXPECT_EQ(AccessibleNames::name(line), u8("Fehler beim Starten der Probenahme"));
    EXPECT_TRUE(names.takeChanged(line));
    form.ShowStatusInfo(u8("Probenahme gestartet"));
    EXPECT_EQ(AccessibleNames::name(line), u8("Probenahme gestartet"));
    EXPECT_TRUE(names.takeChanged(line));
    QTest::mouseDClick(line, Qt::LeftButton);
    EXPECT_EQ(AccessibleNames::name(line), QString());
    EXPECT_TRUE(names.takeChanged(line));
}

}  // namespace
