// libFuzzer target for the settings file: the INI image read from any bytes, written and read
// again (the second read must equal the first), and the program's settings tree read from the
// file, saved and read once more.

#include "programsettings.h"
#include "settingsform.h"
#include "settingsini.h"

#include <QFile>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
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
    return QString::fromUtf8(dir ? dir : "/tmp") + QStringLiteral("/settingsini_fuzz_%1.ini").arg(getpid());
}

QByteArray readAll(const QString& name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    static const QString fileName = scratchFile();
    const auto writeScratch = [&] {
        QFile f(fileName);
        check(f.open(QIODevice::WriteOnly | QIODevice::Truncate), "scratch file opens");
        check(f.write(bytes) == bytes.size(), "scratch file written");
    };

    // The image as the program reads it, written back and read again.
    writeScratch();
    const TSettingsIni first(fileName);
    first.UpdateFile();
    const TSettingsIni second(fileName);
    const QString text = first.ToText();
    if (second.ToText() != text) {
        const QStringList a = text.split(QLatin1Char('\n'));
        const QStringList b = second.ToText().split(QLatin1Char('\n'));
        for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
            if (a.value(i) != b.value(i)) {
                std::fprintf(stderr, "line %d: \"%s\" became \"%s\"\n", int(i), qPrintable(a.value(i)),
                             qPrintable(b.value(i)));
                break;
            }
        }
        check(false, "image text survives a write and a read");
    }
    const QStringList sections = first.Sections();
    check(second.Sections() == sections, "same sections");
    for (const QString& section : sections) {
        check(second.SectionExists(section) == first.SectionExists(section), "same section lookup");
        check(second.ReadString(section, QStringLiteral("Path"), QStringLiteral("-")) ==
                  first.ReadString(section, QStringLiteral("Path"), QStringLiteral("-")),
              "same values");
    }
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        long double f = 0;
        if (IniTextToFloat(line.section(QLatin1Char('='), 1).trimmed(), f)) {
            long double again = 0;
            check(IniTextToFloat(FloatToIniText(f), again), "a written number reads back");
        }
        qint32 i = 0;
        (void)IniTextToInteger(line.section(QLatin1Char('='), 1).trimmed(), i);
    }

    // The program's own settings from that file: read, save, read again, save: no change.
    writeScratch();
    try {
        TFSettingsForm form;
        BuildProgramSettings(form);
        form.ReadFromFile(fileName);
        form.SaveToFile(fileName);
        const QByteArray saved = readAll(fileName);
        TFSettingsForm again;
        BuildProgramSettings(again);
        again.ReadFromFile(fileName);
        again.SaveToFile(fileName);
        check(readAll(fileName) == saved, "settings read back as saved");
    } catch (const std::exception&) {
        // A file the system refuses is reported, not parsed.
    }
    return 0;
}
