// The device settings window inside the real main window against the virtual device over a
// pseudo-terminal: the full read-out, a parameter and a preset changed by the operator, and the
// operation window seeing the new preset.

#include "frpresetchannel.h"
#include "mainwindow.h"
#include "settingsform.h"
#include "tfbedien.h"
#include "tfeinstellung.h"
#include "textspinner.h"
#include "virtualsarvik.h"
#include "waitfor.h"

#include "../../app/simlog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr int kOnlineTimeoutMs = 15000;

class presets_Device : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        const QString root = dir.filePath(QStringLiteral("root"));
        simLog = dir.filePath(QStringLiteral("sim.log"));
        TVirtualSarvikOptions options;
        options.root = root;
        options.logFile = simLog;
        device = std::make_unique<TVirtualSarvik>(options);
        QString error;
        ASSERT_TRUE(device->start(&error)) << error;

        const QString ini = dir.filePath(QStringLiteral("SarvikControl.ini"));
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.close();
        settings = std::make_unique<TFSettingsForm>();
        form = std::make_unique<TForm1>(
            *settings, QStringList{QStringLiteral("-C"), ini, QStringLiteral("--device-root"), root},
            dir.path() + QLatin1Char('/'));
        form->Dialogs().warn = [](QWidget*, const QString& t) { ADD_FAILURE() << "warning: " << t; };
        form->Dialogs().error = [](QWidget*, const QString& t) { ADD_FAILURE() << "error: " << t; };
        form->SetModuleFactory(ciEinstellung, [](TAppContext& c) { return new TfEinstellung(c); });
        form->SetModuleFactory(ciBedien, [](TAppContext& c) { return new TfBedien(c); });
        form->show();
        ASSERT_TRUE(waitFor([this] { return form->Context().Online && !form->Context().Device.SerialNo.isEmpty(); },
                            kOnlineTimeoutMs));
        window = static_cast<TfEinstellung*>(form->OpenModule(ciEinstellung));
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(waitFor([this] { return fullReadOutShown(); }, kOnlineTimeoutMs))
            << "rows " << window->lvPreset->topLevelItemCount() << ", languages "
            << window->tsSprache->Model().Count();
    }

    void TearDown() override
    {
        if (form)
            form->CloseWithoutQuestion();
        form.reset();
        settings.reset();
        if (device)
            device->stop();
    }

    bool fullReadOutShown() const
    {
        return window->lvPreset->topLevelItemCount() == 10 && window->tsSprache->Model().Count() == 3
               && window->eSLDruck->text() == u"1013,0" && window->rbAbschaltung[0]->isChecked();
    }

    QStringList setFramesSent() const
    {
        QStringList frames;
        for (const TSimLogEvent& e : ReadSimLog(simLog)) {
            if (e.received && e.text.startsWith(QLatin1String("SS")))
                frames << e.text.left(e.text.lastIndexOf(QLatin1Char(';')));  // without the checksum
        }
        return frames;
    }

    // Types into a field as the operator does and leaves it with the tab key.
    static void typeAndLeave(QLineEdit* field, const QString& text)
    {
        field->selectAll();
        QTest::keyClicks(field, text);
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QCoreApplication::sendEvent(field, &out);
    }

    QTemporaryDir dir;
    QString simLog;
    std::unique_ptr<TVirtualSarvik> device;
    std::unique_ptr<TFSettingsForm> settings;
    std::unique_ptr<TForm1> form;
    TfEinstellung* window = nullptr;
};

TEST_F(presets_Device, fullReadOut_showsTheDeviceValues_withoutAnySetCommand)
{
    EXPECT_EQ(window->tsDisplay->Text(), QStringLiteral("7"));
    EXPECT_EQ(window->tsSprache->Model().Texts(),
              (QStringList{QStringLiteral("English"), QStringLiteral("Deutsch"), QStringLiteral("Français")}));
    EXPECT_EQ(window->tsSprache->Text(), QStringLiteral("Deutsch"));
    EXPECT_EQ(window->tsMaxIntervalle->Text(), QStringLiteral("10"));
    EXPECT_EQ(window->tsSignallautstaerke->Text(), QStringLiteral("7"));
    EXPECT_EQ(window->eSLTemp->text(), QStringLiteral("20,0"));
    EXPECT_TRUE(window->cbTonEnde->isChecked());
    EXPECT_TRUE(window->cbDaylightSavingTime->isVisibleTo(window));
    EXPECT_EQ(window->dtpIMDate->date(), device->deviceClock().date());
    EXPECT_EQ(window->lvPreset->topLevelItem(3)->text(1), QStringLiteral("Schimmelpilz"));
    EXPECT_EQ(window->pcPages->currentWidget(), window->tsSystem);
    EXPECT_TRUE(window->btnUhrSync->isEnabled());
    EXPECT_TRUE(setFramesSent().isEmpty()) << setFramesSent().join(QLatin1Char(' ')).toStdString();
}

TEST_F(presets_Device, brightnessAndAlarmTone_changedByTheOperator_areHeldByTheDevice)
{
    window->tsDisplay->setFocus();
    QTest::keyClick(window->tsDisplay, Qt::Key_Up);
    EXPECT_EQ(window->tsDisplay->Text(), QStringLiteral("8"));
    window->cbTonAlarm->click();
    ASSERT_TRUE(waitFor([this] { return device->storedParameter(QStringLiteral("B")) == QStringList{"8"}; }));
    ASSERT_TRUE(waitFor([this] { return device->storedParameter(QStringLiteral("S")) == QStringList({"1", "0"}); }));
    EXPECT_EQ(setFramesSent(), (QStringList{QStringLiteral("SSB;8"), QStringLiteral("SSS;99;0")}));
}

TEST_F(presets_Device, presetFourEditedAndSaved_isHeldByTheDevice_andShownByTheOperationWindow)
{
    window->pcPages->setCurrentWidget(window->tsPreset);
    window->lvPreset->setCurrentItem(window->lvPreset->topLevelItem(3));
    ASSERT_EQ(window->ePresNr->text(), QStringLiteral("4"));
    ASSERT_TRUE(window->btnPresSave->isEnabled());
    window->ePresBez->clear();
    QTest::keyClicks(window->ePresBez, QStringLiteral("Keller;2"));
    EXPECT_EQ(window->ePresBez->text(), QStringLiteral("Keller2"));
    typeAndLeave(window->ePresLogIntervall, QStringLiteral("45"));
    typeAndLeave(window->ChannelFrame(0)->eVol, QStringLiteral("12.5"));
    EXPECT_EQ(window->ChannelFrame(0)->eVol->text(), QStringLiteral("12,5"));
    EXPECT_EQ(window->ChannelFrame(0)->eTime->text(), QStringLiteral("12:30 m:s"));
    typeAndLeave(window->ChannelFrame(1)->eDelay, QStringLiteral("1:30"));
    EXPECT_EQ(window->ChannelFrame(1)->eDelay->text(), QStringLiteral("01:30 m:s"));
    window->ChannelFrame(1)->rbVolTypeSL->click();
    window->btnPresSave->click();
    const QStringList expected{"4", "Keller2", "45", "16", "100", "125", "0", "0", "17", "100", "1000", "90", "0"};
    ASSERT_TRUE(waitFor([&] { return device->storedPreset(4) == expected; }))
        << device->storedPreset(4).join(QLatin1Char(';')).toStdString();
    // The device's answer updates the row.
    ASSERT_TRUE(waitFor([this] { return window->lvPreset->topLevelItem(3)->text(1) == u"Keller2"; }));
    EXPECT_EQ(window->lvPreset->topLevelItem(3)->text(2), QStringLiteral("12,5 NL"));

    auto* bedien = static_cast<TfBedien*>(form->OpenModule(ciBedien));
    ASSERT_NE(bedien, nullptr);
    ASSERT_TRUE(waitFor([bedien] { return bedien->cbPreset->count() == 10; }));
    bedien->btnAktPresets->click();
    ASSERT_TRUE(waitFor([bedien] { return bedien->cbPreset->count() == 10; }));
    EXPECT_EQ(bedien->cbPreset->itemText(3), QStringLiteral(" 4: Keller2"));
    bedien->Logic().cbPresetSelect(3);
    EXPECT_EQ(bedien->lblPresVol[0]->text(), QStringLiteral("12,5 NL"));
    EXPECT_EQ(bedien->lblPresVerz[1]->text(), QStringLiteral("01:30 m:s"));
}

TEST_F(presets_Device, longestSetTimeTheEditorAccepts_isStored)
{
    window->pcPages->setCurrentWidget(window->tsPreset);
    window->lvPreset->setCurrentItem(window->lvPreset->topLevelItem(4));
    TfrPresetChannel* channel = window->ChannelFrame(0);
    ASSERT_TRUE(channel->eTime->isEnabled()) << "preset 5 runs in interval mode";
    typeAndLeave(channel->eTime, QStringLiteral("1000h"));
    EXPECT_EQ(channel->eTime->text(), QStringLiteral("1000:00 h:m"));
    window->btnPresSave->click();
    EXPECT_TRUE(window->FStatusText.isEmpty()) << window->FStatusText.toStdString();
    ASSERT_TRUE(waitFor([this] { return device->storedPreset(5).value(7) == u"60000"; }))
        << device->storedPreset(5).join(QLatin1Char(';')).toStdString();
}

TEST_F(presets_Device, exportedPresetsChangedInTheFileAndImported_reachTheDevice)
{
    const QString file = dir.filePath(QStringLiteral("presets.svk"));
    TPresetFileDialogs d;
    d.saveFile = [&](const QString&, const QString&, const QString&, const QString&) { return file; };
    d.openFile = [&](const QString&, const QString&, const QString&) { return file; };
    d.askYesNo = [](const QString&) { return true; };
    d.error = [](const QString& text) { ADD_FAILURE() << text.toStdString(); };
    window->Logic().SetFileDialogs(d);
    window->Logic().SetFileLocale(QLocale(QLocale::German));
    window->Logic().SetSysMessage([](const QString& text, bool) { ADD_FAILURE() << text.toStdString(); });
    QStringList before;
    for (int n = 1; n <= 10; ++n)
        before << device->storedPreset(n).join(QLatin1Char(';'));

    window->btnExport->click();
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(f.readAll());
    f.close();
    for (int n = 1; n <= 10; ++n)
        EXPECT_TRUE(text.contains(QStringLiteral("[preset_%1]").arg(n, 2, 10, QLatin1Char('0')))) << n;
    // Preset 5 ("Intervall 8h") gets a new name and a slower flow on channel 2.
    const qsizetype section = text.indexOf(QStringLiteral("[preset_05]"));
    ASSERT_GE(section, 0);
    text.replace(text.indexOf(QStringLiteral("name=Intervall 8h"), section), 17, QStringLiteral("name=Nacht"));
    const qsizetype flow = text.indexOf(QStringLiteral("flow_2=1\n"), section);
    ASSERT_GE(flow, 0);
    text.replace(flow, 9, QStringLiteral("flow_2=0,8\n"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.toUtf8());
    f.close();

    window->btnImport->click();
    const QStringList expected{"5", "Nacht", "240", "29", "100", "2400", "0", "480", "29", "80", "2400", "0", "480"};
    ASSERT_TRUE(waitFor([&] { return device->storedPreset(5) == expected; }))
        << device->storedPreset(5).join(QLatin1Char(';')).toStdString();
    ASSERT_TRUE(waitFor([this] { return window->lvPreset->topLevelItem(4)->text(1) == u"Nacht"; }));
    spinFor(300);
    for (int n = 1; n <= 10; ++n) {
        if (n != 5) {
            EXPECT_EQ(device->storedPreset(n).join(QLatin1Char(';')), before.at(n - 1)) << n;
        }
    }
}

}  // namespace
