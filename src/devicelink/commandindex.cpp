#include "commandindex.h"

#include <vector>

namespace {

const std::vector<TCommandFamily>& families()
{
    static const std::vector<TCommandFamily> table = {
        {"identity and status", {"GIN", "GID", "GIS", "GIO", "GIB", "GIE"},
         {"TIN", "TID", "TIS", "TIO", "TIB", "TIE"}, "serial number, firmware, state, battery, climate"},
        {"sampling control", {"SAS", "SAH", "SAO", "GMQ"}, {"TAS", "TAH", "TAO", "TMQ"},
         "start, stop and switch off runs; live channel values"},
        {"presets", {"GSP", "SSP"}, {"TSP"}, "the stored sampling presets"},
        {"device parameters", {"GS", "SS", "GIL"}, {"TS", "TIL"}, "display, clock, volumes and other parameters"},
        {"sample records", {"GDR", "GDP", "SDI", "GIP"}, {"TDR", "TDP", "TDI", "TIP"}, "sampling records"},
        {"process logs", {"GDN"}, {"TDN"}, "process log entries of a record"},
        {"flow adjustment", {"GCF", "SCF", "GMV"}, {"TCF", "TMV"}, "flow sensor coefficients and voltages"},
        {"peripheral calibration", {"GC", "SC", "SAB", "SAT"}, {"TC"}, "controller, servo, battery and sensor calibration"},
        {"counters", {"GL", "SL", "GMM", "SMM"}, {"TL", "TMM"}, "adjustment and event counters"},
        {"service", {"GIT", "GII", "GIF", "SHD", "SMC", "GMC", "GIV", "GIJ", "GIR"},
         {"TIT", "TII", "TIF", "THD", "TMC", "TIV", "TIJ", "TIR"}, "device tests, error memory, read-only counters"},
        {"memory", {"GHM", "SHM"}, {"THM"}, "device memory read and write"},
        {"manual control", {"GCS", "GMW", "GMF", "GMS", "GMP", "SMW", "SMS"},
         {"TCS", "TMW", "TMF", "TMS", "TMP"}, "pump and valves by hand"},
        {"firmware", {"SAR"}, {"TAR"}, "restart into the bootloader"},
        {"unsolicited", {}, {"TIM"}, "the device's own messages"},
    };
    return table;
}

}  // namespace

std::span<const TCommandFamily> CommandFamilies()
{
    return families();
}

const TCommandFamily* FindCommandFamily(const QString& command)
{
    const QString word = command.left(3).toUpper();
    if (word.size() != 3)
        return nullptr;
    for (const TCommandFamily& f : families()) {
        if (f.commands.contains(word))
            return &f;
    }
    for (const TCommandFamily& f : families()) {
        for (const QString& c : f.commands) {
            if (c.size() == 2 && word.startsWith(c))
                return &f;
        }
    }
    return nullptr;
}

QString AnswerWordFor(const QString& command)
{
    if (command.size() < 3)
        return {};
    return QLatin1Char('T') + command.mid(1, 2);
}
