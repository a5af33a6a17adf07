#include "settingsframes.h"

#include "i18n.h"
#include "textspinner.h"

#include <QAbstractTextDocumentLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QTableWidget>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

constexpr int kRowHeaderWidthPx = 30;
constexpr int kErrorIconPx = 16;

int choosePortDefault(QWidget* parent, const QStringList& lines, int current)
{
    QDialog dlg(parent);
    dlg.setObjectName(QStringLiteral("fPortList"));
    auto* list = new QListWidget(&dlg);
    list->setObjectName(QStringLiteral("lbPorts"));
    list->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    list->addItems(lines);
    if (current >= 0 && current < lines.size())
        list->setCurrentRow(current);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemDoubleClicked, &dlg, &QDialog::accept);
    auto* layout = new QVBoxLayout(&dlg);
    layout->addWidget(list);
    layout->addWidget(buttons);
    return dlg.exec() == QDialog::Accepted ? list->currentRow() : -1;
}

QVBoxLayout* tightColumn(QWidget* owner)
{
    auto* layout = new QVBoxLayout(owner);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(2);
    return layout;
}

}  // namespace

TSettingsDialogs DefaultSettingsDialogs()
{
    TSettingsDialogs d;
    d.openFile = [](QWidget* parent, const QString& title, const QString& dir, const QString& filter,
                    const QString& defaultExt) {
        QFileDialog dlg(parent, title, dir, filter);
        dlg.setFileMode(QFileDialog::ExistingFile);
        dlg.setAcceptMode(QFileDialog::AcceptOpen);
        dlg.setDefaultSuffix(defaultExt);
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
            return QString();
        return dlg.selectedFiles().first();
    };
    d.selectDir = [](QWidget* parent, const QString& title, const QString& dir) {
        return QFileDialog::getExistingDirectory(parent, title, dir);
    };
    d.askYesNo = [](QWidget* parent, const QString& question) {
        return QMessageBox::warning(parent, QStringLiteral("SarvikControl"), question,
                                    QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
    d.warn = [](QWidget* parent, const QString& text) {
        QMessageBox::warning(parent, QStringLiteral("SarvikControl"), text);
    };
    d.choosePort = choosePortDefault;
    return d;
}

QColor BadCellColour()
{
    // The Windows colour value 5592575 is BGR 0x5555FF.
    return QColor(255, 85, 85);
}

// --- TfrErrorLine ---

TfrErrorLine::TfrErrorLine(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("lblError"));
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(kErrorIconPx, kErrorIconPx));
    FText = new QLabel(this);
    FText->setWordWrap(true);
    QFont f = FText->font();
    f.setBold(true);
    FText->setFont(f);
    QPalette p = FText->palette();
    p.setColor(QPalette::WindowText, Qt::red);
    FText->setPalette(p);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(icon);
    layout->addWidget(FText, 1);
    hide();
}

void TfrErrorLine::ShowError(const QString& message)
{
    FText->setText(message);
    setVisible(!message.isEmpty());
}

QString TfrErrorLine::Text() const
{
    return isHidden() ? QString() : FText->text();
}

// --- TfrSetting ---

TfrSetting::TfrSetting(TValueNode& node, const QString& caption, TFrameContext& context)
    : FContext(context)
    , FNode(node)
    , FCaption(caption)
{
    setObjectName(QStringLiteral("fr") + node.identifier);
}

QString TfrSetting::ErrorText() const
{
    return FError ? FError->Text() : QString();
}

void TfrSetting::SetError(const QString& message)
{
    FNode.error = !message.isEmpty();
    if (FError)
        FError->ShowError(message);
    if (FContext.updateErrorStates)
        FContext.updateErrorStates();
}

// --- TfrText ---

TfrText::TfrText(TValueNode& node, const QString& caption, TFrameContext& context)
    : TfrSetting(node, caption, context)
{
    auto* layout = tightColumn(this);
    edtValue = new QLineEdit(this);
    edtValue->setObjectName(QStringLiteral("edtValue"));
    edtValue->setAccessibleName(caption);
    edtValue->setText(node.GetStr(-1, -1));
    const bool selects = dynamic_cast<TFileSelectionNode*>(&node) || dynamic_cast<TDirSelectionNode*>(&node);
    if (selects) {
        auto* box = new QGroupBox(caption, this);
        box->setObjectName(QStringLiteral("gbValue"));
        btnSelect = new QPushButton(QStringLiteral("..."), box);
        btnSelect->setObjectName(QStringLiteral("btnSelect"));
        btnSelect->setAutoDefault(false);
        btnSelect->setAccessibleName(caption);
        btnSelect->setFixedWidth(btnSelect->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
        connect(btnSelect, &QPushButton::clicked, this, &TfrText::btnSelectClick);
        auto* row = new QHBoxLayout;
        edtValue->setParent(box);
        row->addWidget(edtValue, 1);
        row->addWidget(btnSelect);
        auto* inner = tightColumn(box);
        inner->addLayout(row);
        FError = new TfrErrorLine(box);
        inner->addWidget(FError);
        layout->addWidget(box);
    } else {
        auto* label = new QLabel(caption, this);
        label->setObjectName(QStringLiteral("lblCaption"));
        label->setBuddy(edtValue);
        layout->addWidget(label);
        layout->addWidget(edtValue);
        FError = new TfrErrorLine(this);
        layout->addWidget(FError);
    }
}

bool TfrText::ReadFrameValue(QString& val)
{
    // Provisionally wrong, so an exception in the check leaves the node marked.
    Node().error = true;
    val = edtValue->text();
    QString message;
    const bool ok = CheckFrameText(Node(), val, message);
    SetError(ok ? QString() : message);
    return ok;
}

bool TfrText::Validate()
{
    QString val;
    return ReadFrameValue(val);
}

void TfrText::Save()
{
    QString val;
    if (!ReadFrameValue(val))
        return;
    QString errMsg;
    bool ok = true;
    if (dynamic_cast<TIntegerNode*>(&Node())) {
        qint32 v = 0;
        ParseFrameInteger(val, v);
        ok = Node().SetInt(v, errMsg, -1, -1);
    } else if (dynamic_cast<TFloatNode*>(&Node())) {
        long double v = 0;
        ParseFrameFloat(val, v);
        ok = Node().SetFloat(v, errMsg, -1, -1);
    } else {
        ok = Node().SetStr(val, errMsg, -1, -1);
    }
    if (!ok)
        SetError(errMsg);
}

void TfrText::btnSelectClick()
{
    const QString current = edtValue->text();
    QString chosen;
    if (auto* file = dynamic_cast<TFileSelectionNode*>(&Node())) {
        const QFileInfo info(current);
        const QString dir = !current.isEmpty() && info.isFile() ? info.absolutePath() : QDir::currentPath();
        const int lang = Node().FLanguage;
        const QString filter = lang < file->filters.size() ? file->filters.at(lang) : file->filters.value(0);
        if (FContext.dialogs.openFile)
            chosen = FContext.dialogs.openFile(this, Caption(), dir, DialogFilter(filter), file->defaultExt);
    } else {
        const QString dir = !current.isEmpty() && QFileInfo(current).isDir() ? current : QDir::currentPath();
        if (FContext.dialogs.selectDir)
            chosen = FContext.dialogs.selectDir(this, Caption(), dir);
    }
    if (!chosen.isEmpty())
        edtValue->setText(QDir::toNativeSeparators(chosen));
}

// --- TfrBoolean ---

TfrBoolean::TfrBoolean(TBooleanNode& node, const QString& caption, TFrameContext& context)
    : TfrSetting(node, caption, context)
{
    auto* layout = tightColumn(this);
    cbValue = new QCheckBox(caption, this);
    cbValue->setObjectName(QStringLiteral("cbValue"));
    cbValue->setChecked(node.value);
    layout->addWidget(cbValue);
    FError = new TfrErrorLine(this);
    layout->addWidget(FError);
}

void TfrBoolean::Save()
{
    QString errMsg;
    Node().SetBool(cbValue->isChecked(), errMsg, -1, -1);
}

// --- TfrRadio ---

TfrRadio::TfrRadio(TRadioNode& node, const QString& caption, TFrameContext& context)
    : TfrSetting(node, caption, context)
{
    auto* layout = tightColumn(this);
    auto* box = new QGroupBox(caption, this);
    box->setObjectName(QStringLiteral("rgValue"));
    box->setFixedHeight(RadioFrameHeight(int(node.items.size())));
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(6, 0, 6, 0);
    grid->setVerticalSpacing(0);
    auto* group = new QButtonGroup(box);
    for (int i = 0; i < node.items.size(); ++i) {
        auto* b = new QRadioButton(node.items.at(i), box);
        b->setObjectName(QStringLiteral("rb%1").arg(i));
        group->addButton(b, i);
        grid->addWidget(b, i / 3, i % 3);
        buttons << b;
    }
    Select(node.value);
    layout->addWidget(box);
}

int TfrRadio::Selected() const
{
    for (int i = 0; i < buttons.size(); ++i) {
        if (buttons.at(i)->isChecked())
            return i;
    }
    return -1;
}

void TfrRadio::Select(int index)
{
    for (int i = 0; i < buttons.size(); ++i) {
        QButtonGroup* group = buttons.at(i)->group();
        const bool exclusive = group && group->exclusive();
        if (group)
            group->setExclusive(false);
        buttons.at(i)->setChecked(i == index);
        if (group)
            group->setExclusive(exclusive);
    }
}

void TfrRadio::Save()
{
    QString errMsg;
    Node().SetInt(Selected(), errMsg, -1, -1);
}

// --- TfrSpin ---

TfrSpin::TfrSpin(TSelectNode& node, const QString& caption, TFrameContext& context)
    : TfrSetting(node, caption, context)
    , FItems(SpinnerItems(node))
{
    auto* layout = tightColumn(this);
    auto* label = new QLabel(caption, this);
    label->setObjectName(QStringLiteral("lblCaption"));
    spnValue = new TTextSpinner(this);
    spnValue->setObjectName(QStringLiteral("spnValue"));
    spnValue->setAccessibleName(caption);
    label->setBuddy(spnValue);
    QStringList texts;
    int position = 0;
    for (int i = 0; i < FItems.size(); ++i) {
        texts << SpinnerItemText(FItems.at(i));
        if (SpinnerItemNumber(FItems.at(i)) == node.value)
            position = i;
    }
    spnValue->SetTexts(texts);
    spnValue->SetPosition(position);
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(spnValue);
    row->addStretch();
    layout->addLayout(row);
}

int TfrSpin::Number() const
{
    const int pos = spnValue->Position();
    return pos >= 0 && pos < FItems.size() ? SpinnerItemNumber(FItems.at(pos)) : -1;
}

void TfrSpin::Save()
{
    if (FItems.isEmpty())
        return;
    QString errMsg;
    Node().SetInt(Number(), errMsg, -1, -1);
}

// --- TfrInfo ---

TfrInfo::TfrInfo(TInfoNode& node, const QString& caption, TFrameContext& context)
    : TfrSetting(node, caption, context)
{
    auto* layout = tightColumn(this);
    auto* box = new QGroupBox(caption, this);
    box->setObjectName(QStringLiteral("gbInfo"));
    memInfo = new QTextEdit(box);
    memInfo->setObjectName(QStringLiteral("memInfo"));
    memInfo->setAccessibleName(caption);
    memInfo->setReadOnly(true);
    memInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    switch (InfoTextKind(node.curText)) {
    case TInfoTextKind::Rtf:
        memInfo->setPlainText(RtfToPlain(node.curText));
        break;
    case TInfoTextKind::Html:
        memInfo->setHtml(node.curText);
        break;
    case TInfoTextKind::Plain:
        memInfo->setPlainText(node.curText);
        break;
    }
    auto* inner = tightColumn(box);
    inner->addWidget(memInfo);
    layout->addWidget(box);
    connect(memInfo->document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
            [this] { fitHeight(); });
    fitHeight();
}

void TfrInfo::fitHeight()
{
    // The text edit wraps at its own width; the height follows the laid-out text.
    const int h = int(memInfo->document()->size().height()) + 2 * memInfo->frameWidth() + 2;
    if (memInfo->height() != h)
        memInfo->setFixedHeight(h);
}

// --- TfrTable ---

TfrTable::TfrTable(TFloatTableNode& node, const QString& caption, TFrameContext& context)
    : TfrSetting(node, caption, context)
{
    auto* layout = tightColumn(this);
    auto* label = new QLabel(caption, this);
    label->setObjectName(QStringLiteral("lblCaption"));
    grdTable = new QTableWidget(node.rows, node.cols, this);
    grdTable->setObjectName(QStringLiteral("grdTable"));
    grdTable->setAccessibleName(caption);
    QStringList headers;
    for (int c = 0; c < node.cols; ++c)
        headers << (c < node.colCaps.size() ? node.colCaps.at(c) : QString::number(c + 1));
    grdTable->setHorizontalHeaderLabels(headers);
    if (node.rows > 1) {
        QStringList rowNumbers;
        for (int r = 0; r < node.rows; ++r)
            rowNumbers << QString::number(r + 1);
        grdTable->setVerticalHeaderLabels(rowNumbers);
        grdTable->verticalHeader()->setFixedWidth(kRowHeaderWidthPx);
    } else {
        grdTable->verticalHeader()->hide();
    }
    for (int c = 0; c < node.cols; ++c) {
        for (int r = 0; r < node.rows; ++r)
            grdTable->setItem(r, c, new QTableWidgetItem(node.GetStr(c, r)));
    }
    grdTable->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int height = grdTable->horizontalHeader()->sizeHint().height()
                       + node.rows * grdTable->verticalHeader()->defaultSectionSize() + 2 * grdTable->frameWidth()
                       + grdTable->horizontalScrollBar()->sizeHint().height();
    grdTable->setFixedHeight(height);
    connect(grdTable, &QTableWidget::cellChanged, this, [this] { Validate(); });
    label->setBuddy(grdTable);
    layout->addWidget(label);
    layout->addWidget(grdTable);
    FError = new TfrErrorLine(this);
    layout->addWidget(FError);
}

TTableCheck TfrTable::check()
{
    auto& node = static_cast<TFloatTableNode&>(Node());
    return CheckTableCells(node, [this](int col, int row) {
        const QTableWidgetItem* item = grdTable->item(row, col);
        return item ? item->text() : QString();
    });
}

void TfrTable::markCell(int col, int row, bool bad)
{
    QTableWidgetItem* item = grdTable->item(row, col);
    if (!item)
        return;
    const QSignalBlocker block(grdTable);
    item->setBackground(bad ? QBrush(BadCellColour()) : QBrush());
}

bool TfrTable::Validate()
{
    Node().error = true;
    const TTableCheck result = check();
    for (int c = 0; c < grdTable->columnCount(); ++c) {
        for (int r = 0; r < grdTable->rowCount(); ++r)
            markCell(c, r, c == result.badCol && r == result.badRow);
    }
    SetError(result.message);
    return result.ok();
}

void TfrTable::Save()
{
    Validate();
    const TTableCheck result = check();
    for (const TTableCell& cell : result.valid) {
        QString errMsg;
        if (!Node().SetFloat(cell.value, errMsg, cell.col, cell.row))
            SetError(errMsg);
    }
}

// --- TfrComPort ---

TfrComPort::TfrComPort(TComPortNode& node, const QString& caption, TFrameContext& context)
    : TfrSetting(node, caption, context)
{
    const int lang = node.FLanguage;
    auto* layout = tightColumn(this);
    auto* box = new QGroupBox(caption, this);
    box->setObjectName(QStringLiteral("gbComPort"));
    auto* grid = new QGridLayout(box);

    spnPort = new TTextSpinner(box);
    spnPort->setObjectName(QStringLiteral("spnPort"));
    spnPort->setAccessibleName(caption);
    btnPorts = new QPushButton(QStringLiteral("..."), box);
    btnPorts->setObjectName(QStringLiteral("btnPorts"));
    btnPorts->setAutoDefault(false);
    connect(btnPorts, &QPushButton::clicked, this, &TfrComPort::btnPortsClick);
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(spnPort);
    portRow->addWidget(btnPorts);
    portRow->addStretch();
    grid->addLayout(portRow, 0, 0, 1, 2);

    const QString baudCaption = SettingsText(TSettingsText::BaudRate, lang) + QLatin1Char(':');
    lblBaud = new QLabel(baudCaption, box);
    lblBaud->setObjectName(QStringLiteral("lblBaud"));
    spnBaud = new TTextSpinner(box);
    spnBaud->setObjectName(QStringLiteral("spnBaud"));
    spnBaud->setAccessibleName(baudCaption);
    const QStringList bauds = BaudChoices(node.values.BaudRate);
    spnBaud->SetTexts(bauds);
    spnBaud->SetPosition(std::max(0, int(bauds.indexOf(node.values.BaudRate))));
    grid->addWidget(lblBaud, 1, 0);
    grid->addWidget(spnBaud, 1, 1, Qt::AlignLeft);
    lblBaud->setVisible(node.withBaud);
    spnBaud->setVisible(node.withBaud);

    cbLog = new QCheckBox(SettingsText(TSettingsText::LogCommunication, lang), box);
    cbLog->setObjectName(QStringLiteral("cbLog"));
    cbLog->setChecked(node.values.Log);
    grid->addWidget(cbLog, 2, 0, 1, 2);

    const QString timeOutCaption = SettingsText(TSettingsText::Timeout, lang) + QLatin1Char(':');
    edtTimeOut = new QLineEdit(QString::number(node.values.TimeOut), box);
    edtTimeOut->setObjectName(QStringLiteral("edtTimeOut"));
    edtTimeOut->setAccessibleName(timeOutCaption);
    grid->addWidget(new QLabel(timeOutCaption, box), 3, 0);
    grid->addWidget(edtTimeOut, 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("ms"), box), 3, 2);

    const QString intervalCaption = SettingsText(TSettingsText::ReadInterval, lang) + QLatin1Char(':');
    edtInterval = new QLineEdit(QString::number(node.values.Interval), box);
    edtInterval->setObjectName(QStringLiteral("edtInterval"));
    edtInterval->setAccessibleName(intervalCaption);
    grid->addWidget(new QLabel(intervalCaption, box), 4, 0);
    grid->addWidget(edtInterval, 4, 1);
    grid->addWidget(new QLabel(QStringLiteral("ms"), box), 4, 2);

    FError = new TfrErrorLine(box);
    grid->addWidget(FError, 5, 0, 1, 3);
    layout->addWidget(box);

    showPorts(context.enumPorts ? context.enumPorts() : QList<TPortEntry>(), node.values.ComPort);
}

void TfrComPort::showPorts(const QList<TPortEntry>& found, const QString& current)
{
    const QStringList ports = PortChoices(found, current);
    spnPort->SetTexts(ports);
    spnPort->SetPosition(std::max(0, int(ports.indexOf(current))));
}

void TfrComPort::btnPortsClick()
{
    const QList<TPortEntry> found = FContext.enumPorts ? FContext.enumPorts() : QList<TPortEntry>();
    if (found.isEmpty()) {
        if (FContext.dialogs.warn)
            FContext.dialogs.warn(this, Tr("Keine ComPorts verfügbar"));
        return;
    }
    QStringList lines;
    int current = -1;
    for (int i = 0; i < found.size(); ++i) {
        lines << PortListLine(found.at(i));
        if (found.at(i).Port == spnPort->Text())
            current = i;
    }
    const int chosen = FContext.dialogs.choosePort ? FContext.dialogs.choosePort(this, lines, current) : -1;
    if (chosen >= 0 && chosen < found.size())
        showPorts(found, found.at(chosen).Port);
}

bool TfrComPort::Validate()
{
    Node().error = true;
    const QString message =
        CheckComPortNumbers(static_cast<TComPortNode&>(Node()), edtTimeOut->text(), edtInterval->text());
    SetError(message);
    return message.isEmpty();
}

void TfrComPort::Save()
{
    if (!Validate())
        return;
    auto& node = static_cast<TComPortNode&>(Node());
    qint32 timeOut = 0;
    qint32 interval = 0;
    ParseFrameInteger(edtTimeOut->text(), timeOut);
    ParseFrameInteger(edtInterval->text(), interval);
    QString errMsg;
    node.SetStr(spnPort->Text(), errMsg, 0, -1);
    if (node.withBaud)
        node.SetStr(spnBaud->Text(), errMsg, 1, -1);
    node.SetBool(cbLog->isChecked(), errMsg, 2, -1);
    node.SetInt(timeOut, errMsg, 3, -1);
    node.SetInt(interval, errMsg, 4, -1);
}

// --- node operations ---

TfrSetting* FrameOf(const TValueNode& node)
{
    return dynamic_cast<TfrSetting*>(node.frame.get());
}

TfrSetting* GetFrame(TValueNode& node, const QString& caption, TFrameContext& context)
{
    if (TfrSetting* existing = FrameOf(node))
        return existing;
    TfrSetting* frame = nullptr;
    if (auto* n = dynamic_cast<TComPortNode*>(&node))
        frame = new TfrComPort(*n, caption, context);
    else if (auto* n = dynamic_cast<TFloatTableNode*>(&node))
        frame = new TfrTable(*n, caption, context);
    else if (auto* n = dynamic_cast<TInfoNode*>(&node))
        frame = new TfrInfo(*n, caption, context);
    else if (auto* n = dynamic_cast<TBooleanNode*>(&node))
        frame = new TfrBoolean(*n, caption, context);
    else if (auto* n = dynamic_cast<TRadioNode*>(&node))
        frame = new TfrRadio(*n, caption, context);
    else if (auto* n = dynamic_cast<TSelectNode*>(&node))
        frame = new TfrSpin(*n, caption, context);
    else
        frame = new TfrText(node, caption, context);
    node.frame.reset(frame);
    return frame;
}

void ResetFrame(TValueNode& node)
{
    node.ResetFrame();
}

void SaveValue(TValueNode& node)
{
    if (TfrSetting* frame = FrameOf(node))
        frame->Save();
}

void OnFrameExit(TValueNode& node)
{
    if (TfrSetting* frame = FrameOf(node))
        frame->Exit();
}

bool ReadFrameValue(TValueNode& node, QString& val)
{
    auto* frame = dynamic_cast<TfrText*>(FrameOf(node));
    return frame && frame->ReadFrameValue(val);
}

void ResetAllFrames(TSettingsNode& node)
{
    if (auto* value = dynamic_cast<TValueNode*>(&node))
        ResetFrame(*value);
    if (auto* group = dynamic_cast<TGroupNode*>(&node)) {
        for (const auto& child : group->children)
            ResetAllFrames(*child);
    }
}

namespace {

void saveWalk(TSettingsNode& node, QList<TValueNode*>& languages)
{
    if (auto* value = dynamic_cast<TValueNode*>(&node)) {
        if (!value->frame)
            return;
        if (dynamic_cast<TLanguageNode*>(value))
            languages << value;
        else
            SaveValue(*value);
        return;
    }
    if (auto* group = dynamic_cast<TGroupNode*>(&node)) {
        for (const auto& child : group->children)
            saveWalk(*child, languages);
    }
}

}  // namespace

void SaveAllValues(TGroupNode& root)
{
    QList<TValueNode*> languages;
    saveWalk(root, languages);
    // Saving a language node may rebuild the editor and destroy frames; only nodes still
    // holding a frame are saved.
    for (TValueNode* node : languages) {
        if (node->frame)
            SaveValue(*node);
    }
}
