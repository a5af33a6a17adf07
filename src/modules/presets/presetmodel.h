#pragma once
// The sampling presets the device stores: one record per preset with its two channels, the
// "TSP" answer that carries one from the device, the "SSP" command that writes one, and the
// plausibility checks of interval operation. User-interface thread only.

#include "rounding.h"

#include <QList>
#include <QString>

#include <array>
#include <optional>

constexpr int kPresetCount = 10;        // presets 1 .. 10
constexpr int kPresetNameMaxChars = 20;
constexpr int kPresetClientId = 1;      // writes go out as the device settings window's orders
constexpr int kPresetWriteTag = 0;

// Channel flags on the wire, one integer per channel.
enum TChannelFlag : int {
    cfVolTypeMask = 3,
    cfFlowMonitor = 4,
    cfIntervalMode = 8,
    cfActive = 16,
    cfFlagDef = 128,  // received only
};

// Volume types (iVolType).
constexpr int kVolTypeNL = 0;
constexpr int kVolTypeSL = 1;
constexpr int kVolTypeL = 2;

struct TSampleSet {
    bool bActive = false;
    float fFlow = 0.0f;    // l/min (unit by iVolType), two decimals significant
    float fVolume = 0.0f;  // litres (unit by iVolType), one decimal significant
    qint32 iTime = 0;      // seconds, computed from volume and flow, never transferred
    qint32 iDelay = 0;     // start delay, seconds
    qint32 iSetTime = 0;   // set duration in interval mode, minutes
    bool bIntervalMode = false;
    bool bFlowMonitor = false;
    qint32 iVolType = 0;
    bool operator==(const TSampleSet&) const = default;
};

struct TPreSet {
    qint32 ilfdNr = 0;       // 1 .. 10
    QString strBez;
    qint32 iLoginterv = 0;   // seconds, 0 = off
    bool bFlagDef = false;   // bit 7 of the channel flags as last received
    qint32 iError = 0;       // reserved
    bool bGeaendert = false; // reserved
    std::array<TSampleSet, 2> aSet{};
    bool operator==(const TPreSet&) const = default;
};

// Entry n - 1 holds preset n; the table grows when a higher preset arrives.
using TPresetTable = QList<TPreSet>;

// Round(volume / flow x 60) in seconds; 0 when the flow is not above 0.
qint32 SampleTimeOf(double volume, double flow);

// The flags integer of a channel (bit 7 is never sent).
int ChannelFlags(const TSampleSet& set);

// Sampling time in seconds of channel 0 or 1: the set time in interval mode, else iTime.
qint64 EffectiveSampleTime(const TPreSet& preset, int channel);

// Stores a "TSP" answer (status 10 only) into table; returns the index of the entry it stored,
// nothing when the answer carried no preset number 1 .. 10. Fields that are not integers leave
// their targets as they were.
std::optional<int> ParsePresetAnswer(TPresetTable& table, int status, const QString& data);

// "SSP;<nr>;<name>;<log interval>;<channel 1>;<channel 2>" as the device expects it. The name
// loses the characters that would break the frame (";", CR, LF) and is cut to 20 characters.
QString PresetCommandText(const TPreSet& preset);

// Sends the preset's "SSP" (client 1, tag 0) when online; false when nothing was sent.
bool BuildPresetCommand(const TPreSet& preset, bool online);

// True when the interval settings of both channels are usable; else false with the message of
// the first channel that fails.
bool CheckIntervalTimes(const TPreSet& preset, QString& message);
