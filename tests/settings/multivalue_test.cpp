#include "settingsform.h"
#include "settingsini.h"
#include "settingstestutil.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class settings_Table : public ::testing::Test {
protected:
    void SetUp() override
    {
        grp = form.AddTreeNode(nullptr, "Grp", "Gruppe");
        list = form.AddFloatListNode(grp, "List", "Liste", 3, {1.5L, 2.5L, 3.5L}, 1, 0.0L, 10.0L);
        table = form.AddFloatTableNode(grp, "Tbl", {"Tabelle", "Table"}, 2, 3,
                                       TStringArrArr{{"Fluss", "Druck"}, {"Flow", "Pressure"}},
                                       {{1, 2, 3}, {-1}}, 2, {0, -1}, {10, 1});
    }
    TFSettingsForm form;
    TGroupNode* grp = nullptr;
    TFloatTableNode* list = nullptr;
    TFloatTableNode* table = nullptr;
};

struct TCellCase {
    const char* name;
    std::function<QString(TFSettingsForm&)> access;
    QString expected;
};

TEST_F(settings_Table, cellsBySizePathOrCoordinates)
{
    const TCellCase cases[] = {
        {"list entry by path", [](auto& f) { return QString::number(double(f.GetFloat("Grp/List/2"))); }, "3.5"},
        {"list entry with row", [](auto& f) { return QString::number(double(f.GetFloat("Grp/List/2/0"))); }, "3.5"},
        {"list entry by x", [](auto& f) { return QString::number(double(f.GetFloat("Grp/List", 1))); }, "2.5"},
        {"past the list", [](auto& f) { return QString::number(double(f.GetFloat("Grp/List/3"))); },
         "Zugriff außerhalb des gültigen Bereichs"},
        {"row past a list", [](auto& f) { return QString::number(double(f.GetFloat("Grp/List/0/1"))); },
         "Zugriff außerhalb des gültigen Bereichs"},
        {"path and x", [](auto& f) { return QString::number(double(f.GetFloat("Grp/List/1", 0))); },
         "Koordinaten dürfen nur entweder im Pfad ODER als Parameter übergeben werden"},
        {"x not a number", [](auto& f) { return f.GetStr("Grp/List/a"); }, "X-Wert ist kein gültiger Integer"},
        {"y not a number", [](auto& f) { return f.GetStr("Grp/Tbl/1/b"); }, "Y-Wert ist kein gültiger Integer"},
        {"three parts", [](auto& f) { return f.GetStr("Grp/Tbl/1/0/2"); }, "Zu viele Paramter"},
        {"count", [](auto& f) { return QString::number(f.GetInt("Grp/List/count")); }, "3"},
        {"COLS in capitals", [](auto& f) { return QString::number(f.GetInt("Grp/Tbl/COLS")); }, "2"},
        {"rows", [](auto& f) { return QString::number(f.GetInt("Grp/Tbl/rows")); }, "3"},
        {"count of a table", [](auto& f) { return QString::number(f.GetInt("Grp/Tbl/count")); },
         "Auf count kann nicht zugegriffen werden"},
        {"size with coordinates", [](auto& f) { return QString::number(f.GetInt("Grp/List/count", 0)); },
         "Koordinaten dürfen nur entweder im Pfad ODER als Parameter übergeben werden"},
        {"size path too long", [](auto& f) { return QString::number(f.GetInt("Grp/Tbl/rows/1")); }, "Pfad is zu lang"},
        {"table cell as text", [](auto& f) { return f.GetStr("Grp/Tbl/0/2"); }, "3.00"},
        {"missing defaults are zeros", [](auto& f) { return f.GetStr("Grp/Tbl/1/2"); }, "0.00"},
        {"row -1 of a table", [](auto& f) { return f.GetStr("Grp/Tbl", 0, -1); }, "Zugriff außerhalb des gültigen Bereichs"},
        {"Boolean by path", [](auto& f) { return QString::number(f.GetBool("Grp/Tbl/0/0")); },
         "Kann keinen Wert vom Typ Boolean zurückgeben"},
        {"text set by path", [](auto& f) { return QString::number(f.SetStr("Grp/Tbl/0/0", "1")); },
         "Kann keinen Wert vom Typ String setzen"},
        {"integer set by path", [](auto& f) { return QString::number(f.SetInt("Grp/Tbl/0/0", 1)); },
         "Kann keinen Wert vom Typ Integer setzen"},
    };
    for (const auto& c : cases) {
        QString got;
        const QString error = errorOf([&] { got = c.access(form); });
        EXPECT_EQ(error == "<no error>" ? got : error, c.expected) << c.name;
    }
    EXPECT_EQ(errorOf([&] { table->GetInt(0, 0); }), "Kann keinen Wert vom Typ Integer zurückgeben");
}

TEST_F(settings_Table, cellLimitsPerColumn)
{
    QString msg;
    EXPECT_TRUE(form.SetFloat("Grp/Tbl/1/2", 0.5L, msg));
    EXPECT_EQ(double(table->GetFloat(1, 2)), 0.5);
    EXPECT_FALSE(form.SetFloat("Grp/Tbl", 2.0L, msg, 1, 2));
    EXPECT_EQ(msg, "Wert muss kleiner als 1.00 sein.");
    EXPECT_FALSE(form.SetFloat("Grp/Tbl/0/0", -5.0L, msg));
    EXPECT_EQ(msg, "Wert muss größer als 0.00 sein.");
    EXPECT_EQ(double(table->GetFloat(1, 2)), 0.5);
    EXPECT_EQ(double(table->GetFloat(0, 0)), 1.0);
    EXPECT_EQ(errorOf([&] { form.SetFloat("Grp/Tbl/2/0", 1.0L, msg); }), "Zugriff außerhalb des gültigen Bereichs");
    EXPECT_EQ(errorOf([&] { form.SetFloat("Grp/List/0", 11.0L); }), "Wert muss kleiner als 10.0 sein.");
}

TEST_F(settings_Table, columnCaptionsFollowTheLanguage)
{
    EXPECT_EQ(table->colCaps, (QStringList{"Fluss", "Druck"}));
    form.SetLanguage(slEN);
    EXPECT_EQ(table->colCaps, (QStringList{"Flow", "Pressure"}));
    EXPECT_EQ(errorOf([&] { table->GetFloatP("9", -1, -1); }), "Access out of range");
    form.SetLanguage(slFR);
    EXPECT_EQ(table->colCaps, (QStringList{"Fluss", "Druck"}));
    EXPECT_TRUE(list->colCaps.isEmpty());
}

TEST_F(settings_Table, fileSectionPerTableAllCellsOrNone)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath("t.ini");
    QString msg;
    form.SetFloat("Grp/Tbl/1/1", 0.25L, msg);
    form.SaveToFile(ini);
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "[settings/Grp/List]\n0-0=1.5\n1-0=2.5\n2-0=3.5\n"
                           "[settings/Grp/Tbl]\n0-0=1\n0-1=2\n0-2=3\n1-0=-1\n1-1=0.25\n1-2=0\n");
    f.close();

    TSettingsIni image;
    image.LoadFromText("[settings/grp/tbl]\n0-1=7.5\n1-1=1,5\n");
    EXPECT_NE(errorOf([&] { table->ReadFromFile(image); }), "<no error>");
    EXPECT_EQ(double(table->GetFloat(0, 1)), 2.0);  // nothing taken from a bad section
    image.LoadFromText("[settings/grp/tbl]\n0-1=7.5\n");
    table->ReadFromFile(image);
    EXPECT_EQ(double(table->GetFloat(0, 1)), 7.5);
    EXPECT_EQ(double(table->GetFloat(1, 1)), 0.0);  // missing key: the cell's default
}

class settings_ComPort : public ::testing::Test {
protected:
    void SetUp() override
    {
        grp = form.AddTreeNode(nullptr, "Grp", "Gruppe");
        port = form.AddComPortNode(grp, "Port", "Schnittstelle", "COM3", "115200", false, 3000, 50, true);
        noBaud = form.AddComPortNode(grp, "NoBaud", "Schnittstelle", "COM4", "9600", true, 100, 10, false);
    }
    TFSettingsForm form;
    TGroupNode* grp = nullptr;
    TComPortNode* port = nullptr;
    TComPortNode* noBaud = nullptr;
};

TEST_F(settings_ComPort, fieldsByNameAndNumber)
{
    QString msg;
    const TCellCase cases[] = {
        {"Log as text", [](auto& f) { return f.GetStr("Grp/Port/Log"); }, "False"},
        {"TimeOut as text", [](auto& f) { return f.GetStr("Grp/Port/TimeOut"); }, "3000"},
        {"field by x", [](auto& f) { return QString::number(f.GetInt("Grp/Port", 4)); }, "50"},
        {"Interval by name", [](auto& f) { return QString::number(f.GetInt("Grp/Port/Interval/")); }, "50"},
        {"ComPort as integer", [](auto& f) { return QString::number(f.GetInt("Grp/Port/ComPort")); },
         "Auf ComPort kann nicht als Integer zugegriffen werden"},
        {"Log set as text", [&](auto& f) { return QString::number(f.SetStr("Grp/Port/Log", "1", msg)); },
         "Auf Log kann nicht als String zugegriffen werden"},
        {"wrong case", [](auto& f) { return QString::number(f.GetBool("Grp/Port/log")); },
         "Auf log kann nicht als Boolean zugegriffen werden"},
        {"integer at x = 0", [](auto& f) { return QString::number(f.GetInt("Grp/Port", 0)); },
         "Kein Integer mit x = 0 vorhanden"},
        {"Boolean at x = 7", [](auto& f) { return QString::number(f.GetBool("Grp/Port", 7)); },
         "Kein Boolean mit x = 7 vorhanden"},
        {"y given", [](auto& f) { return f.GetStr("Grp/Port", 0, 0); }, "Zugriff nur mit y < 0 möglich"},
        {"float", [](auto& f) { return QString::number(double(f.GetFloat("Grp/Port/TimeOut"))); },
         "Kann keinen Wert vom Typ Float zurückgeben"},
    };
    for (const auto& c : cases) {
        QString got;
        const QString error = errorOf([&] { got = c.access(form); });
        EXPECT_EQ(error == "<no error>" ? got : error, c.expected) << c.name;
    }

    EXPECT_TRUE(form.SetInt("Grp/Port/TimeOut", 500, msg));
    EXPECT_TRUE(form.SetStr("Grp/Port/BaudRate", "9600", msg));
    EXPECT_TRUE(form.SetBool("Grp/Port/Log", true, msg));
    EXPECT_TRUE(form.SetStr("Grp/Port", "COM7", msg, 0));
    EXPECT_EQ(port->GetInt(3, -1), 500);
    EXPECT_EQ(port->GetStr(1, -1), "9600");
    EXPECT_EQ(port->GetStr(2, -1), "True");
    EXPECT_EQ(port->values.ComPort, "COM7");
    form.SetLanguage(slEN);
    EXPECT_EQ(errorOf([&] { port->GetInt(0, -1); }), "No Integer with x = 0 available");
}

TEST_F(settings_ComPort, fileSectionWithBaudOnlyWhenItBelongs)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath("p.ini");
    form.SaveToFile(ini);
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "[settings/Grp/Port]\nComPort=COM3\nBaudRate=115200\nLog=0\nTimeOut=3000\nInterval=50\n"
                           "[settings/Grp/NoBaud]\nComPort=COM4\nLog=1\nTimeOut=100\nInterval=10\n");
    f.close();

    QString msg;
    form.SetInt("Grp/Port/TimeOut", 1, msg);
    TSettingsIni image;
    image.LoadFromText("[settings/Grp/Port]\nComPort=COM9\nLog=1\n[settings/Grp/NoBaud]\nBaudRate=4800\n");
    form.root()->ReadFromFile(image);
    EXPECT_EQ(port->values.ComPort, "COM9");
    EXPECT_TRUE(port->values.Log);
    EXPECT_EQ(port->values.TimeOut, 3000);      // missing: default
    EXPECT_EQ(port->values.BaudRate, "115200");
    EXPECT_EQ(noBaud->values.BaudRate, "9600");  // not the node's to read
}

}  // namespace
