#include "tfkalib.h"

#include "formatsettings.h"
#include "i18n.h"
#include "sysmeld.h"

#include <QApplication>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

std::optional<QString> defaultSerialDialog(QWidget* parent)
{
    bool ok = false;
    const QString text = QInputDialog::getText(parent, Tr("Sicherheitsabfrage"), Tr("Bitte geben Sie die Serien-Nr. ein:"),
                                               QLineEdit::Normal, QString(), &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

// Keys that move, delete or copy pass every filter; only keys that produce text are checked.
bool passesFilter(const QKeyEvent* key)
{
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return true;
    const QString text = key->text();
    if (text.isEmpty())
        return true;
    const QChar c = text.front();
    const bool control = c.unicode() < 32 || c.unicode() == 127;
    return control && c != QLatin1Char('\b') && c != QLatin1Char('\r') && c != QLatin1Char('\n');
}

}  // namespace

TfKalib::TfKalib(TAppContext& context, QWidget* parent)
    : TPLXForm(context, parent)
    , FLogic(context)
    , FBinder(FLogic.Fields(), this)
    , FSerialDialog(defaultSerialDialog)
{
    setObjectName(QStringLiteral("fKalib"));
    FClientID = ciKalib;
    BuildWidgets();
    AttachStatusBar(StatusBar);
    FLogic.SetSerialQuestion([this] { return FSerialDialog ? FSerialDialog(this) : std::nullopt; });
    connect(&FLogic, &TKalibLogic::Status, this, [this](const QString& text, bool alarm) { ShowStatus(text, alarm); });
    connect(&FLogic, &TKalibLogic::SysMessage, this, [](const QString& text, bool alarm) { ShowSysMessage(text, alarm); });
    connect(&FLogic, &TKalibLogic::Beep, this, [] { QApplication::beep(); });
    connect(&FLogic, &TKalibLogic::FocusField, this, &TfKalib::OnFocusField);
    connect(&FLogic, &TKalibLogic::ViewChanged, this, &TfKalib::ShowView);
    Retranslate();
    ShowView();
}

TfKalib::~TfKalib() = default;

QPushButton* TfKalib::Button(const QString& name) const
{
    return findChild<QPushButton*>(name);
}

QLineEdit* TfKalib::MakeField(QWidget* parent, const QString& name, bool readOnly)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setReadOnly(readOnly);
    e->setMinimumWidth(80);
    FFields.insert(name, e);
    FBinder.Bind(e);
    if (!readOnly)
        e->installEventFilter(this);
    return e;
}

QLabel* TfKalib::MakeLabel(QWidget* parent, const char* text)
{
    auto* l = new QLabel(parent);
    FTexts.push_back([l, text] { l->setText(Tr(text)); });
    return l;
}

QGroupBox* TfKalib::MakeGroup(QWidget* parent, const char* title)
{
    auto* g = new QGroupBox(parent);
    FTexts.push_back([g, title] { g->setTitle(Tr(title)); });
    return g;
}

QPushButton* TfKalib::MakeButton(QWidget* parent, const QString& name, const char* text, std::function<void()> onClick,
                                 bool onlineOnly)
{
    auto* b = new QPushButton(parent);
    b->setObjectName(name);
    FTexts.push_back([b, text] { b->setText(Tr(text)); });
    connect(b, &QPushButton::clicked, this, [onClick = std::move(onClick)] { onClick(); });
    if (onlineOnly)
        FOnlineButtons.push_back(b);
    return b;
}

QLineEdit* TfKalib::AddField(QGridLayout* grid, int row, int column, const char* caption, const QString& name,
                             bool readOnly)
{
    QWidget* parent = grid->parentWidget();
    QLabel* label = MakeLabel(parent, caption);
    QLineEdit* e = MakeField(parent, name, readOnly);
    label->setBuddy(e);
    FTexts.push_back([e, caption] { e->setAccessibleName(Tr(caption)); });
    grid->addWidget(label, row, column);
    grid->addWidget(e, row, column + 1);
    return e;
}

void TfKalib::BuildWidgets()
{
    auto* top = new QVBoxLayout(this);
    pcKalib = new QTabWidget(this);
    pcKalib->setObjectName(QStringLiteral("pcKalib"));
    tsAllg = BuildAllgPage();
    tsFlow1 = BuildFlowPage(0);
    tsFlow2 = BuildFlowPage(1);
    tsSensoren = BuildSensorPage();
    tsRegler = BuildReglerPage();
    tsVentile = BuildVentilPage();
    const std::array<std::pair<QWidget*, const char*>, 6> pages{{
        {tsAllg, TrNoop("Allgemein")},
        {tsFlow1, TrNoop("Volumenstrom Kanal1")},
        {tsFlow2, TrNoop("Volumenstrom Kanal2")},
        {tsSensoren, TrNoop("Spannungen && Sensoren")},
        {tsRegler, TrNoop("Regler && Interne Spannungen")},
        {tsVentile, TrNoop("Ventile")},
    }};
    for (const auto& [page, title] : pages) {
        const int index = pcKalib->addTab(page, QString());
        FTexts.push_back([this, index, title = title] { pcKalib->setTabText(index, Tr(title)); });
    }
    top->addWidget(pcKalib);

    auto* bottom = new QHBoxLayout;
    btnReadData = MakeButton(this, QStringLiteral("btnReadData"), TrNoop("Aktualisieren"),
                             [this] { FLogic.btnReadDataClick(); }, true);
    bottom->addStretch();
    bottom->addWidget(btnReadData);
    top->addLayout(bottom);
    StatusBar = new QStatusBar(this);
    StatusBar->setSizeGripEnabled(false);
    top->addWidget(StatusBar);
}

QWidget* TfKalib::BuildFlowPage(int c)
{
    auto* page = new QWidget;
    page->setObjectName(c == 0 ? QStringLiteral("tsFlow1") : QStringLiteral("tsFlow2"));
    auto* v = new QVBoxLayout(page);
    QLabel* hint = MakeLabel(page, TrNoop("Erfassung der Volumentromwerte aufsteigend von 0 NL/min bis 1,5 NL/min"));
    hint->setWordWrap(true);
    v->addWidget(hint);
    QLabel* warning = MakeLabel(page, TrNoop("Falsche Änderungen der Justagedaten können zu fehlerhaften Ergebnissen führen!"));
    warning->setWordWrap(true);
    warning->setStyleSheet(QStringLiteral("QLabel { color: red; }"));
    v->addWidget(warning);

    auto* points = MakeGroup(page, TrNoop("Justagepunkte"));
    auto* grid = new QGridLayout(points);
    grid->addWidget(MakeLabel(points, TrNoop("Vol.Strom [NL/min]")), 0, 1);
    grid->addWidget(MakeLabel(points, TrNoop("Sensorsignal [Volt]")), 0, 2);
    grid->addWidget(MakeLabel(points, TrNoop("Übernahme Sensor")), 0, 3);
    for (int i = 0; i < kKalibPoints; ++i) {
        auto* number = new QLabel(QString::number(i + 1), points);
        QLineEdit* flow = MakeField(points, TKalibLogic::FlowName(c, i), i == 0);
        QLineEdit* volt = MakeField(points, TKalibLogic::VoltName(c, i));
        FTexts.push_back([flow, volt, i] {
            flow->setAccessibleName(Tr("Vol.Strom [NL/min]") + QLatin1Char(' ') + QString::number(i + 1));
            volt->setAccessibleName(Tr("Sensorsignal [Volt]") + QLatin1Char(' ') + QString::number(i + 1));
        });
        static constexpr std::array<const char*, kKalibPoints> captions{TrNoop("Just. 1"), TrNoop("Just. 2"),
                                                                        TrNoop("Just. 3"), TrNoop("Just. 4"),
                                                                        TrNoop("Just. 5")};
        QPushButton* capture = MakeButton(points, QStringLiteral("btnJ%1%2").arg(c).arg(i),
                                          captions[static_cast<size_t>(i)], [this, c, i] { FLogic.btnJustClick(c, i); },
                                          false);
        grid->addWidget(number, i + 1, 0);
        grid->addWidget(flow, i + 1, 1);
        grid->addWidget(volt, i + 1, 2);
        grid->addWidget(capture, i + 1, 3);
    }
    auto* sensRow = new QGridLayout;
    grid->addLayout(sensRow, kKalibPoints + 1, 0, 1, 4);
    QLabel* sensLabel = MakeLabel(points, TrNoop("Sensor [Volt]"));
    QLineEdit* sens = MakeField(points, TKalibLogic::SensName(c), true);
    sensLabel->setBuddy(sens);
    FTexts.push_back([sens] { sens->setAccessibleName(Tr("Sensor [Volt]")); });
    sensRow->addWidget(sensLabel, 0, 0);
    sensRow->addWidget(sens, 0, 1);
    v->addWidget(points);

    auto* data = MakeGroup(page, TrNoop("Justagedaten"));
    auto* dataGrid = new QGridLayout(data);
    static constexpr std::array<const char*, kKalibPoints> dataCaptions{TrNoop("Datum 1"), TrNoop("Datum 2"),
                                                                        TrNoop("Datum 3"), TrNoop("Datum 4"),
                                                                        TrNoop("Datum 5")};
    for (int i = 0; i < kKalibPoints; ++i)
        AddField(dataGrid, i, 0, dataCaptions[static_cast<size_t>(i)], TKalibLogic::JustName(c, i));
    AddField(dataGrid, kKalibPoints, 0, TrNoop("Sensor-Offset"), TKalibLogic::OffsetName(c));
    QPushButton* calc = MakeButton(data, QStringLiteral("btnCalc%1").arg(c),
                                   TrNoop("Sarvik2V2-spezifische Justagedaten berechnen"), [this, c] { FLogic.btnCalcClick(c); },
                                   false);
    QPushButton* set = MakeButton(data, QStringLiteral("btnSetJustData%1").arg(c),
                                  TrNoop("nach Sarvik2 übertragen und speichern"), [this, c] { FLogic.btnSetJustData(c); },
                                  false);
    dataGrid->addWidget(calc, kKalibPoints + 1, 0, 1, 2);
    dataGrid->addWidget(set, kKalibPoints + 2, 0, 1, 2);
    v->addWidget(data);
    v->addStretch();
    return page;
}

QWidget* TfKalib::BuildAllgPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsAllg"));
    auto* v = new QVBoxLayout(page);

    auto* next = MakeGroup(page, TrNoop("Nächste Kalbrierung"));
    auto* nextGrid = new QGridLayout(next);
    AddField(nextGrid, 0, 0, TrNoop("bei Betriebsstunden"), QStringLiteral("eNextWartungStunden"));
    AddField(nextGrid, 1, 0, TrNoop("oder im (M/J)"), QStringLiteral("enextWartungDatum"));
    nextGrid->addWidget(MakeButton(next, QStringLiteral("btnReadNextWartung"), TrNoop("Lesen"),
                                   [this] { FLogic.readNextWartung(); }, true), 0, 2);
    nextGrid->addWidget(MakeButton(next, QStringLiteral("btnSetNextWartung"), TrNoop("Speichern"),
                                   [this] { FLogic.setNextWartung(); }, true), 1, 2);
    v->addWidget(next);

    auto* last = MakeGroup(page, TrNoop("Letzte Kalibrierung"));
    auto* lastGrid = new QGridLayout(last);
    AddField(lastGrid, 0, 0, TrNoop("bei Betriebsstunden"), QStringLiteral("eLastWartungStunden"));
    QLabel* dateLabel = MakeLabel(last, TrNoop("Wartungsdatum"));
    dtpLastWartungDatum = new QDateEdit(QDate::currentDate(), last);
    dtpLastWartungDatum->setObjectName(QStringLiteral("dtpLastWartungDatum"));
    dtpLastWartungDatum->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    dtpLastWartungDatum->setCalendarPopup(true);
    dateLabel->setBuddy(dtpLastWartungDatum);
    FTexts.push_back([this] { dtpLastWartungDatum->setAccessibleName(Tr("Wartungsdatum")); });
    FLogic.SetLastWartungDatum(dtpLastWartungDatum->date());
    FBinder.BindStateOnly(dtpLastWartungDatum);
    connect(dtpLastWartungDatum, &QDateEdit::dateChanged, this, [this](const QDate& d) { FLogic.SetLastWartungDatum(d); });
    lastGrid->addWidget(dateLabel, 1, 0);
    lastGrid->addWidget(dtpLastWartungDatum, 1, 1);
    lastGrid->addWidget(MakeButton(last, QStringLiteral("btnReadLastWartung"), TrNoop("Lesen"),
                                   [this] { FLogic.readLastWartung(); }, true), 0, 2);
    lastGrid->addWidget(MakeButton(last, QStringLiteral("btnSetLastWartung"), TrNoop("Speichern"),
                                   [this] { FLogic.setLastWartung(); }, true), 1, 2);
    v->addWidget(last);

    auto* touch = MakeGroup(page, TrNoop("Touchpanel-Justage"));
    auto* touchLayout = new QHBoxLayout(touch);
    touchLayout->addWidget(MakeButton(touch, QStringLiteral("btnTouchJustage"), TrNoop("Justagevorgang starten"),
                                      [this] { FLogic.startTouchJustage(); }, true));
    touchLayout->addStretch();
    v->addWidget(touch);
    v->addStretch();
    return page;
}

QWidget* TfKalib::BuildSensorPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsSensoren"));
    auto* grid = new QGridLayout(page);
    for (int c = 0; c < 2; ++c) {
        auto* g = MakeGroup(page, c == 0 ? TrNoop("Sensor-Offset Kanal 1") : TrNoop("Sensor-Offset Kanal 2"));
        auto* gg = new QGridLayout(g);
        AddField(gg, 0, 0, TrNoop("Sensorspannung"), TKalibLogic::SensVoltName(c));
        AddField(gg, 1, 0, TrNoop("gespeicherter Offset"), TKalibLogic::SensOffsetName(c), true);
        gg->addWidget(MakeButton(g, QStringLiteral("btnSetSensorOffset%1").arg(c), TrNoop("Speichern"),
                                 [this, c] { FLogic.setSensorOffset(c); }, true), 0, 2);
        gg->addWidget(MakeButton(g, QStringLiteral("btnReadSensorOffset%1").arg(c), TrNoop("Lesen"),
                                 [this, c] { FLogic.readFlowSensorOffset(c); }, true), 1, 2);
        grid->addWidget(g, 0, c);
    }

    auto* akku = MakeGroup(page, TrNoop("Justage Akku-Spanung"));
    auto* ag = new QGridLayout(akku);
    AddField(ag, 0, 0, TrNoop("Akku-Spannung"), QStringLiteral("eAkku"));
    AddField(ag, 1, 0, TrNoop("errechneter Offset"), QStringLiteral("eAkkuOffset"), true);
    ag->addWidget(MakeButton(akku, QStringLiteral("btnSetAkku"), TrNoop("Speichern"), [this] { FLogic.setAkku(); }, true), 0, 2);
    ag->addWidget(MakeButton(akku, QStringLiteral("btnReadAkku"), TrNoop("Lesen"), [this] { FLogic.readAkku(); }, true), 1, 2);
    grid->addWidget(akku, 1, 0);

    auto* rtc = MakeGroup(page, TrNoop("Prüfung Backup-Batterie"));
    auto* rg = new QGridLayout(rtc);
    AddField(rg, 0, 0, TrNoop("Batteriespannung"), QStringLiteral("eRTCVoltage"), true);
    AddField(rg, 1, 0, TrNoop("Letzte Prüfung am"), QStringLiteral("eRTCDatum"), true);
    lblRTCCheck = new QLabel(rtc);
    lblRTCCheck->setObjectName(QStringLiteral("lblRTCCheck"));
    lblRTCCheck->hide();
    rg->addWidget(lblRTCCheck, 2, 0, 1, 2);
    rg->addWidget(MakeButton(rtc, QStringLiteral("btnCheckRTC"), TrNoop("Prüfen"), [this] { FLogic.checkRTC(); }, true), 0, 2);
    rg->addWidget(MakeButton(rtc, QStringLiteral("btnReadRTC"), TrNoop("Lesen"), [this] { FLogic.readRTC(); }, true), 1, 2);
    grid->addWidget(rtc, 1, 1);

    auto* baro = MakeGroup(page, TrNoop("Justage Barometer"));
    auto* bg = new QGridLayout(baro);
    AddField(bg, 0, 0, TrNoop("Luftdruck"), QStringLiteral("eBaroIst"));
    AddField(bg, 1, 0, TrNoop("errechneter Offset"), QStringLiteral("eBaroOffset"), true);
    bg->addWidget(MakeButton(baro, QStringLiteral("btnSetBaro"), TrNoop("Speichern"), [this] { FLogic.setBaro(); }, true), 0, 2);
    bg->addWidget(MakeButton(baro, QStringLiteral("btnReadBaro"), TrNoop("Lesen"), [this] { FLogic.readBaro(); }, true), 1, 2);
    grid->addWidget(baro, 2, 0);

    auto* run = MakeGroup(page, TrNoop("Konstanten zur Laufzeitberechnung"));
    auto* rung = new QGridLayout(run);
    AddField(rung, 0, 0, TrNoop("X-Wert"), QStringLiteral("eRunTimeX"));
    AddField(rung, 1, 0, TrNoop("Y-Wert"), QStringLiteral("eRunTimeY"));
    rung->addWidget(MakeButton(run, QStringLiteral("btnSetRunTime"), TrNoop("Speichern"), [this] { FLogic.setRunTime(); }, true), 0, 2);
    rung->addWidget(MakeButton(run, QStringLiteral("btnReadRunTime"), TrNoop("Lesen"), [this] { FLogic.readRunTime(); }, true), 1, 2);
    grid->addWidget(run, 2, 1);
    grid->setRowStretch(3, 1);
    return page;
}

QWidget* TfKalib::BuildReglerPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsRegler"));
    auto* v = new QVBoxLayout(page);
    auto* pid = MakeGroup(page, TrNoop("Reglerparameter"));
    auto* pg = new QGridLayout(pid);
    pg->addWidget(MakeLabel(pid, TrNoop("Prop. (Kp)")), 0, 1);
    pg->addWidget(MakeLabel(pid, TrNoop("Integr. (Ki)")), 0, 2);
    pg->addWidget(MakeLabel(pid, TrNoop("Diff. (Kd)")), 0, 3);
    static constexpr std::array<const char*, 3> rows{TrNoop("Servoventil Kanal 1:"), TrNoop("Servoventil Kanal 2:"),
                                                     TrNoop("Pumpenantrieb:")};
    static constexpr std::array<const char*, 3> kinds{"KP", "TI", "TD"};
    static constexpr std::array<const char*, 3> kindCaptions{TrNoop("Prop. (Kp)"), TrNoop("Integr. (Ki)"),
                                                             TrNoop("Diff. (Kd)")};
    for (int i = 0; i < 3; ++i) {
        const char* row = rows[static_cast<size_t>(i)];
        pg->addWidget(MakeLabel(pid, row), i + 1, 0);
        for (int k = 0; k < 3; ++k) {
            QLineEdit* e = MakeField(pid, QStringLiteral("ePID_%1%2").arg(QLatin1String(kinds[static_cast<size_t>(k)])).arg(i));
            const char* caption = kindCaptions[static_cast<size_t>(k)];
            FTexts.push_back([e, row, caption] { e->setAccessibleName(Tr(row) + QLatin1Char(' ') + Tr(caption)); });
            pg->addWidget(e, i + 1, k + 1);
        }
        pg->addWidget(MakeButton(pid, QStringLiteral("btnReadPID%1").arg(i), TrNoop("Lesen"), [this, i] { FLogic.readPID(i); }, true),
                      i + 1, 4);
        pg->addWidget(MakeButton(pid, QStringLiteral("btnSetPID%1").arg(i), TrNoop("Speichern"), [this, i] { FLogic.setPID(i); }, true),
                      i + 1, 5);
    }
    v->addWidget(pid);

    auto* five = MakeGroup(page, TrNoop("Justage interne 5 Volt"));
    auto* fg = new QGridLayout(five);
    AddField(fg, 0, 0, TrNoop("5V-Spannung"), QStringLiteral("e5V"));
    AddField(fg, 1, 0, TrNoop("errechneter Offset"), QStringLiteral("e5VOffset"), true);
    fg->addWidget(MakeButton(five, QStringLiteral("btnSet5V"), TrNoop("Speichern"), [this] { FLogic.set5V(); }, true), 0, 2);
    fg->addWidget(MakeButton(five, QStringLiteral("btnRead5V"), TrNoop("Lesen"), [this] { FLogic.read5V(); }, true), 1, 2);
    v->addWidget(five);

    auto* strom = MakeGroup(page, TrNoop("Justage Akkustrom"));
    auto* sg = new QGridLayout(strom);
    AddField(sg, 0, 0, TrNoop("Strom"), QStringLiteral("eStrom"));
    AddField(sg, 1, 0, TrNoop("errechneter Offset"), QStringLiteral("eStromOffset"), true);
    sg->addWidget(MakeButton(strom, QStringLiteral("btnSetStrom"), TrNoop("Speichern"), [this] { FLogic.setStrom(); }, true), 0, 2);
    sg->addWidget(MakeButton(strom, QStringLiteral("btnReadStrom"), TrNoop("Lesen"), [this] { FLogic.readStrom(); }, true), 1, 2);
    v->addWidget(strom);
    v->addStretch();
    return page;
}

QWidget* TfKalib::BuildVentilPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsVentile"));
    auto* v = new QVBoxLayout(page);
    auto* servo = MakeGroup(page, TrNoop("Stellweg Regelventile [Inkremente]"));
    auto* g = new QGridLayout(servo);
    g->addWidget(MakeLabel(servo, TrNoop("Auf")), 0, 1);
    g->addWidget(MakeLabel(servo, TrNoop("Zu")), 0, 2);
    for (int c = 0; c < 2; ++c) {
        const char* row = c == 0 ? TrNoop("Kanal 1:") : TrNoop("Kanal 2:");
        g->addWidget(MakeLabel(servo, row), c + 1, 0);
        QLineEdit* open = MakeField(servo, QStringLiteral("eServoAuf%1").arg(c));
        QLineEdit* closed = MakeField(servo, QStringLiteral("eServoZu%1").arg(c));
        FTexts.push_back([open, closed, row] {
            open->setAccessibleName(Tr(row) + QLatin1Char(' ') + Tr("Auf"));
            closed->setAccessibleName(Tr(row) + QLatin1Char(' ') + Tr("Zu"));
        });
        g->addWidget(open, c + 1, 1);
        g->addWidget(closed, c + 1, 2);
        g->addWidget(MakeButton(servo, QStringLiteral("btnReadServo%1").arg(c), TrNoop("Lesen"),
                                [this, c] { FLogic.readServo(c); }, true), c + 1, 3);
        g->addWidget(MakeButton(servo, QStringLiteral("btnSetServo%1").arg(c), TrNoop("Speichern"),
                                [this, c] { FLogic.setServo(c); }, true), c + 1, 4);
    }
    v->addWidget(servo);
    v->addStretch();
    return page;
}

void TfKalib::Retranslate()
{
    setWindowTitle(Tr("Justagedaten"));
    for (const auto& apply : FTexts)
        apply();
    ShowView();
}

void TfKalib::ShowView()
{
    const bool online = FLogic.Online();
    for (QPushButton* b : FOnlineButtons)
        b->setEnabled(online);
    {
        const QSignalBlocker block(dtpLastWartungDatum);
        if (FLogic.LastWartungDatum().isValid() && dtpLastWartungDatum->date() != FLogic.LastWartungDatum())
            dtpLastWartungDatum->setDate(FLogic.LastWartungDatum());
    }
    switch (FLogic.RtcCheck()) {
    case TRtcCheck::Hidden:
        lblRTCCheck->hide();
        break;
    case TRtcCheck::Renew:
        lblRTCCheck->setText(Tr("Batterie erneuern"));
        lblRTCCheck->setStyleSheet(QStringLiteral("QLabel { color: red; }"));
        lblRTCCheck->show();
        break;
    case TRtcCheck::Ok:
        lblRTCCheck->setText(Tr("Batterie ist ok"));
        lblRTCCheck->setStyleSheet(QStringLiteral("QLabel { color: green; }"));
        lblRTCCheck->show();
        break;
    }
}

void TfKalib::OnFocusField(const QString& name)
{
    QLineEdit* e = Field(name);
    if (!e)
        return;
    for (QWidget* w = e->parentWidget(); w; w = w->parentWidget()) {
        const int index = pcKalib->indexOf(w);
        if (index >= 0) {
            pcKalib->setCurrentIndex(index);
            break;
        }
    }
    e->setFocus();
    e->selectAll();
}

void TfKalib::SetSerialDialog(TSerialDialog dialog)
{
    FSerialDialog = dialog ? std::move(dialog) : TSerialDialog(defaultSerialDialog);
}

void TfKalib::SetOnOffLine(int online)
{
    FLogic.SetOnOffLine(online);
}

void TfKalib::TimerEvent(int interval)
{
    FLogic.TimerEvent(interval);
}

void TfKalib::RXData(int status, int tag, const QString& data)
{
    FLogic.RXData(status, tag, data);
}

void TfKalib::SwitchLanguage()
{
    TPLXForm::SwitchLanguage();
    Retranslate();
}

void TfKalib::FormShow()
{
    pcKalib->setTabVisible(pcKalib->indexOf(tsRegler), FLogic.RegulatorPageVisible());
    pcKalib->setCurrentWidget(tsAllg);
    FLogic.FormShow();
}

bool TfKalib::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return TPLXForm::eventFilter(watched, event);
    auto* field = qobject_cast<QLineEdit*>(watched);
    auto* key = static_cast<QKeyEvent*>(event);
    if (!field || passesFilter(key))
        return TPLXForm::eventFilter(watched, event);
    const bool monthYear = field->objectName() == QLatin1String("enextWartungDatum");
    QString insert;
    bool changed = false;
    for (QChar c : key->text()) {
        QChar out = c;
        const bool accepted = monthYear ? FLogic.MonthYearKey(out) : FLogic.NumericKey(out);
        if (!accepted)
            return true;
        changed = changed || out != c;
        insert += out;
    }
    if (!changed)
        return TPLXForm::eventFilter(watched, event);
    // The decimal mark typed as the display's own: inserted as a user edit.
    field->insert(insert);
    FLogic.Fields().UserEdit(field->objectName(), field->text());
    return true;
}
