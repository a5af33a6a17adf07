#pragma once
// The virtual device's calibration data: flow-sensor coefficients and offsets, the peripheral
// offsets and constants, calibration dates, and the flow a test sets by hand (`flow`).

#include <QDate>
#include <QString>

#include <array>
#include <random>

struct TSimCalibration {
    // Per channel: coefficients of x^4 .. x^0 at index 0..4, the sensor offset (V) at 5; stored
    // as the device does, in 32-bit floats.
    std::array<std::array<float, 6>, 2> aFlowData{{{0.0123f, -0.1456f, 0.6543f, -0.0321f, -0.6012f, 0.95f},
                                                   {0.0119f, -0.1402f, 0.6611f, -0.0297f, -0.6088f, 0.951f}}};
    // A flow set by hand per channel in NL/min; negative: the channel's real flow counts.
    std::array<double, 2> aManualFlow{{-1.0, -1.0}};

    QString strNextDate = QStringLiteral("06/2027");  // month/year of the next calibration
    int iNextHours = 1500;
    QDate dtLastDate = QDate(2026, 1, 15);
    int iLastHours = 1200;

    // Offsets in increments of the measurements; what the device adds to its raw reading.
    int iBatteryOffset = 0;  // 10 mV
    int i5VOffset = 0;       // 5 mV
    int iCurrentOffset = 0;  // mA
    int iBaroOffset = 0;     // 0.1 mbar
    int iRunTimeX = 100;
    int iRunTimeY = 250;
    std::array<std::array<int, 3>, 3> aController{{{40, 12, 3}, {40, 12, 3}, {25, 8, 0}}};
    int iTouchAdjustments = 0;

    std::mt19937 Noise{12345u};
};

// Servo end positions of the two channels' control valves; read and set by the adjustment and
// driven by manual control.
struct TSimServo {
    std::array<int, 2> iClosed{{800, 810}};
    std::array<int, 2> iOpen{{200, 190}};
};

// The flow sensor's output voltage at a flow in NL/min, without noise: about 0.95 V at zero,
// 4.5 V at 2 NL/min, rising all the way.
double SensorVoltage(double flowNlMin);
