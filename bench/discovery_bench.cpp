// Measures IsDevicePresent for a present device in a device tree with a few other ports, the
// way the connection timer calls it on a presence event, and how long it takes from a removal
// event (the tty entry of a built tree vanishing, the port hanging up) to the port being closed
// by the connection machine on its timer.
// Last line: discovery_bench present_us=<median> unplug_detect_ms=<median of tree removals>.

#include "connectiontimer.h"
#include "discovery.h"
#include "serialport.h"

#include "fakedevicetree.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <vector>

#include <pty.h>
#include <unistd.h>

namespace {

constexpr int kRounds = 201;
constexpr int kCallsPerRound = 200;
constexpr int kUnplugRounds = 21;
constexpr int kConnectTimeoutMs = 5000;

// Runs the event loop, sleeping until events come, until done() or the time-out.
bool runUntil(const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QTimer guard;  // wakes the loop now and then so the time-out is seen
    guard.start(100);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// One connection to a device in its own tree, then a removal; milliseconds from the removal to
// the port closed, or -1.
double unplugRound(bool hangUp)
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
        return -1;
    ::close(slave);
    FakeDeviceTree tree;
    tree.addUsb(FakeDeviceTree::Usb("ttyACM0", "1-2").withSerial("UNPLUG1").withPort(name));
    TDeviceDiscovery discovery({tree.root()});
    TfRS232 port;
    TConnectionEnv env;
    env.findDevices = [&](int vid, int pid) { return discovery.FindDevices(vid, pid); };
    env.isDevicePresent = [&](const TUSBDev& d) { return discovery.IsDevicePresent(d); };
    env.openPort = [&](const QString& p) { return port.RS232Open(p) ? TPortOpenResult::Opened : TPortOpenResult::Failed; };
    env.closePort = [&] { port.RS232Open(QString()); };
    env.isPortOpen = [&] { return port.RS232Connected(); };
    env.setHalted = [](bool) {};
    TConnectionMachine machine(env);
    TConnectionTimer timer(machine);
    timer.WatchRoots(discovery.Roots());
    QObject::connect(&port, &TfRS232::RS232PortLost, &timer, &TConnectionTimer::Poke);
    machine.StartConnecting();
    timer.start();
    double ms = -1;
    if (runUntil([&] { return machine.State() == TConnectionMachine::csConnected; }, kConnectTimeoutMs)) {
        runUntil([] { return false; }, 20);  // settle
        QElapsedTimer t;
        t.start();
        if (hangUp) {
            ::close(master);
            master = -1;
        } else {
            tree.removeTty(QStringLiteral("ttyACM0"));
        }
        if (runUntil([&] { return !port.RS232Connected(); }, kConnectTimeoutMs))
            ms = double(t.nsecsElapsed()) / 1e6;
    }
    timer.stop();
    if (master >= 0)
        ::close(master);
    return ms;
}

double medianOf(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("sarvik.devicelink.debug=false"));
    QTextStream out(stdout);

    FakeDeviceTree tree;
    if (!tree.valid()) {
        out << "discovery_bench: cannot create a temporary directory" << Qt::endl;
        return 1;
    }
    using Usb = FakeDeviceTree::Usb;
    tree.addUsb(Usb("ttyACM0", "1-1").withIds("0403", "6001").withSerial("FT1"));
    tree.addUsb(Usb("ttyACM1", "1-2").withSerial("SARVIK0001").withPort("/dev/pts/5"));
    tree.addUsb(Usb("ttyACM2", "1-3").withSerial("SARVIK0002"));
    for (int i = 0; i < 8; ++i)
        tree.addPlainTty(QStringLiteral("ttyS%1").arg(i), QStringLiteral("4"));

    TDeviceDiscovery discovery({tree.root()});
    const QList<TUSBDev> found = discovery.FindDevices(kDefaultUsbVid, kDefaultUsbPid);
    if (found.size() != 2) {
        out << "discovery_bench: expected 2 devices, found " << found.size() << Qt::endl;
        return 1;
    }
    const TUSBDev device = found.at(0);

    std::vector<double> perCallUs;
    perCallUs.reserve(kRounds);
    int present = 0;
    for (int round = 0; round < kRounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < kCallsPerRound; ++i)
            present += discovery.IsDevicePresent(device) ? 1 : 0;
        perCallUs.push_back(double(timer.nsecsElapsed()) / 1000.0 / kCallsPerRound);
    }
    if (present != kRounds * kCallsPerRound) {
        out << "discovery_bench: the device went missing during the run" << Qt::endl;
        return 1;
    }
    std::sort(perCallUs.begin(), perCallUs.end());
    const double median = perCallUs[perCallUs.size() / 2];

    // For comparison: a full search, what the check avoids.
    QElapsedTimer scanTimer;
    scanTimer.start();
    constexpr int kScans = 200;
    for (int i = 0; i < kScans; ++i)
        discovery.FindDevices(kDefaultUsbVid, kDefaultUsbPid);
    const double scanUs = double(scanTimer.nsecsElapsed()) / 1000.0 / kScans;

    out << "full search: " << QString::number(scanUs, 'f', 1) << " us per call" << Qt::endl;
    out << "presence check: min " << QString::number(perCallUs.front(), 'f', 2) << " us, max "
        << QString::number(perCallUs.back(), 'f', 2) << " us per call (" << kRounds << " rounds of "
        << kCallsPerRound << ")" << Qt::endl;

    std::vector<double> removal;
    std::vector<double> hangUp;
    for (int i = 0; i < kUnplugRounds; ++i) {
        removal.push_back(unplugRound(false));
        hangUp.push_back(unplugRound(true));
    }
    if (std::count(removal.begin(), removal.end(), -1.0) > 0 || std::count(hangUp.begin(), hangUp.end(), -1.0) > 0) {
        out << "discovery_bench: a removal went unnoticed" << Qt::endl;
        return 1;
    }
    std::sort(removal.begin(), removal.end());
    out << "unplug (tty entry removed) to port closed: min " << QString::number(removal.front(), 'f', 2) << " ms, max "
        << QString::number(removal.back(), 'f', 2) << " ms (" << kUnplugRounds << " rounds)" << Qt::endl;
    out << "hang-up to port closed: median " << QString::number(medianOf(hangUp), 'f', 2) << " ms" << Qt::endl;
    out << "discovery_bench present_us=" << QString::number(median, 'f', 2)
        << " unplug_detect_ms=" << QString::number(medianOf(removal), 'f', 2) << Qt::endl;
    return 0;
}
