#pragma once
// What the manual control window does, without widgets: the live poll of pump, flows, valves
// and reservoir, the servo end positions, and the set points sent when the user releases a
// slider or turns the wheel on a servo slider. The window TfManuell shows the view and forwards
// the user's actions; tests drive it headless. User-interface thread only.

#include "appcontext.h"

#include <QObject>
#include <QString>

#include <array>
#include <functional>

constexpr int kManuellTagDefault = 0;
constexpr int kManuellTagServo = 1;  // GMS of the live poll
constexpr double kPumpSliderMax = 1638.3;

// Percentage of servo position p between closed Z (0 %) and open A (100 %); 0 when A = Z.
int ServoPercent(int position, int closed, int open);
// Target position of a servo slider value s (0..100 % open).
int ServoTarget(double percent, int closed, int open);
// Wheel step: notches > 0 is turning away from the user (closes by the step); Ctrl: 20, Shift: 1,
// else 5. The result stays between the two end positions.
int WheelTarget(int position, int notches, bool shift, bool ctrl, int closed, int open);
// Pump set point of a slider value: rounded, 11..49 raised to 50, times 10.
int PumpSetPoint(double sliderValue);

struct TServoView {
    bool LimitsKnown = false;
    bool SliderEnabled = false;
    int Closed = 0;
    int Open = 0;
    QString ClosedText = QStringLiteral("?");
    QString OpenText = QStringLiteral("?");
    QString PositionText;
    QString PercentText;
    double SliderPercent = 0.0;
    bool Dragging = false;
};

struct TManuellView {
    QString PumpText;      // ePumpe
    QString SpeedText;     // eDrehzahl
    bool PumpLed = false;
    int Power = 0;         // mPumpe
    double PumpSlider = 0.0;
    bool PumpDragging = false;
    bool PumpEnabled = false;  // pump slider and STOP
    std::array<double, 2> Flow{};
    std::array<QString, 2> FlowText;
    double ReservoirBar = 0.0;
    QString ReservoirText;
    bool ReservoirLed = false;
    std::array<TServoView, 2> Servo;
};

class TManuellLogic : public QObject {
    Q_OBJECT
public:
    static constexpr int kPollIntervalMs = 600;
    using TClock = std::function<qint64()>;  // milliseconds, monotonic

    explicit TManuellLogic(TAppContext& context, QObject* parent = nullptr);
    void SetClock(TClock clock);

    // Module operations.
    void FormShow();
    void SetOnOffLine(int online);
    void TimerEvent();
    void RXData(int status, int tag, const QString& data);

    // User actions.
    void PumpPressed();
    void PumpReleased(double value);
    void ServoPressed(int valve);
    void ServoReleased(int valve, double percent);
    void ServoWheel(int valve, int notches, bool shift, bool ctrl);
    void btnStopClick();

    const TManuellView& View() const { return FView; }

Q_SIGNALS:
    void ViewChanged();

private:
    qint64 now() const { return FClock(); }
    void onTms(const QString& data);
    void onTcs(const QString& data);
    void showServo(int valve);

    TAppContext& FContext;
    TClock FClock;
    qint64 FPollDeadline = 0;
    std::array<int, 2> FPosition{};
    std::array<bool, 2> FPositionKnown{};
    TManuellView FView;
};
