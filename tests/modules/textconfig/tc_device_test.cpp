// The text configuration window against virtual devices in-process, wired as the main window
// wires it: serial layer, worker, status polling of client 0 and the dispatch of finished orders.
// A configuration read back from one device and sent to another makes the second report the
// first one's values.

#include "controlcommands.h"
#include "devicecommthread.h"
#include "devicestatus.h"
#include "serialport.h"
#include "tctestutil.h"
#include "tftc.h"
#include "virtualsarvik.h"
#include "waitfor.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr int kStatusTickMs = 50;
constexpr int kOnlineTimeoutMs = 15000;
constexpr int kTransferTimeoutMs = 30000;

const QString kDescription = QStringLiteral(SARVIK_EXAMPLES_DIR "/Sarvik2V2_Geraeteeinstellungen.pkd");
const QString kOldDescription = QStringLiteral(SARVIK_EXAMPLES_DIR "/Sarvik2V2_Geraeteeinstellungen_vor_3.6.pkd");
const QString kCommands = QStringLiteral(SARVIK_EXAMPLES_DIR "/Sarvik2V2_Geraeteeinstellungen.puc");

QStringList fileLines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return SplitTextLines(DecodeTextFile(f.readAll()));
}

// One virtual device with the program's link to it and the window.
class TRig {
public:
    TRig(TTcTestEnv& env, const QString& root, TVirtualSarvikOptions options) : FEnv(env)
    {
        options.root = root;
        options.seed = 11;
        Device = std::make_unique<TVirtualSarvik>(options);
    }
    ~TRig()
    {
        FTimer.stop();
        SetOrderSink({});
        FWorker.reset();
        Window.reset();
        FSerial.RS232Open(QString());
        if (Device)
            Device->stop();
        FEnv.Context.Online = false;
        FEnv.Context.Device = TDeviceState{};
    }

    bool start()
    {
        QString error;
        if (!Device->start(&error) || !FSerial.RS232Open(Device->portPath()))
            return false;
        FStatus = std::make_unique<TDeviceStatus>(FEnv.Context);
        FStatus->FSetOnline = [this](bool online) {
            FEnv.Context.Online = online;
            FStatus->OnOnline();
            Window->SetOnOffLine(online ? 1 : 0);
        };
        FWorker = std::make_unique<TDeviceCommThread>(
            &FSerial, [](const QString&) {}, [this](const TOrder& order) { dispatch(order); });
        FStatus->FQueuedOrderCount = [this] { return FWorker->QueuedOrderCount(); };
        FSerial.RS232SetReceiveHandler([this](const QByteArray& line) { FWorker->HandleRXData(line); });
        SetOrderSink([this](const TOrder& order) { FWorker->AddOrder(order); });
        FWorker->Start();
        Window = std::make_unique<Tftc>(FEnv.Context);
        Window->show();
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            FStatus->Tick(kStatusTickMs);
            Window->TimerEvent(kStatusTickMs);
        });
        FTimer.start(kStatusTickMs);
        return waitFor([this] { return FEnv.Context.Online && !FEnv.Context.Device.SerialNo.isEmpty(); },
                       kOnlineTimeoutMs);
    }

    // Reads the device back with a description; the resulting lines.
    QStringList readBack(const QString& description)
    {
        TTcLogic& logic = Window->Logic();
        if (!logic.LoadFile(description, true))
            return {QStringLiteral("description not loaded")};
        logic.btnAuslesenClick();
        if (!waitFor([&logic] { return !logic.Busy(); }, kTransferTimeoutMs))
            return {QStringLiteral("read-back did not end")};
        if (logic.Aborted())
            return {QStringLiteral("read-back aborted")};
        return logic.Lines();
    }

    std::unique_ptr<TVirtualSarvik> Device;
    std::unique_ptr<Tftc> Window;

private:
    void dispatch(const TOrder& order)
    {
        if (order.Sender == ciMain) {
            FStatus->ProcessStatusAnswer(order);
            return;
        }
        if (order.Sender == ciTc && Window)
            Window->RXData(order.Status, order.TXTag, FromWire(order.RXData));
    }

    TTcTestEnv& FEnv;
    TfRS232 FSerial;
    std::unique_ptr<TDeviceCommThread> FWorker;
    std::unique_ptr<TDeviceStatus> FStatus;
    QTimer FTimer;
};

class textconfig_Device : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FRoot.isValid());
        Env.Context.ServiceMode = true;
    }

    std::unique_ptr<TRig> rig(const QString& serial, const QString& paramSet, const QString& firmware = {})
    {
        TVirtualSarvikOptions o;
        o.serial = serial;
        o.paramSet = paramSet;
        if (!firmware.isEmpty())
            o.firmware = firmware;
        return std::make_unique<TRig>(Env, FRoot.path(), o);
    }

    TTcTestEnv Env;
    QTemporaryDir FRoot;
};

TEST_F(textconfig_Device, readBackSaveAndSend_copiesEveryParameterToTheSecondDevice)
{
    const QStringList shipped = fileLines(kCommands);
    ASSERT_FALSE(shipped.isEmpty());
    QString saved;
    {
        auto first = rig(QStringLiteral("SV1/0001"), QStringLiteral("default"));
        ASSERT_TRUE(first->start());
        // The shipped command file is what a new device gives.
        EXPECT_EQ(first->readBack(kDescription), shipped);
        TTcDialogs d;
        d.saveFile = [this, &saved](const QString&, const QString&, const QString& proposed, const QString&,
                                    const QString&) { return saved = Env.Path(proposed); };
        first->Window->SetDialogs(d);
        first->Window->Logic().btnKonfDatSpeichernClick();
        ASSERT_TRUE(QFileInfo(saved).fileName().startsWith(QStringLiteral("Sarvik2V2Konfig_SV10001_")))
            << saved.toStdString();
        EXPECT_EQ(fileLines(saved), shipped);
    }

    auto second = rig(QStringLiteral("SV0002"), QStringLiteral("second"));
    ASSERT_TRUE(second->start());
    const QStringList before = second->readBack(kDescription);
    ASSERT_EQ(before.size(), shipped.size());
    int settings = 0;
    for (qsizetype i = 0; i < shipped.size(); ++i) {
        if (shipped.at(i).startsWith(QLatin1String("SS"))) {
            ++settings;
            EXPECT_NE(before.at(i), shipped.at(i)) << "the second device starts with the same " << shipped.at(i);
        }
    }
    EXPECT_EQ(settings, 14);
    ASSERT_TRUE(Env.Write(QStringLiteral("uhr.pkd"), "GSD@SSD@2\r\n"));
    EXPECT_EQ(second->readBack(Env.Path(QStringLiteral("uhr.pkd"))), QStringList{QStringLiteral("SSD;15.01.2020;")});

    TTcLogic& logic = second->Window->Logic();
    TTcDialogs d;
    d.openFile = [&saved](const QString&, const QString&, const QString&, const QString&) { return saved; };
    second->Window->SetDialogs(d);
    logic.btnDateiLadenClick();
    ASSERT_EQ(logic.Lines(), shipped);
    ASSERT_TRUE(second->Window->btnUebertragen->isEnabled());
    second->Window->btnUebertragen->click();
    ASSERT_TRUE(waitFor([&logic] { return !logic.Busy(); }, kTransferTimeoutMs));
    EXPECT_FALSE(logic.Aborted());
    EXPECT_EQ(second->Window->panZeile->text(), QStringLiteral("%1 von %1").arg(shipped.size()));

    EXPECT_EQ(second->readBack(kDescription), shipped);
    const QString today = QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"));
    EXPECT_EQ(second->readBack(Env.Path(QStringLiteral("uhr.pkd"))), QStringList{QStringLiteral("SSD;%1;").arg(today)});
}

TEST_F(textconfig_Device, parameterSetByControlCommand_changesEverySetting)
{
    auto device = rig(QStringLiteral("SV0004"), QString());
    ASSERT_TRUE(device->start());
    const QStringList shipped = fileLines(kCommands);
    EXPECT_EQ(ExecuteControlCommand(*device->Device, QStringLiteral("params anders")).left(6), QStringLiteral("error "));
    EXPECT_EQ(device->readBack(kDescription), shipped);
    EXPECT_EQ(ExecuteControlCommand(*device->Device, QStringLiteral("params second")),
              QStringLiteral("ok params second"));
    const QStringList second = device->readBack(kDescription);
    ASSERT_EQ(second.size(), shipped.size());
    for (qsizetype i = 0; i < shipped.size(); ++i) {
        if (shipped.at(i).startsWith(QLatin1String("SS"))) {
            EXPECT_NE(second.at(i), shipped.at(i));
        }
    }
    EXPECT_EQ(ExecuteControlCommand(*device->Device, QStringLiteral("params default")),
              QStringLiteral("ok params default"));
    EXPECT_EQ(device->readBack(kDescription), shipped);
}

TEST_F(textconfig_Device, olderFirmware_readsBackWithoutDaylightSaving)
{
    auto device = rig(QStringLiteral("SV0003"), QString(), QStringLiteral("3.5.2"));
    ASSERT_TRUE(device->start());
    const QStringList lines = device->readBack(kOldDescription);
    QStringList expected = fileLines(kCommands);
    expected.removeAll(QStringLiteral("SSX;0;"));
    expected[0] = fileLines(kOldDescription).at(0);
    EXPECT_EQ(lines, expected);
    // The newer description on such a device: the device does not know GSX and says so.
    const QStringList newer = device->readBack(kDescription);
    EXPECT_TRUE(newer.contains(QStringLiteral("SSX;?;"))) << newer.join(QLatin1Char('|')).toStdString();
}

}  // namespace
