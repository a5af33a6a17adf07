#include "connection.h"

#include "fakedevicetree.h"
#include "sendorder.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

constexpr qint64 kTickMs = 5;

// The machine's surroundings: a port that opens as told, devices as listed, a log of calls.
struct FakeLink {
    QList<TUSBDev> devices;
    QSet<QString> openable;         // ports that open
    QSet<QString> denied;           // ports that answer "permission denied"
    QString openPort;               // empty = closed
    bool online = false;
    bool comError = false;
    QStringList calls;              // "open /dev/x", "close", "offline", "info ...", "message ..."
    QList<TOrder> queue;            // what SendOrder queued
    int finds = 0;
    std::function<bool(const TUSBDev&)> present = [](const TUSBDev&) { return true; };

    TConnectionEnv env()
    {
        TConnectionEnv e;
        e.findDevices = [this](int vid, int pid) {
            ++finds;
            QList<TUSBDev> out;
            for (const TUSBDev& d : devices)
                if (d.vid == vid && d.pid == pid)
                    out << d;
            return out;
        };
        e.isDevicePresent = [this](const TUSBDev& d) { return present(d); };
        e.openPort = [this](const QString& port) {
            calls << QStringLiteral("open ") + port;
            openPort.clear();
            if (denied.contains(port))
                return TPortOpenResult::PermissionDenied;
            if (!openable.contains(port))
                return TPortOpenResult::Failed;
            openPort = port;
            return TPortOpenResult::Opened;
        };
        e.closePort = [this] {
            calls << QStringLiteral("close");
            openPort.clear();
        };
        e.isPortOpen = [this] { return !openPort.isEmpty(); };
        e.isOnline = [this] { return online; };
        e.comError = [this] { return comError; };
        e.acknowledgeComError = [this] { comError = false; };
        e.setOffline = [this] {
            calls << QStringLiteral("offline");
            online = false;
        };
        e.showInfo = [this](const QString& t) { calls << QStringLiteral("info ") + t; };
        e.showMessage = [this](const QString& t, bool alarm) {
            calls << (alarm ? QStringLiteral("alarm ") : QStringLiteral("message ")) + t;
        };
        e.clearOrders = [this] {
            calls << QStringLiteral("clear orders");
            queue.clear();
        };
        e.setHalted = [this](bool h) {
            calls << (h ? QStringLiteral("halt") : QStringLiteral("resume"));
            SetLinkHalted(h);
        };
        return e;
    }

    QStringList takeCalls()
    {
        QStringList c = calls;
        calls.clear();
        return c;
    }
};

TUSBDev device(const char* serial, const char* port)
{
    return {kDefaultUsbVid, kDefaultUsbPid, QString::fromUtf8(serial), QString::fromUtf8(port)};
}

// Ticks every 5 ms from now up to and including endMs.
struct Clock {
    qint64 now = 1000;
    void runUntil(TConnectionMachine& m, qint64 endMs)
    {
        while (now < endMs) {
            now += kTickMs;
            m.tick(now);
        }
    }
    void run(TConnectionMachine& m, qint64 forMs) { runUntil(m, now + forMs); }
};

class disc_Connection : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetLinkHalted(false);
        SetOrderSink([this](const TOrder& o) { link.queue << o; });
    }
    void TearDown() override
    {
        SetOrderSink({});
        SetLinkHalted(false);
    }

    // A machine connected to the first device of link.devices.
    void connectFirst(TConnectionMachine& m)
    {
        m.StartConnecting();
        clock.run(m, 300);
        ASSERT_EQ(m.State(), TConnectionMachine::csConnected);
        link.takeCalls();
    }

    FakeLink link;
    Clock clock;
};

TEST_F(disc_Connection, foundDevice_isOpenedAfter200msAndReported)
{
    link.devices = {device("ABC123", "/dev/ttyACM0")};
    link.openable = {QStringLiteral("/dev/ttyACM0")};
    TConnectionMachine m(link.env());
    EXPECT_EQ(m.UsbVid(), 0x0483);
    EXPECT_EQ(m.UsbPid(), 0xA2B8);
    clock.run(m, 100);
    EXPECT_EQ(link.finds, 0) << "idle until connecting starts";

    m.StartConnecting();
    EXPECT_FALSE(LinkHalted());
    link.takeCalls();
    m.tick(clock.now += kTickMs);
    EXPECT_EQ(m.State(), TConnectionMachine::csAboutToOpen);
    const qint64 found = clock.now;
    clock.runUntil(m, found + 200);
    EXPECT_TRUE(link.calls.isEmpty()) << "opens only once 200 ms have passed";
    m.tick(clock.now += kTickMs);
    EXPECT_EQ(link.takeCalls(), QStringList{QStringLiteral("open /dev/ttyACM0")});
    m.tick(clock.now += kTickMs);
    EXPECT_EQ(m.State(), TConnectionMachine::csConnected);
    EXPECT_EQ(link.takeCalls(), QStringList{QStringLiteral("info Verbunden mit Sarvik2V2 an /dev/ttyACM0")});
    clock.run(m, 2000);
    EXPECT_TRUE(link.calls.isEmpty());
    EXPECT_EQ(m.State(), TConnectionMachine::csConnected);
}

TEST_F(disc_Connection, noDevice_searchesEvery500msSilently)
{
    TConnectionMachine m(link.env());
    m.StartConnecting();
    link.takeCalls();
    clock.run(m, 2000);
    EXPECT_GE(link.finds, 3);
    EXPECT_LE(link.finds, 5);
    EXPECT_TRUE(link.calls.isEmpty());
    EXPECT_EQ(m.State(), TConnectionMachine::csSearching);
}

TEST_F(disc_Connection, unopenablePorts_nextDeviceAfter1000msAndIndexWraps)
{
    link.devices = {device("A", "/dev/ttyACM0"), device("B", "/dev/ttyACM1")};
    TConnectionMachine m(link.env());
    m.StartConnecting();
    link.takeCalls();
    clock.run(m, 210);
    EXPECT_EQ(link.takeCalls(), QStringList{QStringLiteral("open /dev/ttyACM0")});
    clock.run(m, 990);
    EXPECT_TRUE(link.calls.isEmpty()) << "the first port gets its full second";
    clock.run(m, 250);
    EXPECT_EQ(link.takeCalls(), QStringList{QStringLiteral("open /dev/ttyACM1")});
    EXPECT_EQ(m.DeviceIndex(), 1);
    clock.run(m, 1250);
    EXPECT_EQ(link.takeCalls(), QStringList{QStringLiteral("open /dev/ttyACM0")});
    EXPECT_EQ(m.DeviceIndex(), 0);

    link.openable = {QStringLiteral("/dev/ttyACM1")};
    clock.run(m, 1250);
    EXPECT_EQ(m.State(), TConnectionMachine::csConnected);
    EXPECT_EQ(m.CurrentDevice(), device("B", "/dev/ttyACM1"));
}

TEST_F(disc_Connection, permissionDenied_reportedOncePerDeviceWhileRetrying)
{
    link.devices = {device("A", "/dev/ttyACM0")};
    link.denied = {QStringLiteral("/dev/ttyACM0")};
    TConnectionMachine m(link.env());
    m.StartConnecting();
    clock.run(m, 5000);
    const QStringList calls = link.takeCalls();
    EXPECT_GE(calls.count(QStringLiteral("open /dev/ttyACM0")), 3) << "keeps retrying";
    const QStringList alarms = calls.filter(QStringLiteral("alarm "));
    ASSERT_EQ(alarms.size(), 1);
    EXPECT_TRUE(alarms.at(0).contains(QStringLiteral("/dev/ttyACM0")));
    EXPECT_TRUE(alarms.at(0).contains(QStringLiteral("udev")));
    EXPECT_TRUE(alarms.at(0).contains(QStringLiteral("\"dialout\"")));

    // Access granted: it connects; taken away again later: told again.
    link.denied.clear();
    link.openable = {QStringLiteral("/dev/ttyACM0")};
    clock.run(m, 1500);
    ASSERT_EQ(m.State(), TConnectionMachine::csConnected);
    link.openPort.clear();
    link.denied = {QStringLiteral("/dev/ttyACM0")};
    clock.run(m, 3000);
    EXPECT_EQ(link.takeCalls().filter(QStringLiteral("alarm ")).size(), 1);
}

TEST_F(disc_Connection, vanishedDevice_detectedWithinOneTick)
{
    link.devices = {device("A", "/dev/ttyACM0")};
    link.openable = {QStringLiteral("/dev/ttyACM0")};
    bool plugged = true;
    link.present = [&plugged](const TUSBDev&) { return plugged; };
    TConnectionMachine m(link.env());
    connectFirst(m);
    link.online = true;

    plugged = false;
    link.devices.clear();
    m.tick(clock.now += kTickMs);
    EXPECT_EQ(m.State(), TConnectionMachine::csSearching);
    EXPECT_EQ(m.DeviceIndex(), 0);
    EXPECT_TRUE(m.CurrentDevice().comPort.isEmpty());
    EXPECT_EQ(link.takeCalls(),
              (QStringList{QStringLiteral("clear orders"), QStringLiteral("close"),
                           QStringLiteral("info Geräte-Verbindung unterbrochen. Versuche erneut zu verbinden..."),
                           QStringLiteral("offline")}));
}

TEST_F(disc_Connection, workerError_takesTheLinkOfflineButKeepsThePort)
{
    link.devices = {device("A", "/dev/ttyACM0")};
    link.openable = {QStringLiteral("/dev/ttyACM0")};
    TConnectionMachine m(link.env());
    connectFirst(m);
    link.online = true;
    link.comError = true;
    m.tick(clock.now += kTickMs);
    EXPECT_EQ(link.takeCalls(), QStringList{QStringLiteral("offline")});
    EXPECT_EQ(link.openPort, QStringLiteral("/dev/ttyACM0"));
    EXPECT_EQ(m.State(), TConnectionMachine::csConnected);
    EXPECT_FALSE(link.comError) << "the flag is taken once the program is offline";
    // Back online, the failure taken before does not take it offline a second time.
    link.online = true;
    m.tick(clock.now += kTickMs);
    EXPECT_TRUE(link.takeCalls().isEmpty());
    // A failure while offline is taken without another offline change.
    link.online = false;
    link.comError = true;
    m.tick(clock.now += kTickMs);
    EXPECT_TRUE(link.takeCalls().isEmpty());
    EXPECT_FALSE(link.comError);
}

TEST_F(disc_Connection, otherDeviceChosen_closesAtOnceDropsQueueAndOpensIt)
{
    link.devices = {device("A", "/dev/ttyACM0"), device("B", "/dev/ttyACM1")};
    link.openable = {QStringLiteral("/dev/ttyACM0"), QStringLiteral("/dev/ttyACM1")};
    TConnectionMachine m(link.env());
    connectFirst(m);
    SendOrder(2, QStringLiteral("GID"), 1);
    SendOrder(2, QStringLiteral("GIS"), 2);
    ASSERT_EQ(link.queue.size(), 2);
    const int findsBefore = link.finds;

    EXPECT_TRUE(m.ConnectTo(device("B", "/dev/ttyACM1")));
    EXPECT_TRUE(link.queue.isEmpty());
    EXPECT_EQ(link.takeCalls(),
              (QStringList{QStringLiteral("halt"), QStringLiteral("clear orders"), QStringLiteral("close"),
                           QStringLiteral("offline"), QStringLiteral("info Verbinde zu /dev/ttyACM1 ..."),
                           QStringLiteral("resume")}));
    EXPECT_TRUE(link.openPort.isEmpty());
    clock.run(m, 195);
    EXPECT_TRUE(link.calls.isEmpty());
    clock.run(m, 15);
    EXPECT_EQ(link.takeCalls(), QStringList{QStringLiteral("open /dev/ttyACM1")}) << "opened 200 ms after the choice";
    clock.run(m, 10);
    EXPECT_EQ(link.finds, findsBefore) << "a chosen device skips the search";
    EXPECT_EQ(m.State(), TConnectionMachine::csConnected);
    EXPECT_EQ(link.openPort, QStringLiteral("/dev/ttyACM1"));
}

TEST_F(disc_Connection, disconnect_haltsUntilConnectingStartsAgain)
{
    link.devices = {device("A", "/dev/ttyACM0")};
    link.openable = {QStringLiteral("/dev/ttyACM0")};
    TConnectionMachine m(link.env());
    connectFirst(m);
    m.Disconnect();
    EXPECT_EQ(m.State(), TConnectionMachine::csIdle);
    EXPECT_TRUE(LinkHalted());
    SendOrder(2, QStringLiteral("GID"), 1);
    EXPECT_TRUE(link.queue.isEmpty()) << "orders are discarded while halted";
    clock.run(m, 3000);
    EXPECT_TRUE(link.openPort.isEmpty());

    m.StartConnecting();
    EXPECT_FALSE(LinkHalted());
    clock.run(m, 300);
    EXPECT_EQ(m.State(), TConnectionMachine::csConnected);
}

TEST_F(disc_Connection, cancelledSelection_leavesTheConnection)
{
    link.devices = {device("A", "/dev/ttyACM0")};
    link.openable = {QStringLiteral("/dev/ttyACM0")};
    TConnectionMachine m(link.env());
    connectFirst(m);
    EXPECT_FALSE(m.ConnectTo(TUSBDev{}));
    EXPECT_TRUE(link.calls.isEmpty());
    EXPECT_EQ(m.State(), TConnectionMachine::csConnected);
    EXPECT_FALSE(LinkHalted());
}

TEST_F(disc_Connection, realTree_unplugDetectedOnTheNextTick)
{
    FakeDeviceTree tree;
    tree.addUsb(FakeDeviceTree::Usb("ttyACM0", "1-2").withSerial("ABC123").withPort("/dev/pts/9"));
    TDeviceDiscovery discovery({tree.root()});
    link.openable = {QStringLiteral("/dev/pts/9")};
    TConnectionEnv env = link.env();
    env.findDevices = [&discovery](int vid, int pid) { return discovery.FindDevices(vid, pid); };
    env.isDevicePresent = [&discovery](const TUSBDev& d) { return discovery.IsDevicePresent(d); };
    TConnectionMachine m(env);
    connectFirst(m);
    EXPECT_EQ(m.CurrentDevice().serialNo, QStringLiteral("ABC123"));
    clock.run(m, 100);
    EXPECT_EQ(m.State(), TConnectionMachine::csConnected);

    tree.removeTty(QStringLiteral("ttyACM0"));
    m.tick(clock.now += kTickMs);
    EXPECT_EQ(m.State(), TConnectionMachine::csSearching);
    EXPECT_TRUE(link.calls.contains(QStringLiteral("close")));
}

}  // namespace
