#include "presetmodel.h"

#include "formatsettings.h"
#include "i18n.h"
#include "sendorder.h"
#include "wireformat.h"

#include <cmath>

namespace {

constexpr int kFieldsPerChannel = 5;
constexpr int kFirstChannelField = 5;
// Interval operation needs at least 20 minutes of pumping and 5 minutes of slack in the set time.
constexpr int kMinIntervalPumpS = 1200;
constexpr int kIntervalSlackS = 300;

const QString kSep = QStringLiteral(";");

bool intField(const QString& data, int index, int& value)
{
    QString token;
    if (!GetToken(data, kSep, token, index))
        return false;
    bool ok = false;
    const int v = token.toInt(&ok);
    if (ok)
        value = v;
    return ok;
}

}  // namespace

qint32 SampleTimeOf(double volume, double flow)
{
    if (!(flow > 0.0))
        return 0;
    return static_cast<qint32>(RoundHalfEven(volume / flow * 60.0));
}

int ChannelFlags(const TSampleSet& set)
{
    return (set.iVolType & cfVolTypeMask) + (set.bFlowMonitor ? cfFlowMonitor : 0)
           + (set.bIntervalMode ? cfIntervalMode : 0) + (set.bActive ? cfActive : 0);
}

qint64 EffectiveSampleTime(const TPreSet& preset, int channel)
{
    const TSampleSet& set = preset.aSet.at(static_cast<size_t>(channel));
    return set.bIntervalMode ? qint64(set.iSetTime) * 60 : set.iTime;
}

std::optional<int> ParsePresetAnswer(TPresetTable& table, int status, const QString& data)
{
    if (status != kOrderDone)
        return std::nullopt;
    int n = 0;
    if (!intField(data, 2, n) || n < 1 || n > kPresetCount)
        return std::nullopt;
    while (table.size() < n)
        table.append(TPreSet{});
    TPreSet& p = table[n - 1];
    p.ilfdNr = n;
    QString name;
    int index = 3;
    if (GetToken(data, kSep, name, index))
        p.strBez = name;
    intField(data, 4, p.iLoginterv);
    for (int c = 0; c < 2; ++c) {
        TSampleSet& set = p.aSet[static_cast<size_t>(c)];
        const int first = kFirstChannelField + c * kFieldsPerChannel;
        int flags = 0;
        if (intField(data, first, flags)) {
            p.bFlagDef = (flags & cfFlagDef) != 0;
            set.bActive = (flags & cfActive) != 0;
            set.bFlowMonitor = (flags & cfFlowMonitor) != 0;
            set.bIntervalMode = (flags & cfIntervalMode) != 0;
            set.iVolType = flags & cfVolTypeMask;
        }
        int flow = 0;
        int volume = 0;
        const bool flowOk = intField(data, first + 1, flow);
        const bool volumeOk = intField(data, first + 2, volume);
        if (flowOk)
            set.fFlow = static_cast<float>(flow / 100.0);
        if (volumeOk)
            set.fVolume = static_cast<float>(volume / 10.0);
        intField(data, first + 3, set.iDelay);
        intField(data, first + 4, set.iSetTime);
        // From the wire integers, so the float fields' representation errors cannot move a tie.
        set.iTime = (flowOk && volumeOk && flow > 0)
                        ? static_cast<qint32>(RoundHalfEven(volume * 600.0 / flow))
                        : 0;
    }
    return n - 1;
}

QString PresetCommandText(const TPreSet& preset)
{
    QString name = preset.strBez;
    name.remove(QLatin1Char(';')).remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    name.truncate(kPresetNameMaxChars);
    QString text = QStringLiteral("SSP;%1;%2;%3").arg(preset.ilfdNr).arg(name).arg(preset.iLoginterv);
    for (const TSampleSet& set : preset.aSet) {
        text += QStringLiteral(";%1;%2;%3;%4;%5")
                    .arg(ChannelFlags(set))
                    .arg(RoundHalfEven(static_cast<double>(set.fFlow) * 100.0))
                    .arg(RoundHalfEven(static_cast<double>(set.fVolume) * 10.0))
                    .arg(set.iDelay)
                    .arg(set.iSetTime);
    }
    return text;
}

bool BuildPresetCommand(const TPreSet& preset, bool online)
{
    if (!online)
        return false;
    SendOrder(kPresetClientId, PresetCommandText(preset), kPresetWriteTag);
    return true;
}

bool CheckIntervalTimes(const TPreSet& preset, QString& message)
{
    for (int c = 0; c < 2; ++c) {
        const TSampleSet& set = preset.aSet[static_cast<size_t>(c)];
        if (!set.bIntervalMode || !(set.fFlow > 0.0f) || !(set.fVolume > 0.0f))
            continue;
        if (set.iTime / 2 < kMinIntervalPumpS / 2) {
            message = FmtDisplay().Format(Tr("Probenahmezeit bei Kanal %d zu kurz für Intervallbetrieb"), {c + 1});
            return false;
        }
        // In 64 bits: a set time near 2^32 / 60 minutes would wrap into a passing value.
        if (qint64(set.iSetTime) * 60 < qint64(set.iTime) + kIntervalSlackS) {
            message = FmtDisplay().Format(Tr("Probenahmedauer bei Kanal %d zu kurz für Intervallbetrieb"), {c + 1});
            return false;
        }
    }
    return true;
}
