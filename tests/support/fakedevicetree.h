#pragma once
// A device root in a temporary directory, shaped like sysfs as the discovery reads it:
// ROOT/devices/<usb>/{idVendor,idProduct,serial,manufacturer,product}, ROOT/devices/<usb>/<usb>:1.0/,
// ROOT/class/tty/<tty>/device -> the interface directory, ROOT/class/tty/<tty>/port.

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <unistd.h>

class FakeDeviceTree {
public:
    struct Usb {
        QString tty;               // ttyACM0
        QString usbName;           // 1-2
        QString vid = QStringLiteral("0483");
        QString pid = QStringLiteral("a2b8");
        QString serial;            // empty: no serial file
        QString manufacturer = QStringLiteral("Sarvik");
        QString product = QStringLiteral("Sarvik2V2");
        QString port;              // empty: no port file (the port is /dev/<tty>)

        Usb(const char* ttyName, const char* usbDevice)
            : tty(QString::fromUtf8(ttyName)), usbName(QString::fromUtf8(usbDevice)) {}
        Usb& withSerial(const char* s) { serial = QString::fromUtf8(s); return *this; }
        Usb& withIds(const char* v, const char* p) { vid = QString::fromUtf8(v); pid = QString::fromUtf8(p); return *this; }
        Usb& withPort(const char* p) { port = QString::fromUtf8(p); return *this; }
        Usb& withStrings(const char* m, const char* p)
        {
            manufacturer = QString::fromUtf8(m);
            product = QString::fromUtf8(p);
            return *this;
        }
    };

    FakeDeviceTree() { QDir(root()).mkpath(QStringLiteral("class/tty")); }

    QString root() const { return FDir.path(); }
    bool valid() const { return FDir.isValid(); }

    void addUsb(const Usb& u)
    {
        const QString usbDir = root() + QStringLiteral("/devices/") + u.usbName;
        const QString iface = usbDir + QLatin1Char('/') + u.usbName + QStringLiteral(":1.0");
        QDir().mkpath(iface);
        write(usbDir + QStringLiteral("/idVendor"), u.vid);
        write(usbDir + QStringLiteral("/idProduct"), u.pid);
        if (!u.serial.isEmpty())
            write(usbDir + QStringLiteral("/serial"), u.serial);
        write(usbDir + QStringLiteral("/manufacturer"), u.manufacturer);
        write(usbDir + QStringLiteral("/product"), u.product);
        addTty(u.tty, iface, u.port);
    }

    // A tty whose device is not on USB (an on-board UART).
    void addPlainTty(const QString& tty, const QString& type = QString())
    {
        const QString dev = root() + QStringLiteral("/devices/platform/serial8250/") + tty;
        QDir().mkpath(dev);
        addTty(tty, dev, QString());
        if (!type.isEmpty())
            write(ttyDir(tty) + QStringLiteral("/type"), type);
    }

    // A tty without a device behind it (a virtual console).
    void addVirtualTty(const QString& tty) { QDir().mkpath(ttyDir(tty)); }

    void removeTty(const QString& tty) { QDir(ttyDir(tty)).removeRecursively(); }
    void removeUsb(const QString& usbName) { QDir(root() + QStringLiteral("/devices/") + usbName).removeRecursively(); }
    void setAttribute(const QString& usbName, const QString& file, const QString& text)
    {
        write(root() + QStringLiteral("/devices/") + usbName + QLatin1Char('/') + file, text);
    }

    void setTtyAttribute(const QString& tty, const QString& file, const QString& text)
    {
        write(ttyDir(tty) + QLatin1Char('/') + file, text);
    }

    QString ttyDir(const QString& tty) const { return root() + QStringLiteral("/class/tty/") + tty; }

private:
    void addTty(const QString& tty, const QString& target, const QString& port)
    {
        QDir().mkpath(ttyDir(tty));
        const QByteArray link = QFile::encodeName(ttyDir(tty) + QStringLiteral("/device"));
        ::unlink(link.constData());
        if (::symlink(QFile::encodeName(target).constData(), link.constData()) != 0)
            qFatal("symlink failed");
        if (!port.isEmpty())
            write(ttyDir(tty) + QStringLiteral("/port"), port);
    }

    static void write(const QString& path, const QString& text)
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write %s", qPrintable(path));
        f.write(text.toUtf8() + '\n');
    }

    QTemporaryDir FDir;
};
