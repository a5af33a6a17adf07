#include "tfprobedaten.h"

#include "formatsettings.h"
#include "i18n.h"
#include "settingsform.h"

#include <QAction>
#include <QDesktopServices>
#include <QUrl>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

bool defaultQuestionBox(QWidget* parent, const QString& question)
{
    return QMessageBox::warning(parent, Tr("Probenahmedaten"), question, QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No)
           == QMessageBox::Yes;
}

void defaultMessageBox(QWidget* parent, const QString& text)
{
    QMessageBox::warning(parent, Tr("Probenahmedaten"), text);
}

QString defaultFolderBox(QWidget* parent, const QString& caption, const QString& start)
{
    return QFileDialog::getExistingDirectory(parent, caption, start);
}

// The save dialog of an export: "False" when cancelled, as the spreadsheet's own dialog answers.
QString defaultSaveBox(QWidget* parent, const QString& proposal, const QString& filter, const QString& title,
                       const QString& suffix)
{
    // "EXCEL(*.xlsx),*.xlsx,All(*.*),*.*" as Qt writes filters.
    const QStringList parts = filter.split(QLatin1Char(','));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i].left(parts[i].indexOf(QLatin1Char('('))) + QStringLiteral(" (") + parts[i + 1] + QLatin1Char(')');
    QFileDialog dialog(parent, title, proposal, filters.join(QStringLiteral(";;")));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QStringLiteral("False");
    return dialog.selectedFiles().first();
}

bool defaultOpenDocument(const QString& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

QLabel* valueLabel(const QString& name, QWidget* parent)
{
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setMinimumWidth(110);
    l->setAutoFillBackground(true);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

void paint(QLabel* label, const QColor& colour)
{
    QPalette pal = label->palette();
    pal.setColor(QPalette::Window, colour.isValid() ? colour : label->parentWidget()->palette().color(QPalette::Window));
    pal.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(pal);
}

const std::array<const char*, 10> kChannelCaptions{
    TrNoop("Status"),      TrNoop("Startdatum"),  TrNoop("Startzeit"),       TrNoop("Istvolumen"),
    TrNoop("Dauer"),       TrNoop("Mittl. Fluss"), TrNoop("Sollvolumen"),    TrNoop("Sollfluss"),
    TrNoop("Flussüberwachung"), TrNoop("Soll-Dauer")};
const std::array<const char*, 4> kGeneralCaptions{TrNoop("Temperatur"), TrNoop("Feuchte"), TrNoop("Luftdruck"),
                                                  TrNoop("Logging")};

}  // namespace

TfProbedaten::TfProbedaten(TAppContext& context, QWidget* parent)
    : TPLXForm(context, parent)
    , FLogic(context)
    , FQuestionBox(defaultQuestionBox)
    , FMessageBox(defaultMessageBox)
    , FFolderBox(defaultFolderBox)
    , FSaveBox(defaultSaveBox)
    , FOpenDocument(defaultOpenDocument)
{
    setObjectName(QStringLiteral("fProbedaten"));
    FClientID = ciProbedaten;
    BuildWidgets();
    AttachStatusBar(StatusBar);
    FLogic.SetQuestion([this](const QString& q) { return FQuestionBox && FQuestionBox(this, q); });
    FLogic.SetMessageBox([this](const QString& t) {
        if (FMessageBox)
            FMessageBox(this, t);
    });
    FLogic.SetFolderDialog([this](const QString& caption, const QString& start) {
        return FFolderBox ? FFolderBox(this, caption, start) : QString();
    });
    TSpreadsheetExport& x = FLogic.Export();
    x.SaveDialog = [this](const QString& proposal, const QString& filter, const QString& title, const QString& suffix) {
        return FSaveBox ? FSaveBox(this, proposal, filter, title, suffix) : QStringLiteral("False");
    };
    x.Box = [this](const QString& t) {
        if (FMessageBox)
            FMessageBox(this, t);
    };
    x.Question = [this](const QString& q) { return FQuestionBox && FQuestionBox(this, q) ? 0 : 1; };
    x.OpenDocument = [this](const QString& path) { return FOpenDocument && FOpenDocument(path); };
    connect(&FLogic, &TProbedatenLogic::Status, this, [this](const QString& text, bool alarm) { ShowStatus(text, alarm); });
    connect(&FLogic, &TProbedatenLogic::ViewChanged, this, &TfProbedaten::ShowView);
    connect(&FLogic, &TProbedatenLogic::ListChanged, this, &TfProbedaten::ShowList);
    FLogic.SetLogChart([this](int index) { ShowLogChart(index); });
    Retranslate();
    ShowList();
    ShowView();
}

TfProbedaten::~TfProbedaten() = default;

void TfProbedaten::BuildWidgets()
{
    auto* top = new QVBoxLayout(this);

    auto* buttons = new QHBoxLayout;
    auto button = [this, buttons](const char* name) {
        auto* b = new QPushButton(this);
        b->setObjectName(QString::fromLatin1(name));
        buttons->addWidget(b);
        return b;
    };
    btnLadeSarvik = button("btnLadeSarvik");
    btnLadeDateien = button("btnLadeDateien");
    btnAbbruch = button("btnAbbruch");
    btnDelete = button("btnDelete");
    btnEXCEL = button("btnEXCEL");
    btnProbeExcel = button("btnProbeExcel");
    btnProbeVerlauf = button("btnProbeVerlauf");
    buttons->addStretch();
    top->addLayout(buttons);

    pbProgress = new QProgressBar(this);
    pbProgress->setObjectName(QStringLiteral("pbProgress"));
    pbProgress->setVisible(false);
    top->addWidget(pbProgress);

    lvData = new QTreeWidget(this);
    lvData->setObjectName(QStringLiteral("lvData"));
    lvData->setRootIsDecorated(false);
    lvData->setUniformRowHeights(true);
    lvData->setSelectionMode(QAbstractItemView::SingleSelection);
    lvData->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvData->setContextMenuPolicy(Qt::CustomContextMenu);
    lvData->setColumnCount(lcCount);
    lvData->setMinimumHeight(160);
    top->addWidget(lvData, 1);

    pmData = new QMenu(this);
    pmData->setObjectName(QStringLiteral("pmData"));
    actSelectAll = pmData->addAction(QString());
    actSelectAll->setObjectName(QStringLiteral("actSelectAll"));
    actClearSelection = pmData->addAction(QString());
    actClearSelection->setObjectName(QStringLiteral("actClearSelection"));
    pmData->addSeparator();
    actLoadLog = pmData->addAction(QString());
    actLoadLog->setObjectName(QStringLiteral("actLoadLog"));
    actShowLog = pmData->addAction(QString());
    actShowLog->setObjectName(QStringLiteral("actShowLog"));

    gbDetails = new QGroupBox(this);
    gbDetails->setObjectName(QStringLiteral("gbDetails"));
    auto* details = new QHBoxLayout(gbDetails);
    for (size_t c = 0; c < 2; ++c) {
        const QString n = QString::number(c + 1);
        auto* frame = new QGroupBox(gbDetails);
        frame->setObjectName(QStringLiteral("frHistoryChannel") + n);
        frHistoryChannel[c] = frame;
        auto* grid = new QGridLayout(frame);
        std::array<QLabel**, 10> fields{&lblStatus[c],    &lblStartDate[c], &lblStartTime[c], &lblVolume[c],
                                        &lblDuration[c],  &lblMeanFlow[c],  &lblSetVolume[c], &lblSetFlow[c],
                                        &lblFlowMonitor[c], &lblSetDuration[c]};
        const std::array<const char*, 10> names{"lblStatus",    "lblStartDate", "lblStartTime", "lblVolume",
                                                "lblDuration",  "lblMeanFlow",  "lblSetVolume", "lblSetFlow",
                                                "lblFlowMonitor", "lblSetDuration"};
        for (size_t r = 0; r < fields.size(); ++r) {
            *fields[r] = valueLabel(QString::fromLatin1(names[r]) + n, frame);
            FChannelCaption[c][r] = new QLabel(frame);
            FChannelCaption[c][r]->setBuddy(*fields[r]);
            grid->addWidget(FChannelCaption[c][r], static_cast<int>(r), 0);
            grid->addWidget(*fields[r], static_cast<int>(r), 1);
        }
        details->addWidget(frame);
    }
    auto* general = new QGridLayout;
    std::array<QLabel**, 4> generalFields{&lblTemperature, &lblHumidity, &lblPressure, &lblLogging};
    const std::array<const char*, 4> generalNames{"lblTemperature", "lblHumidity", "lblPressure", "lblLogging"};
    for (size_t r = 0; r < generalFields.size(); ++r) {
        *generalFields[r] = valueLabel(QString::fromLatin1(generalNames[r]), gbDetails);
        FGeneralCaption[r] = new QLabel(gbDetails);
        FGeneralCaption[r]->setBuddy(*generalFields[r]);
        general->addWidget(FGeneralCaption[r], static_cast<int>(r), 0);
        general->addWidget(*generalFields[r], static_cast<int>(r), 1);
    }
    general->setRowStretch(static_cast<int>(generalFields.size()), 1);
    details->addLayout(general);
    top->addWidget(gbDetails);

    StatusBar = new QStatusBar(this);
    StatusBar->setSizeGripEnabled(false);
    top->addWidget(StatusBar);

    connect(btnLadeSarvik, &QPushButton::clicked, &FLogic, &TProbedatenLogic::btnLadeSarvikClick);
    connect(btnLadeDateien, &QPushButton::clicked, &FLogic, &TProbedatenLogic::btnLadeDateienClick);
    connect(btnAbbruch, &QPushButton::clicked, &FLogic, &TProbedatenLogic::btnAbbruchClick);
    connect(btnDelete, &QPushButton::clicked, &FLogic, &TProbedatenLogic::btnDeleteClick);
    connect(btnEXCEL, &QPushButton::clicked, &FLogic, &TProbedatenLogic::btnEXCELClick);
    connect(btnProbeExcel, &QPushButton::clicked, &FLogic, &TProbedatenLogic::btnProbeExcelClick);
    connect(actSelectAll, &QAction::triggered, &FLogic, &TProbedatenLogic::SelectAll);
    connect(actClearSelection, &QAction::triggered, &FLogic, &TProbedatenLogic::ClearChecks);
    connect(actLoadLog, &QAction::triggered, &FLogic, &TProbedatenLogic::btnProbeExcelClick);
    connect(btnProbeVerlauf, &QPushButton::clicked, &FLogic, &TProbedatenLogic::btnProbeVerlaufClick);
    connect(actShowLog, &QAction::triggered, &FLogic, &TProbedatenLogic::btnProbeVerlaufClick);
    connect(lvData, &QTreeWidget::customContextMenuRequested, this, &TfProbedaten::ShowContextMenu);
    connect(lvData, &QTreeWidget::itemSelectionChanged, this, [this] {
        const QList<QTreeWidgetItem*> selected = lvData->selectedItems();
        FLogic.SelectRow(selected.isEmpty() ? -1 : lvData->indexOfTopLevelItem(selected.first()));
    });
    connect(lvData, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        if (column == lcNr)
            FLogic.SetRowChecked(lvData->indexOfTopLevelItem(item), item->checkState(lcNr) == Qt::Checked);
    });
}

void TfProbedaten::Retranslate()
{
    setWindowTitle(Tr("Probenahmedaten"));
    btnLadeSarvik->setText(Tr("Von &Sarvik2 laden"));
    btnLadeDateien->setText(Tr("Aus &Dateien laden"));
    btnAbbruch->setText(Tr("Abbruch"));
    btnDelete->setText(Tr("Alle löschen"));
    btnEXCEL->setText(Tr("nach EXCEL"));
    btnProbeExcel->setText(Tr("Log nach EXCEL"));
    actSelectAll->setText(Tr("Alle Probenahmen selektieren"));
    actClearSelection->setText(Tr("Alle Selektionen löschen"));
    actLoadLog->setText(Tr("Probenahmeverlauf laden und exportieren"));
    btnProbeVerlauf->setText(Tr("Verlauf anzeigen"));
    actShowLog->setText(Tr("Verlauf anzeigen"));
    lvData->setHeaderLabels(TProbedatenLogic::ColumnCaptions());
    for (size_t c = 0; c < 2; ++c) {
        frHistoryChannel[c]->setTitle(FmtDisplay().Format(Tr("Kanal %d"), {static_cast<int>(c) + 1}));
        for (size_t r = 0; r < kChannelCaptions.size(); ++r) {
            FChannelCaption[c][r]->setText(Tr(kChannelCaptions[r]));
            if (QLabel* buddy = qobject_cast<QLabel*>(FChannelCaption[c][r]->buddy()))
                buddy->setAccessibleName(frHistoryChannel[c]->title() + QStringLiteral(" ") + Tr(kChannelCaptions[r]));
        }
    }
    for (size_t r = 0; r < kGeneralCaptions.size(); ++r) {
        FGeneralCaption[r]->setText(Tr(kGeneralCaptions[r]));
        if (QLabel* buddy = qobject_cast<QLabel*>(FGeneralCaption[r]->buddy()))
            buddy->setAccessibleName(Tr(kGeneralCaptions[r]));
    }
}

void TfProbedaten::SetQuestionBox(TQuestionBox box)
{
    FQuestionBox = box ? std::move(box) : TQuestionBox(defaultQuestionBox);
}

void TfProbedaten::SetMessageBox(TMessageBox box)
{
    FMessageBox = box ? std::move(box) : TMessageBox(defaultMessageBox);
}

void TfProbedaten::SetFolderBox(TFolderBox box)
{
    FFolderBox = box ? std::move(box) : TFolderBox(defaultFolderBox);
}

void TfProbedaten::SetSaveBox(TSaveBox box)
{
    FSaveBox = box ? std::move(box) : TSaveBox(defaultSaveBox);
}

void TfProbedaten::SetOpenDocument(TOpenDocument open)
{
    FOpenDocument = open ? std::move(open) : TOpenDocument(defaultOpenDocument);
}

void TfProbedaten::ShowList()
{
    const QSignalBlocker block(lvData);
    const std::vector<TListRow>& rows = FLogic.Rows();
    lvData->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(rows.size()));
    for (const TListRow& row : rows) {
        auto* item = new QTreeWidgetItem;
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        for (int col = 0; col < lcCount; ++col) {
            item->setText(col, row.Cells[static_cast<size_t>(col)]);
            item->setBackground(col, row.Colours[static_cast<size_t>(col)]);
            item->setForeground(col, QColor(Qt::black));
        }
        item->setTextAlignment(lcNr, Qt::AlignRight | Qt::AlignVCenter);
        item->setCheckState(lcNr, row.Checked ? Qt::Checked : Qt::Unchecked);
        item->setData(lcNr, Qt::UserRole, row.Index);
        items << item;
    }
    lvData->addTopLevelItems(items);
    const int selected = FLogic.SelectedRow();
    if (selected >= 0 && selected < lvData->topLevelItemCount())
        lvData->setCurrentItem(lvData->topLevelItem(selected));
}

void TfProbedaten::ShowView()
{
    const TProbeControls& c = FLogic.Controls();
    btnLadeSarvik->setEnabled(c.LadeSarvikEnabled);
    btnLadeDateien->setEnabled(c.LadeDateienEnabled);
    btnAbbruch->setEnabled(c.AbbruchEnabled);
    btnDelete->setVisible(c.DeleteVisible);
    btnDelete->setEnabled(c.DeleteEnabled);
    btnEXCEL->setVisible(c.ExcelVisible);
    btnEXCEL->setEnabled(c.ExcelEnabled);
    btnProbeExcel->setEnabled(c.LogActionEnabled);
    actLoadLog->setEnabled(c.LogActionEnabled);
    btnProbeVerlauf->setEnabled(c.LogActionEnabled);
    actShowLog->setEnabled(c.LogActionEnabled);
    actSelectAll->setEnabled(c.SelectEntriesEnabled);
    actClearSelection->setEnabled(c.SelectEntriesEnabled);
    lvData->setEnabled(c.ListEnabled);
    pbProgress->setVisible(c.ProgressVisible);
    if (c.ProgressMarquee) {
        pbProgress->setRange(0, 0);
    } else {
        pbProgress->setRange(0, std::max(1, c.ProgressMax));
        pbProgress->setValue(std::min(c.ProgressPos, std::max(1, c.ProgressMax)));
    }

    const TDetailsView& d = FLogic.Details();
    gbDetails->setTitle(d.Title);
    for (size_t ch = 0; ch < 2; ++ch) {
        const TChannelDetails& v = d.Channel[ch];
        lblStatus[ch]->setText(v.Status);
        paint(lblStatus[ch], v.StatusColour);
        lblStartDate[ch]->setText(v.StartDate);
        lblStartTime[ch]->setText(v.StartTime);
        lblVolume[ch]->setText(v.Volume);
        lblDuration[ch]->setText(v.Duration);
        lblMeanFlow[ch]->setText(v.MeanFlow);
        lblSetVolume[ch]->setText(v.SetVolume);
        lblSetFlow[ch]->setText(v.SetFlow);
        lblFlowMonitor[ch]->setText(v.FlowMonitor);
        paint(lblFlowMonitor[ch], v.FlowMonitorColour);
        lblSetDuration[ch]->setText(v.SetDuration);
    }
    lblTemperature->setText(d.Temperature);
    lblHumidity->setText(d.Humidity);
    lblPressure->setText(d.Pressure);
    lblLogging->setText(d.Logging);
}

void TfProbedaten::ShowContextMenu(const QPoint& pos)
{
    FLogic.UpdateLogActions();
    pmData->popup(lvData->viewport()->mapToGlobal(pos));
}

void TfProbedaten::SetImageSaveBox(TfVerlauf::TSaveBox box)
{
    FImageSaveBox = std::move(box);
    if (FChartWindow)
        FChartWindow->SetSaveBox(FImageSaveBox);
}

void TfProbedaten::ShowLogChart(int index)
{
    const std::vector<T_SAMPLEDATA>& records = FLogic.Records();
    if (index < 0 || index >= static_cast<int>(records.size()))
        return;
    if (!FChartWindow) {
        FChartWindow = new TfVerlauf(this);
        FChartWindow->SetSaveBox(FImageSaveBox);
        connect(FChartWindow, &TfVerlauf::Status, this, [this](const QString& text, bool alarm) { ShowStatus(text, alarm); });
    }
    FChartWindow->SetOutputFolder(Context().Settings().GetStr(QStringLiteral("SamplingData/Output")));
    FChartWindow->SetData(records[static_cast<size_t>(index)].uiNummer, FLogic.LogChart(index));
    FChartWindow->show();
    FChartWindow->raise();
    FChartWindow->activateWindow();
}

void TfProbedaten::SetOnOffLine(int online)
{
    FLogic.SetOnOffLine(online);
}

void TfProbedaten::RXData(int status, int tag, const QString& data)
{
    FLogic.RXData(status, tag, data);
}

void TfProbedaten::SwitchLanguage()
{
    TPLXForm::SwitchLanguage();
    Retranslate();
    FLogic.SwitchLanguage();
    // The chart follows the language: its record may be gone from a table loaded since.
    if (FChartWindow) {
        const int index = FLogic.FindRecordByNumber(FChartWindow->RecordNumber());
        if (index >= 0 && !FLogic.Records()[static_cast<size_t>(index)].aSL.empty())
            FChartWindow->SetData(FChartWindow->RecordNumber(), FLogic.LogChart(index));
        FChartWindow->SwitchLanguage();
    }
}

void TfProbedaten::FormShow()
{
    if (FShown)
        return;
    FShown = true;
    FLogic.FormShow();
}
