// The service information window's widgets: pages and buttons by mode, firmware and online state,
// the frames' start buttons and running indicators.

#include "i18n.h"
#include "programsettings.h"
#include "sendorder.h"
#include "settingsform.h"
#include "tfservice.h"
#include "wireformat.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

class service_Window : public ::testing::Test {
protected:
    void SetUp() override
    {
        BuildProgramSettings(Settings);
        SetProgramLanguage(kLangGerman);
        SetOrderSink([this](const TOrder& o) {
            const QString frame = FromWire(o.TXData);
            Sent << frame.left(frame.lastIndexOf(QLatin1Char(';')));
        });
    }
    void TearDown() override
    {
        Window.reset();
        SetOrderSink({});
    }
    void open(bool online, bool service, int features)
    {
        Context.Online = online;
        Context.ServiceMode = service;
        Context.Device.DeviceFeatures = static_cast<std::uint8_t>(features);
        Window = std::make_unique<TfService>(Context);
        Window->SetQuestionBox([this](QWidget*, const QString& q) {
            Questions << q;
            return true;
        });
        Window->show();
    }
    bool tabVisible(QWidget* page) const { return Window->pcService->isTabVisible(Window->pcService->indexOf(page)); }

    TFSettingsForm Settings;
    TAppContext Context{Settings};
    std::unique_ptr<TfService> Window;
    QStringList Sent;
    QStringList Questions;
};

TEST_F(service_Window, pagesAndButtonsByModeFirmwareAndOnlineState)
{
    open(false, false, dfDiffPressure | dfExtraBarometer);
    EXPECT_FALSE(tabVisible(Window->tsCounters));
    EXPECT_TRUE(tabVisible(Window->tsErrMem));
    EXPECT_FALSE(Window->btnClearErrMem->isVisibleTo(Window->tsErrMem));
    EXPECT_FALSE(Window->btnReadData->isEnabled());
    EXPECT_FALSE(Window->frTestergebnis[0]->btnStartTest->isEnabled());
    EXPECT_FALSE(Window->btnCountersExport->isEnabled());
    Window.reset();

    open(true, true, dfServiceCounters);
    EXPECT_TRUE(tabVisible(Window->tsCounters));
    EXPECT_TRUE(Window->btnClearErrMem->isVisibleTo(Window->tsErrMem));
    EXPECT_TRUE(Window->btnErrMemRead->isEnabled());
    for (TfrTestergebnis* f : Window->frTestergebnis) {
        EXPECT_TRUE(f->btnStartTest->isVisibleTo(f));
        EXPECT_TRUE(f->btnStartTest->isEnabled());
    }
    Window->btnReadCounters->click();
    EXPECT_TRUE(Window->btnCountersExport->isEnabled());
}

TEST_F(service_Window, startButtonAsksAndARunningTestDisablesIt)
{
    open(true, true, 0);
    TfrTestergebnis* frame = Window->frTestergebnis[2];
    Sent.clear();
    frame->btnStartTest->click();
    EXPECT_EQ(Questions, QStringList({QStringLiteral("Beide Lufteingänge müssen offen sein.\n\nTest starten?")}));
    EXPECT_EQ(Sent, QStringList({QStringLiteral("SMC;2")}));
    Window->RXData(10, 0, QStringLiteral("TMC;2;"));
    EXPECT_FALSE(frame->btnStartTest->isEnabled());
    EXPECT_EQ(frame->aiTestRunning->maximum(), 0);  // busy
    Window->RXData(10, 0, QStringLiteral("TMC;-1;"));
    EXPECT_TRUE(frame->btnStartTest->isEnabled());
    Window->RXData(10, 2, QStringLiteral("TIT;2;12.11.2026;09:41:07;1;123;98;"));
    EXPECT_EQ(frame->eErgVal0->text(), QStringLiteral("0,01230"));
    EXPECT_EQ(frame->eErgebnis->text(), QStringLiteral("OK"));
}

}  // namespace
