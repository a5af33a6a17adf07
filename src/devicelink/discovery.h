#pragma once
// Finding the device's USB serial ports. On Linux the source is sysfs: a tty entry
// (ROOT/class/tty/<name>) leads through its "device" link to the USB interface, whose nearest
// ancestor with idVendor and idProduct is the USB device. Besides the system's /sys, further
// roots of the same shape can be read (virtual devices register themselves that way); there
// the file class/tty/<name>/port names the port where it is not /dev/<name>.
// User-interface thread only.

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

// Application firmware and bootloader of the Sarvik2V2.
constexpr int kDefaultUsbVid = 0x0483;
constexpr int kDefaultUsbPid = 0xA2B8;
constexpr int kBootloaderUsbPid = 0xA2BA;

// One found device.
struct TUSBDev {
    int vid = 0;
    int pid = 0;
    // USB serial string; without one, an instance name from the USB path ("1-2&1.0").
    QString serialNo;
    QString comPort;  // device path of the port, e.g. /dev/ttyACM0

    bool operator==(const TUSBDev&) const = default;
};

// One entry of the list of all serial ports.
struct TComPortList {
    int PNr = -1;      // number at the end of the tty name (ttyACM10 -> 10)
    QString Port;      // device path
    QString PBeschr;   // USB product and manufacturer; empty for other ports
    QString Name;      // tty name (ttyACM10)
};

class TDeviceDiscovery {
public:
    // Reads "/sys" and the roots in $SARVIK_DEVICE_ROOTS (":"-separated).
    TDeviceDiscovery();
    // Reads exactly these roots (tests, tools).
    explicit TDeviceDiscovery(const QStringList& roots);

    // "/sys" followed by the roots named in $SARVIK_DEVICE_ROOTS.
    static QStringList DefaultRoots();
    // The values of every "--device-root DIR" and "--device-root=DIR" in args.
    static QStringList DeviceRootsFromArguments(const QStringList& args);

    // Extra roots (command line) read after the ones given at construction.
    void SetDeviceRoots(const QStringList& extraRoots);
    QStringList Roots() const;

    // Every present device with these ids, ordered by root, then by tty name (ttyACM9 before
    // ttyACM10).
    QList<TUSBDev> FindDevices(int vid, int pid) const;
    // Whether the device is still plugged in. Cheap for a device FindDevices returned: a link
    // and three small reads, no scan.
    bool IsDevicePresent(int vid, int pid, const QString& serialNo) const;
    bool IsDevicePresent(const TUSBDev& device) const { return IsDevicePresent(device.vid, device.pid, device.serialNo); }
    // Port of a present device; empty when there is none.
    QString GetPortName(int vid, int pid, const QString& serialNo) const;

    // Rebuilds the list of all serial ports and returns its length.
    int EnumComPortList();
    const QList<TComPortList>& ComPortList() const { return FComPorts; }

private:
    // A present device as it was last found, for the quick check: its tty entry's device link
    // and the USB device's id and serial attributes, held open. On sysfs a held attribute stops
    // reading once its device is gone, so a replugged device never passes for the old one.
    struct TPresence;
    struct TTtyEntry;

    QList<TTtyEntry> scan() const;
    void remember(const TTtyEntry& entry) const;
    static QString presenceKey(int vid, int pid, const QString& serialNo);

    QStringList FBaseRoots;
    QStringList FExtraRoots;
    QList<TComPortList> FComPorts;
    mutable QHash<QString, std::shared_ptr<const TPresence>> FPresence;
};

// Display name of a tty for sorting: family (ttyACM) and number (10).
bool ComPortNameLess(const QString& a, const QString& b);
