#include "tfeinstellung.h"

#include "formatsettings.h"
#include "frpresetchannel.h"
#include "i18n.h"
#include "textspinner.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimeEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kNameMaxChars = 20;
constexpr int kLogIntervalMaxChars = 20;
const QColor kChannel1Back(255, 250, 205);
const QColor kChannel2Back(220, 235, 255);
const QColor kRowInUse(0, 128, 0);

TTextSpinner* spinner(const char* name, QWidget* parent)
{
    auto* s = new TTextSpinner(parent);
    s->setObjectName(QLatin1String(name));
    return s;
}

QCheckBox* checkBox(const char* name, QWidget* parent)
{
    auto* c = new QCheckBox(parent);
    c->setObjectName(QLatin1String(name));
    return c;
}

QPushButton* button(const char* name, QWidget* parent)
{
    auto* b = new QPushButton(parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

QLineEdit* lineEdit(const char* name, QWidget* parent)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    return e;
}

// Column of lvPreset where a channel's five columns start.
int channelColumn(int channel)
{
    return 2 + channel * 5;
}

}  // namespace

TfEinstellung::TfEinstellung(TAppContext& context, QWidget* parent)
    : TPLXForm(context, parent)
    , FLogic(context)
{
    setObjectName(QStringLiteral("fEinstellung"));
    FClientID = ciEinstellung;
    BuildWidgets();
    AttachStatusBar(StatusBar);
    FLogic.SetFileDialogs(DefaultFileDialogs());
    connect(&FLogic, &TEinstellungLogic::Status, this, [this](const QString& text, bool alarm) { ShowStatus(text, alarm); });
    connect(&FLogic, &TEinstellungLogic::ViewChanged, this, &TfEinstellung::ShowView);
    connect(&FLogic, &TEinstellungLogic::PresetsChanged, this, &TfEinstellung::ShowPresets);
    connect(&FLogic, &TEinstellungLogic::ShowFirstPage, this, [this] { pcPages->setCurrentWidget(tsSystem); });
    Retranslate();
    ShowView();
    ShowPresets();
}

TfEinstellung::~TfEinstellung() = default;

TPresetFileDialogs TfEinstellung::DefaultFileDialogs()
{
    TPresetFileDialogs d;
    d.saveFile = [this](const QString& title, const QString& dir, const QString& filter, const QString& proposed) {
        QFileDialog dialog(this, title, dir, filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        // With the suffix added by the dialog, its overwrite question sees the final name.
        dialog.setDefaultSuffix(QStringLiteral("svk"));
        dialog.selectFile(proposed);
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().first()
                                                                                        : QString();
    };
    d.openFile = [this](const QString& title, const QString& dir, const QString& filter) {
        QFileDialog dialog(this, title, dir, filter);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setDefaultSuffix(QStringLiteral("svk"));
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().first()
                                                                                        : QString();
    };
    d.askYesNo = [this](const QString& question) {
        QMessageBox box(QMessageBox::Warning, windowTitle(), question, QMessageBox::Yes | QMessageBox::No, this);
        box.setDefaultButton(QMessageBox::No);
        // Just below the import button, where the operator is looking.
        box.adjustSize();
        box.move(btnImport->mapToGlobal(QPoint(0, btnImport->height())));
        return box.exec() == QMessageBox::Yes;
    };
    d.error = [this](const QString& text) { QMessageBox::critical(this, windowTitle(), text); };
    return d;
}

void TfEinstellung::BuildWidgets()
{
    auto* top = new QVBoxLayout(this);
    pcPages = new QTabWidget(this);
    pcPages->setObjectName(QStringLiteral("pcPages"));
    tsSystem = BuildSystemPage();
    tsProbenahme = BuildSamplingPage();
    tsPreset = BuildPresetPage();
    pcPages->addTab(tsSystem, QString());
    pcPages->addTab(tsProbenahme, QString());
    pcPages->addTab(tsPreset, QString());
    top->addWidget(pcPages, 1);

    auto* bottom = new QHBoxLayout;
    btnAct = button("btnAct", this);
    bottom->addStretch();
    bottom->addWidget(btnAct);
    top->addLayout(bottom);
    StatusBar = new QStatusBar(this);
    StatusBar->setSizeGripEnabled(false);
    top->addWidget(StatusBar);

    FSpinners = {tsDisplay, tsSprache, tsZeitformat, tsDatumsformat, tsTouchlautstaerke, tsSignallautstaerke,
                 tsStandby, tsAnzVoreinstell, tsMaxIntervalle};
    for (int c = 0; c < chChoiceCount; ++c) {
        TTextSpinner* s = FSpinners[static_cast<size_t>(c)];
        s->Show(FLogic.Choice(TEinstellChoice(c)));
        connect(s, &TTextSpinner::UserStepped, this,
                [this, c](int position) { FLogic.ChoiceStepped(TEinstellChoice(c), position); });
    }
    FChecks = {cbTonEnde, cbTonAlarm, cbWarnAkku, cbDaylightSavingTime};
    for (int c = 0; c < ckCheckCount; ++c) {
        connect(FChecks[static_cast<size_t>(c)], &QCheckBox::clicked, this,
                [this, c](bool checked) { FLogic.CheckClicked(TEinstellCheck(c), checked); });
    }
    for (int i = 0; i < kAbschaltungCount; ++i)
        connect(rbAbschaltung[static_cast<size_t>(i)], &QRadioButton::clicked, this, [this, i] { FLogic.rgAbschaltungClick(i); });
    connect(btnAct, &QPushButton::clicked, &FLogic, &TEinstellungLogic::btnActClick);
    connect(btnUhrRead, &QPushButton::clicked, &FLogic, &TEinstellungLogic::btnUhrReadClick);
    connect(btnUhrSet, &QPushButton::clicked, &FLogic, &TEinstellungLogic::btnUhrSetClick);
    connect(btnUhrSync, &QPushButton::clicked, &FLogic, &TEinstellungLogic::btnUhrSyncClick);
    connect(btnSLSet, &QPushButton::clicked, &FLogic, &TEinstellungLogic::btnSLSetClick);
    connect(dtpIMDate, &QDateEdit::dateChanged, &FLogic, &TEinstellungLogic::SetIMDate);
    connect(dtpIMTime, &QTimeEdit::timeChanged, &FLogic, &TEinstellungLogic::SetIMTime);
    connect(eSLTemp, &QLineEdit::textChanged, &FLogic, &TEinstellungLogic::SetSLTemp);
    connect(eSLDruck, &QLineEdit::textChanged, &FLogic, &TEinstellungLogic::SetSLDruck);
    connect(ePresBez, &QLineEdit::textEdited, &FLogic, &TEinstellungLogic::SetPresBez);
    connect(ePresLogIntervall, &QLineEdit::textEdited, &FLogic, &TEinstellungLogic::SetPresLogIntervall);
    connect(btnPresSave, &QPushButton::clicked, &FLogic, &TEinstellungLogic::btnPresSaveClick);
    connect(btnExport, &QPushButton::clicked, &FLogic, &TEinstellungLogic::btnExportClick);
    connect(btnImport, &QPushButton::clicked, &FLogic, &TEinstellungLogic::btnImportClick);
    connect(lvPreset, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current, QTreeWidgetItem*) {
        FLogic.SelectRow(current ? lvPreset->indexOfTopLevelItem(current) : -1);
    });

    for (QWidget* w : std::initializer_list<QWidget*>{eSLTemp, eSLDruck, dtpIMDate, dtpIMTime, ePresBez, ePresLogIntervall})
        w->installEventFilter(this);
    FCheckedFields << ePresLogIntervall;
    for (TfrPresetChannel* f : FFrames) {
        for (QLineEdit* e : f->Fields()) {
            e->installEventFilter(this);
            FCheckedFields << e;
        }
    }
}

QWidget* TfEinstellung::BuildSystemPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("tsSystem"));
    auto* grid = new QGridLayout(page);

    gbAnzeige = new QGroupBox(page);
    auto* anzeige = new QGridLayout(gbAnzeige);
    tsDisplay = spinner("tsDisplay", gbAnzeige);
    tsSprache = spinner("tsSprache", gbAnzeige);
    tsZeitformat = spinner("tsZeitformat", gbAnzeige);
    tsDatumsformat = spinner("tsDatumsformat", gbAnzeige);
    const std::array<TTextSpinner*, 4> display{tsDisplay, tsSprache, tsZeitformat, tsDatumsformat};
    for (size_t i = 0; i < display.size(); ++i) {
        auto* caption = new QLabel(gbAnzeige);
        caption->setBuddy(display[i]);
        FSpinnerCaption[i] = caption;  // chDisplay .. chDatumsformat
        anzeige->addWidget(caption, int(i), 0);
        anzeige->addWidget(display[i], int(i), 1);
    }
    grid->addWidget(gbAnzeige, 0, 0);

    gbTouch = new QGroupBox(page);
    auto* touch = new QGridLayout(gbTouch);
    tsTouchlautstaerke = spinner("tsTouchlautstaerke", gbTouch);
    FSpinnerCaption[chTouchlautstaerke] = new QLabel(gbTouch);
    touch->addWidget(FSpinnerCaption[chTouchlautstaerke], 0, 0);
    touch->addWidget(tsTouchlautstaerke, 0, 1);
    grid->addWidget(gbTouch, 1, 0);

    gbSignal = new QGroupBox(page);
    auto* signal = new QGridLayout(gbSignal);
    tsSignallautstaerke = spinner("tsSignallautstaerke", gbSignal);
    FSpinnerCaption[chSignallautstaerke] = new QLabel(gbSignal);
    signal->addWidget(FSpinnerCaption[chSignallautstaerke], 0, 0);
    signal->addWidget(tsSignallautstaerke, 0, 1);
    cbTonEnde = checkBox("cbTonEnde", gbSignal);
    cbTonAlarm = checkBox("cbTonAlarm", gbSignal);
    cbWarnAkku = checkBox("cbWarnAkku", gbSignal);
    signal->addWidget(cbTonEnde, 1, 0, 1, 2);
    signal->addWidget(cbTonAlarm, 2, 0, 1, 2);
    signal->addWidget(cbWarnAkku, 3, 0, 1, 2);
    grid->addWidget(gbSignal, 2, 0);

    gbStandby = new QGroupBox(page);
    auto* standby = new QGridLayout(gbStandby);
    tsStandby = spinner("tsStandby", gbStandby);
    FSpinnerCaption[chStandby] = new QLabel(gbStandby);
    standby->addWidget(FSpinnerCaption[chStandby], 0, 0);
    standby->addWidget(tsStandby, 0, 1);
    grid->addWidget(gbStandby, 0, 1);

    rgAbschaltung = new QGroupBox(page);
    rgAbschaltung->setObjectName(QStringLiteral("rgAbschaltung"));
    auto* abschaltung = new QVBoxLayout(rgAbschaltung);
    for (size_t i = 0; i < rbAbschaltung.size(); ++i) {
        rbAbschaltung[i] = new QRadioButton(rgAbschaltung);
        rbAbschaltung[i]->setObjectName(QStringLiteral("rbAbschaltung%1").arg(i));
        // Exclusive by hand: before the first answer no entry is ticked.
        rbAbschaltung[i]->setAutoExclusive(false);
        abschaltung->addWidget(rbAbschaltung[i]);
    }
    grid->addWidget(rgAbschaltung, 1, 1);

    gbUhr = new QGroupBox(page);
    auto* uhr = new QGridLayout(gbUhr);
    FDateCaption = new QLabel(gbUhr);
    dtpIMDate = new QDateEdit(gbUhr);
    dtpIMDate->setObjectName(QStringLiteral("dtpIMDate"));
    dtpIMDate->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    dtpIMDate->setCalendarPopup(true);
    FDateCaption->setBuddy(dtpIMDate);
    FTimeCaption = new QLabel(gbUhr);
    dtpIMTime = new QTimeEdit(gbUhr);
    dtpIMTime->setObjectName(QStringLiteral("dtpIMTime"));
    dtpIMTime->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    FTimeCaption->setBuddy(dtpIMTime);
    btnUhrRead = button("btnUhrRead", gbUhr);
    btnUhrSet = button("btnUhrSet", gbUhr);
    btnUhrSync = button("btnUhrSync", gbUhr);
    cbDaylightSavingTime = checkBox("cbDaylightSavingTime", gbUhr);
    uhr->addWidget(FDateCaption, 0, 0);
    uhr->addWidget(dtpIMDate, 0, 1);
    uhr->addWidget(FTimeCaption, 1, 0);
    uhr->addWidget(dtpIMTime, 1, 1);
    auto* clockButtons = new QHBoxLayout;
    clockButtons->addWidget(btnUhrRead);
    clockButtons->addWidget(btnUhrSet);
    uhr->addLayout(clockButtons, 2, 0, 1, 2);
    uhr->addWidget(btnUhrSync, 3, 0, 1, 2);
    uhr->addWidget(cbDaylightSavingTime, 4, 0, 1, 2);
    grid->addWidget(gbUhr, 2, 1);
    grid->setRowStretch(3, 1);
    return page;
}

QWidget* TfEinstellung::BuildSamplingPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("tsProbenahme"));
    auto* box = new QVBoxLayout(page);

    gbVoreinstell = new QGroupBox(page);
    auto* voreinstell = new QGridLayout(gbVoreinstell);
    tsAnzVoreinstell = spinner("tsAnzVoreinstell", gbVoreinstell);
    FSpinnerCaption[chAnzVoreinstell] = new QLabel(gbVoreinstell);
    voreinstell->addWidget(FSpinnerCaption[chAnzVoreinstell], 0, 0);
    voreinstell->addWidget(tsAnzVoreinstell, 0, 1);
    box->addWidget(gbVoreinstell);

    gbIntervall = new QGroupBox(page);
    auto* intervall = new QGridLayout(gbIntervall);
    tsMaxIntervalle = spinner("tsMaxIntervalle", gbIntervall);
    FSpinnerCaption[chMaxIntervalle] = new QLabel(gbIntervall);
    intervall->addWidget(FSpinnerCaption[chMaxIntervalle], 0, 0);
    intervall->addWidget(tsMaxIntervalle, 0, 1);
    box->addWidget(gbIntervall);

    gbStandardliter = new QGroupBox(page);
    auto* sl = new QGridLayout(gbStandardliter);
    FTempCaption = new QLabel(gbStandardliter);
    eSLTemp = lineEdit("eSLTemp", gbStandardliter);
    FTempCaption->setBuddy(eSLTemp);
    FTempUnit = new QLabel(QStringLiteral("°C"), gbStandardliter);
    FDruckCaption = new QLabel(gbStandardliter);
    eSLDruck = lineEdit("eSLDruck", gbStandardliter);
    FDruckCaption->setBuddy(eSLDruck);
    FDruckUnit = new QLabel(QStringLiteral("mbar"), gbStandardliter);
    btnSLSet = button("btnSLSet", gbStandardliter);
    sl->addWidget(FTempCaption, 0, 0);
    sl->addWidget(eSLTemp, 0, 1);
    sl->addWidget(FTempUnit, 0, 2);
    sl->addWidget(FDruckCaption, 1, 0);
    sl->addWidget(eSLDruck, 1, 1);
    sl->addWidget(FDruckUnit, 1, 2);
    sl->addWidget(btnSLSet, 2, 1);
    box->addWidget(gbStandardliter);
    box->addStretch();
    return page;
}

QWidget* TfEinstellung::BuildPresetPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("tsPreset"));
    auto* box = new QVBoxLayout(page);
    lblLegend = new QLabel(page);
    lblLegend->setObjectName(QStringLiteral("lblLegend"));
    box->addWidget(lblLegend);
    lvPreset = new QTreeWidget(page);
    lvPreset->setObjectName(QStringLiteral("lvPreset"));
    lvPreset->setColumnCount(kPresetColumns);
    lvPreset->setRootIsDecorated(false);
    lvPreset->setUniformRowHeights(true);
    lvPreset->setSelectionMode(QAbstractItemView::SingleSelection);
    lvPreset->setMinimumHeight(160);
    box->addWidget(lvPreset, 1);

    auto* fields = new QHBoxLayout;
    FNrCaption = new QLabel(page);
    ePresNr = lineEdit("ePresNr", page);
    ePresNr->setReadOnly(true);
    ePresNr->setMaximumWidth(50);
    FBezCaption = new QLabel(page);
    ePresBez = lineEdit("ePresBez", page);
    ePresBez->setMaxLength(kNameMaxChars);
    FLogCaption = new QLabel(page);
    ePresLogIntervall = lineEdit("ePresLogIntervall", page);
    ePresLogIntervall->setMaxLength(kLogIntervalMaxChars);
    ePresLogIntervall->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d*")), this));
    ePresLogIntervall->setMaximumWidth(80);
    FNrCaption->setBuddy(ePresNr);
    FBezCaption->setBuddy(ePresBez);
    FLogCaption->setBuddy(ePresLogIntervall);
    fields->addWidget(FNrCaption);
    fields->addWidget(ePresNr);
    fields->addWidget(FBezCaption);
    fields->addWidget(ePresBez, 1);
    fields->addWidget(FLogCaption);
    fields->addWidget(ePresLogIntervall);
    box->addLayout(fields);

    auto* channels = new QHBoxLayout;
    FFrames[0] = new TfrPresetChannel(FLogic.Channel(0), 1, kChannel1Back, page);
    FFrames[1] = new TfrPresetChannel(FLogic.Channel(1), 2, kChannel2Back, page);
    channels->addWidget(FFrames[0]);
    channels->addWidget(FFrames[1]);
    box->addLayout(channels);

    auto* buttons = new QHBoxLayout;
    btnPresSave = button("btnPresSave", page);
    btnExport = button("btnExport", page);
    btnImport = button("btnImport", page);
    buttons->addWidget(btnPresSave);
    buttons->addStretch();
    buttons->addWidget(btnExport);
    buttons->addWidget(btnImport);
    box->addLayout(buttons);
    return page;
}

void TfEinstellung::Retranslate()
{
    setWindowTitle(Tr("Geräteeinstellungen"));
    pcPages->setTabText(0, Tr("System"));
    pcPages->setTabText(1, Tr("Probenahme"));
    pcPages->setTabText(2, Tr("Probenahme-Voreinstellungen"));
    gbAnzeige->setTitle(Tr("Anzeige"));
    gbTouch->setTitle(Tr("Touchtöne"));
    gbSignal->setTitle(Tr("Akustische Signale"));
    gbStandby->setTitle(Tr("Standbyzeit"));
    rgAbschaltung->setTitle(Tr("Automatische Abschaltung"));
    gbUhr->setTitle(Tr("Geräteuhr"));
    gbVoreinstell->setTitle(Tr("Probenahme-Voreinstellungen"));
    gbIntervall->setTitle(Tr("Intervallbetrieb"));
    gbStandardliter->setTitle(Tr("Standardliter"));
    const std::array<const char*, chChoiceCount> captions{
        TrNoop("Helligkeit"), TrNoop("Sprache"),    TrNoop("Zeitformat"),      TrNoop("Datumsformat"),
        TrNoop("Lautstärke"), TrNoop("Lautstärke"), TrNoop("Zeit in Minuten"), TrNoop("Anzahl"),
        TrNoop("Maximale Intervalle")};
    for (size_t i = 0; i < captions.size(); ++i) {
        FSpinnerCaption[i]->setText(Tr(captions[i]));
        FSpinners[i]->setAccessibleName(Tr(captions[i]));
    }
    cbTonEnde->setText(Tr("bei Ende der Probenahme"));
    cbTonAlarm->setText(Tr("bei Alarm"));
    cbWarnAkku->setText(Tr("bei zu geringer Akkukapazität"));
    cbDaylightSavingTime->setText(Tr("Sommerzeit"));
    const QStringList abschaltung = TEinstellungLogic::AbschaltungTexts();
    for (size_t i = 0; i < rbAbschaltung.size(); ++i)
        rbAbschaltung[i]->setText(abschaltung.at(int(i)));
    FDateCaption->setText(Tr("Datum"));
    FTimeCaption->setText(Tr("Uhrzeit"));
    dtpIMDate->setAccessibleName(Tr("Datum"));
    dtpIMTime->setAccessibleName(Tr("Uhrzeit"));
    btnUhrRead->setText(Tr("Lesen"));
    btnUhrSet->setText(Tr("Stellen"));
    btnUhrSync->setText(Tr("Auf Systemzeit stellen"));
    FTempCaption->setText(Tr("Temperatur"));
    FDruckCaption->setText(Tr("Luftdruck"));
    eSLTemp->setAccessibleName(Tr("Temperatur"));
    eSLDruck->setAccessibleName(Tr("Luftdruck"));
    btnSLSet->setText(Tr("Übernehmen"));
    btnAct->setText(Tr("&Aktualisieren"));
    lblLegend->setText(Tr("D: Deaktiviert - I: Intervallbetrieb - Ü: Flussüberwachung - NL/SL/L: Volumentyp"));
    QStringList headers{Tr("Nr."), Tr("Bezeichnung")};
    for (int c = 0; c < 2; ++c)
        headers << Tr("Volumen") << Tr("Vol.strom") << Tr("Dauer") << Tr("Verz.") << Tr("Optionen");
    headers << Tr("Loginterv.");
    lvPreset->setHeaderLabels(headers);
    FNrCaption->setText(Tr("Nr."));
    FBezCaption->setText(Tr("Bezeichnung"));
    FLogCaption->setText(Tr("Loginterv."));
    ePresNr->setAccessibleName(Tr("Nr."));
    ePresBez->setAccessibleName(Tr("Bezeichnung"));
    ePresLogIntervall->setAccessibleName(Tr("Loginterv."));
    btnPresSave->setText(Tr("Speichern"));
    btnExport->setText(Tr("Export nach Datei"));
    btnImport->setText(Tr("Import aus Datei"));
    for (TfrPresetChannel* f : FFrames)
        f->Retranslate();
}

void TfEinstellung::ShowView()
{
    for (size_t i = 0; i < FSpinners.size(); ++i)
        FSpinners[i]->Show(FLogic.Choice(TEinstellChoice(i)));
    for (size_t i = 0; i < FChecks.size(); ++i)
        FChecks[i]->setChecked(FLogic.Check(TEinstellCheck(i)));
    for (size_t i = 0; i < rbAbschaltung.size(); ++i)
        rbAbschaltung[i]->setChecked(FLogic.Abschaltung() == int(i));
    // The operator's field keeps what is being typed into it.
    if (!eSLTemp->hasFocus() && eSLTemp->text() != FLogic.SLTemp()) {
        const QSignalBlocker block(eSLTemp);
        eSLTemp->setText(FLogic.SLTemp());
    }
    if (!eSLDruck->hasFocus() && eSLDruck->text() != FLogic.SLDruck()) {
        const QSignalBlocker block(eSLDruck);
        eSLDruck->setText(FLogic.SLDruck());
    }
    if (!dtpIMDate->hasFocus() && FLogic.IMDate().isValid()) {
        const QSignalBlocker block(dtpIMDate);
        dtpIMDate->setDate(FLogic.IMDate());
    }
    if (!dtpIMTime->hasFocus() && FLogic.IMTime().isValid()) {
        const QSignalBlocker block(dtpIMTime);
        dtpIMTime->setTime(FLogic.IMTime());
    }
    const TEinstellControls& c = FLogic.Controls();
    for (QWidget* w : std::initializer_list<QWidget*>{btnAct, tsSprache, btnUhrRead, btnUhrSet, btnUhrSync, cbTonEnde,
                                                      cbTonAlarm, tsDisplay, tsAnzVoreinstell, rgAbschaltung, btnImport})
        w->setEnabled(c.Online);
    btnPresSave->setEnabled(c.PresSave);
    btnExport->setEnabled(c.Export);
    cbDaylightSavingTime->setVisible(c.DaylightVisible);
}

void TfEinstellung::ShowPresets()
{
    {
        const QSignalBlocker block(lvPreset);
        const QList<TPresetRow>& rows = FLogic.Rows();
        while (lvPreset->topLevelItemCount() > rows.size())
            delete lvPreset->takeTopLevelItem(lvPreset->topLevelItemCount() - 1);
        const QBrush normal = palette().brush(QPalette::Text);
        for (int r = 0; r < rows.size(); ++r) {
            QTreeWidgetItem* item = lvPreset->topLevelItem(r);
            if (!item)
                item = new QTreeWidgetItem(lvPreset);
            const QBrush text = FLogic.RowInUse(r) ? QBrush(kRowInUse) : normal;
            for (int col = 0; col < kPresetColumns; ++col) {
                item->setText(col, rows.at(r).Cells.value(col));
                item->setForeground(col, text);
                if (col >= channelColumn(0) && col < channelColumn(1))
                    item->setBackground(col, FFrames[0]->Background());
                else if (col >= channelColumn(1) && col < channelColumn(2))
                    item->setBackground(col, FFrames[1]->Background());
            }
        }
        const int selected = FLogic.SelectedRow();
        if (selected >= 0) {
            lvPreset->setCurrentItem(lvPreset->topLevelItem(selected));
        } else {
            lvPreset->clearSelection();
            lvPreset->setCurrentItem(nullptr);
        }
    }
    ShowPage(FLogic.Page());
    const TEinstellControls& c = FLogic.Controls();
    btnPresSave->setEnabled(c.PresSave);
    btnExport->setEnabled(c.Export);
}

void TfEinstellung::ShowPage(const TPresetPage& page)
{
    const auto setText = [](QLineEdit* e, const QString& text) {
        if (e->text() != text) {
            const QSignalBlocker block(e);
            e->setText(text);
        }
    };
    setText(ePresNr, page.Nr);
    setText(ePresBez, page.Bez);
    setText(ePresLogIntervall, page.LogIntervall);
    for (QLineEdit* e : {ePresNr, ePresBez, ePresLogIntervall})
        e->setEnabled(page.Enabled);
}

void TfEinstellung::SetOnOffLine(int online)
{
    FLogic.SetOnOffLine(online);
}

void TfEinstellung::TimerEvent(int interval)
{
    FLogic.TimerEvent(interval, isVisible());
}

void TfEinstellung::RXData(int status, int tag, const QString& data)
{
    FLogic.RXData(status, tag, data);
}

void TfEinstellung::SwitchLanguage()
{
    TPLXForm::SwitchLanguage();
    Retranslate();
    FLogic.SwitchLanguage();
}

void TfEinstellung::FormShow()
{
    FLogic.FormShow();
    lvPreset->header()->resizeSections(QHeaderView::ResizeToContents);
}

TEinstellField TfEinstellung::FieldOf(QObject* watched) const
{
    if (watched == eSLTemp)
        return TEinstellField::SLTemp;
    if (watched == eSLDruck)
        return TEinstellField::SLDruck;
    if (watched == dtpIMDate)
        return TEinstellField::IMDate;
    if (watched == dtpIMTime)
        return TEinstellField::IMTime;
    return TEinstellField::None;
}

bool TfEinstellung::CheckField(QLineEdit* field)
{
    if (field == ePresLogIntervall)
        return FLogic.ePresLogIntervallExit(field->text());
    for (TfrPresetChannel* f : FFrames) {
        if (f->isAncestorOf(field))
            return f->CheckField(field);
    }
    return true;
}

void TfEinstellung::Refocus(QWidget* field)
{
    const QPointer<QWidget> target(field);
    QTimer::singleShot(0, this, [this, target] {
        QWidget* focus = QApplication::focusWidget();
        if (!target || !target->isEnabled() || !focus || focus == target || !isAncestorOf(focus))
            return;
        // The field that loses the focus now is not checked: two refused fields would
        // otherwise hand the focus back and forth for ever.
        FRefocusing = true;
        target->setFocus(Qt::OtherFocusReason);
        FRefocusing = false;
    });
}

bool TfEinstellung::eventFilter(QObject* watched, QEvent* event)
{
    const TEinstellField field = FieldOf(watched);
    switch (event->type()) {
    case QEvent::FocusIn:
        if (field != TEinstellField::None)
            FLogic.SetFocusField(field);
        break;
    case QEvent::FocusOut: {
        if (field != TEinstellField::None)
            FLogic.SetFocusField(TEinstellField::None);
        auto* e = qobject_cast<QLineEdit*>(watched);
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // Another window or a menu taking the focus is no leaving of the field.
        if (e && FCheckedFields.contains(e) && !FRefocusing && reason != Qt::ActiveWindowFocusReason
            && reason != Qt::PopupFocusReason && !CheckField(e))
            Refocus(e);
        break;
    }
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            focusNextChild();
            return true;
        }
        const QString text = key->text();
        if (text.size() != 1 || !text.at(0).isPrint())
            break;
        if (watched == ePresBez && text.at(0) == QLatin1Char(';'))
            return true;
        if (field == TEinstellField::SLTemp || field == TEinstellField::SLDruck) {
            auto* e = static_cast<QLineEdit*>(watched);
            const int cursor = e->hasSelectedText() ? e->selectionStart() : e->cursorPosition();
            QString before = e->text();
            if (e->hasSelectedText())
                before.remove(e->selectionStart(), e->selectedText().size());
            const std::optional<QChar> c = FLogic.SLKey(field, text.at(0), before, cursor);
            if (c)
                e->insert(QString(*c));
            return true;
        }
        break;
    }
    default:
        break;
    }
    return TPLXForm::eventFilter(watched, event);
}
