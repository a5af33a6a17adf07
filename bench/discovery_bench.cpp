// Measures IsDevicePresent for a present device in a device tree with a few other ports, the
// way the connection timer calls it while connected. Last line: discovery_bench present_us=<median>.

#include "discovery.h"

#include "fakedevicetree.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>
#include <vector>

namespace {

constexpr int kRounds = 201;
constexpr int kCallsPerRound = 200;

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
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
    out << "discovery_bench present_us=" << QString::number(median, 'f', 2) << Qt::endl;
    return 0;
}
