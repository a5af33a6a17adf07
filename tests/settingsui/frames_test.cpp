// The frames of the nodes the program's schema does not use: the table grid with its
// validation walk, the serial-port group and a plain choice spinner.

#include "editortestutil.h"
#include "textspinner.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include <gtest/gtest.h>

namespace {

class settingsui_Frames : public ::testing::Test {
protected:
    void SetUp() override
    {
        group = form.AddTreeNode(nullptr, QStringLiteral("G"), QStringLiteral("Gruppe"));
        table = form.AddFloatTableNode(group, QStringLiteral("Tab"), QStringLiteral("Tabelle"), 2, 3,
                                       QStringList{QStringLiteral("A"), QStringLiteral("B")},
                                       {{1, 2, 3}, {10, 20, 30}}, 1, {0, 0}, {10, 100});
        list = form.AddFloatListNode(group, QStringLiteral("List"), QStringLiteral("Liste"), 3, {1, 2, 3}, 2, 0, 5);
        port = form.AddComPortNode(group, QStringLiteral("Port"), QStringLiteral("Schnittstelle"),
                                   QStringLiteral("/dev/ttyS9"), QStringLiteral("250000"), false, 500, 1000, true);
        bare = form.AddComPortNode(group, QStringLiteral("Bare"), QStringLiteral("Ohne Baud"),
                                   QStringLiteral("/dev/ttyS1"), QStringLiteral("4800"), true, 5, 6, false);
        spin = form.AddSpinNode(group, QStringLiteral("Colour"), QStringLiteral("Farbe"),
                                QStringList{QStringLiteral("rot"), QStringLiteral("grün")}, 1);
        editor = std::make_unique<TfSettingsEditor>(form);
        dialogs.install(*editor);
        editor->SetPortSource([this] { return ports; });
        editor->show();
        ASSERT_TRUE(editor->SelectGroup(group));
    }

    QTableWidget* grid(TFloatTableNode* node) { return dynamic_cast<TfrTable*>(FrameOf(*node))->grdTable; }
    TfrComPort* portFrame(TComPortNode* node) { return dynamic_cast<TfrComPort*>(FrameOf(*node)); }
    bool groupMarked() const { return TfSettingsEditor::ItemHasError(editor->ItemOf(group)); }

    TFSettingsForm form;
    TGroupNode* group = nullptr;
    TFloatTableNode* table = nullptr;
    TFloatTableNode* list = nullptr;
    TComPortNode* port = nullptr;
    TComPortNode* bare = nullptr;
    TSpinNode* spin = nullptr;
    QList<TPortEntry> ports{{QStringLiteral("/dev/ttyACM0"), QStringLiteral("Sarvik2V2 (PLX)")},
                            {QStringLiteral("/dev/ttyACM1"), QString()}};
    std::unique_ptr<TfSettingsEditor> editor;
    TRecordedDialogs dialogs;
};

TEST_F(settingsui_Frames, tableShowsCaptionsAndRowNumbers_aListOnlyColumnNumbers)
{
    QTableWidget* t = grid(table);
    EXPECT_EQ(t->horizontalHeaderItem(0)->text(), QStringLiteral("A"));
    EXPECT_EQ(t->horizontalHeaderItem(1)->text(), QStringLiteral("B"));
    EXPECT_FALSE(t->verticalHeader()->isHidden());
    EXPECT_EQ(t->verticalHeader()->width(), 30);
    EXPECT_EQ(t->verticalHeaderItem(2)->text(), QStringLiteral("3"));
    EXPECT_EQ(t->item(2, 1)->text(), QStringLiteral("30.0"));

    QTableWidget* l = grid(list);
    EXPECT_EQ(l->rowCount(), 1);
    EXPECT_EQ(l->horizontalHeaderItem(2)->text(), QStringLiteral("3"));
    EXPECT_TRUE(l->verticalHeader()->isHidden());
    EXPECT_EQ(l->item(0, 1)->text(), QStringLiteral("2.00"));
    EXPECT_GT(t->height(), l->height()) << "the height follows the rows";
}

TEST_F(settingsui_Frames, anEditedCellValidatesTheTableAndMarksTheFirstBadCellLightRed)
{
    QTableWidget* t = grid(table);
    TfrSetting* frame = FrameOf(*table);
    t->item(1, 0)->setText(QStringLiteral("x"));
    t->item(0, 1)->setText(QStringLiteral("500"));  // behind the bad column: not reached
    EXPECT_EQ(frame->ErrorText(), QStringLiteral("Kein gültiger Float-Wert"));
    EXPECT_EQ(t->item(1, 0)->background().color(), QColor(255, 85, 85));
    EXPECT_EQ(t->item(0, 1)->background().style(), Qt::NoBrush);
    EXPECT_TRUE(groupMarked());

    t->item(1, 0)->setText(QStringLiteral("5,5"));
    EXPECT_EQ(frame->ErrorText(), QStringLiteral("Wert muss kleiner als 100.0 sein."));
    EXPECT_EQ(t->item(1, 0)->background().style(), Qt::NoBrush);
    EXPECT_EQ(t->item(0, 1)->background().color(), QColor(255, 85, 85));

    // Saving stores the cells the walk reached and keeps the rejected one.
    t->item(2, 1)->setText(QStringLiteral("77"));
    editor->btnSave->click();
    EXPECT_DOUBLE_EQ(double(table->values[0][1]), 5.5);
    EXPECT_DOUBLE_EQ(double(table->values[1][0]), 10.0);
    EXPECT_DOUBLE_EQ(double(table->values[1][2]), 77.0);
    EXPECT_TRUE(table->error);

    t->item(0, 1)->setText(QStringLiteral("99.5"));
    EXPECT_TRUE(frame->ErrorText().isEmpty());
    EXPECT_FALSE(groupMarked());
    editor->btnSave->click();
    EXPECT_DOUBLE_EQ(double(table->values[1][0]), 99.5);
}

TEST_F(settingsui_Frames, serialPortOffersTheFoundPortsAndKeepsStoredOnes_savedUnchangedNothingChanges)
{
    TfrComPort* f = portFrame(port);
    EXPECT_EQ(f->spnPort->Model().Texts(), (QStringList{QStringLiteral("/dev/ttyACM0"), QStringLiteral("/dev/ttyACM1"),
                                                         QStringLiteral("/dev/ttyS9")}));
    EXPECT_EQ(f->spnPort->Text(), QStringLiteral("/dev/ttyS9"));
    EXPECT_EQ(f->spnBaud->Text(), QStringLiteral("250000"));
    EXPECT_EQ(f->spnBaud->Model().Count(), 10);
    EXPECT_TRUE(f->spnBaud->isVisible());
    EXPECT_EQ(f->lblBaud->text(), QStringLiteral("Baud-Rate:"));
    EXPECT_EQ(f->cbLog->text(), QStringLiteral("Kommunikation aufzeichen"));
    EXPECT_EQ(f->edtTimeOut->accessibleName(), QStringLiteral("Timeout:"));
    EXPECT_EQ(f->edtInterval->accessibleName(), QStringLiteral("Abfrageintervall:"));
    EXPECT_FALSE(portFrame(bare)->spnBaud->isVisible());

    editor->btnSave->click();
    EXPECT_EQ(port->values.ComPort, QStringLiteral("/dev/ttyS9"));
    EXPECT_EQ(port->values.BaudRate, QStringLiteral("250000"));
    EXPECT_EQ(bare->values.BaudRate, QStringLiteral("4800"));
    EXPECT_EQ(bare->values.ComPort, QStringLiteral("/dev/ttyS1"));
    EXPECT_TRUE(bare->values.Log);
}

TEST_F(settingsui_Frames, portListShowsPortAndDescription_aChosenPortIsTaken_noPortsWarn)
{
    TfrComPort* f = portFrame(port);
    dialogs.portChoice = 1;
    f->btnPorts->click();
    EXPECT_EQ(dialogs.portLines, (QStringList{QStringLiteral("/dev/ttyACM0  Sarvik2V2 (PLX) "),
                                              QStringLiteral("/dev/ttyACM1   ")}));
    EXPECT_EQ(dialogs.portCurrent, -1) << "the stored port is not among those found";
    EXPECT_EQ(f->spnPort->Text(), QStringLiteral("/dev/ttyACM1"));
    dialogs.portChoice = -1;
    f->btnPorts->click();
    EXPECT_EQ(dialogs.portCurrent, 1);
    EXPECT_EQ(f->spnPort->Text(), QStringLiteral("/dev/ttyACM1"));

    ports.clear();
    f->btnPorts->click();
    EXPECT_EQ(dialogs.warnings, QStringList{QStringLiteral("Keine ComPorts verfügbar")});
}

TEST_F(settingsui_Frames, badTimeoutAndIntervalAreReportedTogether_andSavingTakesNothingUntilBothAreNumbers)
{
    TfrComPort* f = portFrame(port);
    f->spnPort->stepBy(1);  // /dev/ttyACM0
    f->cbLog->setChecked(true);
    f->edtTimeOut->setText(QStringLiteral("x"));
    f->edtInterval->setText(QString());
    OnFrameExit(*port);
    EXPECT_EQ(f->ErrorText(), QStringLiteral("Timeout ist kein gültiger Integer-Wert, "
                                             "Abfrageintervall ist kein gültiger Integer-Wert"));
    EXPECT_TRUE(groupMarked());
    editor->btnSave->click();
    EXPECT_EQ(port->values.ComPort, QStringLiteral("/dev/ttyS9"));
    EXPECT_FALSE(port->values.Log);

    f->edtTimeOut->setText(QStringLiteral("750"));
    f->edtInterval->setText(QStringLiteral("250"));
    editor->btnSave->click();
    EXPECT_FALSE(groupMarked());
    EXPECT_EQ(port->values.ComPort, QStringLiteral("/dev/ttyACM0"));
    EXPECT_TRUE(port->values.Log);
    EXPECT_EQ(port->values.TimeOut, 750);
    EXPECT_EQ(port->values.Interval, 250);
    EXPECT_EQ(port->values.BaudRate, QStringLiteral("250000"));
}

TEST_F(settingsui_Frames, choiceSpinnerShowsTheItemTextAndYieldsItsIndex)
{
    auto* f = dynamic_cast<TfrSpin*>(FrameOf(*spin));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->spnValue->Text(), QStringLiteral("grün"));
    f->spnValue->stepBy(1);
    EXPECT_EQ(f->spnValue->Text(), QStringLiteral("rot"));
    editor->btnSave->click();
    EXPECT_EQ(spin->value, 0);
}

}  // namespace
