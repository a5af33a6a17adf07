// The settings editor over the program's own schema: what the first showing offers, debug mode
// and the dump, validation marks, saving, the close question and switching the language.

#include "editortestutil.h"
#include "programsettings.h"
#include "textspinner.h"
#include "waitfor.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

constexpr int kSavedLabelTimeoutMs = 5000;

class settingsui_Editor : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        BuildProgramSettings(form);
        form.SetStr(QStringLiteral("General/IniFile"), dir.filePath(QStringLiteral("SarvikControl.ini")));
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    void open()
    {
        if (!editor) {
            editor = std::make_unique<TfSettingsEditor>(form);
            dialogs.install(*editor);
        }
        editor->show();
    }

    void select(const char* path) { ASSERT_TRUE(editor->SelectGroup(groupNode(form, path))) << path; }
    bool marked(const char* path) const
    {
        return TfSettingsEditor::ItemHasError(editor->ItemOf(groupNode(const_cast<TFSettingsForm&>(form), path)));
    }
    QStringList shownIdentifiers() const
    {
        QStringList ids;
        for (TfrSetting* f : editor->ShownFrames())
            ids << f->Node().identifier;
        return ids;
    }
    QLineEdit* field(const char* path) { return frameOf<TfrText>(form, path)->edtValue; }

    QTemporaryDir dir;
    TFSettingsForm form;
    std::unique_ptr<TfSettingsEditor> editor;
    TRecordedDialogs dialogs;
};

TEST_F(settingsui_Editor, firstShowingIsGermanWithThreeGroups_ctrlDInATextFieldShowsEverythingAndTheDump)
{
    open();
    EXPECT_EQ(editor->windowTitle(), QStringLiteral("Programmeinstellungen"));
    EXPECT_EQ(treeTexts(*editor->TreeView), (QStringList{QStringLiteral("Einstellungen"), QStringLiteral(".Allgemein"),
                                                         QStringLiteral(".Verzeichnisse"),
                                                         QStringLiteral(".Probenahmedaten")}));
    EXPECT_EQ(editor->btnSave->text(), QStringLiteral("Speichern"));
    EXPECT_EQ(editor->btnCancel->text(), QStringLiteral("Schließen"));
    EXPECT_FALSE(editor->btnDump->isVisible());
    EXPECT_FALSE(editor->lblDebug->isVisible());
    EXPECT_TRUE(editor->ShownFrames().isEmpty());

    select("Paths");
    EXPECT_EQ(shownIdentifiers(), (QStringList{QStringLiteral("Log"), QStringLiteral("Config"),
                                               QStringLiteral("AdjustLog")}));
    QTest::keyClick(field("Paths/Log"), Qt::Key_D, Qt::ControlModifier);
    ASSERT_TRUE(editor->DebugMode());
    EXPECT_TRUE(editor->btnDump->isVisible());
    EXPECT_TRUE(editor->lblDebug->isVisible());
    EXPECT_EQ(editor->TreeView->currentItem(), nullptr);
    EXPECT_TRUE(editor->ShownFrames().isEmpty());
    const QStringList debugTree = treeTexts(*editor->TreeView);
    for (const char* text : {".WinPos", "..Client_0", "..Client_11", ".Connection", "..Main", "..Bootloader",
                             ".MemoryMon", ".Control", ".ControlTest"})
        EXPECT_TRUE(debugTree.contains(QString::fromUtf8(text))) << text;
    EXPECT_EQ(debugTree.size(), 23);
    select("Paths");
    EXPECT_EQ(shownIdentifiers().last(), QStringLiteral("Firmware"));

    editor->btnDump->click();
    EXPECT_TRUE(editor->panDump->isVisible());
    EXPECT_FALSE(editor->TreeView->isVisible());
    const QStringList dump = editor->memDump->toPlainText().split(QLatin1Char('\n'));
    // One line per node: the schema's 115 and the operation window's chart switch.
    EXPECT_EQ(dump.size(), 116);
    EXPECT_EQ(dump.first(), QStringLiteral("settings - Einstellungen (TGroupNode)"));
    EXPECT_EQ(dump[1], QStringLiteral("  General - Allgemein (TGroupNode)"));
    editor->btnDumpClose->click();
    EXPECT_FALSE(editor->panDump->isVisible());
    EXPECT_TRUE(editor->TreeView->isVisible());

    // Shown again, the window starts out of debug mode.
    editor->hide();
    open();
    EXPECT_FALSE(editor->DebugMode());
    EXPECT_EQ(treeTexts(*editor->TreeView).size(), 4);
}

TEST_F(settingsui_Editor, lettersInAnIntegerFrameAreMarkedWhenLeft_andAValidNumberClearsTheMark)
{
    open();
    QTest::keyClick(editor.get(), Qt::Key_D, Qt::ControlModifier);
    select("Connection/Main");
    editor->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(editor.get()));
    QLineEdit* vid = field("Connection/Main/USB_VID");
    TfrSetting* frame = FrameOf(valueNode(form, "Connection/Main/USB_VID"));
    vid->setFocus();
    ASSERT_TRUE(waitFor([&] { return vid->hasFocus(); }));
    vid->setText(QStringLiteral("12a"));
    // Leaving for the other field of the same group is leaving the frame.
    field("Connection/Main/USB_PID")->setFocus();
    ASSERT_TRUE(waitFor([&] { return !frame->ErrorText().isEmpty(); }));
    EXPECT_EQ(frame->ErrorText(), QStringLiteral("Kein gültiger Integer-Wert"));
    EXPECT_TRUE(marked("Connection/Main"));
    EXPECT_FALSE(marked("Connection/Bootloader"));

    vid->setFocus();
    vid->setText(QStringLiteral("1234"));
    editor->TreeView->setFocus();
    ASSERT_TRUE(waitFor([&] { return frame->ErrorText().isEmpty(); }));
    EXPECT_FALSE(marked("Connection/Main"));
    EXPECT_EQ(form.GetInt(QStringLiteral("Connection/Main/USB_VID")), 1155) << "taken only by Speichern";
    editor->btnSave->click();
    EXPECT_EQ(form.GetInt(QStringLiteral("Connection/Main/USB_VID")), 1234);
}

TEST_F(settingsui_Editor, aHalfWithCommaOrPointIsTakenWhateverTheSystemSeparator)
{
    for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::German, QLocale::Germany)}) {
        QLocale::setDefault(locale);
        for (const char* half : {"0,5", "0.5"}) {
            SCOPED_TRACE(locale.name().toStdString() + " " + half);
            form.SetFloat(QStringLiteral("ControlTest/FlowLimitClose"), 0);
            open();
            QTest::keyClick(editor.get(), Qt::Key_D, Qt::ControlModifier);
            select("ControlTest");
            field("ControlTest/FlowLimitClose")->setText(QString::fromUtf8(half));
            editor->btnSave->click();
            EXPECT_FALSE(valueNode(form, "ControlTest/FlowLimitClose").error);
            EXPECT_DOUBLE_EQ(double(form.GetFloat(QStringLiteral("ControlTest/FlowLimitClose"))), 0.5);
            editor->hide();
        }
    }
}

TEST_F(settingsui_Editor, emptyOutputIsMarkedWhenLeft_closingAsksAlsoOnEscape_andAReopenedEditorAsksNothing)
{
    open();
    select("SamplingData");
    select("General");  // leaves the frames of SamplingData
    TfrSetting* output = FrameOf(valueNode(form, "SamplingData/Output"));
    EXPECT_EQ(output->ErrorText(), QStringLiteral("Verzeichnis existiert nicht"));
    EXPECT_TRUE(marked("SamplingData"));
    EXPECT_FALSE(marked("General"));

    dialogs.answer = false;
    QTest::keyClick(editor.get(), Qt::Key_Escape);
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_EQ(dialogs.questions[0], QStringLiteral("Aufgrund von fehlerhaften Eingaben konnten nicht alle "
                                                   "Einstellungen gepeichert werden.\r\n\r\nWirklich schließen?"));
    EXPECT_TRUE(editor->isVisible());
    editor->btnCancel->click();
    EXPECT_EQ(dialogs.questions.size(), 2);
    EXPECT_TRUE(editor->isVisible());

    dialogs.answer = true;
    editor->btnCancel->click();
    EXPECT_EQ(dialogs.questions.size(), 3);
    EXPECT_FALSE(editor->isVisible());

    // Shown again, the frames start from the stored values and nothing shows the old error.
    open();
    EXPECT_FALSE(marked("SamplingData"));
    QTest::keyClick(editor.get(), Qt::Key_Escape);
    EXPECT_EQ(dialogs.questions.size(), 3);
    EXPECT_FALSE(editor->isVisible());
}

TEST_F(settingsui_Editor, speichernTakesTheValues_showsTheLabelForTwoSeconds_andStaysOpen)
{
    open();
    EXPECT_FALSE(editor->Saved());
    select("General");
    auto* confirm = frameOf<TfrBoolean>(form, "General/ConfirmExit");
    ASSERT_NE(confirm, nullptr);
    EXPECT_TRUE(confirm->cbValue->isChecked());
    confirm->cbValue->setChecked(false);
    EXPECT_TRUE(form.GetBool(QStringLiteral("General/ConfirmExit")));
    editor->btnSave->click();
    EXPECT_FALSE(form.GetBool(QStringLiteral("General/ConfirmExit")));
    EXPECT_TRUE(editor->Saved());
    EXPECT_TRUE(editor->isVisible());
    EXPECT_TRUE(editor->lblSaved->isVisible());
    EXPECT_EQ(editor->lblSaved->text(), QStringLiteral("Einstellungen gespeichert"));
    EXPECT_EQ(editor->SavedTimer->interval(), 2000);
    EXPECT_TRUE(editor->SavedTimer->isActive());
    EXPECT_TRUE(waitFor([&] { return !editor->lblSaved->isVisible(); }, kSavedLabelTimeoutMs));
    EXPECT_FALSE(editor->SavedTimer->isActive());

    editor->hide();
    open();
    EXPECT_FALSE(editor->Saved()) << "each showing starts unsaved";
}

TEST_F(settingsui_Editor, languageAndAPathSavedTogetherAreBothKept_andTheEditorSpeaksEnglishOnTheSameGroup)
{
    open();
    select("General");
    auto* lang = frameOf<TfrSpin>(form, "General/ProgLang");
    ASSERT_NE(lang, nullptr);
    EXPECT_EQ(lang->spnValue->Text(), QStringLiteral("Deutsch"));
    lang->spnValue->stepBy(1);
    EXPECT_EQ(lang->spnValue->Text(), QStringLiteral("English"));
    // Paths comes after General: the language switch must not drop this edit.
    select("Paths");
    const QString logDir = dir.filePath(QStringLiteral("logs"));
    ASSERT_TRUE(QDir().mkpath(logDir));
    field("Paths/Log")->setText(logDir);
    editor->btnSave->click();

    EXPECT_EQ(form.GetStr(QStringLiteral("Paths/Log")), logDir);
    EXPECT_EQ(form.GetInt(QStringLiteral("General/ProgLang")), int(slEN));
    EXPECT_EQ(form.language(), int(slEN));
    EXPECT_EQ(editor->Language(), int(slEN));
    EXPECT_EQ(editor->windowTitle(), QStringLiteral("Settings"));
    EXPECT_EQ(editor->btnSave->text(), QStringLiteral("Save"));
    EXPECT_EQ(editor->btnCancel->text(), QStringLiteral("Close"));
    EXPECT_EQ(editor->btnDumpClose->text(), QStringLiteral("Close"));
    EXPECT_EQ(editor->lblSaved->text(), QStringLiteral("Settings saved"));
    EXPECT_EQ(treeTexts(*editor->TreeView), (QStringList{QStringLiteral("Settings"), QStringLiteral(".General"),
                                                         QStringLiteral(".Directories"),
                                                         QStringLiteral(".Samping data")}));
    ASSERT_NE(editor->TreeView->currentItem(), nullptr);
    EXPECT_EQ(editor->TreeView->currentItem()->text(0), QStringLiteral("Directories"));
    // The rebuilt frames show the stored values in English.
    EXPECT_EQ(field("Paths/Log")->text(), logDir);
    auto* box = FrameOf(valueNode(form, "Paths/Log"))->findChild<QGroupBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->title(), QStringLiteral("Directory for log files"));
}

TEST_F(settingsui_Editor, anEnglishSettingsFileOpensTheEditorInEnglish)
{
    const QString ini = dir.filePath(QStringLiteral("en.ini"));
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[settings/General]\nProgLang=English\n");
    f.close();
    form.ReadFromFile(ini);
    ASSERT_EQ(form.language(), int(slEN));
    open();
    EXPECT_EQ(editor->windowTitle(), QStringLiteral("Settings"));
    EXPECT_EQ(editor->btnSave->text(), QStringLiteral("Save"));
    EXPECT_EQ(treeTexts(*editor->TreeView).value(1), QStringLiteral(".General"));
    select("General");
    EXPECT_EQ(frameOf<TfrSpin>(form, "General/ProgLang")->spnValue->Text(), QStringLiteral("English"));
    // Saving unchanged keeps English.
    editor->btnSave->click();
    EXPECT_EQ(form.language(), int(slEN));
}

TEST_F(settingsui_Editor, framesAreStackedInNodeOrder_andTheInformationShowsAPathAsItIs)
{
    const QString path = dir.filePath(QStringLiteral("a<b>c</b>/SarvikControl.ini"));
    form.SetStr(QStringLiteral("General/IniFile"), path);
    open();
    select("General");
    const QList<TfrSetting*> frames = editor->ShownFrames();
    ASSERT_EQ(frames.size(), 5);
    QCoreApplication::processEvents();
    for (int i = 1; i < frames.size(); ++i)
        EXPECT_LT(frames[i - 1]->y(), frames[i]->y()) << frames[i]->Node().identifier.toStdString();
    auto* info = frameOf<TfrInfo>(form, "General/IniFile");
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->memInfo->toPlainText(), path);
    EXPECT_TRUE(info->memInfo->isReadOnly());
}

TEST_F(settingsui_Editor, fileAndDirectoryButtonsOpenTheirDialogsWithTheNodesFilterAndStart)
{
    open();
    select("SamplingData");
    auto* tpl = frameOf<TfrText>(form, "SamplingData/SamplingTpl");
    ASSERT_NE(tpl, nullptr);
    ASSERT_NE(tpl->btnSelect, nullptr);
    const QString workbook = dir.filePath(QStringLiteral("vorlage.xlsx"));
    QFile f(workbook);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    dialogs.fileResult = workbook;
    tpl->btnSelect->click();
    ASSERT_EQ(dialogs.fileCalls.size(), 1);
    EXPECT_EQ(dialogs.fileCalls[0].title, QStringLiteral("EXCEL-Vorlage für Probenahmedaten"));
    EXPECT_EQ(dialogs.fileCalls[0].filter,
              QStringLiteral("EXCEL-Dateien (*.xls *.XLS *.xlsx *.XLSX *.xlsm *.XLSM);;Alle Dateien (*)"));
    EXPECT_EQ(dialogs.fileCalls[0].dir, QDir::currentPath());
    EXPECT_EQ(tpl->edtValue->text(), QDir::toNativeSeparators(workbook));
    dialogs.fileResult.clear();
    tpl->btnSelect->click();
    EXPECT_EQ(dialogs.fileCalls[1].dir, dir.path()) << "starts where the file in the field is";
    EXPECT_EQ(tpl->edtValue->text(), QDir::toNativeSeparators(workbook)) << "cancel keeps the field";

    auto* output = frameOf<TfrText>(form, "SamplingData/Output");
    dialogs.dirResult = dir.path();
    output->btnSelect->click();
    output->btnSelect->click();
    ASSERT_EQ(dialogs.dirCalls.size(), 2);
    EXPECT_EQ(dialogs.dirCalls[0], QDir::currentPath());
    EXPECT_EQ(dialogs.dirCalls[1], dir.path());

    // The radio group: three columns, a row of 20 pixels per three items plus 25.
    auto* ext = frameOf<TfrRadio>(form, "SamplingData/Extension");
    ASSERT_NE(ext, nullptr);
    ASSERT_EQ(ext->buttons.size(), 4);
    EXPECT_EQ(ext->Selected(), 2);
    EXPECT_EQ(ext->findChild<QGroupBox*>()->height(), 65);
    ext->buttons[3]->setChecked(true);
    editor->btnSave->click();
    EXPECT_EQ(form.GetStr(QStringLiteral("SamplingData/SamplingTpl")), QDir::toNativeSeparators(workbook));
    EXPECT_EQ(form.GetStr(QStringLiteral("SamplingData/Output")), dir.path());
    EXPECT_EQ(form.GetStr(QStringLiteral("SamplingData/Extension")), QStringLiteral("XLSM"));

    // English filter once the tree speaks English.
    form.SetLanguage(slEN);
    select("SamplingData");
    frameOf<TfrText>(form, "SamplingData/LogTpl")->btnSelect->click();
    EXPECT_EQ(dialogs.fileCalls.last().filter,
              QStringLiteral("EXCEL Files (*.xls *.XLS *.xlsx *.XLSX *.xlsm *.XLSM);;All Files (*)"));
}

}  // namespace
