#include "discovery.h"

#include "fakedevicetree.h"

#include <gtest/gtest.h>

namespace {

using Usb = FakeDeviceTree::Usb;

TEST(disc_Discovery, defaultIds_findOnlyApplicationDevicesInTtyOrder)
{
    FakeDeviceTree tree;
    ASSERT_TRUE(tree.valid());
    tree.addUsb(Usb("ttyACM10", "1-3").withSerial("B2"));
    tree.addUsb(Usb("ttyACM9", "1-2").withSerial("A1").withPort("/dev/pts/7"));
    tree.addUsb(Usb("ttyACM3", "1-4").withIds("0483", "a2ba").withSerial("BOOT"));
    tree.addUsb(Usb("ttyUSB0", "1-5").withIds("0403", "6001").withSerial("FTDI"));
    tree.addVirtualTty(QStringLiteral("tty0"));

    TDeviceDiscovery discovery({tree.root()});
    EXPECT_EQ(kDefaultUsbVid, 1155);
    EXPECT_EQ(kDefaultUsbPid, 41656);
    const QList<TUSBDev> found = discovery.FindDevices(kDefaultUsbVid, kDefaultUsbPid);
    const QList<TUSBDev> expected{
        {kDefaultUsbVid, kDefaultUsbPid, QStringLiteral("A1"), QStringLiteral("/dev/pts/7")},
        {kDefaultUsbVid, kDefaultUsbPid, QStringLiteral("B2"), QStringLiteral("/dev/ttyACM10")},
    };
    EXPECT_EQ(found, expected);

    const QList<TUSBDev> boot = discovery.FindDevices(kDefaultUsbVid, kBootloaderUsbPid);
    ASSERT_EQ(boot.size(), 1);
    EXPECT_EQ(boot.at(0).serialNo, QStringLiteral("BOOT"));
    EXPECT_EQ(discovery.GetPortName(kDefaultUsbVid, kBootloaderUsbPid, QStringLiteral("BOOT")), QStringLiteral("/dev/ttyACM3"));
    EXPECT_TRUE(discovery.GetPortName(kDefaultUsbVid, kDefaultUsbPid, QStringLiteral("BOOT")).isEmpty());
}

TEST(disc_Discovery, deviceWithoutSerial_getsInstanceNameFromUsbPath)
{
    FakeDeviceTree tree;
    tree.addUsb(Usb("ttyACM0", "1-2"));
    TDeviceDiscovery discovery({tree.root()});
    const QList<TUSBDev> found = discovery.FindDevices(kDefaultUsbVid, kDefaultUsbPid);
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found.at(0).serialNo, QStringLiteral("1-2&1.0"));
    EXPECT_TRUE(discovery.IsDevicePresent(found.at(0)));
}

TEST(disc_Discovery, rootsAddUpAndComeFromArgumentsAndEnvironment)
{
    FakeDeviceTree first;
    FakeDeviceTree second;
    first.addUsb(Usb("ttyACM0", "1-2").withSerial("S1"));
    second.addUsb(Usb("ttyACM0", "3-1").withSerial("S2").withPort("/dev/pts/3"));

    EXPECT_EQ(TDeviceDiscovery::DeviceRootsFromArguments(
                  {QStringLiteral("prog"), QStringLiteral("--device-root"), first.root(),
                   QStringLiteral("--device-root=") + second.root(), QStringLiteral("--device-root")}),
              (QStringList{first.root(), second.root()}));

    qputenv("SARVIK_DEVICE_ROOTS", (first.root() + QStringLiteral("::/nonexistent")).toUtf8());
    const QStringList defaults = TDeviceDiscovery::DefaultRoots();
    qunsetenv("SARVIK_DEVICE_ROOTS");
    EXPECT_EQ(defaults, (QStringList{QStringLiteral("/sys"), first.root(), QStringLiteral("/nonexistent")}));

    TDeviceDiscovery discovery({first.root(), QStringLiteral("/nonexistent")});
    discovery.SetDeviceRoots({second.root(), first.root()});
    QStringList serials;
    for (const TUSBDev& d : discovery.FindDevices(kDefaultUsbVid, kDefaultUsbPid))
        serials << d.serialNo + QLatin1Char('@') + d.comPort;
    EXPECT_EQ(serials, (QStringList{QStringLiteral("S1@/dev/ttyACM0"), QStringLiteral("S2@/dev/pts/3")}));
}

// How the device changes after it was found, and whether it then still counts as present.
struct PresenceCase {
    const char* name;
    std::function<void(FakeDeviceTree&)> change;
    bool present;
};

TEST(disc_Discovery, presence_followsTheTreeAfterEveryKindOfChange)
{
    const PresenceCase cases[] = {
        {"unchanged", [](FakeDeviceTree&) {}, true},
        {"tty entry gone", [](FakeDeviceTree& t) { t.removeTty(QStringLiteral("ttyACM0")); }, false},
        {"usb device gone, link dangling", [](FakeDeviceTree& t) { t.removeUsb(QStringLiteral("1-2")); }, false},
        {"other device in the same socket",
         [](FakeDeviceTree& t) { t.setAttribute(QStringLiteral("1-2"), QStringLiteral("serial"), QStringLiteral("OTHER")); },
         false},
        {"rebooted into the bootloader",
         [](FakeDeviceTree& t) { t.setAttribute(QStringLiteral("1-2"), QStringLiteral("idProduct"), QStringLiteral("a2ba")); },
         false},
        {"re-enumerated on another tty",
         [](FakeDeviceTree& t) {
             t.removeTty(QStringLiteral("ttyACM0"));
             t.removeUsb(QStringLiteral("1-2"));
             t.addUsb(Usb("ttyACM1", "1-3").withSerial("ABC123"));
         },
         true},
    };
    for (const PresenceCase& c : cases) {
        SCOPED_TRACE(c.name);
        FakeDeviceTree tree;
        tree.addUsb(Usb("ttyACM0", "1-2").withSerial("ABC123"));
        TDeviceDiscovery discovery({tree.root()});
        ASSERT_EQ(discovery.FindDevices(kDefaultUsbVid, kDefaultUsbPid).size(), 1);
        ASSERT_TRUE(discovery.IsDevicePresent(kDefaultUsbVid, kDefaultUsbPid, QStringLiteral("ABC123")));
        c.change(tree);
        EXPECT_EQ(discovery.IsDevicePresent(kDefaultUsbVid, kDefaultUsbPid, QStringLiteral("ABC123")), c.present);
    }
}

TEST(disc_Discovery, presence_ofADeviceNeverListedIsLookedUp)
{
    FakeDeviceTree tree;
    tree.addUsb(Usb("ttyACM0", "1-2").withSerial("ABC123"));
    TDeviceDiscovery discovery({tree.root()});
    EXPECT_TRUE(discovery.IsDevicePresent(kDefaultUsbVid, kDefaultUsbPid, QStringLiteral("ABC123")));
    EXPECT_FALSE(discovery.IsDevicePresent(kDefaultUsbVid, kDefaultUsbPid, QStringLiteral("abc123")));
    EXPECT_FALSE(discovery.IsDevicePresent(kDefaultUsbVid, kBootloaderUsbPid, QStringLiteral("ABC123")));
    EXPECT_FALSE(TDeviceDiscovery({QStringLiteral("/nonexistent")}).IsDevicePresent(kDefaultUsbVid, kDefaultUsbPid, QStringLiteral("ABC123")));
}

TEST(disc_Discovery, comPortList_numbersSortsAndDescribesEveryRealPort)
{
    FakeDeviceTree tree;
    tree.addUsb(Usb("ttyACM10", "1-3").withSerial("B"));
    tree.addUsb(Usb("ttyACM9", "1-2").withSerial("A").withStrings("", "Sarvik2V2"));
    tree.addUsb(Usb("ttyUSB0", "1-4").withIds("0403", "6001").withStrings("FTDI", "FT232R USB UART"));
    tree.addPlainTty(QStringLiteral("ttyS0"), QStringLiteral("4"));
    tree.setTtyAttribute(QStringLiteral("ttyS0"), QStringLiteral("port"), QStringLiteral("0x3F8"));  // I/O address
    tree.addPlainTty(QStringLiteral("ttyS1"), QStringLiteral("0"));  // no UART behind this slot
    tree.addVirtualTty(QStringLiteral("tty1"));

    TDeviceDiscovery discovery({tree.root()});
    ASSERT_EQ(discovery.EnumComPortList(), 4);
    const QList<TComPortList>& ports = discovery.ComPortList();
    struct Row {
        int nr;
        const char* port;
        const char* description;
    };
    const Row expected[] = {
        {9, "/dev/ttyACM9", "Sarvik2V2"},
        {10, "/dev/ttyACM10", "Sarvik2V2 (Sarvik)"},
        {0, "/dev/ttyS0", ""},
        {0, "/dev/ttyUSB0", "FT232R USB UART (FTDI)"},
    };
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ports.at(i).PNr, expected[i].nr);
        EXPECT_EQ(ports.at(i).Port, QString::fromUtf8(expected[i].port));
        EXPECT_EQ(ports.at(i).PBeschr, QString::fromUtf8(expected[i].description));
    }
}

TEST(disc_Discovery, ttyNamesSortByFamilyThenNumber)
{
    QStringList names{QStringLiteral("ttyACM10"), QStringLiteral("ttyUSB2"), QStringLiteral("ttyACM9"),
                      QStringLiteral("ttyACM0"), QStringLiteral("ttyACM"), QStringLiteral("ttyUSB10")};
    std::sort(names.begin(), names.end(), ComPortNameLess);
    EXPECT_EQ(names, (QStringList{QStringLiteral("ttyACM"), QStringLiteral("ttyACM0"), QStringLiteral("ttyACM9"),
                                  QStringLiteral("ttyACM10"), QStringLiteral("ttyUSB2"), QStringLiteral("ttyUSB10")}));
}

}  // namespace
