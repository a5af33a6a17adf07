#include "programsettings.h"

#include "settingsform.h"

#include <limits>

namespace {

constexpr qint32 kIntMin = std::numeric_limits<qint32>::min();
constexpr qint32 kIntMax = std::numeric_limits<qint32>::max();
constexpr long double kInf = std::numeric_limits<long double>::infinity();
constexpr int kClientCount = 12;

// Nodes with an empty caption are hidden from the editor outside debug mode.
const QString kHidden;

}  // namespace

void BuildProgramSettings(TFSettingsForm& form)
{
    TGroupNode* general = form.AddTreeNode(nullptr, QStringLiteral("General"), {"Allgemein", "General"});
    form.AddBooleanNode(general, QStringLiteral("Logging"),
                        {"Gerätekommunikation aufzeichnen", "Log device communication"}, false);
    form.AddBooleanNode(general, QStringLiteral("ConfirmExit"), {"Nachfrage bei Programmende", "Confirm program exit"},
                        true);
    form.AddBooleanNode(general, QStringLiteral("ServiceModules"), {"Servicemodule anzeigen", "Show service modules"},
                        false);
    form.AddLanguageNode(general, QStringLiteral("ProgLang"), {"Programmsprache", "Program language"}, {slDE, slEN},
                         slDE);
    form.AddInfoNode(general, QStringLiteral("IniFile"), {"Programmkonfigurationsdatei", "Program configuration file"},
                     QStringList());

    TGroupNode* paths = form.AddTreeNode(nullptr, QStringLiteral("Paths"), {"Verzeichnisse", "Directories"});
    form.AddDirSelNode(paths, QStringLiteral("Log"), {"Verzeichnis für Logdateien", "Directory for log files"},
                       QString(), true);
    form.AddDirSelNode(paths, QStringLiteral("Config"),
                       {"Verzeichnis für Konfigurationsdateien", "Directory for config files"}, QString(), true);
    form.AddDirSelNode(paths, QStringLiteral("AdjustLog"),
                       {"Verzeichnis für Justage-Protokolle", "Directory for adjustment logs"}, QString(), true);
    form.AddStringNode(paths, QStringLiteral("Firmware"), kHidden, QString(), 0);

    TGroupNode* sampling =
        form.AddTreeNode(nullptr, QStringLiteral("SamplingData"), {"Probenahmedaten", "Samping data"});
    form.AddDirSelNode(sampling, QStringLiteral("Output"), {"Ablageverzeichnis", "Output directory"}, QString(),
                       false);
    const QStringList excelFilters{"EXCEL-Dateien|*.xls;*.xlsx;*.xlsm|Alle Dateien|*.*",
                                   "EXCEL Files|*.xls;*.xlsx;*.xlsm|All Files|*.*"};
    form.AddFileSelNode(sampling, QStringLiteral("SamplingTpl"),
                        {"EXCEL-Vorlage für Probenahmedaten", "EXCEL template for sampling data"}, excelFilters,
                        QString(), QString(), true);
    form.AddFileSelNode(sampling, QStringLiteral("LogTpl"),
                        {"EXCEL-Vorlage für Probenahmeverlauf (Logdaten)",
                         "EXCEL template for sampling process data (log data)"},
                        excelFilters, QString(), QString(), true);
    form.AddRadioNode(sampling, QStringLiteral("Extension"),
                      {"Dateierweiterung der Ablagedatei", "File extension of output file"},
                      MakeLangItems(1, 4, {"XLS", "XLM", "XLSX", "XLSM"}), 2);

    TGroupNode* winPos = form.AddTreeNode(nullptr, QStringLiteral("WinPos"), kHidden);
    for (int n = 0; n < kClientCount; ++n) {
        TGroupNode* client = form.AddTreeNode(winPos, QStringLiteral("Client_%1").arg(n), kHidden);
        form.AddIntegerNode(client, QStringLiteral("Top"), kHidden, 8, kIntMin, kIntMax);
        form.AddIntegerNode(client, QStringLiteral("Left"), kHidden, 8, kIntMin, kIntMax);
        form.AddIntegerNode(client, QStringLiteral("Width"), kHidden, 200, kIntMin, kIntMax);
        form.AddIntegerNode(client, QStringLiteral("Height"), kHidden, 100, kIntMin, kIntMax);
        form.AddBooleanNode(client, QStringLiteral("Open"), kHidden, false);
    }

    TGroupNode* connection = form.AddTreeNode(nullptr, QStringLiteral("Connection"), kHidden);
    TGroupNode* main = form.AddTreeNode(connection, QStringLiteral("Main"), kHidden);
    form.AddIntegerNode(main, QStringLiteral("USB_VID"), kHidden, 0x0483, kIntMin, kIntMax);
    form.AddIntegerNode(main, QStringLiteral("USB_PID"), kHidden, 0xA2B8, kIntMin, kIntMax);
    TGroupNode* bootloader = form.AddTreeNode(connection, QStringLiteral("Bootloader"), kHidden);
    form.AddIntegerNode(bootloader, QStringLiteral("USB_VID"), kHidden, 0x0483, kIntMin, kIntMax);
    form.AddIntegerNode(bootloader, QStringLiteral("USB_PID"), kHidden, 0xA2BA, kIntMin, kIntMax);

    TGroupNode* memoryMon = form.AddTreeNode(nullptr, QStringLiteral("MemoryMon"), kHidden);
    form.AddIntegerNode(memoryMon, QStringLiteral("Target"), kHidden, 0, kIntMin, kIntMax);
    form.AddIntegerNode(memoryMon, QStringLiteral("Address"), kHidden, 0, kIntMin, kIntMax);
    form.AddIntegerNode(memoryMon, QStringLiteral("Len"), kHidden, 1, kIntMin, kIntMax);
    form.AddStringNode(memoryMon, QStringLiteral("WriteVal"), kHidden, QString(), 0);
    form.AddBooleanNode(memoryMon, QStringLiteral("Hex"), kHidden, false);

    TGroupNode* control = form.AddTreeNode(nullptr, QStringLiteral("Control"), kHidden);
    form.AddIntegerNode(control, QStringLiteral("LastPreset"), kHidden, 0, kIntMin, kIntMax);
    form.AddIntegerNode(control, QStringLiteral("Interval"), kHidden, kControlIntervalDefaultS, kIntMin, kIntMax);
    form.AddBooleanNode(control, QStringLiteral("ShowChart"), kHidden, true);

    TGroupNode* controlTest = form.AddTreeNode(nullptr, QStringLiteral("ControlTest"), kHidden);
    form.AddStringNode(controlTest, QStringLiteral("File"), kHidden, QString(), 0);
    form.AddIntegerNode(controlTest, QStringLiteral("Cycles"), kHidden, 0, kIntMin, kIntMax);
    form.AddIntegerNode(controlTest, QStringLiteral("PumpSetValue"), kHidden, 0, kIntMin, kIntMax);
    form.AddFloatNode(controlTest, QStringLiteral("FlowLimitClose"), kHidden, 0.0L, 3, -kInf, kInf);
    form.AddFloatNode(controlTest, QStringLiteral("FlowLimitOpen"), kHidden, 1.0L, 3, -kInf, kInf);
    form.AddFloatNode(controlTest, QStringLiteral("BufferLimit"), kHidden, 1.0L, 3, -kInf, kInf);
    form.AddBooleanNode(controlTest, QStringLiteral("Async"), kHidden, false);
    form.AddIntegerNode(controlTest, QStringLiteral("WaitTime"), kHidden, 3, kIntMin, kIntMax);
}
