#include "tfservice.h"

#include "i18n.h"
#include "sysmeld.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

bool defaultQuestionBox(QWidget* parent, const QString& question)
{
    return QMessageBox::question(parent, Tr("Serviceinformationen"), question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No)
           == QMessageBox::Yes;
}

struct TFrameDef {
    const char* Caption;
    const char* Row0;
    const char* Row1;
    const char* Unit;
};

const TFrameDef kFrames[kServiceTests] = {
    {TrNoop("Ventilabgleich Kanal 1"), TrNoop("Ergebniswert 0"), TrNoop("Ergebniswert 1"), "Inkr."},
    {TrNoop("Ventilabgleich Kanal 2"), TrNoop("Ergebniswert 0"), TrNoop("Ergebniswert 1"), "Inkr."},
    {TrNoop("Interner Dichtigkeitstest"), TrNoop("Volumen Kanal 1"), TrNoop("Volumen Kanal 2"), "NL"},
    {TrNoop("Externer Dichtigkeitstest"), TrNoop("Druckdifferenz"), TrNoop("Anfangsdruck"), "mbar"},
};

QColor iconColour(int icon)
{
    switch (icon) {
    case 0: return QColor(0, 128, 0);
    case 1: return QColor(255, 0, 0);
    case 2: return QColor(255, 191, 0);
    default: return QColor(0, 0, 0);
    }
}

}  // namespace

TfService::TfService(TAppContext& context, QWidget* parent)
    : TPLXForm(context, parent)
    , FLogic(context)
    , FBinder(FLogic.Fields(), this)
    , FQuestionBox(defaultQuestionBox)
{
    setObjectName(QStringLiteral("fService"));
    FClientID = ciService;
    BuildWidgets();
    AttachStatusBar(StatusBar);
    FLogic.SetQuestion([this](const QString& q) { return FQuestionBox && FQuestionBox(this, q); });
    connect(&FLogic, &TServiceLogic::Status, this, [this](const QString& t, bool a) { ShowStatus(t, a); });
    connect(&FLogic, &TServiceLogic::SysMessage, this, [](const QString& t, bool a) { ShowSysMessage(t, a); });
    connect(&FLogic, &TServiceLogic::SysMessageColor, this, [](const QString& t, const QColor& c) { ShowSysMessageColor(t, c); });
    connect(&FLogic, &TServiceLogic::SysInfo, this, [](const QString& t) { ShowSysInfo(t); });
    connect(&FLogic, &TServiceLogic::ShowSysMeld, this, [] {
        if (TfSysMeld* w = SysMeldWindow()) {
            w->show();
            w->raise();
        }
    });
    connect(&FLogic, &TServiceLogic::ViewChanged, this, &TfService::ShowView);
    Retranslate();
}

TfService::~TfService() = default;

void TfService::BuildWidgets()
{
    auto* top = new QVBoxLayout(this);
    pcService = new QTabWidget(this);
    pcService->setObjectName(QStringLiteral("pcService"));
    top->addWidget(pcService);

    tsTesterg = new QWidget;
    tsTesterg->setObjectName(QStringLiteral("tsTesterg"));
    auto* tg = new QGridLayout(tsTesterg);
    for (int n = 0; n < kServiceTests; ++n) {
        const TFrameDef& s = kFrames[n];
        auto* frame = new TfrTestergebnis(s.Caption, s.Row0, s.Row1, QString::fromLatin1(s.Unit), tsTesterg);
        frame->setObjectName(QStringLiteral("frTestergebnis%1").arg(n));
        frame->SetStartCallback([this, n] { FLogic.btnStartTestClick(n); });
        frTestergebnis[static_cast<size_t>(n)] = frame;
        tg->addWidget(frame, n / 2, n % 2);
    }
    btnReadData = new QPushButton(tsTesterg);
    btnReadData->setObjectName(QStringLiteral("btnReadData"));
    connect(btnReadData, &QPushButton::clicked, &FLogic, &TServiceLogic::btnReadDataClick);
    tg->addWidget(btnReadData, 2, 1);
    pcService->addTab(tsTesterg, QString());

    tsErrMem = new QWidget;
    tsErrMem->setObjectName(QStringLiteral("tsErrMem"));
    auto* ev = new QVBoxLayout(tsErrMem);
    lvErrMem = new QTreeWidget(tsErrMem);
    lvErrMem->setObjectName(QStringLiteral("lvErrMem"));
    lvErrMem->setRootIsDecorated(false);
    lvErrMem->setColumnCount(6);
    ev->addWidget(lvErrMem);
    auto* eb = new QHBoxLayout;
    btnErrMemRead = new QPushButton(tsErrMem);
    btnErrMemRead->setObjectName(QStringLiteral("btnErrMemRead"));
    btnClearErrMem = new QPushButton(tsErrMem);
    btnClearErrMem->setObjectName(QStringLiteral("btnClearErrMem"));
    btnErrMemExport = new QPushButton(tsErrMem);
    btnErrMemExport->setObjectName(QStringLiteral("btnErrMemExport"));
    connect(btnErrMemRead, &QPushButton::clicked, &FLogic, &TServiceLogic::btnErrMemReadClick);
    connect(btnClearErrMem, &QPushButton::clicked, &FLogic, &TServiceLogic::btnClearErrMemClick);
    connect(btnErrMemExport, &QPushButton::clicked, &FLogic, &TServiceLogic::btnErrMemExportClick);
    eb->addWidget(btnErrMemRead);
    eb->addWidget(btnClearErrMem);
    eb->addStretch();
    eb->addWidget(btnErrMemExport);
    ev->addLayout(eb);
    pcService->addTab(tsErrMem, QString());

    tsCounters = new QWidget;
    tsCounters->setObjectName(QStringLiteral("tsCounters"));
    auto* cg = new QGridLayout(tsCounters);
    auto addGroup = [this, cg](const char* title, const std::vector<std::pair<const char*, QString>>& fields, int row, int col) {
        auto* g = new QGroupBox(tsCounters);
        FTexts.push_back([g, title] { g->setTitle(Tr(title)); });
        auto* gl = new QGridLayout(g);
        int r = 0;
        for (const auto& [caption, name] : fields) {
            auto* l = new QLabel(g);
            auto* e = new QLineEdit(g);
            e->setObjectName(name);
            e->setReadOnly(true);
            l->setBuddy(e);
            FTexts.push_back([l, e, caption = caption] {
                l->setText(Tr(caption));
                e->setAccessibleName(Tr(caption));
            });
            FBinder.Bind(e);
            gl->addWidget(l, r, 0);
            gl->addWidget(e, r, 1);
            ++r;
        }
        cg->addWidget(g, row, col);
        return g;
    };
    addGroup(TrNoop("Betriebsstunden (hhhh:mm)"),
             {{TrNoop("0 ... 29 %"), QStringLiteral("eBSZ_LK1")}, {TrNoop("30 ... 69 %"), QStringLiteral("eBSZ_LK2")},
              {TrNoop("70 ... 100 %"), QStringLiteral("eBSZ_LK4")}, {TrNoop("Summe"), QStringLiteral("eBSZ_Gesamt")}},
             0, 0);
    addGroup(TrNoop("Volumen (Liter)"),
             {{TrNoop("Kanal 1"), QStringLiteral("eVol1")}, {TrNoop("Kanal 2"), QStringLiteral("eVol2")},
              {TrNoop("Summe"), QStringLiteral("eVolSumme")}},
             1, 0);
    addGroup(TrNoop("Servofahrwege (Inkremente)"),
             {{TrNoop("Kanal 1"), QStringLiteral("eServoInkr1")}, {TrNoop("Kanal 2"), QStringLiteral("eServoInkr2")}}, 2, 0);
    QGroupBox* hw = addGroup(TrNoop("Hardwarekonfiguration"), {{TrNoop("Version"), QStringLiteral("eHWVers")}}, 3, 0);
    const std::array<const char*, 4> hwTexts{"Jumper1", "Jumper2", TrNoop("Vari1 (Baro 600 ... 1100)"), TrNoop("Vari2 (2 l/min)")};
    for (int i = 0; i < 4; ++i) {
        auto* cb = new QCheckBox(hw);
        cb->setAttribute(Qt::WA_TransparentForMouseEvents);
        const char* text = hwTexts[static_cast<size_t>(i)];
        FTexts.push_back([cb, text] { cb->setText(Tr(text)); });
        cbHardware[static_cast<size_t>(i)] = cb;
        static_cast<QGridLayout*>(hw->layout())->addWidget(cb, 1 + i, 0, 1, 2);
    }
    lvEC = new QTreeWidget(tsCounters);
    lvEC->setObjectName(QStringLiteral("lvEC"));
    lvEC->setRootIsDecorated(false);
    lvEC->setColumnCount(3);
    cg->addWidget(lvEC, 0, 1, 3, 1);
    btnReadCounters = new QPushButton(tsCounters);
    btnReadCounters->setObjectName(QStringLiteral("btnReadCounters"));
    btnCountersExport = new QPushButton(tsCounters);
    btnCountersExport->setObjectName(QStringLiteral("btnCountersExport"));
    connect(btnReadCounters, &QPushButton::clicked, &FLogic, &TServiceLogic::btnReadCountersClick);
    connect(btnCountersExport, &QPushButton::clicked, &FLogic, &TServiceLogic::btnCountersExportClick);
    auto* cb = new QHBoxLayout;
    cb->addWidget(btnReadCounters);
    cb->addWidget(btnCountersExport);
    cg->addLayout(cb, 3, 1);
    pcService->addTab(tsCounters, QString());

    StatusBar = new QStatusBar(this);
    StatusBar->setSizeGripEnabled(false);
    top->addWidget(StatusBar);
}

void TfService::Retranslate()
{
    setWindowTitle(Tr("Serviceinformationen"));
    pcService->setTabText(pcService->indexOf(tsTesterg), Tr("Testergebnisse"));
    pcService->setTabText(pcService->indexOf(tsErrMem), Tr("Fehlerspeicher"));
    pcService->setTabText(pcService->indexOf(tsCounters), Tr("Zählerstände"));
    for (TfrTestergebnis* f : frTestergebnis)
        f->SwitchLanguage();
    btnReadData->setText(Tr("Aktualisieren"));
    btnErrMemRead->setText(Tr("Fehlerspeicher lesen"));
    btnClearErrMem->setText(Tr("Alles löschen"));
    btnErrMemExport->setText(Tr("In Meldungsliste exportieren"));
    btnReadCounters->setText(Tr("Zählerstände lesen"));
    btnCountersExport->setText(Tr("In Meldungsliste exportieren"));
    lvErrMem->setHeaderLabels(TServiceLogic::ErrMemColumns());
    lvEC->setHeaderLabels({Tr("Parameter"), Tr("Anzahl"), Tr("Datum")});
    for (const auto& apply : FTexts)
        apply();
    ShowView();
}

void TfService::ShowView()
{
    const bool online = FLogic.Online();
    for (size_t n = 0; n < frTestergebnis.size(); ++n) {
        frTestergebnis[n]->SetTestButtonEnabled(online);
        frTestergebnis[n]->ShowView(FLogic.Frames()[n]);
    }
    btnReadData->setEnabled(online);
    btnErrMemRead->setEnabled(online);
    btnClearErrMem->setEnabled(online);
    btnClearErrMem->setVisible(FLogic.ClearVisible());
    btnReadCounters->setEnabled(online);
    btnCountersExport->setEnabled(FLogic.CountersExportEnabled());
    pcService->setTabVisible(pcService->indexOf(tsCounters), FLogic.CountersPageVisible());

    const std::vector<TErrMemRow>& rows = FLogic.ErrMem();
    while (lvErrMem->topLevelItemCount() > int(rows.size()))
        delete lvErrMem->takeTopLevelItem(lvErrMem->topLevelItemCount() - 1);
    for (int i = lvErrMem->topLevelItemCount(); i < int(rows.size()); ++i) {
        const TErrMemRow& r = rows[static_cast<size_t>(i)];
        auto* item = new QTreeWidgetItem(lvErrMem, {r.Nr, r.DateTime, r.Event, r.Source, r.OpTime, r.Info});
        item->setForeground(0, iconColour(r.Icon));
    }
    while (lvEC->topLevelItemCount() > int(FLogic.Events().size()))
        delete lvEC->takeTopLevelItem(lvEC->topLevelItemCount() - 1);
    for (int i = 0; i < int(FLogic.Events().size()); ++i) {
        const TEventRow& r = FLogic.Events()[static_cast<size_t>(i)];
        QTreeWidgetItem* item = i < lvEC->topLevelItemCount() ? lvEC->topLevelItem(i) : new QTreeWidgetItem(lvEC);
        item->setText(0, Tr(r.Parameter));
        item->setText(1, r.Count);
        item->setText(2, r.Date);
    }
    const TDeviceState& d = Context().Device;
    const std::array<bool, 4> bits{d.Jumper[0], d.Jumper[1], d.Variant[0], d.Variant[1]};
    for (size_t i = 0; i < cbHardware.size(); ++i)
        cbHardware[i]->setChecked(FLogic.CountersExportEnabled() && bits[i]);
}

void TfService::SetQuestionBox(TQuestionBox box)
{
    FQuestionBox = box ? std::move(box) : TQuestionBox(defaultQuestionBox);
}

void TfService::SetOnOffLine(int online)
{
    FLogic.SetOnOffLine(online);
}

void TfService::TimerEvent(int interval)
{
    FLogic.TimerEvent(interval);
}

void TfService::RXData(int status, int tag, const QString& data)
{
    FLogic.RXData(status, tag, data);
}

void TfService::SwitchLanguage()
{
    TPLXForm::SwitchLanguage();
    Retranslate();
}

void TfService::FormShow()
{
    FLogic.FormShow();
}
