#include "devicesession.h"

#include "devicestatus.h"
#include "i18n.h"
#include "sendorder.h"
#include "settingsform.h"
#include "sysmessages.h"

TDeviceSession::TDeviceSession(TAppContext& context, QObject* parent)
    : QObject(parent)
    , FContext(context)
{
    FRS232 = new TfRS232(this);
    FRS232->SetDataActivityHandler([this] {
        if (OnDataActivity)
            OnDataActivity();
    });
    FStatus = std::make_unique<TDeviceStatus>(FContext);
    FStatus->FSetOnline = [this](bool online) { SetOnOffline(online); };
    FStatus->FShowSysMessage = [](const QString& text, bool alarm) { ShowSysMessage(text, alarm); };
    FStatus->FQueuedOrderCount = [this] { return FWorker ? FWorker->QueuedOrderCount() : 0; };
    FConnection = std::make_unique<TConnectionMachine>(TConnectionEnv{
        .findDevices = [this](int vid, int pid) { return FDiscovery.FindDevices(vid, pid); },
        .isDevicePresent = [this](const TUSBDev& d) { return FDiscovery.IsDevicePresent(d); },
        .openPort =
            [this](const QString& port) {
                if (FRS232->RS232Open(port))
                    return TPortOpenResult::Opened;
                return FRS232->RS232LastOpenError() == QSerialPort::PermissionError ? TPortOpenResult::PermissionDenied
                                                                                     : TPortOpenResult::Failed;
            },
        .closePort = [this] { FRS232->RS232Open(QString()); },
        .isPortOpen = [this] { return FRS232->RS232Connected(); },
        .isOnline = [this] { return FContext.Online; },
        .comError = [this] { return FWorker && FWorker->ComError(); },
        .acknowledgeComError = [this] {
            if (FWorker)
                FWorker->AcknowledgeComError();
        },
        .setOffline = [this] { SetOnOffline(false); },
        .showInfo = [](const QString& text) { ShowSysInfo(text); },
        .showMessage = [](const QString& text, bool alarm) { ShowSysMessage(text, alarm); },
        .setPortPanel = [this](const QString& port) {
            if (OnPortPanel)
                OnPortPanel(port);
        },
        .setLinkPanelOffline = [this] {
            if (OnLinkPanel)
                OnLinkPanel(false);
        },
        .clearOrders = [this] {
            if (FWorker)
                FWorker->ClearOrders();
        },
        .setHalted = [](bool halted) { SetLinkHalted(halted); },
    });

    // Runs the machine when something is due or presence may have changed, not on a fixed beat.
    FConnectionTimer = new TConnectionTimer(*FConnection, this);
    connect(FRS232, &TfRS232::RS232PortLost, FConnectionTimer, &TConnectionTimer::Poke);
    FStatusTimer.setInterval(kStatusTickMs);
    connect(&FStatusTimer, &QTimer::timeout, this, &TDeviceSession::StatusTimerTick);
}

TDeviceSession::~TDeviceSession()
{
    FConnectionTimer->stop();
    FStatusTimer.stop();
    SetOrderSink({});
    // The worker goes first: it may be waiting for the serial layer.
    FWorker.reset();
    FStatus.reset();
}

void TDeviceSession::AddClient(TSessionClient* client)
{
    if (client && !FClients.contains(client))
        FClients << client;
}

void TDeviceSession::RemoveClient(TSessionClient* client)
{
    FClients.removeAll(client);
}

QList<TSessionClient*> TDeviceSession::Clients() const
{
    QList<TSessionClient*> list = FClients;
    if (FClientSource)
        list << FClientSource();
    return list;
}

void TDeviceSession::ProcessFinishedOrder(const TOrder& order)
{
    if (order.Sender == ciMain) {
        if (OnDeliver)
            OnDeliver(ciMain, order);
        ProcessStatusAnswer(order);
        return;
    }
    const QString payload = FromWire(order.RXData);
    for (TSessionClient* m : Clients()) {
        if (m->SessionClientId() == order.Sender) {
            if (OnDeliver)
                OnDeliver(m->SessionClientId(), order);
            m->RXData(order.Status, order.TXTag, payload);
        }
    }
    // A module that asks for the device status refreshes the main window's display as well.
    if (order.Status == kOrderDone &&
        (order.RXData.contains("TIS") || order.RXData.contains("TAS") || order.RXData.contains("TAH")))
        ProcessStatusAnswer(order);
}

void TDeviceSession::ProcessStatusAnswer(const TOrder& order)
{
    FStatus->ProcessStatusAnswer(order);
    if (OnStatusAnswer)
        OnStatusAnswer(order);
}

void TDeviceSession::ShowDeviceDebugMsg(const QString& text)
{
    const QString shown = text.startsWith(QLatin1String("TIM")) ? text.mid(4) : text;
    ShowSysMessageColor(Tr("Gerät") + QStringLiteral(": ") + shown, QColor(Qt::blue));
}

void TDeviceSession::SetOnOffline(bool online)
{
    FContext.Online = online;
    if (OnLinkPanel)
        OnLinkPanel(online);
    if (online)
        FStatus->OnOnline();
    else
        FStatus->OnOffline();
    if (OnOnlineChanged)
        OnOnlineChanged(online);
    for (TSessionClient* m : Clients())
        m->SetOnOffLine(online ? 1 : 0);
}

void TDeviceSession::StartWorker()
{
    FWorker = std::make_unique<TDeviceCommThread>(
        FRS232, [this](const QString& text) { ShowDeviceDebugMsg(text); },
        [this](const TOrder& order) { ProcessFinishedOrder(order); });
    FWorker->SetComErrorHandler([this] { FConnectionTimer->Poke(); });
    FRS232->RS232SetReceiveHandler([this](const QByteArray& line) { FWorker->HandleRXData(line); });
    SetOrderSink([this](const TOrder& order) { FWorker->AddOrder(order); });
    FWorker->Start();
}

void TDeviceSession::StopTimers()
{
    FStatusTimer.stop();
    FConnectionTimer->stop();
}

void TDeviceSession::ApplySettings(bool initial)
{
    if (initial)
        FConnection->ResetDevice();
    TFSettingsForm& settings = FContext.Settings();
    FConnection->SetUsbIds(settings.GetInt(QStringLiteral("Connection/Main/USB_VID")),
                           settings.GetInt(QStringLiteral("Connection/Main/USB_PID")));
}

void TDeviceSession::StartLink()
{
    SetOnOffline(false);
    FConnection->StartConnecting();
    // The roots are known by now (command line, settings); watching them again is cheap.
    FConnectionTimer->WatchRoots(FDiscovery.Roots());
    FConnectionTimer->start();
    FStatusTimer.start();
}

void TDeviceSession::Close()
{
    FClosing = true;
    FConnectionTimer->stop();
    FStatusTimer.stop();
}

void TDeviceSession::ClosePort()
{
    FRS232->RS232Open(QString());
}

void TDeviceSession::StatusTimerTick()
{
    FStatusTimer.stop();
    if (OnStatusPanelTick)
        OnStatusPanelTick();
    FStatus->Tick(kStatusTickMs);
    if (OnStatusTick)
        OnStatusTick(kStatusTickMs);
    for (TSessionClient* m : Clients())
        m->TimerEvent(kStatusTickMs);
    if (!FClosing)
        FStatusTimer.start();
}
