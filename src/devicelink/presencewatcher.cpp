#include "presencewatcher.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QSocketNotifier>

#include <libudev.h>
#include <sys/inotify.h>
#include <unistd.h>

Q_DECLARE_LOGGING_CATEGORY(lcLink)

namespace {

constexpr char kSystemRoot[] = "/sys";
constexpr uint32_t kDirEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;

}  // namespace

TPresenceWatcher::TPresenceWatcher(QObject* parent)
    : QObject(parent)
{
}

TPresenceWatcher::~TPresenceWatcher()
{
    closeSystem();
    delete FInotifyNotifier;
    if (FInotify >= 0)
        ::close(FInotify);
}

void TPresenceWatcher::Watch(const QStringList& roots)
{
    FRoots.clear();
    FSystemWanted = false;
    for (const QString& r : roots) {
        const QString clean = QDir::cleanPath(r);
        if (r.isEmpty() || FRoots.contains(clean))
            continue;
        if (clean == QLatin1String(kSystemRoot))
            FSystemWanted = true;
        else
            FRoots << clean;
    }
    if (FSystemWanted && !FMonitor)
        watchSystem();
    if (!FSystemWanted)
        closeSystem();
    for (auto it = FWatches.cbegin(); it != FWatches.cend(); ++it)
        inotify_rm_watch(FInotify, it.value());
    FWatches.clear();
    armRoots();
}

bool TPresenceWatcher::Complete()
{
    if (FMissing > 0)
        armRoots();
    return FMissing == 0 && (!FSystemWanted || FMonitor);
}

bool TPresenceWatcher::watchSystem()
{
    FUdev = udev_new();
    if (!FUdev)
        return false;
    // Without a udev daemon its own events never come; the kernel's do (a bare container).
    const char* source = ::access("/run/udev/control", F_OK) == 0 ? "udev" : "kernel";
    FMonitor = udev_monitor_new_from_netlink(FUdev, source);
    if (!FMonitor || udev_monitor_filter_add_match_subsystem_devtype(FMonitor, "tty", nullptr) < 0 ||
        udev_monitor_filter_add_match_subsystem_devtype(FMonitor, "usb", nullptr) < 0 ||
        udev_monitor_enable_receiving(FMonitor) < 0) {
        qCWarning(lcLink) << "no device events from" << source << "- presence is polled";
        closeSystem();
        return false;
    }
    FMonitorNotifier = new QSocketNotifier(udev_monitor_get_fd(FMonitor), QSocketNotifier::Read, this);
    connect(FMonitorNotifier, &QSocketNotifier::activated, this, &TPresenceWatcher::systemEvent);
    return true;
}

void TPresenceWatcher::closeSystem()
{
    delete FMonitorNotifier;
    FMonitorNotifier = nullptr;
    if (FMonitor)
        udev_monitor_unref(FMonitor);
    FMonitor = nullptr;
    if (FUdev)
        udev_unref(FUdev);
    FUdev = nullptr;
}

void TPresenceWatcher::systemEvent()
{
    bool any = false;
    while (udev_device* d = udev_monitor_receive_device(FMonitor)) {
        udev_device_unref(d);
        any = true;
    }
    if (any)
        Q_EMIT PresenceChanged();
}

void TPresenceWatcher::armRoots()
{
    FMissing = 0;
    if (FRoots.isEmpty())
        return;
    if (FInotify < 0) {
        FInotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (FInotify < 0) {
            FMissing = int(FRoots.size());
            return;
        }
        FInotifyNotifier = new QSocketNotifier(FInotify, QSocketNotifier::Read, this);
        connect(FInotifyNotifier, &QSocketNotifier::activated, this, &TPresenceWatcher::rootEvent);
    }
    // A tty entry comes and goes in class/tty; a USB device in devices. The root itself is
    // watched too, so that those two are armed as soon as they are made.
    for (const QString& root : FRoots) {
        for (const QString& dir : {root, root + QStringLiteral("/class"), root + QStringLiteral("/class/tty"),
                                   root + QStringLiteral("/devices")}) {
            if (FWatches.contains(dir))
                continue;
            const int wd = inotify_add_watch(FInotify, QFile::encodeName(dir).constData(), kDirEvents | IN_ONLYDIR);
            if (wd >= 0)
                FWatches.insert(dir, wd);
            else if (dir.endsWith(QLatin1String("/tty")) || dir.endsWith(QLatin1String("/devices")))
                ++FMissing;
        }
    }
}

void TPresenceWatcher::rootEvent()
{
    alignas(inotify_event) char buf[4096];
    bool any = false;
    bool rearm = false;
    for (;;) {
        const ssize_t n = ::read(FInotify, buf, sizeof buf);
        if (n <= 0)
            break;
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
            if (e->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
                // The directory itself went away: its watch is gone.
                for (auto it = FWatches.begin(); it != FWatches.end(); ++it) {
                    if (it.value() == e->wd) {
                        FWatches.erase(it);
                        break;
                    }
                }
                rearm = true;
            }
            if (e->mask & (IN_CREATE | IN_MOVED_TO))
                rearm = true;
            any = true;
            at += ssize_t(sizeof(inotify_event)) + e->len;
        }
    }
    if (rearm)
        armRoots();
    if (any)
        Q_EMIT PresenceChanged();
}
