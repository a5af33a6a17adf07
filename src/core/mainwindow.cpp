#include "mainwindow.h"

#include "deviceselect.h"
#include "devicestatus.h"
#include "dialogs.h"
#include "docpaths.h"
#include "i18n.h"
#include "linklog.h"
#include "plxform.h"
#include "programsettings.h"
#include "protocolfile.h"
#include "sendorder.h"
#include "settingsform.h"
#include "statusarea.h"
#include "statusbar.h"
#include "sysmeld.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

Q_DECLARE_LOGGING_CATEGORY(lcCore)

namespace {

constexpr int kStatusTickMs = 50;

TMainDialogs defaultDialogs(TfWarn** warn)
{
    TMainDialogs d;
    d.askYesNo = [](QWidget* parent, const QString& question) {
        return QMessageBox::question(parent, QStringLiteral("SarvikControl"), question,
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
    d.warn = [](QWidget* parent, const QString& text) {
        QMessageBox::warning(parent, QStringLiteral("SarvikControl"), text);
    };
    d.error = [](QWidget* parent, const QString& text) {
        QMessageBox::critical(parent, QStringLiteral("SarvikControl"), text);
    };
    d.confirmAdjustment = [warn](QWidget*) { return *warn && (*warn)->exec() == QDialog::Accepted; };
    d.openDocument = [](const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    return d;
}

}  // namespace

TForm1::TForm1(TFSettingsForm& settings, const QStringList& arguments, const QString& startDir, QWidget* parent)
    : QMainWindow(parent)
    , FSettings(settings)
    , FContext(settings)
    , FStartDir(startDir)
{
    setObjectName(QStringLiteral("Form1"));
    // 1. The schema with its defaults, before anything reads a setting.
    BuildProgramSettings(FSettings);
    // The worker reads the logging switch; it sees the tree only through this flag.
    FSettings.SetOnValueChanged([](TValueNode& node) {
        if (node.ToString() == QLatin1String("settings/General/Logging"))
            TLinkLog::instance().setEnabled(node.GetBool(-1, -1));
    });
    TLinkLog::instance().setEnabled(FSettings.GetBool(QStringLiteral("General/Logging")));

    FProgramVersion = QStringLiteral("%1.%2.%3").arg(SARVIK_VERSION_MAJOR).arg(SARVIK_VERSION_MINOR).arg(SARVIK_VERSION_PATCH);
    FCommandLine = ParseCommandLine(arguments);
    FContext.ServiceMode = FCommandLine.ServiceMode;
    FSettingsFile = ChooseSettingsFile(FCommandLine.ConfiguredName, FStartDir);
    FSettings.SetStr(QStringLiteral("General/IniFile"), FSettingsFile);
    FDiscovery.SetDeviceRoots(FCommandLine.DeviceRoots);
    FDialogs = defaultDialogs(&FWarn);

    // The status area sits under the menu, the module windows below it.
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    FStatusArea = new TStatusArea(central);
    FMdi = new QMdiArea(central);
    FMdi->setObjectName(QStringLiteral("MdiArea"));
    layout->addWidget(FStatusArea);
    layout->addWidget(FMdi, 1);
    setCentralWidget(central);
    FStatusPanels = new TStatusPanels(this);
    FStatusPanels->StatusInit(kStatusTickMs, statusBar());
    SetStatusMessageHook([this](const QString& text, bool alarm) { FStatusPanels->StatusSetMessage(text, alarm); });
    CreateActions();
    CreateMenus();
    mnuService2->menuAction()->setVisible(FContext.ServiceMode);

    FRS232 = new TfRS232(this);
    FRS232->SetDataActivityHandler([this] { FStatusPanels->StatusDataActivity(); });
    FStatus = std::make_unique<TDeviceStatus>(FContext);
    FStatus->FSetOnline = [this](bool online) { SetOnOffline(online); };
    FStatus->FShowSysMessage = [](const QString& text, bool alarm) { ShowSysMessage(text, alarm); };
    FStatus->FCaptionChanged = [this](const QString&) { UpdateCaption(); };
    FStatus->FQueuedOrderCount = [this] { return FWorker ? FWorker->QueuedOrderCount() : 0; };
    ConnectStatusArea(*FStatus, *FStatusArea);
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
        .setPortPanel = [this](const QString& port) { FStatusPanels->StatusSetPort(port); },
        .setLinkPanelOffline = [this] { FStatusPanels->StatusSetOnline(false); },
        .clearOrders = [this] {
            if (FWorker)
                FWorker->ClearOrders();
        },
        .setHalted = [](bool halted) { SetLinkHalted(halted); },
    });

    // Runs the machine when something is due or presence may have changed, not on a fixed beat.
    FConnectionTimer = new TConnectionTimer(*FConnection, this);
    FConnectionTimer->WatchRoots(FDiscovery.Roots());
    connect(FRS232, &TfRS232::RS232PortLost, FConnectionTimer, &TConnectionTimer::Poke);
    FStatusTimer.setInterval(kStatusTickMs);
    connect(&FStatusTimer, &QTimer::timeout, this, &TForm1::StatusTimerTick);

    // 7. Translation with the defaults; the file's language comes with ApplySettings.
    SetProgramLanguage(FSettings.GetInt(QStringLiteral("General/ProgLang")));

    // The windows that live as long as the program.
    ConnectProtocolToLink(FSettings, FProgramVersion);
    FSysMeld = new TfSysMeld(FContext, this);
    SetSysMeldWindow(FSysMeld);
    FSysMeld->SetKeepClearArea([this] { return FStatusArea ? FStatusArea->ErrorPanelArea() : QRect(); });
    FWarn = new TfWarn(this);
    FAbout = new TfAbout(FProgramVersion, this);
    FDeviceSelect = new TfDeviceSelect([this](int vid, int pid) { return FDiscovery.FindDevices(vid, pid); }, this);
    SwitchLanguage();
    resize(900, 650);
}

TForm1::~TForm1()
{
    FConnectionTimer->stop();
    FStatusTimer.stop();
    SetOrderSink({});
    // The worker goes first: it may be waiting for the serial layer.
    FWorker.reset();
    // The area shows what the status handling tells it, so it goes before it.
    delete FStatusArea;
    FStatusArea = nullptr;
    FStatus.reset();
    SetSysMeldWindow(nullptr);
    SetStatusMessageHook({});
}

QAction* TForm1::makeAction(const char* objectName, const QKeySequence& shortcut)
{
    auto* a = new QAction(this);
    a->setObjectName(QString::fromLatin1(objectName));
    if (!shortcut.isEmpty())
        a->setShortcut(shortcut);
    return a;
}

void TForm1::CreateActions()
{
    actSysmeld = makeAction("actSysmeld", Qt::Key_F3);
    actProgeinstell = makeAction("actProgeinstell");
    actDeviceSelect = makeAction("actDeviceSelect");
    actBeenden = makeAction("actBeenden");
    actGeraeteeinstell = makeAction("actGeraeteeinstell", Qt::Key_F2);
    actFernsteuerung = makeAction("actFernsteuerung", Qt::Key_F4);
    actProbedaten = makeAction("actProbedaten", Qt::Key_F6);
    actJustage = makeAction("actJustage");
    actFWakutalisierung = makeAction("actFWakutalisierung");
    actTextkonfig = makeAction("actTextkonfig");
    actManuell = makeAction("actManuell");
    actTestergebnisse = makeAction("actTestergebnisse");
    actZaehler = makeAction("actZaehler");
    actSpeichermon = makeAction("actSpeichermon");
    actHandbuch = makeAction("actHandbuch", Qt::Key_F1);
    actInfo = makeAction("actInfo");

    FModuleActions[ciEinstellung] = actGeraeteeinstell;
    FModuleActions[ciBedien] = actFernsteuerung;
    FModuleActions[ciZaehler] = actZaehler;
    FModuleActions[ciUpdate] = actFWakutalisierung;
    FModuleActions[ciTc] = actTextkonfig;
    FModuleActions[ciManuell] = actManuell;
    FModuleActions[ciMem] = actSpeichermon;
    FModuleActions[ciKalib] = actJustage;
    FModuleActions[ciProbedaten] = actProbedaten;
    FModuleActions[ciService] = actTestergebnisse;
    for (int id = 0; id < kClientCount; ++id) {
        QAction* a = FModuleActions[static_cast<size_t>(id)];
        if (!a || id == ciKalib)
            continue;
        a->setEnabled(false);
        connect(a, &QAction::triggered, this, [this, id] { OpenModule(id); });
    }
    actJustage->setEnabled(false);
    connect(actJustage, &QAction::triggered, this, &TForm1::actJustageExecute);
    connect(actSysmeld, &QAction::triggered, this, &TForm1::actSysmeldExecute);
    connect(actDeviceSelect, &QAction::triggered, this, &TForm1::actDeviceSelectExecute);
    connect(actHandbuch, &QAction::triggered, this, &TForm1::actHandbuchExecute);
    connect(actInfo, &QAction::triggered, this, &TForm1::actInfoExecute);
    connect(actBeenden, &QAction::triggered, this, &QWidget::close);
    // The settings editor is not part of the program yet.
    actProgeinstell->setEnabled(false);
}

void TForm1::CreateMenus()
{
    mnuDatei = menuBar()->addMenu(QString());
    mnuDatei->setObjectName(QStringLiteral("mnuDatei"));
    mnuDatei->addActions({actSysmeld, actProgeinstell, actDeviceSelect});
    mnuDatei->addSeparator();
    mnuDatei->addAction(actBeenden);
    mnuModule = menuBar()->addMenu(QString());
    mnuModule->setObjectName(QStringLiteral("mnuModule"));
    mnuModule->addActions({actGeraeteeinstell, actFernsteuerung, actProbedaten});
    mnuService = menuBar()->addMenu(QString());
    mnuService->setObjectName(QStringLiteral("mnuService"));
    mnuService->addActions({actJustage, actFWakutalisierung, actTextkonfig, actManuell, actTestergebnisse});
    mnuService2 = menuBar()->addMenu(QString());
    mnuService2->setObjectName(QStringLiteral("mnuService2"));
    mnuService2->addActions({actZaehler, actSpeichermon});
    mnuInfo = menuBar()->addMenu(QString());
    mnuInfo->setObjectName(QStringLiteral("mnuInfo"));
    mnuInfo->addActions({actHandbuch, actInfo});
    mnuFenster = menuBar()->addMenu(QString());
    mnuFenster->setObjectName(QStringLiteral("mnuFenster"));
    mnuOffeneFenster = mnuFenster->addMenu(QString());
    mnuOffeneFenster->setObjectName(QStringLiteral("mnuOffeneFenster"));
    connect(mnuOffeneFenster, &QMenu::aboutToShow, this, &TForm1::UpdateWindowMenu);

    FToolBar = addToolBar(QString());
    FToolBar->setObjectName(QStringLiteral("ToolBar"));
    FToolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    FToolBar->addActions({actSysmeld, actGeraeteeinstell, actFernsteuerung, actProbedaten, actJustage, actManuell,
                          actTextkonfig, actFWakutalisierung, actTestergebnisse, actBeenden});
}

QAction* TForm1::Action(const QString& objectName) const
{
    return findChild<QAction*>(objectName);
}

void TForm1::UpdateWindowMenu()
{
    mnuOffeneFenster->clear();
    for (QMdiSubWindow* sub : FMdi->subWindowList()) {
        QAction* a = mnuOffeneFenster->addAction(sub->windowTitle());
        connect(a, &QAction::triggered, this, [this, sub = QPointer<QMdiSubWindow>(sub)] {
            if (!sub)
                return;
            if (sub->isMinimized())
                sub->showNormal();
            FMdi->setActiveSubWindow(sub);
        });
    }
    mnuOffeneFenster->setEnabled(!FMdi->subWindowList().isEmpty());
}

void TForm1::SwitchLanguage()
{
    mnuDatei->setTitle(Tr("&Datei"));
    mnuModule->setTitle(Tr("&Module"));
    mnuService->setTitle(Tr("&Service"));
    mnuService2->setTitle(Tr("S&ervice2"));
    mnuInfo->setTitle(Tr("&Info"));
    mnuFenster->setTitle(Tr("&Fenster"));
    mnuOffeneFenster->setTitle(Tr("&Offene Fenster"));
    FToolBar->setWindowTitle(Tr("Werkzeugleiste"));
    FStatusArea->SwitchLanguage();
    FStatusPanels->SwitchLanguage();
    FStatus->SwitchLanguage();
    const struct {
        QAction* action;
        const char* menuText;
        const char* toolText;
    } texts[] = {
        {actSysmeld, TrNoop("&Systemmeldungen"), TrNoop("Systemmeldungen")},
        {actProgeinstell, TrNoop("&Programmeinstellungen"), nullptr},
        {actDeviceSelect, TrNoop("&Gerät auswählen..."), nullptr},
        {actBeenden, TrNoop("&Beenden"), TrNoop("Beenden")},
        {actGeraeteeinstell, TrNoop("&Geräteeinstellungen"), TrNoop("Geräteeinstellungen")},
        {actFernsteuerung, TrNoop("&Fernsteuerung"), TrNoop("Fernsteuerung")},
        {actProbedaten, TrNoop("&Probenahmedaten"), TrNoop("Probenahmedaten")},
        {actJustage, TrNoop("&Justagedaten"), TrNoop("Justagedaten")},
        {actFWakutalisierung, TrNoop("&Firmwareaktualisierung"), TrNoop("Firmwareaktualisierung")},
        {actTextkonfig, TrNoop("&Konfiguration über Textdateien"), TrNoop("Konfiguration über Textdateien")},
        {actManuell, TrNoop("&Manuelle Steuerung"), TrNoop("Manuelle Steuerung")},
        {actTestergebnisse, TrNoop("&Serviceinformationen"), TrNoop("Serviceinformationen")},
        {actZaehler, TrNoop("&Zählerstände"), nullptr},
        {actSpeichermon, TrNoop("&Speichermonitor"), nullptr},
        {actHandbuch, TrNoop("&Benutzerhandbuch"), nullptr},
        {actInfo, TrNoop("Üb&er SarvikControl"), nullptr},
    };
    for (const auto& t : texts) {
        t.action->setText(Tr(t.menuText));
        if (t.toolText)
            t.action->setIconText(Tr(t.toolText));
    }
    if (FWarn)
        FWarn->SwitchLanguage();
    if (FAbout)
        FAbout->SwitchLanguage();
    if (FDeviceSelect)
        FDeviceSelect->SwitchLanguage();
    if (TfSysMeld* sysMeld = SysMeldWindow())
        sysMeld->SwitchLanguage();
    for (const QPointer<TPLXForm>& m : FModules) {
        if (m)
            m->SwitchLanguage();
    }
    UpdateCaption();
}

void TForm1::UpdateCaption()
{
    const QString serial = FContext.Device.SerialNo;
    setWindowTitle(FContext.Online && !serial.isEmpty() ? serial + QStringLiteral(" - SarvikControl")
                                                        : QStringLiteral("SarvikControl"));
}

void TForm1::SetModuleFactory(int clientId, TModuleFactory factory)
{
    if (clientId <= 0 || clientId >= kClientCount || clientId == ciSysMeld)
        return;
    FFactories[static_cast<size_t>(clientId)] = std::move(factory);
    UpdateServiceActions();
}

void TForm1::UpdateServiceActions()
{
    const bool shown = FContext.ServiceShown;
    for (int id : {int(ciKalib), int(ciUpdate), int(ciTc), int(ciManuell), int(ciService)}) {
        QAction* a = FModuleActions[static_cast<size_t>(id)];
        a->setVisible(shown);
        a->setEnabled(shown && FFactories[static_cast<size_t>(id)]);
    }
    mnuService->menuAction()->setVisible(shown);
    for (int id : {int(ciEinstellung), int(ciBedien), int(ciProbedaten), int(ciZaehler), int(ciMem)})
        FModuleActions[static_cast<size_t>(id)]->setEnabled(bool(FFactories[static_cast<size_t>(id)]));
}

TPLXForm* TForm1::Module(int clientId) const
{
    if (clientId < 0 || clientId >= kClientCount)
        return nullptr;
    return FModules[static_cast<size_t>(clientId)].data();
}

TPLXForm* TForm1::OpenModule(int clientId)
{
    if (clientId <= 0 || clientId >= kClientCount || clientId == ciSysMeld)
        return nullptr;
    const auto idx = static_cast<size_t>(clientId);
    TPLXForm* existing = FModules[idx].data();
    if (FContext.Clients[idx].isOpen && existing) {
        QWidget* frame = existing->FrameWindow();
        if (frame->isMinimized())
            frame->showNormal();
        if (auto* sub = qobject_cast<QMdiSubWindow*>(frame))
            FMdi->setActiveSubWindow(sub);
        frame->raise();
        return existing;
    }
    if (!FFactories[idx])
        return nullptr;
    TPLXForm* w = FFactories[idx](FContext);
    if (!w)
        return nullptr;
    FModules[idx] = w;
    QMdiSubWindow* sub = FMdi->addSubWindow(w);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowTitle(w->windowTitle());
    connect(w, &QWidget::windowTitleChanged, sub, &QWidget::setWindowTitle);
    sub->show();
    if (FContext.Online)
        w->SetOnOffLine(1);
    return w;
}

QList<TPLXForm*> TForm1::OpenModules() const
{
    // Open, not visible: a minimised window's inner widget counts as hidden, yet a download
    // running in it must go on.
    QList<TPLXForm*> list;
    for (const QPointer<TPLXForm>& m : FModules) {
        if (m && m->IsOpen())
            list << m.data();
    }
    return list;
}

void TForm1::ProcessFinishedOrder(const TOrder& order)
{
    if (order.Sender == ciMain) {
        ProcessStatusAnswer(order);
        return;
    }
    const QString payload = FromWire(order.RXData);
    for (TPLXForm* m : OpenModules()) {
        if (m->FClientID == order.Sender)
            m->RXData(order.Status, order.TXTag, payload);
    }
    // A module that asks for the device status refreshes the main window's display as well.
    if (order.Status == kOrderDone &&
        (order.RXData.contains("TIS") || order.RXData.contains("TAS") || order.RXData.contains("TAH")))
        ProcessStatusAnswer(order);
}

void TForm1::ProcessStatusAnswer(const TOrder& order)
{
    FStatus->ProcessStatusAnswer(order);
    if (OnStatusAnswer)
        OnStatusAnswer(order);
}

void TForm1::ShowDeviceDebugMsg(const QString& text)
{
    const QString shown = text.startsWith(QLatin1String("TIM")) ? text.mid(4) : text;
    ShowSysMessageColor(Tr("Gerät") + QStringLiteral(": ") + shown, QColor(Qt::blue));
}

void TForm1::SetOnOffline(bool online)
{
    FContext.Online = online;
    FStatusPanels->StatusSetOnline(online);
    if (online)
        FStatus->OnOnline();
    else
        FStatus->OnOffline();
    if (OnOnlineChanged)
        OnOnlineChanged(online);
    UpdateCaption();
    for (TPLXForm* m : OpenModules())
        m->SetOnOffLine(online ? 1 : 0);
}

void TForm1::StartWorker()
{
    FWorker = std::make_unique<TDeviceCommThread>(
        FRS232, [this](const QString& text) { ShowDeviceDebugMsg(text); },
        [this](const TOrder& order) { ProcessFinishedOrder(order); });
    FWorker->SetComErrorHandler([this] { FConnectionTimer->Poke(); });
    FRS232->RS232SetReceiveHandler([this](const QByteArray& line) { FWorker->HandleRXData(line); });
    SetOrderSink([this](const TOrder& order) { FWorker->AddOrder(order); });
    FWorker->Start();
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (FStarted)
        return;
    FStarted = true;
    StartWorker();
    ApplySettings(true);
}

void TForm1::ApplySettings(bool initial)
{
    FStatusTimer.stop();
    FConnectionTimer->stop();
    try {
        FSettings.ReadFromFile(FSettingsFile);
    } catch (const std::exception& e) {
        // The rest still applies, so a damaged entry does not keep the program off the device.
        ShowSysMessage(Tr("Einstellungsdatei \"%1\" fehlerhaft: %2").arg(FSettingsFile, QString::fromUtf8(e.what())),
                       true);
    }
    if (initial) {
        FDeviceSelect->FUnknownSerNo = QStringLiteral("[Sarvik2V2]");
        FConnection->ResetDevice();
    }
    FContext.ServiceShown = FSettings.GetBool(QStringLiteral("General/ServiceModules")) || FContext.ServiceMode;
    UpdateServiceActions();
    FConnection->SetUsbIds(FSettings.GetInt(QStringLiteral("Connection/Main/USB_VID")),
                           FSettings.GetInt(QStringLiteral("Connection/Main/USB_PID")));
    if (initial) {
        const QSize screenSize = screen() ? screen()->availableGeometry().size() : QSize(1024, 768);
        setGeometry(ApplyStoredGeometry(geometry(), FSettings.GetInt(WinPosPath(0, "Top")),
                                        FSettings.GetInt(WinPosPath(0, "Left")), FSettings.GetInt(WinPosPath(0, "Width")),
                                        FSettings.GetInt(WinPosPath(0, "Height")), screenSize));
        for (RClient& c : FContext.Clients)
            c.isOpen = false;
        ReopenModules();
    }
    SetProgramLanguage(FSettings.GetInt(QStringLiteral("General/ProgLang")));
    SwitchLanguage();
    SetOnOffline(false);
    FConnection->StartConnecting();
    FConnectionTimer->start();
    FStatusTimer.start();
}

void TForm1::ReopenModules()
{
    auto wasOpen = [this](int id) { return FSettings.GetBool(WinPosPath(id, "Open")); };
    for (int id : {int(ciEinstellung), int(ciBedien), int(ciProbedaten)}) {
        if (wasOpen(id))
            OpenModule(id);
    }
    if (FContext.ServiceShown) {
        for (int id : {int(ciUpdate), int(ciTc), int(ciManuell), int(ciService)}) {
            if (wasOpen(id))
                OpenModule(id);
        }
    }
    if (FContext.ServiceMode) {
        for (int id : {int(ciZaehler), int(ciMem), int(ciKalib)}) {
            if (wasOpen(id))
                OpenModule(id);
        }
    }
}

void TForm1::StatusTimerTick()
{
    FStatusTimer.stop();
    FStatusPanels->StatusTick();
    FStatus->Tick(kStatusTickMs);
    if (OnStatusTick)
        OnStatusTick(kStatusTickMs);
    for (TPLXForm* m : OpenModules())
        m->TimerEvent(kStatusTickMs);
    if (!FClosing)
        FStatusTimer.start();
}

void TForm1::actSysmeldExecute()
{
    TfSysMeld* w = SysMeldWindow();
    if (!w)
        return;
    if (w->isVisible() && !w->isMinimized()) {
        w->close();
    } else {
        w->showNormal();
        w->raise();
    }
    activateWindow();
}

void TForm1::actJustageExecute()
{
    if (FContext.Clients[ciKalib].isOpen || FContext.ServiceMode || FDialogs.confirmAdjustment(this))
        OpenModule(ciKalib);
}

void TForm1::actDeviceSelectExecute()
{
    if (FLinkActionsLocked)
        return;
    TUSBDev device;
    FDeviceSelect->GetDevice(FConnection->UsbVid(), FConnection->UsbPid(), device);
    FConnection->ConnectTo(device);
}

void TForm1::actHandbuchExecute()
{
    const QString path = ManualPath(Tr("SarvikControl_Handbuch.pdf"));
    if (QFileInfo(path).isFile() && FDialogs.openDocument(path))
        return;
    FDialogs.error(this, Tr("Die Handbuchdatei \"%1\" wurde nicht gefunden.").arg(BreakPath(path)));
}

void TForm1::actInfoExecute()
{
    FAbout->exec();
}

void TForm1::LockLinkActions(bool locked)
{
    if (locked == FLinkActionsLocked)
        return;
    FLinkActionsLocked = locked;
    if (locked) {
        FProgeinstellWasEnabled = actProgeinstell->isEnabled();
        FDeviceSelectWasEnabled = actDeviceSelect->isEnabled();
        actProgeinstell->setEnabled(false);
        actDeviceSelect->setEnabled(false);
    } else {
        actProgeinstell->setEnabled(FProgeinstellWasEnabled);
        actDeviceSelect->setEnabled(FDeviceSelectWasEnabled);
    }
}

void TForm1::CloseWithoutQuestion()
{
    FAskOnClose = false;
    close();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    // A module in the middle of something that must not be cut off (a firmware transfer)
    // keeps the program open; it tells the user itself.
    for (const QPointer<TPLXForm>& m : FModules) {
        if (m && !m->CloseQuery()) {
            FAskOnClose = true;
            event->ignore();
            return;
        }
    }
    if (FAskOnClose && FSettings.GetBool(QStringLiteral("General/ConfirmExit")) &&
        !FDialogs.askYesNo(this, Tr("Programm wirklich beenden?"))) {
        event->ignore();
        return;
    }
    FAskOnClose = true;
    FClosing = true;
    FConnectionTimer->stop();
    FStatusTimer.stop();

    QString err;
    const QRect g = geometry();
    FSettings.SetInt(WinPosPath(0, "Height"), g.height(), err);
    FSettings.SetInt(WinPosPath(0, "Width"), g.width(), err);
    FSettings.SetInt(WinPosPath(0, "Top"), g.top(), err);
    FSettings.SetInt(WinPosPath(0, "Left"), g.left(), err);
    for (int id = 0; id < kClientCount; ++id)
        FSettings.SetBool(WinPosPath(id, "Open"), FContext.Clients[static_cast<size_t>(id)].isOpen, err);

    for (const QPointer<TPLXForm>& m : FModules) {
        if (m)
            m->FrameWindow()->close();
    }
    if (TfSysMeld* w = SysMeldWindow())
        w->StoreGeometry();
    try {
        FSettings.SaveToFile(FSettingsFile);
    } catch (const std::exception& e) {
        // Two texts joined by CR LF: catalogues do not take "\r" inside a message.
        FDialogs.warn(this, Tr("Konfiguration konnte nicht gespeichert werden.") + QStringLiteral("\r\n") +
                                Tr("Fehlermeldung:") + QStringLiteral("\r\n") + QString::fromUtf8(e.what()));
    }
    ProtocolClose();
    FRS232->RS232Open(QString());
    if (TfSysMeld* w = SysMeldWindow())
        w->hide();
    event->accept();
}
