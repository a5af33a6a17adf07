// The memory monitor window against the virtual device in-process, wired as the main window
// wires it: serial layer, worker, status polling of client 0 and the dispatch of finished orders.

#include "devicecommthread.h"
#include "devicestatus.h"
#include "i18n.h"
#include "programsettings.h"
#include "sendorder.h"
#include "serialport.h"
#include "settingsform.h"
#include "tfmem.h"
#include "virtualsarvik.h"
#include "waitfor.h"

#include <QComboBox>
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

class memory_Device : public ::testing::Test {
protected:
    void SetUp() override
    {
        BuildProgramSettings(Settings);
        SetProgramLanguage(kLangGerman);
        ASSERT_TRUE(Root.isValid());
        TVirtualSarvikOptions o;
        o.root = Root.path();
        o.seed = 5;
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
                else if (order.Sender == ciMem && Window)
                    Window->RXData(order.Status, order.TXTag, FromWire(order.RXData));
            });
        Status->FQueuedOrderCount = [this] { return Worker->QueuedOrderCount(); };
        Serial.RS232SetReceiveHandler([this](const QByteArray& line) { Worker->HandleRXData(line); });
        SetOrderSink([this](const TOrder& order) { Worker->AddOrder(order); });
        Worker->Start();
        Window = std::make_unique<TfMem>(Context);
        Window->SetMessageBox([this](const QString& text) { Messages << text; });
        Window->show();
        QObject::connect(&Timer, &QTimer::timeout, [this] { Status->Tick(kStatusTickMs); });
        Timer.start(kStatusTickMs);
        ASSERT_TRUE(waitFor([this] { return Context.Online && Window->btnRead->isEnabled(); }, kOnlineTimeoutMs));
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
    QStringList rowData(int row) const
    {
        QStringList cells;
        const QTreeWidgetItem* item = Window->lvMem->topLevelItem(row);
        for (int c = 5; item && c < item->columnCount() && !item->text(c).isEmpty(); ++c)
            cells << item->text(c);
        return cells;
    }

    QTemporaryDir Root;
    TFSettingsForm Settings;
    TAppContext Context{Settings};
    std::unique_ptr<TVirtualSarvik> Device;
    TfRS232 Serial;
    std::unique_ptr<TDeviceCommThread> Worker;
    std::unique_ptr<TDeviceStatus> Status;
    std::unique_ptr<TfMem> Window;
    QTimer Timer;
    QStringList Messages;
};

TEST_F(memory_Device, bytesWrittenToRamAreReadBack_flashStaysReadOnly)
{
    Window->tsTarget->setCurrentIndex(0);
    Window->eAdr->setText(QStringLiteral("$200"));
    Window->eAnz->setText(QStringLiteral("4"));
    Window->btnRead->click();
    ASSERT_TRUE(waitFor([this] { return rowData(0).size() == 4; }));
    // The RAM holds its addresses' low bytes.
    EXPECT_EQ(rowData(0), (QStringList{QStringLiteral("  0"), QStringLiteral("  1"), QStringLiteral("  2"),
                                       QStringLiteral("  3")}));

    Window->eWrite->setText(QStringLiteral("$DE;173;$BE;239"));
    Window->btnWrite->click();
    ASSERT_TRUE(waitFor([this] { return rowData(1).size() == 4; }));
    Window->btnRead->click();
    ASSERT_TRUE(waitFor([this] { return rowData(2).size() == 4; }));
    EXPECT_EQ(rowData(2), (QStringList{QStringLiteral("222"), QStringLiteral("173"), QStringLiteral("190"),
                                       QStringLiteral("239")}));
    EXPECT_EQ(Window->lvMem->topLevelItem(2)->foreground(0).color(), QColor(0, 0, 128));

    Window->tsTarget->setCurrentIndex(3);
    Window->btnWrite->click();
    EXPECT_EQ(Messages, QStringList{QStringLiteral("FLASH kann nicht beschrieben werden!")});
    EXPECT_EQ(Window->lvMem->topLevelItemCount(), 3);
}

}  // namespace
