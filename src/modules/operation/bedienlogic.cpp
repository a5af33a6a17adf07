#include "bedienlogic.h"

#include "deviceformat.h"
#include "devicestatus.h"
#include "formatsettings.h"
#include "i18n.h"
#include "logfiles.h"
#include "sendorder.h"
#include "settingsform.h"
#include "wireformat.h"

#include <QDate>
#include <QLoggingCategory>

#include <algorithm>
#include <chrono>

Q_LOGGING_CATEGORY(lcOperation, "sarvik.modules.operation")

namespace {

constexpr int kClientId = ciBedien;
// How long the data line of a cycle waits for the device's totals before it is written as it is.
constexpr int kTotalsTimeoutMs = 10000;
constexpr int kTmqFieldsPerChannel = 3;
constexpr size_t kMaxInFlight = 64;

const QString kSep = QStringLiteral(";");
const QString kNone = QStringLiteral("---");
const QString kLastPresetKey = QStringLiteral("Control/LastPreset");
const QString kIntervalKey = QStringLiteral("Control/Interval");
const QString kShowChartKey = QStringLiteral("Control/ShowChart");
const std::array<QColor, 2> kChannelColour{QColor(0, 90, 200), QColor(220, 90, 0)};
const QString kDailyLogPrefix = QStringLiteral("TEST");
const QString kDataHeader = QStringLiteral("Nummer;Volumen;Gesamt;Akkuspannung");

// The word an answer to command begins with: "T" and the command's last two letters.
QString AnswerWord(const QString& command)
{
    return QStringLiteral("T") + command.mid(1, 2);
}

qint64 steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QString field(const QString& data, int index)
{
    QString token;
    if (!GetToken(data, kSep, token, index))
        return {};
    return token;
}

bool intField(const QString& data, int index, int& value)
{
    bool ok = false;
    const int v = field(data, index).trimmed().toInt(&ok);
    if (ok)
        value = v;
    return ok;
}

bool positiveInt(const QString& text, int& value)
{
    bool ok = false;
    value = text.trimmed().toInt(&ok);
    return ok && value > 0;
}

}  // namespace

TBedienLogic::TBedienLogic(TAppContext& context, QObject* parent)
    : QObject(parent)
    , FContext(context)
    , FClock(steadyMs)
{
    try {
        FInput.DatenIntervall = QString::number(FContext.Settings().GetInt(kIntervalKey));
    } catch (const std::exception& e) {
        qCWarning(lcOperation) << "data interval not read:" << e.what();
    }
    try {
        FChartVisible = FContext.Settings().GetBool(kShowChartKey);
    } catch (const std::exception& e) {
        qCWarning(lcOperation) << "chart setting not read:" << e.what();
    }
    ShowPresetDisplay();
    buildRunChart();
}

void TBedienLogic::SetClock(TClock clock)
{
    FClock = clock ? std::move(clock) : TClock(steadyMs);
}

void TBedienLogic::send(const QString& command, int tag)
{
    if (!SendOrder(kClientId, command, tag))
        return;
    FInFlight.push_back({tag, AnswerWord(command)});
    // Orders that another window's failure dropped never come back; keep the list short.
    while (FInFlight.size() > kMaxInFlight)
        FInFlight.pop_front();
}

QString TBedienLogic::takeInFlight(int status, int tag, const QString& word)
{
    // Orders are carried out one after the other: whatever was sent before the order that
    // comes back now was dropped by the link.
    auto match = [&](bool byWord) {
        return std::find_if(FInFlight.begin(), FInFlight.end(),
                            [&](const TInFlight& f) { return f.Tag == tag && (!byWord || f.Word == word); });
    };
    auto it = match(true);
    if (it == FInFlight.end() && status != kOrderDone)
        it = match(false);
    if (it == FInFlight.end())
        return {};
    const QString found = it->Word;
    if (status == kOrderDone)
        FInFlight.erase(FInFlight.begin(), it + 1);
    else
        FInFlight.clear();  // a failure drops every order queued behind it
    return found;
}

// ---- module operations ----

void TBedienLogic::FormShow()
{
    btnAktPresetsClick();
    FPollTime = 0;
    updateControls();
    ShowChannelStates();
}

void TBedienLogic::SetOnOffLine(int online)
{
    // Going offline follows a failed order, which dropped everything queued behind it.
    if (online == 0)
        FInFlight.clear();
    if (online != 0 && !FControls.RefreshEnabled)
        btnAktPresetsClick();
    updateControls();
    ShowChannelStates();
    buildRunChart();
}

void TBedienLogic::updateControls()
{
    const bool online = FContext.Online;
    FControls.RefreshEnabled = online;
    FControls.ActionsEnabled = online;
    // A test run waiting for an alarm to end is still running: a new start would begin it again.
    FControls.TestStartEnabled = online && FTestRunState == trsIdle;
    Q_EMIT ViewChanged();
}

void TBedienLogic::TimerEvent(int, bool open)
{
    trackRun();
    if (open && now() > FPollTime) {
        ShowChannelStates();
        if (FContext.Online && FContext.Device.Sampling)
            send(QStringLiteral("GMQ"), kBedienTagMeasure);
        FPollTime = now() + kPollIntervalMs;
    }
    testRunTick();
}

void TBedienLogic::RXData(int status, int tag, const QString& data)
{
    QString word = data.left(3);
    const QString sent = takeInFlight(status, tag, word);
    // A failed order carries no answer (or a rejected one): what was sent decides.
    if (status != kOrderDone && !sent.isEmpty())
        word = sent;
    if (word == QLatin1String("TAS")) {
        int result = 0;
        // The device names why it refused a start; an answer without a result counts as started.
        const bool refused = intField(data, 2, result) && result != 0;
        if (status == kOrderDone && !refused) {
            FStartedPreset = FStartingPreset;
            Q_EMIT Status(Tr("Probenahme gestartet"), false);
        }
        else
            Q_EMIT Status(Tr("Fehler beim Starten der Probenahme"), true);
        ShowChannelStates();
    } else if (word == QLatin1String("TSP")) {
        if (tag == kBedienTagDefault)
            onPresetAnswer(status, data);
    } else if (word == QLatin1String("TAH")) {
        if (status == kOrderDone)
            Q_EMIT Status(Tr("Probenahme gestoppt"), false);
        else
            Q_EMIT Status(Tr("Fehler beim Stoppen der Probenahme"), true);
        ShowChannelStates();
    } else if (word == QLatin1String("TMQ")) {
        if (status == kOrderDone)
            onMeasureAnswer(data);
    } else if (word == QLatin1String("TAO")) {
        int result = 0;
        if (status != kOrderDone || !intField(data, 2, result))
            return;
        if (result == 0)
            Q_EMIT Status(Tr("Sarvik2V2 wird ausgeschaltet"), false);
        else
            Q_EMIT Status(FmtDisplay().Format(Tr("Fehler %d beim Ausschalten von Sarvik2V2"), {result}), true);
    } else if (word == QLatin1String("TIO") || word == QLatin1String("TIB")) {
        if (tag == kBedienTagTotals)
            onTotalsAnswer(status, word, data);
    }
}

void TBedienLogic::SwitchLanguage()
{
    ShowPresetDisplay();
    ShowChannelStates();
    buildRunChart();
}

// ---- presets ----

void TBedienLogic::rememberSelection()
{
    if (FSelected >= 0) {
        FRemembered = FSelected;
        return;
    }
    try {
        FRemembered = FContext.Settings().GetInt(kLastPresetKey);
    } catch (const std::exception& e) {
        qCWarning(lcOperation) << "last preset not read:" << e.what();
        FRemembered = -1;
    }
}

void TBedienLogic::btnAktPresetsClick()
{
    rememberSelection();
    FPresets.clear();
    FEntries.clear();
    FEntryPresets.clear();
    FSelected = -1;
    FRefreshAnswers = 0;
    FRestorePending = true;
    for (int n = 1; n <= kPresetCount; ++n)
        send(QStringLiteral("GSP;%1").arg(n), kBedienTagDefault);
    Q_EMIT PresetListChanged();
    ShowPresetDisplay();
}

void TBedienLogic::onPresetAnswer(int status, const QString& data)
{
    ++FRefreshAnswers;
    const std::optional<int> index = ParsePresetAnswer(FPresets, status, data);
    if (index) {
        const TPreSet& p = FPresets.at(*index);
        const QString entry = QString::asprintf("%2d: ", p.ilfdNr) + p.strBez;
        const qsizetype existing = FEntryPresets.indexOf(p.ilfdNr);
        if (existing >= 0) {
            FEntries[existing] = entry;
        } else {
            FEntries.append(entry);
            FEntryPresets.append(p.ilfdNr);
        }
        Q_EMIT PresetListChanged();
        if (existing >= 0 && existing == FSelected)
            ShowPresetDisplay();
    }
    // Preset 10 closes the refresh; so does its answer when the device has no preset 10.
    const bool last = (index && FPresets.at(*index).ilfdNr == kPresetCount) || FRefreshAnswers >= kPresetCount;
    if (last && FRestorePending)
        restoreSelection();
}

void TBedienLogic::restoreSelection()
{
    FRestorePending = false;
    if (FRemembered < 0 || FRemembered >= FEntries.size())
        return;
    FSelected = FRemembered;
    Q_EMIT PresetListChanged();
    ShowPresetDisplay();
}

void TBedienLogic::cbPresetSelect(int index)
{
    FSelected = (index >= 0 && index < FEntries.size()) ? index : -1;
    ShowPresetDisplay();
}

void TBedienLogic::ShowPresetDisplay()
{
    const TFormatSettings& fmt = FmtDisplay();
    const TPreSet* preset = nullptr;
    if (FSelected >= 0 && FSelected < FEntryPresets.size()) {
        const int n = FEntryPresets.at(FSelected);
        if (n >= 1 && n <= FPresets.size())
            preset = &FPresets.at(n - 1);
    }
    for (int c = 0; c < 2; ++c) {
        TPresetChannelView& v = FPresetView[static_cast<size_t>(c)];
        v = TPresetChannelView{};
        if (!preset) {
            v.Volume = v.Flow = v.Duration = v.Delay = v.LogInterval = kNone;
            continue;
        }
        const TSampleSet& set = preset->aSet[static_cast<size_t>(c)];
        if (!set.bActive) {
            v.Duration = Tr("Inaktiv");
            continue;
        }
        v.Volume = fmt.Format(QStringLiteral("%.1f %s"), {static_cast<double>(set.fVolume), VolumeUnitText(set.iVolType)});
        v.Flow = fmt.Format(QStringLiteral("%.2f %s"), {static_cast<double>(set.fFlow), FlowUnitText(set.iVolType)});
        v.FlowMonitor = set.bFlowMonitor;
        if (set.fFlow > 0.0f) {
            v.Duration = FormatDuration(EffectiveSampleTime(*preset, c));
            v.IntervalMode = set.bIntervalMode;
        } else {
            v.Duration = kNone;
        }
        v.Delay = set.iDelay <= 0 ? Tr("Aus") : FormatDuration(set.iDelay);
        v.LogInterval = preset->iLoginterv <= 0 ? Tr("Aus") : QStringLiteral("%1 s").arg(preset->iLoginterv);
    }
    Q_EMIT ViewChanged();
}

// ---- run display ----

int TBedienLogic::channelState(int channel) const
{
    return channel == 0 ? FContext.Device.Channel1State : FContext.Device.Channel2State;
}

int TBedienLogic::channelErrorWord(int channel) const
{
    return channel == 0 ? FContext.Device.ErrorWord2 : FContext.Device.ErrorWord3;
}

void TBedienLogic::ShowChannelStates()
{
    for (int c = 0; c < 2; ++c) {
        TChannelView& v = FChannels[static_cast<size_t>(c)];
        bool keep = false;
        if (!FContext.Online) {
            v.Status = Tr("Offline");
        } else if (FContext.Device.Sampling) {
            switch (channelState(c)) {
            case 0: v.Status = Tr("Gestört"); break;
            case 1: v.Status = Tr("Inaktiv"); break;
            case 2: v.Status = Tr("Wartet"); break;
            case 3: v.Status = Tr("Aktiv"); keep = true; break;
            case 4: v.Status = Tr("Intervallpause"); keep = true; break;
            case 5: v.Status = Tr("Pause"); break;
            case 6: v.Status = Tr("Beendet"); break;
            case 7: v.Status = Tr("Gestört"); break;
            case 8: v.Status = Tr("Abgebrochen"); break;
            default: v.Status.clear(); break;
            }
        } else {
            v.Status = channelErrorWord(c) != 0 ? Tr("Gestört") : Tr("Bereit");
        }
        if (!keep)
            v.Volume = v.Flow = kNone;
    }
    Q_EMIT ViewChanged();
}

void TBedienLogic::onMeasureAnswer(const QString& data)
{
    const TFormatSettings& device = FmtDevice();
    const TFormatSettings& display = FmtDisplay();
    std::array<double, 2> flows{};
    std::array<bool, 2> flowsOk{};
    std::array<int, 2> volTypes{-1, -1};
    for (int c = 0; c < 2; ++c) {
        const int first = 2 + c * kTmqFieldsPerChannel;
        double flow = 0.0;
        double volume = 0.0;
        int volType = 0;
        const bool flowOk = device.ParseFloat(field(data, first), flow);
        const bool volumeOk = device.ParseFloat(field(data, first + 1), volume);
        const bool typeOk = intField(data, first + 2, volType);
        flows[static_cast<size_t>(c)] = flow;
        flowsOk[static_cast<size_t>(c)] = flowOk;
        if (typeOk)
            volTypes[static_cast<size_t>(c)] = volType;
        // Volume only grows during a run; the largest value also covers a channel that reads 0
        // once it has ended.
        if (volumeOk && FTestRunState >= trsStarted && FTestRunState <= trsRecording)
            FCycleVolume[static_cast<size_t>(c)] = std::max(FCycleVolume[static_cast<size_t>(c)], volume);
        if (channelState(c) != 3)
            continue;
        TChannelView& v = FChannels[static_cast<size_t>(c)];
        if (flowOk)
            v.Flow = display.FormatFloat(flow, 2) + (typeOk ? QStringLiteral(" ") + FlowUnitText(volType) : QString());
        if (volumeOk)
            v.Volume = display.FormatFloat(volume, 2) + (typeOk ? QStringLiteral(" ") + VolumeUnitText(volType) : QString());
    }
    Q_EMIT ViewChanged();
    if (FRunning)
        addRunPoints(flows, flowsOk, volTypes);
}

// ---- run chart ----

void TBedienLogic::SetChartVisible(bool visible)
{
    FChartVisible = visible;
    QString err;
    if (!FContext.Settings().SetBool(kShowChartKey, visible, err))
        qCWarning(lcOperation) << "chart setting not stored:" << err;
}

void TBedienLogic::trackRun()
{
    if (!FContext.Online)
        return;
    const bool sampling = FContext.Device.Sampling;
    if (sampling && !FRunning)
        beginRun();
    // Just after going online the device state is not known yet (0); that is no end of a run.
    else if (!sampling && FRunning && FContext.Device.DeviceState != 0)
        FRunning = false;
}

void TBedienLogic::beginRun()
{
    FRunning = true;
    FRunStart = now();
    const TPreSet* preset = nullptr;
    if (FStartedPreset >= 1 && FStartedPreset <= FPresets.size() && FPresets.at(FStartedPreset - 1).ilfdNr == FStartedPreset)
        preset = &FPresets.at(FStartedPreset - 1);
    FStartedPreset = 0;
    FRunPresetKnown = preset != nullptr;
    for (size_t c = 0; c < 2; ++c) {
        FRunFlow[c].Clear();
        FRunSetFlow[c] = -1.0;
        FRunVolType[c] = -1;
        FRunChannel[c] = false;
        if (!preset)
            continue;
        const TSampleSet& set = preset->aSet[c];
        FRunChannel[c] = set.bActive;
        if (set.bActive) {
            FRunSetFlow[c] = set.fFlow;
            FRunVolType[c] = set.iVolType;
        }
    }
    buildRunChart();
}

void TBedienLogic::addRunPoints(const std::array<double, 2>& flow, const std::array<bool, 2>& flowOk,
                                const std::array<int, 2>& volType)
{
    const double minutes = static_cast<double>(now() - FRunStart) / 60000.0;
    for (size_t c = 0; c < 2; ++c) {
        // Without the preset, a channel joins the chart once the device reports it in use.
        const bool drawn = FRunPresetKnown ? FRunChannel[c] : channelState(static_cast<int>(c)) != 1;
        if (!drawn || !flowOk[c])
            continue;
        FRunChannel[c] = true;
        if (FRunVolType[c] < 0)
            FRunVolType[c] = volType[c];
        FRunFlow[c].Add(QPointF(minutes, flow[c]));
    }
    buildRunChart();
}

void TBedienLogic::buildRunChart()
{
    const TFormatSettings& fmt = FmtDisplay();
    TChartData d;
    d.XTitle = Tr("Laufzeit") + QStringLiteral(" [min]");
    d.XFormat = QStringLiteral("%.1f");
    d.Locale = fmt.Locale;
    QStringList units;
    double end = 0.0;
    for (size_t c = 0; c < 2; ++c) {
        if (FRunChannel[c] && FRunVolType[c] >= 0 && !units.contains(FlowUnitText(FRunVolType[c])))
            units << FlowUnitText(FRunVolType[c]);
        if (!FRunFlow[c].Points().isEmpty())
            end = std::max(end, FRunFlow[c].Points().last().x());
    }
    d.AxisTitles[caLeft] = Tr("Fluss") + (units.isEmpty() ? QString() : QStringLiteral(" [") + units.join(QStringLiteral(" / ")) + QLatin1Char(']'));
    for (size_t c = 0; c < 2; ++c) {
        if (!FRunChannel[c])
            continue;
        TChartSeries flow;
        flow.Name = fmt.Format(Tr("Kanal %d"), {static_cast<int>(c) + 1});
        flow.Colour = kChannelColour[c];
        flow.Points = FRunFlow[c].Points();
        d.Series.push_back(flow);
        if (FRunSetFlow[c] < 0.0)
            continue;
        TChartSeries set;
        set.Name = fmt.Format(Tr("Sollfluss Kanal %d"), {static_cast<int>(c) + 1});
        set.Colour = kChannelColour[c];
        set.Dashed = true;
        set.Points = {QPointF(0.0, FRunSetFlow[c]), QPointF(end, FRunSetFlow[c])};
        d.Series.push_back(set);
    }
    if (!FContext.Online)
        d.Overlay = Tr("Offline");
    FRunChart = std::move(d);
    Q_EMIT RunChartChanged();
}

// ---- start, stop, switch off ----

QString TBedienLogic::start()
{
    QString refusal;
    if (!FContext.Online)
        refusal = Tr("Start nur online möglich");
    else if (FContext.Device.Sampling)
        refusal = Tr("Kein zweiter Start möglich");
    else if (FSelected < 0 || FSelected >= FEntryPresets.size())
        refusal = Tr("Keine Voreinstellung ausgewählt");
    if (!refusal.isEmpty()) {
        Q_EMIT Status(refusal, true);
        return refusal;
    }
    QString err;
    if (!FContext.Settings().SetInt(kLastPresetKey, FSelected, err))
        qCWarning(lcOperation) << "last preset not stored:" << err;
    FStartingPreset = FEntryPresets.at(FSelected);
    send(QStringLiteral("SAS;%1").arg(FStartingPreset), kBedienTagDefault);
    return {};
}

void TBedienLogic::actStartExecute()
{
    start();
}

void TBedienLogic::actStopExecute()
{
    send(QStringLiteral("SAH"), kBedienTagStop);
}

void TBedienLogic::actAusschaltenExecute()
{
    if (FQuestion && FQuestion(Tr("Sarvik2V2 wirklich ausschalten?")))
        send(QStringLiteral("SAO;428;617"), kBedienTagDefault);
}

// ---- test run ----

void TBedienLogic::btnTeststartClick()
{
    if (FTestRunState == trsIdle)
        FTestRunState = trsRequested;
}

void TBedienLogic::btnPauseClick()
{
    FPause = !FPause;
}

void TBedienLogic::btnAbbruchClick()
{
    FAbort = true;
}

QString TBedienLogic::eDatenIntervallExit(const QString& text)
{
    TFSettingsForm& settings = FContext.Settings();
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    QString err;
    if (!ok || !settings.SetInt(kIntervalKey, value, err))
        FInput.DatenIntervall = QString::number(settings.GetInt(kIntervalKey));
    else
        FInput.DatenIntervall = text;
    return FInput.DatenIntervall;
}

bool TBedienLogic::IsFileSpecialChar(QChar c)
{
    static const QString refused = QStringLiteral("*()/\\?#+:\u00b4`^\u00b0");
    return refused.contains(c);
}

bool TBedienLogic::FileCharOnly(QChar key)
{
    if (IsFileSpecialChar(key)) {
        Q_EMIT Status(Tr("Keine Dateisonderzeichen!"), true);
        return false;
    }
    Q_EMIT Status(QString(), false);
    return true;
}

void TBedienLogic::setPanel(const QString& text, const QColor& colour)
{
    FPanelText = text;
    FPanelColour = colour;
    Q_EMIT ViewChanged();
}

void TBedienLogic::testLog(const QString& text)
{
    if (FSaving)
        WriteDailyLog(FContext.Settings(), kDailyLogPrefix, text);
}

void TBedienLogic::startTestRun()
{
    FAbort = false;
    FPause = false;
    FTestRunState = trsStarting;
    FSaving = FInput.DatenSpeichern;
    int interval = 0;
    if (!positiveInt(FInput.AnzStarts, FStarts) || (FSaving && !positiveInt(FInput.DatenIntervall, interval)))
        FTestRunState = trsIdle;
    // The name comes from a field that a paste can fill past its key filter.
    if (FTestRunState != trsIdle && FSaving && std::any_of(FInput.Logdat.cbegin(), FInput.Logdat.cend(), IsFileSpecialChar)) {
        Q_EMIT Status(Tr("Keine Dateisonderzeichen!"), true);
        FTestRunState = trsIdle;
    }
    if (FTestRunState == trsIdle) {
        updateControls();
        return;
    }
    FControls.TestStartEnabled = false;
    FControls.TestPauseEnabled = true;
    FControls.TestAbortEnabled = true;
    FCycle = 0;
    if (FSaving) {
        const QString dayName = QStringLiteral("Test_") + QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
        if (FInput.Logdat.isEmpty())
            FInput.Logdat = dayName;
        // The day's file keeps its one name when its name stays in the field for the next run.
        const bool dayFile = FInput.Logdat.compare(dayName, Qt::CaseInsensitive) == 0;
        FDataFile = ExistingLogFileName(FContext.Settings(),
                                        FInput.Logdat + (dayFile ? QStringLiteral(".CSV") : QStringLiteral(".csv")));
        WriteLogLine(FContext.Settings(), FDataFile, kDataHeader);
    }
    Q_EMIT ViewChanged();
}

void TBedienLogic::endTestRun(const QString& text, bool failure)
{
    FTestRunState = trsIdle;
    FControls.TestStartEnabled = FContext.Online;
    FControls.TestPauseEnabled = false;
    FControls.TestAbortEnabled = false;
    if (FAbort) {
        setPanel(text, kTestRed);
        actStopExecute();
        testLog(Tr("Abbruch") + QStringLiteral(": ") + text);
    } else if (failure) {
        setPanel(text, kTestRed);
        Q_EMIT Status(text, true);
        testLog(Tr("Fehler") + QStringLiteral(": ") + text);
    } else {
        setPanel(text, kTestGreen);
        testLog(text);
    }
}

void TBedienLogic::finishCycle()
{
    ++FCycle;
    if (FSaving) {
        FTotalVolume.clear();
        FBatteryVoltage.clear();
        FTotalsIO = FTotalsIB = true;
        // The last poll may lie up to half a second before the end: one more reading of the
        // channels' volumes, then the device's totals.
        send(QStringLiteral("GMQ"), kBedienTagMeasure);
        send(QStringLiteral("GIO"), kBedienTagTotals);
        send(QStringLiteral("GIB"), kBedienTagTotals);
        FTestRunState = trsRecording;
        FDeadline = now() + kTotalsTimeoutMs;
    } else {
        FTestRunState = trsAfterSampling;
        FDeadline = now() + FInput.WartezeitS * 1000LL;
    }
    Q_EMIT ViewChanged();
}

void TBedienLogic::onTotalsAnswer(int status, const QString& word, const QString& data)
{
    if (!FTotalsIO && !FTotalsIB)
        return;
    const bool io = word == QLatin1String("TIO");
    if (status == kOrderDone) {
        if (io) {
            FTotalVolume = field(data, 5).trimmed();
        } else {
            FBatteryVoltage = field(data, 2).trimmed();
            FBatteryVoltage.replace(QLatin1Char('.'), FmtDisplay().DecimalSeparator);
        }
    }
    (io ? FTotalsIO : FTotalsIB) = false;
    if (!FTotalsIO && !FTotalsIB)
        writeDataLine();
}

void TBedienLogic::writeDataLine()
{
    const double volume = FCycleVolume[0] + FCycleVolume[1];
    WriteLogLine(FContext.Settings(), FDataFile,
                 QStringLiteral("%1;%2;%3;%4").arg(FCycle).arg(FmtDisplay().FormatFloat(volume, 2), FTotalVolume,
                                                                FBatteryVoltage));
}

void TBedienLogic::testRunTick()
{
    const TDeviceState& device = FContext.Device;
    // Abbruch works while an alarm is waited for, too.
    if (FTestRunState >= trsStarting || FTestRunState == trsAlarmWait) {
        if (FAbort) {
            endTestRun(Tr("Bediener-Abbruch"));
            return;
        }
    }
    if (FTestRunState >= trsStarting) {
        if (FPause && FPanelColour != kTestOlive) {
            setPanel(Tr("Pause erkannt"), kTestOlive);
            testLog(Tr("Pause erkannt"));
        } else if (!FPause && FPanelColour == kTestOlive) {
            setPanel(Tr("Pause deaktiviert"), kTestYellow);
            testLog(Tr("Pause deaktiviert"));
        }
        if (device.AlarmActive) {
            testLog(Tr("Alarm") + QStringLiteral(": ") + DeviceErrorTexts(device).join(QStringLiteral(", ")));
            actStopExecute();
            setPanel(Tr("Warte auf Alarm-Ende"), kTestRed);
            FDeadline = now() + kAlarmFirstStopMs;
            FTestRunState = trsAlarmWait;
        }
    }
    switch (FTestRunState) {
    case trsRequested:
        startTestRun();
        break;
    case trsStarting:
        if (FPause)
            break;
        FCycleVolume = {};
        Q_EMIT ViewChanged();  // eAktNr
        if (const QString refusal = start(); !refusal.isEmpty()) {
            endTestRun(refusal, true);
            break;
        }
        setPanel(Tr("Start"), kTestYellow);
        FTestRunState = trsStarted;
        FDeadline = now() + std::max<qint64>(FInput.MaxStartS * 1000LL, kMinStartWaitMs);
        break;
    case trsStarted:
        if (FContext.Online && device.Sampling)
            FTestRunState = trsSampling;
        else if (now() > FDeadline)
            endTestRun(Tr("Probenahme nicht angelaufen"), true);
        break;
    case trsSampling:
        // Offline the device state reads 0; only an online device that stopped sampling ends a run.
        if (FContext.Online && !device.Sampling)
            finishCycle();
        break;
    case trsRecording:
        if (now() > FDeadline && (FTotalsIO || FTotalsIB)) {
            // The link lost the orders; the line goes out with what arrived.
            FTotalsIO = FTotalsIB = false;
            writeDataLine();
        }
        if (!FTotalsIO && !FTotalsIB) {
            FTestRunState = trsAfterSampling;
            FDeadline = now() + FInput.WartezeitS * 1000LL;
        }
        break;
    case trsAfterSampling:
        if (now() <= FDeadline)
            break;
        if (FCycle >= FStarts)
            endTestRun(Tr("Testlauf beendet"));
        else
            FTestRunState = trsStarting;
        break;
    case trsAlarmWait:
        if (device.AlarmActive) {
            if (now() > FDeadline) {
                actStopExecute();
                FDeadline = now() + kAlarmRepeatStopMs;
            }
        } else if (FCycle >= FStarts) {
            endTestRun(Tr("Testlauf beendet"));
        } else {
            FTestRunState = trsStarting;
        }
        break;
    default:
        break;
    }
}
