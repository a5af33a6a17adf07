#include "deviceformat.h"

#include "i18n.h"

double MaxFlow(const TDeviceState& device)
{
    return (device.DeviceFeatures & dfFlow2l) ? 2.0 : 1.9;
}

QString VolumeUnitText(int volumeType)
{
    if (volumeType & 1)
        return Tr("SL");
    if (volumeType & 2)
        return Tr("L");
    return Tr("NL");
}

QString FlowUnitText(int volumeType)
{
    if (volumeType & 1)
        return Tr("SL/min");
    if (volumeType & 2)
        return Tr("L/min");
    return Tr("NL/min");
}

QString FormatDuration(qint64 seconds)
{
    // A negative duration (unset time on the device) would print as "00:-5"; show zero instead.
    if (seconds < 0)
        seconds = 0;
    if (seconds < 3600)
        return QString::asprintf("%2.2lld:%2.2lld m:s", seconds / 60, seconds % 60);
    return QString::asprintf("%2.2lld:%2.2lld h:m", seconds / 3600, (seconds % 3600) / 60);
}
