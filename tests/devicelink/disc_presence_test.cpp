// The connection machine driven by its timer against real ports: while connected nothing is
// scheduled, and a removal is noticed from its event alone.

#include "connectiontimer.h"
#include "discovery.h"
#include "presencewatcher.h"
#include "serialport.h"
#include "virtualsarvik.h"

#include "fakedevicetree.h"
#include "waitfor.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

const QString kLost = QStringLiteral("Geräte-Verbindung unterbrochen. Versuche erneut zu verbinden...");

// Discovery, serial port, machine and timer as the program wires them, without windows.
struct Link {
    TDeviceDiscovery discovery;
    TfRS232 port;
    QStringList infos;
    int offline = 0;
    TConnectionMachine machine;
    TConnectionTimer timer;

    explicit Link(const QStringList& roots)
        : discovery(roots)
        , machine(env())
        , timer(machine)
    {
        timer.WatchRoots(discovery.Roots());
        QObject::connect(&port, &TfRS232::RS232PortLost, &timer, &TConnectionTimer::Poke);
        machine.StartConnecting();
        timer.start();
    }
    ~Link() { timer.stop(); }

    TConnectionEnv env()
    {
        TConnectionEnv e;
        e.findDevices = [this](int vid, int pid) { return discovery.FindDevices(vid, pid); };
        e.isDevicePresent = [this](const TUSBDev& d) { return discovery.IsDevicePresent(d); };
        e.openPort = [this](const QString& p) {
            return port.RS232Open(p) ? TPortOpenResult::Opened : TPortOpenResult::Failed;
        };
        e.closePort = [this] { port.RS232Open(QString()); };
        e.isPortOpen = [this] { return port.RS232Connected(); };
        e.setOffline = [this] { ++offline; };
        e.showInfo = [this](const QString& t) { infos << t; };
        e.setHalted = [](bool) {};
        return e;
    }

    bool connected() const { return machine.State() == TConnectionMachine::csConnected; }
};

// Connected and quiet: no run of the machine is scheduled, and a while later nothing happened.
void expectQuietWhileConnected(Link& link)
{
    ASSERT_TRUE(waitFor([&] { return link.connected(); }));
    ASSERT_TRUE(link.timer.Presence().Complete());
    spinFor(60);
    EXPECT_EQ(link.timer.remainingTime(), -1) << "connected and nothing happens: nothing is due";
    EXPECT_TRUE(link.connected());
    EXPECT_FALSE(link.infos.contains(kLost));
}

void expectNoticed(Link& link)
{
    ASSERT_TRUE(waitFor([&] { return link.infos.contains(kLost); }));
    EXPECT_FALSE(link.port.RS232Connected());
    EXPECT_EQ(link.machine.State(), TConnectionMachine::csSearching);
    EXPECT_EQ(link.offline, 1);
    EXPECT_EQ(link.infos.count(kLost), 1);
}

TEST(disc_Presence, removalInABuiltTree_isNoticedFromItsEventAlone)
{
    struct Case {
        const char* what;
        std::function<void(FakeDeviceTree& tree, int& master)> remove;
    };
    const Case cases[] = {
        {"tty entry removed", [](FakeDeviceTree& t, int&) { t.removeTty(QStringLiteral("ttyACM0")); }},
        {"USB device removed", [](FakeDeviceTree& t, int&) { t.removeUsb(QStringLiteral("1-2")); }},
        {"port hung up", [](FakeDeviceTree&, int& master) {
             ::close(master);
             master = -1;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int master = -1;
        int slave = -1;
        char name[256] = {};
        ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
        ::close(slave);  // the port's only user is the program: closing the master hangs it up
        FakeDeviceTree tree;
        tree.addUsb(FakeDeviceTree::Usb("ttyACM0", "1-2").withSerial("ABC123").withPort(name));
        Link link({tree.root()});
        expectQuietWhileConnected(link);
        c.remove(tree, master);
        expectNoticed(link);
        if (master >= 0)
            ::close(master);
    }
}

TEST(disc_Presence, treeMadeAfterTheStart_isWatchedOnceItExists)
{
    QTemporaryDir parent;
    const QString root = parent.filePath(QStringLiteral("root"));
    QDir().mkpath(root);
    TVirtualSarvikOptions options;
    options.root = root;
    Link link({root});
    EXPECT_FALSE(link.timer.Presence().Complete()) << "class/tty and devices do not exist yet";
    TVirtualSarvik device(options);
    QString error;
    ASSERT_TRUE(device.start(&error)) << error.toStdString();
    expectQuietWhileConnected(link);
    ASSERT_TRUE(device.unplug(&error)) << error.toStdString();
    expectNoticed(link);
    // Plugged in again it is found and opened on the machine's own steps.
    ASSERT_TRUE(device.plug(&error)) << error.toStdString();
    ASSERT_TRUE(waitFor([&] { return link.connected(); }));
    EXPECT_EQ(link.machine.CurrentDevice().comPort, device.portPath());
    device.stop();
}

TEST(disc_Presence, virtualDeviceUnplugged_isNoticedAndReportedOnce)
{
    QTemporaryDir root;
    TVirtualSarvikOptions options;
    options.root = root.path();
    TVirtualSarvik device(options);
    QString error;
    ASSERT_TRUE(device.start(&error)) << error.toStdString();
    Link link({root.path()});
    expectQuietWhileConnected(link);
    ASSERT_TRUE(device.unplug(&error)) << error.toStdString();
    expectNoticed(link);
    spinFor(100);
    EXPECT_EQ(link.infos.count(kLost), 1);
    device.stop();
}

}  // namespace
