#pragma once
// The device link of a run without widgets: the worker, the serial layer, discovery, the
// connection machine and its timer, the status polling with its 50 ms timer, dispatch of
// finished orders by client id, and online/offline to the clients. The main window and the
// command-line program both drive the device through one of these. User-interface thread only.

#include "appcontext.h"
#include "connection.h"
#include "connectiontimer.h"
#include "devicecommthread.h"
#include "discovery.h"
#include "sessionclient.h"
#include "serialport.h"

#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class TDeviceStatus;

class TDeviceSession : public QObject {
    Q_OBJECT
public:
    static constexpr int kStatusTickMs = 50;

    explicit TDeviceSession(TAppContext& context, QObject* parent = nullptr);
    ~TDeviceSession() override;

    // Clients that stay (command line) and a source of the ones that come and go (the open
    // module windows); both get answers, ticks and online changes.
    void AddClient(TSessionClient* client);
    void RemoveClient(TSessionClient* client);
    void SetClientSource(std::function<QList<TSessionClient*>()> source) { FClientSource = std::move(source); }
    QList<TSessionClient*> Clients() const;

    // Creates and starts the worker and connects it to the serial layer and SendOrder.
    void StartWorker();
    // Stops both timers (settings are about to be applied).
    void StopTimers();
    // USB ids from the settings; initial: no device chosen yet.
    void ApplySettings(bool initial);
    // Offline, searching, both timers running.
    void StartLink();
    // The run ends: the timers stay stopped from now on.
    void Close();
    void ClosePort();

    void ProcessFinishedOrder(const TOrder& order);
    void ProcessStatusAnswer(const TOrder& order);
    void ShowDeviceDebugMsg(const QString& text);
    void SetOnOffline(bool online);

    TAppContext& Context() { return FContext; }
    TConnectionMachine& Connection() { return *FConnection; }
    TDeviceDiscovery& Discovery() { return FDiscovery; }
    TfRS232& Serial() { return *FRS232; }
    TDeviceCommThread* Worker() { return FWorker.get(); }
    TDeviceStatus& Status() { return *FStatus; }

    // Told of every answer the status handling gets (client 0, module answers with TIS/TAS/TAH).
    std::function<void(const TOrder& order)> OnStatusAnswer;
    // Told of every finished order right before it is handed to its client (client 0: the
    // status handling), with the client's id as the client itself gives it.
    std::function<void(int clientId, const TOrder& order)> OnDeliver;
    // After SetOnOffline changed the state and the status handling knows, before the clients.
    std::function<void(bool online)> OnOnlineChanged;
    // Every 50 ms tick: OnStatusPanelTick before the polling, OnStatusTick after it, both before
    // the clients get theirs.
    std::function<void()> OnStatusPanelTick;
    std::function<void(int interval)> OnStatusTick;
    // The status bar's link, port and data panels.
    std::function<void(bool online)> OnLinkPanel;
    std::function<void(const QString& port)> OnPortPanel;
    std::function<void()> OnDataActivity;

private:
    void StatusTimerTick();

    TAppContext& FContext;
    bool FClosing = false;
    QList<TSessionClient*> FClients;
    std::function<QList<TSessionClient*>()> FClientSource;

    TDeviceDiscovery FDiscovery;
    TfRS232* FRS232 = nullptr;
    std::unique_ptr<TDeviceCommThread> FWorker;
    std::unique_ptr<TConnectionMachine> FConnection;
    TConnectionTimer* FConnectionTimer = nullptr;
    QTimer FStatusTimer;
    std::unique_ptr<TDeviceStatus> FStatus;
};
