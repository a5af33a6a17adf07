// The operation window against the virtual device in-process, wired as the main window wires
// it: serial layer, worker, status polling of client 0 and the dispatch of finished orders.

#include "bedientestutil.h"
#include "devicecommthread.h"
#include "devicestatus.h"
#include "presetmodel.h"
#include "sarvikchart.h"
#include "serialport.h"
#include "tfbedien.h"
#include "virtualsarvik.h"
#include "waitfor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <mutex>

namespace {

constexpr int kStatusTickMs = 50;
constexpr int kOnlineTimeoutMs = 15000;
constexpr int kTestRunTimeoutMs = 90000;

class operation_Device : public ::testing::Test {
protected:
    void startRig(double speed, bool serviceMode)
    {
        ASSERT_TRUE(FRoot.isValid());
        TVirtualSarvikOptions o;
        o.root = FRoot.path();
        o.speed = speed;
        o.seed = 7;
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
            FSent << CommandOf(order);
            FWorker->AddOrder(order);
        });
        FWorker->Start();
        Window = std::make_unique<TfBedien>(Env.Context);
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            FStatus->Tick(kStatusTickMs);
            if (Window->isVisible())
                Window->TimerEvent(kStatusTickMs);
        });
        FTimer.start(kStatusTickMs);
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

    // As the main window routes finished orders.
    void dispatch(const TOrder& order)
    {
        if (order.Sender == ciMain) {
            FStatus->ProcessStatusAnswer(order);
            return;
        }
        if (order.Sender == ciBedien && Window && Window->isVisible())
            Window->RXData(order.Status, order.TXTag, FromWire(order.RXData));
        if (order.Status == kOrderDone
            && (order.RXData.contains("TIS") || order.RXData.contains("TAS") || order.RXData.contains("TAH")))
            FStatus->ProcessStatusAnswer(order);
    }

    bool showAndWaitForPresets()
    {
        Window->show();
        return waitFor([this] { return Env.Context.Online && Window->cbPreset->count() == kPresetCount; },
                       kOnlineTimeoutMs);
    }

    int channelState(int c) const { return FDevice->status().channels[static_cast<size_t>(c)].state; }

    TBedienTestEnv Env;
    QTemporaryDir FRoot;
    std::unique_ptr<TVirtualSarvik> FDevice;
    TfRS232 FSerial;
    std::unique_ptr<TDeviceCommThread> FWorker;
    std::unique_ptr<TDeviceStatus> FStatus;
    std::unique_ptr<TfBedien> Window;
    QTimer FTimer;
    QStringList FSent;
};

TEST_F(operation_Device, presetsArrive_startShowsLiveValues_stopAndSecondStartRefused)
{
    Env.Settings.SetInt(QStringLiteral("Control/LastPreset"), 2);
    startRig(1.0, false);
    // Preset 3 becomes the "Innen" of the device's documentation.
    TPreSet innen;
    innen.ilfdNr = 3;
    innen.strBez = QStringLiteral("Innen");
    innen.iLoginterv = 60;
    innen.aSet[0] = TSampleSet{true, 1.5f, 120.0f, 0, 0, 0, false, true, kVolTypeSL};
    ASSERT_TRUE(BuildPresetCommand(innen, true));

    ASSERT_TRUE(showAndWaitForPresets());
    ASSERT_TRUE(waitFor([this] { return Window->cbPreset->currentIndex() == 2; }));
    EXPECT_EQ(Window->cbPreset->currentText(), QStringLiteral(" 3: Innen"));
    EXPECT_EQ(Window->lblPresVol[0]->text(), QStringLiteral("120,0 SL"));
    EXPECT_EQ(Window->lblPresDauer[0]->text(), QStringLiteral("01:20 h:m"));
    EXPECT_EQ(Window->lblPresDauer[1]->text(), QStringLiteral("Inaktiv"));
    ASSERT_TRUE(waitFor([this] { return Window->lblSampStatus[0]->text() == QStringLiteral("Bereit"); }));

    Window->actStart->trigger();
    ASSERT_TRUE(waitFor([this] { return Window->FStatusText == QStringLiteral("Probenahme gestartet"); }));
    EXPECT_EQ(Env.Settings.GetInt(QStringLiteral("Control/LastPreset")), 2);
    ASSERT_TRUE(waitFor([this] { return Window->lblSampVol[0]->text().endsWith(QStringLiteral(" SL")); }));
    EXPECT_EQ(Window->lblSampStatus[0]->text(), QStringLiteral("Aktiv"));
    EXPECT_EQ(Window->lblSampStatus[1]->text(), QStringLiteral("Inaktiv"));
    EXPECT_TRUE(Window->lblSampFlow[0]->text().endsWith(QStringLiteral(" SL/min")));
    EXPECT_TRUE(Window->lblSampFlow[0]->text().startsWith(QStringLiteral("1,")))
        << Window->lblSampFlow[0]->text().toStdString();
    EXPECT_EQ(Window->lblSampVol[1]->text(), QStringLiteral("---"));

    // The volume grows with the polls, about two of them a second.
    const QString volume = Window->lblSampVol[0]->text();
    FSent.clear();
    spinFor(3000);
    const qsizetype polls = FSent.count(QStringLiteral("GMQ"));
    // Paced by the window's half-second poll time, not by the 50 ms ticks.
    EXPECT_GE(polls, 2);
    EXPECT_LE(polls, 7);
    EXPECT_NE(Window->lblSampVol[0]->text(), volume);

    Window->actStart->trigger();
    EXPECT_EQ(Window->FStatusText, QStringLiteral("Kein zweiter Start möglich"));
    EXPECT_TRUE(Window->FStatusAlarm);

    Window->actStop->trigger();
    ASSERT_TRUE(waitFor([this] { return Window->FStatusText == QStringLiteral("Probenahme gestoppt"); }));
    ASSERT_TRUE(waitFor([this] { return Window->lblSampStatus[0]->text() == QStringLiteral("Bereit"); }));
    EXPECT_EQ(channelState(0), 8);
    EXPECT_EQ(Window->lblSampVol[0]->text(), QStringLiteral("---"));
}

TEST_F(operation_Device, intervalPause_keepsTheLastValues)
{
    // 20 L at 1 L/min over 60 min in ten intervals: 2 min pumping, 4 min pause per interval.
    startRig(30.0, false);
    TPreSet interval;
    interval.ilfdNr = 4;
    interval.strBez = QStringLiteral("Intervall");
    interval.aSet[0] = TSampleSet{true, 1.0f, 20.0f, 0, 0, 60, true, false, kVolTypeL};
    ASSERT_TRUE(BuildPresetCommand(interval, true));
    ASSERT_TRUE(showAndWaitForPresets());
    Window->cbPreset->setCurrentIndex(3);
    Window->Logic().cbPresetSelect(3);
    EXPECT_EQ(Window->lblPresDauer[0]->text(), QStringLiteral("01:00 h:m"));
    Window->actStart->trigger();
    ASSERT_TRUE(waitFor([this] { return Window->lblSampVol[0]->text().endsWith(QStringLiteral(" L")); }));
    ASSERT_TRUE(waitFor([this] { return Window->lblSampStatus[0]->text() == QStringLiteral("Intervallpause"); }));
    const QString volume = Window->lblSampVol[0]->text();
    const QString flow = Window->lblSampFlow[0]->text();
    EXPECT_TRUE(flow.endsWith(QStringLiteral(" L/min")));
    spinFor(2000);
    ASSERT_EQ(channelState(0), 4);
    EXPECT_EQ(Window->lblSampVol[0]->text(), volume);
    EXPECT_EQ(Window->lblSampFlow[0]->text(), flow);
    Window->actStop->trigger();
}

TEST_F(operation_Device, offline_refusesStart_andShowsOffline)
{
    startRig(1.0, false);
    ASSERT_TRUE(showAndWaitForPresets());
    ASSERT_TRUE(FDevice->unplug());
    // The failed poll raises the worker's error; the main window then goes offline.
    ASSERT_TRUE(waitFor([this] { return FWorker->ComError(); }));
    Env.Context.Online = false;
    FStatus->OnOffline();
    Window->SetOnOffLine(0);
    for (size_t c = 0; c < 2; ++c) {
        EXPECT_EQ(Window->lblSampStatus[c]->text(), QStringLiteral("Offline"));
        EXPECT_EQ(Window->lblSampVol[c]->text(), QStringLiteral("---"));
        EXPECT_EQ(Window->lblSampFlow[c]->text(), QStringLiteral("---"));
    }
    FSent.clear();
    Window->Logic().actStartExecute();
    EXPECT_EQ(Window->FStatusText, QStringLiteral("Start nur online möglich"));
    EXPECT_FALSE(FSent.contains(QStringLiteral("SAS;3")));
}

TEST_F(operation_Device, testRunOfTwoCycles_writesHeaderAndTwoLines_endsGreen)
{
    startRig(30.0, true);
    // One litre at 1 L/min and half a litre at 0.5 L/min: a run of two device minutes.
    TPreSet quick;
    quick.ilfdNr = 10;
    quick.strBez = QStringLiteral("Kurztest");
    quick.aSet[0] = TSampleSet{true, 1.0f, 1.0f, 0, 0, 0, false, true, kVolTypeSL};
    quick.aSet[1] = TSampleSet{true, 0.5f, 0.5f, 0, 0, 0, false, true, kVolTypeSL};
    ASSERT_TRUE(BuildPresetCommand(quick, true));
    ASSERT_TRUE(showAndWaitForPresets());
    Window->cbPreset->setCurrentIndex(9);
    Window->Logic().cbPresetSelect(9);
    Window->eAnzStarts->setText(QStringLiteral("2"));
    Window->cbDatenSpeichern->setChecked(true);
    Window->eDatenIntervall->setText(QStringLiteral("10"));
    Window->eLogdat->setText(QStringLiteral("dauertest"));
    Window->dtpMaxStartZeit->setTime(QTime(0, 0, 10));
    Window->dtpWartezeit->setTime(QTime(0, 0, 1));
    Window->btnTeststart->click();

    ASSERT_TRUE(waitFor([this] { return Window->Logic().TestRunState() != trsIdle; }));
    ASSERT_TRUE(waitFor([this] { return Window->Logic().TestRunState() == trsIdle; }, kTestRunTimeoutMs));
    EXPECT_EQ(Window->panTestStatus->text(), QStringLiteral("Testlauf beendet"));
    EXPECT_EQ(Window->Logic().TestPanelColour(), kTestGreen);
    EXPECT_EQ(Window->eAktNr->text(), QStringLiteral("2"));
    EXPECT_EQ(FDevice->status().preset, 10);

    const QStringList lines = Env.ReadLog(QStringLiteral("dauertest.csv"));
    ASSERT_EQ(lines.size(), 3) << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral(";Nummer;Volumen;Gesamt;Akkuspannung")));
    for (int i = 1; i <= 2; ++i) {
        const QStringList f = lines[i].split(QLatin1Char(';'));
        ASSERT_EQ(f.size(), 6) << lines[i].toStdString();
        EXPECT_EQ(f[2], QString::number(i));
        EXPECT_EQ(f[3], QStringLiteral("1,50"));
        bool ok = false;
        EXPECT_GE(f[4].toInt(&ok), 0);
        EXPECT_TRUE(ok) << f[4].toStdString();
        EXPECT_TRUE(f[5].startsWith(QLatin1Char('8')) && f[5].contains(QLatin1Char(','))) << f[5].toStdString();
    }
}

TEST_F(operation_Device, acceleratedRun_fillsTheLiveChart)
{
    startRig(30.0, false);
    // Ten litres at 1 L/min on channel 1, five at 0.5 on channel 2: ten device minutes.
    TPreSet run;
    run.ilfdNr = 9;
    run.strBez = QStringLiteral("Diagramm");
    run.aSet[0] = TSampleSet{true, 1.0f, 10.0f, 0, 0, 0, false, true, kVolTypeL};
    run.aSet[1] = TSampleSet{true, 0.5f, 5.0f, 0, 0, 0, false, true, kVolTypeL};
    ASSERT_TRUE(BuildPresetCommand(run, true));
    ASSERT_TRUE(showAndWaitForPresets());
    Window->cbPreset->setCurrentIndex(8);
    Window->Logic().cbPresetSelect(8);
    ASSERT_TRUE(Window->chtFluss->isVisible());
    Window->actStart->trigger();
    constexpr int kPoints = 8;
    ASSERT_TRUE(waitFor(
        [this] {
            const TChartData& d = Window->chtFluss->Data();
            return d.Series.size() == 4 && d.Series[0].Points.size() >= kPoints && d.Series[2].Points.size() >= kPoints;
        },
        kOnlineTimeoutMs));
    const TChartData& d = Window->chtFluss->Data();
    EXPECT_EQ(d.AxisTitles[caLeft], QStringLiteral("Fluss [L/min]"));
    EXPECT_TRUE(d.Overlay.isEmpty());
    const std::array<double, 2> set{1.0, 0.5};
    for (size_t c = 0; c < 2; ++c) {
        const TChartSeries& flow = d.Series[c * 2];
        const TChartSeries& line = d.Series[c * 2 + 1];
        EXPECT_TRUE(line.Dashed);
        EXPECT_DOUBLE_EQ(line.Points.first().y(), set[c]);
        EXPECT_DOUBLE_EQ(line.Points.last().x(), flow.Points.last().x());
        for (qsizetype i = 1; i < flow.Points.size(); ++i)
            EXPECT_GT(flow.Points[i].x(), flow.Points[i - 1].x());
        // The device holds its set flow once it runs.
        EXPECT_NEAR(flow.Points.last().y(), set[c], set[c] * 0.1);
    }
    Window->actStop->trigger();
    ASSERT_TRUE(waitFor([this] { return Window->FStatusText == QStringLiteral("Probenahme gestoppt"); }));
}

}  // namespace
