#include "frpresetchannel.h"

#include "formatsettings.h"
#include "i18n.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

namespace {

// Ten characters to type; the longest duration shown, "1000:00 h:m", needs eleven and would be
// cut by a ten-character limit.
constexpr int kTimeFieldMaxChars = 11;

QLineEdit* field(const char* name, QWidget* parent)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setMinimumWidth(90);
    return e;
}

}  // namespace

TfrPresetChannel::TfrPresetChannel(TPresetChannelLogic& logic, int channel, const QColor& background, QWidget* parent)
    : QGroupBox(parent)
    , FLogic(logic)
    , FChannel(channel)
    , FBackground(background)
{
    setObjectName(QStringLiteral("frPresetChannel%1").arg(channel));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, background);
    setPalette(pal);

    auto* grid = new QGridLayout(this);
    cbActive = new QCheckBox(this);
    cbActive->setObjectName(QStringLiteral("cbActive"));
    grid->addWidget(cbActive, 0, 0, 1, 3);

    FVolCaption = new QLabel(this);
    eVol = field("eVol", this);
    lblVolUnit = new QLabel(this);
    lblVolUnit->setObjectName(QStringLiteral("lblVolUnit"));
    FFlowCaption = new QLabel(this);
    eFlow = field("eFlow", this);
    lblFlowUnit = new QLabel(this);
    lblFlowUnit->setObjectName(QStringLiteral("lblFlowUnit"));
    FTimeCaption = new QLabel(this);
    eTime = field("eTime", this);
    eTime->setMaxLength(kTimeFieldMaxChars);
    FDelayCaption = new QLabel(this);
    eDelay = field("eDelay", this);
    eDelay->setMaxLength(kTimeFieldMaxChars);
    const std::array<QLabel*, 4> captions{FVolCaption, FFlowCaption, FTimeCaption, FDelayCaption};
    const std::array<QLineEdit*, 4> edits{eVol, eFlow, eTime, eDelay};
    for (size_t i = 0; i < edits.size(); ++i) {
        captions[i]->setBuddy(edits[i]);
        grid->addWidget(captions[i], int(i) + 1, 0);
        grid->addWidget(edits[i], int(i) + 1, 1);
        edits[i]->installEventFilter(this);
    }
    grid->addWidget(lblVolUnit, 1, 2);
    grid->addWidget(lblFlowUnit, 2, 2);

    cbIntervalMode = new QCheckBox(this);
    cbIntervalMode->setObjectName(QStringLiteral("cbIntervalMode"));
    cbFlowMonitor = new QCheckBox(this);
    cbFlowMonitor->setObjectName(QStringLiteral("cbFlowMonitor"));
    grid->addWidget(cbIntervalMode, 5, 0, 1, 3);
    grid->addWidget(cbFlowMonitor, 6, 0, 1, 3);

    FVolTypeCaption = new QLabel(this);
    rbVolTypeNL = new QRadioButton(this);
    rbVolTypeNL->setObjectName(QStringLiteral("rbVolTypeNL"));
    rbVolTypeSL = new QRadioButton(this);
    rbVolTypeSL->setObjectName(QStringLiteral("rbVolTypeSL"));
    rbVolTypeL = new QRadioButton(this);
    rbVolTypeL->setObjectName(QStringLiteral("rbVolTypeL"));
    // Exclusive by hand: volume type 3 shows no button ticked, which a QButtonGroup cannot.
    auto* types = new QHBoxLayout;
    types->addWidget(FVolTypeCaption);
    for (QRadioButton* rb : {rbVolTypeNL, rbVolTypeSL, rbVolTypeL}) {
        rb->setAutoExclusive(false);
        types->addWidget(rb);
    }
    types->addStretch();
    grid->addLayout(types, 7, 0, 1, 3);
    grid->setColumnStretch(1, 1);

    connect(cbActive, &QCheckBox::clicked, &FLogic, &TPresetChannelLogic::cbActiveClick);
    connect(cbIntervalMode, &QCheckBox::clicked, &FLogic, &TPresetChannelLogic::cbIntervalModeClick);
    connect(cbFlowMonitor, &QCheckBox::clicked, &FLogic, &TPresetChannelLogic::cbFlowMonitorClick);
    connect(rbVolTypeNL, &QRadioButton::clicked, this, [this] { FLogic.rbVolTypeClick(kVolTypeNL); });
    connect(rbVolTypeSL, &QRadioButton::clicked, this, [this] { FLogic.rbVolTypeClick(kVolTypeSL); });
    connect(rbVolTypeL, &QRadioButton::clicked, this, [this] { FLogic.rbVolTypeClick(kVolTypeL); });
    connect(eVol, &QLineEdit::textEdited, this, [this](const QString& t) { FLogic.SetText(&TChannelEditView::Vol, t); });
    connect(eFlow, &QLineEdit::textEdited, this, [this](const QString& t) { FLogic.SetText(&TChannelEditView::Flow, t); });
    connect(eTime, &QLineEdit::textEdited, this, [this](const QString& t) { FLogic.SetText(&TChannelEditView::Time, t); });
    connect(eDelay, &QLineEdit::textEdited, this,
            [this](const QString& t) { FLogic.SetText(&TChannelEditView::Delay, t); });
    connect(&FLogic, &TPresetChannelLogic::ViewChanged, this, &TfrPresetChannel::ShowView);
    Retranslate();
    ShowView();
}

void TfrPresetChannel::Retranslate()
{
    setTitle(FmtDisplay().Format(Tr("Kanal %d"), {FChannel}));
    cbActive->setText(Tr("Aktiv"));
    FVolCaption->setText(Tr("Volumen"));
    FFlowCaption->setText(Tr("Vol.strom"));
    FTimeCaption->setText(Tr("Dauer"));
    FDelayCaption->setText(Tr("Verz."));
    eVol->setAccessibleName(Tr("Volumen"));
    eFlow->setAccessibleName(Tr("Vol.strom"));
    eTime->setAccessibleName(Tr("Dauer"));
    eDelay->setAccessibleName(Tr("Verz."));
    cbIntervalMode->setText(Tr("Intervallbetrieb"));
    cbFlowMonitor->setText(Tr("Flussüberwachung"));
    FVolTypeCaption->setText(Tr("Volumentyp"));
    rbVolTypeNL->setText(QStringLiteral("NL"));
    rbVolTypeSL->setText(QStringLiteral("SL"));
    rbVolTypeL->setText(QStringLiteral("L"));
}

void TfrPresetChannel::ShowView()
{
    const TChannelEditView& v = FLogic.View();
    const auto setText = [](QLineEdit* e, const QString& text) {
        if (e->text() != text)
            e->setText(text);
    };
    setText(eVol, v.Vol);
    setText(eFlow, v.Flow);
    setText(eTime, v.Time);
    setText(eDelay, v.Delay);
    cbActive->setChecked(v.Active);
    cbIntervalMode->setChecked(v.IntervalMode);
    cbFlowMonitor->setChecked(v.FlowMonitor);
    rbVolTypeNL->setChecked(v.VolType == kVolTypeNL);
    rbVolTypeSL->setChecked(v.VolType == kVolTypeSL);
    rbVolTypeL->setChecked(v.VolType == kVolTypeL);
    lblVolUnit->setText(v.VolUnit);
    lblFlowUnit->setText(v.FlowUnit);
    cbActive->setEnabled(v.ActiveEnabled);
    for (QWidget* w : std::initializer_list<QWidget*>{eVol, eFlow, eDelay, cbIntervalMode, cbFlowMonitor, rbVolTypeNL,
                                                      rbVolTypeSL, rbVolTypeL})
        w->setEnabled(v.FieldsEnabled);
    eTime->setEnabled(v.TimeEnabled);
}

bool TfrPresetChannel::CheckField(QLineEdit* e)
{
    const QString text = e->text();
    if (e == eVol)
        return FLogic.eVolExit(text);
    if (e == eFlow)
        return FLogic.eFlowExit(text);
    if (e == eDelay)
        return FLogic.eDelayExit(text);
    if (e == eTime)
        return FLogic.eTimeExit(text);
    return true;
}

bool TfrPresetChannel::eventFilter(QObject* watched, QEvent* event)
{
    auto* e = qobject_cast<QLineEdit*>(watched);
    if (!e)
        return QGroupBox::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress && (e == eVol || e == eFlow)) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        // Editing and moving keys have no text or a control character; they pass.
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter && text.size() == 1 && text.at(0).isPrint()) {
            const std::optional<QChar> c = FLogic.FloatKey(text.at(0));
            if (c)
                e->insert(QString(*c));
            return true;
        }
    }
    return QGroupBox::eventFilter(watched, event);
}
