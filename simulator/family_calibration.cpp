// Calibration data: the flow sensors' live voltages (GMV), their coefficients and offsets
// (GCF/SCF), and the peripheral calibrations (GCD/SCD, GCL/SCL, GCB/SCB, GCV/SCV, GCI/SCI,
// GCA/SCA, GCR/SCR, GCC/SCC, SAT). Every set answers with its read layout.

#include "calibrationstate.h"
#include "commandtable.h"
#include "devicemodel.h"
#include "families.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace {

constexpr double kBatteryStep = 0.01;  // V per offset increment
constexpr double k5VStep = 0.005;
constexpr double kRaw5V = 4.962;
constexpr int kRawCurrentIdle = 45;   // mA
constexpr int kRawCurrentPump = 380;
constexpr int kMaxOffset = 999;
constexpr double kSensorNoise = 0.0015;  // V, either way
constexpr int kMaxHours = 999999;
constexpr int kMaxControllerValue = 65535;

double channelFlow(const TDeviceModel& m, int c)
{
    const size_t i = static_cast<size_t>(c);
    if (m.FCalibration.aManualFlow[i] >= 0.0)
        return m.FCalibration.aManualFlow[i];
    const TSimChannelRun& ch = m.FRun.aChannel[i];
    return ch.iState == kChActive ? ch.fFlow : 0.0;
}

bool pumping(const TDeviceModel& m)
{
    for (const TSimChannelRun& ch : m.FRun.aChannel) {
        if (ch.iState == kChActive)
            return true;
    }
    return false;
}

// A decimal with "." and nothing else around it.
bool decimalParam(const QStringList& p, int index, double low, double high, double& value)
{
    if (index >= p.size())
        return false;
    static const QRegularExpression decimal(QStringLiteral("^[-+]?\\d+(\\.\\d+)?$"));
    if (!decimal.match(p.at(index)).hasMatch())
        return false;
    const double v = p.at(index).toDouble();
    if (!(v >= low && v <= high))
        return false;
    value = v;
    return true;
}

// Offset that makes the raw reading show the true value, in steps; false when out of reach.
bool offsetFor(double trueValue, double raw, double step, int& offset)
{
    const double steps = std::round((trueValue - raw) / step);
    if (std::fabs(steps) > kMaxOffset)
        return false;
    offset = static_cast<int>(steps);
    return true;
}

QString floatText(float v)
{
    return QString::number(static_cast<double>(v), 'f', 7);
}

QStringList flowAnswer(const TDeviceModel& m, int c, int i)
{
    return {QString::number(c), QString::number(i),
            floatText(m.FCalibration.aFlowData[static_cast<size_t>(c)][static_cast<size_t>(i)])};
}

QStringList batteryAnswer(const TDeviceModel& m)
{
    const double v = m.batteryVoltage() + m.FCalibration.iBatteryOffset * kBatteryStep;
    return {FormatDecimal(v, 2), QString::number(m.FCalibration.iBatteryOffset)};
}

QStringList fiveVoltAnswer(const TDeviceModel& m)
{
    return {FormatDecimal(kRaw5V + m.FCalibration.i5VOffset * k5VStep, 3), QString::number(m.FCalibration.i5VOffset)};
}

int rawCurrent(const TDeviceModel& m)
{
    return pumping(m) ? kRawCurrentPump : kRawCurrentIdle;
}

QStringList currentAnswer(const TDeviceModel& m)
{
    return {QString::number(rawCurrent(m) + m.FCalibration.iCurrentOffset), QString::number(m.FCalibration.iCurrentOffset)};
}

int rawPressureTenths(const TDeviceModel& m)
{
    return static_cast<int>(std::lround(m.FPressure * 10.0));
}

QStringList baroAnswer(const TDeviceModel& m)
{
    return {QString::number(rawPressureTenths(m) + m.FCalibration.iBaroOffset), QString::number(m.FCalibration.iBaroOffset)};
}

QStringList controllerAnswer(const TDeviceModel& m, int i)
{
    const auto& k = m.FCalibration.aController[static_cast<size_t>(i)];
    return {QString::number(i), QString::number(k[0]), QString::number(k[1]), QString::number(k[2])};
}

}  // namespace

double SensorVoltage(double flowNlMin)
{
    const double x = std::clamp(flowNlMin, 0.0, 2.5) / 2.0;
    return 0.95 + 3.55 * std::pow(x, 0.8);
}

void RegisterCalibrationCommands(TCommandTable& table)
{
    // GMV;0 -> TMV;v1;v2 (volts of both flow sensors)
    table.add(QStringLiteral("GMV"), [](TDeviceModel& m, const QStringList& p) {
        int which = 0;
        if (p.size() != 1 || !IntParamIn(p, 0, 0, 0, which))
            return QStringList{};
        std::uniform_real_distribution<double> noise(-kSensorNoise, kSensorNoise);
        QStringList out;
        for (int c = 0; c < 2; ++c)
            out << FormatDecimal(SensorVoltage(channelFlow(m, c)) + noise(m.FCalibration.Noise), 4);
        return out;
    });
    // GCF;c;i -> TCF;c;i;value
    table.add(QStringLiteral("GCF"), [](TDeviceModel& m, const QStringList& p) {
        int c = 0;
        int i = 0;
        if (p.size() != 2 || !IntParamIn(p, 0, 0, 1, c) || !IntParamIn(p, 1, 0, 5, i))
            return QStringList{};
        return flowAnswer(m, c, i);
    });
    table.add(QStringLiteral("SCF"), [](TDeviceModel& m, const QStringList& p) {
        int c = 0;
        int i = 0;
        double v = 0.0;
        const double limit = static_cast<double>(std::numeric_limits<float>::max());
        if (p.size() != 3 || !IntParamIn(p, 0, 0, 1, c) || !IntParamIn(p, 1, 0, 5, i)
            || !decimalParam(p, 2, -limit, limit, v))
            return QStringList{};
        m.FCalibration.aFlowData[static_cast<size_t>(c)][static_cast<size_t>(i)] = static_cast<float>(v);
        m.noteActivity();
        return flowAnswer(m, c, i);
    });

    // Next calibration: month/year and operating hours.
    table.add(QStringLiteral("GCD"), [](TDeviceModel& m, const QStringList& p) {
        if (!p.isEmpty())
            return QStringList{};
        return QStringList{m.FCalibration.strNextDate, QString::number(m.FCalibration.iNextHours)};
    });
    table.add(QStringLiteral("SCD"), [](TDeviceModel& m, const QStringList& p) {
        static const QRegularExpression monthYear(QStringLiteral("^\\d{1,2}/\\d{2,4}$"));
        int hours = 0;
        if (p.size() != 2 || !monthYear.match(p.at(0)).hasMatch() || !IntParamIn(p, 1, 0, kMaxHours, hours))
            return QStringList{};
        m.FCalibration.strNextDate = p.at(0);
        m.FCalibration.iNextHours = hours;
        m.noteActivity();
        return QStringList{m.FCalibration.strNextDate, QString::number(m.FCalibration.iNextHours)};
    });
    RegisterLastCalibrationCommands(table);

    table.add(QStringLiteral("GCB"), [](TDeviceModel& m, const QStringList& p) {
        return p.isEmpty() ? batteryAnswer(m) : QStringList{};
    });
    table.add(QStringLiteral("SCB"), [](TDeviceModel& m, const QStringList& p) {
        double v = 0.0;
        int offset = 0;
        if (p.size() != 1 || !decimalParam(p, 0, 0.0, 30.0, v) || !offsetFor(v, m.batteryVoltage(), kBatteryStep, offset))
            return QStringList{};
        m.FCalibration.iBatteryOffset = offset;
        m.noteActivity();
        return batteryAnswer(m);
    });
    table.add(QStringLiteral("GCV"), [](TDeviceModel& m, const QStringList& p) {
        return p.isEmpty() ? fiveVoltAnswer(m) : QStringList{};
    });
    table.add(QStringLiteral("SCV"), [](TDeviceModel& m, const QStringList& p) {
        double v = 0.0;
        int offset = 0;
        if (p.size() != 1 || !decimalParam(p, 0, 3.0, 7.0, v) || !offsetFor(v, kRaw5V, k5VStep, offset))
            return QStringList{};
        m.FCalibration.i5VOffset = offset;
        m.noteActivity();
        return fiveVoltAnswer(m);
    });
    table.add(QStringLiteral("GCI"), [](TDeviceModel& m, const QStringList& p) {
        return p.isEmpty() ? currentAnswer(m) : QStringList{};
    });
    table.add(QStringLiteral("SCI"), [](TDeviceModel& m, const QStringList& p) {
        int ma = 0;
        if (p.size() != 1 || !IntParamIn(p, 0, 0, 5000, ma) || std::abs(ma - rawCurrent(m)) > kMaxOffset)
            return QStringList{};
        m.FCalibration.iCurrentOffset = ma - rawCurrent(m);
        m.noteActivity();
        return currentAnswer(m);
    });
    table.add(QStringLiteral("GCA"), [](TDeviceModel& m, const QStringList& p) {
        return p.isEmpty() ? baroAnswer(m) : QStringList{};
    });
    table.add(QStringLiteral("SCA"), [](TDeviceModel& m, const QStringList& p) {
        int tenths = 0;
        if (p.size() != 1 || !IntParamIn(p, 0, 5000, 12000, tenths) || std::abs(tenths - rawPressureTenths(m)) > kMaxOffset)
            return QStringList{};
        m.FCalibration.iBaroOffset = tenths - rawPressureTenths(m);
        m.noteActivity();
        return baroAnswer(m);
    });
    table.add(QStringLiteral("GCR"), [](TDeviceModel& m, const QStringList& p) {
        if (!p.isEmpty())
            return QStringList{};
        return QStringList{QString::number(m.FCalibration.iRunTimeX), QString::number(m.FCalibration.iRunTimeY)};
    });
    table.add(QStringLiteral("SCR"), [](TDeviceModel& m, const QStringList& p) {
        int x = 0;
        int y = 0;
        if (p.size() != 2 || !IntParam(p, 0, x) || !IntParam(p, 1, y))
            return QStringList{};
        m.FCalibration.iRunTimeX = x;
        m.FCalibration.iRunTimeY = y;
        m.noteActivity();
        return QStringList{QString::number(x), QString::number(y)};
    });
    table.add(QStringLiteral("GCC"), [](TDeviceModel& m, const QStringList& p) {
        int i = 0;
        if (p.size() != 1 || !IntParamIn(p, 0, 0, 2, i))
            return QStringList{};
        return controllerAnswer(m, i);
    });
    table.add(QStringLiteral("SCC"), [](TDeviceModel& m, const QStringList& p) {
        int i = 0;
        std::array<int, 3> k{};
        if (p.size() != 4 || !IntParamIn(p, 0, 0, 2, i))
            return QStringList{};
        for (int n = 0; n < 3; ++n) {
            if (!IntParamIn(p, n + 1, 0, kMaxControllerValue, k[static_cast<size_t>(n)]))
                return QStringList{};
        }
        m.FCalibration.aController[static_cast<size_t>(i)] = k;
        m.noteActivity();
        return controllerAnswer(m, i);
    });
    // The touch panel adjustment runs on the device's own display.
    table.add(QStringLiteral("SAT"), [](TDeviceModel& m, const QStringList& p) {
        if (!p.isEmpty())
            return QStringList{};
        ++m.FCalibration.iTouchAdjustments;
        m.noteActivity();
        return QStringList{QStringLiteral("0")};
    });
}

void RegisterLastCalibrationCommands(TCommandTable& table)
{
    // GCL -> TCL;dd.mm.yyyy;hours
    table.add(QStringLiteral("GCL"), [](TDeviceModel& m, const QStringList& p) {
        if (!p.isEmpty())
            return QStringList{};
        return QStringList{m.FCalibration.dtLastDate.toString(QStringLiteral("dd.MM.yyyy")),
                           QString::number(m.FCalibration.iLastHours)};
    });
    table.add(QStringLiteral("SCL"), [](TDeviceModel& m, const QStringList& p) {
        int hours = 0;
        const QDate date = p.isEmpty() ? QDate() : QDate::fromString(p.at(0), QStringLiteral("dd.MM.yyyy"));
        if (p.size() != 2 || !date.isValid() || !IntParamIn(p, 1, 0, kMaxHours, hours))
            return QStringList{};
        m.FCalibration.dtLastDate = date;
        m.FCalibration.iLastHours = hours;
        m.noteActivity();
        return QStringList{date.toString(QStringLiteral("dd.MM.yyyy")), QString::number(hours)};
    });
}
