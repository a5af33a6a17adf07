// Preset files: the layout an export writes, what an import reads and refuses, and the window's
// export and import with their dialogs answered by the test.

#include "einstellunglogic.h"
#include "einstellungtestutil.h"
#include "presetfile.h"
#include "settingsini.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

TPresetTable twoPresets()
{
    TPresetTable table;
    EXPECT_TRUE(ParsePresetAnswer(table, kOrderDone, QStringLiteral("TSP;1;Innen;60;21;95;1200;0;0;0;0;0;0;0;")));
    EXPECT_TRUE(ParsePresetAnswer(table, kOrderDone, QStringLiteral("TSP;2;Hof;0;26;100;300;30;45;18;50;5;0;0;")));
    return table;
}

TSettingsIni iniOf(const QByteArray& text)
{
    TSettingsIni ini;
    ini.LoadFromText(QString::fromUtf8(text));
    return ini;
}

class presets_File : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetProgramLanguage(kLangGerman);
        ASSERT_TRUE(Dir.isValid());
    }
    QString path(const char* name) const { return Dir.filePath(QLatin1String(name)); }

    QTemporaryDir Dir;
};

TEST_F(presets_File, export_sectionsInTableOrder_keysInOrder_emptyLineAfterEach)
{
    const QString file = path("a.svk");
    ASSERT_EQ(ExportPresetFile(file, twoPresets(), QLocale(QLocale::German)), QString());
    const QByteArray expected =
        "[preset_01]\nname=Innen\nloginterval=60\n"
        "active_1=1\nflow_1=0,949999988079071\nvolume_1=120\ndelay_1=0\nsettime_1=0\nvoltype_1=1\n"
        "intervalmode_1=0\nflowmonitor_1=1\n"
        "active_2=0\nflow_2=0\nvolume_2=0\ndelay_2=0\nsettime_2=0\nvoltype_2=0\nintervalmode_2=0\nflowmonitor_2=0\n"
        "\n"
        "[preset_02]\nname=Hof\nloginterval=0\n"
        "active_1=1\nflow_1=1\nvolume_1=30\ndelay_1=30\nsettime_1=45\nvoltype_1=2\nintervalmode_1=1\n"
        "flowmonitor_1=0\n"
        "active_2=1\nflow_2=0,5\nvolume_2=0,5\ndelay_2=0\nsettime_2=0\nvoltype_2=2\nintervalmode_2=0\nflowmonitor_2=0\n"
        "\n";
    EXPECT_EQ(readAll(file), expected);

    // Again into the same file: updated in place, nothing doubled.
    ASSERT_EQ(ExportPresetFile(file, twoPresets(), QLocale(QLocale::German)), QString());
    EXPECT_EQ(readAll(file), expected);
}

TEST_F(presets_File, export_keepsForeignContent_skipsPresetsNeverReceived)
{
    const QString file = path("b.svk");
    writeAll(file, "; notes of the lab\n[lab]\nroom=12\n[preset_03]\nname=alt\ncomment=kept\n");
    TPresetTable table;
    ASSERT_TRUE(ParsePresetAnswer(table, kOrderDone, QStringLiteral("TSP;3;Neu;5;0;0;0;0;0;0;0;0;0;0;")));
    ASSERT_EQ(table.size(), 3);  // entries 1 and 2 are gaps
    ASSERT_EQ(ExportPresetFile(file, table, QLocale::c()), QString());
    const QString text = QString::fromUtf8(readAll(file));
    EXPECT_TRUE(text.startsWith(QStringLiteral("; notes of the lab\n[lab]\nroom=12\n[preset_03]\nname=Neu\n")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("comment=kept\n")));
    EXPECT_TRUE(text.endsWith(QStringLiteral("flowmonitor_2=0\n\n")));
    EXPECT_FALSE(text.contains(QStringLiteral("preset_00")));
    EXPECT_FALSE(text.contains(QStringLiteral("preset_01")));
    EXPECT_FALSE(text.contains(QStringLiteral("preset_02")));
}

TEST_F(presets_File, export_unwritableFile_reportsAndLeavesNothing)
{
    const QString file = Dir.filePath(QStringLiteral("missing/dir/c.svk"));
    EXPECT_FALSE(ExportPresetFile(file, twoPresets(), QLocale::c()).isEmpty());
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(presets_File, import_overlongNumbers_refusedNotOverflowed)
{
    TPresetTable table = twoPresets();
    // A volume beyond float's range reads as infinity; the sampling time from it must saturate.
    const TSettingsIni ini = iniOf("[preset_01]\nactive_1=1\nflow_1=1,95\nvolume_1=5" + QByteArray(60, '6') +
                                   ",1\n[preset_02]\nflow_1=1" + QByteArray(50, '0') + "\nvolume_1=30\n");
    const TPresetImport result = ImportPresets(ini, table, 5.0);
    EXPECT_TRUE(result.Accepted.isEmpty());
    EXPECT_EQ(result.Rejections.size(), 2);
}

TEST_F(presets_File, proposedName)
{
    EXPECT_EQ(ProposedPresetFileName(QStringLiteral("SV2000123"), QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7))),
              QStringLiteral("SV2000123_20260304_050607"));
}

TEST_F(presets_File, import_checksEveryPreset_messagesInOrder)
{
    TPresetTable table = twoPresets();
    for (int n = 3; n <= 10; ++n)
        ASSERT_TRUE(ParsePresetAnswer(table, kOrderDone, QStringLiteral("TSP;%1;P;0;0;0;0;0;0;0;0;0;0;0;").arg(n)));
    const TSettingsIni ini = iniOf(
        "[preset_05]\nname=Fehler\nloginterval=300\nvoltype_2=3\n"
        "[PRESET_06]\nNAME=Eine Bezeichnung mit 25 Z\n"
        "[preset_07]\nintervalmode_1=1\nsettime_1=24\nflow_1=1\nvolume_1=30\n"
        "[preset_08]\nintervalmode_1=1\nsettime_1=25\nflow_1=1.0\nvolume_1=30\n"
        "[preset_09]\nintervalmode_1=1\nsettime_1=71582814\nflow_1=1\nvolume_1=30\n"
        "[preset_10]\n"
        "[preset_11]\nname=no such preset\n"
        "[preset_04]\nflow_1=1,95\nvolume_1=5000,1\ndelay_1=86401\n");
    const TPresetImport result = ImportPresets(ini, table, 1.9);
    const QStringList expected{
        "Voreinstellprogramm Nummer 4 konnte nicht importiert werden:"
        "\r\n  Kanal 1: Volumenstrom liegt außerhalb des gültigen Bereichs (1,95)"
        "\r\n  Kanal 1: Volumen liegt außerhalb des gültigen Bereichs (5000,1)"
        "\r\n  Kanal 1: Startverzögerung liegt außerhalb des gültigen Bereichs (86401)",
        "Voreinstellprogramm Nummer 5 konnte nicht importiert werden:"
        "\r\n  Loggingintervall liegt außerhalb des gültigen Bereichs (300)"
        "\r\n  Kanal 2: Wert für Volumentyp ungütig (3)",
        "Voreinstellprogramm Nummer 7 konnte nicht importiert werden:"
        "\r\n  Kanal 1: Vorgabezeit liegt außerhalb des gültigen Bereichs (24)",
        "Voreinstellprogramm Nummer 8 konnte nicht importiert werden:"
        "\r\n  Kanal 1: Vorgabezeit ist ungültig: Probenahmedauer bei Kanal 1 zu kurz für Intervallbetrieb (25)",
        // 71582814 x 60 wraps in 32 bits to 1544 s, which would pass.
        "Voreinstellprogramm Nummer 9 konnte nicht importiert werden:"
        "\r\n  Kanal 1: Vorgabezeit liegt außerhalb des gültigen Bereichs (71582814)",
    };
    EXPECT_EQ(result.Rejections, expected);
    ASSERT_EQ(result.Accepted.size(), 2);
    EXPECT_EQ(result.Accepted[0].ilfdNr, 6);
    EXPECT_EQ(result.Accepted[0].strBez, QStringLiteral("Eine Bezeichnung mit"));
    const TPreSet& defaults = result.Accepted[1];
    EXPECT_EQ(defaults.ilfdNr, 10);
    EXPECT_EQ(defaults.strBez, QStringLiteral("Import P 10"));
    EXPECT_EQ(PresetCommandText(defaults), QStringLiteral("SSP;10;Import P 10;0;0;0;0;0;0;0;0;0;0;0"));
}

TEST_F(presets_File, import_decimalsWithEitherSeparator_strictly)
{
    struct TCase {
        const char* text;
        double value;
    };
    const TCase cases[] = {
        {"0.5", 0.5},   {"0,5", 0.5},  {"1,949999988079071", 1.949999988079071}, {" 2 ", 2.0},
        {"1.000,5", 0}, {"1,000.5", 0}, {"nan", 0}, {"inf", 0}, {"1e400", 0}, {"", 0}, {"abc", 0}, {",5", 0.5},
    };
    for (const TCase& c : cases)
        EXPECT_DOUBLE_EQ(ReadPresetFileDecimal(QString::fromUtf8(c.text)), c.value) << c.text;

    TPresetTable table = twoPresets();
    const QString comma = path("comma.svk");
    const QString point = path("point.svk");
    ASSERT_EQ(ExportPresetFile(comma, table, QLocale(QLocale::German)), QString());
    ASSERT_EQ(ExportPresetFile(point, table, QLocale(QLocale::English)), QString());
    TSettingsIni a;
    TSettingsIni b;
    QString error;
    ASSERT_TRUE(LoadPresetFile(comma, a, error));
    ASSERT_TRUE(LoadPresetFile(point, b, error));
    for (int n = 1; n <= 2; ++n) {
        const TPreSet fromComma = ReadPreset(a, n);
        EXPECT_EQ(fromComma, ReadPreset(b, n));
        EXPECT_EQ(PresetCommandText(fromComma), PresetCommandText(table[n - 1])) << "preset " << n;
    }
}

TEST_F(presets_File, import_windows1252Names)
{
    const QString file = path("old.svk");
    writeAll(file, "[preset_01]\r\nname=Br\xfc" "cke \x80" "1\r\n");
    TSettingsIni ini;
    QString error;
    ASSERT_TRUE(LoadPresetFile(file, ini, error)) << error.toStdString();
    EXPECT_EQ(ReadPreset(ini, 1).strBez, QStringLiteral("Brücke €1"));
    writeAll(file, "[preset_01]\nname=Br\xc3\xbc" "cke\n");
    ASSERT_TRUE(LoadPresetFile(file, ini, error));
    EXPECT_EQ(ReadPreset(ini, 1).strBez, QStringLiteral("Brücke"));
    EXPECT_FALSE(LoadPresetFile(path("none.svk"), ini, error));
    EXPECT_TRUE(error.contains(QStringLiteral("none.svk")));
}

class presets_FileLogic : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dir.isValid());
        Env.Context.Online = true;
        Env.Context.Device.SerialNo = QStringLiteral("SV2000123");
        Env.Settings.SetStr(QStringLiteral("Paths/Config"), Dir.path());
        Logic.SetWallClock([] { return QDateTime(QDate(2026, 12, 31), QTime(23, 59, 58)); });
        Logic.SetFileLocale(QLocale::c());
        Logic.SetSysMessage([this](const QString& text, bool alarm) { SysMessages << (alarm ? "ALARM " : "") + text; });
        TPresetFileDialogs d;
        d.saveFile = [this](const QString& title, const QString& dir, const QString& filter, const QString& proposed) {
            Asked << title << dir << filter << proposed;
            return Chosen;
        };
        d.openFile = [this](const QString& title, const QString& dir, const QString& filter) {
            Asked << title << dir << filter;
            return Chosen;
        };
        d.askYesNo = [this](const QString& q) {
            Asked << q;
            return Yes;
        };
        d.error = [this](const QString& text) { Errors << text; };
        Logic.SetFileDialogs(d);
        Logic.FormShow();
        Logic.RXData(kOrderDone, 1, QStringLiteral("TSP;1;Innen;60;21;150;1200;0;0;0;0;0;0;0;"));
        Logic.RXData(kOrderDone, 1, QStringLiteral("TSP;2;Hof;0;26;100;300;30;45;18;50;5;0;0;"));
        Sent.Clear();
    }

    QTemporaryDir Dir;
    TEinstellTestEnv Env;
    TOrderCapture Sent;
    TEinstellungLogic Logic{Env.Context};
    QStringList Asked;
    QStringList Errors;
    QStringList SysMessages;
    QString Chosen;
    bool Yes = true;
};

TEST_F(presets_FileLogic, export_proposesSerialAndTime_inTheConfigFolder)
{
    Chosen = Dir.filePath(QStringLiteral("x.svk"));
    Logic.btnExportClick();
    EXPECT_EQ(Asked, (QStringList{"Voreinstellungen exportieren", Dir.path(),
                                  "Sarvik2-Voreinstellungen (*.svk);;Alle Dateien (*)",
                                  Dir.filePath(QStringLiteral("SV2000123_20261231_235958.svk"))}));
    EXPECT_TRUE(readAll(Chosen).startsWith("[preset_01]\nname=Innen\n"));
    EXPECT_TRUE(Errors.isEmpty());
    EXPECT_TRUE(Sent.Orders.empty());

    // Offline with presets in the table the export still works; a cancelled dialog writes nothing.
    Env.Context.Online = false;
    Logic.SetOnOffLine(0);
    Chosen.clear();
    Logic.btnExportClick();
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("x.svk")});
}

TEST_F(presets_FileLogic, import_questionFirst_thenEachValidPresetSent_refusedOnesReported)
{
    Chosen = Dir.filePath(QStringLiteral("in.svk"));
    writeAll(Chosen, "[preset_02]\nname=A;B\nloginterval=10\n[preset_01]\nloginterval=999\n");
    Yes = false;
    Logic.btnImportClick();
    EXPECT_EQ(Asked, QStringList{QStringLiteral(
                         "Die aktuellen Voreinstellungen werden beim Import überschrieben.\r\n\r\nFortfahren?")});
    EXPECT_TRUE(Sent.Orders.empty());

    Yes = true;
    Asked.clear();
    Logic.btnImportClick();
    EXPECT_EQ(Asked.mid(1), (QStringList{"Voreinstellungen importieren", Dir.path(),
                                         "Sarvik2-Voreinstellungen (*.svk);;Alle Dateien (*)"}));
    EXPECT_EQ(Sent.Commands(), QStringList{QStringLiteral("SSP;2;AB;10;0;0;0;0;0;0;0;0;0;0")});
    EXPECT_EQ(Sent.Commands().first().split(QLatin1Char(';')).size(), 14);
    EXPECT_EQ(SysMessages,
              QStringList{QStringLiteral("ALARM Voreinstellprogramm Nummer 1 konnte nicht importiert werden:\r\n"
                                         "  Loggingintervall liegt außerhalb des gültigen Bereichs (999)")});
    EXPECT_EQ(Logic.Presets().at(1).strBez, QStringLiteral("Hof")) << "the table follows the device's answers";

    // A file that cannot be read is reported, nothing is sent.
    Sent.Clear();
    Chosen = Dir.filePath(QStringLiteral("gone.svk"));
    Logic.btnImportClick();
    EXPECT_EQ(Errors.size(), 1);
    EXPECT_TRUE(Sent.Orders.empty());

    // Offline the import does nothing at all.
    Env.Context.Online = false;
    Asked.clear();
    Logic.btnImportClick();
    EXPECT_TRUE(Asked.isEmpty());
}

}  // namespace
