#pragma once
// Inner state of the virtual Sarvik2V2: identity, status, presets, parameters, clock and the run.
// Not thread-safe; TVirtualSarvik touches it only from its own thread.

#include "calibrationstate.h"
#include "counterstate.h"
#include "servicestate.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <random>

class TSimRecordStore;

// Device state codes as the status answer reports them.
constexpr int kDevOff = 0;  // internal only: the device is off the bus then
constexpr int kDevReady = 4;
constexpr int kDevSampling = 8;
constexpr int kDevStandby = 16;
constexpr int kDevSwitchingOff = 64;

// Channel state codes.
constexpr int kChInactive = 1;
constexpr int kChWaiting = 2;
constexpr int kChActive = 3;
constexpr int kChIntervalPause = 4;
constexpr int kChFinished = 6;
constexpr int kChDisturbed = 7;
constexpr int kChAborted = 8;

constexpr int kPresetCount = 10;
constexpr int kMaxLanguages = 8;

// One channel of a stored preset, kept in the wire's integer scaling so nothing is lost in transit.
struct TSimChannelSet {
    bool bActive = false;
    int iFlow = 0;    // l/min x 100
    int iVolume = 0;  // litres x 10
    int iDelay = 0;   // seconds
    int iSetTime = 0; // minutes, interval mode
    bool bIntervalMode = false;
    bool bFlowMonitor = false;
    int iVolType = 0;  // 0 NL, 1 SL, 2 L
};

struct TSimPreset {
    QString strBez;
    int iLoginterv = 0;
    std::array<TSimChannelSet, 2> aSet;
};

int ChannelFlags(const TSimChannelSet& set);
// False when the flags carry bits the device does not know or volume type 3.
bool ApplyChannelFlags(TSimChannelSet& set, int flags);

struct TSimIdentity {
    QString strSerial = QStringLiteral("SV2000123");
    QString strFirmware = QStringLiteral("3.6.0");
    QString strHardware = QStringLiteral("2.1");
    int iJumpers = 0;
    int iVariants = 0;
    int iLanguages = 3;
};

// major x 10000 + minor x 100 + build (build -1 when missing), as the program compares versions.
int FirmwareNumber(const QString& firmware);
bool IsValidFirmware(const QString& firmware);

struct TSimParams {
    int iBrightness = 7;
    int iLanguage = 1;
    int iSwitchOff = 0;
    int iPresetCount = kPresetCount;
    int iMaxIntervals = 10;
    int iTouchVolume = 5;
    int iSignalVolume = 7;
    int iEndTone = 1;
    int iAlarmTone = 1;
    int iStandby = 5;  // minutes, 0 = never
    int iBatteryWarn = 1;
    int iDaylight = 0;
    int iDateFormat = 1;
    int iTimeFormat = 1;
    double fSLTemp = 20.0;
    double fSLPressure = 1013.0;
};

struct TSimChannelRun {
    int iState = kChInactive;
    double fFlow = 0.0;    // current flow in the preset's volume type
    double fVolume = 0.0;  // sampled volume
    double fElapsedS = 0.0;  // since the end of the start delay
    double fPumpedS = 0.0;
    int iVolType = 0;
};

struct TSimRun {
    int iPreset = 0;  // preset of the current or last run, 0 = none yet
    TSimPreset Preset;  // its settings as they were at the start; a later write does not change the run
    double fElapsedS = 0.0;
    bool bEnded = false;  // a run has ended since the last activity (for the switch-off timer)
    std::array<TSimChannelRun, 2> aChannel;
};

// Restart into the bootloader asked for by SAR (family_bootloader.cpp); the device carries it
// out once the answer has left.
struct TSimRestart {
    int answerCode = 0;           // SAR's answer; -1 restarts without answering
    bool pending = false;
    bool suppressAnswer = false;  // the command just handled gets no answer
};

class TDeviceModel {
public:
    TDeviceModel(const TSimIdentity& identity, quint32 seed, const QDateTime& clockStart);

    // Moves the device forward by simMs of its own clock.
    void advance(double simMs);

    QDateTime deviceClock() const;
    void setDeviceDate(const QDate& date);
    void setDeviceTime(const QTime& time);

    // 0 when the run started; 1 unknown preset, 2 already sampling, 3 no channel to run, 4 off.
    int startRun(int preset);
    // False when no run was going on (the device answers the stop anyway).
    bool stopRun();
    // Shows "Ausschaltvorgang"; the owner takes the device off the bus after a moment.
    void requestSwitchOff();
    bool switchOffPending() const { return FDeviceState == kDevSwitchingOff; }
    void powerOff();
    void powerOn();
    bool isOn() const { return FDeviceState != kDevOff; }

    // A set command or an operation on the display: wakes the device from standby.
    void noteActivity();

    int deviceState() const { return FDeviceState; }
    int batteryLevel() const;
    double batteryVoltage() const;
    QString languageName(int index) const;
    bool hasDaylightSaving() const { return FirmwareNumber(FIdentity.strFirmware) >= 30600; }
    // Backup battery check: measures again and dates the check with today's device date.
    void checkBackupBattery();

    TSimIdentity FIdentity;
    TSimParams FParams;
    TSimRestart FRestart;
    std::array<TSimPreset, kPresetCount> FPresets;
    TSimRun FRun;

    int FErrorWord1 = 0;
    int FErrorWord2 = 0;
    int FErrorWord3 = 0;
    int FAlarmCode = 0;

    double FBatteryPercent = 92.0;
    double FBackupVoltage = 3.04;
    QDate FBackupCheckDate;
    double FTemperature = 21.5;
    double FHumidity = 45.0;
    double FPressure = 1013.2;
    double FTotalRunS = 0.0;     // pump hours of the device's life
    double FTotalVolume = 0.0;   // litres of the device's life
    int FRunCount = 0;
    // Sample records and logs (recordstore.h), made on first use.
    std::shared_ptr<TSimRecordStore> FRecords;

    TSimCalibration FCalibration;
    TSimServo FServo;
    TSimCounters FCounters;
    TSimService FService;

private:
    void advanceRun(double dtS);
    void advanceChannel(int c, double dtS);
    void advanceClimate(double dtS);
    void advanceIdle(double dtS);
    void endRunIfDone();
    double noise(double sigma);

    int FDeviceState = kDevReady;
    double FClockMs = 0.0;     // device clock since clockStart
    QDateTime FClockStart;
    double FIdleS = 0.0;       // seconds without activity
    std::mt19937 FRandom;
};
