// The settings editor inside the running program: "&Programmeinstellungen" opens it modally,
// and what is saved there reaches the settings file and takes effect.

#include "mainwindow.h"
#include "settingseditor.h"
#include "settingsform.h"
#include "sysmeld.h"
#include "virtualsarvik.h"
#include "waitfor.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

constexpr int kOnlineTimeoutMs = 15000;
constexpr int kProtocolTimeoutMs = 10000;

class app_SettingsEditor : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        root = dir.filePath(QStringLiteral("root"));
        ini = dir.filePath(QStringLiteral("SarvikControl.ini"));
        logDir = dir.filePath(QStringLiteral("logs"));
        ASSERT_TRUE(QDir().mkpath(logDir));
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

    void startDevice()
    {
        TVirtualSarvikOptions options;
        options.root = root;
        options.logFile = dir.filePath(QStringLiteral("sim.log"));
        device = std::make_unique<TVirtualSarvik>(options);
        QString error;
        ASSERT_TRUE(device->start(&error)) << error;
    }

    void startProgram(const QByteArray& iniText)
    {
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(iniText);
        f.close();
        settings = std::make_unique<TFSettingsForm>();
        form = std::make_unique<TForm1>(*settings,
                                        QStringList{QStringLiteral("-C"), ini, QStringLiteral("--device-root"), root},
                                        dir.path() + QLatin1Char('/'));
        form->Dialogs().warn = [this](QWidget*, const QString& t) { warnings << t; };
        form->Dialogs().error = [](QWidget*, const QString& t) { ADD_FAILURE() << "error: " << t; };
        form->show();
    }

    // Runs the settings command; edit works in the open editor, which is then saved and closed.
    void editSettings(const std::function<void(TfSettingsEditor&)>& edit)
    {
        QAction* action = form->Action(QStringLiteral("actProgeinstell"));
        ASSERT_TRUE(action->isEnabled());
        bool ran = false;
        QTimer::singleShot(0, form.get(), [&] {
            TfSettingsEditor* editor = form->SettingsEditor();
            if (!editor || !editor->isModal() || !editor->isVisible()) {
                ADD_FAILURE() << "no modal settings editor";
                return;
            }
            edit(*editor);
            editor->btnSave->click();
            editor->btnCancel->click();
            ran = true;
        });
        action->trigger();
        ASSERT_TRUE(ran);
        EXPECT_FALSE(form->SettingsEditor()->isVisible());
    }

    static void checkLogging(TfSettingsEditor& editor, TFSettingsForm& settings)
    {
        ASSERT_TRUE(editor.SelectGroup(dynamic_cast<TGroupNode*>(settings.GetNodeByPath(QStringLiteral("General")))));
        auto* frame = dynamic_cast<TfrBoolean*>(
            FrameOf(dynamic_cast<TValueNode&>(*settings.GetNodeByPath(QStringLiteral("General/Logging")))));
        ASSERT_NE(frame, nullptr);
        frame->cbValue->setChecked(true);
    }

    QByteArray iniContent() const
    {
        QFile f(ini);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    QString root;
    QString ini;
    QString logDir;
    QStringList warnings;
    std::unique_ptr<TVirtualSarvik> device;
    std::unique_ptr<TFSettingsForm> settings;
    std::unique_ptr<TForm1> form;
};

TEST_F(app_SettingsEditor, loggingSwitchedOnInTheEditorIsWrittenToTheFileAndStartsTheProtocol)
{
    startDevice();
    startProgram("[settings/Paths]\nLog=" + logDir.toUtf8() + "\n");
    ASSERT_TRUE(waitFor([&] { return form->Context().Online; }, kOnlineTimeoutMs));
    ASSERT_FALSE(settings->GetBool(QStringLiteral("General/Logging")));
    const QStringList protocols{QStringLiteral("SarvikControl_*.txt")};
    EXPECT_TRUE(QDir(logDir).entryList(protocols, QDir::Files).isEmpty());

    editSettings([&](TfSettingsEditor& editor) { checkLogging(editor, *settings); });

    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(iniContent().contains("Logging=1")) << iniContent().toStdString();
    EXPECT_TRUE(settings->GetBool(QStringLiteral("General/Logging")));
    // The link goes through the offline poll again and its traffic lands in a new protocol.
    ASSERT_TRUE(waitFor(
        [&] {
            const QStringList files = QDir(logDir).entryList(protocols, QDir::Files);
            if (files.size() != 1)
                return false;
            QFile f(QDir(logDir).filePath(files[0]));
            return f.open(QIODevice::ReadOnly) && f.readAll().contains("PC\t");
        },
        kProtocolTimeoutMs));
    ASSERT_TRUE(waitFor([&] { return form->Context().Online; }, kOnlineTimeoutMs));
}

TEST_F(app_SettingsEditor, aSettingsFileThatCannotBeWrittenWarnsAndTheEditsStayInEffect)
{
    startProgram("[settings/General]\nConfirmExit=0\n");
    // The settings file turns into a directory: no one, not even root, can write it now.
    ASSERT_TRUE(QFile::remove(ini));
    ASSERT_TRUE(QDir().mkdir(ini));

    editSettings([&](TfSettingsEditor& editor) { checkLogging(editor, *settings); });

    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].startsWith(QStringLiteral("Konfiguration konnte nicht gespeichert werden.\r\n"
                                                      "Fehlermeldung:\r\n")))
        << warnings[0].toStdString();
    EXPECT_TRUE(settings->GetBool(QStringLiteral("General/Logging")));
    EXPECT_FALSE(settings->GetBool(QStringLiteral("General/ConfirmExit")));
    // Nothing was read back over the tree: reading the directory would have been reported.
    ASSERT_NE(SysMeldWindow(), nullptr);
    EXPECT_FALSE(SysMeldWindow()->mem1->toPlainText().contains(QStringLiteral("fehlerhaft")))
        << SysMeldWindow()->mem1->toPlainText().toStdString();
}

}  // namespace
