#include "updateenv.h"

#include "devicestatus.h"
#include "mainwindow.h"
#include "sendorder.h"
#include "statusbar.h"
#include "tfupdate.h"

#include <QPointer>

namespace {

// Device state code of the status display while the firmware is replaced.
constexpr int kUpdateDeviceState = 128;
// Longest wait for the last bytes to leave before the bootloader's port is closed.
constexpr int kDrainTimeoutMs = 500;

}  // namespace

TPLXForm* CreateUpdateWindow(TForm1& form, TAppContext& context)
{
    TUpdateEnv e;
    e.isOnline = [&context] { return context.Online; };
    e.sendOrder = [](int clientId, const QString& command, int tag) { SendOrder(clientId, command, tag); };
    e.disconnect = [&form] { form.Connection().Disconnect(); };
    e.startConnecting = [&form] { form.Connection().StartConnecting(); };
    e.setOffline = [&form] { form.SetOnOffline(false); };
    e.showUpdateState = [&form, &context] {
        context.Device.DeviceState = kUpdateDeviceState;
        form.Status().ShowDeviceState();
    };
    e.lockLinkActions = [&form](bool locked) { form.LockLinkActions(locked); };
    e.statusSetPort = [&form](const QString& port) { form.StatusPanels().StatusSetPort(port); };
    e.statusSetOnline = [&form](bool online) { form.StatusPanels().StatusSetOnline(online); };
    e.isDevicePresent = [&form](int vid, int pid, const QString& serialNo) {
        return form.Discovery().IsDevicePresent(vid, pid, serialNo);
    };
    e.getPortName = [&form](int vid, int pid, const QString& serialNo) {
        return form.Discovery().GetPortName(vid, pid, serialNo);
    };
    e.openPort = [&form](const QString& port) {
        if (form.Serial().RS232Open(port))
            return TPortOpenResult::Opened;
        return form.Serial().RS232LastOpenError() == QSerialPort::PermissionError ? TPortOpenResult::PermissionDenied
                                                                                  : TPortOpenResult::Failed;
    };
    e.closePort = [&form] { form.Serial().RS232Open(QString()); };
    e.drainPort = [&form] { form.Serial().RS232Drain(kDrainTimeoutMs); };
    e.purge = [&form] { form.Serial().RS232Purge(); };
    e.send = [&form](const QByteArray& bytes) { return form.Serial().RS232Send(bytes); };
    e.expectBytes = [&form](int count) { form.Serial().RS232ExpectBytes(count); };
    e.getData = [&form](QByteArray& data) { return form.Serial().RS232GetData(data); };
    e.resetReceive = [&form] { form.Serial().RS232ResetReceive(); };
    // The window clears the handler when it goes, which at program exit is after the main window
    // and its serial port are gone.
    QPointer<TfRS232> serial(&form.Serial());
    return new TfUpdate(context, std::move(e), [serial](std::function<void()> handler) {
        if (serial)
            serial->SetBlockCompleteHandler(std::move(handler));
    });
}
