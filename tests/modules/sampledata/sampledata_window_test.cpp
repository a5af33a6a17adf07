// The sample data window over a scripted order channel: what the widgets show of the logic's
// view, and the user's actions on the list reaching the logic.

#include "sampledatatestutil.h"
#include "tfprobedaten.h"
#include "waitfor.h"

#include <QAccessible>
#include <QDir>
#include <QTemporaryDir>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

class sampledata_Window : public ::testing::Test {
protected:
    void SetUp() override
    {
        Window = std::make_unique<TfProbedaten>(Env.Context);
        Window->SetQuestionBox([](QWidget*, const QString&) { return true; });
        Window->show();
    }

    void download(int newest)
    {
        Window->btnLadeSarvik->click();
        Window->RXData(kOrderDone, 0, QStringLiteral("TDP;%1;").arg(newest));
        for (int n = newest; n >= 0; --n)
            Window->RXData(kOrderDone, 0, TdrAnswer(n, {{17, n % 2 ? "16" : "20"}, {21, "2"}}));
    }

    TSampleTestEnv Env;
    TOrderRecorder Rec;
    std::unique_ptr<TfProbedaten> Window;
};

TEST_F(sampledata_Window, clearedAtFirst_thenTheDownloadFillsListAndDetails)
{
    EXPECT_EQ(Window->windowTitle(), QStringLiteral("Probenahmedaten"));
    EXPECT_EQ(Window->gbDetails->title(), QStringLiteral("Probenahmedetails"));
    EXPECT_EQ(Window->lblStatus[0]->text(), QStringLiteral("---"));
    EXPECT_EQ(Window->lblVolume[1]->text(), QStringLiteral("-"));
    EXPECT_EQ(Window->lblTemperature->text(), QStringLiteral("-"));
    EXPECT_FALSE(Window->btnProbeExcel->isEnabled());
    EXPECT_FALSE(Window->btnAbbruch->isEnabled());
    EXPECT_EQ(Window->lvData->columnCount(), lcCount);
    EXPECT_EQ(Window->lvData->headerItem()->text(lcChannel2 + 3), QStringLiteral("IstVol."));
    EXPECT_EQ(Window->frHistoryChannel[1]->objectName(), QStringLiteral("frHistoryChannel2"));
    EXPECT_EQ(Window->frHistoryChannel[1]->title(), QStringLiteral("Kanal 2"));
    EXPECT_EQ(Window->lblSetFlow[1]->accessibleName(), QStringLiteral("Kanal 2 Sollfluss"));

    Window->btnLadeSarvik->click();
    Window->RXData(kOrderDone, 0, QStringLiteral("TDP;2;"));
    EXPECT_TRUE(Window->pbProgress->isVisible());
    EXPECT_EQ(Window->pbProgress->maximum(), 3);
    EXPECT_TRUE(Window->btnAbbruch->isEnabled());
    EXPECT_FALSE(Window->btnDelete->isVisible());
    EXPECT_FALSE(Window->btnLadeDateien->isEnabled());
    for (int n = 2; n >= 0; --n)
        Window->RXData(kOrderDone, 0, TdrAnswer(n, {{17, n % 2 ? "16" : "20"}, {21, "2"}}));
    EXPECT_FALSE(Window->pbProgress->isVisible());
    EXPECT_TRUE(Window->btnDelete->isVisible());
    ASSERT_EQ(Window->lvData->topLevelItemCount(), 3);
    EXPECT_EQ(Window->lvData->topLevelItem(1)->text(lcNr), QStringLiteral("    1"));
    // Row 0 is selected: its details are shown, the status cell painted in the status colour.
    EXPECT_EQ(Window->gbDetails->title(), QStringLiteral("Probe-Nr. 2"));
    EXPECT_EQ(Window->lblStatus[0]->text(), QStringLiteral("Erfolgreich"));
    EXPECT_EQ(Window->lblStatus[0]->palette().color(QPalette::Window), kStatusFlowWarn);
    EXPECT_EQ(Window->lblFlowMonitor[0]->text(), QStringLiteral("Kleiner Min!"));
    EXPECT_EQ(Window->lvData->topLevelItem(1)->background(lcChannel1).color(), kStatusSuccess);
    EXPECT_TRUE(Window->btnProbeExcel->isEnabled());

    Window->lvData->setCurrentItem(Window->lvData->topLevelItem(1));
    EXPECT_EQ(Window->gbDetails->title(), QStringLiteral("Probe-Nr. 1"));
    EXPECT_EQ(Window->lblFlowMonitor[0]->text(), QStringLiteral("inaktiv"));
    Window->lvData->clearSelection();
    EXPECT_EQ(Window->gbDetails->title(), QStringLiteral("Probenahmedetails"));
    EXPECT_FALSE(Window->btnProbeExcel->isEnabled());
}

TEST_F(sampledata_Window, checkBoxesAndMenuEntries_reachTheLogic)
{
    EXPECT_FALSE(Window->actSelectAll->isEnabled());
    download(2);
    EXPECT_TRUE(Window->actSelectAll->isEnabled());
    Window->lvData->topLevelItem(2)->setCheckState(lcNr, Qt::Checked);
    EXPECT_TRUE(Window->Logic().Rows()[2].Checked);
    Window->actClearSelection->trigger();
    EXPECT_EQ(Window->lvData->topLevelItem(2)->checkState(lcNr), Qt::Unchecked);
    Window->actSelectAll->trigger();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Window->lvData->topLevelItem(i)->checkState(lcNr), Qt::Checked);
    Window->lvData->setCurrentItem(Window->lvData->topLevelItem(2));
    Rec.Orders.clear();
    Window->actLoadLog->trigger();
    EXPECT_EQ(Rec.commands(), QStringList{"GDN;0"});
    EXPECT_FALSE(Window->lvData->isEnabled());
    EXPECT_EQ(Window->pbProgress->maximum(), 0);  // marquee
}

TEST_F(sampledata_Window, switchLanguage_retranslatesAndClearsTheDetails)
{
    download(0);
    ASSERT_EQ(Window->gbDetails->title(), QStringLiteral("Probe-Nr. 0"));
    ASSERT_TRUE(SetProgramLanguage(kLangEnglish));
    Window->SwitchLanguage();
    EXPECT_EQ(Window->btnLadeSarvik->text(), QStringLiteral("Load from &Sarvik2"));
    EXPECT_EQ(Window->lvData->headerItem()->text(lcNr), QStringLiteral("No."));
    EXPECT_EQ(Window->gbDetails->title(), QStringLiteral("Sampling details"));
    EXPECT_EQ(Window->lvData->topLevelItem(0)->text(lcChannel1), QStringLiteral("Successful"));
    SetProgramLanguage(kLangGerman);
    Window->SwitchLanguage();
}

TEST_F(sampledata_Window, closingDuringAnExport_endsItWithoutACrash)
{
    QTemporaryDir dir;
    Window->SetSaveBox([&dir](QWidget*, const QString&, const QString&, const QString&, const QString&) {
        return dir.filePath(QStringLiteral("x.xlsx"));
    });
    download(0);
    Window->lvData->setCurrentItem(Window->lvData->topLevelItem(0));
    Window->btnProbeExcel->click();
    // Enough blocks that the export is still running when the event loop is looked at.
    for (int i = 0; i < 5000; ++i)
        Window->RXData(kOrderDone, 0, QStringLiteral("TDN;0;1;") + LogLine(i % 60));
    Window->RXData(kOrderDone, 0, QStringLiteral("TDN;0;0;"));
    ASSERT_TRUE(waitFor([this] { return Window->Logic().Exporting(); }));
    EXPECT_TRUE(Window->btnAbbruch->isEnabled());
    EXPECT_FALSE(Window->btnEXCEL->isVisible());
    Window.reset();
    spinFor(100);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

}  // namespace
