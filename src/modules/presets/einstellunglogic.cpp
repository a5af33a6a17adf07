#include "einstellunglogic.h"

#include "answerfields.h"
#include "deviceformat.h"
#include "formatsettings.h"
#include "i18n.h"
#include "presetfields.h"
#include "presetfile.h"
#include "settingsform.h"
#include "settingsini.h"
#include "sysmessages.h"
#include "sendorder.h"

#include <QDir>
#include <QLoggingCategory>

#include <algorithm>
#include <chrono>
#include <climits>

Q_LOGGING_CATEGORY(lcPresets, "sarvik.modules.presets")

namespace {

constexpr int kClientId = ciEinstellung;
constexpr int kMaxLogIntervalS = 240;
constexpr double kMinSLTemp = -20.0;
constexpr double kMaxSLTemp = 80.0;
constexpr double kMinSLPressure = 800.0;
constexpr double kMaxSLPressure = 1100.0;
constexpr int kMinIntervals = 2;
constexpr int kMaxIntervals = 50;

qint64 steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QStringList numbers(int from, int to)
{
    QStringList list;
    for (int i = from; i <= to; ++i)
        list << QString::number(i);
    return list;
}

// The set command of a choice control with its value.
QString choiceCommand(TEinstellChoice c, int value)
{
    const char* pattern = nullptr;
    switch (c) {
    case chDisplay: pattern = "SSB;%1"; break;
    case chSprache: pattern = "SSL;%1"; break;
    case chZeitformat: pattern = "SSZ;%1"; break;
    case chDatumsformat: pattern = "SSY;%1"; break;
    case chTouchlautstaerke: pattern = "SSV;%1;99"; break;
    case chSignallautstaerke: pattern = "SSV;99;%1"; break;
    case chStandby: pattern = "SSR;%1"; break;
    case chAnzVoreinstell: pattern = "SSM;%1"; break;
    case chMaxIntervalle: pattern = "SSJ;%1"; break;
    case chChoiceCount: break;
    }
    return pattern ? QString::fromLatin1(pattern).arg(value) : QString();
}

QString checkCommand(TEinstellCheck c, bool checked)
{
    const int v = checked ? 1 : 0;
    switch (c) {
    case ckTonEnde: return QStringLiteral("SSS;%1;99").arg(v);
    case ckTonAlarm: return QStringLiteral("SSS;99;%1").arg(v);
    case ckWarnAkku: return QStringLiteral("SSW;%1").arg(v);
    case ckDaylightSavingTime: return QStringLiteral("SSX;%1").arg(v);
    case ckCheckCount: break;
    }
    return {};
}

const QString kDeviceDate = QStringLiteral("dd.MM.yyyy");
const QString kDeviceTime = QStringLiteral("HH:mm:ss");

}  // namespace

int LocalDaylightState(std::time_t t)
{
    std::tm local{};
    if (!localtime_r(&t, &local))
        return -1;
    if (local.tm_isdst > 0)
        return 1;
    return local.tm_isdst == 0 ? 0 : -1;
}

TEinstellungLogic::TEinstellungLogic(TAppContext& context, QObject* parent)
    : QObject(parent)
    , FContext(context)
    , FClock(steadyMs)
    , FWallClock([] { return QDateTime::currentDateTime(); })
    , FDaylight(LocalDaylightState)
    , FSysMessage(ShowSysMessage)
{
    FChoices[chDisplay] = TTextSpinnerModel(numbers(0, 10), 0, 10);
    FChoices[chSprache] = TTextSpinnerModel({QStringLiteral("English"), QStringLiteral("Deutsch")});
    FChoices[chTouchlautstaerke] = TTextSpinnerModel(numbers(0, 10), 0, 10);
    FChoices[chSignallautstaerke] = TTextSpinnerModel(numbers(0, 10), 0, 10);
    FChoices[chStandby] = TTextSpinnerModel(numbers(0, 15), 0, 15);
    // Position 0 exists but cannot be reached: the device keeps at least one preset.
    FChoices[chAnzVoreinstell] = TTextSpinnerModel(numbers(0, 10), 1, 10);
    FChoices[chMaxIntervalle] = TTextSpinnerModel(numbers(kMinIntervals, kMaxIntervals), 0, 48);
    buildChoiceTexts();
    const QDateTime pc = FWallClock();
    FIMDate = pc.date();
    FIMTime = pc.time();
    for (int c = 0; c < 2; ++c) {
        auto* channel = new TPresetChannelLogic(this);
        channel->FShowMessage = [this](const QString& text, bool alarm) { Q_EMIT Status(text, alarm); };
        channel->FMaxFlow = [this] { return MaxFlow(FContext.Device); };
        FChannels[static_cast<size_t>(c)] = channel;
    }
    updateControls();
}

void TEinstellungLogic::SetClock(TClock clock)
{
    FClock = clock ? std::move(clock) : TClock(steadyMs);
}

void TEinstellungLogic::SetWallClock(TWallClock clock)
{
    FWallClock = clock ? std::move(clock) : TWallClock([] { return QDateTime::currentDateTime(); });
}

void TEinstellungLogic::SetDaylight(TDaylight daylight)
{
    FDaylight = daylight ? std::move(daylight) : TDaylight(LocalDaylightState);
}

QStringList TEinstellungLogic::AbschaltungTexts()
{
    return {Tr("Keine Zeitabschaltung"), Tr("Ruhe: 10 Min., Fertig/Alarm: 30 Min."),
            Tr("Ruhe: 30 Min., Fertig/Alarm: 60 Min."), Tr("Ruhe: 60 Min., Fertig/Alarm: 60 Min.")};
}

void TEinstellungLogic::buildChoiceTexts()
{
    FChoices[chZeitformat].SetTexts({Tr("12 Stunden"), Tr("24 Stunden")});
    FChoices[chDatumsformat].SetTexts({Tr("Monat/Tag/Jahr"), Tr("Tag.Monat.Jahr")});
}

void TEinstellungLogic::send(const QString& command, int tag)
{
    SendOrder(kClientId, command, tag);
}

bool TEinstellungLogic::sendSet(const QString& command)
{
    if (!FContext.Online || command.isEmpty())
        return false;
    send(command, kEinstellTagSet);
    return true;
}

// ---- module operations ----

void TEinstellungLogic::FormShow()
{
    FFullReadout = true;
    FNextReadout = 0;
    SelectRow(-1);
    FPresets.clear();
    FRows.clear();
    Q_EMIT ShowFirstPage();
    SetOnOffLine(FContext.Online ? 1 : 0);
}

void TEinstellungLogic::SetOnOffLine(int online)
{
    FOnline = online != 0;
    if (FOnline && !FControls.Online)
        btnActClick();
    updateControls();
}

void TEinstellungLogic::updateControls()
{
    TEinstellControls c;
    c.Online = FOnline;
    c.PresSave = FOnline && FSelected >= 0;
    c.Export = FOnline || !FPresets.isEmpty();
    c.DaylightVisible = (FContext.Device.DeviceFeatures & dfDaylightSaving) != 0;
    const bool changed = !(c == FControls);
    FControls = c;
    if (changed) {
        Q_EMIT ViewChanged();
        Q_EMIT PresetsChanged();
    }
}

void TEinstellungLogic::btnActClick()
{
    FFullReadout = true;
    FNextReadout = 0;
}

void TEinstellungLogic::TimerEvent(int, bool visible)
{
    if (!visible || !FContext.Online)
        return;
    if (!FFullReadout && now() <= FNextReadout)
        return;
    readout();
}

void TEinstellungLogic::readout()
{
    const bool full = FFullReadout;
    if (full) {
        for (int i = 0; i < FContext.Device.LanguageCount; ++i)
            send(QStringLiteral("GIL;%1").arg(i), kEinstellTagRead);
    }
    const bool daylight = (FContext.Device.DeviceFeatures & dfDaylightSaving) != 0;
    for (const char* word : {"GSB", "GSD", "GSE", "GSF", "GST", "GSL", "GSO", "GSM", "GSJ", "GSV", "GSS", "GSR",
                             "GSW", "GSX", "GSY", "GSZ", "GID"}) {
        if (!daylight && qstrcmp(word, "GSX") == 0)
            continue;
        send(QString::fromLatin1(word), kEinstellTagRead);
    }
    if (full)
        fetchPresets();
    FNextReadout = now() + kReadoutIntervalMs;
    FFullReadout = false;
    // The daylight box follows the firmware of the device that is connected now.
    updateControls();
}

void TEinstellungLogic::fetchPresets()
{
    // Selection first: leaving the selected row copies the editors into an entry that is still there.
    SelectRow(-1);
    FPresets.clear();
    FRows.clear();
    for (int n = 1; n <= kPresetCount; ++n)
        send(QStringLiteral("GSP;%1").arg(n), kEinstellTagRead);
    updateControls();
    Q_EMIT PresetsChanged();
}

void TEinstellungLogic::applyChoice(TEinstellChoice c, int value)
{
    TTextSpinnerModel& model = FChoices[static_cast<size_t>(c)];
    if (c == chSprache) {
        if (value < 0 || value >= model.Count())
            return;
        model.SetPosition(value);
    } else if (c == chMaxIntervalle) {
        const int index = model.IndexOf(QString::number(value));
        if (index < 0)
            return;
        model.SetPosition(index);
    } else {
        model.SetPosition(value);
    }
}

void TEinstellungLogic::RXData(int status, int, const QString& data)
{
    if (status != kOrderDone)
        return;
    const TAnswerFields f(data);
    const QString word = f.word();
    auto choice = [&](TEinstellChoice c, int field) {
        const TField<int> v = f.intAt(field);
        if (v.ok())
            applyChoice(c, v.Value);
    };
    auto check = [&](TEinstellCheck c, int field) {
        const TField<int> v = f.intAt(field);
        if (v.ok())
            FChecks[static_cast<size_t>(c)] = v.Value == 1;
    };
    auto decimal = [&](QString& target, TEinstellField field) {
        const TField<double> v = f.floatAt(2);
        if (v.ok() && FFocus != field)
            target = FmtDisplay().Format(QStringLiteral("%.1f"), {v.Value});
    };

    if (word == u"TSB") {
        choice(chDisplay, 2);
    } else if (word == u"TSL") {
        choice(chSprache, 2);
    } else if (word == u"TSM") {
        choice(chAnzVoreinstell, 2);
        Q_EMIT PresetsChanged();  // the row colours follow the number
    } else if (word == u"TSR") {
        choice(chStandby, 2);
    } else if (word == u"TSY") {
        choice(chDatumsformat, 2);
    } else if (word == u"TSZ") {
        choice(chZeitformat, 2);
    } else if (word == u"TSV") {
        choice(chTouchlautstaerke, 2);
        choice(chSignallautstaerke, 3);
    } else if (word == u"TSJ") {
        choice(chMaxIntervalle, 2);
    } else if (word == u"TSO") {
        const TField<int> v = f.intAt(2);
        if (v.ok() && v.Value >= 0 && v.Value < kAbschaltungCount)
            FAbschaltung = v.Value;
    } else if (word == u"TSS") {
        check(ckTonEnde, 2);
        check(ckTonAlarm, 3);
    } else if (word == u"TSW") {
        check(ckWarnAkku, 2);
    } else if (word == u"TSX") {
        check(ckDaylightSavingTime, 2);
    } else if (word == u"TSE") {
        decimal(FSLTemp, TEinstellField::SLTemp);
    } else if (word == u"TSF") {
        decimal(FSLDruck, TEinstellField::SLDruck);
    } else if (word == u"TSD") {
        const TField<QDate> d = f.dateAt(2);
        if (d.ok() && d.Value.isValid() && FFocus != TEinstellField::IMDate)
            FIMDate = d.Value;
    } else if (word == u"TST") {
        const TField<QTime> t = f.timeAt(2);
        if (t.ok() && t.Value.isValid() && FFocus != TEinstellField::IMTime)
            FIMTime = t.Value;
    } else if (word == u"TIL") {
        onLanguageName(data);
    } else if (word == u"TSP") {
        const std::optional<int> index = ParsePresetAnswer(FPresets, status, data);
        if (index) {
            ShowPresetRow(*index);
            updateControls();
            Q_EMIT PresetsChanged();
        }
        return;
    } else {
        return;
    }
    Q_EMIT ViewChanged();
}

void TEinstellungLogic::onLanguageName(const QString& data)
{
    const TAnswerFields f(data);
    const TField<int> index = f.intAt(2);
    if (!index.ok())
        return;
    if (index.Value == 0)
        FLanguageNames.clear();
    FLanguageNames << f.text(3);
    if (index.Value + 1 == FContext.Device.LanguageCount) {
        FChoices[chSprache].SetTexts(FLanguageNames);
        FDeviceLanguages = true;
    }
}

void TEinstellungLogic::SwitchLanguage()
{
    buildChoiceTexts();
    for (const TPresetRow& row : std::as_const(FRows)) {
        if (row.Number >= 1 && row.Number <= FPresets.size())
            ShowPresetRow(row.Number - 1);
    }
    for (TPresetChannelLogic* c : FChannels)
        c->SwitchLanguage();
    Q_EMIT ViewChanged();
    Q_EMIT PresetsChanged();
}

// ---- user actions, first two pages ----

void TEinstellungLogic::ChoiceStepped(TEinstellChoice choice, int position)
{
    if (choice < 0 || choice >= chChoiceCount)
        return;
    TTextSpinnerModel& model = FChoices[static_cast<size_t>(choice)];
    const int p = model.SetPosition(position);
    const int value = choice == chMaxIntervalle ? model.Text().toInt() : p;
    sendSet(choiceCommand(choice, value));
    if (choice == chAnzVoreinstell)
        Q_EMIT PresetsChanged();
    Q_EMIT ViewChanged();
}

void TEinstellungLogic::rgAbschaltungClick(int index)
{
    if (index < 0 || index >= kAbschaltungCount)
        return;
    FAbschaltung = index;
    sendSet(QStringLiteral("SSO;%1").arg(index));
    Q_EMIT ViewChanged();
}

void TEinstellungLogic::CheckClicked(TEinstellCheck check, bool checked)
{
    if (check < 0 || check >= ckCheckCount)
        return;
    FChecks[static_cast<size_t>(check)] = checked;
    sendSet(checkCommand(check, checked));
    Q_EMIT ViewChanged();
}

void TEinstellungLogic::btnUhrReadClick()
{
    if (!FContext.Online)
        return;
    send(QStringLiteral("GSD"), kEinstellTagSet);
    send(QStringLiteral("GST"), kEinstellTagSet);
}

void TEinstellungLogic::btnUhrSetClick()
{
    if (!FContext.Online || !FIMDate.isValid() || !FIMTime.isValid())
        return;
    sendSet(QStringLiteral("SSD;") + FIMDate.toString(kDeviceDate));
    sendSet(QStringLiteral("SST;") + FIMTime.toString(kDeviceTime));
}

void TEinstellungLogic::btnUhrSyncClick()
{
    if (!FContext.Online)
        return;
    // One reading for date, time and zone: two readings around midnight would pair yesterday's
    // date with today's 00:00.
    const QDateTime pc = FWallClock();
    if (FContext.Device.DeviceFeatures & dfDaylightSaving) {
        const int daylight = FDaylight(static_cast<std::time_t>(pc.toSecsSinceEpoch()));
        if (daylight > 0)
            sendSet(QStringLiteral("SSX;1"));
        else if (daylight == 0)
            sendSet(QStringLiteral("SSX;0"));
    }
    sendSet(QStringLiteral("SSD;") + pc.date().toString(kDeviceDate));
    sendSet(QStringLiteral("SST;") + pc.time().toString(kDeviceTime));
}

void TEinstellungLogic::btnSLSetClick()
{
    if (!FContext.Online) {
        Q_EMIT Status(Tr("Funktion nur online möglich"), true);
        return;
    }
    bool ok = true;
    double temp = 0.0;
    double pressure = 0.0;
    if (!FmtDisplay().ParseFloat(FSLTemp, temp)) {
        Q_EMIT Status(Tr("Temperatur für Standardliter ist ungültig"), true);
        ok = false;
    } else if (!(temp >= kMinSLTemp && temp <= kMaxSLTemp)) {
        Q_EMIT Status(Tr("Temperatur für Standardliter muss zwischen -20 und +80 °C liegen"), true);
        ok = false;
    }
    if (!FmtDisplay().ParseFloat(FSLDruck, pressure)) {
        Q_EMIT Status(Tr("Luftdruck für Standardliter ist ungültig"), true);
        ok = false;
    } else if (!(pressure >= kMinSLPressure && pressure <= kMaxSLPressure)) {
        Q_EMIT Status(Tr("Luftdruck für Standardliter muss zwischen 800 und 1100 mbar liegen"), true);
        ok = false;
    }
    if (!ok)
        return;
    Q_EMIT Status(QString(), false);
    sendSet(QStringLiteral("SSE;") + FmtDevice().Format(QStringLiteral("%.1f"), {temp}));
    sendSet(QStringLiteral("SSF;") + FmtDevice().Format(QStringLiteral("%.1f"), {pressure}));
}

std::optional<QChar> TEinstellungLogic::SLKey(TEinstellField field, QChar key, const QString& text, int cursor)
{
    const bool temperature = field == TEinstellField::SLTemp;
    std::optional<QChar> accepted;
    if (key >= QLatin1Char('0') && key <= QLatin1Char('9')) {
        accepted = key;
    } else if (key == QLatin1Char('.') || key == QLatin1Char(',')) {
        accepted = FmtDisplay().DecimalSeparator;
    } else if (key == QLatin1Char('-') && temperature) {
        if (cursor != 0 || text.startsWith(QLatin1Char('-')))
            return std::nullopt;  // a second or inner minus: swallowed without a word
        accepted = key;
    }
    if (!accepted) {
        Q_EMIT Status(temperature ? Tr("Nur Zeichen \"0123456789.,-\" möglich") : Tr("Nur Zeichen \"0123456789.,\" möglich!"),
                      true);
        return std::nullopt;
    }
    Q_EMIT Status(QString(), false);
    return accepted;
}

// ---- preset editor ----

int TEinstellungLogic::tableIndexOfRow(int row) const
{
    if (row < 0 || row >= FRows.size())
        return -1;
    const int index = FRows.at(row).Number - 1;
    return index >= 0 && index < FPresets.size() ? index : -1;
}

bool TEinstellungLogic::RowInUse(int row) const
{
    return row >= 0 && row < FRows.size() && FRows.at(row).Number <= Choice(chAnzVoreinstell).Position();
}

void TEinstellungLogic::ShowPresetRow(int index)
{
    if (index < 0 || index >= FPresets.size())
        return;
    const TPreSet& p = FPresets.at(index);
    const int number = index + 1;
    QStringList cells{QString::number(number), p.strBez};
    for (int c = 0; c < 2; ++c) {
        const TSampleSet& set = p.aSet[static_cast<size_t>(c)];
        cells << FmtDisplay().Format(QStringLiteral("%.1f %s"),
                                     {static_cast<double>(set.fVolume), VolumeUnitText(set.iVolType)});
        cells << FmtDisplay().Format(QStringLiteral("%.2f %s"),
                                     {static_cast<double>(set.fFlow), FlowUnitText(set.iVolType)});
        cells << FormatDuration(static_cast<int>(std::min<qint64>(EffectiveSampleTime(p, c), INT_MAX)));
        cells << FormatDuration(set.iDelay);
        QStringList options;
        if (!set.bActive)
            options << QStringLiteral("D");
        if (set.bIntervalMode)
            options << QStringLiteral("I");
        if (set.bFlowMonitor)
            options << QStringLiteral("Ü");
        options << VolumeUnitText(set.iVolType);
        cells << options.join(QStringLiteral(", "));
    }
    cells << QString::number(p.iLoginterv) + QStringLiteral(" s");
    for (TPresetRow& row : FRows) {
        if (row.Number == number) {
            row.Cells = cells;
            return;
        }
    }
    FRows.append(TPresetRow{number, cells});
}

void TEinstellungLogic::copyEditorsBack()
{
    const int index = tableIndexOfRow(FSelected);
    if (index < 0)
        return;
    TPreSet& p = FPresets[index];
    p.strBez = FPage.Bez;
    for (int c = 0; c < 2; ++c)
        p.aSet[static_cast<size_t>(c)] = Channel(c).SampleSet();
}

void TEinstellungLogic::SelectRow(int row)
{
    if (tableIndexOfRow(row) < 0)
        row = -1;
    if (row == FSelected)
        return;
    copyEditorsBack();
    FSelected = row;
    const int index = tableIndexOfRow(row);
    if (index >= 0) {
        const TPreSet& p = FPresets.at(index);
        FPage.Nr = QString::number(p.ilfdNr);
        FPage.Bez = p.strBez;
        FPage.LogIntervall = QString::number(p.iLoginterv);
        FPage.Enabled = true;
        for (int c = 0; c < 2; ++c)
            Channel(c).LoadData(p.aSet[static_cast<size_t>(c)]);
    } else {
        FPage = TPresetPage{};
        for (int c = 0; c < 2; ++c)
            Channel(c).ClearData();
    }
    updateControls();
    Q_EMIT PresetsChanged();
}

bool TEinstellungLogic::ePresLogIntervallExit(const QString& text)
{
    FPage.LogIntervall = text;
    const int index = tableIndexOfRow(FSelected);
    if (index < 0 || text.isEmpty())
        return true;
    int value = 0;
    QString message;
    if (!CheckIntField(text, 0, kMaxLogIntervalS, value, message)) {
        Q_EMIT Status(message, true);
        return false;
    }
    Q_EMIT Status(QString(), false);
    FPage.LogIntervall = QString::number(value);
    FPresets[index].iLoginterv = value;
    Q_EMIT PresetsChanged();
    return true;
}

void TEinstellungLogic::btnPresSaveClick()
{
    const int index = tableIndexOfRow(FSelected);
    if (index < 0)
        return;
    if (FPage.Bez.trimmed().isEmpty()) {
        Q_EMIT Status(Tr("Keine Bezeichnung angegeben"), true);
        return;
    }
    Q_EMIT Status(QString(), false);
    TPreSet& p = FPresets[index];
    p.strBez = FPage.Bez;
    for (int c = 0; c < 2; ++c)
        p.aSet[static_cast<size_t>(c)] = Channel(c).SampleSet();
    QString message;
    if (!CheckIntervalTimes(p, message)) {
        Q_EMIT Status(message, true);
        return;
    }
    BuildPresetCommand(p, FContext.Online);
}

// ---- preset files ----

QString TEinstellungLogic::PresetFileFilter()
{
    return Tr("Sarvik2-Voreinstellungen") + QStringLiteral(" (*.svk);;") + Tr("Alle Dateien") + QStringLiteral(" (*)");
}

void TEinstellungLogic::btnExportClick()
{
    if (!FControls.Export || !FDialogs.saveFile)
        return;
    const QString dir = FContext.Settings().GetStr(QStringLiteral("Paths/Config"));
    const QString proposed =
        QDir(dir).filePath(ProposedPresetFileName(FContext.Device.SerialNo, FWallClock()) + QStringLiteral(".svk"));
    const QString path = FDialogs.saveFile(Tr("Voreinstellungen exportieren"), dir, PresetFileFilter(), proposed);
    if (path.isEmpty())
        return;
    const QString error = ExportPresetFile(path, FPresets, FFileLocale);
    if (!error.isEmpty()) {
        qCWarning(lcPresets) << "export failed:" << error;
        if (FDialogs.error)
            FDialogs.error(error);
    }
}

void TEinstellungLogic::btnImportClick()
{
    if (!FContext.Online || !FDialogs.openFile)
        return;
    if (FDialogs.askYesNo
        && !FDialogs.askYesNo(Tr("Die aktuellen Voreinstellungen werden beim Import überschrieben.\r\n\r\nFortfahren?")))
        return;
    const QString dir = FContext.Settings().GetStr(QStringLiteral("Paths/Config"));
    const QString path = FDialogs.openFile(Tr("Voreinstellungen importieren"), dir, PresetFileFilter());
    if (path.isEmpty())
        return;
    TSettingsIni ini;
    QString error;
    if (!LoadPresetFile(path, ini, error)) {
        qCWarning(lcPresets) << "import failed:" << error;
        if (FDialogs.error)
            FDialogs.error(error);
        return;
    }
    const TPresetImport result = ImportPresets(ini, FPresets, MaxFlow(FContext.Device));
    for (const QString& rejection : result.Rejections) {
        if (FSysMessage)
            FSysMessage(rejection, true);
    }
    for (const TPreSet& p : result.Accepted)
        BuildPresetCommand(p, FContext.Online);
}
