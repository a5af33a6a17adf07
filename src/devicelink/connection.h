#pragma once
// The connection state machine: finds the device by its USB ids, opens its port, watches that
// it stays present and reconnects by itself. Driven by tick(), which TConnectionTimer runs when
// NextDueMs() says something is due or a presence event came in; it reaches ports, worker and
// windows only through TConnectionEnv, so it runs headless.

#include "discovery.h"

#include <QList>
#include <QSet>
#include <QString>

#include <functional>
#include <limits>

enum class TPortOpenResult {
    Opened,
    PermissionDenied,  // the port exists but this user may not open it
    Failed,            // anything else (busy, gone, not a serial port)
};

// What the machine needs from its surroundings. Unset members are skipped.
struct TConnectionEnv {
    std::function<QList<TUSBDev>(int vid, int pid)> findDevices;
    std::function<bool(const TUSBDev& device)> isDevicePresent;
    std::function<TPortOpenResult(const QString& port)> openPort;  // RS232Open(port)
    std::function<void()> closePort;                               // RS232Open("")
    std::function<bool()> isPortOpen;
    std::function<bool()> isOnline;
    std::function<bool()> comError;      // the worker's FComError
    std::function<void()> acknowledgeComError;  // the failure was acted on
    std::function<void()> setOffline;    // SetOnOffline(false)
    std::function<void(const QString& text)> showInfo;                 // ShowSysInfo
    std::function<void(const QString& text, bool alarm)> showMessage;  // ShowSysMessage
    std::function<void(const QString& port)> setPortPanel;             // StatusSetPort
    std::function<void()> setLinkPanelOffline;                         // StatusSetOnline(false)
    std::function<void()> clearOrders;                                 // worker ClearOrders
    std::function<void(bool halted)> setHalted;                        // SetLinkHalted
};

class TConnectionMachine {
public:
    enum TState {
        csIdle = 0,        // halted, nothing happens
        csSearching = 1,
        csAboutToOpen = 2,
        csOpening = 3,
        csConnected = 4,
    };

    static constexpr qint64 kSearchRetryMs = 500;  // no device found: look again
    static constexpr qint64 kOpenDelayMs = 200;    // found or chosen: open after this
    static constexpr qint64 kOpenTimeoutMs = 1000; // not open by then: try the next device

    // halted defaults to SetLinkHalted of the order channel when env leaves it unset.
    explicit TConnectionMachine(TConnectionEnv env);

    // USB ids searched for ("Connection/Main/USB_VID", "USB_PID").
    void SetUsbIds(int vid, int pid);
    int UsbVid() const { return FVid; }
    int UsbPid() const { return FPid; }

    static constexpr qint64 kNothingDue = std::numeric_limits<qint64>::max();

    // One run of the machine; nowMs from a monotonic clock. Running it more often than due is
    // harmless: a state acts only once its time has come or its condition holds.
    void tick(qint64 nowMs);
    // When tick() next has something to do on its own, at nowMs or later; kNothingDue when only
    // an event (presence change, port hang-up, worker failure) can change anything.
    qint64 NextDueMs(qint64 nowMs) const;
    // Told when a call from outside tick() (StartConnecting, Disconnect, ...) changed what is due.
    void SetScheduleChanged(std::function<void()> changed) { FScheduleChanged = std::move(changed); }

    // Takes the port away from the link: halted, queued orders dropped, idle, port closed.
    void Disconnect();
    // Searching again (or opening the chosen device), orders allowed again.
    void StartConnecting();
    // No device chosen, first found device next (initial settings).
    void ResetDevice();
    // Switches to device: Disconnect, offline, "Verbinde zu ...", then opens that device. A
    // device without port (selection cancelled) changes nothing; returns whether it switched.
    bool ConnectTo(const TUSBDev& device);

    TState State() const { return FState; }
    const TUSBDev& CurrentDevice() const { return FDevice; }
    int DeviceIndex() const { return FDeviceIndex; }
    qint64 NextTimeMs() const { return FNextTimeMs; }

private:
    void openChosenPort(qint64 nowMs);
    void scheduleChanged();
    void reportPermissionDenied(const TUSBDev& device);
    static QString deviceKey(const TUSBDev& device);

    TConnectionEnv FEnv;
    int FVid = kDefaultUsbVid;
    int FPid = kDefaultUsbPid;
    TState FState = csIdle;
    TUSBDev FDevice;
    int FDeviceIndex = 0;
    qint64 FNextTimeMs = 0;
    QSet<QString> FDeniedReported;  // devices told about missing access already
    std::function<void()> FScheduleChanged;
};
