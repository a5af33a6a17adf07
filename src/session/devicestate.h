#pragma once
// Device values shared by all windows; written only by the main window's status polling.

#include <QString>

#include <array>
#include <cstdint>

// DeviceFeatures bits, derived from the firmware version and the variants.
enum TDeviceFeature : std::uint8_t {
    dfFlow2l = 1,            // variant 2: 2 l/min pump
    dfDiffPressure = 2,      // firmware after 3.2.99
    dfExtraBarometer = 4,    // firmware after 3.2.99
    dfServiceCounters = 8,   // firmware after 3.3.99
    dfDaylightSaving = 16,   // firmware after 3.5.99
};

struct TDeviceState {
    QString SerialNo;
    int FirmwareMajor = 0;
    int FirmwareMinor = 0;
    int FirmwareBuild = 0;  // -1 when the device sends no build number
    QString FirmwareText;
    QString HardwareVersion;
    std::array<bool, 2> Jumper{};
    std::array<bool, 6> Variant{};  // variant 1 .. 6 at index 0 .. 5
    int LanguageCount = 0;
    std::uint8_t DeviceFeatures = 0;
    int DeviceState = 0;
    int ErrorWord1 = 0;
    int ErrorWord2 = 0;
    int ErrorWord3 = 0;
    int AlarmCode = 0;
    int Channel1State = 0;
    int Channel2State = 0;
    bool AlarmActive = false;
    bool Sampling = false;
    // Live values of the status area, as the device sent them.
    QString TotalRunTime;
    double TotalVolume = 0.0;
    double BatteryVoltage = 0.0;
    int BatteryLevel = 0;
    int BatteryPercent = 0;
    double BackupBatteryVoltage = 0.0;
    QString BackupBatteryCheckDate;
};
