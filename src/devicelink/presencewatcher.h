#pragma once
// Tells when devices may have come or gone, so that presence is checked on events instead of
// on a timer: the kernel's device events (libudev) for the system's /sys, inotify for other
// device roots (directories shaped like sysfs, see discovery.h). User-interface thread only.

#include <QHash>
#include <QObject>
#include <QStringList>

class QSocketNotifier;
struct udev;
struct udev_monitor;

class TPresenceWatcher : public QObject {
    Q_OBJECT
public:
    explicit TPresenceWatcher(QObject* parent = nullptr);
    ~TPresenceWatcher() override;

    // Watches these roots from now on (replacing the ones before).
    void Watch(const QStringList& roots);
    // Whether every root is watched; when not, a change may go unnoticed and the caller has to
    // look for itself. Directories that did not exist yet are tried again here.
    bool Complete();

Q_SIGNALS:
    // Something in a watched root changed: a tty or USB device was added or removed.
    void PresenceChanged();

private:
    bool watchSystem();
    void armRoots();
    void systemEvent();
    void rootEvent();
    void closeSystem();

    QStringList FRoots;
    bool FSystemWanted = false;
    udev* FUdev = nullptr;
    udev_monitor* FMonitor = nullptr;
    QSocketNotifier* FMonitorNotifier = nullptr;
    int FInotify = -1;
    QSocketNotifier* FInotifyNotifier = nullptr;
    QHash<QString, int> FWatches;  // watched directory -> watch descriptor
    int FMissing = 0;              // directories of the roots not watched yet
};
