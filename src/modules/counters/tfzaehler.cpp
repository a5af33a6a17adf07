#include "tfzaehler.h"

#include "i18n.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

std::optional<QString> defaultCountDialog(QWidget* parent, const QString& caption, const QString& prompt,
                                          const QString& text)
{
    bool ok = false;
    const QString value = QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, text, &ok);
    if (!ok)
        return std::nullopt;
    return value;
}

void defaultMessageBox(QWidget* parent, const QString& text)
{
    QMessageBox::information(parent, Tr("Zählerstände"), text);
}

const char* const kFlagTexts[TZaehlerLogic::kFlagCount] = {
    TrNoop("Bit 0: Keine Akkuprüfung"),      TrNoop("Bit 1: Keine Sensorspannungsprüfung"),
    TrNoop("Bit 2: Kein Fertig-Dialog"),     TrNoop("Bit 3: Keine Historieneinträge"),
    TrNoop("Bit 4: [Nicht verwendet]"),      TrNoop("Bit 5: [Nicht verwendet]"),
    TrNoop("Bit 6: [Nicht verwendet]"),      TrNoop("Bit 7: [Nicht verwendet]"),
};

const char* const kVariTexts[6] = {TrNoop("Vari1 (Baro 600 ... 1100)"), TrNoop("Vari2 (2 l/min)"), TrNoop("Vari3"),
                                   TrNoop("Vari4"), TrNoop("Vari5"), TrNoop("Vari6 (Amphenol Diff.drucksensor)")};

QColor rowColour(TCounterColour c)
{
    switch (c) {
    case TCounterColour::Red: return QColor(255, 0, 0);
    case TCounterColour::Purple: return QColor(128, 0, 128);
    case TCounterColour::Black: break;
    }
    return QColor(0, 0, 0);
}

}  // namespace

TfZaehler::TfZaehler(TAppContext& context, QWidget* parent)
    : TPLXForm(context, parent)
    , FLogic(context)
    , FBinder(FLogic.Fields(), this)
    , FCountDialog(defaultCountDialog)
    , FMessageBox(defaultMessageBox)
{
    setObjectName(QStringLiteral("fZaehler"));
    FClientID = ciZaehler;
    BuildWidgets();
    AttachStatusBar(StatusBar);
    FLogic.SetCountDialog([this](const QString& caption, const QString& prompt, const QString& text) {
        return FCountDialog ? FCountDialog(this, caption, prompt, text) : std::nullopt;
    });
    connect(&FLogic, &TZaehlerLogic::Status, this, [this](const QString& text, bool alarm) { ShowStatus(text, alarm); });
    connect(&FLogic, &TZaehlerLogic::Message, this, [this](const QString& text) {
        if (FMessageBox)
            FMessageBox(this, text);
    });
    connect(&FLogic, &TZaehlerLogic::FocusField, this, [this](const QString& name) {
        if (QLineEdit* e = Field(name)) {
            e->setFocus();
            e->selectAll();
        }
    });
    connect(&FLogic, &TZaehlerLogic::ViewChanged, this, &TfZaehler::ShowView);
    Retranslate();
}

TfZaehler::~TfZaehler() = default;

QPushButton* TfZaehler::Button(const QString& name) const
{
    return findChild<QPushButton*>(name);
}

QLabel* TfZaehler::MakeLabel(QWidget* parent, const char* text)
{
    auto* l = new QLabel(parent);
    FTexts.push_back([l, text] { l->setText(Tr(text)); });
    return l;
}

QPushButton* TfZaehler::MakeButton(QWidget* parent, const QString& name, const char* text, std::function<void()> onClick,
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

QLineEdit* TfZaehler::AddField(QGridLayout* grid, int row, const char* caption, const QString& name, bool readOnly,
                               int maxLength)
{
    QWidget* parent = grid->parentWidget();
    QLabel* label = MakeLabel(parent, caption);
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setReadOnly(readOnly);
    label->setBuddy(e);
    FTexts.push_back([e, caption] { e->setAccessibleName(Tr(caption)); });
    FFields.insert(name, e);
    FBinder.Bind(e);
    if (maxLength > 0) {
        // Limits typing only: a longer value from the device is shown and written back whole.
        FMaxLength.insert(e, maxLength);
        e->installEventFilter(this);
    }
    grid->addWidget(label, row, 0);
    grid->addWidget(e, row, 1);
    return e;
}

QTreeWidget* TfZaehler::MakeList(const QString& name)
{
    auto* list = new QTreeWidget(this);
    list->setObjectName(name);
    list->setRootIsDecorated(false);
    list->setColumnCount(3);
    list->setColumnWidth(0, 130);
    list->setColumnWidth(1, 60);
    list->setColumnWidth(2, 80);
    list->setMinimumHeight(160);
    const TZaehlerLogic::TList which = name == QLatin1String("lvJC") ? TZaehlerLogic::lJC : TZaehlerLogic::lEC;
    // Only the user's click opens the count dialog; rebuilding the list never does.
    connect(list, &QTreeWidget::itemClicked, this, [this, list, which](QTreeWidgetItem* item) {
        FLogic.EditCounter(which, list->indexOfTopLevelItem(item));
    });
    return list;
}

void TfZaehler::BuildWidgets()
{
    auto* top = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    top->addLayout(left);
    top->addLayout(right);

    auto* ident = new QGroupBox(this);
    FTexts.push_back([ident] { ident->setTitle(Tr("Gerät")); });
    auto* ig = new QGridLayout(ident);
    AddField(ig, 0, TrNoop("Serien-Nr."), QStringLiteral("eSerNr"), false, TZaehlerLogic::kSerialMaxLength);
    ig->addWidget(MakeButton(ident, QStringLiteral("btnSetSerNr"), TrNoop("Speichern"), [this] { FLogic.btnSetSerNrClick(); }), 0, 2);
    left->addWidget(ident);

    auto* hours = new QGroupBox(this);
    FTexts.push_back([hours] { hours->setTitle(Tr("Betriebsstunden")); });
    auto* hg = new QGridLayout(hours);
    const std::array<std::pair<int, const char*>, 4> classes{
        {{1, TrNoop("0 ... 29 %")}, {2, TrNoop("30 ... 69 %")}, {4, TrNoop("70 ... 100 %")}, {7, TrNoop("Summe")}}};
    int row = 0;
    for (const auto& [c, caption] : classes) {
        AddField(hg, row, caption, TZaehlerLogic::HoursName(c), c == 7);
        if (c != 7) {
            const int loadClass = c;
            hg->addWidget(MakeButton(hours, QStringLiteral("btnSetBSZ%1").arg(c), TrNoop("Speichern"),
                                     [this, loadClass] { FLogic.btnSetBSZClick(loadClass); }),
                          row, 2);
        }
        ++row;
    }
    hg->addWidget(MakeLabel(hours, TrNoop("Eingabeformat: hh:mm:ss")), row, 0, 1, 3);
    left->addWidget(hours);

    auto* perso = new QGroupBox(this);
    FTexts.push_back([perso] { perso->setTitle(Tr("Personalisierung")); });
    auto* pg = new QGridLayout(perso);
    const std::array<const char*, 4> lines{TrNoop("Zeile 1"), TrNoop("Zeile 2"), TrNoop("Zeile 3"), TrNoop("Zeile 4")};
    for (int n = 0; n < 4; ++n)
        AddField(pg, n, lines[static_cast<size_t>(n)], TZaehlerLogic::PersoName(n + 1), false, TZaehlerLogic::kPersoMaxLength);
    pg->addWidget(MakeButton(perso, QStringLiteral("btnSetPerso"), TrNoop("Speichern"), [this] { FLogic.btnSetPersoClick(); }), 4, 1);
    left->addWidget(perso);

    auto* vol = new QGroupBox(this);
    FTexts.push_back([vol] { vol->setTitle(Tr("Volumen")); });
    auto* vg = new QGridLayout(vol);
    AddField(vg, 0, TrNoop("Kanal 1"), QStringLiteral("eVol1"));
    AddField(vg, 1, TrNoop("Kanal 2"), QStringLiteral("eVol2"));
    AddField(vg, 2, TrNoop("Summe"), QStringLiteral("eVolSumme"), true);
    vg->addWidget(MakeButton(vol, QStringLiteral("btnVol1Speichern"), TrNoop("Speichern"), [this] { FLogic.btnVolSpeichernClick(0); }), 0, 2);
    vg->addWidget(MakeButton(vol, QStringLiteral("btnVol2Speichern"), TrNoop("Speichern"), [this] { FLogic.btnVolSpeichernClick(1); }), 1, 2);
    left->addWidget(vol);

    auto* servo = new QGroupBox(this);
    FTexts.push_back([servo] { servo->setTitle(Tr("Servofahrwege (Inkremente)")); });
    auto* sg = new QGridLayout(servo);
    AddField(sg, 0, TrNoop("Kanal 1"), QStringLiteral("eServoInkr1"));
    AddField(sg, 1, TrNoop("Kanal 2"), QStringLiteral("eServoInkr2"));
    sg->addWidget(MakeButton(servo, QStringLiteral("btnServoInkr1Speichern"), TrNoop("Speichern"),
                             [this] { FLogic.btnServoInkrSpeichernClick(0); }), 0, 2);
    sg->addWidget(MakeButton(servo, QStringLiteral("btnServoInkr2Speichern"), TrNoop("Speichern"),
                             [this] { FLogic.btnServoInkrSpeichernClick(1); }), 1, 2);
    left->addWidget(servo);

    auto* hw = new QGroupBox(this);
    FTexts.push_back([hw] { hw->setTitle(Tr("Hardwarekonfiguration")); });
    auto* hwg = new QGridLayout(hw);
    AddField(hwg, 0, TrNoop("Version"), QStringLiteral("eHWVers"), true);
    for (int j = 0; j < 2; ++j) {
        cbJumper[static_cast<size_t>(j)] = new QCheckBox(QStringLiteral("Jumper%1").arg(j + 1), hw);
        cbJumper[static_cast<size_t>(j)]->setObjectName(QStringLiteral("cbJumper%1").arg(j + 1));
        hwg->addWidget(cbJumper[static_cast<size_t>(j)], 1, j);
    }
    for (int v = 0; v < 6; ++v) {
        QCheckBox* cb = new QCheckBox(hw);
        cb->setObjectName(QStringLiteral("cbVari%1").arg(v + 1));
        const char* text = kVariTexts[v];
        FTexts.push_back([cb, text] { cb->setText(Tr(text)); });
        cbVari[static_cast<size_t>(v)] = cb;
        hwg->addWidget(cb, 2 + v / 2, v % 2);
    }
    for (QCheckBox* cb : cbJumper)
        cb->setAttribute(Qt::WA_TransparentForMouseEvents);
    for (QCheckBox* cb : cbVari)
        cb->setAttribute(Qt::WA_TransparentForMouseEvents);
    left->addWidget(hw);
    left->addStretch();

    right->addWidget(MakeButton(this, QStringLiteral("btnReadCounter"), TrNoop("Zähler lesen"), [this] { FLogic.btnReadCounterClick(); }));
    right->addWidget(MakeLabel(this, TrNoop("Justagezähler")));
    lvJC = MakeList(QStringLiteral("lvJC"));
    right->addWidget(lvJC);
    auto* jcButtons = new QHBoxLayout;
    jcButtons->addWidget(MakeButton(this, QStringLiteral("btnJustageNullen"), TrNoop("Nullen"), [this] { FLogic.btnJustageNullenClick(); }));
    jcButtons->addWidget(MakeButton(this, QStringLiteral("btnJustageSpeichern"), TrNoop("Speichern"),
                                    [this] { FLogic.btnJustageSpeichernClick(); }));
    right->addLayout(jcButtons);
    right->addWidget(MakeLabel(this, TrNoop("Ereigniszähler")));
    lvEC = MakeList(QStringLiteral("lvEC"));
    right->addWidget(lvEC);
    auto* ecButtons = new QHBoxLayout;
    ecButtons->addWidget(MakeButton(this, QStringLiteral("btnEventZaehlerNullen"), TrNoop("Nullen"),
                                    [this] { FLogic.btnEventZaehlerNullenClick(); }, false));
    ecButtons->addWidget(MakeButton(this, QStringLiteral("btnEventzaehlerSpeichern"), TrNoop("Speichern"),
                                    [this] { FLogic.btnEventzaehlerSpeichernClick(); }));
    right->addLayout(ecButtons);
    right->addWidget(MakeLabel(this, TrNoop("Monitorflags")));
    clbMonitorFlags = new QListWidget(this);
    clbMonitorFlags->setObjectName(QStringLiteral("clbMonitorFlags"));
    for (int n = 0; n < TZaehlerLogic::kFlagCount; ++n) {
        auto* item = new QListWidgetItem(clbMonitorFlags);
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
        item->setCheckState(Qt::Unchecked);
    }
    // Applying the device's flags blocks the signals, so only the user's check sends.
    connect(clbMonitorFlags, &QListWidget::itemChanged, this, [this] {
        int flags = 0;
        for (int n = 0; n < clbMonitorFlags->count(); ++n) {
            if (clbMonitorFlags->item(n)->checkState() == Qt::Checked)
                flags |= 1 << n;
        }
        FLogic.clbMonitorFlagsClickCheck(flags);
    });
    right->addWidget(clbMonitorFlags);
    StatusBar = new QStatusBar(this);
    StatusBar->setSizeGripEnabled(false);
    right->addWidget(StatusBar);
}

void TfZaehler::Retranslate()
{
    setWindowTitle(Tr("Zählerstände"));
    for (const auto& apply : FTexts)
        apply();
    const QStringList columns{Tr("Parameter"), Tr("Anzahl"), Tr("Datum")};
    lvJC->setHeaderLabels(columns);
    lvEC->setHeaderLabels(columns);
    {
        const QSignalBlocker block(clbMonitorFlags);
        for (int n = 0; n < clbMonitorFlags->count(); ++n)
            clbMonitorFlags->item(n)->setText(Tr(kFlagTexts[n]));
    }
    ShowView();
}

void TfZaehler::ShowList(QTreeWidget* list, TZaehlerLogic::TList which)
{
    const QSignalBlocker block(list);
    const std::vector<TCounterRow>& rows = FLogic.Rows(which);
    while (list->topLevelItemCount() > int(rows.size()))
        delete list->takeTopLevelItem(list->topLevelItemCount() - 1);
    while (list->topLevelItemCount() < int(rows.size()))
        list->addTopLevelItem(new QTreeWidgetItem(list));
    for (int i = 0; i < int(rows.size()); ++i) {
        const TCounterRow& r = rows[static_cast<size_t>(i)];
        QTreeWidgetItem* item = list->topLevelItem(i);
        item->setText(0, Tr(r.Parameter));
        item->setText(1, r.Count);
        item->setText(2, r.Date);
        item->setData(0, Qt::UserRole, r.Wire);
        const QColor colour = rowColour(CounterColour(r.Count));
        for (int c = 0; c < 3; ++c)
            item->setForeground(c, colour);
    }
}

void TfZaehler::ShowView()
{
    const bool online = FLogic.ControlsOnline();
    for (QPushButton* b : FOnlineButtons)
        b->setEnabled(online);
    clbMonitorFlags->setEnabled(online);
    for (QCheckBox* cb : cbJumper)
        cb->setEnabled(online);
    for (QCheckBox* cb : cbVari)
        cb->setEnabled(online);
    const TDeviceState& d = Context().Device;
    for (size_t j = 0; j < cbJumper.size(); ++j)
        cbJumper[j]->setChecked(online && d.Jumper[j]);
    for (size_t v = 0; v < cbVari.size(); ++v)
        cbVari[v]->setChecked(online && d.Variant[v]);
    ShowList(lvJC, TZaehlerLogic::lJC);
    ShowList(lvEC, TZaehlerLogic::lEC);
    {
        const QSignalBlocker block(clbMonitorFlags);
        for (int n = 0; n < clbMonitorFlags->count(); ++n)
            clbMonitorFlags->item(n)->setCheckState((FLogic.MonitorFlags() >> n) & 1 ? Qt::Checked : Qt::Unchecked);
        const TFieldState state = FLogic.MonitorFlagsState();
        clbMonitorFlags->setStyleSheet(state == TFieldState::Invalid   ? QStringLiteral("QListWidget { background: red; }")
                                       : state == TFieldState::Pending ? QStringLiteral("QListWidget { background: cyan; }")
                                                                       : QString());
    }
}

void TfZaehler::SetCountDialog(TCountDialog dialog)
{
    FCountDialog = dialog ? std::move(dialog) : TCountDialog(defaultCountDialog);
}

void TfZaehler::SetMessageBox(TMessageBox box)
{
    FMessageBox = box ? std::move(box) : TMessageBox(defaultMessageBox);
}

void TfZaehler::SetOnOffLine(int online)
{
    FLogic.SetOnOffLine(online);
}

void TfZaehler::RXData(int status, int tag, const QString& data)
{
    FLogic.RXData(status, tag, data);
}

void TfZaehler::SwitchLanguage()
{
    TPLXForm::SwitchLanguage();
    Retranslate();
}

void TfZaehler::FormShow()
{
    FLogic.FormShow();
}

bool TfZaehler::eventFilter(QObject* watched, QEvent* event)
{
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (event->type() != QEvent::KeyPress || !field || !FMaxLength.contains(field))
        return TPLXForm::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const QString text = key->text();
    const bool typing = !text.isEmpty() && text.front().isPrint()
                        && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (typing && field->text().size() - field->selectedText().size() + text.size() > FMaxLength.value(field))
        return true;
    return TPLXForm::eventFilter(watched, event);
}
