// libFuzzer target for the workbook layer opening a template. An input is either the template
// file itself (a damaged zip), or a workbook the program wrote with one of its parts replaced
// by the input (damaged XML inside a sound zip). Opening must either work, and then the export
// writes and saves, or fail by the export's "cannot open" path.

#include "i18n.h"
#include "programsettings.h"
#include "sampledata.h"
#include "settingsform.h"
#include "spreadsheetexport.h"
#include "sysmeld.h"
#include "workbook.h"

#include <zip.h>

#include <QFile>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

QString scratch(const char* suffix)
{
    const char* dir = std::getenv("TMPDIR");
    return QString::fromUtf8(dir ? dir : "/tmp") + QStringLiteral("/workbook_fuzz_%1%2").arg(getpid()).arg(QLatin1String(suffix));
}

using TParts = std::vector<std::pair<QByteArray, QByteArray>>;

// The parts of a workbook as the program writes it.
TParts seedParts()
{
    const QString path = scratch("_seed.xlsx");
    TWorkbook book;
    book.CreateEmpty();
    book.SetCell(1, 1, TCellValue::text(QStringLiteral("Probe")));
    book.SetCell(2, 2, TCellValue::number(QStringLiteral("0.9500")));
    book.SetCell(3, 3, TCellValue::date(QDate(2026, 3, 4)));
    QString error;
    check(book.SaveAs(path, &error), "seed workbook written");
    TParts parts;
    int err = 0;
    zip_t* z = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &err);
    check(z != nullptr, "seed workbook opens");
    const zip_int64_t n = zip_get_num_entries(z, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        zip_stat_t st;
        zip_stat_index(z, static_cast<zip_uint64_t>(i), 0, &st);
        QByteArray content(static_cast<qsizetype>(st.size), '\0');
        zip_file_t* f = zip_fopen_index(z, static_cast<zip_uint64_t>(i), 0);
        check(f != nullptr && zip_fread(f, content.data(), st.size) == static_cast<zip_int64_t>(st.size), "seed part read");
        zip_fclose(f);
        parts.emplace_back(QByteArray(st.name), content);
    }
    zip_close(z);
    QFile::remove(path);
    return parts;
}

bool writeZip(const QString& path, const TParts& parts)
{
    QFile::remove(path);
    int err = 0;
    zip_t* z = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!z)
        return false;
    for (const auto& [name, content] : parts) {
        zip_source_t* src = zip_source_buffer(z, content.constData(), static_cast<zip_uint64_t>(content.size()), 0);
        if (!src || zip_file_add(z, name.constData(), src, ZIP_FL_OVERWRITE) < 0) {
            zip_source_free(src);
            zip_discard(z);
            return false;
        }
    }
    return zip_close(z) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SetProgramLanguage(kLangGerman);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const TParts seed = seedParts();
    static const QString templatePath = scratch("_template.xlsx");
    static const QString outPath = scratch("_out.xlsx");
    if (size < 2)
        return 0;
    const QByteArray rest(reinterpret_cast<const char*>(data) + 2, static_cast<qsizetype>(size - 2));
    if (data[0] % 2 == 0) {
        QFile f(templatePath);
        check(f.open(QIODevice::WriteOnly | QIODevice::Truncate), "template opens");
        check(f.write(rest) == rest.size(), "template written");
    } else {
        TParts parts = seed;
        parts[data[1] % parts.size()].second = rest;
        check(writeZip(templatePath, parts), "template zip written");
    }

    static TFSettingsForm* settings = [] {
        auto* s = new TFSettingsForm;
        BuildProgramSettings(*s);
        return s;
    }();
    QStringList messages;
    SetStatusMessageHook([&messages](const QString& text, bool) { messages << text; });
    TSpreadsheetExport exporter(*settings);
    exporter.Message = [](const QString&, bool) {};
    exporter.Box = [](const QString&) {};
    exporter.Question = [](const QString&) { return 1; };
    if (exporter.OpenSpreadsheet(templatePath)) {
        T_SAMPLEDATA record;
        record.uiNummer = 7;
        record.dtDate = QDate(2026, 3, 4);
        exporter.WriteSampleRow(record, 21);
        std::vector<T_SAMPLELOG> log(3);
        (void)exporter.WriteLogTable(log);
        exporter.CloseSpreadsheet(outPath, false, 1);
        QFile::remove(outPath);
    } else {
        check(messages.contains(QStringLiteral("Konnte EXCEL-Arbeitsblatt nicht öffnen - Abbruch")),
              "a template that cannot be read is reported");
    }
    SetStatusMessageHook({});
    return 0;
}
