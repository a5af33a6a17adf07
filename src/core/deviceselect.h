#pragma once
// The device selection dialog: lists the connected devices of one type and lets the user pick
// the one to connect to.

#include "discovery.h"

#include <QDialog>
#include <QList>
#include <QString>

#include <functional>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

class TfDeviceSelect : public QDialog {
    Q_OBJECT
public:
    using TDeviceFinder = std::function<QList<TUSBDev>(int vid, int pid)>;

    explicit TfDeviceSelect(TDeviceFinder finder, QWidget* parent = nullptr);

    // Shows the devices with these ids modally. device is the chosen one; its comPort is empty
    // when the user cancelled or chose nothing. Returns whether a device was chosen.
    bool GetDevice(int vid, int pid, TUSBDev& device);

    // Fills the list from devices (what GetDevice does before it shows the dialog).
    void FillList(const QList<TUSBDev>& devices);
    // The device of the selected line; comPort empty without a selection.
    TUSBDev SelectedDevice() const;
    // The line shown for device.
    QString DeviceLine(const TUSBDev& device) const;

    void SwitchLanguage();

    // Shown instead of a made-up instance name of a device without serial number.
    QString FUnknownSerNo = QStringLiteral("[Sarvik2V2]");
    QList<TUSBDev> FDeviceList;

private:
    void lbDevicesSelectionChanged();
    void lbDevicesDblClick(QListWidgetItem* item);
    void updateButtons();

    TDeviceFinder FFinder;
    QLabel* FLabel = nullptr;
    QListWidget* lbDevices = nullptr;
    QPushButton* btnConnect = nullptr;
    QPushButton* btnCancel = nullptr;
};
