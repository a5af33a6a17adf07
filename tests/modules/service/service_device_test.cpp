// The service information window against the virtual device in-process, wired as the main
// window wires it.

#include "devicecommthread.h"
#include "devicemodel.h"
#include "devicestatus.h"
#include "i18n.h"
#include "programsettings.h"
#include "sendorder.h"
#include "serialport.h"
#include "settingsform.h"
#include "tfservice.h"
#include "virtualsarvik.h"
#include "waitfor.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr int kStatusTickMs = 50;
constexpr int kOnlineTimeoutMs = 15000;

class service_Device : public ::testing::Test {
protected:
    void SetUp() override
    {
        BuildProgramSettings(Settings);
        SetProgramLanguage(kLangGerman);
        ASSERT_TRUE(FRoot.isValid());
        TVirtualSarvikOptions o;
        o.root = FRoot.path();
        o.seed = 5;
        o.speed = 4.0;
        FDevice = std::make_unique<TVirtualSarvik>(o);
        QString error;
        ASSERT_TRUE(FDevice->start(&error)) << error.toStdString();
        ASSERT_TRUE(FSerial.RS232Open(FDevice->portPath()));
        Context.ServiceMode = true;
        FStatus = std::make_unique<TDeviceStatus>(Context);
        FStatus->FSetOnline = [this](bool online) {
            Context.Online = online;
            FStatus->OnOnline();
            if (Window->isVisible())
                Window->SetOnOffLine(online ? 1 : 0);
        };
        FWorker = std::make_unique<TDeviceCommThread>(
            &FSerial, [](const QString&) {}, [this](const TOrder& order) {
                if (order.Sender == ciMain)
                    FStatus->ProcessStatusAnswer(order);
                else if (order.Sender == ciService && Window)
                    Window->RXData(order.Status, order.TXTag, FromWire(order.RXData));
            });
        FStatus->FQueuedOrderCount = [this] { return FWorker->QueuedOrderCount(); };
        FSerial.RS232SetReceiveHandler([this](const QByteArray& line) { FWorker->HandleRXData(line); });
        SetOrderSink([this](const TOrder& order) { FWorker->AddOrder(order); });
        FWorker->Start();
        Window = std::make_unique<TfService>(Context);
        Window->SetQuestionBox([](QWidget*, const QString&) { return true; });
        QObject::connect(&Window->Logic(), &TServiceLogic::SysMessageColor,
                         [this](const QString& t, const QColor&) { FExported << t; });
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            FStatus->Tick(kStatusTickMs);
            if (Window->isVisible())
                Window->TimerEvent(kStatusTickMs);
        });
        FTimer.start(kStatusTickMs);
        Window->show();
        ASSERT_TRUE(waitFor([this] { return Context.Online && Window->btnReadData->isEnabled(); }, kOnlineTimeoutMs));
    }
    void TearDown() override
    {
        FTimer.stop();
        SetOrderSink({});
        FWorker.reset();
        Window.reset();
        FSerial.RS232Open(QString());
        if (FDevice)
            FDevice->stop();
    }

    TFSettingsForm Settings;
    TAppContext Context{Settings};
    QTemporaryDir FRoot;
    std::unique_ptr<TVirtualSarvik> FDevice;
    TfRS232 FSerial;
    std::unique_ptr<TDeviceCommThread> FWorker;
    std::unique_ptr<TDeviceStatus> FStatus;
    std::unique_ptr<TfService> Window;
    QTimer FTimer;
    QStringList FExported;
};

TEST_F(service_Device, deviceTestRunsToItsResult)
{
    EXPECT_TRUE(Window->pcService->isTabVisible(Window->pcService->indexOf(Window->tsCounters)));
    TfrTestergebnis* frame = Window->frTestergebnis[1];
    ASSERT_TRUE(frame->btnStartTest->isVisible());
    frame->btnStartTest->click();
    ASSERT_TRUE(waitFor([this] { return Window->Logic().Frames()[1].Running; }));
    ASSERT_TRUE(waitFor([this] { return !Window->Logic().Frames()[1].Running && Window->Logic().Frames()[1].Lit; }, 10000));
    EXPECT_EQ(frame->eErgebnis->text(), QStringLiteral("OK"));
    EXPECT_EQ(frame->eErgVal0->text(), QStringLiteral("190"));
    EXPECT_EQ(frame->eErgVal1->text(), QStringLiteral("810"));
    EXPECT_EQ(Window->Logic().NextTestCheck(), 0);
}

TEST_F(service_Device, errorMemoryReadExportedAndCleared)
{
    Window->btnErrMemRead->click();
    // The newest 129 of 150 slots, one per tick; empty slots add no row.
    ASSERT_TRUE(waitFor([this] { return Window->Logic().NextErrMemIndex() < Window->Logic().LowestErrMemIndex()
                                        && Window->Logic().LowestErrMemIndex() == 21; }, 20000));
    int gaps = 0;
    FDevice->withModel([&gaps](TDeviceModel& m) {
        for (size_t i = 21; i < m.FService.aErrMem.size(); ++i)
            gaps += m.FService.aErrMem[i].iNr == 65535 ? 1 : 0;
    });
    ASSERT_TRUE(waitFor([&] { return Window->lvErrMem->topLevelItemCount() == 129 - gaps; }));
    EXPECT_EQ(Window->lvErrMem->topLevelItem(0)->text(0), QStringLiteral("150"));
    Window->btnErrMemExport->click();
    EXPECT_EQ(FExported.size(), 129 - gaps);
    EXPECT_EQ(Window->FStatusText, QStringLiteral("Fehlerspeicher exportiert"));

    ASSERT_TRUE(Window->btnClearErrMem->isVisibleTo(Window->tsErrMem));
    Window->btnClearErrMem->click();
    ASSERT_TRUE(waitFor([this] {
        return Window->lvErrMem->topLevelItemCount() == 1
               && Window->lvErrMem->topLevelItem(0)->text(2) == QStringLiteral("Manuelles Löschen (143)");
    }));
}

TEST_F(service_Device, countersReadFromTheDevice)
{
    Window->btnReadCounters->click();
    ASSERT_TRUE(waitFor([this] { return Window->Logic().State(QStringLiteral("eBSZ_Gesamt")) == TFieldState::Confirmed
                                        && Window->lvEC->topLevelItem(0)->text(1) == QStringLiteral("57"); }));
    EXPECT_EQ(Window->Logic().Text(QStringLiteral("eBSZ_LK1")), QStringLiteral("0412:17"));
    EXPECT_EQ(Window->Logic().Text(QStringLiteral("eBSZ_Gesamt")), QStringLiteral("0523:19"));
    ASSERT_TRUE(waitFor([this] { return Window->Logic().Text(QStringLiteral("eVolSumme")) == QStringLiteral("35635"); }));
    EXPECT_TRUE(Window->btnCountersExport->isEnabled());
}

}  // namespace
