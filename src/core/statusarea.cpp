#include "statusarea.h"

#include "i18n.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QTimerEvent>

#include <algorithm>

namespace {

// Slow enough to cost nothing, fast enough to catch the eye.
constexpr int kBlinkIntervalMs = 500;
constexpr int kErrorPanelWidth = 440;

void setTextIfChanged(QLabel* label, const QString& text)
{
    if (label->text() != text)
        label->setText(text);
}

void setVisibleIfChanged(QWidget* widget, bool visible)
{
    if (widget->isVisibleTo(widget->parentWidget()) != visible)
        widget->setVisible(visible);
}

}  // namespace

TBlinkLed::TBlinkLed(const QColor& colour, QWidget* parent) : QWidget(parent), FColour(colour)
{
    setFixedSize(sizeHint());
    // The layout keeps the LED's place while it is off.
    QSizePolicy policy = sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    setSizePolicy(policy);
    hide();
}

void TBlinkLed::SetLit(bool lit)
{
    if (lit == FLit)
        return;
    FLit = lit;
    FPhaseOn = true;
    if (lit)
        FBlinkTimer.start(kBlinkIntervalMs, this);
    else
        FBlinkTimer.stop();
    setVisible(lit);
}

void TBlinkLed::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != FBlinkTimer.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    FPhaseOn = !FPhaseOn;
    update();
}

void TBlinkLed::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor fill = FPhaseOn ? FColour : FColour.darker(250);
    p.setPen(QPen(palette().color(QPalette::Mid), 1));
    p.setBrush(fill);
    p.drawEllipse(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5));
}

TBatteryGauge::TBatteryGauge(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(sizeHint());
}

void TBatteryGauge::SetPosition(int position)
{
    position = std::clamp(position, 0, 100);
    if (position == FPosition)
        return;
    FPosition = position;
    update();
}

void TBatteryGauge::SetColour(const QColor& colour)
{
    if (colour == FColour)
        return;
    FColour = colour;
    update();
}

void TBatteryGauge::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    p.fillRect(frame, palette().color(QPalette::Base));
    if (FPosition > 0 && FColour.isValid()) {
        QRect bar = frame.adjusted(1, 1, 0, 0);
        bar.setWidth(bar.width() * FPosition / 100);
        p.fillRect(bar, FColour);
    }
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(frame);
}

TErrorPanel::TErrorPanel(QWidget* parent) : QLabel(parent)
{
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(255, 0, 0));
    pal.setColor(QPalette::WindowText, QColor(255, 255, 255));
    setPalette(pal);
    QFont f = font();
    f.setBold(true);
    setFont(f);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setMargin(4);
    setFixedWidth(kErrorPanelWidth);
}

void TErrorPanel::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
    Q_EMIT doubleClicked();
}

TStatusArea::TStatusArea(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("StatusArea"));
    setFrameShape(QFrame::StyledPanel);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    FErrorPanel = new TErrorPanel(this);
    FErrorPanel->setObjectName(QStringLiteral("pnlError"));
    FErrorPanel->hide();
    connect(FErrorPanel, &TErrorPanel::doubleClicked, this, &TStatusArea::errorPanelDoubleClicked);
    row->addWidget(FErrorPanel);

    FGrid = new QGridLayout;
    FGrid->setHorizontalSpacing(6);
    FGrid->setVerticalSpacing(1);
    row->addLayout(FGrid);
    row->addStretch(1);

    FSerNoLabel = addLabel("lblSerNo");
    FSerNo = addLabel("txtSerNo");
    FFirmwareLabel = addLabel("lblFirmware");
    FFirmware = addLabel("txtFirmware");
    FRunTimeLabel = addLabel("lblRunTime");
    FRunTime = addLabel("txtRunTime");
    FRunTimeUnit = addLabel("lblRunTimeUnit");
    FVolumeLabel = addLabel("lblVolume");
    FVolume = addLabel("txtVolume");
    FVolumeUnit = addLabel("lblVolumeUnit");
    FBatteryLabel = addLabel("lblAkku");
    FBatteryGauge = new TBatteryGauge(this);
    FBatteryGauge->setObjectName(QStringLiteral("gaugeAkku"));
    FBattery = addLabel("txtAkku");
    FTempLabel = addLabel("lblTemp");
    FTemp = addLabel("txtTemp");
    FTempUnit = addLabel("txtTempUnit");
    FHumidityLabel = addLabel("lblHumidity");
    FHumidity = addLabel("txtHumidity");
    FHumidityUnit = addLabel("txtHumidityUnit");
    FPressureLabel = addLabel("lblPressure");
    FPressure = addLabel("txtPressure");
    FPressureUnit = addLabel("lblPressureUnit");
    FStateLabel = addLabel("lblStatus");
    FStatePanel = addLabel("pnlStatus");
    FStatePanel->setAutoFillBackground(true);
    FStatePanel->setAlignment(Qt::AlignCenter);
    FStatePanel->setMinimumWidth(140);
    FStatePanel->setFrameShape(QFrame::Panel);
    FStatePanel->setFrameShadow(QFrame::Sunken);
    FAlarmLed = new TBlinkLed(QColor(255, 0, 0), this);
    FAlarmLed->setObjectName(QStringLiteral("ledAlarm"));
    FSamplingLed = new TBlinkLed(QColor(255, 255, 0), this);
    FSamplingLed->setObjectName(QStringLiteral("ledSampling"));
    for (QLabel* value : {FSerNo, FFirmware, FRunTime, FVolume, FTemp, FHumidity, FPressure})
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    // Three column groups: identity and totals, battery and climate, device state.
    FGrid->addWidget(FSerNoLabel, 0, 0);
    FGrid->addWidget(FSerNo, 0, 1);
    FGrid->addWidget(FFirmwareLabel, 1, 0);
    FGrid->addWidget(FFirmware, 1, 1);
    FGrid->addWidget(FRunTimeLabel, 2, 0);
    FGrid->addWidget(FRunTime, 2, 1);
    FGrid->addWidget(FRunTimeUnit, 2, 2);
    FGrid->addWidget(FVolumeLabel, 3, 0);
    FGrid->addWidget(FVolume, 3, 1);
    FGrid->addWidget(FVolumeUnit, 3, 2);
    FGrid->addWidget(FBatteryLabel, 0, 4);
    FGrid->addWidget(FBatteryGauge, 0, 5);
    FGrid->addWidget(FBattery, 0, 6);
    FGrid->addWidget(FTempLabel, 1, 4);
    FGrid->addWidget(FTemp, 1, 5);
    FGrid->addWidget(FTempUnit, 1, 6);
    FGrid->addWidget(FHumidityLabel, 2, 4);
    FGrid->addWidget(FHumidity, 2, 5);
    FGrid->addWidget(FHumidityUnit, 2, 6);
    FGrid->addWidget(FPressureLabel, 3, 4);
    FGrid->addWidget(FPressure, 3, 5);
    FGrid->addWidget(FPressureUnit, 3, 6);
    FGrid->addWidget(FStateLabel, 0, 8);
    FGrid->addWidget(FStatePanel, 1, 8, 1, 3);
    FGrid->addWidget(FAlarmLed, 2, 9);
    FGrid->addWidget(FSamplingLed, 2, 10);
    FGrid->setColumnMinimumWidth(3, 16);
    FGrid->setColumnMinimumWidth(7, 16);

    FStateLabel->hide();
    FStatePanel->hide();
    FPressureUnit->setText(QStringLiteral("mbar"));
    FRunTimeUnit->setText(QStringLiteral("hh:mm"));
    SwitchLanguage();
}

QLabel* TStatusArea::addLabel(const char* objectName)
{
    auto* label = new QLabel(this);
    label->setObjectName(QLatin1String(objectName));
    return label;
}

void TStatusArea::SwitchLanguage()
{
    setTextIfChanged(FSerNoLabel, Tr("Serien-Nr."));
    setTextIfChanged(FFirmwareLabel, Tr("Firmware-Version"));
    setTextIfChanged(FRunTimeLabel, Tr("Gesamtlaufzeit"));
    setTextIfChanged(FVolumeLabel, Tr("Gesamtvolumen"));
    setTextIfChanged(FVolumeUnit, Tr("L"));
    setTextIfChanged(FTempLabel, Tr("Temp."));
    setTextIfChanged(FHumidityLabel, Tr("Feuchte"));
    setTextIfChanged(FPressureLabel, Tr("Druck"));
    setTextIfChanged(FStateLabel, Tr("Status"));
}

void TStatusArea::ShowValues(const TStatusValues& values)
{
    setTextIfChanged(FSerNo, values.SerialNo);
    setTextIfChanged(FFirmware, values.FirmwareText);
    setTextIfChanged(FRunTime, values.TotalRunTime);
    setTextIfChanged(FVolume, values.TotalVolume);
    setTextIfChanged(FBatteryLabel, values.BatteryCaption);
    setTextIfChanged(FBattery, values.BatteryText);
    FBatteryGauge->SetPosition(values.BatteryPosition);
    FBatteryGauge->SetColour(values.BatteryColour);
    setTextIfChanged(FTemp, values.Temperature);
    setTextIfChanged(FTempUnit, values.TemperatureUnit);
    setTextIfChanged(FHumidity, values.Humidity);
    setTextIfChanged(FHumidityUnit, values.HumidityUnit);
    setTextIfChanged(FPressure, values.Pressure);
    FAlarmLed->SetLit(values.AlarmLed);
}

void TStatusArea::ShowState(const TStateDisplay& state)
{
    setVisibleIfChanged(FStateLabel, state.Visible);
    setVisibleIfChanged(FStatePanel, state.Visible);
    setTextIfChanged(FStatePanel, state.Text);
    QPalette pal = FStatePanel->palette();
    pal.setColor(QPalette::Window, state.Back.isValid() ? state.Back : palette().color(QPalette::Window));
    if (state.Font.isValid())
        pal.setColor(QPalette::WindowText, state.Font);
    else if (state.FontDefault)
        pal.setColor(QPalette::WindowText, palette().color(QPalette::WindowText));
    if (pal != FStatePanel->palette())
        FStatePanel->setPalette(pal);
    FSamplingLed->SetLit(state.SamplingLed);
}

QRect TStatusArea::ErrorPanelArea() const
{
    if (FErrorPanel->isVisible())
        return QRect(FErrorPanel->mapToGlobal(QPoint(0, 0)), FErrorPanel->size());
    // Hidden it takes no room; it opens at the left of the area, as high as the area at least.
    const QRect inner = contentsRect().marginsRemoved(layout()->contentsMargins());
    return QRect(mapToGlobal(inner.topLeft()), QSize(kErrorPanelWidth, std::max(inner.height(), 1)));
}

void TStatusArea::ShowErrorPanel(bool show, const QStringList& lines)
{
    if (show)
        setTextIfChanged(FErrorPanel, lines.join(QLatin1Char('\n')));
    setVisibleIfChanged(FErrorPanel, show);
}

void ConnectStatusArea(TDeviceStatus& status, TStatusArea& area)
{
    // The area may go before the status logic when the main window closes.
    QPointer<TStatusArea> guard(&area);
    status.FShowDeviceState = [guard](const TStateDisplay& state) {
        if (guard)
            guard->ShowState(state);
    };
    status.FValuesChanged = [guard](const TStatusValues& values) {
        if (guard)
            guard->ShowValues(values);
    };
    status.FShowErrorPanel = [guard](bool show, const QStringList& lines) {
        if (guard)
            guard->ShowErrorPanel(show, lines);
    };
    QObject::connect(&area, &TStatusArea::errorPanelDoubleClicked, &area,
                     [&status] { status.ShowErrorPanel(false); });
    area.ShowState(status.StateDisplay());
    area.ShowValues(status.Values());
    area.ShowErrorPanel(status.ErrorPanelVisible(), status.ErrorPanelLines());
}
