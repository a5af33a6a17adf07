// The counters window against the virtual device in-process, wired as the main window wires it.

#include "devicecommthread.h"
#include "devicemodel.h"
#include "devicestatus.h"
#include "i18n.h"
#include "programsettings.h"
#include "sendorder.h"
#include "serialport.h"
#include "settingsform.h"
#include "tfzaehler.h"
#include "virtualsarvik.h"
#include "waitfor.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr int kStatusTickMs = 50;
constexpr int kOnlineTimeoutMs = 15000;

class counters_Device : public ::testing::Test {
protected:
    void SetUp() override
    {
        BuildProgramSettings(Settings);
        SetProgramLanguage(kLangGerman);
        ASSERT_TRUE(FRoot.isValid());
        TVirtualSarvikOptions o;
        o.root = FRoot.path();
        o.seed = 3;
        FDevice = std::make_unique<TVirtualSarvik>(o);
        QString error;
        ASSERT_TRUE(FDevice->start(&error)) << error.toStdString();
        ASSERT_TRUE(FSerial.RS232Open(FDevice->portPath()));
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
                else if (order.Sender == ciZaehler && Window)
                    Window->RXData(order.Status, order.TXTag, FromWire(order.RXData));
            });
        FStatus->FQueuedOrderCount = [this] { return FWorker->QueuedOrderCount(); };
        FSerial.RS232SetReceiveHandler([this](const QByteArray& line) { FWorker->HandleRXData(line); });
        SetOrderSink([this](const TOrder& order) { FWorker->AddOrder(order); });
        FWorker->Start();
        Window = std::make_unique<TfZaehler>(Context);
        QObject::connect(&FTimer, &QTimer::timeout, [this] { FStatus->Tick(kStatusTickMs); });
        FTimer.start(kStatusTickMs);
        Window->show();
        ASSERT_TRUE(waitFor([this] { return Context.Online; }, kOnlineTimeoutMs));
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
    QString text(const char* name) const { return Window->Logic().Text(QString::fromUtf8(name)); }

    TFSettingsForm Settings;
    TAppContext Context{Settings};
    QTemporaryDir FRoot;
    std::unique_ptr<TVirtualSarvik> FDevice;
    TfRS232 FSerial;
    std::unique_ptr<TDeviceCommThread> FWorker;
    std::unique_ptr<TDeviceStatus> FStatus;
    std::unique_ptr<TfZaehler> Window;
    QTimer FTimer;
};

TEST_F(counters_Device, readsEverythingOnGoingOnline_writesACounterAndTheSerialNumber)
{
    ASSERT_TRUE(waitFor([this] { return Window->Logic().State(QStringLiteral("eSerNr")) == TFieldState::Confirmed
                                        && Window->Logic().MonitorFlagsState() == TFieldState::Normal
                                        && Window->lvEC->topLevelItem(7)->text(1) == QStringLiteral("0"); }));
    EXPECT_EQ(text("eSerNr"), QStringLiteral("SV2000123"));
    EXPECT_EQ(text("eBSZ_LK1"), QStringLiteral("412:17:05"));
    EXPECT_EQ(text("eBSZ_Gesamt"), QStringLiteral("523:19:04"));
    EXPECT_EQ(text("ePerso1"), QStringLiteral("Sarvik GmbH"));
    EXPECT_EQ(text("eVolSumme"), QStringLiteral("35635"));
    EXPECT_EQ(Window->lvJC->topLevelItemCount(), 27);  // firmware 3.6.0
    EXPECT_EQ(Window->lvEC->topLevelItem(0)->text(1), QStringLiteral("57"));
    EXPECT_EQ(Window->lvEC->topLevelItem(4)->foreground(1).color(), QColor(255, 0, 0));

    // A counter set by the user's click and saved; the device dates it.
    Window->SetCountDialog([](QWidget*, const QString&, const QString&, const QString&) -> std::optional<QString> {
        return QStringLiteral("3");
    });
    QTreeWidgetItem* row = Window->lvEC->topLevelItem(3);
    QTest::mouseClick(Window->lvEC->viewport(), Qt::LeftButton, {}, Window->lvEC->visualItemRect(row).center());
    EXPECT_EQ(row->text(1), QStringLiteral("3"));
    Window->Button(QStringLiteral("btnEventzaehlerSpeichern"))->click();
    ASSERT_TRUE(waitFor([row] { return row->text(2) != QStringLiteral("?") && !row->text(2).isEmpty(); }));
    int stored = -1;
    FDevice->withModel([&stored](TDeviceModel& m) { stored = m.FCounters.aEvent[3].iCount; });
    EXPECT_EQ(stored, 3);

    Window->Field(QStringLiteral("eSerNr"))->clear();
    QTest::keyClicks(Window->Field(QStringLiteral("eSerNr")), QStringLiteral("SV2000999XYZ"));
    EXPECT_EQ(Window->Field(QStringLiteral("eSerNr"))->text(), QStringLiteral("SV2000999"));
    Window->Button(QStringLiteral("btnSetSerNr"))->click();
    ASSERT_TRUE(waitFor([this] { return Window->Logic().State(QStringLiteral("eSerNr")) == TFieldState::Confirmed; }));
    QString serial;
    FDevice->withModel([&serial](TDeviceModel& m) { serial = m.FIdentity.strSerial; });
    EXPECT_EQ(serial, QStringLiteral("SV2000999"));

    // Checking flags 0 and 3 by hand.
    Window->clbMonitorFlags->item(0)->setCheckState(Qt::Checked);
    Window->clbMonitorFlags->item(3)->setCheckState(Qt::Checked);
    ASSERT_TRUE(waitFor([this] {
        int flags = -1;
        FDevice->withModel([&flags](TDeviceModel& m) { flags = m.FCounters.iMonitorFlags; });
        return flags == 9;
    }));
}

}  // namespace
