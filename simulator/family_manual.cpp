// Manual control: the pump set point (GMW/SMW), the servo valves' positions (GMS/SMS), the live
// flows (GMF) and the reservoir vacuum (GMP). Valves travel towards their target at a fixed
// speed within their end positions (GCS/SCS); pump and valve openings make the flows.

#include "commandtable.h"
#include "devicemodel.h"
#include "families.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

constexpr int kMaxPump = 16383;
constexpr double kServoSpeed = 400.0;  // increments per second of the device clock
constexpr double kMaxFlow = 2.0;       // NL/min, pump at full speed, valve open
constexpr int kMaxSpeed = 4800;        // min^-1
constexpr int kMaxVacuum = 9000;       // tenths of mbar
constexpr int kVacuumLimit = 8000;     // the reservoir flag

struct TSimManual {
    int iPump = 0;
    std::array<double, 2> fPosition{{-1.0, -1.0}};  // -1: at the closed end (not moved yet)
    std::array<int, 2> iTarget{{-1, -1}};
    QDateTime tLast;

    // Moves the valves towards their targets for the device time since the last call.
    void advance(const TDeviceModel& m)
    {
        const QDateTime now = m.deviceClock();
        const double dt = tLast.isValid() ? std::max<qint64>(0, tLast.msecsTo(now)) / 1000.0 : 0.0;
        tLast = now;
        for (size_t c = 0; c < 2; ++c) {
            const int closed = m.FServo.iClosed[c];
            if (fPosition[c] < 0)
                fPosition[c] = closed;
            if (iTarget[c] < 0)
                iTarget[c] = closed;
            const double step = kServoSpeed * dt;
            const double diff = iTarget[c] - fPosition[c];
            fPosition[c] = std::abs(diff) <= step ? iTarget[c] : fPosition[c] + std::copysign(step, diff);
        }
    }
    int position(size_t c) const { return static_cast<int>(std::lround(fPosition[c])); }
    // 0 closed .. 1 open.
    double opening(const TDeviceModel& m, size_t c) const
    {
        const int z = m.FServo.iClosed[c];
        const int a = m.FServo.iOpen[c];
        if (z == a)
            return 0.0;
        return std::clamp((fPosition[c] - z) / double(a - z), 0.0, 1.0);
    }
    double pumpFraction() const { return double(iPump) / kMaxPump; }
};

QStringList pumpAnswer(const TSimManual& s)
{
    const double f = s.pumpFraction();
    return {QString::number(s.iPump), QString::number(std::lround(f * kMaxSpeed)), QString::number(std::lround(f * 100))};
}

}  // namespace

void RegisterManualCommands(TCommandTable& table)
{
    auto state = std::make_shared<TSimManual>();
    table.add(QStringLiteral("GMW"), [state](TDeviceModel& m, const QStringList&) {
        state->advance(m);
        return pumpAnswer(*state);
    });
    table.add(QStringLiteral("SMW"), [state](TDeviceModel& m, const QStringList& p) {
        int v = 0;
        if (m.deviceState() == kDevSampling || !IntParamIn(p, 0, 0, kMaxPump, v))
            return QStringList{};
        state->advance(m);
        state->iPump = v;
        m.noteActivity();
        return pumpAnswer(*state);
    });
    table.add(QStringLiteral("GMS"), [state](TDeviceModel& m, const QStringList& p) {
        int c = 0;
        if (!IntParamIn(p, 0, 0, 1, c))
            return QStringList{};
        state->advance(m);
        return QStringList{QString::number(c), QString::number(state->position(static_cast<size_t>(c)))};
    });
    table.add(QStringLiteral("SMS"), [state](TDeviceModel& m, const QStringList& p) {
        int c = 0;
        int target = 0;
        if (m.deviceState() == kDevSampling || !IntParamIn(p, 0, 0, 1, c) || !IntParam(p, 1, target))
            return QStringList{};
        state->advance(m);
        const size_t i = static_cast<size_t>(c);
        const int z = m.FServo.iClosed[i];
        const int a = m.FServo.iOpen[i];
        state->iTarget[i] = std::clamp(target, std::min(z, a), std::max(z, a));
        m.noteActivity();
        return QStringList{QString::number(c), QString::number(state->position(i))};
    });
    table.add(QStringLiteral("GMF"), [state](TDeviceModel& m, const QStringList&) {
        state->advance(m);
        QStringList flows;
        for (size_t c = 0; c < 2; ++c) {
            const double flow = m.deviceState() == kDevSampling
                                    ? m.FRun.aChannel[c].fFlow
                                    : kMaxFlow * state->pumpFraction() * state->opening(m, c);
            flows << FormatDecimal(flow, 4);
        }
        return flows;
    });
    table.add(QStringLiteral("GMP"), [state](TDeviceModel& m, const QStringList& p) {
        int sensor = 0;
        if (!IntParamIn(p, 0, 0, 0, sensor))
            return QStringList{};
        state->advance(m);
        const long vacuum = std::lround(kMaxVacuum * state->pumpFraction());
        return QStringList{QString::number(vacuum), vacuum > kVacuumLimit ? QStringLiteral("1") : QStringLiteral("0")};
    });
}
