// Servo end positions of the control valves (GCS/SCS), shared by adjustment and manual control.

#include "commandtable.h"
#include "devicemodel.h"
#include "families.h"

namespace {

constexpr int kMaxServoPosition = 4095;

QStringList servoAnswer(const TDeviceModel& m, int c)
{
    const size_t i = static_cast<size_t>(c);
    return {QString::number(c), QString::number(m.FServo.iClosed[i]), QString::number(m.FServo.iOpen[i])};
}

}  // namespace

void RegisterServoCommands(TCommandTable& table)
{
    // GCS;c -> TCS;c;closed;open
    table.add(QStringLiteral("GCS"), [](TDeviceModel& m, const QStringList& p) {
        int c = 0;
        if (p.size() != 1 || !IntParamIn(p, 0, 0, 1, c))
            return QStringList{};
        return servoAnswer(m, c);
    });
    // SCS;c;closed;open
    table.add(QStringLiteral("SCS"), [](TDeviceModel& m, const QStringList& p) {
        int c = 0;
        int closed = 0;
        int open = 0;
        if (p.size() != 3 || !IntParamIn(p, 0, 0, 1, c) || !IntParamIn(p, 1, 0, kMaxServoPosition, closed)
            || !IntParamIn(p, 2, 0, kMaxServoPosition, open))
            return QStringList{};
        m.FServo.iClosed[static_cast<size_t>(c)] = closed;
        m.FServo.iOpen[static_cast<size_t>(c)] = open;
        m.noteActivity();
        return servoAnswer(m, c);
    });
}
