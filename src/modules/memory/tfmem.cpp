#include "tfmem.h"

#include "fieldstatecolor.h"
#include "i18n.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kFixedColumns = 5;
constexpr std::array<int, kFixedColumns> kFixedWidths{36, 36, 72, 64, 64};
constexpr int kDataWidth = 38;

QLineEdit* field(const QString& name, QWidget* parent)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    return e;
}

}  // namespace

TfMem::TfMem(TAppContext& context, QWidget* parent)
    : TPLXForm(context, parent)
    , FLogic(context)
{
    setObjectName(QStringLiteral("fMem"));
    FClientID = ciMem;
    BuildWidgets();
    AttachStatusBar(StatusBar);
    SetMessageBox({});
    connect(&FLogic, &TMemLogic::InputsChanged, this, &TfMem::ShowInputs);
    connect(&FLogic, &TMemLogic::RowsChanged, this, &TfMem::ShowRows);
    connect(&FLogic, &TMemLogic::ViewChanged, this, &TfMem::ShowView);
    Retranslate();
    ShowView();
}

TfMem::~TfMem() = default;

void TfMem::SetMessageBox(TMemLogic::TMessageBox box)
{
    if (!box)
        box = [this](const QString& text) { QMessageBox::warning(this, windowTitle(), text); };
    FLogic.SetMessageBox(std::move(box));
}

void TfMem::BuildWidgets()
{
    auto* top = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    tsTarget = new QComboBox(this);
    tsTarget->setObjectName(QStringLiteral("tsTarget"));
    for (int p = 0; p < kMemTargetCount; ++p)
        tsTarget->addItem(MemTargetName(p));
    eAdr = field(QStringLiteral("eAdr"), this);
    eAnz = field(QStringLiteral("eAnz"), this);
    eWrite = field(QStringLiteral("eWrite"), this);
    cbHex = new QCheckBox(this);
    cbHex->setObjectName(QStringLiteral("cbHex"));
    FTargetCaption = new QLabel(this);
    FAdrCaption = new QLabel(this);
    FAnzCaption = new QLabel(this);
    FWriteCaption = new QLabel(this);
    FHintHex = new QLabel(this);
    FHintExample = new QLabel(this);
    FHintChars = new QLabel(this);
    FHintSeparator = new QLabel(this);
    FTargetCaption->setBuddy(tsTarget);
    FAdrCaption->setBuddy(eAdr);
    FAnzCaption->setBuddy(eAnz);
    FWriteCaption->setBuddy(eWrite);
    grid->addWidget(FTargetCaption, 0, 0);
    grid->addWidget(tsTarget, 0, 1);
    grid->addWidget(FAdrCaption, 1, 0);
    grid->addWidget(eAdr, 1, 1);
    grid->addWidget(FHintHex, 1, 2);
    grid->addWidget(FAnzCaption, 2, 0);
    grid->addWidget(eAnz, 2, 1);
    grid->addWidget(FHintExample, 2, 2);
    grid->addWidget(FWriteCaption, 3, 0);
    grid->addWidget(eWrite, 3, 1, 1, 2);
    grid->addWidget(FHintChars, 4, 1);
    grid->addWidget(FHintSeparator, 4, 2);
    grid->addWidget(cbHex, 5, 1, 1, 2);
    top->addLayout(grid);

    auto* buttons = new QHBoxLayout;
    btnRead = new QPushButton(this);
    btnRead->setObjectName(QStringLiteral("btnRead"));
    btnWrite = new QPushButton(this);
    btnWrite->setObjectName(QStringLiteral("btnWrite"));
    btnClear = new QPushButton(this);
    btnClear->setObjectName(QStringLiteral("btnClear"));
    buttons->addWidget(btnRead);
    buttons->addWidget(btnWrite);
    buttons->addWidget(btnClear);
    buttons->addStretch();
    top->addLayout(buttons);

    lvMem = new QTreeWidget(this);
    lvMem->setObjectName(QStringLiteral("lvMem"));
    lvMem->setRootIsDecorated(false);
    lvMem->setUniformRowHeights(true);
    lvMem->setMinimumSize(560, 220);
    top->addWidget(lvMem, 1);

    StatusBar = new QStatusBar(this);
    StatusBar->setSizeGripEnabled(false);
    top->addWidget(StatusBar);

    connect(btnRead, &QPushButton::clicked, this, [this] {
        PushInputs();
        FLogic.btnReadClick();
    });
    connect(btnWrite, &QPushButton::clicked, this, [this] {
        PushInputs();
        FLogic.btnWriteClick();
    });
    connect(btnClear, &QPushButton::clicked, &FLogic, &TMemLogic::btnClearClick);
    connect(lvMem, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        const bool write = FLogic.RowDoubleClick(lvMem->indexOfTopLevelItem(item));
        (write ? btnWrite : btnRead)->setFocus();
    });
    connect(cbHex, &QCheckBox::toggled, this, &TfMem::PushInputs);
}

void TfMem::Retranslate()
{
    setWindowTitle(Tr("Speichermonitor"));
    FTargetCaption->setText(Tr("Speicher"));
    FAdrCaption->setText(Tr("Adresse"));
    FAnzCaption->setText(Tr("Anzahl"));
    FWriteCaption->setText(Tr("Schreiben"));
    tsTarget->setAccessibleName(Tr("Speicher"));
    eAdr->setAccessibleName(Tr("Adresse"));
    eAnz->setAccessibleName(Tr("Anzahl"));
    eWrite->setAccessibleName(Tr("Schreiben"));
    FHintHex->setText(Tr("Hex-Format: $ voranstellen"));
    FHintExample->setText(Tr("Beispiel 0xEF: $EF"));
    FHintChars->setText(Tr("Zeichen (max. 19)"));
    FHintSeparator->setText(Tr("Max. 19 Zeichen mit Semikolon trennen"));
    cbHex->setText(Tr("Daten im Hex-Format"));
    btnRead->setText(Tr("Lesen"));
    btnWrite->setText(Tr("Schreiben"));
    btnClear->setText(Tr("Löschen"));
    ShowRows(-1);
}

void TfMem::PushInputs()
{
    TMemInputs in;
    in.Target = tsTarget->currentIndex();
    in.Address = eAdr->text();
    in.Count = eAnz->text();
    in.WriteText = eWrite->text();
    in.Hex = cbHex->isChecked();
    FLogic.SetInputs(in);
}

void TfMem::ShowInputs()
{
    const TMemInputs& in = FLogic.Inputs();
    const QSignalBlocker block(cbHex);
    tsTarget->setCurrentIndex(in.Target);
    eAdr->setText(in.Address);
    eAnz->setText(in.Count);
    eWrite->setText(in.WriteText);
    cbHex->setChecked(in.Hex);
}

void TfMem::fillItem(QTreeWidgetItem* item, const TMemRow& row)
{
    item->setText(0, QString::asprintf("%3d", row.Nr));
    item->setText(1, row.Write ? QStringLiteral("W") : QStringLiteral("R"));
    item->setText(2, MemTargetName(row.Target));
    item->setText(3, QString::asprintf("%5d", row.Address));
    item->setText(4, QString::asprintf("%2d", row.Count));
    for (int i = 0; i < row.Data.size(); ++i)
        item->setText(kFixedColumns + i, row.Data.at(i));
    for (int c = 0; c < item->columnCount(); ++c)
        item->setForeground(c, MemTargetColour(row.Target));
}

void TfMem::ShowRows(int index)
{
    const QList<TMemRow>& rows = FLogic.Rows();
    // D1 to D20, and more where a write had more values.
    int dataColumns = kMemMaxCount;
    for (const TMemRow& r : rows)
        dataColumns = std::max<int>(dataColumns, std::max<int>(r.Count, static_cast<int>(r.Data.size())));
    if (lvMem->columnCount() != kFixedColumns + dataColumns || index < 0) {
        QStringList headers{Tr("Nr."), Tr("R/W"), Tr("Speicher"), Tr("Adresse"), Tr("Anzahl")};
        for (int d = 1; d <= dataColumns; ++d)
            headers << QStringLiteral("D%1").arg(d);
        lvMem->setColumnCount(static_cast<int>(headers.size()));
        lvMem->setHeaderLabels(headers);
        for (int c = 0; c < kFixedColumns; ++c)
            lvMem->setColumnWidth(c, kFixedWidths[static_cast<size_t>(c)]);
        for (int c = kFixedColumns; c < lvMem->columnCount(); ++c)
            lvMem->setColumnWidth(c, kDataWidth);
    }
    if (index < 0 || lvMem->topLevelItemCount() != rows.size()) {
        lvMem->clear();
        for (const TMemRow& r : rows) {
            auto* item = new QTreeWidgetItem(lvMem);
            fillItem(item, r);
        }
        if (lvMem->topLevelItemCount() > 0)
            lvMem->scrollToItem(lvMem->topLevelItem(lvMem->topLevelItemCount() - 1));
        return;
    }
    QTreeWidgetItem* item = lvMem->topLevelItem(index);
    fillItem(item, rows.at(index));
    lvMem->scrollToItem(item);
}

void TfMem::ShowView()
{
    btnRead->setEnabled(FLogic.ButtonsEnabled());
    btnWrite->setEnabled(FLogic.ButtonsEnabled());
    ApplyFieldState(eAdr, FLogic.AddressState());
    ApplyFieldState(eAnz, FLogic.CountState());
    ApplyFieldState(eWrite, FLogic.WriteState());
}

void TfMem::SetOnOffLine(int online)
{
    FLogic.SetOnOffLine(online);
}

void TfMem::RXData(int status, int tag, const QString& data)
{
    FLogic.RXData(status, tag, data);
}

void TfMem::SwitchLanguage()
{
    TPLXForm::SwitchLanguage();
    Retranslate();
}

void TfMem::FormShow()
{
    FLogic.FormShow();
}

void TfMem::closeEvent(QCloseEvent* event)
{
    PushInputs();
    FLogic.FormClose();
    TPLXForm::closeEvent(event);
}
