// The firmware window without a device: file selection, the log colours, and the buttons and
// closing while a run goes on.

#include "appcontext.h"
#include "firmwarefiles.h"
#include "i18n.h"
#include "programsettings.h"
#include "settingsform.h"
#include "tfupdate.h"
#include "waitfor.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>

#include <gtest/gtest.h>

#include "qtprinters.h"

namespace {

struct TDialogCall {
    QString title;
    QString start;
    QString filter;
};

class firmware_Window : public ::testing::Test {
protected:
    firmware_Window()
    {
        BuildProgramSettings(Settings);
        SetProgramLanguage(kLangGerman);
    }

    void create(TUpdateEnv env = {})
    {
        Window = std::make_unique<TfUpdate>(Context, std::move(env));
        Window->SetClock([this] { return Now; });
        Window->SetFileDialog([this](QWidget*, const QString& title, const QString& start, const QString& filter) {
            Calls.push_back({title, start, filter});
            return Answer;
        });
    }

    QColor lastLineColour() const
    {
        const QTextBlock b = Window->reLog->document()->lastBlock();
        return b.begin().fragment().charFormat().foreground().color();
    }

    QTemporaryDir Dir;
    TFSettingsForm Settings;
    TAppContext Context{Settings};
    std::unique_ptr<TfUpdate> Window;
    std::vector<TDialogCall> Calls;
    QString Answer;
    qint64 Now = 1000;
};

TEST_F(firmware_Window, fileSelection_startsAtTheLastFileAndStoresTheChoice)
{
    const QString last = Dir.filePath(QStringLiteral("old.hex"));
    Settings.SetStr(QStringLiteral("Paths/Firmware"), last);
    create();
    Window->show();
    EXPECT_EQ(Window->eFileName->text(), last);
    EXPECT_TRUE(Window->eFileName->isReadOnly());

    Answer = Dir.filePath(QStringLiteral("new.hex"));
    Window->btnSelectFile->click();
    ASSERT_EQ(Calls.size(), 1u);
    EXPECT_EQ(Calls[0].title, QStringLiteral("Firmwaredatei auswählen"));
    EXPECT_EQ(Calls[0].start, last);
    EXPECT_EQ(Calls[0].filter, QStringLiteral("HEX-Dateien (*.hex *.HEX)"));
    EXPECT_EQ(Window->eFileName->text(), Answer);
    EXPECT_EQ(Settings.GetStr(QStringLiteral("Paths/Firmware")), Answer);

    // Cancelled: nothing changes. A name whose folder is gone starts in the program's folder.
    Settings.SetStr(QStringLiteral("Paths/Firmware"), QStringLiteral("/nowhere/at/all/x.hex"));
    Window->eFileName->setText(QStringLiteral("/nowhere/at/all/x.hex"));
    Answer.clear();
    Window->btnSelectFile->click();
    ASSERT_EQ(Calls.size(), 2u);
    EXPECT_EQ(Calls[1].start, QCoreApplication::applicationDirPath());
    EXPECT_EQ(Window->eFileName->text(), QStringLiteral("/nowhere/at/all/x.hex"));
}

TEST_F(firmware_Window, startWithoutFile_logsRedAndLeavesTheButtons)
{
    create();
    Window->show();
    Window->btnStart->click();
    EXPECT_EQ(Window->reLog->toPlainText(), QStringLiteral("Es ist keine Aktualisierungsdatei ausgewählt"));
    EXPECT_EQ(lastLineColour(), QColor(255, 0, 0));
    EXPECT_TRUE(Window->btnStart->isEnabled());
    EXPECT_TRUE(Window->btnClose->isEnabled());
    EXPECT_FALSE(Window->btnCancel->isVisible());
    EXPECT_FALSE(Window->pbProgress->isVisible());
}

TEST_F(firmware_Window, duringARun_startStaysOffWhateverTheLinkSays_andCloseIsRefused)
{
    const QString file = Dir.filePath(QStringLiteral("fw.hex"));
    ASSERT_TRUE(WriteFile(file, HexTextOfImage(PatternImage(1000))));
    Settings.SetStr(QStringLiteral("Paths/Firmware"), file);
    int disconnects = 0;
    TUpdateEnv env;
    env.isOnline = [] { return false; };
    env.disconnect = [&] { ++disconnects; };
    create(std::move(env));
    Window->show();
    Window->btnStart->click();
    ASSERT_EQ(Window->Machine().State(), TUpdateMachine::usClosePort);
    EXPECT_EQ(disconnects, 1);
    // The run goes on by the window's own ticks, without the main window's.
    EXPECT_TRUE(waitFor([this] { return Window->Machine().State() == TUpdateMachine::usFindBootloader; }, 2000));
    EXPECT_EQ(Window->reLog->toPlainText().split(QLatin1Char('\n')).last(),
              QStringLiteral("Firmwareaktualisierung gestartet"));
    EXPECT_EQ(lastLineColour(), QColor(0, 0, 255));

    Window->SetOnOffLine(1);
    EXPECT_FALSE(Window->btnStart->isEnabled());
    EXPECT_FALSE(Window->btnClose->isEnabled());
    Window->btnStart->click();  // even if it got through
    Window->btnStartClick();
    EXPECT_EQ(disconnects, 1);

    EXPECT_FALSE(Window->close());
    EXPECT_TRUE(Window->isVisible());
    EXPECT_TRUE(Window->FStatusAlarm);
    EXPECT_EQ(Window->FStatusText, QStringLiteral("Die Firmwareaktualisierung läuft noch. Bitte warten oder abbrechen."));

    // No bootloader within 15 s: the run ends and the window may close again.
    for (int i = 0; i < 400 && Window->Machine().Running(); ++i) {
        Now += 50;
        Window->TimerEvent(50);
    }
    EXPECT_FALSE(Window->Machine().Running());
    EXPECT_TRUE(Window->btnStart->isEnabled());
    EXPECT_TRUE(Window->close());
}

}  // namespace
