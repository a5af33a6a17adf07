// Sampling control: start, stop, switch off, live channel values.

#include "commandtable.h"
#include "devicemodel.h"
#include "families.h"

namespace {

// The switch-off code pair that guards against a stray command.
constexpr int kSwitchOffCode1 = 428;
constexpr int kSwitchOffCode2 = 617;
constexpr int kSwitchOffRefused = 1;

}  // namespace

void RegisterSamplingCommands(TCommandTable& table)
{
    // 0 = started; otherwise the reason from TDeviceModel::startRun.
    table.add(QStringLiteral("SAS"), [](TDeviceModel& m, const QStringList& p) {
        int preset = 0;
        const int result = IntParam(p, 0, preset) ? m.startRun(preset) : 1;
        return QStringList{QString::number(result)};
    });
    // 0 = stopped, 1 = there was no run to stop.
    table.add(QStringLiteral("SAH"), [](TDeviceModel& m, const QStringList&) {
        return QStringList{m.stopRun() ? QStringLiteral("0") : QStringLiteral("1")};
    });
    table.add(QStringLiteral("SAO"), [](TDeviceModel& m, const QStringList& p) {
        int a = 0;
        int b = 0;
        if (p.size() == 2 && IntParam(p, 0, a) && IntParam(p, 1, b) && a == kSwitchOffCode1 && b == kSwitchOffCode2) {
            m.requestSwitchOff();
            return QStringList{QStringLiteral("0")};
        }
        return QStringList{QString::number(kSwitchOffRefused)};
    });
    table.add(QStringLiteral("GMQ"), [](TDeviceModel& m, const QStringList&) {
        QStringList fields;
        for (const TSimChannelRun& ch : m.FRun.aChannel) {
            fields << FormatDecimal(ch.fFlow, 2) << FormatDecimal(ch.fVolume, 2) << QString::number(ch.iVolType);
        }
        return fields;
    });
}
