#pragma once
// The status area under the main window's menu: device values, the state panel with its two
// blinking LEDs, the battery gauge and the red error panel. It only shows what TDeviceStatus
// hands it and repaints only what changed.

#include "devicestatus.h"

#include <QBasicTimer>
#include <QFrame>
#include <QLabel>

class QGridLayout;

// A round LED that is hidden while off and blinks while lit (its timer runs only then).
class TBlinkLed : public QWidget {
    Q_OBJECT
public:
    TBlinkLed(const QColor& colour, QWidget* parent = nullptr);
    void SetLit(bool lit);
    bool Lit() const { return FLit; }
    QSize sizeHint() const override { return {14, 14}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    QColor FColour;
    bool FLit = false;
    bool FPhaseOn = true;
    QBasicTimer FBlinkTimer;
};

// Horizontal bar 0 .. 100 in the colour of the battery level.
class TBatteryGauge : public QWidget {
    Q_OBJECT
public:
    explicit TBatteryGauge(QWidget* parent = nullptr);
    void SetPosition(int position);
    void SetColour(const QColor& colour);
    int Position() const { return FPosition; }
    QColor Colour() const { return FColour; }
    QSize sizeHint() const override { return {80, 14}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int FPosition = 0;
    QColor FColour;
};

// Red box with the alarm texts; a double click asks to hide it.
class TErrorPanel : public QLabel {
    Q_OBJECT
public:
    explicit TErrorPanel(QWidget* parent = nullptr);
Q_SIGNALS:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

class TStatusArea : public QFrame {
    Q_OBJECT
public:
    explicit TStatusArea(QWidget* parent = nullptr);

    void ShowValues(const TStatusValues& values);
    void ShowState(const TStateDisplay& state);
    void ShowErrorPanel(bool show, const QStringList& lines);
    // Where the error panel stands, or will stand when it is shown, in screen coordinates.
    QRect ErrorPanelArea() const;
    // The fixed captions in the program language.
    void SwitchLanguage();

Q_SIGNALS:
    void errorPanelDoubleClicked();

private:
    QLabel* addLabel(const char* objectName);

    TErrorPanel* FErrorPanel;
    QGridLayout* FGrid;
    QLabel* FSerNoLabel;
    QLabel* FSerNo;
    QLabel* FFirmwareLabel;
    QLabel* FFirmware;
    QLabel* FRunTimeLabel;
    QLabel* FRunTime;
    QLabel* FRunTimeUnit;
    QLabel* FVolumeLabel;
    QLabel* FVolume;
    QLabel* FVolumeUnit;
    QLabel* FBatteryLabel;
    TBatteryGauge* FBatteryGauge;
    QLabel* FBattery;
    QLabel* FTempLabel;
    QLabel* FTemp;
    QLabel* FTempUnit;
    QLabel* FHumidityLabel;
    QLabel* FHumidity;
    QLabel* FHumidityUnit;
    QLabel* FPressureLabel;
    QLabel* FPressure;
    QLabel* FPressureUnit;
    QLabel* FStateLabel;
    QLabel* FStatePanel;
    TBlinkLed* FAlarmLed;
    TBlinkLed* FSamplingLed;
};

// Lets status show itself in area: sets the display hooks, shows the current values and hides
// the error panel through status on a double click.
void ConnectStatusArea(TDeviceStatus& status, TStatusArea& area);
