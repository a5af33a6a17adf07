#include "tfmanuell.h"

#include "i18n.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <cmath>

namespace {

constexpr int kWheelNotch = 120;
constexpr int kPumpSliderTenths = 16383;
constexpr int kMeterScale = 1000;  // meters show thousandths

enum TCaption {
    capAus, capMax, capInkremente, capDrehzahl, capLeistung,
    capZu1, capAuf1, capProz1, capZu2, capAuf2, capProz2,
    capFlow1, capFlow2, capSpeicher, capUnterdruck, capHints,
};

QLineEdit* display(const QString& name, const QString& accessible, QWidget* parent)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setReadOnly(true);
    e->setMaximumWidth(90);
    e->setAccessibleName(accessible);
    return e;
}

QProgressBar* meter(const QString& name, int maximum, QWidget* parent)
{
    auto* m = new QProgressBar(parent);
    m->setObjectName(name);
    m->setRange(0, maximum);
    m->setTextVisible(false);
    return m;
}

QLabel* led(const QString& name, QWidget* parent)
{
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setFixedSize(14, 14);
    l->setAutoFillBackground(true);
    return l;
}

// Style sheets are set only on a change: each one makes the widget polish itself again.
void setSheet(QWidget* w, const QString& sheet)
{
    if (w->styleSheet() != sheet)
        w->setStyleSheet(sheet);
}

void setLed(QLabel* l, bool on)
{
    setSheet(l, on ? QStringLiteral("background: #00c000; border: 1px solid #404040;")
                   : QStringLiteral("background: #305030; border: 1px solid #404040;"));
}

void setKnob(QSlider* s, bool green)
{
    setSheet(s, green ? QStringLiteral("QSlider::handle:horizontal { background: #00a000; width: 12px; margin: -4px 0; }")
                      : QStringLiteral("QSlider::handle:horizontal { background: #d00000; width: 12px; margin: -4px 0; }"));
}

int meterValue(double value)
{
    return static_cast<int>(std::lround(value * kMeterScale));
}

}  // namespace

// ---- slider ----

TSetSlider::TSetSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent)
{
    setTracking(true);
}

void TSetSlider::mousePressEvent(QMouseEvent* event)
{
    Q_EMIT userPressed();
    QSlider::mousePressEvent(event);
}

void TSetSlider::mouseReleaseEvent(QMouseEvent* event)
{
    QSlider::mouseReleaseEvent(event);
    Q_EMIT userReleased(value());
}

void TSetSlider::keyPressEvent(QKeyEvent* event)
{
    const int before = value();
    if (!FKeyStep)
        Q_EMIT userPressed();
    QSlider::keyPressEvent(event);
    FKeyStep = FKeyStep || value() != before;
}

void TSetSlider::keyReleaseEvent(QKeyEvent* event)
{
    QSlider::keyReleaseEvent(event);
    if (event->isAutoRepeat())
        return;
    if (FKeyStep) {
        FKeyStep = false;
        Q_EMIT userReleased(value());
    }
}

void TSetSlider::wheelEvent(QWheelEvent* event)
{
    // QSlider's own wheel handling stays off: the valve moves by increments, not slider steps.
    const QPoint delta = event->angleDelta();
    FWheelRest += delta.y() != 0 ? delta.y() : delta.x();
    const int notches = FWheelRest / kWheelNotch;
    FWheelRest -= notches * kWheelNotch;
    if (notches != 0) {
        const Qt::KeyboardModifiers m = event->modifiers();
        Q_EMIT wheelTurned(notches, m.testFlag(Qt::ShiftModifier), m.testFlag(Qt::ControlModifier));
    }
    event->accept();
}

// ---- window ----

TfManuell::TfManuell(TAppContext& context, QWidget* parent)
    : TPLXForm(context, parent)
    , FLogic(context)
{
    setObjectName(QStringLiteral("fManuell"));
    FClientID = ciManuell;
    BuildWidgets();
    AttachStatusBar(StatusBar);
    connect(&FLogic, &TManuellLogic::ViewChanged, this, &TfManuell::ShowView);
    Retranslate();
    ShowView();
}

TfManuell::~TfManuell() = default;

void TfManuell::BuildWidgets()
{
    for (QLabel*& l : FCaptions)
        l = new QLabel(this);
    auto* top = new QVBoxLayout(this);

    FGroups[0] = new QGroupBox(this);
    auto* pump = new QGridLayout(FGroups[0]);
    sliderPumpe = new TSetSlider(FGroups[0]);
    sliderPumpe->setObjectName(QStringLiteral("sliderPumpe"));
    sliderPumpe->setRange(0, kPumpSliderTenths);
    sliderPumpe->setSingleStep(10);
    sliderPumpe->setPageStep(500);
    ePumpe = display(QStringLiteral("ePumpe"), QString(), FGroups[0]);
    eDrehzahl = display(QStringLiteral("eDrehzahl"), QString(), FGroups[0]);
    mPumpe = meter(QStringLiteral("mPumpe"), 100, FGroups[0]);
    ledPumpe = led(QStringLiteral("ledPumpe"), FGroups[0]);
    btnStop = new QPushButton(FGroups[0]);
    btnStop->setObjectName(QStringLiteral("btnStop"));
    pump->addWidget(FCaptions[capAus], 0, 0);
    pump->addWidget(sliderPumpe, 0, 1, 1, 3);
    pump->addWidget(FCaptions[capMax], 0, 4);
    pump->addWidget(FCaptions[capInkremente], 1, 0);
    pump->addWidget(ePumpe, 1, 1);
    pump->addWidget(FCaptions[capDrehzahl], 1, 2);
    pump->addWidget(eDrehzahl, 1, 3);
    pump->addWidget(FCaptions[capLeistung], 2, 0);
    pump->addWidget(mPumpe, 2, 1, 1, 2);
    pump->addWidget(ledPumpe, 2, 3);
    pump->addWidget(btnStop, 2, 4);
    top->addWidget(FGroups[0]);

    for (int c = 0; c < 2; ++c) {
        const size_t i = static_cast<size_t>(c);
        const QString n = QString::number(c + 1);
        QGroupBox* g = FGroups[i + 1] = new QGroupBox(this);
        auto* grid = new QGridLayout(g);
        sliderRE[i] = new TSetSlider(g);
        sliderRE[i]->setObjectName(QStringLiteral("sliderRE") + n);
        sliderRE[i]->setRange(0, 100);
        sliderRE[i]->setEnabled(false);
        eRE[i] = display(QStringLiteral("eRE") + n, QString(), g);
        eREProz[i] = display(QStringLiteral("eRE%1Proz").arg(n), QString(), g);
        eREMin[i] = display(QStringLiteral("eRE%1Min").arg(n), QString(), g);
        eREMax[i] = display(QStringLiteral("eRE%1Max").arg(n), QString(), g);
        const int base = c == 0 ? capZu1 : capZu2;
        grid->addWidget(sliderRE[i], 0, 0, 1, 6);
        grid->addWidget(eRE[i], 1, 0);
        grid->addWidget(eREProz[i], 1, 1);
        grid->addWidget(FCaptions[static_cast<size_t>(base + 2)], 1, 2);
        grid->addWidget(FCaptions[static_cast<size_t>(base)], 1, 3);
        grid->addWidget(eREMin[i], 1, 4);
        grid->addWidget(FCaptions[static_cast<size_t>(base + 1)], 2, 3);
        grid->addWidget(eREMax[i], 2, 4);
        top->addWidget(g);

        connect(sliderRE[i], &TSetSlider::userPressed, this, [this, c] { FLogic.ServoPressed(c); });
        connect(sliderRE[i], &TSetSlider::userReleased, this, [this, c](int v) { FLogic.ServoReleased(c, v); });
        connect(sliderRE[i], &TSetSlider::wheelTurned, this,
                [this, c](int notches, bool shift, bool ctrl) { FLogic.ServoWheel(c, notches, shift, ctrl); });
    }
    top->addWidget(FCaptions[capHints]);

    FGroups[3] = new QGroupBox(this);
    auto* live = new QGridLayout(FGroups[3]);
    for (int c = 0; c < 2; ++c) {
        const size_t i = static_cast<size_t>(c);
        mFlow[i] = meter(QStringLiteral("mFlow%1").arg(c + 1), 2 * kMeterScale, FGroups[3]);
        eIstFlow[i] = display(QStringLiteral("eIstFlow%1").arg(c + 1), QString(), FGroups[3]);
        live->addWidget(FCaptions[c == 0 ? capFlow1 : capFlow2], c, 0);
        live->addWidget(mFlow[i], c, 1);
        live->addWidget(eIstFlow[i], c, 2);
    }
    mSpeicher = meter(QStringLiteral("mSpeicher"), kMeterScale, FGroups[3]);
    ledSpeicher = led(QStringLiteral("ledSpeicher"), FGroups[3]);
    eSpeicherDruck = display(QStringLiteral("eSpeicherDruck"), QString(), FGroups[3]);
    live->addWidget(FCaptions[capSpeicher], 2, 0);
    live->addWidget(mSpeicher, 2, 1);
    live->addWidget(ledSpeicher, 2, 2);
    live->addWidget(FCaptions[capUnterdruck], 3, 0);
    live->addWidget(eSpeicherDruck, 3, 2);
    top->addWidget(FGroups[3]);

    StatusBar = new QStatusBar(this);
    StatusBar->setSizeGripEnabled(false);
    top->addWidget(StatusBar);

    connect(sliderPumpe, &TSetSlider::userPressed, &FLogic, &TManuellLogic::PumpPressed);
    connect(sliderPumpe, &TSetSlider::userReleased, this, [this](int tenths) { FLogic.PumpReleased(tenths / 10.0); });
    connect(btnStop, &QPushButton::clicked, &FLogic, &TManuellLogic::btnStopClick);
}

void TfManuell::Retranslate()
{
    setWindowTitle(Tr("Manuelle Steuerung"));
    FGroups[0]->setTitle(Tr("Pumpe"));
    FGroups[1]->setTitle(Tr("Regeleinheit 1"));
    FGroups[2]->setTitle(Tr("Regeleinheit 2"));
    FGroups[3]->setTitle(Tr("Messwerte"));
    FCaptions[capAus]->setText(Tr("Aus"));
    FCaptions[capMax]->setText(Tr("Max"));
    FCaptions[capInkremente]->setText(Tr("Inkremente"));
    FCaptions[capDrehzahl]->setText(QStringLiteral("min⁻¹"));
    FCaptions[capLeistung]->setText(Tr("Leistung [%]"));
    for (int base : {int(capZu1), int(capZu2)}) {
        FCaptions[static_cast<size_t>(base)]->setText(Tr("Zu"));
        FCaptions[static_cast<size_t>(base + 1)]->setText(Tr("Auf"));
        FCaptions[static_cast<size_t>(base + 2)]->setText(Tr("% Auf"));
    }
    FCaptions[capFlow1]->setText(Tr("Flow Kanal 1 [NL/min]"));
    FCaptions[capFlow2]->setText(Tr("Flow Kanal 2 [NL/min]"));
    FCaptions[capSpeicher]->setText(Tr("Speicher [bar]"));
    FCaptions[capUnterdruck]->setText(Tr("Unterdruck im Speicher"));
    FCaptions[capHints]->setText(
        Tr("Zum Ändern der Servo-Position auf den Schiebereglern langsam mit dem Mausrad scrollen.") + QLatin1Char('\n')
        + Tr("Normal: +/- 5 Inkremente") + QLatin1Char('\n') + Tr("Mit Umschalttaste: +/- 1 Inkrement")
        + QLatin1Char('\n') + Tr("Mit STRG-Taste: +/- 20 Inkremente"));
    btnStop->setText(Tr("STOP"));
    sliderPumpe->setAccessibleName(Tr("Pumpe"));
    ePumpe->setAccessibleName(Tr("Inkremente"));
    eDrehzahl->setAccessibleName(QStringLiteral("min⁻¹"));
    eSpeicherDruck->setAccessibleName(Tr("Unterdruck im Speicher"));
    for (size_t i = 0; i < 2; ++i) {
        sliderRE[i]->setAccessibleName(Tr(i == 0 ? "Regeleinheit 1" : "Regeleinheit 2"));
        eREProz[i]->setAccessibleName(Tr("% Auf"));
        eREMin[i]->setAccessibleName(Tr("Zu"));
        eREMax[i]->setAccessibleName(Tr("Auf"));
        eIstFlow[i]->setAccessibleName(Tr(i == 0 ? "Flow Kanal 1 [NL/min]" : "Flow Kanal 2 [NL/min]"));
    }
}

void TfManuell::ShowView()
{
    const TManuellView& v = FLogic.View();
    ePumpe->setText(v.PumpText);
    eDrehzahl->setText(v.SpeedText);
    setLed(ledPumpe, v.PumpLed);
    mPumpe->setValue(std::clamp(v.Power, 0, 100));
    if (!v.PumpDragging && !sliderPumpe->isSliderDown()) {
        const QSignalBlocker block(sliderPumpe);
        sliderPumpe->setValue(static_cast<int>(std::lround(v.PumpSlider * 10.0)));
    }
    sliderPumpe->setEnabled(v.PumpEnabled);
    btnStop->setEnabled(v.PumpEnabled);
    setKnob(sliderPumpe, v.PumpEnabled);
    for (size_t i = 0; i < 2; ++i) {
        const TServoView& s = v.Servo[i];
        setKnob(sliderRE[i], s.SliderEnabled);
        sliderRE[i]->setEnabled(s.SliderEnabled);
        if (!s.Dragging && !sliderRE[i]->isSliderDown()) {
            const QSignalBlocker block(sliderRE[i]);
            sliderRE[i]->setValue(static_cast<int>(std::lround(s.SliderPercent)));
        }
        eRE[i]->setText(s.PositionText);
        eREProz[i]->setText(s.PercentText);
        eREMin[i]->setText(s.ClosedText);
        eREMax[i]->setText(s.OpenText);
        mFlow[i]->setValue(std::clamp(meterValue(v.Flow[i]), 0, mFlow[i]->maximum()));
        eIstFlow[i]->setText(v.FlowText[i]);
    }
    mSpeicher->setValue(std::clamp(meterValue(v.ReservoirBar), 0, mSpeicher->maximum()));
    setLed(ledSpeicher, v.ReservoirLed);
    eSpeicherDruck->setText(v.ReservoirText);
}

void TfManuell::SetOnOffLine(int online)
{
    FLogic.SetOnOffLine(online);
}

void TfManuell::TimerEvent(int)
{
    FLogic.TimerEvent();
}

void TfManuell::RXData(int status, int tag, const QString& data)
{
    FLogic.RXData(status, tag, data);
}

void TfManuell::SwitchLanguage()
{
    TPLXForm::SwitchLanguage();
    Retranslate();
}

void TfManuell::FormShow()
{
    FLogic.FormShow();
}
