#include "connection.h"
#include "deviceselect.h"
#include "i18n.h"

#include "fakedevicetree.h"

#include <QAccessible>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

constexpr int kDialogTimeoutMs = 10000;

TUSBDev device(const char* serial, const char* port)
{
    return {kDefaultUsbVid, kDefaultUsbPid, QString::fromUtf8(serial), QString::fromUtf8(port)};
}

QListWidget* list(TfDeviceSelect& d)
{
    return d.findChild<QListWidget*>(QStringLiteral("lbDevices"));
}

QPushButton* button(TfDeviceSelect& d, const char* name)
{
    return d.findChild<QPushButton*>(QString::fromUtf8(name));
}

// Runs action once the dialog is up (exec() blocks the test), with a time-out that rejects it.
void whenShown(TfDeviceSelect& d, std::function<void()> action)
{
    QTimer::singleShot(0, &d, [&d, action] {
        if (!QTest::qWaitFor([&d] { return d.isVisible(); }, kDialogTimeoutMs)) {
            ADD_FAILURE() << "dialog not shown";
            return;
        }
        action();
    });
    QTimer::singleShot(kDialogTimeoutMs, &d, [&d] {
        if (d.isVisible()) {
            ADD_FAILURE() << "dialog still open";
            d.reject();
        }
    });
}

TEST(core_DeviceSelect, lines_showSerialOrPlaceholderAndPort)
{
    TfDeviceSelect d(nullptr);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Geräteauswahl"));
    d.FUnknownSerNo = QStringLiteral("[Sarvik2V2]");
    d.FillList({device("ABC123", "/dev/ttyACM0"), device("6&2B3C4D5&0&1", "/dev/ttyACM7"),
                device("SV200001A", "/dev/ttyACM2"), device("1-2&1.0", "/dev/ttyACM3"),
                device("00001AB", "/dev/ttyACM4")});
    QStringList lines;
    for (int i = 0; i < list(d)->count(); ++i)
        lines << list(d)->item(i)->text();
    EXPECT_EQ(lines, (QStringList{QStringLiteral("ABC123 (/dev/ttyACM0)"), QStringLiteral("[Sarvik2V2] (/dev/ttyACM7)"),
                                  QStringLiteral("[Sarvik2V2] (/dev/ttyACM2)"), QStringLiteral("[Sarvik2V2] (/dev/ttyACM3)"),
                                  QStringLiteral("00001AB (/dev/ttyACM4)")}));
}

TEST(core_DeviceSelect, connectButton_enabledOnlyWithASelection)
{
    TfDeviceSelect d(nullptr);
    d.FillList({device("A", "/dev/ttyACM0"), device("B", "/dev/ttyACM1")});
    EXPECT_FALSE(button(d, "btnConnect")->isEnabled());
    EXPECT_TRUE(d.SelectedDevice().comPort.isEmpty());
    list(d)->setCurrentRow(1);
    EXPECT_TRUE(button(d, "btnConnect")->isEnabled());
    EXPECT_EQ(d.SelectedDevice(), device("B", "/dev/ttyACM1"));
    list(d)->clearSelection();
    EXPECT_FALSE(button(d, "btnConnect")->isEnabled());
    d.FillList({});
    EXPECT_FALSE(button(d, "btnConnect")->isEnabled());
}

TEST(core_DeviceSelect, theSelectedLineCounts_notTheOneWithTheFocus)
{
    TfDeviceSelect d(nullptr);
    d.FillList({device("A", "/dev/ttyACM0"), device("B", "/dev/ttyACM1"), device("C", "/dev/ttyACM2")});
    QListWidget* lb = list(d);
    lb->setCurrentRow(0);
    // Selection moved without the focus: through the selection model, as a screen reader does
    // through the accessibility interface.
    lb->selectionModel()->select(lb->model()->index(2, 0), QItemSelectionModel::ClearAndSelect);
    ASSERT_EQ(lb->currentRow(), 0);
    EXPECT_TRUE(button(d, "btnConnect")->isEnabled());
    EXPECT_EQ(d.SelectedDevice(), device("C", "/dev/ttyACM2"));

    QAccessibleInterface* acc = QAccessible::queryAccessibleInterface(lb);
    ASSERT_NE(acc, nullptr);
    ASSERT_NE(acc->tableInterface(), nullptr);
    acc->tableInterface()->selectRow(1);
    ASSERT_EQ(lb->currentRow(), 0);
    EXPECT_EQ(d.SelectedDevice(), device("B", "/dev/ttyACM1"));
}

TEST(core_DeviceSelect, getDevice_findsTheDevicesOfTheTreeAndReturnsTheChosenOne)
{
    FakeDeviceTree tree;
    using Usb = FakeDeviceTree::Usb;
    tree.addUsb(Usb("ttyACM0", "1-1").withSerial("ABC123"));
    tree.addUsb(Usb("ttyACM1", "1-2"));
    tree.addUsb(Usb("ttyACM2", "1-3").withIds("0483", "a2ba").withSerial("BOOT"));
    TDeviceDiscovery discovery({tree.root()});
    TfDeviceSelect d([&discovery](int vid, int pid) { return discovery.FindDevices(vid, pid); });

    // Double click on the second line.
    whenShown(d, [&d] {
        ASSERT_EQ(list(d)->count(), 2);
        EXPECT_EQ(list(d)->item(1)->text(), QStringLiteral("[Sarvik2V2] (/dev/ttyACM1)"));
        QListWidget* lb = list(d);
        const QRect rect = lb->visualItemRect(lb->item(1));
        QTest::mouseClick(lb->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(lb->viewport(), Qt::LeftButton, {}, rect.center());
    });
    TUSBDev chosen;
    EXPECT_TRUE(d.GetDevice(kDefaultUsbVid, kDefaultUsbPid, chosen));
    EXPECT_EQ(chosen.serialNo, QStringLiteral("1-2&1.0"));
    EXPECT_EQ(chosen.comPort, QStringLiteral("/dev/ttyACM1"));

    // Selection and "Verbinden".
    whenShown(d, [&d] {
        list(d)->setCurrentRow(0);
        QTest::mouseClick(button(d, "btnConnect"), Qt::LeftButton);
    });
    EXPECT_TRUE(d.GetDevice(kDefaultUsbVid, kDefaultUsbPid, chosen));
    EXPECT_EQ(chosen, device("ABC123", "/dev/ttyACM0"));

    // "Abbrechen" with a line selected: no result.
    whenShown(d, [&d] {
        list(d)->setCurrentRow(0);
        QTest::mouseClick(button(d, "btnCancel"), Qt::LeftButton);
    });
    EXPECT_FALSE(d.GetDevice(kDefaultUsbVid, kDefaultUsbPid, chosen));
    EXPECT_TRUE(chosen.comPort.isEmpty());
}

TEST(core_DeviceSelect, cancelledSelection_leavesTheRunningConnection)
{
    QStringList calls;
    QString openPort;
    TConnectionEnv env;
    env.findDevices = [](int, int) { return QList<TUSBDev>{device("A", "/dev/ttyACM0")}; };
    env.openPort = [&openPort](const QString& p) {
        openPort = p;
        return TPortOpenResult::Opened;
    };
    env.isPortOpen = [&openPort] { return !openPort.isEmpty(); };
    env.closePort = [&calls, &openPort] {
        calls << QStringLiteral("close");
        openPort.clear();
    };
    env.clearOrders = [&calls] { calls << QStringLiteral("clear orders"); };
    TConnectionMachine machine(env);
    machine.StartConnecting();
    for (qint64 t = 5; t <= 300; t += 5)
        machine.tick(t);
    ASSERT_EQ(machine.State(), TConnectionMachine::csConnected);

    TfDeviceSelect d([](int, int) { return QList<TUSBDev>{device("A", "/dev/ttyACM0"), device("B", "/dev/ttyACM1")}; });
    whenShown(d, [&d] {
        list(d)->setCurrentRow(1);
        QTest::keyClick(&d, Qt::Key_Escape);
    });
    TUSBDev chosen;
    d.GetDevice(kDefaultUsbVid, kDefaultUsbPid, chosen);
    EXPECT_FALSE(machine.ConnectTo(chosen));
    EXPECT_EQ(machine.State(), TConnectionMachine::csConnected);
    EXPECT_EQ(openPort, QStringLiteral("/dev/ttyACM0"));
    EXPECT_TRUE(calls.isEmpty());
}

TEST(core_DeviceSelect, switchLanguage_retranslatesTheTexts)
{
    TfDeviceSelect d(nullptr);
    ASSERT_TRUE(SetProgramLanguage(kLangEnglish));
    d.SwitchLanguage();
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Device selection"));
    EXPECT_EQ(button(d, "btnConnect")->text(), QStringLiteral("Connect"));
    EXPECT_EQ(button(d, "btnCancel")->text(), QStringLiteral("Cancel"));
    SetProgramLanguage(kLangGerman);
    d.SwitchLanguage();
    EXPECT_EQ(button(d, "btnConnect")->text(), QStringLiteral("Verbinden"));
}

}  // namespace
