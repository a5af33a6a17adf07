// Stored sampling presets: read one, write one.

#include "commandtable.h"
#include "devicemodel.h"
#include "families.h"

namespace {

constexpr int kMaxNameChars = 20;
constexpr int kMaxLogIntervalS = 240;
constexpr int kMaxFlowCenti = 200;      // 2.00 l/min, the larger pump variant
constexpr int kMaxVolumeDeci = 999999;
constexpr int kMaxDelayS = 24 * 3600;
// The editor accepts set times up to 1000 hours.
constexpr int kMaxSetTimeMin = 60000;
constexpr int kFieldsPerChannel = 5;
constexpr int kPresetParams = 3 + 2 * kFieldsPerChannel;

QStringList presetFields(const TDeviceModel& m, int n)
{
    const TSimPreset& p = m.FPresets[n - 1];
    QStringList fields{QString::number(n), p.strBez, QString::number(p.iLoginterv)};
    for (const TSimChannelSet& s : p.aSet) {
        fields << QString::number(ChannelFlags(s)) << QString::number(s.iFlow) << QString::number(s.iVolume)
               << QString::number(s.iDelay) << QString::number(s.iSetTime);
    }
    return fields;
}

bool readChannel(const QStringList& p, int first, TSimChannelSet& set)
{
    int flags = 0;
    return IntParam(p, first, flags) && ApplyChannelFlags(set, flags)
           && IntParamIn(p, first + 1, 0, kMaxFlowCenti, set.iFlow)
           && IntParamIn(p, first + 2, 0, kMaxVolumeDeci, set.iVolume)
           && IntParamIn(p, first + 3, 0, kMaxDelayS, set.iDelay)
           && IntParamIn(p, first + 4, 0, kMaxSetTimeMin, set.iSetTime);
}

}  // namespace

void RegisterPresetCommands(TCommandTable& table)
{
    table.add(QStringLiteral("GSP"), [](TDeviceModel& m, const QStringList& p) {
        int n = 0;
        if (!IntParamIn(p, 0, 1, kPresetCount, n))
            return QStringList{};
        return presetFields(m, n);
    });
    // A write is all or nothing: a preset with one bad field stays as it was.
    table.add(QStringLiteral("SSP"), [](TDeviceModel& m, const QStringList& p) {
        QStringList params = p;
        if (params.size() == kPresetParams + 1 && params.last().isEmpty())
            params.removeLast();
        int n = 0;
        TSimPreset preset;
        if (params.size() != kPresetParams || !IntParamIn(params, 0, 1, kPresetCount, n)
            || params.at(1).size() > kMaxNameChars || !IntParamIn(params, 2, 0, kMaxLogIntervalS, preset.iLoginterv)
            || !readChannel(params, 3, preset.aSet[0]) || !readChannel(params, 3 + kFieldsPerChannel, preset.aSet[1]))
            return QStringList{};
        preset.strBez = params.at(1);
        m.FPresets[n - 1] = preset;
        return presetFields(m, n);
    });
}
