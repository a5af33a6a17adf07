// Manual control against the virtual device in-process, wired as the main window wires it:
// serial layer, worker, status polling of client 0, the dispatch of finished orders and ticks.

#include "devicecommthread.h"
#include "devicestatus.h"
#include "i18n.h"
#include "programsettings.h"
#include "sendorder.h"
#include "serialport.h"
#include "settingsform.h"
#include "tfmanuell.h"
#include "virtualsarvik.h"
#include "waitfor.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr int kStatusTickMs = 50;
constexpr int kOnlineTimeoutMs = 15000;

class manual_Device : public ::testing::Test {
protected:
    void SetUp() override
    {
        BuildProgramSettings(Settings);
        SetProgramLanguage(kLangGerman);
        ASSERT_TRUE(Root.isValid());
        TVirtualSarvikOptions o;
        o.root = Root.path();
        o.seed = 3;
        o.speed = 4.0;
        Device = std::make_unique<TVirtualSarvik>(o);
        QString error;
        ASSERT_TRUE(Device->start(&error)) << error.toStdString();
        ASSERT_TRUE(Serial.RS232Open(Device->portPath()));
        Context.ServiceMode = true;
        Status = std::make_unique<TDeviceStatus>(Context);
        Status->FSetOnline = [this](bool online) {
            Context.Online = online;
            Status->OnOnline();
            Window->SetOnOffLine(online ? 1 : 0);
        };
        Worker = std::make_unique<TDeviceCommThread>(
            &Serial, [](const QString&) {}, [this](const TOrder& order) {
                if (order.Sender == ciMain)
                    Status->ProcessStatusAnswer(order);
                else if (order.Sender == ciManuell && Window)
                    Window->RXData(order.Status, order.TXTag, FromWire(order.RXData));
            });
        Status->FQueuedOrderCount = [this] { return Worker->QueuedOrderCount(); };
        Serial.RS232SetReceiveHandler([this](const QByteArray& line) { Worker->HandleRXData(line); });
        SetOrderSink([this](const TOrder& order) { Worker->AddOrder(order); });
        Worker->Start();
        Window = std::make_unique<TfManuell>(Context);
        Window->show();
        QObject::connect(&Timer, &QTimer::timeout, [this] {
            Status->Tick(kStatusTickMs);
            Window->TimerEvent(kStatusTickMs);
        });
        Timer.start(kStatusTickMs);
        ASSERT_TRUE(waitFor([this] { return Context.Online && Window->sliderRE[0]->isEnabled(); }, kOnlineTimeoutMs));
    }
    void TearDown() override
    {
        Timer.stop();
        SetOrderSink({});
        Worker.reset();
        Window.reset();
        Serial.RS232Open(QString());
        if (Device)
            Device->stop();
    }
    double flow(int c) const { return Window->Logic().View().Flow[static_cast<size_t>(c)]; }

    QTemporaryDir Root;
    TFSettingsForm Settings;
    TAppContext Context{Settings};
    std::unique_ptr<TVirtualSarvik> Device;
    TfRS232 Serial;
    std::unique_ptr<TDeviceCommThread> Worker;
    std::unique_ptr<TDeviceStatus> Status;
    std::unique_ptr<TfManuell> Window;
    QTimer Timer;
};

TEST_F(manual_Device, pumpAndValveByHand_theLiveFlowsFollow)
{
    // The device's default end positions: closed 800, open 200.
    EXPECT_EQ(Window->eREMin[0]->text(), QStringLiteral("800"));
    EXPECT_EQ(Window->eREMax[0]->text(), QStringLiteral("200"));
    ASSERT_TRUE(waitFor([this] { return Window->eRE[0]->text() == QStringLiteral("800"); }));
    EXPECT_EQ(Window->eIstFlow[0]->text(), QStringLiteral("0,0000"));

    Window->Logic().PumpReleased(1000);
    ASSERT_TRUE(waitFor([this] { return Window->ePumpe->text().trimmed() == QStringLiteral("10000"); }));
    Window->Logic().ServoReleased(0, 100);
    ASSERT_TRUE(waitFor([this] { return Window->eRE[0]->text() == QStringLiteral("200"); }));
    ASSERT_TRUE(waitFor([this] { return flow(0) > 1.0; }));
    EXPECT_EQ(flow(1), 0.0);
    EXPECT_EQ(Window->eREProz[0]->text(), QStringLiteral("100"));

    // A wheel notch towards the user on the open valve closes it by five increments.
    QWheelEvent wheel(QPointF(10, 5), Window->sliderRE[0]->mapToGlobal(QPointF(10, 5)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(Window->sliderRE[0], &wheel);
    ASSERT_TRUE(waitFor([this] { return Window->eRE[0]->text() == QStringLiteral("205"); }));

    Window->btnStop->click();
    ASSERT_TRUE(waitFor([this] { return flow(0) == 0.0; }));
    EXPECT_FALSE(Window->Logic().View().PumpLed);
}

}  // namespace
