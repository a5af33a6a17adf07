// Device parameters: every GS../SS.. pair answers TS.. with the stored value (after a set, the new
// one); the display language names come with GIL.

#include "commandtable.h"
#include "devicemodel.h"
#include "families.h"

#include <cmath>

namespace {

// In the paired volume and tone commands this value leaves the other half as it is.
constexpr int kUnchanged = 99;

struct TIntParameter {
    const char* letter;  // second letter after "GS"/"SS"
    int TSimParams::*field;
    int low;
    int high;  // -1: the number of display languages minus one
};

const TIntParameter kIntParameters[] = {
    {"B", &TSimParams::iBrightness, 0, 10},
    {"L", &TSimParams::iLanguage, 0, -1},
    {"O", &TSimParams::iSwitchOff, 0, 3},
    {"M", &TSimParams::iPresetCount, 1, kPresetCount},
    {"J", &TSimParams::iMaxIntervals, 2, 50},
    {"R", &TSimParams::iStandby, 0, 15},
    {"W", &TSimParams::iBatteryWarn, 0, 1},
    {"X", &TSimParams::iDaylight, 0, 1},
    {"Y", &TSimParams::iDateFormat, 0, 1},
    {"Z", &TSimParams::iTimeFormat, 0, 1},
};

struct TPairParameter {
    const char* letter;
    int TSimParams::*first;
    int TSimParams::*second;
    int high;
};

const TPairParameter kPairParameters[] = {
    {"V", &TSimParams::iTouchVolume, &TSimParams::iSignalVolume, 10},
    {"S", &TSimParams::iEndTone, &TSimParams::iAlarmTone, 1},
};

struct TDecimalParameter {
    const char* letter;
    double TSimParams::*field;
    double low;
    double high;
};

const TDecimalParameter kDecimalParameters[] = {
    {"E", &TSimParams::fSLTemp, -20.0, 80.0},
    {"F", &TSimParams::fSLPressure, 800.0, 1100.0},
};

QString word(const char* prefix, const char* letter)
{
    return QLatin1String(prefix) + QLatin1String(letter);
}

// Daylight saving time exists only from firmware 3.6.0 on; older devices do not know GSX/SSX.
bool known(const TDeviceModel& m, const char* letter)
{
    return letter[0] != 'X' || m.hasDaylightSaving();
}

bool readPairHalf(const QStringList& p, int index, int high, int& value)
{
    int v = 0;
    if (!IntParam(p, index, v))
        return false;
    if (v == kUnchanged)
        return true;
    if (v < 0 || v > high)
        return false;
    value = v;
    return true;
}

}  // namespace

void RegisterParameterCommands(TCommandTable& table)
{
    for (const TIntParameter& par : kIntParameters) {
        const auto get = [par](TDeviceModel& m, const QStringList&) {
            if (!known(m, par.letter))
                return QStringList{};
            return QStringList{QString::number(m.FParams.*par.field)};
        };
        table.add(word("GS", par.letter), get);
        table.add(word("SS", par.letter), [par, get](TDeviceModel& m, const QStringList& p) {
            const int high = par.high < 0 ? m.FIdentity.iLanguages - 1 : par.high;
            int v = 0;
            if (!known(m, par.letter) || !IntParamIn(p, 0, par.low, high, v))
                return QStringList{};
            m.FParams.*par.field = v;
            return get(m, p);
        });
    }
    for (const TPairParameter& par : kPairParameters) {
        const auto get = [par](TDeviceModel& m, const QStringList&) {
            return QStringList{QString::number(m.FParams.*par.first), QString::number(m.FParams.*par.second)};
        };
        table.add(word("GS", par.letter), get);
        table.add(word("SS", par.letter), [par, get](TDeviceModel& m, const QStringList& p) {
            int first = m.FParams.*par.first;
            int second = m.FParams.*par.second;
            if (!readPairHalf(p, 0, par.high, first) || !readPairHalf(p, 1, par.high, second))
                return QStringList{};
            m.FParams.*par.first = first;
            m.FParams.*par.second = second;
            return get(m, p);
        });
    }
    for (const TDecimalParameter& par : kDecimalParameters) {
        const auto get = [par](TDeviceModel& m, const QStringList&) {
            return QStringList{FormatDecimal(m.FParams.*par.field, 1)};
        };
        table.add(word("GS", par.letter), get);
        table.add(word("SS", par.letter), [par, get](TDeviceModel& m, const QStringList& p) {
            bool ok = false;
            const double v = p.isEmpty() ? 0.0 : p.at(0).trimmed().toDouble(&ok);
            // Written as a comparison that NaN fails.
            if (!ok || !(v >= par.low && v <= par.high))
                return QStringList{};
            m.FParams.*par.field = std::round(v * 10.0) / 10.0;
            return get(m, p);
        });
    }

    const auto getDate = [](TDeviceModel& m, const QStringList&) {
        return QStringList{m.deviceClock().date().toString(QStringLiteral("dd.MM.yyyy"))};
    };
    table.add(QStringLiteral("GSD"), getDate);
    table.add(QStringLiteral("SSD"), [getDate](TDeviceModel& m, const QStringList& p) {
        const QDate date = p.isEmpty() ? QDate() : QDate::fromString(p.at(0), QStringLiteral("d.M.yyyy"));
        if (!date.isValid())
            return QStringList{};
        m.setDeviceDate(date);
        return getDate(m, p);
    });
    const auto getTime = [](TDeviceModel& m, const QStringList&) {
        return QStringList{m.deviceClock().time().toString(QStringLiteral("HH:mm:ss"))};
    };
    table.add(QStringLiteral("GST"), getTime);
    table.add(QStringLiteral("SST"), [getTime](TDeviceModel& m, const QStringList& p) {
        const QTime time = p.isEmpty() ? QTime() : QTime::fromString(p.at(0), QStringLiteral("H:m:s"));
        if (!time.isValid())
            return QStringList{};
        m.setDeviceTime(time);
        return getTime(m, p);
    });

    table.add(QStringLiteral("GIL"), [](TDeviceModel& m, const QStringList& p) {
        int i = 0;
        if (!IntParamIn(p, 0, 0, m.FIdentity.iLanguages - 1, i))
            return QStringList{};
        return QStringList{QString::number(i), m.languageName(i)};
    });
}
