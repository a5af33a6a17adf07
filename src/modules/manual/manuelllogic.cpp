#include "manuelllogic.h"

#include "answerfields.h"
#include "formatsettings.h"
#include "i18n.h"
#include "rounding.h"
#include "sendorder.h"
#include "sysmessages.h"
#include "wireformat.h"

#include <QColor>

#include <algorithm>
#include <chrono>

namespace {

constexpr int kClientId = ciManuell;
constexpr int kPumpMinRunning = 11;
constexpr int kPumpMinSetPoint = 50;
constexpr int kPumpScale = 10;

qint64 steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void send(const QString& command, int tag = kManuellTagDefault)
{
    SendOrder(kClientId, command, tag);
}

}  // namespace

int ServoPercent(int position, int closed, int open)
{
    if (open == closed)
        return 0;
    return static_cast<int>(RoundHalfEven(100.0 * (position - closed) / (open - closed)));
}

int ServoTarget(double percent, int closed, int open)
{
    if (closed < open)
        return closed + static_cast<int>(RoundHalfEven(percent * (open - closed) / 100.0));
    return closed - static_cast<int>(RoundHalfEven((closed - open) * percent / 100.0));
}

int WheelTarget(int position, int notches, bool shift, bool ctrl, int closed, int open)
{
    const int step = ctrl ? 20 : shift ? 1 : 5;
    const int target = position - notches * step;
    // Between the end positions whichever way round the valve is mounted.
    return std::clamp(target, std::min(closed, open), std::max(closed, open));
}

int PumpSetPoint(double sliderValue)
{
    int v = static_cast<int>(RoundHalfEven(sliderValue));
    if (v >= kPumpMinRunning && v < kPumpMinSetPoint)
        v = kPumpMinSetPoint;
    return v * kPumpScale;
}

TManuellLogic::TManuellLogic(TAppContext& context, QObject* parent)
    : QObject(parent)
    , FContext(context)
    , FClock(steadyMs)
{
    FView.PumpEnabled = FContext.Online;
}

void TManuellLogic::SetClock(TClock clock)
{
    FClock = clock ? std::move(clock) : TClock(steadyMs);
}

void TManuellLogic::FormShow()
{
    for (TServoView& s : FView.Servo)
        s.SliderEnabled = false;
    FPollDeadline = 0;
    SetOnOffLine(FContext.Online ? 1 : 0);
}

void TManuellLogic::SetOnOffLine(int online)
{
    if (online != 0) {
        send(QStringLiteral("GCS;0"));
        send(QStringLiteral("GCS;1"));
    }
    for (TServoView& s : FView.Servo)
        s.LimitsKnown = false;
    FView.PumpEnabled = online != 0;
    Q_EMIT ViewChanged();
}

void TManuellLogic::TimerEvent()
{
    if (FContext.Online && now() > FPollDeadline) {
        FPollDeadline = now() + kPollIntervalMs;
        send(QStringLiteral("GMW"));
        send(QStringLiteral("GMF"));
        send(QStringLiteral("GMS;0"), kManuellTagServo);
        send(QStringLiteral("GMS;1"), kManuellTagServo);
        send(QStringLiteral("GMP;0"));
    }
    bool changed = false;
    for (TServoView& s : FView.Servo) {
        if (s.SliderEnabled == s.LimitsKnown)
            continue;
        s.SliderEnabled = s.LimitsKnown;
        if (!s.SliderEnabled) {
            s.ClosedText = QStringLiteral("?");
            s.OpenText = QStringLiteral("?");
        }
        changed = true;
    }
    if (changed)
        Q_EMIT ViewChanged();
}

void TManuellLogic::RXData(int status, int, const QString& data)
{
    if (status != kOrderDone)
        return;
    const TAnswerFields f(data);
    const QString word = f.word();
    if (word == QLatin1String("TMW")) {
        const TField<int> setPoint = f.intAt(2);
        if (setPoint.ok()) {
            FView.PumpText = FmtPoint().Format(QStringLiteral("%6d"), {setPoint.Value});
            if (!FView.PumpDragging)
                FView.PumpSlider = setPoint.Value / 10.0;
        }
        const TField<int> speed = f.intAt(3);
        if (speed.ok()) {
            FView.SpeedText = FmtPoint().Format(QStringLiteral("%6d"), {speed.Value});
            FView.PumpLed = speed.Value != 0;
        }
        const TField<int> power = f.intAt(4);
        if (power.ok())
            FView.Power = power.Value;
    } else if (word == QLatin1String("TMS")) {
        onTms(data);
    } else if (word == QLatin1String("TMF")) {
        for (int c = 0; c < 2; ++c) {
            const TField<double> flow = f.floatAt(c + 2);
            if (!flow.ok())
                continue;
            const float value = static_cast<float>(flow.Value);
            FView.Flow[static_cast<size_t>(c)] = value;
            FView.FlowText[static_cast<size_t>(c)] = FmtDisplay().Format(QStringLiteral("%5.4f"), {double(value)});
        }
    } else if (word == QLatin1String("TMP")) {
        const TField<int> vacuum = f.intAt(2);
        if (vacuum.ok()) {
            FView.ReservoirBar = vacuum.Value / 10000.0;
            FView.ReservoirText = FmtDisplay().Format(QStringLiteral("%5.1f"), {vacuum.Value / 10.0});
        }
        const TField<int> flag = f.intAt(3);
        if (flag.ok())
            FView.ReservoirLed = flag.Value == 1;
    } else if (word == QLatin1String("TCS")) {
        onTcs(data);
    } else {
        return;
    }
    Q_EMIT ViewChanged();
}

void TManuellLogic::onTms(const QString& data)
{
    const TAnswerFields f(data);
    const TField<int> valve = f.intAt(2);
    const TField<int> position = f.intAt(3);
    if (!valve.ok() || valve.Value < 0 || valve.Value > 1 || !position.ok())
        return;
    const size_t c = static_cast<size_t>(valve.Value);
    FPosition[c] = position.Value;
    FPositionKnown[c] = true;
    showServo(valve.Value);
}

void TManuellLogic::showServo(int valve)
{
    const size_t c = static_cast<size_t>(valve);
    TServoView& s = FView.Servo[c];
    if (!FPositionKnown[c])
        return;
    s.PositionText = QString::number(FPosition[c]);
    if (!s.Dragging) {
        s.SliderPercent = std::clamp(ServoPercent(FPosition[c], s.Closed, s.Open), 0, 100);
        s.PercentText = QString::number(RoundHalfEven(s.SliderPercent));
    }
}

void TManuellLogic::onTcs(const QString& data)
{
    const TAnswerFields f(data);
    const TField<int> valve = f.intAt(2);
    if (!valve.ok() || valve.Value < 0 || valve.Value > 1)
        return;
    TServoView& s = FView.Servo[static_cast<size_t>(valve.Value)];
    const TField<int> closed = f.intAt(3);
    if (closed.ok()) {
        s.Closed = closed.Value;
        s.ClosedText = QString::number(closed.Value);
    }
    const TField<int> open = f.intAt(4);
    if (!open.ok()) {
        ShowSysMessageColor(FmtDisplay().Format(Tr("TSS: Ungültiger Max-Wert Kanal %d"), {valve.Value}), Qt::red);
        return;
    }
    s.Open = open.Value;
    s.OpenText = QString::number(open.Value);
    s.LimitsKnown = closed.ok();
    showServo(valve.Value);
}

void TManuellLogic::PumpPressed()
{
    FView.PumpDragging = true;
}

void TManuellLogic::PumpReleased(double value)
{
    FView.PumpDragging = false;
    FView.PumpSlider = value;
    if (FContext.Online)
        send(QStringLiteral("SMW;%1").arg(PumpSetPoint(value)));
    Q_EMIT ViewChanged();
}

void TManuellLogic::ServoPressed(int valve)
{
    if (valve >= 0 && valve < 2)
        FView.Servo[static_cast<size_t>(valve)].Dragging = true;
}

void TManuellLogic::ServoReleased(int valve, double percent)
{
    if (valve < 0 || valve > 1)
        return;
    TServoView& s = FView.Servo[static_cast<size_t>(valve)];
    s.Dragging = false;
    s.SliderPercent = percent;
    if (FContext.Online)
        send(QStringLiteral("SMS;%1;%2").arg(valve).arg(ServoTarget(percent, s.Closed, s.Open)));
    Q_EMIT ViewChanged();
}

void TManuellLogic::ServoWheel(int valve, int notches, bool shift, bool ctrl)
{
    if (valve < 0 || valve > 1 || notches == 0 || !FContext.Online)
        return;
    const size_t c = static_cast<size_t>(valve);
    const TServoView& s = FView.Servo[c];
    bool ok = false;
    const int position = s.PositionText.trimmed().toInt(&ok);
    if (!ok)
        return;
    send(QStringLiteral("SMS;%1;%2").arg(valve).arg(WheelTarget(position, notches, shift, ctrl, s.Closed, s.Open)));
}

void TManuellLogic::btnStopClick()
{
    if (FContext.Online)
        send(QStringLiteral("SMW;%1").arg(0));
}
