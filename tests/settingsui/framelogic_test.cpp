// The editor's decisions without widgets: typed numbers, filters, spinner items, the table walk,
// the serial-port choices and which groups the tree view shows.

#include "framelogic.h"
#include "programsettings.h"
#include "settingsform.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <limits>

namespace {

class LocaleGuard {
public:
    explicit LocaleGuard(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleGuard() { QLocale::setDefault(QLocale::c()); }
};

TEST(settingsui_Logic, floatFrameTakesPointAndCommaWhateverTheSystemSeparator)
{
    for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::German, QLocale::Germany)}) {
        const LocaleGuard guard(locale);
        SCOPED_TRACE(locale.name().toStdString());
        struct Case {
            const char* text;
            bool ok;
            double value;
        } cases[] = {
            {"0,5", true, 0.5}, {"0.5", true, 0.5}, {" -1,25 ", true, -1.25}, {"3", true, 3.0},
            {"abc", false, 0}, {"", false, 0}, {"1,000,5", false, 0}, {"1.5x", false, 0},
        };
        for (const Case& c : cases) {
            long double v = -99;
            EXPECT_EQ(ParseFrameFloat(QString::fromUtf8(c.text), v), c.ok) << c.text;
            if (c.ok) {
                EXPECT_DOUBLE_EQ(double(v), c.value) << c.text;
            }
        }
    }
}

TEST(settingsui_Logic, frameTextChecksTypeAndRulesInTheNodesLanguage)
{
    TIntegerNode integer(QStringLiteral("I"), {QStringLiteral("I")}, 5, 1, 10);
    TFloatNode real(QStringLiteral("F"), {QStringLiteral("F")}, 0, 2, 0, 1);
    TStringNode text(QStringLiteral("S"), {QStringLiteral("S")}, QString(), 3);
    TDirSelectionNode dir(QStringLiteral("D"), {QStringLiteral("D")}, QString(), false);
    struct Case {
        const TValueNode* node;
        const char* text;
        const char* message;  // empty: accepted
    } cases[] = {
        {&integer, "7", ""},
        {&integer, "7a", "Kein gültiger Integer-Wert"},
        {&integer, "0", "Wert muss größer als 1 sein."},
        {&integer, "11", "Wert muss kleiner als 10 sein."},
        {&real, "0,5", ""},
        {&real, "x", "Kein gültiger Float-Wert"},
        {&real, "1.5", "Wert muss kleiner als 1.00 sein."},
        {&text, "abc", ""},
        {&text, "abcd", "Text muss kürzer als 3 Zeichen sein."},
        {&dir, "", "Verzeichnis existiert nicht"},
    };
    for (const Case& c : cases) {
        QString message;
        EXPECT_EQ(CheckFrameText(*c.node, QString::fromUtf8(c.text), message), !*c.message) << c.text;
        EXPECT_EQ(message, QString::fromUtf8(c.message)) << c.text;
    }
    integer.SetLanguage(slEN);
    QString message;
    EXPECT_FALSE(CheckFrameText(integer, QStringLiteral("z"), message));
    EXPECT_EQ(message, QStringLiteral("Invalid integer value"));
}

TEST(settingsui_Logic, spinnerItemsCarryTheirNumber)
{
    TSpinNode spin(QStringLiteral("S"), {QStringLiteral("S")}, {{QStringLiteral("A|x"), QStringLiteral("B")}}, 0);
    EXPECT_EQ(SpinnerItems(spin), (QStringList{QStringLiteral("A|x|0"), QStringLiteral("B|1")}));
    EXPECT_EQ(SpinnerItemText(QStringLiteral("A|x|0")), QStringLiteral("A"));
    EXPECT_EQ(SpinnerItemNumber(QStringLiteral("B|1")), 1);
    TLanguageNode lang(QStringLiteral("L"), {QStringLiteral("L")}, {slDE, slEN}, slDE);
    EXPECT_EQ(SpinnerItems(lang), (QStringList{QStringLiteral("Deutsch|0"), QStringLiteral("English|1")}));
    EXPECT_EQ(SpinnerItemNumber(QStringLiteral("English|1")), 1);
}

TEST(settingsui_Logic, radioHeightGrowsByARowOfThree)
{
    EXPECT_EQ(RadioFrameHeight(0), 25);
    EXPECT_EQ(RadioFrameHeight(1), 45);
    EXPECT_EQ(RadioFrameHeight(3), 45);
    EXPECT_EQ(RadioFrameHeight(4), 65);
    EXPECT_EQ(RadioFrameHeight(7), 85);
}

TEST(settingsui_Logic, fileFiltersBecomeQtFiltersWithBothCasesAndStarForAllFiles)
{
    EXPECT_EQ(DialogFilter(QStringLiteral("EXCEL-Dateien|*.xls;*.xlsx;*.xlsm|Alle Dateien|*.*")),
              QStringLiteral("EXCEL-Dateien (*.xls *.XLS *.xlsx *.XLSX *.xlsm *.XLSM);;Alle Dateien (*)"));
    EXPECT_EQ(DialogFilter(QString()), QString());
}

TEST(settingsui_Logic, informationIsPlainTextUnlessItSaysOtherwise)
{
    EXPECT_EQ(InfoTextKind(QStringLiteral("/tmp/<b>x</b>/SarvikControl.ini")), TInfoTextKind::Plain);
    EXPECT_EQ(InfoTextKind(QStringLiteral("<b>bold</b>")), TInfoTextKind::Plain);
    EXPECT_EQ(InfoTextKind(QStringLiteral("<html><body>x</body></html>")), TInfoTextKind::Html);
    EXPECT_EQ(InfoTextKind(QStringLiteral("{\\rtf1\\ansi x}")), TInfoTextKind::Rtf);
    EXPECT_EQ(RtfToPlain(QStringLiteral("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 Gr\\'fc\\'dfe\\par zwei {\\b Zeilen}}")),
              QStringLiteral("Grüße\nzwei Zeilen"));
}

TEST(settingsui_Logic, portSpinnerOffersFoundPortsAndKeepsTheCurrentOne)
{
    const QList<TPortEntry> found{{QStringLiteral("/dev/ttyACM0"), QStringLiteral("Sarvik2V2 (PLX)")},
                                  {QStringLiteral("/dev/ttyUSB1"), QString()}};
    EXPECT_EQ(PortChoices(found, QStringLiteral("/dev/ttyUSB1")),
              (QStringList{QStringLiteral("/dev/ttyACM0"), QStringLiteral("/dev/ttyUSB1")}));
    EXPECT_EQ(PortChoices(found, QStringLiteral("COM3")),
              (QStringList{QStringLiteral("/dev/ttyACM0"), QStringLiteral("/dev/ttyUSB1"), QStringLiteral("COM3")}));
    EXPECT_EQ(PortChoices({}, QString()), QStringList());
    EXPECT_EQ(PortListLine({QStringLiteral("COM3"), QStringLiteral("USB")}), QStringLiteral("  COM3  USB "));
    EXPECT_EQ(PortListLine(found[0]), QStringLiteral("/dev/ttyACM0  Sarvik2V2 (PLX) "));

    EXPECT_EQ(BaudChoices(QStringLiteral("9600")).size(), 9);
    const QStringList odd = BaudChoices(QStringLiteral("250000"));
    EXPECT_EQ(odd.size(), 10);
    EXPECT_EQ(odd.last(), QStringLiteral("250000"));
    const QStringList between = BaudChoices(QStringLiteral("1200"));
    EXPECT_EQ(between.first(), QStringLiteral("1200"));
    EXPECT_EQ(BaudChoices(QStringLiteral("fast")).last(), QStringLiteral("fast"));
}

TEST(settingsui_Logic, tableWalkMarksTheFirstBadCellAndStopsAfterItsColumn)
{
    // Three columns, two rows; column 0 limited to 0..10.
    TFloatTableNode table(QStringLiteral("T"), {QStringLiteral("T")}, 3, 2, {}, {}, 1, {0, 0, 0}, {10, 10, 10});
    QStringList cells{QStringLiteral("1"), QStringLiteral("2"),    // column 0
                      QStringLiteral("11"), QStringLiteral("x"),   // column 1: both bad
                      QStringLiteral("3"), QStringLiteral("4")};   // column 2: never reached
    const auto text = [&](int col, int row) { return cells.at(col * 2 + row); };
    TTableCheck check = CheckTableCells(table, text);
    EXPECT_FALSE(check.ok());
    EXPECT_EQ(check.badCol, 1);
    EXPECT_EQ(check.badRow, 0);
    EXPECT_EQ(check.message, QStringLiteral("Wert muss kleiner als 10.0 sein."));
    ASSERT_EQ(check.valid.size(), 2);
    EXPECT_EQ(check.valid[1].col, 0);
    EXPECT_EQ(check.valid[1].row, 1);

    cells[2] = QStringLiteral("5,5");
    cells[3] = QStringLiteral("6.5");
    check = CheckTableCells(table, text);
    EXPECT_TRUE(check.ok());
    EXPECT_EQ(check.valid.size(), 6);
    EXPECT_DOUBLE_EQ(double(check.valid[2].value), 5.5);
    EXPECT_DOUBLE_EQ(double(check.valid[3].value), 6.5);
}

TEST(settingsui_Logic, serialPortNumbersAreCheckedTogether)
{
    TComPortNode port(QStringLiteral("P"), {QStringLiteral("P")}, QStringLiteral("COM1"), QStringLiteral("9600"), false,
                      100, 200, true);
    EXPECT_EQ(CheckComPortNumbers(port, QStringLiteral("100"), QStringLiteral("200")), QString());
    EXPECT_EQ(CheckComPortNumbers(port, QStringLiteral("x"), QStringLiteral("200")),
              QStringLiteral("Timeout ist kein gültiger Integer-Wert"));
    EXPECT_EQ(CheckComPortNumbers(port, QStringLiteral("x"), QStringLiteral("")),
              QStringLiteral("Timeout ist kein gültiger Integer-Wert, Abfrageintervall ist kein gültiger Integer-Wert"));
    port.SetLanguage(slEN);
    EXPECT_EQ(CheckComPortNumbers(port, QStringLiteral("1"), QStringLiteral("1.5")),
              QStringLiteral("Read interval is not a valid integer value"));
}

TEST(settingsui_Logic, treeShowsTheCaptionedGroupsAndInDebugModeAllUnderTheirIdentifiers)
{
    TFSettingsForm form;
    BuildProgramSettings(form);
    QStringList normal;
    for (const TTreeEntry& e : TreeEntries(*form.root(), false))
        normal << QString(e.depth, QLatin1Char('.')) + e.text;
    EXPECT_EQ(normal, (QStringList{QStringLiteral("Einstellungen"), QStringLiteral(".Allgemein"),
                                   QStringLiteral(".Verzeichnisse"), QStringLiteral(".Probenahmedaten")}));
    const QList<TTreeEntry> debug = TreeEntries(*form.root(), true);
    EXPECT_EQ(debug.size(), 1 + 10 + 12);
    EXPECT_EQ(debug[4].text, QStringLiteral("WinPos"));
    EXPECT_EQ(debug[5].text, QStringLiteral("Client_0"));
    EXPECT_EQ(debug[5].depth, 2);

    auto* paths = static_cast<TGroupNode*>(form.GetNodeByPath(QStringLiteral("Paths")));
    EXPECT_EQ(FrameNodes(*paths, false).size(), 3);
    EXPECT_EQ(FrameNodes(*paths, true).size(), 4);
    EXPECT_EQ(FrameNodes(*paths, true).last()->identifier, QStringLiteral("Firmware"));
}

}  // namespace
