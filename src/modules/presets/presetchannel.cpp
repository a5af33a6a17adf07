#include "presetchannel.h"

#include "deviceformat.h"
#include "formatsettings.h"
#include "i18n.h"
#include "presetfields.h"
#include "rounding.h"

#include <algorithm>
#include <climits>

namespace {

constexpr double kDefaultMaxFlow = 1.9;

}  // namespace

qint64 ChannelSampleTime(const TSampleSet& set)
{
    return set.bIntervalMode ? qint64(set.iSetTime) * 60 : set.iTime;
}

qint32 ComputeSampleTime(const TSampleSet& set)
{
    // From the integers the device stores, as the device's own answer is computed.
    const qint64 flow = RoundHalfEven(static_cast<double>(set.fFlow) * 100.0);
    const qint64 volume = RoundHalfEven(static_cast<double>(set.fVolume) * 10.0);
    if (flow <= 0)
        return 0;
    return static_cast<qint32>(RoundHalfEven(static_cast<double>(volume) * 600.0 / static_cast<double>(flow)));
}

TPresetChannelLogic::TPresetChannelLogic(QObject* parent)
    : QObject(parent)
{
    ClearData();
}

void TPresetChannelLogic::message(const QString& text, bool alarm)
{
    if (FShowMessage)
        FShowMessage(text, alarm);
}

void TPresetChannelLogic::LoadData(const TSampleSet& set)
{
    FSampleSet = set;
    FLoaded = true;
    FView.Active = set.bActive;
    FView.Vol = FmtDisplay().Format(QStringLiteral("%.1f"), {static_cast<double>(set.fVolume)});
    FView.Flow = FmtDisplay().Format(QStringLiteral("%.2f"), {static_cast<double>(set.fFlow)});
    FView.Delay = FormatDuration(set.iDelay);
    FView.IntervalMode = set.bIntervalMode;
    FView.FlowMonitor = set.bFlowMonitor;
    FView.VolType = set.iVolType;
    showTime();
    showUnits();
    showEnabled();
    Q_EMIT ViewChanged();
}

void TPresetChannelLogic::ClearData()
{
    FSampleSet = TSampleSet{};
    FLoaded = false;
    FView = TChannelEditView{};
    FView.VolType = 0;
    showUnits();
    showEnabled();
    Q_EMIT ViewChanged();
}

void TPresetChannelLogic::showTime()
{
    FView.Time = FormatDuration(static_cast<int>(std::min<qint64>(ChannelSampleTime(FSampleSet), INT_MAX)));
}

void TPresetChannelLogic::showUnits()
{
    FView.VolUnit = VolumeUnitText(FView.VolType);
    FView.FlowUnit = FlowUnitText(FView.VolType);
}

void TPresetChannelLogic::showEnabled()
{
    FView.ActiveEnabled = FLoaded;
    FView.FieldsEnabled = FLoaded && FSampleSet.bActive;
    FView.TimeEnabled = FView.FieldsEnabled && FSampleSet.bIntervalMode;
}

void TPresetChannelLogic::SwitchLanguage()
{
    showUnits();
    Q_EMIT ViewChanged();
}

void TPresetChannelLogic::cbActiveClick(bool checked)
{
    FSampleSet.bActive = checked;
    FView.Active = checked;
    showEnabled();
    Q_EMIT ViewChanged();
}

void TPresetChannelLogic::cbFlowMonitorClick(bool checked)
{
    FSampleSet.bFlowMonitor = checked;
    FView.FlowMonitor = checked;
    Q_EMIT ViewChanged();
}

void TPresetChannelLogic::cbIntervalModeClick(bool checked)
{
    FSampleSet.bIntervalMode = checked;
    FView.IntervalMode = checked;
    showEnabled();
    showTime();
    Q_EMIT ViewChanged();
}

void TPresetChannelLogic::rbVolTypeClick(int volType)
{
    if (volType < kVolTypeNL || volType > kVolTypeL)
        return;
    FSampleSet.iVolType = volType;
    FView.VolType = volType;
    showUnits();
    Q_EMIT ViewChanged();
}

void TPresetChannelLogic::SetText(QString TChannelEditView::*field, const QString& text)
{
    FView.*field = text;
}

bool TPresetChannelLogic::floatExit(const QString& text, bool volume)
{
    QString TChannelEditView::*field = volume ? &TChannelEditView::Vol : &TChannelEditView::Flow;
    FView.*field = text;
    if (text.isEmpty())
        return true;
    const double max = volume ? kMaxVolume : (FMaxFlow ? FMaxFlow() : kDefaultMaxFlow);
    const int decimals = volume ? 1 : 2;
    double value = 0.0;
    QString msg;
    if (!CheckFloatField(text, volume ? kMinVolume : kMinFlow, max, decimals, value, msg)) {
        message(msg, true);
        Q_EMIT ViewChanged();
        return false;
    }
    message(QString(), false);
    if (volume)
        FSampleSet.fVolume = static_cast<float>(value);
    else
        FSampleSet.fFlow = static_cast<float>(value);
    FView.*field = FmtDisplay().Format(volume ? QStringLiteral("%.1f") : QStringLiteral("%.2f"), {value});
    FSampleSet.bActive = true;
    FView.Active = true;
    showEnabled();
    if (FSampleSet.fFlow > 0.0f) {
        FSampleSet.iTime = ComputeSampleTime(FSampleSet);
        showTime();
    }
    Q_EMIT ViewChanged();
    return true;
}

bool TPresetChannelLogic::eVolExit(const QString& text)
{
    return floatExit(text, true);
}

bool TPresetChannelLogic::eFlowExit(const QString& text)
{
    return floatExit(text, false);
}

bool TPresetChannelLogic::eDelayExit(const QString& text)
{
    FView.Delay = text;
    if (text.isEmpty())
        return true;
    qint64 seconds = 0;
    QString msg;
    if (!ParseTimeText(text, 0, kMaxDelayS, seconds, msg)) {
        message(msg, true);
        Q_EMIT ViewChanged();
        return false;
    }
    message(QString(), false);
    FSampleSet.iDelay = static_cast<qint32>(seconds);
    FView.Delay = FormatDuration(FSampleSet.iDelay);
    Q_EMIT ViewChanged();
    return true;
}

bool TPresetChannelLogic::eTimeExit(const QString& text)
{
    FView.Time = text;
    if (text.isEmpty() || !FSampleSet.bIntervalMode)
        return true;
    qint64 seconds = 0;
    QString msg;
    if (!ParseTimeText(text, kMinSetTimeS, kMaxSetTimeS, seconds, msg)) {
        message(msg, true);
        Q_EMIT ViewChanged();
        return false;
    }
    message(QString(), false);
    FSampleSet.iSetTime = static_cast<qint32>(RoundHalfEven(static_cast<double>(seconds) / 60.0));
    FView.Time = FormatDuration(FSampleSet.iSetTime * 60);
    Q_EMIT ViewChanged();
    return true;
}

std::optional<QChar> TPresetChannelLogic::FloatKey(QChar key)
{
    if (key == QLatin1Char('.') || key == QLatin1Char(','))
        return FmtDisplay().DecimalSeparator;
    if (key >= QLatin1Char('0') && key <= QLatin1Char('9'))
        return key;
    message(Tr("Nur Zeichen \"0123456789.,\" möglich!"), true);
    return std::nullopt;
}
