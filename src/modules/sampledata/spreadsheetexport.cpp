#include "spreadsheetexport.h"

#include "deviceformat.h"
#include "formatsettings.h"
#include "i18n.h"
#include "settingsform.h"
#include "sysmessages.h"

#include <QDateTime>
#include <QFileInfo>

namespace {

constexpr int kHeaderRow = 20;
constexpr int kLogFirstRow = 22;
constexpr int kLogBlockRows = 100;
constexpr int kLogColumns = 16;
constexpr float kMissingPressure = 10.0f;

// "%.nf" with a decimal point and no grouping, as FmtPoint writes it; spelled out because a log
// has a hundred thousand of them.
TCellValue num(const char* pattern, double value)
{
    const int decimals = pattern[2] - '0';
    return TCellValue::number(QString::number(value, 'f', decimals));
}

TCellValue txt(const QString& t)
{
    return TCellValue::text(t);
}

// Columns 27 to 30 of a sample row (and 10 to 13 of a log row).
std::array<TCellValue, 4> climateCells(int state, float temperature, float humidity)
{
    if (state == 0)
        return {num("%.1f", temperature), txt(QStringLiteral("\u00b0C")), num("%.1f", humidity), txt(QStringLiteral("% r.H."))};
    if (state == 1)
        return {num("%.1f", temperature), txt(QStringLiteral("\u00b0C")), TCellValue{}, TCellValue{}};
    return {};
}

}  // namespace

QString LogFlowText(int code)
{
    return LogFlowMonitorText(code);
}

TSpreadsheetExport::TSpreadsheetExport(TFSettingsForm& settings)
    : Factory([] { return std::make_unique<TWorkbook>(); })
    , FSettings(settings)
{
}

TSpreadsheetExport::~TSpreadsheetExport() = default;

QString TSpreadsheetExport::TemplateExtension(const QString& templatePath)
{
    const QString name = QFileInfo(templatePath).fileName();
    return name.mid(name.lastIndexOf(QLatin1Char('.')) + 1);
}

QString TSpreadsheetExport::CleanExtension(QString extension)
{
    for (QChar c : {QLatin1Char('.'), QLatin1Char(':'), QLatin1Char('\\'), QLatin1Char('/'), QLatin1Char('('), QLatin1Char(')')})
        extension.remove(c);
    return extension.isEmpty() ? QStringLiteral("XLS") : extension;
}

QString TSpreadsheetExport::WrittenExtension(const QString& extension, bool hasVba)
{
    const QString e = extension.toLower();
    if (hasVba || e == QLatin1String("xlsm") || e == QLatin1String("xltm"))
        return QStringLiteral("xlsm");
    return QStringLiteral("xlsx");
}

bool TSpreadsheetExport::OpenSpreadsheet(const QString& templatePath)
{
    if (FBook)
        CloseSpreadsheet(QString(), true, 0);
    FBook = Factory ? Factory() : nullptr;
    if (!FBook) {
        const QString text = Tr("Fehler beim Öffnen der EXCEL-Applikation");
        ShowSysMessage(text, true);
        if (Box)
            Box(text);
        return false;
    }
    FExtension.clear();
    const QFileInfo info(templatePath);
    if (!templatePath.isEmpty() && info.isFile() && info.isReadable()) {
        QString error;
        if (!FBook->Open(templatePath, &error)) {
            ShowSysMessage(Tr("Konnte EXCEL-Arbeitsblatt nicht öffnen - Abbruch"), true);
            FBook.reset();
            return false;
        }
        FExtension = TemplateExtension(templatePath);
    } else {
        FBook->CreateEmpty();
        ShowSysInfo(Tr("EXCEL-Vorlagendatei nicht definiert oder nicht im Zugriff"));
        FExtension = FSettings.GetStr(QStringLiteral("SamplingData/Extension")).trimmed();
    }
    FExtension = CleanExtension(FExtension);
    FWriteExtension = WrittenExtension(FExtension, FBook->HasVbaProject());
    const QString lower = FExtension.toLower();
    if (lower != QLatin1String("xlsx") && lower != QLatin1String("xlsm") && lower != QLatin1String("xltx")
        && lower != QLatin1String("xltm"))
        ShowSysInfo(FmtDisplay().Format(Tr("Arbeitsmappe wird als .%s statt .%s geschrieben"), {FWriteExtension, FExtension}));
    FBook->SetAuthor(QStringLiteral("Sarvik2V2"));
    return true;
}

TCloseResult TSpreadsheetExport::CloseSpreadsheet(const QString& fileName, bool ask, int count)
{
    if (!FBook)
        return crNotSaved;
    // The template's macro cannot run without a spreadsheet application.
    if (FBook->HasVbaProject())
        ShowSysInfo(Tr("Das Makro Export_Start der Vorlage wurde nicht ausgeführt"));
    TCloseResult result = crNotSaved;
    if (count > 0) {
        int answer = 0;
        if (ask && Question)
            answer = Question(Tr("EXCEL-Daten wurden noch nicht gespeichert!\r\nMöchten Sie die EXCEL-Daten speichern?"));
        if (answer == 2)
            return crCancelled;
        if (answer == 0) {
            QString path = fileName;
            if (path.isEmpty()) {
                QString folder = FSettings.GetStr(QStringLiteral("SamplingData/Output")).trimmed();
                if (folder.size() < 2)
                    folder.clear();
                else if (!folder.endsWith(QLatin1Char('/')))
                    folder += QLatin1Char('/');
                const QString proposal = folder + QStringLiteral("Probedaten_")
                                         + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss"));
                const QString filter = QStringLiteral("EXCEL(*.%1),*.%1,All(*.*),*.*").arg(FWriteExtension);
                path = SaveDialog ? SaveDialog(proposal, filter, Tr("Exportierte Daten speichern ..."), FWriteExtension)
                                  : QStringLiteral("False");
                if (path == QLatin1String("False"))
                    path.clear();
            }
            if (!path.isEmpty()) {
                QString error;
                if (FBook->SaveAs(path, &error)) {
                    result = crSaved;
                    const QString text = FmtDisplay().Format(Tr("Daten in die EXCEL-Tabelle %s gespeichert."), {path});
                    if (fileName.isEmpty()) {
                        if (Message)
                            Message(text, false);
                        if (OpenDocument && !OpenDocument(path))
                            ShowSysInfo(FmtDisplay().Format(Tr("Die Datei %s konnte nicht geöffnet werden"), {path}));
                    } else {
                        ShowSysInfo(text);
                    }
                } else {
                    result = crFailed;
                    const QString text =
                        FmtDisplay().Format(Tr("Die EXCEL-Daten konnten nicht nach %s gespeichert werden: %s"), {path, error});
                    ShowSysMessage(text, true);
                    if (Message)
                        Message(text, true);
                    if (Box)
                        Box(text);
                }
            }
        }
    }
    FBook.reset();
    return result;
}

void TSpreadsheetExport::WriteSampleHeader(const std::vector<T_OPTIONS>& options, const QStringList& captions)
{
    for (const T_OPTIONS& o : options) {
        FBook->SetCell(o.iRow, o.iColDescript, txt(o.sDescript));
        TCellValue value = txt(o.sVal);
        if (o.iTyp == otDate) {
            QDate d;
            if (FmtDevice().ParseDate(o.sVal, d))
                value = TCellValue::date(d);
        } else if (o.iTyp == otTime) {
            QTime t;
            if (FmtDevice().ParseTime(o.sVal, t))
                value = TCellValue::time(t);
        }
        FBook->SetCell(o.iRow, o.iColVal, value);
        if (!o.sUnit.isEmpty())
            FBook->SetCell(o.iRow, o.iColVal + 1, txt(o.sUnit));
    }
    auto caption = [&captions](int listColumn) { return captions.value(listColumn); };
    const QString unit = Tr("Einheit");
    FBook->SetCell(kHeaderRow, 1, txt(caption(0)));
    for (int c = 0; c < 2; ++c) {
        const QString suffix = QStringLiteral(" ") + (c == 0 ? Tr("K 1") : Tr("K 2"));
        const int list = 1 + c * 7;
        const int b = 2 + c * 12;
        for (int k = 0; k < 4; ++k)
            FBook->SetCell(kHeaderRow, b + k, txt(caption(list + k) + suffix));
        FBook->SetCell(kHeaderRow, b + 4, txt(unit));
        FBook->SetCell(kHeaderRow, b + 5, txt(caption(list + 4) + suffix));
        FBook->SetCell(kHeaderRow, b + 6, txt(caption(list + 5) + suffix));
        FBook->SetCell(kHeaderRow, b + 7, txt(unit));
        FBook->SetCell(kHeaderRow, b + 8, txt(caption(list + 6) + suffix));
        FBook->SetCell(kHeaderRow, b + 9, txt(unit));
        FBook->SetCell(kHeaderRow, b + 10, txt(c == 0 ? Tr("Soll-Dauer K 1") : Tr("Soll-Dauer K 2")));
        FBook->SetCell(kHeaderRow, b + 11, txt(c == 0 ? Tr("Flussübwerwachung K 1") : Tr("Flussübwerwachung K 2")));
    }
    FBook->SetCell(kHeaderRow, 26, txt(caption(18)));
    FBook->SetCell(kHeaderRow, 27, txt(caption(15)));
    FBook->SetCell(kHeaderRow, 28, txt(unit));
    FBook->SetCell(kHeaderRow, 29, txt(caption(16)));
    FBook->SetCell(kHeaderRow, 30, txt(unit));
    FBook->SetCell(kHeaderRow, 31, txt(caption(17)));
    FBook->SetCell(kHeaderRow, 32, txt(unit));
}

void TSpreadsheetExport::WriteSampleRow(const T_SAMPLEDATA& r, int row)
{
    FBook->SetCell(row, 1, TCellValue::number(QString::number(r.uiNummer)));
    for (int c = 0; c < 2; ++c) {
        const T_DATA_CHANNEL& ch = r.aDC[static_cast<size_t>(c)];
        const int b = 2 + c * 12;
        const QString volumeUnit = VolumeUnitText(ch.iSetFlags);
        FBook->SetCell(row, b, txt(SampleStatusText(ch.iStatus, ch.iError, r.uiAlarm)));
        FBook->SetCell(row, b + 1, ch.dtStartDate.isValid() ? TCellValue::date(ch.dtStartDate) : TCellValue{});
        FBook->SetCell(row, b + 2, ch.tmStartTime.isValid() ? TCellValue::time(ch.tmStartTime) : TCellValue{});
        FBook->SetCell(row, b + 3, num("%.4f", ch.fVolume));
        FBook->SetCell(row, b + 4, txt(volumeUnit));
        FBook->SetCell(row, b + 5, txt(FormatDuration(ch.tSampleTime)));
        FBook->SetCell(row, b + 6, num("%.4f", ch.fSetVolume));
        FBook->SetCell(row, b + 7, txt(volumeUnit));
        FBook->SetCell(row, b + 8, num("%.4f", ch.fSetFlow));
        FBook->SetCell(row, b + 9, txt(FlowUnitText(ch.iSetFlags)));
        FBook->SetCell(row, b + 10,
                       txt((ch.iSetFlags & kFlagInterval) ? FormatDuration(qint64{ch.iSetTime} * 60) : QStringLiteral("---")));
        FBook->SetCell(row, b + 11, txt(FlowMonitorText(ch)));
    }
    FBook->SetCell(row, 26, txt(r.bLoggingActive ? Tr("Ein") : Tr("Aus")));
    const auto climate = climateCells(r.iClimateState, r.sTemperature, r.sHumidity);
    for (int k = 0; k < 4; ++k)
        FBook->SetCell(row, 27 + k, climate[static_cast<size_t>(k)]);
    if (r.sAirPressure <= kMissingPressure) {
        FBook->SetCell(row, 31, TCellValue{});
        FBook->SetCell(row, 32, TCellValue{});
    } else {
        FBook->SetCell(row, 31, num("%.1f", r.sAirPressure));
        FBook->SetCell(row, 32, txt(QStringLiteral("mbar")));
    }
}

bool TSpreadsheetExport::WriteLogBlock(const std::vector<T_SAMPLELOG>& log, size_t& next)
{
    if (static_cast<qint64>(log.size()) + kLogFirstRow > TWorkbook::kMaxRows)
        return false;
    if (FFlowTexts.empty())
        FFlowTexts = {LogFlowText(0), LogFlowText(1), LogFlowText(2), QString()};
    auto flowText = [this](int code) { return FFlowTexts[static_cast<size_t>(code >= 0 && code <= 2 ? code : 3)]; };
    std::vector<std::vector<TCellValue>> block;
    block.reserve(kLogBlockRows);
    // The header heads the first block; entry e sits in row 23 + e.
    const int firstRow = next == 0 ? kLogFirstRow : kLogFirstRow + 1 + static_cast<int>(next);
    if (next == 0) {
        const QString unit = Tr("Einheit");
        block.push_back({txt(Tr("Satz-Nr.")), txt(Tr("Datum")), txt(Tr("Zeit")), txt(Tr("Volumenstrom K 1")),
                         txt(Tr("SollVol. K 1")), TCellValue{}, txt(Tr("Volumenstrom K 2")), txt(Tr("SollVol. K 2")),
                         TCellValue{}, txt(Tr("Temperatur")), txt(unit), txt(Tr("Feuchte")), txt(unit),
                         txt(Tr("Luftdruck")), txt(unit), TCellValue{}});
    }
    while (static_cast<int>(block.size()) < kLogBlockRows && next < log.size()) {
        const T_SAMPLELOG& e = log[next];
        const auto climate = climateCells(e.iClimateState, e.sTemperature, e.sHumidity);
        block.push_back({TCellValue::number(QString::number(next + 1)),
                         e.dtDate.isValid() ? TCellValue::date(e.dtDate) : TCellValue{},
                         e.tmTime.isValid() ? TCellValue::time(e.tmTime) : TCellValue{},
                         num("%.4f", e.sFlow[0]), txt(flowText(e.iFlowFlag[0])),
                         TCellValue::number(QString::number(e.iFlowFlag[0])), num("%.4f", e.sFlow[1]),
                         txt(flowText(e.iFlowFlag[1])), TCellValue::number(QString::number(e.iFlowFlag[1])),
                         climate[0], climate[1], climate[2], climate[3], num("%.1f", e.sAirPressure),
                         txt(QStringLiteral("mbar")), TCellValue{}});
        ++next;
    }
    static_assert(kLogColumns == 16);
    return block.empty() || FBook->SetBlock(firstRow, block);
}

bool TSpreadsheetExport::WriteLogTable(const std::vector<T_SAMPLELOG>& log)
{
    size_t next = 0;
    do {
        if (!WriteLogBlock(log, next))
            return false;
    } while (next < log.size());
    return true;
}
