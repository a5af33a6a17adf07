#include "paramset.h"

#include "devicemodel.h"

namespace {

const QString kDefaultSet = QStringLiteral("default");
const QString kSecondSet = QStringLiteral("second");

// Each value differs from its default in TSimParams and lies in the device's range.
TSimParams secondParams()
{
    TSimParams p;
    p.iBrightness = 3;
    p.iLanguage = 0;
    p.iSwitchOff = 2;
    p.iPresetCount = 6;
    p.iMaxIntervals = 25;
    p.iTouchVolume = 2;
    p.iSignalVolume = 9;
    p.iEndTone = 0;
    p.iAlarmTone = 0;
    p.iStandby = 12;
    p.iBatteryWarn = 0;
    p.iDaylight = 1;
    p.iDateFormat = 0;
    p.iTimeFormat = 0;
    p.fSLTemp = 25.5;
    p.fSLPressure = 950.5;
    return p;
}

}  // namespace

QStringList ParameterSetNames()
{
    return {kDefaultSet, kSecondSet};
}

bool ApplyParameterSet(TDeviceModel& model, const QString& name)
{
    QDateTime clock;
    if (name == kDefaultSet) {
        model.FParams = TSimParams{};
        clock = QDateTime::currentDateTime();
    } else if (name == kSecondSet) {
        model.FParams = secondParams();
        clock = QDateTime(QDate(2020, 1, 15), QTime(4, 5, 6));
    } else {
        return false;
    }
    model.setDeviceDate(clock.date());
    model.setDeviceTime(clock.time());
    return true;
}
