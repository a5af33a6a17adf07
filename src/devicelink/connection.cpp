#include "connection.h"

#include "i18n.h"
#include "sendorder.h"

#include <QLoggingCategory>

#include <algorithm>
#include <limits>

Q_LOGGING_CATEGORY(lcConnection, "sarvik.devicelink")

namespace {

// Fills the "%s" of a translated message with the port.
QString fillPort(QString text, const QString& port)
{
    const qsizetype at = text.indexOf(QStringLiteral("%s"));
    if (at >= 0)
        text.replace(at, 2, port);
    return text;
}

template <typename Fn, typename... Args>
void call(const Fn& fn, Args&&... args)
{
    if (fn)
        fn(std::forward<Args>(args)...);
}

}  // namespace

TConnectionMachine::TConnectionMachine(TConnectionEnv env)
    : FEnv(std::move(env))
{
    if (!FEnv.setHalted)
        FEnv.setHalted = [](bool halted) { SetLinkHalted(halted); };
}

void TConnectionMachine::SetUsbIds(int vid, int pid)
{
    FVid = vid;
    FPid = pid;
}

void TConnectionMachine::tick(qint64 nowMs)
{
    if (FEnv.comError && FEnv.comError()) {
        // The port stays open; the status polling brings the device back online. The worker
        // keeps the flag until it is taken here; a failure while offline is simply taken.
        if (FEnv.isOnline && FEnv.isOnline())
            call(FEnv.setOffline);
        call(FEnv.acknowledgeComError);
    }

    switch (FState) {
    case csSearching:
        if (nowMs <= FNextTimeMs)
            break;
        if (FDevice.comPort.isEmpty() && FEnv.findDevices) {
            const QList<TUSBDev> found = FEnv.findDevices(FVid, FPid);
            if (!found.isEmpty()) {
                if (FDeviceIndex > found.size() - 1 || FDeviceIndex < 0)
                    FDeviceIndex = 0;
                FDevice = found.at(FDeviceIndex);
            }
        }
        if (!FDevice.comPort.isEmpty()) {
            FNextTimeMs = nowMs + kOpenDelayMs;
            FState = csAboutToOpen;
        } else {
            FNextTimeMs = nowMs + kSearchRetryMs;
        }
        break;
    case csAboutToOpen:
        if (nowMs > FNextTimeMs)
            openChosenPort(nowMs);
        break;
    case csOpening:
        if (FEnv.isPortOpen && FEnv.isPortOpen()) {
            FDeniedReported.remove(deviceKey(FDevice));
            call(FEnv.showInfo, fillPort(Tr("Verbunden mit Sarvik2V2 an %s"), FDevice.comPort));
            FState = csConnected;
        } else if (nowMs > FNextTimeMs) {
            FDevice.comPort.clear();
            ++FDeviceIndex;
            FState = csSearching;
        }
        break;
    case csConnected: {
        const bool open = FEnv.isPortOpen && FEnv.isPortOpen();
        if (open && (!FEnv.isDevicePresent || FEnv.isDevicePresent(FDevice)))
            break;
        FDevice.comPort.clear();
        FDeviceIndex = 0;
        // Orders queued for the vanished device would otherwise be written to the next one,
        // each unanswered one costing a full answer window before the link is back.
        call(FEnv.clearOrders);
        call(FEnv.setPortPanel, QString());
        call(FEnv.closePort);
        call(FEnv.showInfo, Tr("Geräte-Verbindung unterbrochen. Versuche erneut zu verbinden..."));
        call(FEnv.setOffline);
        FState = csSearching;
        break;
    }
    case csIdle:
        break;
    }
}

qint64 TConnectionMachine::NextDueMs(qint64 nowMs) const
{
    // States 1 to 3 act once the current time is past next time.
    const qint64 afterNext = FNextTimeMs == std::numeric_limits<qint64>::min() ? nowMs : std::max(nowMs, FNextTimeMs + 1);
    switch (FState) {
    case csSearching:
    case csAboutToOpen:
        return afterNext;
    case csOpening:
        // An open port is reported at once, not at the time-out.
        return FEnv.isPortOpen && FEnv.isPortOpen() ? nowMs : afterNext;
    case csConnected:
    case csIdle:
        break;
    }
    return kNothingDue;
}

void TConnectionMachine::scheduleChanged()
{
    if (FScheduleChanged)
        FScheduleChanged();
}

void TConnectionMachine::openChosenPort(qint64 nowMs)
{
    call(FEnv.setPortPanel, FDevice.comPort);
    const TPortOpenResult result = FEnv.openPort ? FEnv.openPort(FDevice.comPort) : TPortOpenResult::Failed;
    if (result == TPortOpenResult::PermissionDenied)
        reportPermissionDenied(FDevice);
    FNextTimeMs = nowMs + kOpenTimeoutMs;
    FState = csOpening;
}

void TConnectionMachine::reportPermissionDenied(const TUSBDev& device)
{
    // The retry cycle goes on (access may be granted meanwhile), but the user hears it once.
    const QString key = deviceKey(device);
    if (FDeniedReported.contains(key))
        return;
    FDeniedReported.insert(key);
    qCWarning(lcConnection) << "permission denied opening" << device.comPort;
    call(FEnv.showMessage,
         fillPort(Tr("Keine Zugriffsrechte für den Anschluss %s. Bitte die mitgelieferte udev-Regel "
                     "installieren oder den Benutzer in die Gruppe \"dialout\" aufnehmen und neu anmelden."),
                  device.comPort),
         true);
}

QString TConnectionMachine::deviceKey(const TUSBDev& device)
{
    return QString::number(device.vid) + QLatin1Char(':') + QString::number(device.pid) + QLatin1Char(':')
        + device.serialNo + QLatin1Char('@') + device.comPort;
}

void TConnectionMachine::Disconnect()
{
    // Halt first so nothing new is queued while the queue is emptied.
    call(FEnv.setHalted, true);
    call(FEnv.clearOrders);
    FState = csIdle;
    FDevice.comPort.clear();
    FDeviceIndex = 0;
    call(FEnv.setLinkPanelOffline);
    call(FEnv.closePort);
    scheduleChanged();
}

void TConnectionMachine::StartConnecting()
{
    // Due at once: a wait left over from the previous connection would delay a chosen device
    // by up to the open time-out.
    FNextTimeMs = std::numeric_limits<qint64>::min();
    FState = csSearching;
    call(FEnv.setHalted, false);
    scheduleChanged();
}

void TConnectionMachine::ResetDevice()
{
    FDevice = TUSBDev{};
    FDeviceIndex = 0;
}

bool TConnectionMachine::ConnectTo(const TUSBDev& device)
{
    if (device.comPort.isEmpty())
        return false;
    Disconnect();
    call(FEnv.setOffline);
    call(FEnv.showInfo, fillPort(Tr("Verbinde zu %s ..."), device.comPort));
    FDevice = device;
    StartConnecting();
    return true;
}
