// Identity and status answers, plus the backup battery check whose result TIB carries.

#include "commandtable.h"
#include "devicemodel.h"
#include "families.h"

#include <cmath>

namespace {

constexpr int kPumpCurrentMa = 380;
constexpr int kIdleCurrentMa = 45;

QString runTimeText(double seconds)
{
    const qint64 minutes = static_cast<qint64>(seconds / 60.0);
    return QStringLiteral("%1:%2").arg(minutes / 60, 4, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

bool pumping(const TDeviceModel& m)
{
    for (const TSimChannelRun& ch : m.FRun.aChannel) {
        if (ch.iState == kChActive)
            return true;
    }
    return false;
}

}  // namespace

void RegisterStatusCommands(TCommandTable& table)
{
    table.add(QStringLiteral("GIN"), [](TDeviceModel& m, const QStringList&) {
        return QStringList{m.FIdentity.strSerial};
    });
    // Field 2 is the device type, which the program does not read.
    table.add(QStringLiteral("GID"), [](TDeviceModel& m, const QStringList&) {
        const TSimIdentity& id = m.FIdentity;
        return QStringList{QStringLiteral("1"), id.strFirmware, id.strHardware, QString::number(id.iJumpers),
                           QString::number(id.iLanguages), QString::number(id.iVariants)};
    });
    table.add(QStringLiteral("GIS"), [](TDeviceModel& m, const QStringList&) {
        return QStringList{QString::number(m.deviceState()), QString::number(m.FErrorWord1),
                           QString::number(m.FErrorWord2), QString::number(m.FErrorWord3),
                           QString::number(m.FAlarmCode), QString::number(m.FRun.aChannel[0].iState),
                           QString::number(m.FRun.aChannel[1].iState)};
    });
    // Fields 3 and 4 (number of runs, operating hours) are not read by the program.
    table.add(QStringLiteral("GIO"), [](TDeviceModel& m, const QStringList&) {
        return QStringList{runTimeText(m.FTotalRunS), QString::number(m.FRunCount),
                           QString::number(static_cast<int>(m.FTotalRunS / 3600.0)),
                           QString::number(static_cast<qint64>(std::floor(m.FTotalVolume)))};
    });
    // voltage; current (mA); level 0-5; percent; charging; backup battery voltage; its last check.
    table.add(QStringLiteral("GIB"), [](TDeviceModel& m, const QStringList&) {
        return QStringList{FormatDecimal(m.batteryVoltage(), 2),
                           QString::number(pumping(m) ? kPumpCurrentMa : kIdleCurrentMa),
                           QString::number(m.batteryLevel()),
                           QString::number(static_cast<int>(std::lround(m.FBatteryPercent))), QStringLiteral("0"),
                           FormatDecimal(m.FBackupVoltage, 2),
                           m.FBackupCheckDate.toString(QStringLiteral("dd.MM.yyyy"))};
    });
    // Sensor kind 0: temperature and humidity; pressure flag 1: the barometer is fitted.
    table.add(QStringLiteral("GIE"), [](TDeviceModel& m, const QStringList&) {
        return QStringList{QStringLiteral("0"), FormatDecimal(m.FTemperature, 1), QStringLiteral("\u00b0C"),
                           FormatDecimal(m.FHumidity, 1), QStringLiteral("%rF"), QStringLiteral("1"),
                           FormatDecimal(m.FPressure, 1)};
    });
    table.add(QStringLiteral("SAB"), [](TDeviceModel& m, const QStringList&) {
        m.checkBackupBattery();
        return QStringList{QStringLiteral("0")};
    });
}

void RegisterAllCommands(TCommandTable& table)
{
    RegisterStatusCommands(table);
    RegisterSamplingCommands(table);
    RegisterPresetCommands(table);
    RegisterParameterCommands(table);
    RegisterRecordCommands(table);
    RegisterCalibrationCommands(table);
    RegisterServoCommands(table);
    RegisterMemoryCommands(table);
    RegisterManualCommands(table);
    RegisterCounterCommands(table);
    RegisterServiceCommands(table);
    RegisterBootloaderCommands(table);
}
