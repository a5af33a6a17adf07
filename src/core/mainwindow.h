#pragma once
// The program's frame: menus, the MDI area with the module windows, the device link and its
// timers, routing of finished orders, and start-up and shutdown in their order.

#include "appcontext.h"
#include "commandline.h"
#include "connection.h"
#include "connectiontimer.h"
#include "devicecommthread.h"
#include "discovery.h"
#include "serialport.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>

class QAction;
class QMdiArea;
class QMenu;
class QToolBar;
class TFSettingsForm;
class TPLXForm;
class TfAbout;
class TfDeviceSelect;
class TfWarn;
class TDeviceStatus;
class TStatusArea;
class TStatusPanels;

// Boxes the main window asks or warns with; replaced by tests.
struct TMainDialogs {
    std::function<bool(QWidget* parent, const QString& question)> askYesNo;
    std::function<void(QWidget* parent, const QString& text)> warn;
    std::function<void(QWidget* parent, const QString& text)> error;
    std::function<bool(QWidget* parent)> confirmAdjustment;  // TfWarn; true opens the window
    std::function<bool(const QString& path)> openDocument;
};

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    using TModuleFactory = std::function<TPLXForm*(TAppContext& context)>;

    // Builds the settings schema into settings, reads the command line (arguments without the
    // program name) and sets up translation. startDir ends with "/".
    TForm1(TFSettingsForm& settings, const QStringList& arguments, const QString& startDir,
           QWidget* parent = nullptr);
    ~TForm1() override;

    // Module windows plug in by client id; an id without factory keeps its action disabled.
    void SetModuleFactory(int clientId, TModuleFactory factory);

    // Creates the window or brings the open one to the front (restored when minimised).
    TPLXForm* OpenModule(int clientId);
    TPLXForm* Module(int clientId) const;

    void ProcessFinishedOrder(const TOrder& order);
    void ShowDeviceDebugMsg(const QString& text);
    void SetOnOffline(bool online);
    void ApplySettings(bool initial);
    // The main window's own status handling; OnStatusAnswer observes it.
    void ProcessStatusAnswer(const TOrder& order);
    // SIGTERM, SIGINT: ends like "Beenden" but without the exit question.
    void CloseWithoutQuestion();
    // Settings editor and device selection off while a module drives the port itself (they
    // would lift the link's halt or close the port); unlocking restores what they were.
    void LockLinkActions(bool locked);
    bool LinkActionsLocked() const { return FLinkActionsLocked; }

    // Told of every answer the status handling gets (client 0, module answers with TIS/TAS/TAH).
    std::function<void(const TOrder& order)> OnStatusAnswer;
    // Told after SetOnOffline changed the state, before the module windows are.
    std::function<void(bool online)> OnOnlineChanged;
    // Every 50 ms tick, before the module windows get theirs.
    std::function<void(int interval)> OnStatusTick;

    TMainDialogs& Dialogs() { return FDialogs; }
    TAppContext& Context() { return FContext; }
    TFSettingsForm& Settings() { return FSettings; }
    TConnectionMachine& Connection() { return *FConnection; }
    TDeviceDiscovery& Discovery() { return FDiscovery; }
    TfRS232& Serial() { return *FRS232; }
    TDeviceCommThread* Worker() { return FWorker.get(); }
    TfDeviceSelect* DeviceSelect() { return FDeviceSelect; }
    TDeviceStatus& Status() { return *FStatus; }
    TStatusPanels& StatusPanels() { return *FStatusPanels; }
    QMdiArea* MdiArea() { return FMdi; }
    const TCommandLine& CommandLine() const { return FCommandLine; }
    QString SettingsFile() const { return FSettingsFile; }
    QString ProgramVersion() const { return FProgramVersion; }
    QAction* Action(const QString& objectName) const;

    // Main window caption: serial number + " - SarvikControl" while online and known.
    void UpdateCaption();
    // Re-translates the main window and every module window.
    void SwitchLanguage();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void UpdateServiceActions();
    void UpdateWindowMenu();
    void StatusTimerTick();
    void StartWorker();
    void ReopenModules();
    void actSysmeldExecute();
    void actJustageExecute();
    void actDeviceSelectExecute();
    void actHandbuchExecute();
    void actInfoExecute();
    QList<TPLXForm*> OpenModules() const;
    QAction* makeAction(const char* objectName, const QKeySequence& shortcut = {});

    TFSettingsForm& FSettings;
    TAppContext FContext;
    TCommandLine FCommandLine;
    QString FStartDir;
    QString FSettingsFile;
    QString FProgramVersion;
    TMainDialogs FDialogs;
    bool FClosing = false;
    bool FAskOnClose = true;
    bool FStarted = false;
    bool FLinkActionsLocked = false;
    bool FProgeinstellWasEnabled = false;
    bool FDeviceSelectWasEnabled = false;

    QMdiArea* FMdi = nullptr;
    std::array<TModuleFactory, kClientCount> FFactories{};
    std::array<QPointer<TPLXForm>, kClientCount> FModules{};

    TDeviceDiscovery FDiscovery;
    TfRS232* FRS232 = nullptr;
    std::unique_ptr<TDeviceCommThread> FWorker;
    std::unique_ptr<TConnectionMachine> FConnection;
    TConnectionTimer* FConnectionTimer = nullptr;
    QTimer FStatusTimer;

    TfWarn* FWarn = nullptr;
    std::unique_ptr<TDeviceStatus> FStatus;
    TStatusArea* FStatusArea = nullptr;
    TStatusPanels* FStatusPanels = nullptr;
    class TfSysMeld* FSysMeld = nullptr;
    TfAbout* FAbout = nullptr;
    TfDeviceSelect* FDeviceSelect = nullptr;

    QMenu* mnuDatei = nullptr;
    QMenu* mnuModule = nullptr;
    QMenu* mnuService = nullptr;
    QMenu* mnuService2 = nullptr;
    QMenu* mnuInfo = nullptr;
    QMenu* mnuFenster = nullptr;
    QMenu* mnuOffeneFenster = nullptr;
    QToolBar* FToolBar = nullptr;
    QAction* actSysmeld = nullptr;
    QAction* actProgeinstell = nullptr;
    QAction* actDeviceSelect = nullptr;
    QAction* actBeenden = nullptr;
    QAction* actGeraeteeinstell = nullptr;
    QAction* actFernsteuerung = nullptr;
    QAction* actProbedaten = nullptr;
    QAction* actJustage = nullptr;
    QAction* actFWakutalisierung = nullptr;
    QAction* actTextkonfig = nullptr;
    QAction* actManuell = nullptr;
    QAction* actTestergebnisse = nullptr;
    QAction* actZaehler = nullptr;
    QAction* actSpeichermon = nullptr;
    QAction* actHandbuch = nullptr;
    QAction* actInfo = nullptr;
    std::array<QAction*, kClientCount> FModuleActions{};
};
