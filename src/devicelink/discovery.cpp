#include "discovery.h"

#include <QDir>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kMaxUsbWalkDepth = 12;  // interface -> device levels we climb at most
constexpr qsizetype kSmallFileBytes = 256;

// Contents of a small sysfs attribute without trailing blanks; false when it cannot be read.
bool readSmall(const QByteArray& path, QByteArray& out)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buf[kSmallFileBytes];
    ssize_t n;
    do {
        n = ::read(fd, buf, sizeof buf);
    } while (n < 0 && errno == EINTR);
    ::close(fd);
    if (n < 0)
        return false;
    while (n > 0 && (buf[n - 1] == '\n' || buf[n - 1] == '\r' || buf[n - 1] == ' ' || buf[n - 1] == '\t'))
        --n;
    out = QByteArray(buf, n);
    return true;
}

// Same as readSmall from a file held open.
bool readHeld(int fd, QByteArray& out)
{
    char buf[kSmallFileBytes];
    ssize_t n;
    do {
        n = ::pread(fd, buf, sizeof buf, 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return false;
    while (n > 0 && (buf[n - 1] == '\n' || buf[n - 1] == '\r' || buf[n - 1] == ' ' || buf[n - 1] == '\t'))
        --n;
    out = QByteArray(buf, n);
    return true;
}

bool readLink(const QByteArray& path, QByteArray& out)
{
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(path.constData(), buf, sizeof buf);
    if (n < 0 || n >= ssize_t(sizeof buf))
        return false;
    out = QByteArray(buf, n);
    return true;
}

QByteArray realPath(const QByteArray& path)
{
    char buf[PATH_MAX];
    if (!::realpath(path.constData(), buf))
        return {};
    return QByteArray(buf);
}

QByteArray parentDir(const QByteArray& dir)
{
    const qsizetype slash = dir.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : dir.left(slash);
}

QByteArray baseName(const QByteArray& dir)
{
    return dir.mid(dir.lastIndexOf('/') + 1);
}

bool isFile(const QByteArray& path)
{
    return ::access(path.constData(), F_OK) == 0;
}

QStringList entryNames(const QString& dir)
{
    QStringList names;
    DIR* d = ::opendir(QFile::encodeName(dir).constData());
    if (!d)
        return names;
    while (const dirent* e = ::readdir(d)) {
        if (e->d_name[0] != '.')
            names << QFile::decodeName(e->d_name);
    }
    ::closedir(d);
    return names;
}

// Where the trailing digits of a tty name begin (its size when there are none).
qsizetype digitsStart(const QString& name)
{
    qsizetype i = name.size();
    while (i > 0 && name.at(i - 1).isDigit())
        --i;
    return i;
}

// Trailing number of a tty name; -1 when there is none.
int trailingNumber(const QString& name)
{
    const qsizetype i = digitsStart(name);
    if (i == name.size())
        return -1;
    bool ok = false;
    const int n = name.mid(i).toInt(&ok);
    return ok ? n : -1;
}

int parseHex(const QByteArray& text)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 16);
    return ok ? v : -1;
}

QStringList rootsFromEnvironment()
{
    QStringList roots;
    for (const QString& r : qEnvironmentVariable("SARVIK_DEVICE_ROOTS").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        roots << r;
    return roots;
}

}  // namespace

struct TDeviceDiscovery::TPresence {
    QByteArray deviceLink;  // ROOT/class/tty/<name>/device
    int vid = -1;        // idVendor, idProduct, serial of the USB device
    int pid = -1;
    int serial = -1;     // -1: the device has no serial string
    QByteArray linkTarget;
    QByteArray usbProbe;  // ".../device/../idProduct": through the link to the USB device
    QByteArray vidText;
    QByteArray pidText;
    QByteArray serialText;

    TPresence() = default;
    TPresence(const TPresence&) = delete;
    TPresence& operator=(const TPresence&) = delete;
    ~TPresence()
    {
        for (int fd : {vid, pid, serial}) {
            if (fd >= 0)
                ::close(fd);
        }
    }

    bool stillThere() const
    {
        char target[PATH_MAX];
        // By path, not through a held directory: an entry renamed away is gone.
        const ssize_t n = ::readlink(deviceLink.constData(), target, sizeof target);
        if (n < 0 || QByteArrayView(target, n) != QByteArrayView(linkTarget))
            return false;
        // The link must still lead somewhere: in a plain directory tree (no sysfs) held files
        // stay readable after their device directory was removed.
        if (::access(usbProbe.constData(), F_OK) != 0)
            return false;
        QByteArray text;
        return readHeld(pid, text) && text == pidText && readHeld(vid, text) && text == vidText
            && (serial < 0 || (readHeld(serial, text) && text == serialText));
    }
};

struct TDeviceDiscovery::TTtyEntry {
    QString name;
    QString port;
    QByteArray deviceLink;
    QByteArray linkTarget;
    QByteArray interfaceDir;
    bool isUsb = false;
    bool uartAbsent = false;  // a legacy UART slot with no chip behind it
    QByteArray usbDir;
    int usbLevels = 0;  // directories from the interface up to the USB device
    QByteArray vidText;
    QByteArray pidText;
    QByteArray serialText;
    TUSBDev dev;
    QString manufacturer;
    QString product;
};

TDeviceDiscovery::TDeviceDiscovery()
    : FBaseRoots(DefaultRoots())
{
}

TDeviceDiscovery::TDeviceDiscovery(const QStringList& roots)
    : FBaseRoots(roots)
{
}

QStringList TDeviceDiscovery::DefaultRoots()
{
    return QStringList{QStringLiteral("/sys")} + rootsFromEnvironment();
}

QStringList TDeviceDiscovery::DeviceRootsFromArguments(const QStringList& args)
{
    static const QString option = QStringLiteral("--device-root");
    QStringList roots;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == option) {
            if (i + 1 < args.size())
                roots << args.at(++i);
        } else if (a.startsWith(option + QLatin1Char('='))) {
            roots << a.mid(option.size() + 1);
        }
    }
    return roots;
}

void TDeviceDiscovery::SetDeviceRoots(const QStringList& extraRoots)
{
    FExtraRoots = extraRoots;
    FPresence.clear();
}

QStringList TDeviceDiscovery::Roots() const
{
    QStringList roots;
    for (const QString& r : FBaseRoots + FExtraRoots) {
        const QString clean = QDir::cleanPath(r);
        if (!r.isEmpty() && !roots.contains(clean))
            roots << clean;
    }
    return roots;
}

QList<TDeviceDiscovery::TTtyEntry> TDeviceDiscovery::scan() const
{
    QList<TTtyEntry> all;
    for (const QString& root : Roots()) {
        const QByteArray rootReal = realPath(QFile::encodeName(root));
        if (rootReal.isEmpty())
            continue;
        const QString classDir = root + QStringLiteral("/class/tty");
        QStringList names = entryNames(classDir);
        std::sort(names.begin(), names.end(), ComPortNameLess);
        for (const QString& name : names) {
            TTtyEntry e;
            e.name = name;
            const QByteArray entryDir = QFile::encodeName(classDir + QLatin1Char('/') + name);
            e.deviceLink = entryDir + "/device";
            if (!readLink(e.deviceLink, e.linkTarget))
                continue;  // virtual terminals and the like have no device behind them
            e.interfaceDir = realPath(e.deviceLink);
            if (e.interfaceDir.isEmpty())
                continue;  // dangling: the device is going away
            QByteArray portText;
            // A device root names the port in "port"; sysfs's own "port" of a UART is its I/O
            // address ("0x3F8"), so only a path counts.
            e.port = readSmall(entryDir + "/port", portText) && portText.trimmed().startsWith('/')
                ? QFile::decodeName(portText.trimmed())
                : QStringLiteral("/dev/") + name;
            QByteArray type;
            e.uartAbsent = readSmall(entryDir + "/type", type) && type == "0";

            // Climb from the interface to the USB device, never above the root.
            QByteArray dir = e.interfaceDir;
            QByteArray child;
            for (int depth = 0; depth < kMaxUsbWalkDepth && dir.size() > 1 && dir.startsWith(rootReal); ++depth) {
                if (isFile(dir + "/idVendor") && isFile(dir + "/idProduct")) {
                    e.isUsb = true;
                    e.usbDir = dir;
                    e.usbLevels = depth;
                    break;
                }
                child = dir;
                dir = parentDir(dir);
            }
            if (e.isUsb) {
                readSmall(e.usbDir + "/idVendor", e.vidText);
                readSmall(e.usbDir + "/idProduct", e.pidText);
                const bool hasSerial = readSmall(e.usbDir + "/serial", e.serialText) && !e.serialText.isEmpty();
                QByteArray text;
                if (readSmall(e.usbDir + "/manufacturer", text))
                    e.manufacturer = QString::fromUtf8(text);
                if (readSmall(e.usbDir + "/product", text))
                    e.product = QString::fromUtf8(text);
                e.dev.vid = parseHex(e.vidText);
                e.dev.pid = parseHex(e.pidText);
                e.dev.comPort = e.port;
                if (hasSerial) {
                    e.dev.serialNo = QString::fromUtf8(e.serialText);
                } else {
                    // No serial string: name the instance by where it is plugged in.
                    const QByteArray iface = child.isEmpty() ? QByteArray("0") : baseName(child);
                    const qsizetype colon = iface.indexOf(':');
                    e.dev.serialNo = QFile::decodeName(baseName(e.usbDir)) + QLatin1Char('&')
                        + QFile::decodeName(colon >= 0 ? iface.mid(colon + 1) : iface);
                    e.serialText.clear();
                }
            }
            all << e;
        }
    }
    return all;
}

QString TDeviceDiscovery::presenceKey(int vid, int pid, const QString& serialNo)
{
    return QString::asprintf("%04x:%04x:", unsigned(vid), unsigned(pid)) + serialNo;
}

void TDeviceDiscovery::remember(const TTtyEntry& entry) const
{
    const QString key = presenceKey(entry.dev.vid, entry.dev.pid, entry.dev.serialNo);
    auto p = std::make_shared<TPresence>();
    p->linkTarget = entry.linkTarget;
    p->deviceLink = entry.deviceLink;
    p->usbProbe = entry.deviceLink;
    for (int i = 0; i < entry.usbLevels; ++i)
        p->usbProbe += "/..";
    p->usbProbe += "/idProduct";
    p->vidText = entry.vidText;
    p->pidText = entry.pidText;
    p->serialText = entry.serialText;
    p->vid = ::open((entry.usbDir + "/idVendor").constData(), O_RDONLY | O_CLOEXEC);
    p->pid = ::open((entry.usbDir + "/idProduct").constData(), O_RDONLY | O_CLOEXEC);
    if (!entry.serialText.isEmpty())
        p->serial = ::open((entry.usbDir + "/serial").constData(), O_RDONLY | O_CLOEXEC);
    if (p->vid < 0 || p->pid < 0 || (!entry.serialText.isEmpty() && p->serial < 0)) {
        FPresence.remove(key);  // vanished meanwhile; the next check looks again
        return;
    }
    FPresence.insert(key, std::move(p));
}

QList<TUSBDev> TDeviceDiscovery::FindDevices(int vid, int pid) const
{
    QList<TUSBDev> found;
    for (const TTtyEntry& e : scan()) {
        if (!e.isUsb || e.dev.vid != vid || e.dev.pid != pid)
            continue;
        found << e.dev;
        remember(e);
    }
    return found;
}

bool TDeviceDiscovery::IsDevicePresent(int vid, int pid, const QString& serialNo) const
{
    const QString key = presenceKey(vid, pid, serialNo);
    const auto it = FPresence.constFind(key);
    if (it != FPresence.constEnd() && (*it)->stillThere())
        return true;
    // Unknown or changed: look again (it may have moved to another port).
    FPresence.remove(key);
    for (const TTtyEntry& e : scan()) {
        if (e.isUsb && e.dev.vid == vid && e.dev.pid == pid && e.dev.serialNo == serialNo) {
            remember(e);
            return true;
        }
    }
    return false;
}

QString TDeviceDiscovery::GetPortName(int vid, int pid, const QString& serialNo) const
{
    for (const TTtyEntry& e : scan()) {
        if (e.isUsb && e.dev.vid == vid && e.dev.pid == pid && e.dev.serialNo == serialNo)
            return e.port;
    }
    return {};
}

int TDeviceDiscovery::EnumComPortList()
{
    QList<TComPortList> ports;
    QStringList seen;
    for (const TTtyEntry& e : scan()) {
        if (e.uartAbsent || seen.contains(e.port))
            continue;
        seen << e.port;
        TComPortList entry;
        entry.PNr = trailingNumber(e.name);
        entry.Port = e.port;
        entry.Name = e.name;
        if (e.isUsb) {
            entry.PBeschr = e.product;
            if (!e.manufacturer.isEmpty())
                entry.PBeschr += entry.PBeschr.isEmpty() ? e.manufacturer : QStringLiteral(" (") + e.manufacturer + QLatin1Char(')');
        }
        ports << entry;
    }
    std::stable_sort(ports.begin(), ports.end(),
                     [](const TComPortList& a, const TComPortList& b) { return ComPortNameLess(a.Name, b.Name); });
    FComPorts = ports;
    return int(FComPorts.size());
}

bool ComPortNameLess(const QString& a, const QString& b)
{
    const int na = trailingNumber(a);
    const int nb = trailingNumber(b);
    const QString pa = a.left(digitsStart(a));
    const QString pb = b.left(digitsStart(b));
    if (pa != pb)
        return pa < pb;
    if (na != nb)
        return na < nb;
    return a < b;
}
