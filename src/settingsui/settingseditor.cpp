#include "settingseditor.h"

#include "i18n.h"
#include "settingsform.h"

#include <QApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedLayout>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

namespace {

constexpr int kSavedShownMs = 2000;
constexpr int kGroupRole = Qt::UserRole;
constexpr int kErrorRole = Qt::UserRole + 1;

QLabel* markLabel(const QString& text, const QColor& colour, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour);
    label->setPalette(p);
    label->hide();
    return label;
}

QPushButton* button(const QString& name, QWidget* parent)
{
    auto* b = new QPushButton(parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

TfSettingsEditor::TfSettingsEditor(TFSettingsForm& settings, QWidget* parent)
    : QDialog(parent)
    , FSettings(settings)
{
    setObjectName(QStringLiteral("FSettingsForm"));
    FContext.dialogs = DefaultSettingsDialogs();
    FContext.updateErrorStates = [this] { UpdateErrorStates(); };

    FEditorPage = new QWidget(this);
    TreeView = new QTreeWidget(FEditorPage);
    TreeView->setObjectName(QStringLiteral("TreeView"));
    TreeView->setHeaderHidden(true);
    TreeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView->setMinimumWidth(200);
    connect(TreeView, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { TreeViewChange(current); });

    FrameContainer = new QScrollArea(FEditorPage);
    FrameContainer->setObjectName(QStringLiteral("FrameContainer"));
    FrameContainer->setWidgetResizable(true);
    FrameContainer->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* frameArea = new QWidget(FrameContainer);
    FFrameLayout = new QVBoxLayout(frameArea);
    FFrameLayout->setContentsMargins(2, 2, 2, 2);
    FFrameLayout->addStretch(1);
    FrameContainer->setWidget(frameArea);

    btnSave = button(QStringLiteral("btnSave"), FEditorPage);
    btnCancel = button(QStringLiteral("btnCancel"), FEditorPage);
    btnDump = button(QStringLiteral("btnDump"), FEditorPage);
    btnDump->setText(QStringLiteral("Dump Tree"));
    btnDump->hide();
    lblDebug = markLabel(QStringLiteral("DebugMode"), Qt::red, FEditorPage);
    lblDebug->setObjectName(QStringLiteral("lblDebug"));
    lblSaved = markLabel(Tr("Gespeichert"), QColor(0, 128, 0), FEditorPage);
    lblSaved->setObjectName(QStringLiteral("lblSaved"));
    connect(btnSave, &QPushButton::clicked, this, &TfSettingsEditor::btnSaveClick);
    connect(btnCancel, &QPushButton::clicked, this, &QWidget::close);
    connect(btnDump, &QPushButton::clicked, this, &TfSettingsEditor::btnDumpClick);

    SavedTimer = new QTimer(this);
    SavedTimer->setObjectName(QStringLiteral("SavedTimer"));
    SavedTimer->setInterval(kSavedShownMs);
    connect(SavedTimer, &QTimer::timeout, this, &TfSettingsEditor::SavedTimerTimer);

    auto* panes = new QHBoxLayout;
    panes->addWidget(TreeView, 1);
    panes->addWidget(FrameContainer, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lblDebug);
    buttons->addWidget(lblSaved);
    buttons->addStretch();
    buttons->addWidget(btnDump);
    buttons->addWidget(btnSave);
    buttons->addWidget(btnCancel);
    auto* editorLayout = new QVBoxLayout(FEditorPage);
    editorLayout->addLayout(panes, 1);
    editorLayout->addLayout(buttons);

    panDump = new QWidget(this);
    panDump->setObjectName(QStringLiteral("panDump"));
    memDump = new QPlainTextEdit(panDump);
    memDump->setObjectName(QStringLiteral("memDump"));
    memDump->setReadOnly(true);
    memDump->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    memDump->setLineWrapMode(QPlainTextEdit::NoWrap);
    btnDumpClose = button(QStringLiteral("btnDumpClose"), panDump);
    connect(btnDumpClose, &QPushButton::clicked, this, &TfSettingsEditor::btnDumpCloseClick);
    auto* dumpLayout = new QVBoxLayout(panDump);
    dumpLayout->addWidget(memDump, 1);
    dumpLayout->addWidget(btnDumpClose, 0, Qt::AlignRight);

    FPages = new QStackedLayout(this);
    FPages->addWidget(FEditorPage);
    FPages->addWidget(panDump);

    setWindowTitle(Tr("Programmeinstellungen"));
    btnSave->setText(SettingsText(TSettingsText::Save, FLanguage));
    btnCancel->setText(SettingsText(TSettingsText::Close, FLanguage));
    btnDumpClose->setText(SettingsText(TSettingsText::Close, FLanguage));
    resize(720, 480);

    connect(qApp, &QApplication::focusChanged, this, &TfSettingsEditor::FocusChanged);
    FOuterLanguageHook = FSettings.OnLanguageChanged;
    FSettings.OnLanguageChanged = [this](int lang) {
        if (FOuterLanguageHook)
            FOuterLanguageHook(lang);
        SetLanguage(lang);
    };
    // The settings file may have switched the tree before this window existed.
    SetLanguage(FSettings.language());
}

TfSettingsEditor::~TfSettingsEditor()
{
    // Deleting the child widgets moves the focus, and the application would report that to a
    // window that is already half gone.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
    FSettings.OnLanguageChanged = FOuterLanguageHook;
    qApp->removeEventFilter(this);
    // The frames belong to the nodes, which outlive this window: take them out before the
    // frame area goes.
    FQuietFrames = true;
    DetachFrames(false);
    ResetAllFrames(*FSettings.root());
}

void TfSettingsEditor::SetPortSource(std::function<QList<TPortEntry>()> source)
{
    FContext.enumPorts = std::move(source);
}

void TfSettingsEditor::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    qApp->installEventFilter(this);
    FormShow();
}

void TfSettingsEditor::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    if (!event->spontaneous())
        qApp->removeEventFilter(this);
}

void TfSettingsEditor::FormShow()
{
    debugMode = false;
    FSaved = false;
    SavedTimer->stop();
    lblSaved->hide();
    if (FSettings.language() != FLanguage)
        SetLanguage(FSettings.language());
    RebuildTree();
}

bool TfSettingsEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* widget = qobject_cast<QWidget*>(watched);
        const auto* key = static_cast<QKeyEvent*>(event);
        if (widget && widget->window() == this && key->key() == Qt::Key_D
            && key->modifiers() == Qt::ControlModifier) {
            FormKeyDown();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfSettingsEditor::FormKeyDown()
{
    debugMode = !debugMode;
    RebuildTree();
    TreeView->clearSelection();
}

void TfSettingsEditor::reject()
{
    if (!FormCloseQuery())
        return;
    QDialog::reject();
}

bool TfSettingsEditor::FormCloseQuery()
{
    if (!FSettings.root()->HasError(true))
        return true;
    return !FContext.dialogs.askYesNo
           || FContext.dialogs.askYesNo(this, SettingsText(TSettingsText::ReallyClose, FLanguage));
}

void TfSettingsEditor::RebuildTree()
{
    lblDebug->setVisible(debugMode);
    btnDump->setVisible(debugMode);
    FPages->setCurrentWidget(FEditorPage);
    FQuietFrames = true;
    DetachFrames(false);
    ResetAllFrames(*FSettings.root());
    {
        const QSignalBlocker block(TreeView);
        TreeView->clear();
        FillTreeView();
        TreeView->setCurrentItem(nullptr);
    }
    if (QTreeWidgetItem* first = TreeView->topLevelItem(0))
        TreeView->expandRecursively(TreeView->indexFromItem(first));
    FQuietFrames = false;
    UpdateErrorStates();
}

void TfSettingsEditor::FillTreeView()
{
    QList<QTreeWidgetItem*> parents;
    for (const TTreeEntry& entry : TreeEntries(*FSettings.root(), debugMode)) {
        while (parents.size() > entry.depth)
            parents.removeLast();
        QTreeWidgetItem* item = parents.isEmpty() ? new QTreeWidgetItem(TreeView)
                                                  : new QTreeWidgetItem(parents.last());
        item->setText(0, entry.text);
        item->setData(0, kGroupRole, QVariant::fromValue(static_cast<void*>(entry.group)));
        parents.append(item);
    }
}

TGroupNode* TfSettingsEditor::GroupOf(const QTreeWidgetItem* item) const
{
    return item ? static_cast<TGroupNode*>(item->data(0, kGroupRole).value<void*>()) : nullptr;
}

QTreeWidgetItem* TfSettingsEditor::ItemOf(const TGroupNode* group) const
{
    for (QTreeWidgetItemIterator it(TreeView); *it; ++it) {
        if (GroupOf(*it) == group)
            return *it;
    }
    return nullptr;
}

bool TfSettingsEditor::SelectGroup(const TGroupNode* group)
{
    QTreeWidgetItem* item = ItemOf(group);
    if (item)
        TreeView->setCurrentItem(item);
    return item != nullptr;
}

bool TfSettingsEditor::ItemHasError(const QTreeWidgetItem* item)
{
    return item && item->data(0, kErrorRole).toBool();
}

void TfSettingsEditor::TreeViewChange(QTreeWidgetItem* current)
{
    TGroupNode* group = GroupOf(current);
    if (!group || group->children.empty())
        return;
    DetachFrames(true);
    for (TValueNode* node : FrameNodes(*group, debugMode)) {
        TfrSetting* frame = GetFrame(*node, DisplayText(*node, debugMode), FContext);
        FFrameLayout->insertWidget(FFrameLayout->count() - 1, frame);
        frame->show();
        FShown << frame;
    }
}

void TfSettingsEditor::DetachFrames(bool exit)
{
    const bool quiet = FQuietFrames;
    FQuietFrames = true;
    const QList<QPointer<TfrSetting>> shown = FShown;
    FShown.clear();
    for (const QPointer<TfrSetting>& frame : shown) {
        if (!frame)
            continue;
        if (exit)
            frame->Exit();
        FFrameLayout->removeWidget(frame);
        frame->hide();
        frame->setParent(nullptr);
    }
    FQuietFrames = quiet;
}

QList<TfrSetting*> TfSettingsEditor::ShownFrames() const
{
    QList<TfrSetting*> out;
    for (const QPointer<TfrSetting>& frame : FShown) {
        if (frame)
            out << frame.data();
    }
    return out;
}

void TfSettingsEditor::FocusChanged(QWidget* old, QWidget* now)
{
    if (FQuietFrames || !old)
        return;
    for (const QPointer<TfrSetting>& frame : FShown) {
        if (!frame || (frame != old && !frame->isAncestorOf(old)))
            continue;
        if (!now || (frame != now && !frame->isAncestorOf(now)))
            frame->Exit();
        return;
    }
}

void TfSettingsEditor::UpdateErrorStates()
{
    const QIcon normal = style()->standardIcon(QStyle::SP_DirIcon);
    const QIcon error = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    for (QTreeWidgetItemIterator it(TreeView); *it; ++it) {
        const TGroupNode* group = GroupOf(*it);
        const bool bad = group && group->HasError(false);
        (*it)->setData(0, kErrorRole, bad);
        (*it)->setIcon(0, bad ? error : normal);
    }
}

void TfSettingsEditor::btnSaveClick()
{
    FSaving = true;
    try {
        SaveAllValues(*FSettings.root());
    } catch (...) {
        FSaving = false;
        throw;
    }
    FSaving = false;
    if (FLanguagePending) {
        FLanguagePending = false;
        SwitchEditorLanguage();
    }
    UpdateErrorStates();
    FSaved = true;
    lblSaved->setText(SettingsText(TSettingsText::SettingsSaved, FLanguage));
    lblSaved->show();
    SavedTimer->start();
}

void TfSettingsEditor::SavedTimerTimer()
{
    lblSaved->hide();
    SavedTimer->stop();
}

void TfSettingsEditor::btnDumpClick()
{
    memDump->setPlainText(FSettings.DumpTree().join(QLatin1Char('\n')));
    FPages->setCurrentWidget(panDump);
}

void TfSettingsEditor::btnDumpCloseClick()
{
    FPages->setCurrentWidget(FEditorPage);
}

void TfSettingsEditor::SetLanguage(int lang)
{
    if (lang == FLanguage)
        return;
    FLanguage = lang;
    FSettings.SetLanguage(lang);
    // Inside "Speichern" the frames are still being taken; the rebuild waits for the walk.
    if (FSaving) {
        FLanguagePending = true;
        return;
    }
    SwitchEditorLanguage();
}

void TfSettingsEditor::SwitchEditorLanguage()
{
    const QList<int> position = ItemPosition(TreeView->currentItem());
    ApplyLanguageTexts();
    RebuildTree();
    if (QTreeWidgetItem* again = ItemAt(position))
        TreeView->setCurrentItem(again);
}

void TfSettingsEditor::ApplyLanguageTexts()
{
    setWindowTitle(SettingsText(TSettingsText::Settings, FLanguage));
    btnSave->setText(SettingsText(TSettingsText::Save, FLanguage));
    btnCancel->setText(SettingsText(TSettingsText::Close, FLanguage));
    btnDumpClose->setText(SettingsText(TSettingsText::Close, FLanguage));
}

QList<int> TfSettingsEditor::ItemPosition(QTreeWidgetItem* item) const
{
    QList<int> position;
    while (item) {
        QTreeWidgetItem* parent = item->parent();
        position.prepend(parent ? parent->indexOfChild(item) : TreeView->indexOfTopLevelItem(item));
        item = parent;
    }
    return position;
}

QTreeWidgetItem* TfSettingsEditor::ItemAt(const QList<int>& position) const
{
    QTreeWidgetItem* item = nullptr;
    for (int i = 0; i < position.size(); ++i) {
        item = i == 0 ? TreeView->topLevelItem(position.at(i)) : item->child(position.at(i));
        if (!item)
            return nullptr;
    }
    return item;
}
