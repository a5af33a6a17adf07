#include "devicemodel.h"

#include "recordstore.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kBatteryPumpDrainPerS = 100.0 / (12 * 3600.0);   // a full pack pumps 12 hours
constexpr double kBatteryIdleDrainPerS = 100.0 / (72 * 3600.0);
constexpr double kFlowNoise = 0.004;   // relative
constexpr double kDisturbedFlowShare = 0.1;  // what a blocked channel without monitoring still draws
constexpr double kClimateStepS = 1.0;

const char* const kLanguageNames[kMaxLanguages] = {
    "English", "Deutsch", "Fran\u00e7ais", "Espa\u00f1ol", "Italiano", "Nederlands", "Polski", "Portugu\u00eas",
};

TSimChannelSet channel(int flags, int flow, int volume, int delay, int setTime)
{
    TSimChannelSet set;
    ApplyChannelFlags(set, flags);
    set.iFlow = flow;
    set.iVolume = volume;
    set.iDelay = delay;
    set.iSetTime = setTime;
    return set;
}

// Plausible factory presets; 5 runs in interval mode with flow monitoring, 10 is a quick one.
void fillPresets(std::array<TSimPreset, kPresetCount>& presets)
{
    presets[0] = {QStringLiteral("Innenraum"), 60, {channel(17, 150, 1200, 0, 0), channel(17, 100, 600, 0, 0)}};
    presets[1] = {QStringLiteral("Arbeitsplatz 8h"), 120, {channel(21, 100, 4800, 0, 0), channel(21, 50, 2400, 0, 0)}};
    presets[2] = {QStringLiteral("Aussenluft"), 60, {channel(18, 190, 2280, 300, 0), channel(0, 0, 0, 0, 0)}};
    presets[3] = {QStringLiteral("Schimmelpilz"), 30, {channel(16, 100, 1000, 0, 0), channel(16, 100, 1000, 0, 0)}};
    presets[4] = {QStringLiteral("Intervall 8h"), 240, {channel(29, 100, 2400, 0, 480), channel(29, 100, 2400, 0, 480)}};
    presets[5] = {QStringLiteral("Kanal 2 allein"), 60, {channel(0, 0, 0, 0, 0), channel(17, 120, 720, 0, 0)}};
    presets[6] = {QStringLiteral("Verzoegert 10 min"), 60, {channel(17, 150, 900, 600, 0), channel(17, 150, 900, 600, 0)}};
    presets[7] = {QStringLiteral("Asbest"), 120, {channel(16, 190, 5700, 0, 0), channel(16, 190, 5700, 0, 0)}};
    presets[8] = {QStringLiteral("Staub 2h"), 60, {channel(21, 180, 2160, 0, 0), channel(21, 180, 2160, 0, 0)}};
    presets[9] = {QStringLiteral("Kurztest"), 10, {channel(17, 100, 10, 0, 0), channel(17, 50, 5, 10, 0)}};
}

}  // namespace

int ChannelFlags(const TSimChannelSet& set)
{
    return set.iVolType + (set.bFlowMonitor ? 4 : 0) + (set.bIntervalMode ? 8 : 0) + (set.bActive ? 16 : 0);
}

bool ApplyChannelFlags(TSimChannelSet& set, int flags)
{
    // Bit 7 is the program's "as received" marker; the device ignores it on a write.
    if (flags < 0 || (flags & ~(0x1F | 0x80)) != 0 || (flags & 3) == 3)
        return false;
    set.iVolType = flags & 3;
    set.bFlowMonitor = (flags & 4) != 0;
    set.bIntervalMode = (flags & 8) != 0;
    set.bActive = (flags & 16) != 0;
    return true;
}

bool IsValidFirmware(const QString& firmware)
{
    static const QRegularExpression re(QStringLiteral("^\\d{1,3}\\.\\d{1,2}(\\.\\d{1,2})?$"));
    return re.match(firmware).hasMatch();
}

int FirmwareNumber(const QString& firmware)
{
    if (!IsValidFirmware(firmware))
        return 0;
    const QStringList parts = firmware.split(QLatin1Char('.'));
    const int build = parts.size() > 2 ? parts.at(2).toInt() : -1;
    return parts.at(0).toInt() * 10000 + parts.at(1).toInt() * 100 + build;
}

TDeviceModel::TDeviceModel(const TSimIdentity& identity, quint32 seed, const QDateTime& clockStart)
    : FIdentity(identity), FClockStart(clockStart), FRandom(seed)
{
    FIdentity.iLanguages = std::clamp(FIdentity.iLanguages, 1, kMaxLanguages);
    FParams.iLanguage = std::min(FParams.iLanguage, FIdentity.iLanguages - 1);
    fillPresets(FPresets);
    FBackupCheckDate = clockStart.date().addMonths(-3);
}

double TDeviceModel::noise(double sigma)
{
    std::normal_distribution<double> dist(0.0, sigma);
    return dist(FRandom);
}

QDateTime TDeviceModel::deviceClock() const
{
    return FClockStart.addMSecs(static_cast<qint64>(FClockMs));
}

void TDeviceModel::setDeviceDate(const QDate& date)
{
    const QDateTime now = deviceClock();
    FClockStart = QDateTime(date, now.time()).addMSecs(-static_cast<qint64>(FClockMs));
}

void TDeviceModel::setDeviceTime(const QTime& time)
{
    const QDateTime now = deviceClock();
    FClockStart = QDateTime(now.date(), time).addMSecs(-static_cast<qint64>(FClockMs));
}

QString TDeviceModel::languageName(int index) const
{
    if (index < 0 || index >= FIdentity.iLanguages)
        return {};
    return QString::fromUtf8(kLanguageNames[index]);
}

int TDeviceModel::batteryLevel() const
{
    return std::clamp(static_cast<int>((FBatteryPercent + 10.0) / 20.0), 0, 5);
}

double TDeviceModel::batteryVoltage() const
{
    // Two lithium cells: 6.4 V empty, 8.4 V full.
    return 6.4 + 2.0 * FBatteryPercent / 100.0;
}

void TDeviceModel::checkBackupBattery()
{
    FBackupVoltage = std::max(2.0, FBackupVoltage - 0.01 + noise(0.003));
    FBackupCheckDate = deviceClock().date();
}

void TDeviceModel::noteActivity()
{
    FIdleS = 0.0;
    FRun.bEnded = false;
    if (FDeviceState == kDevStandby)
        FDeviceState = kDevReady;
}

int TDeviceModel::startRun(int preset)
{
    if (!isOn() || FDeviceState == kDevSwitchingOff)
        return 4;
    if (preset < 1 || preset > kPresetCount)
        return 1;
    if (FDeviceState == kDevSampling)
        return 2;
    const TSimPreset& p = FPresets[preset - 1];
    if (!p.aSet[0].bActive && !p.aSet[1].bActive)
        return 3;
    noteActivity();
    FRun = TSimRun{};
    FRun.iPreset = preset;
    FRun.Preset = p;
    for (int c = 0; c < 2; ++c) {
        TSimChannelRun& ch = FRun.aChannel[c];
        const TSimChannelSet& set = p.aSet[c];
        ch.iVolType = set.iVolType;
        if (!set.bActive)
            ch.iState = kChInactive;
        else
            ch.iState = set.iDelay > 0 ? kChWaiting : kChActive;
    }
    ++FRunCount;
    FDeviceState = kDevSampling;
    SimRecordsRunStarted(*this);
    endRunIfDone();
    return 0;
}

bool TDeviceModel::stopRun()
{
    if (FDeviceState != kDevSampling)
        return false;
    for (TSimChannelRun& ch : FRun.aChannel) {
        if (ch.iState == kChWaiting || ch.iState == kChActive || ch.iState == kChIntervalPause)
            ch.iState = kChAborted;
        ch.fFlow = 0.0;
    }
    FDeviceState = kDevReady;
    SimRecordsRunEnded(*this);
    noteActivity();
    FRun.bEnded = true;
    return true;
}

void TDeviceModel::requestSwitchOff()
{
    if (!isOn())
        return;
    stopRun();
    FDeviceState = kDevSwitchingOff;
}

void TDeviceModel::powerOff()
{
    for (TSimChannelRun& ch : FRun.aChannel)
        ch.fFlow = 0.0;
    FDeviceState = kDevOff;
}

void TDeviceModel::powerOn()
{
    if (isOn())
        return;
    FDeviceState = kDevReady;
    FRun.aChannel = {};
    FIdleS = 0.0;
    FRun.bEnded = false;
}

void TDeviceModel::advance(double simMs)
{
    if (simMs <= 0.0)
        return;
    FClockMs += simMs;
    if (!isOn())
        return;
    double dtS = simMs / 1000.0;
    // Large steps (a fast clock) are cut so that channel ends land close to their set point.
    while (dtS > 0.0) {
        const double step = std::min(dtS, 1.0);
        dtS -= step;
        if (FDeviceState == kDevSampling)
            advanceRun(step);
        else
            advanceIdle(step);
        advanceClimate(step);
    }
}

void TDeviceModel::advanceIdle(double dtS)
{
    FBatteryPercent = std::max(0.0, FBatteryPercent - kBatteryIdleDrainPerS * dtS);
    if (FDeviceState != kDevReady && FDeviceState != kDevStandby)
        return;
    FIdleS += dtS;
    if (FDeviceState == kDevReady && FParams.iStandby > 0 && FIdleS >= FParams.iStandby * 60.0)
        FDeviceState = kDevStandby;
    // Automatic switch-off: quiet time, or the longer time after a finished run or an alarm.
    static constexpr int kRestMin[] = {0, 10, 30, 60};
    static constexpr int kDoneMin[] = {0, 30, 60, 60};
    if (FParams.iSwitchOff > 0 && FParams.iSwitchOff <= 3) {
        const bool doneOrAlarm = FRun.bEnded || FAlarmCode != 0 || FErrorWord1 != 0;
        const int limitMin = doneOrAlarm ? kDoneMin[FParams.iSwitchOff] : kRestMin[FParams.iSwitchOff];
        if (FIdleS >= limitMin * 60.0)
            FDeviceState = kDevSwitchingOff;
    }
}

void TDeviceModel::advanceRun(double dtS)
{
    FRun.fElapsedS += dtS;
    bool pumping = false;
    for (int c = 0; c < 2; ++c) {
        advanceChannel(c, dtS);
        pumping = pumping || FRun.aChannel[c].iState == kChActive;
    }
    SimRecordsRunTick(*this, dtS);
    if (pumping) {
        FTotalRunS += dtS;
        FBatteryPercent = std::max(0.0, FBatteryPercent - kBatteryPumpDrainPerS * dtS);
        if (FBatteryPercent <= 0.0) {
            FErrorWord1 |= 1 << 14;  // "Akku entladen": the pump cannot go on
            stopRun();
            return;
        }
    }
    endRunIfDone();
}

void TDeviceModel::advanceChannel(int c, double dtS)
{
    TSimChannelRun& ch = FRun.aChannel[c];
    const TSimChannelSet& set = FRun.Preset.aSet[c];
    const int channelError = c == 0 ? FErrorWord2 : FErrorWord3;
    const bool blocked = FAlarmCode == 2 || FAlarmCode == 3 || channelError != 0;
    if (ch.iState == kChWaiting) {
        if (FRun.fElapsedS < set.iDelay)
            return;
        ch.iState = kChActive;
    }
    if (ch.iState != kChActive && ch.iState != kChIntervalPause)
        return;
    if (blocked && (set.bFlowMonitor || channelError != 0)) {
        // Flow monitoring ends a channel whose flow has broken down.
        ch.iState = kChDisturbed;
        ch.fFlow = 0.0;
        return;
    }
    ch.fElapsedS += dtS;
    const double setFlow = set.iFlow / 100.0;
    const double setVolume = set.iVolume / 10.0;
    bool pump = true;
    if (set.bIntervalMode) {
        const double totalS = set.iSetTime * 60.0;
        if (ch.fElapsedS >= totalS) {
            ch.iState = kChFinished;
            ch.fFlow = 0.0;
            return;
        }
        const double pumpTotalS = setFlow > 0.0 ? setVolume / setFlow * 60.0 : 0.0;
        if (pumpTotalS < totalS) {
            const int intervals = std::max(1, FParams.iMaxIntervals);
            const double cycleS = totalS / intervals;
            const double pumpPerCycleS = pumpTotalS / intervals;
            pump = std::fmod(ch.fElapsedS, cycleS) < pumpPerCycleS;
        }
    } else if (setFlow <= 0.0 || ch.fVolume >= setVolume) {
        ch.iState = kChFinished;
        ch.fFlow = 0.0;
        return;
    }
    if (!pump) {
        ch.iState = kChIntervalPause;
        ch.fFlow = 0.0;
        return;
    }
    ch.iState = kChActive;
    double flow = setFlow * (1.0 + noise(kFlowNoise));
    if (blocked)
        flow *= kDisturbedFlowShare;
    ch.fFlow = std::max(0.0, flow);
    double dv = ch.fFlow * dtS / 60.0;
    if (!set.bIntervalMode && ch.fVolume + dv >= setVolume) {
        dv = setVolume - ch.fVolume;
        ch.fVolume = setVolume;
        ch.iState = kChFinished;
        ch.fFlow = 0.0;
    } else {
        ch.fVolume += dv;
    }
    ch.fPumpedS += dtS;
    FTotalVolume += dv;
}

void TDeviceModel::endRunIfDone()
{
    for (const TSimChannelRun& ch : FRun.aChannel) {
        if (ch.iState == kChWaiting || ch.iState == kChActive || ch.iState == kChIntervalPause)
            return;
    }
    if (FDeviceState == kDevSampling)
        SimRecordsRunEnded(*this);
    FDeviceState = kDevReady;
    FIdleS = 0.0;
    FRun.bEnded = true;
}

void TDeviceModel::advanceClimate(double dtS)
{
    // A slow random walk pulled back towards room conditions.
    const double k = std::min(1.0, dtS / kClimateStepS);
    FTemperature += k * (0.02 * (21.5 - FTemperature) + noise(0.03));
    FHumidity = std::clamp(FHumidity + k * (0.02 * (45.0 - FHumidity) + noise(0.1)), 5.0, 95.0);
    FPressure += k * (0.01 * (1013.2 - FPressure) + noise(0.05));
}
