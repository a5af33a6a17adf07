// A 100,000-entry process log written as a workbook: through the program's own writer (the log
// table of the export, no template) and, for comparison, the same cells with libxlsxwriter in
// its constant-memory mode. Peak memory is the process's after our writer has run.
// Last line: export_bench ours_s=<s> libxlsxwriter_s=<s> ratio=<ours/libxlsxwriter> peak_rss_mb=<n>

#include "programsettings.h"
#include "settingsform.h"
#include "spreadsheetexport.h"
#include "workbook.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <sys/resource.h>

#include <cstdio>

namespace {

constexpr int kEntries = 100000;

std::vector<T_SAMPLELOG> makeLog()
{
    std::vector<T_SAMPLELOG> log(kEntries);
    const QDateTime start(QDate(2026, 3, 3), QTime(8, 0, 0), Qt::UTC);
    for (int i = 0; i < kEntries; ++i) {
        T_SAMPLELOG& e = log[static_cast<size_t>(i)];
        e.iStatus = 1;
        const QDateTime t = start.addSecs(i * 10);
        e.dtDate = t.date();
        e.tmTime = t.time();
        e.sFlow = {0.95f + (i % 17) * 0.001f, 1.5f - (i % 13) * 0.001f};
        e.iFlowFlag = {i % 97 == 0 ? 1 : 0, 0};
        e.sTemperature = 21.5f + (i % 11) * 0.1f;
        e.sHumidity = 45.0f + (i % 7) * 0.1f;
        e.sAirPressure = 1013.2f;
    }
    return log;
}

double peakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

double ours(const std::vector<T_SAMPLELOG>& log, const QString& path)
{
    TFSettingsForm settings;
    BuildProgramSettings(settings);
    TSpreadsheetExport x(settings);
    QElapsedTimer clock;
    clock.start();
    if (!x.OpenSpreadsheet(QString()) || !x.WriteLogTable(log)) {
        std::fprintf(stderr, "export_bench: our writer failed\n");
        return -1;
    }
    QString error;
    if (!x.Book()->SaveAs(path, &error)) {
        std::fprintf(stderr, "export_bench: %s\n", qPrintable(error));
        return -1;
    }
    return clock.nsecsElapsed() / 1e9;
}

double theirs(const std::vector<T_SAMPLELOG>& log, const QString& path)
{
    QElapsedTimer clock;
    clock.start();
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* wb = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    lxw_worksheet* ws = workbook_add_worksheet(wb, nullptr);
    lxw_format* dateFmt = workbook_add_format(wb);
    format_set_num_format_index(dateFmt, 14);
    lxw_format* timeFmt = workbook_add_format(wb);
    format_set_num_format_index(timeFmt, 21);
    const char* header[] = {"Satz-Nr.", "Datum", "Zeit", "Volumenstrom K 1", "SollVol. K 1", nullptr, "Volumenstrom K 2",
                            "SollVol. K 2", nullptr, "Temperatur", "Einheit", "Feuchte", "Einheit", "Luftdruck", "Einheit"};
    for (int c = 0; c < 15; ++c) {
        if (header[c])
            worksheet_write_string(ws, 21, static_cast<lxw_col_t>(c), header[c], nullptr);
    }
    for (int i = 0; i < kEntries; ++i) {
        const T_SAMPLELOG& e = log[static_cast<size_t>(i)];
        const lxw_row_t r = static_cast<lxw_row_t>(22 + i);
        lxw_datetime d{e.dtDate.year(), e.dtDate.month(), e.dtDate.day(), 0, 0, 0};
        lxw_datetime t{0, 0, 0, e.tmTime.hour(), e.tmTime.minute(), double(e.tmTime.second())};
        worksheet_write_number(ws, r, 0, i + 1, nullptr);
        worksheet_write_datetime(ws, r, 1, &d, dateFmt);
        worksheet_write_datetime(ws, r, 2, &t, timeFmt);
        worksheet_write_number(ws, r, 3, QString::number(e.sFlow[0], 'f', 4).toDouble(), nullptr);
        worksheet_write_string(ws, r, 4, e.iFlowFlag[0] == 0 ? "innerhalb Toleranz" : "Kleiner Min!", nullptr);
        worksheet_write_number(ws, r, 5, e.iFlowFlag[0], nullptr);
        worksheet_write_number(ws, r, 6, QString::number(e.sFlow[1], 'f', 4).toDouble(), nullptr);
        worksheet_write_string(ws, r, 7, "innerhalb Toleranz", nullptr);
        worksheet_write_number(ws, r, 8, e.iFlowFlag[1], nullptr);
        worksheet_write_number(ws, r, 9, QString::number(e.sTemperature, 'f', 1).toDouble(), nullptr);
        worksheet_write_string(ws, r, 10, "\xc2\xb0""C", nullptr);
        worksheet_write_number(ws, r, 11, QString::number(e.sHumidity, 'f', 1).toDouble(), nullptr);
        worksheet_write_string(ws, r, 12, "% r.H.", nullptr);
        worksheet_write_number(ws, r, 13, QString::number(e.sAirPressure, 'f', 1).toDouble(), nullptr);
        worksheet_write_string(ws, r, 14, "mbar", nullptr);
    }
    if (workbook_close(wb) != LXW_NO_ERROR) {
        std::fprintf(stderr, "export_bench: libxlsxwriter failed\n");
        return -1;
    }
    return clock.nsecsElapsed() / 1e9;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const std::vector<T_SAMPLELOG> log = makeLog();
    const QString oursPath = dir.filePath(QStringLiteral("ours.xlsx"));
    const double oursS = ours(log, oursPath);
    const double peak = peakRssMb();
    const QString theirsPath = dir.filePath(QStringLiteral("theirs.xlsx"));
    const double theirsS = theirs(log, theirsPath);
    if (oursS < 0 || theirsS < 0)
        return 1;
    std::printf("ours: %.3f s, %lld bytes; libxlsxwriter: %.3f s, %lld bytes\n", oursS,
                static_cast<long long>(QFileInfo(oursPath).size()), theirsS,
                static_cast<long long>(QFileInfo(theirsPath).size()));
    std::printf("export_bench ours_s=%.3f libxlsxwriter_s=%.3f ratio=%.2f peak_rss_mb=%.0f\n", oursS, theirsS,
                oursS / theirsS, peak);
    return 0;
}
