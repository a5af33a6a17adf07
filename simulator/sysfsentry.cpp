#include "sysfsentry.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kMaxTtyNumber = 256;

bool writeAttribute(const QString& path, const QString& value)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray bytes = value.toUtf8() + '\n';
    return f.write(bytes) == bytes.size();
}

}  // namespace

TSysfsEntry::~TSysfsEntry()
{
    remove();
}

QString TSysfsEntry::usbDeviceDir() const
{
    return FRoot + QStringLiteral("/devices/") + FUsbDev;
}

QString TSysfsEntry::ttyDir() const
{
    return FRoot + QStringLiteral("/class/tty/") + FTtyName;
}

bool TSysfsEntry::add(const QString& root, const TSysfsIdentity& identity, const QString& portPath, QString* error)
{
    remove();
    const auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    QDir rootDir(root);
    if (!rootDir.mkpath(QStringLiteral("devices")) || !rootDir.mkpath(QStringLiteral("class/tty")))
        return fail(QStringLiteral("cannot create the device root %1").arg(root));
    const QString absRoot = rootDir.absolutePath();

    // The USB device directory is the claim on the number: mkdir either creates it or fails.
    int n = 0;
    QString usbDev;
    for (; n < kMaxTtyNumber; ++n) {
        usbDev = QStringLiteral("1-%1").arg(n + 1);
        const QString ttyPath = absRoot + QStringLiteral("/class/tty/ttyACM%1").arg(n);
        if (QFileInfo::exists(ttyPath))
            continue;
        const QByteArray devPath = QFile::encodeName(absRoot + QStringLiteral("/devices/") + usbDev);
        if (::mkdir(devPath.constData(), 0755) == 0)
            break;
        if (errno != EEXIST)
            return fail(QStringLiteral("cannot create %1: %2")
                            .arg(QString::fromLocal8Bit(devPath), QString::fromLocal8Bit(std::strerror(errno))));
    }
    if (n == kMaxTtyNumber)
        return fail(QStringLiteral("no free tty number in %1").arg(root));
    FRoot = absRoot;
    FUsbDev = usbDev;
    const QString devDir = usbDeviceDir();
    const QString interfaceName = usbDev + QStringLiteral(":1.0");
    const QString ttyName = QStringLiteral("ttyACM%1").arg(n);
    const QString hidden = FRoot + QStringLiteral("/class/tty/.") + ttyName + QStringLiteral(".new");

    bool ok = writeAttribute(devDir + QStringLiteral("/idVendor"), identity.vendorId)
              && writeAttribute(devDir + QStringLiteral("/idProduct"), identity.productId)
              && writeAttribute(devDir + QStringLiteral("/serial"), identity.serial)
              && writeAttribute(devDir + QStringLiteral("/manufacturer"), identity.manufacturer)
              && writeAttribute(devDir + QStringLiteral("/product"), identity.product)
              && QDir(devDir).mkdir(interfaceName);
    QDir(hidden).removeRecursively();
    ok = ok && QDir().mkdir(hidden)
         && QFile::link(QStringLiteral("../../../devices/") + usbDev + QLatin1Char('/') + interfaceName,
                        hidden + QStringLiteral("/device"))
         && writeAttribute(hidden + QStringLiteral("/port"), portPath)
         && std::rename(QFile::encodeName(hidden).constData(), QFile::encodeName(FRoot + QStringLiteral("/class/tty/") + ttyName).constData()) == 0;
    if (!ok) {
        QDir(hidden).removeRecursively();
        QDir(devDir).removeRecursively();
        FRoot.clear();
        FUsbDev.clear();
        return fail(QStringLiteral("cannot register the device in %1").arg(root));
    }
    FTtyName = ttyName;
    return true;
}

void TSysfsEntry::remove()
{
    if (FRoot.isEmpty())
        return;
    if (!FTtyName.isEmpty()) {
        // The tty entry goes first and at once, so discovery never follows a link into nothing.
        const QString gone = FRoot + QStringLiteral("/class/tty/.") + FTtyName + QStringLiteral(".gone");
        QDir(gone).removeRecursively();
        if (std::rename(QFile::encodeName(ttyDir()).constData(), QFile::encodeName(gone).constData()) == 0)
            QDir(gone).removeRecursively();
        else
            QDir(ttyDir()).removeRecursively();
    }
    QDir(usbDeviceDir()).removeRecursively();
    FTtyName.clear();
    FUsbDev.clear();
    FRoot.clear();
}
