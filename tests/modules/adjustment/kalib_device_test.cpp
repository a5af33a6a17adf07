// The adjustment window against the virtual device in-process, wired as the main window wires
// it: serial layer, worker, status polling of client 0 and the dispatch of finished orders.

#include "devicecommthread.h"
#include "devicemodel.h"
#include "devicestatus.h"
#include "formatsettings.h"
#include "kalibtestutil.h"
#include "serialport.h"
#include "tfkalib.h"
#include "virtualsarvik.h"
#include "waitfor.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

constexpr int kStatusTickMs = 50;
constexpr int kOnlineTimeoutMs = 15000;
const QString kSerial = QStringLiteral("SV2000123");

class adjustment_Device : public ::testing::Test {
protected:
    void startRig(bool serviceMode)
    {
        ASSERT_TRUE(FRoot.isValid());
        TVirtualSarvikOptions o;
        o.root = FRoot.path();
        o.seed = 11;
        FDevice = std::make_unique<TVirtualSarvik>(o);
        QString error;
        ASSERT_TRUE(FDevice->start(&error)) << error.toStdString();
        ASSERT_TRUE(FSerial.RS232Open(FDevice->portPath()));
        Env.Context.ServiceMode = serviceMode;

        FStatus = std::make_unique<TDeviceStatus>(Env.Context);
        FStatus->FSetOnline = [this](bool online) {
            Env.Context.Online = online;
            FStatus->OnOnline();
            if (Window->isVisible())
                Window->SetOnOffLine(online ? 1 : 0);
        };
        FWorker = std::make_unique<TDeviceCommThread>(
            &FSerial, [](const QString&) {}, [this](const TOrder& order) { dispatch(order); });
        FStatus->FQueuedOrderCount = [this] { return FWorker->QueuedOrderCount(); };
        FSerial.RS232SetReceiveHandler([this](const QByteArray& line) { FWorker->HandleRXData(line); });
        SetOrderSink([this](const TOrder& order) {
            if (order.Sender == ciKalib)
                FSent << CommandOf(order);
            FWorker->AddOrder(order);
        });
        FWorker->Start();
        Window = std::make_unique<TfKalib>(Env.Context);
        Window->SetSerialDialog([](QWidget*) -> std::optional<QString> { return kSerial; });
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            FStatus->Tick(kStatusTickMs);
            if (Window->isVisible())
                Window->TimerEvent(kStatusTickMs);
        });
        FTimer.start(kStatusTickMs);
        Window->show();
        ASSERT_TRUE(waitFor([this] { return Env.Context.Online && !Env.Context.Device.SerialNo.isEmpty(); },
                            kOnlineTimeoutMs));
        ASSERT_TRUE(waitFor([this] { return Window->Button(QStringLiteral("btnReadData"))->isEnabled(); }));
    }

    void TearDown() override
    {
        FTimer.stop();
        SetOrderSink({});
        FWorker.reset();
        Window.reset();
        FSerial.RS232Open(QString());
        if (FDevice)
            FDevice->stop();
    }

    void dispatch(const TOrder& order)
    {
        if (order.Sender == ciMain) {
            FStatus->ProcessStatusAnswer(order);
            return;
        }
        if (order.Sender == ciKalib && Window && Window->isVisible())
            Window->RXData(order.Status, order.TXTag, FromWire(order.RXData));
    }

    QString text(const QString& name) const { return Window->Logic().Text(name); }
    TFieldState state(const QString& name) const { return Window->Logic().State(name); }
    double number(const QString& name) const
    {
        double v = std::nan("");
        FmtDisplay().ParseFloat(text(name), v);
        return v;
    }
    void click(const QString& button) { Window->Button(button)->click(); }
    bool confirmed(const QStringList& names) const
    {
        for (const QString& n : names) {
            if (state(n) != TFieldState::Confirmed)
                return false;
        }
        return true;
    }

    TKalibTestEnv Env;
    QTemporaryDir FRoot;
    std::unique_ptr<TVirtualSarvik> FDevice;
    TfRS232 FSerial;
    std::unique_ptr<TDeviceCommThread> FWorker;
    std::unique_ptr<TDeviceStatus> FStatus;
    std::unique_ptr<TfKalib> Window;
    QTimer FTimer;
    QStringList FSent;
};

TEST_F(adjustment_Device, fivePointsCapturedFittedTransferredReadBackAndLogged)
{
    startRig(false);
    const double flows[kKalibPoints] = {0.0, 0.3, 0.6, 0.9, 1.2};
    const QString flowTexts[kKalibPoints] = {QString(), QStringLiteral("0,3"), QStringLiteral("0,6"),
                                             QStringLiteral("0,9"), QStringLiteral("1,2")};
    for (int i = 0; i < kKalibPoints; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(FDevice->setFlow(0, flows[i]));
        // The live poll brings the sensor's voltage at this flow.
        const double expected = SensorVoltage(flows[i]);
        ASSERT_TRUE(waitFor([&] { return std::fabs(number(TKalibLogic::SensName(0)) - expected) < 0.005; }));
        click(QStringLiteral("btnJ0%1").arg(i));
        if (i > 0)
            QTest::keyClicks(Window->Field(TKalibLogic::FlowName(0, i)), flowTexts[i]);
    }
    QStringList volts;
    std::array<double, kKalibPoints> x{};
    for (int i = 0; i < kKalibPoints; ++i) {
        volts << text(TKalibLogic::VoltName(0, i));
        x[static_cast<size_t>(i)] = number(TKalibLogic::VoltName(0, i));
    }
    EXPECT_EQ(text(TKalibLogic::OffsetName(0)), volts[0]);

    click(QStringLiteral("btnCalc0"));
    ASSERT_EQ(Window->FStatusText, QString());
    // The fitted polynomial passes through all five captured points.
    std::array<double, kKalibPoints> a{};  // a[0] the coefficient of x^4
    for (int i = 0; i < kKalibPoints; ++i)
        a[static_cast<size_t>(i)] = number(TKalibLogic::JustName(0, i));
    for (int i = 0; i < kKalibPoints; ++i) {
        const double v = x[static_cast<size_t>(i)];
        const double y = (((a[0] * v + a[1]) * v + a[2]) * v + a[3]) * v + a[4];
        EXPECT_NEAR(y, flows[i], 2e-3) << i;
    }
    QStringList calculated;
    for (int i = 0; i < kKalibPoints; ++i)
        calculated << text(TKalibLogic::JustName(0, i)).replace(QLatin1Char('.'), QLatin1Char(','));

    FSent.clear();
    click(QStringLiteral("btnSetJustData0"));
    ASSERT_EQ(FSent.size(), 6) << FSent.join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(FSent[0].startsWith(QStringLiteral("SCF;0;5;")));
    ASSERT_TRUE(waitFor([this] {
        return !Window->Logic().TransferPending(0)
               && confirmed({TKalibLogic::OffsetName(0), TKalibLogic::JustName(0, 0), TKalibLogic::JustName(0, 4)});
    }));

    // The device holds what was sent, in 32-bit floats.
    std::array<float, 6> stored{};
    FDevice->withModel([&stored](TDeviceModel& m) { stored = m.FCalibration.aFlowData[0]; });
    for (int i = 0; i < kKalibPoints; ++i)
        EXPECT_NEAR(stored[static_cast<size_t>(i)], a[static_cast<size_t>(i)], 1e-6 + std::fabs(a[static_cast<size_t>(i)]) * 1e-6) << i;
    EXPECT_NEAR(stored[5], x[0], 1e-6);

    QStringList readBack;
    for (int i = 0; i < kKalibPoints; ++i)
        readBack << text(TKalibLogic::JustName(0, i)).replace(QLatin1Char('.'), QLatin1Char(','));

    const QStringList files = Env.LogFiles();
    ASSERT_EQ(files, QStringList({kSerial + QLatin1Char('_') + QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))
                                  + QStringLiteral(".csv")}));
    const QByteArray bytes = Env.LogBytes(files[0]);
    EXPECT_EQ(bytes.count("\r\n"), 16);
    EXPECT_EQ(bytes.count('\n'), 16);
    const QStringList lines = Env.LogLines(files[0]);
    ASSERT_EQ(lines.size(), 16) << lines.join(QLatin1Char('|')).toStdString();
    const QRegularExpression head(QStringLiteral("^Datum;\\d\\d\\.\\d\\d\\.\\d{4};Zeit;\\d\\d:\\d\\d:\\d\\d$"));
    QStringList commaVolts;
    for (const QString& v : volts)
        commaVolts << QString(v).replace(QLatin1Char('.'), QLatin1Char(','));
    // The calculation block.
    EXPECT_TRUE(head.match(lines[0]).hasMatch()) << lines[0].toStdString();
    EXPECT_EQ(lines.mid(1, 7),
              QStringList({QStringLiteral("Kanal 1"), QStringLiteral("Justagepunkt;;1;2;3;4;5"),
                           QStringLiteral("Vol.Strom;NL/min;0,00;0,3;0,6;0,9;1,2"),
                           QStringLiteral("Sensorsignal;Volt;") + commaVolts.join(QLatin1Char(';')),
                           QStringLiteral("Errechnete Justagedaten"), QStringLiteral("Datum Nr.;;1;2;3;4;5"),
                           QStringLiteral("Wert;;") + calculated.join(QLatin1Char(';'))}));
    // The transfer block.
    EXPECT_TRUE(head.match(lines[8]).hasMatch()) << lines[8].toStdString();
    EXPECT_EQ(lines.mid(9, 5),
              QStringList({QStringLiteral("Kanal 1"), QStringLiteral("An Sarvik2V2 übertragene Justagedaten"),
                           QStringLiteral("Datum Nr.;;1;2;3;4;5"), QStringLiteral("Wert;;") + calculated.join(QLatin1Char(';')),
                           QStringLiteral("Sensor-Offset; ") + commaVolts[0]}));
    // The read-back block.
    EXPECT_EQ(lines.mid(14),
              QStringList({QStringLiteral("Von Sarvik2V2 erhaltene Justagedaten"),
                           QStringLiteral("Wert;;") + readBack.join(QLatin1Char(';'))}));
}

TEST_F(adjustment_Device, refreshReadsEveryGroup_andPeripheralSetsReachTheDevice)
{
    startRig(true);
    click(QStringLiteral("btnReadData"));
    const QStringList groups{TKalibLogic::JustName(1, 4), TKalibLogic::SensOffsetName(1), QStringLiteral("ePID_KP2"),
                             QStringLiteral("eServoAuf1"), QStringLiteral("enextWartungDatum"),
                             QStringLiteral("eLastWartungStunden"), QStringLiteral("eAkku"), QStringLiteral("eBaroIst"),
                             QStringLiteral("eRTCVoltage"), QStringLiteral("eRunTimeY")};
    ASSERT_TRUE(waitFor([&] { return confirmed(groups); }));
    EXPECT_EQ(text(QStringLiteral("eServoZu0")), QStringLiteral("800"));
    EXPECT_EQ(text(QStringLiteral("ePID_KP2")), QStringLiteral("25"));
    EXPECT_EQ(text(QStringLiteral("enextWartungDatum")), QStringLiteral("06/2027"));
    EXPECT_EQ(text(TKalibLogic::OffsetName(1)), QStringLiteral("0,9510000"));
    EXPECT_EQ(Window->Logic().RtcCheck(), TRtcCheck::Ok);

    Window->Field(QStringLiteral("eBaroIst"))->clear();
    QTest::keyClicks(Window->Field(QStringLiteral("eBaroIst")), QStringLiteral("1013.25"));
    click(QStringLiteral("btnSetBaro"));
    for (const auto& [name, value] : {std::pair{"eServoAuf1", "210"}, {"eServoZu1", "790"}}) {
        Window->Field(QString::fromUtf8(name))->clear();
        QTest::keyClicks(Window->Field(QString::fromUtf8(name)), QString::fromUtf8(value));
    }
    click(QStringLiteral("btnSetServo1"));
    EXPECT_TRUE(FSent.contains(QStringLiteral("SCA;10132")));
    EXPECT_TRUE(FSent.contains(QStringLiteral("SCS;1;790;210")));
    ASSERT_TRUE(waitFor([&] { return confirmed({QStringLiteral("eBaroIst"), QStringLiteral("eServoAuf1")}); }));
    EXPECT_EQ(text(QStringLiteral("eBaroIst")), QStringLiteral("1013,2"));
    TSimServo servo;
    FDevice->withModel([&servo](TDeviceModel& m) { servo = m.FServo; });
    EXPECT_EQ(servo.iOpen[1], 210);
    EXPECT_EQ(servo.iClosed[1], 790);

    // The backup battery check reads the result three seconds after starting it.
    click(QStringLiteral("btnCheckRTC"));
    EXPECT_EQ(Window->Logic().RtcCheck(), TRtcCheck::Hidden);
    ASSERT_TRUE(waitFor([this] { return Window->Logic().RtcCheck() == TRtcCheck::Ok; }, 8000));
    EXPECT_EQ(Window->lblRTCCheck->text(), QStringLiteral("Batterie ist ok"));
}

}  // namespace
