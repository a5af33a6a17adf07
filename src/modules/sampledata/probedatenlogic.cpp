#include "probedatenlogic.h"

#include "deviceformat.h"
#include "formatsettings.h"
#include "i18n.h"
#include "logchart.h"
#include "sendorder.h"
#include "settingsform.h"
#include "sysmessages.h"
#include "wireformat.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <utility>

Q_LOGGING_CATEGORY(lcSampleData, "sarvik.modules.sampledata")

namespace {

constexpr int kClientId = ciProbedaten;
constexpr int kDeviceSampling = 8;
constexpr int kMinSerialLength = 3;
constexpr int kMarqueeMax = 100;
constexpr float kMissingPressure = 10.0f;

const QString kSep = QStringLiteral(";");
const QString kHistSuffix = QStringLiteral("_hist.csv");
const QString kLogSuffix = QStringLiteral("_log.csv");
const QString kCardSubfolder = QStringLiteral("sampling_data");
const QColor kPurple{128, 0, 128};
// Background of the channel columns, as the two detail frames are tinted.
const QColor kChannel1Back{225, 238, 255};
const QColor kChannel2Back{255, 240, 222};
const QColor kWhite{255, 255, 255};

QString fieldOf(const QString& data, int index)
{
    QString token;
    if (!GetToken(data, kSep, token, index))
        return {};
    return token;
}

bool intOf(const QString& data, int index, int& value)
{
    bool ok = false;
    const int v = fieldOf(data, index).trimmed().toInt(&ok);
    if (ok)
        value = v;
    return ok;
}

QString climateTemperature(const T_SAMPLEDATA& r, const TFormatSettings& fmt)
{
    if (r.iClimateState == 0 || r.iClimateState == 1)
        return fmt.Format(QStringLiteral("%.1f %s"), {double(r.sTemperature), QStringLiteral("\u00b0C")});
    return QStringLiteral("?");
}

QString climateHumidity(const T_SAMPLEDATA& r, const TFormatSettings& fmt)
{
    if (r.iClimateState == 0)
        return fmt.Format(QStringLiteral("%.1f %s"), {double(r.sHumidity), QStringLiteral("% r.H.")});
    return QStringLiteral("?");
}

QString climatePressure(const T_SAMPLEDATA& r, const TFormatSettings& fmt)
{
    if (r.sAirPressure <= kMissingPressure)
        return QStringLiteral("?");
    return fmt.Format(QStringLiteral("%.1f %s"), {double(r.sAirPressure), QStringLiteral("mbar")});
}

// The long time of the display notation without the time zone that Qt's long format carries.
QString longTime(const QTime& time, const TFormatSettings& fmt)
{
    if (!time.isValid())
        return {};
    return fmt.Locale.toString(time, fmt.QtPattern(fmt.LongTimeFormat));
}

QString loggingText(const T_SAMPLEDATA& r)
{
    return r.bLoggingActive ? Tr("Ein") : Tr("Aus");
}

// An entry of folder whose name equals name in any case; empty when there is none.
QString findCaseInsensitive(const QString& folder, const QString& name, QDir::Filters filter)
{
    const QDir dir(folder);
    for (const QString& entry : dir.entryList(filter | QDir::NoDotAndDotDot | QDir::Hidden)) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return folder + QLatin1Char('/') + entry;
    }
    return {};
}

}  // namespace

TProbedatenLogic::TProbedatenLogic(TAppContext& context, QObject* parent)
    : QObject(parent)
    , FContext(context)
    , FExport(context.Settings())
{
    FOptions = BuildOptionRows();
    FDetails = ClearedDetails();
    FLogExport = [this](int index) { ExportLog(index); };
    FSampleExport = [this] { ExportSamples(); };
    FExport.Message = [this](const QString& text, bool alarm) { status(text, alarm); };
    updateControls();
}

void TProbedatenLogic::send(const QString& command, int tag)
{
    SendOrder(kClientId, command, tag);
}

void TProbedatenLogic::status(const QString& text, bool alarm)
{
    Q_EMIT Status(text, alarm);
}

// ---- module operations ----

void TProbedatenLogic::FormShow()
{
    status(QString(), false);
    clearDetails();
    FOptions = BuildOptionRows();
    updateControls();
}

void TProbedatenLogic::SetOnOffLine(int online)
{
    // Only going offline ends a download; an online report while one runs changes nothing.
    if (online == 0) {
        FWaitingForNewest = false;
        if (FDownloading) {
            FAbort = true;
            FinishRecordDownload(frOffline);
        }
        if (FLogDownloading) {
            FAbort = true;
            FinishLogDownload(frOffline);
        }
    }
    updateControls();
}

void TProbedatenLogic::RXData(int status, int tag, const QString& data)
{
    if (status != kOrderDone)
        return;
    const QString word = data.left(3);
    if (word == QLatin1String("TDP")) {
        // Only the answer to our own GDP starts a download, and never a second one.
        if (!FWaitingForNewest || FDownloading || FLogDownloading)
            return;
        FWaitingForNewest = false;
        int newest = -1;
        if (intOf(data, 2, newest) && newest >= 0)
            StartRecordDownload(newest);
        else
            FinishRecordDownload(frNoData);
        return;
    }
    if (word == QLatin1String("TDR")) {
        if (FDownloading)
            onRecordAnswer(data);
        return;
    }
    if (word == QLatin1String("TDN")) {
        if (FLogDownloading)
            onLogAnswer(data);
        return;
    }
    if (word == QLatin1String("TDI")) {
        onDeleteAnswer(data);
        return;
    }
    if (tag > 0)
        onOptionAnswer(tag, data);
}

void TProbedatenLogic::SwitchLanguage()
{
    FOptions = [this] {
        std::vector<T_OPTIONS> rows = BuildOptionRows();
        for (size_t i = 0; i < rows.size() && i < FOptions.size(); ++i)
            rows[i].sVal = FOptions[i].sVal;
        return rows;
    }();
    rebuildList();
    clearDetails();
}

// ---- record download ----

void TProbedatenLogic::btnLadeSarvikClick()
{
    if (Busy())
        return;
    if (!FContext.Online) {
        status(Tr("Funktion nur online möglich"), true);
        return;
    }
    if (FContext.Device.SerialNo.size() < kMinSerialLength) {
        status(Tr("Laden nicht möglich weil Serien-Nr. nicht bekannt ist"), true);
        return;
    }
    if (FContext.Device.DeviceState == kDeviceSampling) {
        status(Tr("Laden während der Probenahme nicht möglich"), true);
        return;
    }
    clearDetails();
    clearList();
    // Locked from here: a second click would start a second, interleaved download.
    FWaitingForNewest = true;
    send(QStringLiteral("GDP"), kProbeTagDefault);
    updateControls();
}

void TProbedatenLogic::btnAbbruchClick()
{
    FAbort = true;
}

void TProbedatenLogic::SetRecordLimit(int count)
{
    FRecordLimit = std::clamp(count, 1, kMaxDownloadRecords);
}

void TProbedatenLogic::StartRecordDownload(int newest)
{
    FAbort = false;
    FDownloading = true;
    FLogDownloading = false;
    FWaitingForNewest = false;
    FRecords.clear();
    FChecked.clear();
    clearList();
    clearOptionValues();
    FNewest = newest;
    FOldest = newest < FRecordLimit ? 0 : newest - (FRecordLimit - 1);
    FNext = newest;
    FControls.ProgressMarquee = false;
    FControls.ProgressMax = FNewest - FOldest + 1;
    FControls.ProgressPos = 0;
    FControls.ProgressVisible = true;
    status(Tr("Datenübertragung gestartet ..."), false);
    send(QStringLiteral("GDR;") + QString::number(FNext), kProbeTagDefault);
    updateControls();
}

bool TProbedatenLogic::ParseSampleRecord(const QString& text)
{
    const QStringList fields = text.split(kSep);
    int result = 4;
    if (!intOf(text, 2, result) || result < 0 || result > 4)
        result = 4;
    switch (result) {
    case 0: {
        FNoData = false;
        T_SAMPLEDATA record;
        DecodeRecordFields(fields.mid(2), record);
        FRecords.push_back(std::move(record));
        return true;
    }
    case 1:
        ShowSysMessage(FmtDisplay().Format(Tr("Prüfsummenfehler bei Satz Nr. %d"), {FNext}), true);
        return true;
    case 2:
        ShowSysMessage(FmtDisplay().Format(Tr("Falsche Probennummer bei Satz Nr. %d"), {FNext}), true);
        return true;
    case 3:
        FLastError = Tr("Keine Daten vorhanden");
        FNoData = true;
        return false;
    default:
        ShowSysMessage(FmtDisplay().Format(Tr("Lesefehler bei Satz Nr. %d"), {FNext}), true);
        return true;
    }
}

void TProbedatenLogic::onRecordAnswer(const QString& data)
{
    FLastError.clear();
    if (!ParseSampleRecord(data)) {
        FinishRecordDownload(FNoData ? frNoData : frTransferError);
        return;
    }
    FControls.ProgressPos = static_cast<int>(FRecords.size());
    // One request per answer: the next number goes out only after this one came back.
    if (FOldest < FNext) {
        --FNext;
        if (FAbort)
            FinishRecordDownload(frUserAbort);
        else if (FContext.Online)
            send(QStringLiteral("GDR;") + QString::number(FNext), kProbeTagDefault);
        else
            FinishRecordDownload(frOffline);
        Q_EMIT ViewChanged();
        return;
    }
    FinishRecordDownload(frDone);
    if (FContext.Online) {
        for (size_t i = 0; i < FOptions.size(); ++i)
            send(FOptions[i].sOrder, static_cast<int>(i) + 1);
    }
}

void TProbedatenLogic::FinishRecordDownload(int reason)
{
    FDownloading = false;
    FWaitingForNewest = false;
    FControls.ProgressVisible = false;
    const int n = static_cast<int>(FRecords.size());
    const TFormatSettings& fmt = FmtDisplay();
    switch (reason) {
    case frDone:
        status(fmt.Format(TrN("Es wurde ein Satz eingelesen", "Es wurden %d Sätze eingelesen", n), {n}), false);
        break;
    case frTransferError:
        status(fmt.Format(Tr("Übertagungsfehler >%s< nach %d Sätzen"), {FLastError, n}), true);
        break;
    case frOffline:
        status(fmt.Format(Tr("Sarvik2V2 ist offline nach %d Sätzen"), {n}), true);
        break;
    case frUserAbort:
        status(fmt.Format(Tr("Benutzerabbruch nach %d Sätzen"), {n}), true);
        break;
    default:
        status(Tr("Keine Daten vorhanden"), false);
        break;
    }
    rebuildList();
    if (FRows.empty())
        clearDetails();
    else
        SelectRow(0);
    updateControls();
}

void TProbedatenLogic::onOptionAnswer(int tag, const QString& data)
{
    // Row i went out with tag i + 1.
    const int row = tag - 1;
    if (row < 0 || row >= static_cast<int>(FOptions.size()))
        return;
    T_OPTIONS& o = FOptions[static_cast<size_t>(row)];
    if (data.left(3) != o.sAnswer)
        return;
    o.sVal = fieldOf(data, o.iToken);
}

void TProbedatenLogic::clearOptionValues()
{
    for (T_OPTIONS& o : FOptions)
        o.sVal.clear();
}

int TProbedatenLogic::FindRecordByNumber(int number) const
{
    for (size_t i = 0; i < FRecords.size(); ++i) {
        if (FRecords[i].uiNummer == number)
            return static_cast<int>(i);
    }
    return -1;
}

// ---- delete ----

void TProbedatenLogic::btnDeleteClick()
{
    if (Busy())
        return;
    if (!FContext.Online) {
        status(Tr("Funktion nur online möglich"), true);
        return;
    }
    const bool yes = FQuestion && FQuestion(Tr("Es werden ALLE Probenahmedaten in Sarvik2V2 gelöscht.\r\n\r\nFortfahren?"));
    if (!yes) {
        status(Tr("Daten werden nicht gelöscht"), false);
        return;
    }
    send(QStringLiteral("SDI;128"), kProbeTagDelete);
    status(Tr("Löschen der Daten in Sarvik2V2 wurde initialisiert"), false);
}

void TProbedatenLogic::onDeleteAnswer(const QString& data)
{
    int result = 0;
    if (intOf(data, 2, result) && result == 1) {
        const QString text = Tr("Daten in Sarvik2V2 sind gelöscht");
        status(text, false);
        ShowSysMessageColor(text, kPurple);
        for (T_SAMPLEDATA& r : FRecords)
            r.bLoggingActive = false;
        FRecords.clear();
        FChecked.clear();
        rebuildList();
        clearDetails();
        updateControls();
        return;
    }
    status(Tr("Daten konnten nicht gelöscht werden"), false);
    const QString box = Tr("Die Daten konnten nicht gelöscht werden!\r\nBenutzen Sie die Löschfunktion in den "
                           "Einstellungen\r\nan Sarvik2V2");
    QTimer::singleShot(0, this, [this, box] {
        if (FMessageBox)
            FMessageBox(box);
    });
}

// ---- process logs ----

void TProbedatenLogic::UpdateLogActions()
{
    FControls.LogActionEnabled = false;
    // The record whose log is being filled stays current until the download ends.
    if (FLogDownloading) {
        Q_EMIT ViewChanged();
        return;
    }
    FCurrent = -1;
    if (!Busy() && FSelectedRow >= 0 && FSelectedRow < static_cast<int>(FRows.size())) {
        const int index = FRows[static_cast<size_t>(FSelectedRow)].Index;
        if (index >= 0 && index < static_cast<int>(FRecords.size())) {
            const T_SAMPLEDATA& r = FRecords[static_cast<size_t>(index)];
            if (r.bLoggingActive && (FContext.Online || !r.sLogFileName.isEmpty())) {
                FCurrent = index;
                FControls.LogActionEnabled = true;
            }
        }
    }
    Q_EMIT ViewChanged();
}

void TProbedatenLogic::btnProbeExcelClick()
{
    if (Busy())
        return;
    FLogForChart = false;
    loadLog();
}

void TProbedatenLogic::btnProbeVerlaufClick()
{
    if (Busy())
        return;
    FLogForChart = true;
    loadLog();
}

TChartData TProbedatenLogic::LogChart(int index) const
{
    if (index < 0 || index >= static_cast<int>(FRecords.size()))
        return {};
    return BuildLogChart(FRecords[static_cast<size_t>(index)]);
}

void TProbedatenLogic::loadLog()
{
    status(QString(), false);
    const bool valid = FCurrent >= 0 && FCurrent < static_cast<int>(FRecords.size());
    if (valid && !FRecords[static_cast<size_t>(FCurrent)].sLogFileName.isEmpty()) {
        loadLogFromFile();
        return;
    }
    if (!FContext.Online)
        status(Tr("Laden der Daten ist nur online möglich"), true);
    else if (!valid)
        status(Tr("Keine Log-Daten vorhanden"), true);
    else if (FContext.Device.DeviceState == kDeviceSampling)
        status(Tr("Laden während der Probenahme nicht möglich"), true);
    else
        StartLogDownload();
}

void TProbedatenLogic::loadLogFromFile()
{
    T_SAMPLEDATA& r = FRecords[static_cast<size_t>(FCurrent)];
    QStringList lines;
    if (!QFileInfo(r.sLogFileName).isFile() || !ReadCardFileLines(r.sLogFileName, lines)) {
        status(Tr("Die entsprechende Logdaten-Datei konnte nicht gefunden werden"), true);
        return;
    }
    r.aSL.clear();
    const QString prefix = QStringLiteral("TDN;") + QString::number(r.uiNummer) + QStringLiteral(";1;");
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("date")))
            continue;
        ParseLogEntry(prefix + line);
    }
    FinishLogDownload(frDone);
}

void TProbedatenLogic::StartLogDownload()
{
    if (FCurrent < 0 || FCurrent >= static_cast<int>(FRecords.size()))
        return;
    FAbort = false;
    FLogDownloading = true;
    T_SAMPLEDATA& r = FRecords[static_cast<size_t>(FCurrent)];
    r.aSL.clear();
    FControls.ProgressMarquee = true;
    FControls.ProgressMax = kMarqueeMax;
    FControls.ProgressPos = 0;
    FControls.ProgressVisible = true;
    status(Tr("Datenübertragung gestartet ..."), false);
    send(QStringLiteral("GDN;") + QString::number(r.uiNummer), kProbeTagDefault);
    FNoData = false;
    updateControls();
}

void TProbedatenLogic::ParseLogEntry(const QString& text)
{
    if (FCurrent < 0 || FCurrent >= static_cast<int>(FRecords.size()))
        return;
    T_SAMPLELOG entry;
    DecodeLogFields(text.split(kSep).mid(2), entry);
    FRecords[static_cast<size_t>(FCurrent)].aSL.push_back(entry);
}

void TProbedatenLogic::onLogAnswer(const QString& data)
{
    FLastError.clear();
    ParseLogEntry(data);
    if (FCurrent < 0 || FCurrent >= static_cast<int>(FRecords.size())) {
        FinishLogDownload(frOffline);
        return;
    }
    std::vector<T_SAMPLELOG>& log = FRecords[static_cast<size_t>(FCurrent)].aSL;
    if (!log.empty() && log.back().iStatus == 0) {
        log.pop_back();
        FinishLogDownload(frDone);
        return;
    }
    if (FAbort)
        FinishLogDownload(frUserAbort);
    else if (FContext.Online)
        send(QStringLiteral("GDN;") + QString::number(FRecords[static_cast<size_t>(FCurrent)].uiNummer),
             kProbeTagDefault);
    else
        FinishLogDownload(frOffline);
}

void TProbedatenLogic::FinishLogDownload(int reason)
{
    FLogDownloading = false;
    FControls.ProgressVisible = false;
    FControls.ProgressMarquee = false;
    const bool valid = FCurrent >= 0 && FCurrent < static_cast<int>(FRecords.size());
    const int n = valid ? static_cast<int>(FRecords[static_cast<size_t>(FCurrent)].aSL.size()) : 0;
    const TFormatSettings& fmt = FmtDisplay();
    if (reason == frDone)
        status(fmt.Format(TrN("Es wurde ein Satz eingelesen", "Es wurden %d Sätze eingelesen", n), {n}), false);
    else if (reason == frOffline)
        status(fmt.Format(Tr("Sarvik2V2 ist offline nach %d Sätzen"), {n}), true);
    else if (reason == frUserAbort)
        status(fmt.Format(Tr("Benutzerabbruch nach %d Sätzen"), {n}), true);
    const bool chart = std::exchange(FLogForChart, false);
    if (n == 0) {
        status(Tr("Keine Daten vorhanden"), true);
    } else if (chart) {
        // What arrived is shown; the status line already says when it is not all.
        const int index = FCurrent;
        QTimer::singleShot(0, this, [this, index] {
            if (FLogChart)
                FLogChart(index);
        });
    } else if (reason != frDone) {
        const int index = FCurrent;
        const QString question = Tr("Es wurden nicht alle Log-Daten geladen\r\nÜbertragene Daten nach EXCEL?");
        QTimer::singleShot(0, this, [this, index, question] {
            if (FQuestion && FQuestion(question) && FLogExport)
                FLogExport(index);
        });
    } else {
        exportLogLater(FCurrent);
    }
    updateControls();
}

void TProbedatenLogic::exportLogLater(int index)
{
    QTimer::singleShot(0, this, [this, index] {
        if (FLogExport)
            FLogExport(index);
    });
}

// ---- files ----

int TProbedatenLogic::LoadRecordsFromFolder(const QString& folder)
{
    FRecords.clear();
    FChecked.clear();
    QStringList paths;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden)) {
        if (name.endsWith(kHistSuffix, Qt::CaseInsensitive))
            paths << folder + QLatin1Char('/') + name;
    }
    std::sort(paths.begin(), paths.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) > 0; });
    int read = 0;
    for (const QString& path : paths) {
        QStringList lines;
        if (!ReadCardFileLines(path, lines) || lines.isEmpty())
            continue;
        QString line = lines.first();
        if (line.startsWith(QLatin1String("record"))) {
            if (lines.size() < 2)
                continue;
            line = lines.at(1);
        }
        const size_t before = FRecords.size();
        ParseSampleRecord(QStringLiteral("TDR;0;") + line);
        ++read;
        if (FRecords.size() == before)
            continue;
        T_SAMPLEDATA& r = FRecords.back();
        const QFileInfo info(path);
        const QString logName = info.fileName().left(info.fileName().size() - kHistSuffix.size()) + kLogSuffix;
        const QString found = findCaseInsensitive(info.path(), logName, QDir::Files);
        r.sLogFileName = found.isEmpty() ? info.path() + QLatin1Char('/') + logName : found;
        if (found.isEmpty())
            r.bLoggingActive = false;
    }
    return read;
}

void TProbedatenLogic::btnLadeDateienClick()
{
    if (Busy() || !FFolderDialog)
        return;
    const QString folder = FFolderDialog(Tr("Ordner mit Probenahmedateien auswählen"), QDir::currentPath());
    if (folder.isEmpty())
        return;
    clearDetails();
    clearList();
    clearOptionValues();
    QString base = folder;
    while (base.size() > 1 && base.endsWith(QLatin1Char('/')))
        base.chop(1);
    int n = LoadRecordsFromFolder(base);
    if (n == 0) {
        const QString sub = findCaseInsensitive(base, kCardSubfolder, QDir::Dirs);
        if (!sub.isEmpty())
            n = LoadRecordsFromFolder(sub);
    }
    FinishRecordDownload(n == 0 ? frNoData : frDone);
}

void TProbedatenLogic::btnEXCELClick()
{
    if (Busy())
        return;
    if (FSampleExport)
        FSampleExport();
}

// ---- list and details ----

QStringList TProbedatenLogic::ColumnCaptions()
{
    QStringList captions{Tr("Nr.")};
    for (int c = 0; c < 2; ++c) {
        captions << Tr("Status") << Tr("Datum") << Tr("Zeit") << Tr("IstVol.") << Tr("Dauer") << Tr("SollVol.")
                 << Tr("SollFlow");
    }
    captions << Tr("Temperatur") << Tr("Feuchte") << Tr("Luftdruck") << Tr("Logging");
    return captions;
}

TListRow TProbedatenLogic::RowOf(int index) const
{
    TListRow row;
    row.Index = index;
    const T_SAMPLEDATA& r = FRecords[static_cast<size_t>(index)];
    const TFormatSettings& fmt = FmtDisplay();
    row.Cells[lcNr] = QString::asprintf("%5d", r.uiNummer);
    row.Colours.fill(kWhite);
    for (int c = 0; c < 2; ++c) {
        const T_DATA_CHANNEL& ch = r.aDC[static_cast<size_t>(c)];
        const int b = c == 0 ? lcChannel1 : lcChannel2;
        const int flags = ch.iSetFlags;
        row.Cells[b] = SampleStatusText(ch.iStatus, ch.iError, r.uiAlarm);
        row.Cells[b + 1] = ch.dtStartDate.isValid() ? fmt.FormatDate(ch.dtStartDate) : QString();
        row.Cells[b + 2] = longTime(ch.tmStartTime, fmt);
        row.Cells[b + 3] = fmt.Format(QStringLiteral("%.2f %s"), {double(ch.fVolume), VolumeUnitText(flags)});
        row.Cells[b + 4] = FormatDuration(ch.tSampleTime);
        row.Cells[b + 5] = fmt.Format(QStringLiteral("%.1f %s"), {double(ch.fSetVolume), VolumeUnitText(flags)});
        row.Cells[b + 6] = fmt.Format(QStringLiteral("%.2f %s"), {double(ch.fSetFlow), FlowUnitText(flags)});
        for (int k = 0; k < kChannelColumns; ++k)
            row.Colours[b + k] = c == 0 ? kChannel1Back : kChannel2Back;
        row.Colours[b] = SampleStatusColor(ch);
    }
    row.Cells[lcTemperature] = climateTemperature(r, fmt);
    row.Cells[lcHumidity] = climateHumidity(r, fmt);
    row.Cells[lcPressure] = climatePressure(r, fmt);
    row.Cells[lcLogging] = loggingText(r);
    row.Checked = index < static_cast<int>(FChecked.size()) && FChecked[static_cast<size_t>(index)];
    return row;
}

void TProbedatenLogic::rebuildList()
{
    FChecked.resize(FRecords.size(), false);
    FRows.clear();
    FRows.reserve(FRecords.size());
    for (size_t i = 0; i < FRecords.size(); ++i)
        FRows.push_back(RowOf(static_cast<int>(i)));
    if (FSelectedRow >= static_cast<int>(FRows.size()))
        FSelectedRow = -1;
    Q_EMIT ListChanged();
    UpdateLogActions();
}

void TProbedatenLogic::clearList()
{
    FRows.clear();
    FSelectedRow = -1;
    Q_EMIT ListChanged();
    UpdateLogActions();
}

TDetailsView TProbedatenLogic::ClearedDetails()
{
    TDetailsView d;
    d.Title = Tr("Probenahmedetails");
    const QString dash = QStringLiteral("-");
    for (TChannelDetails& c : d.Channel) {
        c.Status = QStringLiteral("---");
        c.StatusColour = kSilver;
        c.Volume = c.Duration = c.MeanFlow = c.SetVolume = c.SetFlow = c.SetDuration = dash;
        c.FlowMonitor = dash;
        c.FlowMonitorColour = kSilver;
    }
    d.Temperature = d.Humidity = d.Pressure = d.Logging = dash;
    return d;
}

TDetailsView TProbedatenLogic::DetailsOf(const T_SAMPLEDATA& r) const
{
    const TFormatSettings& fmt = FmtDisplay();
    TDetailsView d;
    d.Title = fmt.Format(Tr("Probe-Nr. %d"), {r.uiNummer});
    for (size_t c = 0; c < 2; ++c) {
        const T_DATA_CHANNEL& ch = r.aDC[c];
        TChannelDetails& v = d.Channel[c];
        const QString volumeUnit = VolumeUnitText(ch.iSetFlags);
        const QString flowUnit = FlowUnitText(ch.iSetFlags);
        v.Status = SampleStatusText(ch.iStatus, ch.iError, r.uiAlarm);
        v.StatusColour = SampleStatusColor(ch);
        v.StartDate = ch.dtStartDate.isValid() ? fmt.FormatDate(ch.dtStartDate) : QString();
        v.StartTime = longTime(ch.tmStartTime, fmt);
        v.Volume = fmt.Format(QStringLiteral("%.2f %s"), {double(ch.fVolume), volumeUnit});
        v.Duration = FormatDuration(ch.tSampleTime);
        const double meanFlow = ch.tSampleTime != 0 ? double(ch.fVolume) / ch.tSampleTime * 60.0 : 0.0;
        v.MeanFlow = fmt.Format(QStringLiteral("%.3f %s"), {meanFlow, flowUnit});
        v.SetVolume = fmt.Format(QStringLiteral("%.2f %s"), {double(ch.fSetVolume), volumeUnit});
        v.SetFlow = fmt.Format(QStringLiteral("%.2f %s"), {double(ch.fSetFlow), flowUnit});
        v.FlowMonitor = FlowMonitorText(ch);
        v.FlowMonitorColour = FlowMonitorColor(ch);
        const bool interval = (ch.iSetFlags & kFlagInterval) && (ch.iStatus == 1 || ch.iStatus == 2);
        v.SetDuration = interval ? FormatDuration(qint64{ch.iSetTime} * 60) : Tr("kein Intervallbetrieb");
    }
    d.Temperature = climateTemperature(r, fmt);
    d.Humidity = climateHumidity(r, fmt);
    d.Pressure = climatePressure(r, fmt);
    d.Logging = loggingText(r);
    return d;
}

void TProbedatenLogic::clearDetails()
{
    FDetails = ClearedDetails();
    FControls.LogActionEnabled = false;
    Q_EMIT ViewChanged();
}

void TProbedatenLogic::SelectRow(int row)
{
    if (row < 0 || row >= static_cast<int>(FRows.size())) {
        FSelectedRow = -1;
        clearDetails();
    } else {
        FSelectedRow = row;
        const int index = FRows[static_cast<size_t>(row)].Index;
        FDetails = DetailsOf(FRecords[static_cast<size_t>(index)]);
    }
    UpdateLogActions();
}

void TProbedatenLogic::SetRowChecked(int row, bool checked)
{
    if (row < 0 || row >= static_cast<int>(FRows.size()))
        return;
    TListRow& r = FRows[static_cast<size_t>(row)];
    r.Checked = checked;
    if (r.Index >= 0 && r.Index < static_cast<int>(FChecked.size()))
        FChecked[static_cast<size_t>(r.Index)] = checked;
}

void TProbedatenLogic::SelectAll()
{
    if (FRecords.empty() || Busy())
        return;
    for (size_t i = 0; i < FRows.size(); ++i)
        SetRowChecked(static_cast<int>(i), true);
    Q_EMIT ListChanged();
}

void TProbedatenLogic::ClearChecks()
{
    if (FRecords.empty() || Busy())
        return;
    for (size_t i = 0; i < FRows.size(); ++i)
        SetRowChecked(static_cast<int>(i), false);
    Q_EMIT ListChanged();
}

void TProbedatenLogic::updateControls()
{
    const bool online = FContext.Online;
    const bool busy = Busy();
    const bool running = FDownloading || FLogDownloading;
    const bool records = !FRecords.empty();
    FControls.LadeSarvikEnabled = online && !busy;
    FControls.LadeDateienEnabled = !busy;
    FControls.AbbruchEnabled = running || FExporting;
    FControls.DeleteVisible = !running && !FExporting;
    FControls.DeleteEnabled = online && !busy;
    FControls.ExcelVisible = !running && !FExporting;
    FControls.ExcelEnabled = records && !busy;
    FControls.SelectEntriesEnabled = records && !busy;
    FControls.ListEnabled = !FLogDownloading;
    if (!running && !FExporting)
        FControls.ProgressVisible = false;
    UpdateLogActions();
}

// ---- spreadsheet exports ----

namespace {

// Clears the export state on every way out.
struct TExportGuard {
    bool& Flag;
    std::function<void()> Done;
    ~TExportGuard()
    {
        Flag = false;
        Done();
    }
};

}  // namespace

void TProbedatenLogic::ExportSamples()
{
    if (Busy())
        return;
    std::vector<int> rows;
    for (size_t i = 0; i < FRows.size(); ++i) {
        if (FRows[i].Checked)
            rows.push_back(static_cast<int>(i));
    }
    if (rows.empty() && FSelectedRow >= 0 && FSelectedRow < static_cast<int>(FRows.size())) {
        SetRowChecked(FSelectedRow, true);
        rows.push_back(FSelectedRow);
        Q_EMIT ListChanged();
    }
    if (rows.empty()) {
        status(Tr("Keine Daten ausgewählt"), true);
        return;
    }
    if (!FExport.OpenSpreadsheet(FContext.Settings().GetStr(QStringLiteral("SamplingData/SamplingTpl")).trimmed()))
        return;
    status(Tr("Export nach EXCEL gestartet"), false);
    FAbort = false;
    FExporting = true;
    TExportGuard guard{FExporting, [this] {
                           FControls.ProgressVisible = false;
                           updateControls();
                       }};
    FControls.ProgressMarquee = false;
    FControls.ProgressMax = static_cast<int>(FOptions.size() + rows.size());
    FControls.ProgressPos = 0;
    FControls.ProgressVisible = true;
    updateControls();
    FExport.WriteSampleHeader(FOptions, ColumnCaptions());
    FControls.ProgressPos = static_cast<int>(FOptions.size());
    int written = 0;
    for (int row : rows) {
        if (FAbort)
            break;
        const int index = FRows[static_cast<size_t>(row)].Index;
        if (index < 0 || index >= static_cast<int>(FRecords.size()))
            continue;
        FExport.WriteSampleRow(FRecords[static_cast<size_t>(index)], 21 + written);
        ++written;
        ++FControls.ProgressPos;
    }
    const TCloseResult saved = FExport.CloseSpreadsheet(QString(), false, written);
    if (saved == crFailed)
        return;
    const TFormatSettings& fmt = FmtDisplay();
    if (FAbort)
        status(fmt.Format(Tr("Abbruch nach %d Sätzen"), {written}), false);
    else
        status(fmt.Format(TrN("Einen Satz nach EXCEL exportiert", "%d Sätze in EXCEL exportiert", written), {written}),
               false);
}

void TProbedatenLogic::ExportLog(int index)
{
    if (Busy() || index < 0 || index >= static_cast<int>(FRecords.size()))
        return;
    const T_SAMPLEDATA& record = FRecords[static_cast<size_t>(index)];
    if (record.aSL.empty())
        return;
    const int n = static_cast<int>(record.aSL.size());
    if (static_cast<qint64>(n) + 22 > TWorkbook::kMaxRows) {
        status(FmtDisplay().Format(Tr("Das Log mit %d Sätzen passt nicht in ein Arbeitsblatt"), {n}), true);
        return;
    }
    status(Tr("Log-Daten nach EXCEL"), false);
    if (!FExport.OpenSpreadsheet(FContext.Settings().GetStr(QStringLiteral("SamplingData/LogTpl")).trimmed()))
        return;
    FAbort = false;
    FExporting = true;
    FControls.ProgressMarquee = false;
    FControls.ProgressMax = n;
    FControls.ProgressPos = 0;
    FControls.ProgressVisible = true;
    updateControls();
    FExport.WriteSampleHeader(FOptions, ColumnCaptions());
    FExport.WriteSampleRow(record, 21);
    FLogExportIndex = index;
    FLogExportNext = 0;
    continueLogExport();
}

void TProbedatenLogic::continueLogExport()
{
    const bool valid = FLogExportIndex >= 0 && FLogExportIndex < static_cast<int>(FRecords.size());
    if (!valid) {
        finishLogExport(false);
        return;
    }
    const std::vector<T_SAMPLELOG>& log = FRecords[static_cast<size_t>(FLogExportIndex)].aSL;
    // Abbruch is looked at before each block; the event loop runs between blocks.
    if (FAbort) {
        finishLogExport(true);
        return;
    }
    if (!FExport.WriteLogBlock(log, FLogExportNext)) {
        status(FmtDisplay().Format(Tr("Das Log mit %d Sätzen passt nicht in ein Arbeitsblatt"),
                                   {static_cast<int>(log.size())}),
               true);
        FExport.CloseSpreadsheet(QString(), false, 0);
        FExporting = false;
        updateControls();
        return;
    }
    FControls.ProgressPos = static_cast<int>(FLogExportNext);
    Q_EMIT ViewChanged();
    if (FLogExportNext >= log.size()) {
        finishLogExport(false);
        return;
    }
    QTimer::singleShot(0, this, &TProbedatenLogic::continueLogExport);
}

void TProbedatenLogic::finishLogExport(bool aborted)
{
    const int n = static_cast<int>(FLogExportNext);
    const TCloseResult saved = FExport.CloseSpreadsheet(QString(), false, n);
    FExporting = false;
    FLogExportIndex = -1;
    FControls.ProgressVisible = false;
    updateControls();
    if (saved == crFailed)
        return;
    const TFormatSettings& fmt = FmtDisplay();
    if (aborted)
        status(fmt.Format(Tr("Abbruch nach %d Sätzen"), {n}), false);
    else
        status(fmt.Format(TrN("Einen Satz nach EXCEL exportiert", "%d Sätze in EXCEL exportiert", n), {n}), false);
}
