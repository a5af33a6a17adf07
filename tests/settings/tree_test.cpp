#include "programsettings.h"
#include "settingsform.h"
#include "settingstestutil.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

class settings_Schema : public ::testing::Test {
protected:
    void SetUp() override { BuildProgramSettings(form); }
    TFSettingsForm form;
};

struct TPathCase {
    const char* name;
    std::function<QString(TFSettingsForm&)> access;  // the value read, as text
    QString expected;                                // value, or the error message
};

TEST_F(settings_Schema, pathsReachNodesOrFailWithTheirMessage)
{
    const TPathCase cases[] = {
        {"trailing slash", [](TFSettingsForm& f) { return QString::number(f.GetBool("General/Logging/")); }, "0"},
        {"slash after directory", [](TFSettingsForm& f) { return f.GetStr("Paths/Config/"); }, ""},
        {"deep integer", [](TFSettingsForm& f) { return QString::number(f.GetInt("WinPos/Client_11/Width")); }, "200"},
        {"part after a value node", [](TFSettingsForm& f) { return QString::number(f.GetBool("General/Logging/x")); },
         "Auf Logging/x kann nicht zugegriffen werden"},
        {"lower case", [](TFSettingsForm& f) { return QString::number(f.GetBool("general/logging")); },
         "Knoten settings enthält keinen Unterknoten \"general/logging\""},
        {"group path", [](TFSettingsForm& f) { return QString::number(f.GetBool("General")); },
         "Knoten settings/General enthält keinen Unterknoten \"\""},
        {"leading slash", [](TFSettingsForm& f) { return QString::number(f.GetBool("/General/Logging")); },
         "Knoten settings enthält keinen Unterknoten \"/General/Logging\""},
        {"unknown key", [](TFSettingsForm& f) { return f.GetStr("Paths/Nope"); },
         "Knoten settings/Paths enthält keinen Unterknoten \"Nope\""},
        {"coordinates on a single value", [](TFSettingsForm& f) { return QString::number(f.GetInt("General/ProgLang", 0, -1)); },
         "Ungültiger Zugriff auf Position 0,-1"},
        {"y coordinate on a single value", [](TFSettingsForm& f) { return QString::number(f.GetInt("Control/Interval", -1, 3)); },
         "Ungültiger Zugriff auf Position -1,3"},
    };
    for (const auto& c : cases) {
        QString got;
        const QString error = errorOf([&] { got = c.access(form); });
        EXPECT_EQ(error == "<no error>" ? got : error, c.expected) << c.name;
    }
}

TEST_F(settings_Schema, wrongKindOfValueIsATypeError)
{
    QString msg;
    const TPathCase cases[] = {
        {"integer as Boolean", [](TFSettingsForm& f) { return QString::number(f.GetBool("WinPos/Client_0/Top")); },
         "Kann keinen Wert vom Typ Boolean zurückgeben"},
        {"integer as text", [](TFSettingsForm& f) { return f.GetStr("WinPos/Client_0/Top"); }, "8"},
        {"integer set as text", [&](TFSettingsForm& f) { return QString::number(f.SetStr("Control/Interval", "5", msg)); },
         "Kann keinen Wert vom Typ String setzen"},
        {"text as integer", [](TFSettingsForm& f) { return QString::number(f.GetInt("Paths/Firmware")); },
         "Kann keinen Wert vom Typ Integer zurückgeben"},
        {"Boolean as float", [](TFSettingsForm& f) { return QString::number(double(f.GetFloat("General/Logging"))); },
         "Kann keinen Wert vom Typ Float zurückgeben"},
        {"Boolean as text", [](TFSettingsForm& f) { return f.GetStr("General/ConfirmExit"); }, "True"},
        {"Boolean set as integer", [&](TFSettingsForm& f) { return QString::number(f.SetInt("General/Logging", 1, msg)); },
         "Kann keinen Wert vom Typ Integer setzen"},
        {"float as Boolean", [](TFSettingsForm& f) { return QString::number(f.GetBool("ControlTest/BufferLimit")); },
         "Kann keinen Wert vom Typ Boolean zurückgeben"},
        {"float as text", [](TFSettingsForm& f) { return f.GetStr("ControlTest/FlowLimitOpen"); }, "1.000"},
        {"float set as text", [&](TFSettingsForm& f) { return QString::number(f.SetStr("ControlTest/FlowLimitOpen", "2", msg)); },
         "Kann keinen Wert vom Typ String setzen"},
        {"choice as float", [](TFSettingsForm& f) { return QString::number(double(f.GetFloat("SamplingData/Extension"))); },
         "Kann keinen Wert vom Typ Float zurückgeben"},
        {"choice as text", [](TFSettingsForm& f) { return f.GetStr("SamplingData/Extension"); }, "XLSX"},
        {"language set as float", [&](TFSettingsForm& f) { return QString::number(f.SetFloat("General/ProgLang", 1, msg)); },
         "Kann keinen Wert vom Typ Float setzen"},
        {"information as integer", [](TFSettingsForm& f) { return QString::number(f.GetInt("General/IniFile")); },
         "Kann keinen Wert vom Typ Integer zurückgeben"},
        {"directory set as Boolean", [&](TFSettingsForm& f) { return QString::number(f.SetBool("Paths/Log", true, msg)); },
         "Kann keinen Wert vom Typ Boolean setzen"},
        {"file as integer", [](TFSettingsForm& f) { return QString::number(f.GetInt("SamplingData/LogTpl")); },
         "Kann keinen Wert vom Typ Integer zurückgeben"},
    };
    for (const auto& c : cases) {
        QString got;
        const QString error = errorOf([&] { got = c.access(form); });
        EXPECT_EQ(error == "<no error>" ? got : error, c.expected) << c.name;
    }
}

TEST_F(settings_Schema, messagesFollowTheLanguage)
{
    form.SetStr("General/ProgLang", "English");
    EXPECT_EQ(errorOf([&] { form.GetBool("WinPos/Client_0/Top"); }), "Cannot return a value of type Boolean");
    EXPECT_EQ(errorOf([&] { form.GetBool("General"); }), "Node settings/General does not contain a subnode \"\"");
    EXPECT_EQ(errorOf([&] { form.GetNodeByPath("General/Logging/x"); }), "Path is too long");
}

TEST_F(settings_Schema, languageNodeSwitchesTheWholeTree)
{
    int switchedTo = -1;
    form.OnLanguageChanged = [&](int lang) { switchedTo = lang; };

    QString msg;
    EXPECT_FALSE(form.SetStr("General/ProgLang", "Englisch", msg));
    EXPECT_EQ(form.language(), slDE);
    EXPECT_EQ(switchedTo, -1);

    EXPECT_TRUE(form.SetStr("General/ProgLang", "English", msg));
    EXPECT_EQ(switchedTo, slEN);
    EXPECT_EQ(form.GetInt("General/ProgLang"), slEN);
    EXPECT_EQ(form.GetStr("General/ProgLang"), "English");
    EXPECT_EQ(form.root()->caption, "Settings");
    EXPECT_EQ(form.GetNodeByPath("SamplingData")->caption, "Samping data");
    EXPECT_EQ(form.GetNodeByPath("General/Logging")->caption, "Log device communication");
    // Hidden nodes have one empty caption for every language.
    EXPECT_EQ(form.GetNodeByPath("WinPos/Client_2")->caption, "");

    // French is no program language, but the tree falls back to the first caption.
    EXPECT_TRUE(form.SetInt("General/ProgLang", slFR, msg));
    EXPECT_EQ(form.root()->caption, "Paramètres");
    EXPECT_EQ(form.GetNodeByPath("General")->caption, "Allgemein");
}

TEST_F(settings_Schema, negativeLanguageIsRefusedAndChangesNothing)
{
    EXPECT_EQ(errorOf([&] { form.SetInt("General/ProgLang", -1); }), "Sprachindex muss >= 0 sein");
    EXPECT_EQ(form.GetInt("General/ProgLang"), slDE);
    EXPECT_EQ(form.language(), slDE);
    EXPECT_EQ(errorOf([&] { form.root()->SetLanguage(-2); }), "Sprachindex muss >= 0 sein");
    EXPECT_EQ(form.root()->FLanguage, slDE);
}

TEST_F(settings_Schema, nodeLookupByPath)
{
    EXPECT_EQ(form.GetNodeByPath(""), form.root());
    EXPECT_EQ(form.GetNodeByPath("/General//Logging/")->ToString(), "settings/General/Logging");
    EXPECT_EQ(form.GetNodeByPath("Connection/Bootloader/USB_PID")->ToString(),
              "settings/Connection/Bootloader/USB_PID");
    EXPECT_EQ(errorOf([&] { form.GetNodeByPath("General/Logging/x"); }), "Pfad is zu lang");
    EXPECT_EQ(errorOf([&] { form.GetNodeByPath("General/Nope"); }),
              "Knoten settings/General enthält keinen Unterknoten \"Nope\"");
}

TEST_F(settings_Schema, duplicateIdentifierIsRefused)
{
    auto* general = static_cast<TGroupNode*>(form.GetNodeByPath("General"));
    EXPECT_EQ(errorOf([&] { form.AddBooleanNode(general, "Logging", "x", true); }),
              "Doppelter Identifier \"Logging\" im Knoten settings/General");
    EXPECT_EQ(general->children.size(), 5u);
    // Identifiers are exact: another case is another node.
    EXPECT_NE(form.AddBooleanNode(general, "logging", "x", true), nullptr);
}

TEST_F(settings_Schema, errorStateOfGroupsAndSubtrees)
{
    static_cast<TValueNode*>(form.GetNodeByPath("WinPos/Client_4/Open"))->error = true;
    EXPECT_TRUE(form.GetNodeByPath("WinPos/Client_4")->HasError(false));
    EXPECT_FALSE(form.GetNodeByPath("WinPos")->HasError(false));
    EXPECT_TRUE(form.GetNodeByPath("WinPos")->HasError(true));
    EXPECT_FALSE(form.root()->HasError(false));
    EXPECT_TRUE(form.root()->HasError(true));
    EXPECT_FALSE(form.GetNodeByPath("General")->HasError(true));
}

TEST_F(settings_Schema, dumpListsEveryNodeOnce)
{
    const QStringList dump = form.DumpTree();
    // root, 10 groups, 12 client groups, 93 keys
    EXPECT_EQ(dump.size(), 116);
    EXPECT_EQ(dump.value(0), "settings - Einstellungen (TGroupNode)");
    EXPECT_EQ(dump.value(1), "  General - Allgemein (TGroupNode)");
    EXPECT_EQ(dump.value(2), "    Logging - Gerätekommunikation aufzeichnen (TBooleanNode)");
    EXPECT_EQ(dump.value(5), "    ProgLang - Programmsprache (TLanguageNode)");
    EXPECT_TRUE(dump.contains("    Client_0 -  (TGroupNode)"));
    EXPECT_TRUE(dump.contains("      Open -  (TBooleanNode)"));
    EXPECT_TRUE(dump.contains("    Extension - Dateierweiterung der Ablagedatei (TRadioNode)"));
    EXPECT_TRUE(dump.contains("    SamplingTpl - EXCEL-Vorlage für Probenahmedaten (TFileSelectionNode)"));
    EXPECT_TRUE(dump.contains("    ShowChart -  (TBooleanNode)"));
    EXPECT_EQ(dump.value(115), "    WaitTime -  (TIntegerNode)");
}

TEST_F(settings_Schema, defaultsOfAFirstStart)
{
    EXPECT_FALSE(form.GetBool("General/Logging"));
    EXPECT_TRUE(form.GetBool("General/ConfirmExit"));
    EXPECT_EQ(form.GetStr("General/ProgLang"), "Deutsch");
    EXPECT_EQ(form.GetStr("General/IniFile"), "");
    EXPECT_EQ(form.GetStr("SamplingData/Extension"), "XLSX");
    EXPECT_EQ(form.GetInt("Connection/Main/USB_PID"), 0xA2B8);
    EXPECT_EQ(form.GetInt("Connection/Bootloader/USB_PID"), 0xA2BA);
    EXPECT_EQ(form.GetInt("Control/Interval"), kControlIntervalDefaultS);
    EXPECT_EQ(double(form.GetFloat("ControlTest/FlowLimitOpen")), 1.0);
    auto* tpl = static_cast<TFileSelectionNode*>(form.GetNodeByPath("SamplingData/LogTpl"));
    EXPECT_EQ(tpl->filters.value(1), "EXCEL Files|*.xls;*.xlsx;*.xlsm|All Files|*.*");
    auto* flow = static_cast<TFloatNode*>(form.GetNodeByPath("ControlTest/FlowLimitClose"));
    EXPECT_TRUE(std::isinf(flow->minVal) && flow->minVal < 0 && std::isinf(flow->maxVal));
}

TEST_F(settings_Schema, changeNotificationForStoredValuesOnly)
{
    QStringList told;
    form.SetOnValueChanged([&](TValueNode& node) { told << node.ToString(); });
    form.SetBool("General/Logging", true);
    ASSERT_EQ(told, QStringList{"settings/General/Logging"});
    QString msg;
    EXPECT_TRUE(form.SetInt("MemoryMon/Len", 4, msg));
    EXPECT_EQ(told.size(), 2);
    auto* narrow = form.AddIntegerNode(static_cast<TGroupNode*>(form.GetNodeByPath("Control")), "Narrow", "n", 1, 1, 2);
    EXPECT_FALSE(narrow->SetInt(3, msg, -1, -1));
    EXPECT_EQ(told.size(), 2);
}

// Nodes with limits and rules, outside the schema.
class settings_Rules : public ::testing::Test {
protected:
    void SetUp() override
    {
        grp = form.AddTreeNode(nullptr, "Grp", "Gruppe");
        form.AddIntegerNode(grp, "Int", "Zahl", 5, 1, 10);
        form.AddStringNode(grp, "Text", "Text", "", 5);
        form.AddDirSelNode(grp, "DirEmpty", "Verzeichnis", "", true);
        form.AddDirSelNode(grp, "Dir", "Verzeichnis", "", false);
        form.AddFileSelNode(grp, "File", "Datei", "", "", "", false);
        form.AddFloatNode(grp, "Float", "Float", 1.0L, 1, 0.0L, 2.0L);
        form.AddRadioNode(grp, "Choice", "Auswahl", QStringList{"XLS", "XLM", "XLSX", "XLSM"}, 2);
        ASSERT_TRUE(tmp.isValid());
        QFile f(tmp.filePath("present.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    TFSettingsForm form;
    TGroupNode* grp = nullptr;
    QTemporaryDir tmp;
};

struct TRuleCase {
    const char* name;
    std::function<bool(TFSettingsForm&, QString&)> set;
    bool accepted;
    QString errMsg;
    const char* readPath;
    QString valueAfter;
};

TEST_F(settings_Rules, rejectedValuesReportAndChangeNothing)
{
    const QString dir = tmp.path();
    const QString file = tmp.filePath("present.txt");
    const TRuleCase cases[] = {
        {"int below", [](auto& f, auto& m) { return f.SetInt("Grp/Int", 0, m); }, false, "Wert muss größer als 1 sein.", "Grp/Int", "5"},
        {"int above", [](auto& f, auto& m) { return f.SetInt("Grp/Int", 11, m); }, false, "Wert muss kleiner als 10 sein.", "Grp/Int", "5"},
        {"int at max", [](auto& f, auto& m) { return f.SetInt("Grp/Int", 10, m); }, true, "", "Grp/Int", "10"},
        {"text at max", [](auto& f, auto& m) { return f.SetStr("Grp/Text", "abcde", m); }, true, "", "Grp/Text", "abcde"},
        {"text too long", [](auto& f, auto& m) { return f.SetStr("Grp/Text", "abcdef", m); }, false, "Text muss kürzer als 5 Zeichen sein.", "Grp/Text", "abcde"},
        {"empty dir allowed", [](auto& f, auto& m) { return f.SetStr("Grp/DirEmpty", "", m); }, true, "", "Grp/DirEmpty", ""},
        {"empty dir refused", [](auto& f, auto& m) { return f.SetStr("Grp/Dir", "", m); }, false, "Verzeichnis existiert nicht", "Grp/Dir", ""},
        {"existing dir", [&](auto& f, auto& m) { return f.SetStr("Grp/Dir", dir, m); }, true, "", "Grp/Dir", dir},
        {"missing dir", [&](auto& f, auto& m) { return f.SetStr("Grp/Dir", dir + "/nope", m); }, false, "Verzeichnis existiert nicht", "Grp/Dir", dir},
        {"file is no dir", [&](auto& f, auto& m) { return f.SetStr("Grp/Dir", file, m); }, false, "Verzeichnis existiert nicht", "Grp/Dir", dir},
        {"existing file", [&](auto& f, auto& m) { return f.SetStr("Grp/File", file, m); }, true, "", "Grp/File", file},
        {"dir is no file", [&](auto& f, auto& m) { return f.SetStr("Grp/File", dir, m); }, false, "Datei existiert nicht", "Grp/File", file},
        {"float above", [](auto& f, auto& m) { return f.SetFloat("Grp/Float", 2.5L, m); }, false, "Wert muss kleiner als 2.0 sein.", "Grp/Float", "1.0"},
        {"float below", [](auto& f, auto& m) { return f.SetFloat("Grp/Float", -0.5L, m); }, false, "Wert muss größer als 0.0 sein.", "Grp/Float", "1.0"},
        {"float NaN", [](auto& f, auto& m) { return f.SetFloat("Grp/Float", std::numeric_limits<long double>::quiet_NaN(), m); }, false, "Kein gültiger Float-Wert", "Grp/Float", "1.0"},
        {"float at max", [](auto& f, auto& m) { return f.SetFloat("Grp/Float", 2.0L, m); }, true, "", "Grp/Float", "2.0"},
        {"choice lower case", [](auto& f, auto& m) { return f.SetStr("Grp/Choice", "xlsx", m); }, false, "xlsx ist keine gültige Auswahl", "Grp/Choice", "XLSX"},
        {"choice by text", [](auto& f, auto& m) { return f.SetStr("Grp/Choice", "XLSM", m); }, true, "", "Grp/Choice", "XLSM"},
        {"choice past the items", [](auto& f, auto& m) { return f.SetInt("Grp/Choice", 4, m); }, false, "Zugriff außerhalb des gültigen Bereichs", "Grp/Choice", "XLSM"},
        {"choice unknown text falls back to default", [](auto& f, auto& m) { return f.SetStr("Grp/Choice", "CSV", m); }, false, "CSV ist keine gültige Auswahl", "Grp/Choice", "XLSX"},
        {"choice nothing chosen", [](auto& f, auto& m) { return f.SetInt("Grp/Choice", -1, m); }, true, "", "Grp/Choice", ""},
    };
    for (const auto& c : cases) {
        QString msg;
        EXPECT_EQ(c.set(form, msg), c.accepted) << c.name;
        EXPECT_EQ(msg, c.errMsg) << c.name;
        EXPECT_EQ(form.GetStr(c.readPath), c.valueAfter) << c.name;
    }
}

TEST_F(settings_Rules, settersWithoutMessageRaiseRejections)
{
    EXPECT_EQ(errorOf([&] { form.SetInt("Grp/Int", 0); }), "Wert muss größer als 1 sein.");
    EXPECT_EQ(errorOf([&] { form.SetStr("Grp/Text", "123456"); }), "Text muss kürzer als 5 Zeichen sein.");
    EXPECT_EQ(errorOf([&] { form.SetInt("Grp/Int", 7); }), "<no error>");
    EXPECT_EQ(form.GetInt("Grp/Int"), 7);
}

TEST_F(settings_Rules, captionsAndItemsPerLanguage)
{
    auto* multi = form.AddSpinNode(grp, "Spin", {"Farbe", "Colour"}, MakeLangItems(2, 2, {"rot", "red", "blau", "blue"}), 1);
    auto* info = form.AddInfoNode(grp, "Info", {"Info", "Info"}, QStringList{"Hallo", "Hello"});
    auto* fixedInfo = form.AddInfoNode(grp, "Fixed", "Datei", "C:/x.ini");
    EXPECT_EQ(multi->GetStr(-1, -1), "blau");
    form.SetLanguage(slEN);
    EXPECT_EQ(form.GetNodeByPath("Grp/Int")->caption, "Zahl");  // German only: the same in English
    EXPECT_EQ(multi->caption, "Colour");
    EXPECT_EQ(multi->GetStr(-1, -1), "blue");
    EXPECT_EQ(info->GetStr(-1, -1), "Hello");
    EXPECT_EQ(fixedInfo->GetStr(-1, -1), "C:/x.ini");
    form.SetLanguage(slES);
    EXPECT_EQ(multi->GetStr(-1, -1), "blau");
    EXPECT_EQ(info->GetStr(-1, -1), "Hallo");
}

TEST(settings_Build, itemTablesAndCaptionsAreChecked)
{
    EXPECT_EQ(MakeLangItems(2, 2, {"a0", "b0", "a1", "b1"}), (TStringArrArr{{"a0", "a1"}, {"b0", "b1"}}));
    EXPECT_EQ(errorOf([] { MakeLangItems(2, 2, {"a", "b", "c"}); }), "Ungültige Anzahl an Elementen");
    EXPECT_EQ(errorOf([] { TBooleanNode("x", QStringList(), false); }),
              "Mindestens eine Beschreibung muss angegeben werden");
    TFSettingsForm form;
    form.SetLanguage(slEN);
    EXPECT_EQ(errorOf([&] { form.AddTreeNode(nullptr, "A", "a"); form.AddTreeNode(nullptr, "A", "a"); }),
              "Duplicate identifier \"A\" in node settings");
    const TFileSelectionNode noFilter("f", {"f"}, {}, "", "", true);
    EXPECT_EQ(noFilter.filters, QStringList{QString()});
}

}  // namespace
