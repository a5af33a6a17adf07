#pragma once
// Small formatters the windows share for device values: flow limit, volume and flow units,
// durations.

#include "devicestate.h"

#include <QString>

// Upper flow limit offered by the flow settings, in litres per minute: 2.0 for the 2 l/min
// variant, else 1.9.
double MaxFlow(const TDeviceState& device);

// Volume type bit 0: standard litres ("SL"), else bit 1: litres ("L"), else norm litres ("NL").
QString VolumeUnitText(int volumeType);
// The same units per minute ("SL/min", "L/min", "NL/min").
QString FlowUnitText(int volumeType);

// Under an hour "mm:ss m:s", else "hh:mm h:m" (whole minutes or hours, the rest dropped).
QString FormatDuration(qint64 seconds);
