// The firmware window in the real program (main window, link, discovery, serial port) against
// the virtual device over pseudo-terminals: restart into the bootloader, the byte exchange,
// the device coming back with the new firmware, failures and the rerun from a stranded
// bootloader.

#include "firmwarefiles.h"
#include "mainwindow.h"
#include "settingsform.h"
#include "tfupdate.h"
#include "updateenv.h"
#include "virtualsarvik.h"
#include "waitfor.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

constexpr int kOnlineTimeoutMs = 15000;
constexpr int kRunTimeoutMs = 60000;
const QString kTimeoutText = QStringLiteral("Zeitüberschreitung beim Empfang - Abbruch");
const QString kHint =
    QStringLiteral("Das Gerät befindet sich noch im Bootloader. Die Aktualisierung kann einfach erneut gestartet werden.");

// An image of size bytes that names its firmware version where the device looks for it.
QByteArray versionedImage(qint64 size, const QByteArray& version, std::uint32_t seed = 3)
{
    QByteArray image = PatternImage(size, seed);
    const QByteArray tag = kFirmwareTag + version + '\0';
    image.replace(kFirmwareTagOffset, tag.size(), tag);
    return image;
}

class firmware_Device : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FDir.isValid()); }

    void TearDown() override
    {
        if (FForm) {
            // Never leave a run behind: the window would refuse to close.
            waitFor([this] { return !FWindow || !FWindow->Machine().Running(); }, kRunTimeoutMs);
            FForm->CloseWithoutQuestion();
        }
        FForm.reset();
        FSettings.reset();
        if (FDevice)
            FDevice->stop();
    }

    void startDevice(bool stranded = false)
    {
        TVirtualSarvikOptions o;
        o.root = FDir.filePath(QStringLiteral("root"));
        o.bootDelayMs = 300;
        o.bootloader = stranded;
        o.logFile = FDir.filePath(QStringLiteral("sim.log"));
        FDevice = std::make_unique<TVirtualSarvik>(o);
        QString error;
        ASSERT_TRUE(FDevice->start(&error)) << error.toStdString();
    }

    void startProgram()
    {
        const QString ini = FDir.filePath(QStringLiteral("SarvikControl.ini"));
        ASSERT_TRUE(WriteFile(ini, QByteArray()));
        FSettings = std::make_unique<TFSettingsForm>();
        FForm = std::make_unique<TForm1>(*FSettings,
                                         QStringList{QStringLiteral("Service"), QStringLiteral("-C"), ini,
                                                     QStringLiteral("--device-root"), FDir.filePath(QStringLiteral("root"))},
                                         FDir.path() + QLatin1Char('/'));
        FForm->Dialogs().warn = [](QWidget*, const QString& t) { ADD_FAILURE() << "warning: " << t.toStdString(); };
        FForm->SetModuleFactory(ciUpdate, [this](TAppContext& c) { return CreateUpdateWindow(*FForm, c); });
        FForm->show();
        FWindow = qobject_cast<TfUpdate*>(FForm->OpenModule(ciUpdate));
        ASSERT_NE(FWindow, nullptr);
    }

    void startOnline()
    {
        startDevice();
        startProgram();
        ASSERT_TRUE(waitFor([this] { return FForm->Context().Online; }, kOnlineTimeoutMs));
    }

    // Chooses the file through the window's own dialog and starts.
    void chooseAndStart(const QString& path)
    {
        FWindow->SetFileDialog([path](QWidget*, const QString&, const QString&, const QString&) { return path; });
        FWindow->btnSelectFile->click();
        ASSERT_EQ(FWindow->eFileName->text(), path);
        ASSERT_TRUE(FWindow->btnStart->isEnabled());
        FWindow->btnStart->click();
    }

    QString writeImage(const QByteArray& image, const QString& name = QStringLiteral("fw.hex"))
    {
        const QString path = FDir.filePath(name);
        EXPECT_TRUE(WriteFile(path, HexTextOfImage(image)));
        return path;
    }

    bool waitForIdle(int timeoutMs = kRunTimeoutMs)
    {
        return waitFor([this] { return !FWindow->Machine().Running(); }, timeoutMs);
    }

    QStringList logLines() const { return FWindow->reLog->toPlainText().split(QLatin1Char('\n')); }

    QTemporaryDir FDir;
    std::unique_ptr<TVirtualSarvik> FDevice;
    std::unique_ptr<TFSettingsForm> FSettings;
    std::unique_ptr<TForm1> FForm;
    TfUpdate* FWindow = nullptr;
};

TEST_F(firmware_Device, flashesTheImage_deviceComesBackWithTheNewFirmware_linkActionsLockedAndCloseRefused)
{
    startOnline();
    ASSERT_EQ(FDevice->status().firmware, QStringLiteral("3.6.0"));
    const QByteArray image = versionedImage(5 * 256 + 17, "3.7.1");
    chooseAndStart(writeImage(image));
    EXPECT_EQ(FSettings->GetStr(QStringLiteral("Paths/Firmware")), FDir.filePath(QStringLiteral("fw.hex")));

    // While it runs: no start, no close, the settings editor and device selection locked.
    ASSERT_TRUE(FWindow->Machine().Running());
    EXPECT_FALSE(FWindow->btnStart->isEnabled());
    EXPECT_FALSE(FWindow->btnClose->isEnabled());
    EXPECT_FALSE(FForm->Action(QStringLiteral("actDeviceSelect"))->isEnabled());
    EXPECT_FALSE(FForm->Action(QStringLiteral("actProgeinstell"))->isEnabled());
    EXPECT_FALSE(FWindow->FrameWindow()->close());
    EXPECT_FALSE(FForm->close());
    EXPECT_TRUE(FForm->isVisible());
    ASSERT_TRUE(waitFor([this] { return FWindow->Machine().State() >= TUpdateMachine::usBlocks; }, kRunTimeoutMs));
    EXPECT_TRUE(FWindow->FastTimerActive());
    EXPECT_TRUE(FWindow->btnCancel->isVisible());

    ASSERT_TRUE(waitForIdle());
    EXPECT_TRUE(FWindow->Machine().Succeeded()) << logLines().join(QLatin1Char('\n')).toStdString();
    const QStringList lines = logLines();
    EXPECT_TRUE(lines.last().startsWith(QStringLiteral("Firmwareaktualisierung nach ")));
    EXPECT_FALSE(lines.contains(kHint));

    // The bootloader wrote exactly the file's image; everything else stays erased.
    const QByteArray flash = FDevice->flashImage();
    EXPECT_EQ(flash.left(image.size()), image);
    EXPECT_EQ(flash.mid(image.size()).count(char(0xFF)), flash.size() - image.size());
    EXPECT_EQ(FDevice->status().violations, 0);

    // Back on the normal link with the new firmware.
    EXPECT_TRUE(FWindow->btnStart->isEnabled());
    EXPECT_TRUE(FWindow->btnClose->isEnabled());
    EXPECT_TRUE(FForm->Action(QStringLiteral("actDeviceSelect"))->isEnabled());
    ASSERT_TRUE(waitFor([this] { return FForm->Context().Online; }, kOnlineTimeoutMs));
    EXPECT_FALSE(FDevice->status().bootloader);
    EXPECT_EQ(FDevice->status().firmware, QStringLiteral("3.7.1"));
    ASSERT_TRUE(waitFor([this] { return FForm->Context().Device.FirmwareText.contains(QStringLiteral("3.7.1")); },
                        kOnlineTimeoutMs));
}

TEST_F(firmware_Device, restartWithoutAnswer_nothingFramedReachesTheBootloader)
{
    startOnline();
    FDevice->setRestartAnswer(-1);
    chooseAndStart(writeImage(versionedImage(4 * 256, "3.6.2")));
    ASSERT_TRUE(waitForIdle());
    EXPECT_TRUE(FWindow->Machine().Succeeded()) << logLines().join(QLatin1Char('\n')).toStdString();
    // The unanswered SAR ends without a second try in the bootloader's port; neither does a poll
    // land there (the worker's answer window outlasts the bootloader's appearance).
    EXPECT_EQ(FDevice->status().violations, 0);
    ASSERT_TRUE(waitFor([this] { return FForm->Context().Online; }, kOnlineTimeoutMs));
    EXPECT_EQ(FDevice->status().violations, 0);
}

TEST_F(firmware_Device, tooSmallFile_isRefusedBeforeTheDeviceIsTouched)
{
    startOnline();
    const qint64 answered = FDevice->status().framesAnswered;
    chooseAndStart(writeImage(PatternImage(200)));
    ASSERT_TRUE(waitForIdle(2000));
    EXPECT_EQ(logLines().mid(logLines().size() - 2),
              (QStringList{QStringLiteral("Firmwaredatei enthält zu wenig Daten"), QStringLiteral("Firmwaredatei fehlerhaft")}));
    spinFor(1500);
    EXPECT_TRUE(FForm->Context().Online);
    EXPECT_FALSE(FDevice->status().bootloader);
    // Only the status polling went on.
    QFile log(FDir.filePath(QStringLiteral("sim.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_FALSE(log.readAll().contains("SAR"));
    EXPECT_GT(FDevice->status().framesAnswered, answered);
}

struct TFaultCase {
    const char* name;
    TBootFaults faults;
    const char* message;  // the failure's log line
};

class firmware_DeviceFault : public firmware_Device, public ::testing::WithParamInterface<TFaultCase> {};

TEST_P(firmware_DeviceFault, failureLeavesTheBootloader_andASecondRunSucceeds)
{
    const TFaultCase& c = GetParam();
    startOnline();
    FDevice->setBootFaults(c.faults);
    const QByteArray image = versionedImage(6 * 256, "3.8.0");
    chooseAndStart(writeImage(image));
    ASSERT_TRUE(waitForIdle());
    EXPECT_FALSE(FWindow->Machine().Succeeded());
    const QStringList lines = logLines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [&c](const QString& l) { return l.startsWith(QString::fromUtf8(c.message)); }))
        << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(lines.last(), kHint);
    EXPECT_EQ(FDevice->status().violations, 0);

    // The device stays (or comes back, once plugged in again) in its bootloader; the program
    // is offline and the update runs again from there.
    if (c.faults.vanishAtBlock >= 0) {
        spinFor(300);
        ASSERT_TRUE(FDevice->plug());
    }
    FDevice->setBootFaults({});
    ASSERT_TRUE(waitFor([this] { return FDevice->status().onBus && FDevice->status().bootloader; }, 5000));
    spinFor(500);
    EXPECT_FALSE(FForm->Context().Online);
    FWindow->btnStart->click();
    ASSERT_TRUE(waitForIdle());
    EXPECT_TRUE(FWindow->Machine().Succeeded()) << logLines().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(FDevice->flashImage().left(image.size()), image);
    ASSERT_TRUE(waitFor([this] { return FForm->Context().Online; }, kOnlineTimeoutMs));
    EXPECT_EQ(FDevice->status().firmware, QStringLiteral("3.8.0"));
    EXPECT_EQ(FDevice->status().violations, 0);
}

TBootFaults vanishAt(int block)
{
    TBootFaults f;
    f.vanishAtBlock = block;
    return f;
}
TBootFaults zeroAt(int block)
{
    TBootFaults f;
    f.zeroAtBlock = block;
    return f;
}
TBootFaults badSum()
{
    TBootFaults f;
    f.badChecksum = true;
    return f;
}
TBootFaults slowAt(int block)
{
    TBootFaults f;
    f.slowAtBlock = block;
    f.slowMs = 2500;
    return f;
}
TBootFaults noHandshake()
{
    TBootFaults f;
    f.noHandshake = true;
    return f;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, firmware_DeviceFault,
    ::testing::Values(TFaultCase{"vanishes", vanishAt(3), "Zeitüberschreitung beim Empfang - Abbruch"},
                      TFaultCase{"errorByte", zeroAt(2), "Unbekannter Fehler aufgetreten"},
                      TFaultCase{"slowAnswer", slowAt(4), "Zeitüberschreitung beim Empfang - Abbruch"},
                      TFaultCase{"noHandshake", noHandshake(), "Zeitüberschreitung beim Empfang - Abbruch"},
                      TFaultCase{"wrongChecksum", badSum(), "Prüfsummenfehler: "}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(firmware_Device, cancelIsLoggedRed_andTheStrandedDeviceTakesARerun)
{
    startOnline();
    const QByteArray image = versionedImage(300 * 256, "3.9.0");
    chooseAndStart(writeImage(image));
    ASSERT_TRUE(waitFor([this] { return FWindow->Machine().Block() > 20; }, kRunTimeoutMs));
    FWindow->btnCancel->click();
    ASSERT_TRUE(waitForIdle());
    const QStringList lines = logLines();
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines.at(lines.size() - 2), QStringLiteral("Firmwareaktualisierung abgebrochen"));
    EXPECT_EQ(lines.last(), kHint);
    EXPECT_FALSE(FWindow->Machine().Succeeded());
    ASSERT_TRUE(waitFor([this] { return FDevice->status().onBus && FDevice->status().bootloader; }, 5000));
    FWindow->btnStart->click();
    ASSERT_TRUE(waitForIdle());
    EXPECT_TRUE(FWindow->Machine().Succeeded());
    EXPECT_EQ(FDevice->flashImage().left(image.size()), image);
    EXPECT_EQ(FDevice->status().violations, 0);
}

TEST_F(firmware_Device, strandedAtStart_fullImageEndToEnd)
{
    startDevice(true);
    startProgram();
    const QByteArray image = versionedImage(kImageBytes, "4.0.0", 11);
    chooseAndStart(writeImage(image));
    ASSERT_TRUE(waitForIdle(240000));
    EXPECT_TRUE(FWindow->Machine().Succeeded()) << logLines().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(FDevice->status().blocksReceived, 8193);
    EXPECT_TRUE(FDevice->flashImage() == image);
    EXPECT_EQ(FDevice->status().violations, 0);
    ASSERT_TRUE(waitFor([this] { return FForm->Context().Online; }, kOnlineTimeoutMs));
    EXPECT_EQ(FDevice->status().firmware, QStringLiteral("4.0.0"));
}

}  // namespace
