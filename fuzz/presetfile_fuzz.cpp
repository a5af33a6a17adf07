// libFuzzer target for the preset file import: any file bytes loaded as a preset file and
// imported into a table of ten received presets; what is accepted is exported and imported
// again and must come back unchanged.

#include "i18n.h"
#include "presetfile.h"
#include "presetmodel.h"
#include "settingsini.h"
#include "wireformat.h"

#include <QFile>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

QString scratchFile()
{
    const char* dir = std::getenv("TMPDIR");
    return QString::fromUtf8(dir ? dir : "/tmp") + QStringLiteral("/presetfile_fuzz_%1.svk").arg(getpid());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SetProgramLanguage(kLangGerman);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const QString fileName = scratchFile();
    {
        QFile f(fileName);
        check(f.open(QIODevice::WriteOnly | QIODevice::Truncate), "scratch file opens");
        check(f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) == static_cast<qint64>(size),
              "scratch file written");
    }
    TSettingsIni ini;
    QString error;
    if (!LoadPresetFile(fileName, ini, error))
        return 0;
    static TPresetTable table = [] {
        TPresetTable t;
        for (int n = 1; n <= 10; ++n)
            ParsePresetAnswer(t, kOrderDone, QStringLiteral("TSP;%1;P;0;0;0;0;0;0;0;0;0;0;0;").arg(n));
        return t;
    }();
    const double maxFlow = size > 0 ? 1.0 + data[0] % 8 : 4.0;
    const TPresetImport result = ImportPresets(ini, table, maxFlow);
    check(result.Accepted.size() + result.Rejections.size() <= table.size(), "one verdict per preset");
    for (const QString& section : ini.Sections()) {
        for (int n = 1; n <= 10; ++n) {
            if (section.compare(PresetSection(n), Qt::CaseInsensitive) == 0)
                (void)CheckImportedPreset(ReadPreset(ini, n), maxFlow);
        }
    }

    TSettingsIni written;
    WritePresets(written, result.Accepted, QLocale(QLocale::German));
    TSettingsIni reread;
    reread.LoadFromText(PresetFileText(written));
    const TPresetImport again = ImportPresets(reread, table, maxFlow);
    check(again.Rejections.isEmpty(), "an exported preset imports again");
    // The INI format keeps no blanks around a value, so a name cut to 20 may lose its last one.
    QList<TPreSet> expected = result.Accepted;
    for (TPreSet& p : expected)
        p.strBez = p.strBez.trimmed();
    if (again.Accepted != expected) {
        for (qsizetype i = 0; i < std::min(expected.size(), again.Accepted.size()); ++i) {
            const TPreSet& a = expected.at(i);
            const TPreSet& b = again.Accepted.at(i);
            std::fprintf(stderr, "preset %d: name \"%s\"/\"%s\" log %d/%d\n", a.ilfdNr, qPrintable(a.strBez),
                         qPrintable(b.strBez), a.iLoginterv, b.iLoginterv);
            for (int k = 0; k < 2; ++k)
                std::fprintf(stderr, "  %d %.9g/%.9g %.9g/%.9g %d/%d %d/%d %d/%d %d/%d %d/%d %d/%d\n", k,
                             double(a.aSet[k].fFlow), double(b.aSet[k].fFlow), double(a.aSet[k].fVolume),
                             double(b.aSet[k].fVolume), a.aSet[k].iTime, b.aSet[k].iTime, a.aSet[k].iDelay,
                             b.aSet[k].iDelay, a.aSet[k].iSetTime, b.aSet[k].iSetTime, a.aSet[k].bIntervalMode,
                             b.aSet[k].bIntervalMode, a.aSet[k].bActive, b.aSet[k].bActive, a.aSet[k].iVolType,
                             b.aSet[k].iVolType);
        }
        check(false, "an exported preset comes back unchanged");
    }
    return 0;
}
