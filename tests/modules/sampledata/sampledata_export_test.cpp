// The spreadsheet export: the workbook writer read back by an independent reader (openpyxl),
// the extension rules, the blocks of the log table, the export messages and a failed save.

#include "probedatenlogic.h"
#include "sampledatatestutil.h"
#include "spreadsheetexport.h"
#include "waitfor.h"
#include "workbook.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QString kTool = QStringLiteral(SAMPLEDATA_TEST_DIR "/xlsx_tool.py");

QJsonObject runTool(const QString& command, const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {kTool, command, path});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        ADD_FAILURE() << "xlsx_tool " << command.toStdString() << ": " << p.readAllStandardError().toStdString();
        return {};
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

QJsonObject cells(const QJsonObject& dump, int sheet = 0)
{
    return dump["sheets"].toArray()[sheet].toObject()["cells"].toObject();
}

// [kind, value] of a cell.
QString kind(const QJsonObject& c, const char* ref)
{
    return c[QLatin1String(ref)].toArray()[0].toString();
}
QJsonValue value(const QJsonObject& c, const char* ref)
{
    return c[QLatin1String(ref)].toArray()[1];
}
bool bold(const QJsonObject& c, const char* ref)
{
    return c[QLatin1String(ref)].toArray()[2].toBool();
}

TEST(sampledata_Workbook, extensionRules)
{
    struct TCase {
        QString templ;
        QString setting;
        bool vba;
        QString extension;
        QString written;
    };
    const TCase cases[] = {
        {"/v/Vorlage (neu).xlsm", "", true, "xlsm", "xlsm"},
        {"/v.d/Vorlage.xltx", "", false, "xltx", "xlsx"},
        {"Vorlage.xltm", "", false, "xltm", "xlsm"},
        {"Vorlage.XLSX", "", false, "XLSX", "xlsx"},
        {"Vorlage.xlsx", "", true, "xlsx", "xlsm"},
        {"", "", false, "XLS", "xlsx"},
        {"", " .(xls) ", false, "xls", "xlsx"},
        {"", "ods", false, "ods", "xlsx"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.templ.toStdString() + "|" + c.setting.toStdString());
        const QString raw = c.templ.isEmpty() ? c.setting.trimmed() : TSpreadsheetExport::TemplateExtension(c.templ);
        const QString ext = TSpreadsheetExport::CleanExtension(raw);
        EXPECT_EQ(ext, c.extension);
        EXPECT_EQ(TSpreadsheetExport::WrittenExtension(ext, c.vba), c.written);
    }
}

TEST(sampledata_Workbook, emptyWorkbook_cellsTypedAndReadBack)
{
    QTemporaryDir dir;
    TWorkbook book;
    book.CreateEmpty();
    book.SetAuthor(QStringLiteral("Sarvik2V2"));
    ASSERT_TRUE(book.SetCell(1, 1, TCellValue::number(QStringLiteral("0.9500"))));
    ASSERT_TRUE(book.SetCell(1, 2, TCellValue::text(QStringLiteral("Müller & <Söhne>\x01"))));
    ASSERT_TRUE(book.SetCell(1, 3, TCellValue::date(QDate(2026, 3, 3))));
    ASSERT_TRUE(book.SetCell(1, 4, TCellValue::time(QTime(13, 2, 5))));
    ASSERT_TRUE(book.SetCell(2, 28, TCellValue::number(QStringLiteral("42"))));
    ASSERT_TRUE(book.SetCell(1, 5, TCellValue{}));
    const QString path = dir.filePath(QStringLiteral("out.xlsx"));
    QString error;
    ASSERT_TRUE(book.SaveAs(path, &error)) << error.toStdString();
    const QJsonObject d = runTool(QStringLiteral("dump"), path);
    EXPECT_TRUE(d["problems"].toArray().isEmpty()) << QJsonDocument(d["problems"].toArray()).toJson().toStdString();
    EXPECT_EQ(d["main_type"].toString(), QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"));
    EXPECT_EQ(d["creator"].toString(), QStringLiteral("Sarvik2V2"));
    const QJsonObject c = cells(d);
    EXPECT_EQ(kind(c, "A1"), QStringLiteral("number"));
    EXPECT_DOUBLE_EQ(value(c, "A1").toDouble(), 0.95);
    EXPECT_EQ(value(c, "B1").toString(), QStringLiteral("Müller & <Söhne>_x0001_"));
    EXPECT_EQ(value(c, "C1").toString(), QStringLiteral("2026-03-03T00:00:00"));
    EXPECT_EQ(kind(c, "D1"), QStringLiteral("time"));
    EXPECT_EQ(value(c, "D1").toString(), QStringLiteral("13:02:05"));
    EXPECT_DOUBLE_EQ(value(c, "AB2").toDouble(), 42.0);
    EXPECT_FALSE(c.contains(QLatin1String("E1")));
}

TEST(sampledata_Workbook, template_keepsWhatTheExportDoesNotTouch)
{
    QTemporaryDir dir;
    const QString templ = dir.filePath(QStringLiteral("Vorlage (neu).xlsm"));
    runTool(QStringLiteral("template"), templ);
    const QJsonObject before = runTool(QStringLiteral("dump"), templ);
    for (const QString& name : {QStringLiteral("out.xlsm"), QStringLiteral("out.xlsx")}) {
        SCOPED_TRACE(name.toStdString());
        TWorkbook book;
        QString error;
        ASSERT_TRUE(book.Open(templ, &error)) << error.toStdString();
        EXPECT_TRUE(book.HasVbaProject());
        book.SetAuthor(QStringLiteral("Sarvik2V2"));
        book.SetCell(1, 1, TCellValue::text(QStringLiteral("Probenahmedaten")));
        book.SetCell(21, 2, TCellValue::number(QStringLiteral("2.5")));
        book.SetCell(12, 3, TCellValue::date(QDate(2026, 3, 3)));
        book.SetCell(20, 5, TCellValue::date(QDate(2025, 11, 14)));
        book.SetCell(20, 1, TCellValue::text(QStringLiteral("Nr.")));
        book.SetCell(30, 1, TCellValue::time(QTime(23, 59, 59)));
        const QString out = dir.filePath(name);
        ASSERT_TRUE(book.SaveAs(out, &error)) << error.toStdString();
        const QJsonObject d = runTool(QStringLiteral("dump"), out);
        EXPECT_TRUE(d["problems"].toArray().isEmpty()) << QJsonDocument(d["problems"].toArray()).toJson().toStdString();
        const bool macro = name.endsWith(QLatin1String("xlsm"));
        EXPECT_EQ(d["parts"].toArray().contains(QStringLiteral("xl/vbaProject.bin")), macro);
        EXPECT_EQ(d["main_type"].toString(), macro ? QStringLiteral("application/vnd.ms-excel.sheet.macroEnabled.main+xml")
                                                   : QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"));
        EXPECT_TRUE(d["date1904"].toBool());
        const QJsonObject c = cells(d);
        EXPECT_EQ(value(c, "A1").toString(), QStringLiteral("Probenahmedaten"));
        EXPECT_TRUE(bold(c, "A1"));
        EXPECT_EQ(kind(c, "B21"), QStringLiteral("number"));  // the formula gave way
        EXPECT_DOUBLE_EQ(value(c, "B21").toDouble(), 2.5);
        EXPECT_EQ(value(c, "D3").toString(), QStringLiteral("=A1"));  // untouched formula
        EXPECT_EQ(value(c, "C12").toString(), QStringLiteral("2026-03-03T00:00:00"));
        EXPECT_EQ(value(c, "E20").toString(), QStringLiteral("2025-11-14T00:00:00"));
        EXPECT_TRUE(bold(c, "E20"));
        EXPECT_TRUE(bold(c, "A20"));
        EXPECT_EQ(value(c, "A30").toString(), QStringLiteral("23:59:59"));
        EXPECT_EQ(cells(d, 1), cells(before, 1));
        // Untouched parts are the template's bytes.
        for (const char* part : {"xl/worksheets/sheet2.xml", "xl/theme/theme1.xml", "docProps/app.xml"})
            EXPECT_EQ(d["crc"].toObject()[QLatin1String(part)], before["crc"].toObject()[QLatin1String(part)]) << part;
        if (macro) {
            EXPECT_EQ(d["crc"].toObject()["xl/vbaProject.bin"], before["crc"].toObject()["xl/vbaProject.bin"]);
        }
        EXPECT_EQ(d["creator"].toString(), QStringLiteral("Sarvik2V2"));
    }
}

TEST(sampledata_Workbook, unreadableTemplate_isRefused)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("alt.xls"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\xd0\xcf\x11\xe0 binary workbook");
    f.close();
    TWorkbook book;
    QString error;
    EXPECT_FALSE(book.Open(path, &error));
    EXPECT_FALSE(error.isEmpty());
}

// ---- exports through the window's logic ----

class TRecordingBook : public TWorkbook {
public:
    explicit TRecordingBook(std::vector<std::pair<int, int>>& blocks) : FBlocks(blocks) {}
    bool SetBlock(int firstRow, const std::vector<std::vector<TCellValue>>& rows) override
    {
        FBlocks.emplace_back(firstRow, static_cast<int>(rows.size()));
        return TWorkbook::SetBlock(firstRow, rows);
    }
    std::vector<std::pair<int, int>>& FBlocks;
};

class sampledata_Export : public ::testing::Test {
protected:
    void SetUp() override
    {
        Logic = std::make_unique<TProbedatenLogic>(Env.Context);
        QObject::connect(Logic.get(), &TProbedatenLogic::Status, [this](const QString& text, bool alarm) {
            StatusText = text;
            StatusAlarm = alarm;
            History << text;
        });
        TSpreadsheetExport& x = Logic->Export();
        x.SaveDialog = [this](const QString& proposal, const QString&, const QString& title, const QString& suffix) {
            Proposals << proposal;
            EXPECT_EQ(title, QStringLiteral("Exportierte Daten speichern ..."));
            EXPECT_EQ(suffix, QStringLiteral("xlsx"));
            return SavePath;
        };
        x.Box = [this](const QString& t) { Boxes << t; };
        x.OpenDocument = [this](const QString& path) {
            Opened << path;
            return true;
        };
        Env.Settings.SetStr(QStringLiteral("SamplingData/SamplingTpl"), QString());
        Env.Settings.SetStr(QStringLiteral("SamplingData/LogTpl"), QString());
        Env.Settings.SetStr(QStringLiteral("SamplingData/Output"), Dir.path());
        SavePath = Dir.filePath(QStringLiteral("export.xlsx"));
    }

    void load(const std::vector<std::map<int, QString>>& records)
    {
        Logic->StartRecordDownload(static_cast<int>(records.size()) - 1);
        int n = static_cast<int>(records.size()) - 1;
        for (const auto& changes : records)
            Logic->RXData(kOrderDone, 0, TdrAnswer(n--, changes));
    }

    TSampleTestEnv Env;
    TOrderRecorder Rec;
    QTemporaryDir Dir;
    std::unique_ptr<TProbedatenLogic> Logic;
    QString StatusText;
    bool StatusAlarm = false;
    QStringList History;
    QStringList Proposals;
    QStringList Boxes;
    QStringList Opened;
    QString SavePath;
};

TEST_F(sampledata_Export, nothingTicked_nothingSelected_noExport)
{
    load({{}});
    Logic->SelectRow(-1);
    Logic->ExportSamples();
    EXPECT_EQ(StatusText, QStringLiteral("Keine Daten ausgewählt"));
    EXPECT_TRUE(StatusAlarm);
    EXPECT_TRUE(Proposals.isEmpty());
}

TEST_F(sampledata_Export, oneSample_writtenAsTheTablesSay)
{
    load({{{9, "1"}}, {}});
    Logic->SetRowChecked(0, true);
    Logic->RXData(kOrderDone, 5, QStringLiteral("TIN;SV2000123;"));
    Logic->ExportSamples();
    EXPECT_EQ(StatusText, QStringLiteral("Einen Satz nach EXCEL exportiert"));
    ASSERT_EQ(Proposals.size(), 1);
    EXPECT_TRUE(Proposals[0].startsWith(Dir.path() + QStringLiteral("/Probedaten_")));
    EXPECT_EQ(Opened, QStringList{SavePath});
    EXPECT_TRUE(History.contains(QStringLiteral("Daten in die EXCEL-Tabelle %1 gespeichert.").arg(SavePath)));
    EXPECT_FALSE(Logic->Exporting());
    const QJsonObject d = runTool(QStringLiteral("dump"), SavePath);
    EXPECT_TRUE(d["problems"].toArray().isEmpty());
    const QJsonObject c = cells(d);
    EXPECT_EQ(value(c, "A9").toString(), QStringLiteral("Serien-Nr."));
    EXPECT_EQ(value(c, "B9").toString(), QStringLiteral("SV2000123"));
    EXPECT_EQ(value(c, "C11").toString(), QStringLiteral("NL"));
    const std::pair<const char*, QString> header[] = {
        {"A20", "Nr."}, {"B20", "Status K 1"}, {"E20", "IstVol. K 1"}, {"F20", "Einheit"}, {"G20", "Dauer K 1"},
        {"J20", "SollFlow K 1"}, {"L20", "Soll-Dauer K 1"}, {"M20", "Flussübwerwachung K 1"}, {"N20", "Status K 2"},
        {"Y20", "Flussübwerwachung K 2"}, {"Z20", "Logging"}, {"AA20", "Temperatur"}, {"AE20", "Luftdruck"},
        {"AF20", "Einheit"}};
    for (const auto& [ref, text] : header)
        EXPECT_EQ(value(c, ref).toString(), text) << ref;
    // The record of the default fields, climate state 1: temperature only.
    EXPECT_DOUBLE_EQ(value(c, "A21").toDouble(), 1.0);
    EXPECT_EQ(value(c, "B21").toString(), QStringLiteral("Erfolgreich"));
    EXPECT_EQ(value(c, "C21").toString(), QStringLiteral("2026-03-03T00:00:00"));
    EXPECT_EQ(value(c, "D21").toString(), QStringLiteral("13:02:00"));
    EXPECT_NEAR(value(c, "E21").toDouble(), 123.45, 1e-9);
    EXPECT_EQ(value(c, "F21").toString(), QStringLiteral("SL"));
    EXPECT_EQ(value(c, "G21").toString(), QStringLiteral("01:22 h:m"));
    EXPECT_DOUBLE_EQ(value(c, "H21").toDouble(), 120.0);
    EXPECT_DOUBLE_EQ(value(c, "J21").toDouble(), 1.5);
    EXPECT_EQ(value(c, "K21").toString(), QStringLiteral("SL/min"));
    EXPECT_EQ(value(c, "L21").toString(), QStringLiteral("---"));
    EXPECT_EQ(value(c, "M21").toString(), QStringLiteral("innerhalb Toleranz"));
    EXPECT_EQ(value(c, "N21").toString(), QStringLiteral("Inaktiv"));
    EXPECT_FALSE(c.contains(QLatin1String("O21")));
    EXPECT_EQ(value(c, "Z21").toString(), QStringLiteral("Ein"));
    EXPECT_DOUBLE_EQ(value(c, "AA21").toDouble(), 23.5);
    EXPECT_EQ(value(c, "AB21").toString(), QStringLiteral("°C"));
    EXPECT_FALSE(c.contains(QLatin1String("AC21")));
    EXPECT_FALSE(c.contains(QLatin1String("AD21")));
    EXPECT_DOUBLE_EQ(value(c, "AE21").toDouble(), 1013.2);
    EXPECT_EQ(value(c, "AF21").toString(), QStringLiteral("mbar"));
    EXPECT_FALSE(c.contains(QLatin1String("A22")));
}

TEST_F(sampledata_Export, cancelledSave_writesNothing_andSaysNothingAboutSaving)
{
    load({{}});
    SavePath = QStringLiteral("False");
    Logic->ExportSamples();
    EXPECT_TRUE(QDir(Dir.path()).entryList(QDir::Files).isEmpty());
    for (const QString& h : History)
        EXPECT_FALSE(h.contains(QLatin1String("gespeichert"))) << h.toStdString();
    EXPECT_TRUE(Opened.isEmpty());
}

TEST_F(sampledata_Export, failedSave_isAnAlarmWithPathAndReason_noSuccessCount)
{
    load({{}});
    SavePath = Dir.filePath(QStringLiteral("missing/folder/export.xlsx"));
    Logic->ExportSamples();
    EXPECT_TRUE(StatusAlarm);
    EXPECT_TRUE(StatusText.contains(SavePath)) << StatusText.toStdString();
    ASSERT_EQ(Boxes.size(), 1);
    for (const QString& h : History)
        EXPECT_FALSE(h.contains(QLatin1String("exportiert"))) << h.toStdString();
    EXPECT_FALSE(Logic->Exporting());
    EXPECT_TRUE(Logic->Controls().LadeDateienEnabled);
}

TEST_F(sampledata_Export, logOf250Entries_inBlocksFromRow22)
{
    load({{}});
    std::vector<std::pair<int, int>> blocks;
    Logic->Export().Factory = [&blocks] { return std::make_unique<TRecordingBook>(blocks); };
    Logic->SelectRow(0);
    Logic->btnProbeExcelClick();
    for (int i = 0; i < 250; ++i)
        Logic->RXData(kOrderDone, 0, QStringLiteral("TDN;0;1;") + LogLine(i % 60, 9500 + i));
    Logic->RXData(kOrderDone, 0, QStringLiteral("TDN;0;0;"));
    ASSERT_TRUE(waitFor([this] { return StatusText == QStringLiteral("250 Sätze in EXCEL exportiert"); }));
    EXPECT_EQ(blocks, (std::vector<std::pair<int, int>>{{22, 100}, {122, 100}, {222, 51}}));
    const QJsonObject c = cells(runTool(QStringLiteral("dump"), SavePath));
    EXPECT_EQ(value(c, "A22").toString(), QStringLiteral("Satz-Nr."));
    EXPECT_EQ(value(c, "E22").toString(), QStringLiteral("SollVol. K 1"));
    EXPECT_DOUBLE_EQ(value(c, "A23").toDouble(), 1.0);
    EXPECT_DOUBLE_EQ(value(c, "A272").toDouble(), 250.0);
    EXPECT_NEAR(value(c, "D272").toDouble(), 0.9749, 1e-9);
    EXPECT_EQ(value(c, "E272").toString(), QStringLiteral("innerhalb Toleranz"));
    EXPECT_DOUBLE_EQ(value(c, "F272").toDouble(), 0.0);
    EXPECT_EQ(value(c, "N272").toDouble(), 1013.2);
    EXPECT_FALSE(c.contains(QLatin1String("A273")));
    EXPECT_DOUBLE_EQ(value(c, "A21").toDouble(), 0.0);
}

TEST_F(sampledata_Export, abortDuringTheLogExport_keepsWhatWasWritten)
{
    load({{}});
    auto& records = const_cast<std::vector<T_SAMPLEDATA>&>(Logic->Records());
    records[0].aSL.resize(250);
    Logic->ExportLog(0);
    // The first block is written; the rest waits for the event loop.
    EXPECT_TRUE(Logic->Exporting());
    EXPECT_TRUE(Logic->Controls().AbbruchEnabled);
    EXPECT_FALSE(Logic->Controls().LadeDateienEnabled);
    EXPECT_FALSE(Logic->Controls().ExcelVisible);
    EXPECT_EQ(Logic->Controls().ProgressPos, 99);
    Logic->btnAbbruchClick();
    ASSERT_TRUE(waitFor([this] { return !Logic->Exporting(); }));
    EXPECT_EQ(StatusText, QStringLiteral("Abbruch nach 99 Sätzen"));
    EXPECT_TRUE(Logic->Controls().LadeDateienEnabled);
    const QJsonObject c = cells(runTool(QStringLiteral("dump"), SavePath));
    EXPECT_DOUBLE_EQ(value(c, "A121").toDouble(), 99.0);
    EXPECT_FALSE(c.contains(QLatin1String("A122")));
}

TEST_F(sampledata_Export, macroTemplate_savedAsXlsm_macroNotRun)
{
    const QString templ = Dir.filePath(QStringLiteral("Vorlage (neu).xlsm"));
    runTool(QStringLiteral("template"), templ);
    Env.Settings.SetStr(QStringLiteral("SamplingData/SamplingTpl"), templ);
    load({{}});
    SavePath = Dir.filePath(QStringLiteral("export.xlsm"));
    Logic->Export().SaveDialog = [this](const QString&, const QString& filter, const QString&, const QString& suffix) {
        EXPECT_EQ(filter, QStringLiteral("EXCEL(*.xlsm),*.xlsm,All(*.*),*.*"));
        EXPECT_EQ(suffix, QStringLiteral("xlsm"));
        return SavePath;
    };
    Logic->ExportSamples();
    EXPECT_EQ(StatusText, QStringLiteral("Einen Satz nach EXCEL exportiert"));
    EXPECT_EQ(Rec.SysMessages.count(QStringLiteral("Das Makro Export_Start der Vorlage wurde nicht ausgeführt")), 1);
    const QJsonObject d = runTool(QStringLiteral("dump"), SavePath);
    EXPECT_TRUE(d["problems"].toArray().isEmpty());
    EXPECT_TRUE(d["parts"].toArray().contains(QStringLiteral("xl/vbaProject.bin")));
    EXPECT_EQ(value(cells(d), "A1").toString(), QStringLiteral("Vorlage"));
    EXPECT_EQ(value(cells(d), "B21").toString(), QStringLiteral("Erfolgreich"));
    EXPECT_EQ(value(cells(d, 1), "A1").toString(), QStringLiteral("bleibt"));
}

TEST_F(sampledata_Export, extensionSettingXls_writesXlsx_andSaysSo)
{
    load({{}});
    Env.Settings.SetStr(QStringLiteral("SamplingData/Extension"), QStringLiteral("XLS"));
    SavePath = Dir.filePath(QStringLiteral("export.xlsx"));
    Logic->Export().SaveDialog = [this](const QString&, const QString& filter, const QString&, const QString& suffix) {
        EXPECT_EQ(filter, QStringLiteral("EXCEL(*.xlsx),*.xlsx,All(*.*),*.*"));
        EXPECT_EQ(suffix, QStringLiteral("xlsx"));
        return SavePath;
    };
    Logic->ExportSamples();
    EXPECT_EQ(Rec.SysMessages.count(QStringLiteral("Arbeitsmappe wird als .xlsx statt .XLS geschrieben")), 1);
    EXPECT_TRUE(Rec.SysMessages.contains(QStringLiteral("EXCEL-Vorlagendatei nicht definiert oder nicht im Zugriff")));
    EXPECT_TRUE(QFile::exists(SavePath));
}

TEST_F(sampledata_Export, logLongerThanASheet_stopsBeforeWriting)
{
    load({{}});
    bool made = false;
    Logic->Export().Factory = [&made] {
        made = true;
        return std::make_unique<TWorkbook>();
    };
    auto& records = const_cast<std::vector<T_SAMPLEDATA>&>(Logic->Records());
    records[0].aSL.resize(TWorkbook::kMaxRows - 21);
    Logic->ExportLog(0);
    EXPECT_FALSE(made);
    EXPECT_TRUE(StatusAlarm);
    EXPECT_EQ(StatusText, QStringLiteral("Das Log mit %1 Sätzen passt nicht in ein Arbeitsblatt").arg(TWorkbook::kMaxRows - 21));
    EXPECT_TRUE(QDir(Dir.path()).entryList(QDir::Files).isEmpty());
    EXPECT_FALSE(Logic->Exporting());
}

}  // namespace
