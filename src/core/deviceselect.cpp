#include "deviceselect.h"

#include "i18n.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TfDeviceSelect::TfDeviceSelect(TDeviceFinder finder, QWidget* parent)
    : QDialog(parent)
    , FFinder(std::move(finder))
{
    setObjectName(QStringLiteral("TfDeviceSelect"));
    FLabel = new QLabel(this);
    lbDevices = new QListWidget(this);
    lbDevices->setObjectName(QStringLiteral("lbDevices"));
    lbDevices->setSelectionMode(QAbstractItemView::SingleSelection);
    btnConnect = new QPushButton(this);
    btnConnect->setObjectName(QStringLiteral("btnConnect"));
    btnConnect->setDefault(true);
    btnCancel = new QPushButton(this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnConnect);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FLabel);
    layout->addWidget(lbDevices, 1);
    layout->addLayout(buttons);
    resize(360, 240);

    connect(lbDevices, &QListWidget::itemSelectionChanged, this, &TfDeviceSelect::lbDevicesSelectionChanged);
    connect(lbDevices, &QListWidget::itemDoubleClicked, this, &TfDeviceSelect::lbDevicesDblClick);
    connect(btnConnect, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    SwitchLanguage();
    updateButtons();
}

void TfDeviceSelect::SwitchLanguage()
{
    setWindowTitle(Tr("Geräteauswahl"));
    FLabel->setText(Tr("Erkannte Geräte:"));
    btnConnect->setText(Tr("Verbinden"));
    btnCancel->setText(Tr("Abbrechen"));
}

QString TfDeviceSelect::DeviceLine(const TUSBDev& device) const
{
    const bool madeUp = device.serialNo.endsWith(QStringLiteral("00001A")) || device.serialNo.contains(QLatin1Char('&'));
    const QString name = madeUp ? FUnknownSerNo : device.serialNo;
    return QStringLiteral("%1 (%2)").arg(name, device.comPort);
}

void TfDeviceSelect::FillList(const QList<TUSBDev>& devices)
{
    FDeviceList = devices;
    lbDevices->clear();
    for (const TUSBDev& d : FDeviceList)
        lbDevices->addItem(DeviceLine(d));
    updateButtons();
}

TUSBDev TfDeviceSelect::SelectedDevice() const
{
    // The selected line, not the one with the keyboard focus: a screen reader selects without
    // moving the focus.
    const QList<QListWidgetItem*> selected = lbDevices->selectedItems();
    if (selected.isEmpty())
        return {};
    const int row = lbDevices->row(selected.first());
    if (row < 0 || row >= FDeviceList.size())
        return {};
    return FDeviceList.at(row);
}

bool TfDeviceSelect::GetDevice(int vid, int pid, TUSBDev& device)
{
    FillList(FFinder ? FFinder(vid, pid) : QList<TUSBDev>{});
    device = exec() == QDialog::Accepted ? SelectedDevice() : TUSBDev{};
    if (device.comPort.isEmpty())
        device = TUSBDev{};
    return !device.comPort.isEmpty();
}

void TfDeviceSelect::lbDevicesSelectionChanged()
{
    updateButtons();
}

void TfDeviceSelect::lbDevicesDblClick(QListWidgetItem* item)
{
    if (item) {
        lbDevices->setCurrentItem(item, QItemSelectionModel::ClearAndSelect);
        accept();
    }
}

void TfDeviceSelect::updateButtons()
{
    btnConnect->setEnabled(!lbDevices->selectedItems().isEmpty());
}
