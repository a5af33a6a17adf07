#pragma once
// The device's registration in a device root shaped like Linux sysfs, so that discovery finds it as
// a USB device with vendor 0483 and product a2b8:
//   ROOT/devices/<usbdev>/{idVendor,idProduct,serial,manufacturer,product}
//   ROOT/devices/<usbdev>/<usbdev>:1.0/                      (the interface)
//   ROOT/class/tty/<ttyname>/device -> ../../../devices/<usbdev>/<usbdev>:1.0
//   ROOT/class/tty/<ttyname>/port                            (the pseudo-terminal path)
// Each text file ends with a line feed, as sysfs attributes do.

#include <QString>

inline const QString kSimVendorId = QStringLiteral("0483");
inline const QString kSimProductId = QStringLiteral("a2b8");

struct TSysfsIdentity {
    QString vendorId = kSimVendorId;
    QString productId = kSimProductId;
    QString serial;
    QString manufacturer = QStringLiteral("Sarvik");
    QString product = QStringLiteral("Sarvik2V2");
};

class TSysfsEntry {
public:
    TSysfsEntry() = default;
    ~TSysfsEntry();
    TSysfsEntry(const TSysfsEntry&) = delete;
    TSysfsEntry& operator=(const TSysfsEntry&) = delete;

    // Takes the lowest ttyACM<n> free in the root; the tty entry appears complete (built under a
    // hidden name, then renamed), so a scan never sees half of it.
    bool add(const QString& root, const TSysfsIdentity& identity, const QString& portPath, QString* error);
    void remove();
    bool isRegistered() const { return !FTtyName.isEmpty(); }

    QString ttyName() const { return FTtyName; }
    QString usbDeviceDir() const;
    QString ttyDir() const;

private:
    QString FRoot;
    QString FUsbDev;
    QString FTtyName;
};
