// The operation window against a scripted order channel: orders are collected, answers fed to
// RXData, the device state set by hand, the clock driven by the test.

#include "bedientestutil.h"
#include "sarvikchart.h"
#include "tfbedien.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScopeGuard>
#include <QPushButton>
#include <QApplication>
#include <QTest>
#include <QTimeEdit>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

constexpr int kTickMs = 50;

// What the virtual device's factory presets look like on the wire, preset 3 replaced by "Innen".
QString presetAnswer(int n)
{
    switch (n) {
    case 3: return QStringLiteral("TSP;3;Innen;60;21;150;1200;0;0;0;0;0;0;0;");
    case 5: return QStringLiteral("TSP;5;Intervall;240;29;100;200;0;120;0;0;0;0;0;");
    case 6: return QStringLiteral("TSP;6;Halbe Stunde;0;18;100;300;90;0;0;0;0;0;0;");
    default: return QStringLiteral("TSP;%1;Programm %1;10;17;100;100;0;0;17;50;50;10;0;").arg(n);
    }
}

class operation_Window : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetOrderSink([this](const TOrder& o) { FSent.push_back(o); });
        Env.Context.Online = true;
        Window = std::make_unique<TfBedien>(Env.Context);
        Window->Logic().SetClock([this] { return FClockMs; });
        Window->SetQuestionBox([this](QWidget*, const QString& q) {
            FQuestions << q;
            return FAnswerYes;
        });
    }
    void TearDown() override
    {
        Window.reset();
        SetOrderSink({});
    }

    QStringList commands() const
    {
        QStringList list;
        for (const TOrder& o : FSent)
            list << CommandOf(o);
        return list;
    }
    // Commands sent since the last call.
    QStringList takeCommands()
    {
        const QStringList list = commands();
        FSent.clear();
        return list;
    }
    void answer(const QString& data, int status = kOrderDone, int tag = kBedienTagDefault)
    {
        Window->RXData(status, tag, data);
    }
    void showWithPresets()
    {
        Window->show();
        for (int n = 1; n <= kPresetCount; ++n)
            answer(presetAnswer(n));
        FSent.clear();
    }
    void select(int index)
    {
        Window->cbPreset->setCurrentIndex(index);
        Window->Logic().cbPresetSelect(index);
    }
    // Advances the clock by ms in main-timer ticks.
    void tick(int ms)
    {
        for (int t = 0; t < ms; t += kTickMs) {
            FClockMs += kTickMs;
            Window->TimerEvent(kTickMs);
        }
    }
    void setSampling(bool sampling, int ch1 = 3, int ch2 = 3)
    {
        TDeviceState& d = Env.Context.Device;
        d.Sampling = sampling;
        d.DeviceState = sampling ? 8 : 4;
        d.Channel1State = ch1;
        d.Channel2State = ch2;
    }
    QString statusText() const { return Window->FStatusText; }

    TBedienTestEnv Env;
    std::unique_ptr<TfBedien> Window;
    std::vector<TOrder> FSent;
    qint64 FClockMs = 1000;
    QStringList FQuestions;
    bool FAnswerYes = false;
};

TEST_F(operation_Window, show_asksForTenPresetsInOrder_andListsThem)
{
    Window->show();
    QStringList expected;
    for (int n = 1; n <= kPresetCount; ++n)
        expected << QStringLiteral("GSP;%1").arg(n);
    EXPECT_EQ(commands(), expected);
    for (const TOrder& o : FSent) {
        EXPECT_EQ(o.Sender, ciBedien);
        EXPECT_EQ(o.TXTag, kBedienTagDefault);
    }
    EXPECT_EQ(Window->cbPreset->count(), 0);
    EXPECT_EQ(Window->cbPreset->placeholderText(), QStringLiteral("--- Programm wählen ---"));
    for (int n = 1; n <= kPresetCount; ++n)
        answer(presetAnswer(n));
    ASSERT_EQ(Window->cbPreset->count(), 10);
    EXPECT_EQ(Window->cbPreset->itemText(2), QStringLiteral(" 3: Innen"));
    EXPECT_EQ(Window->cbPreset->itemText(9), QStringLiteral("10: Programm 10"));
    EXPECT_EQ(Window->windowTitle(), QStringLiteral("Fernsteuerung"));
}

TEST_F(operation_Window, refresh_selectsRememberedEntryAgain_onlyWhenItExists)
{
    struct Case {
        int remembered;
        int answered;  // presets the device knows; the others answer "?"
        int selected;
    };
    const std::vector<Case> cases = {
        {2, 10, 2},
        {9, 10, 9},
        {10, 10, -1},
        {-1, 10, -1},
        // A device without presets 9 and 10 still gets its selection back after the tenth answer.
        {1, 8, 1},
    };
    for (const Case& c : cases) {
        Env.Settings.SetInt(QStringLiteral("Control/LastPreset"), c.remembered);
        Window->Logic().cbPresetSelect(-1);
        Window->btnAktPresets->setEnabled(true);
        Window->Logic().btnAktPresetsClick();
        for (int n = 1; n <= kPresetCount; ++n)
            answer(n <= c.answered ? presetAnswer(n) : QStringLiteral("TSP;?;"));
        EXPECT_EQ(Window->cbPreset->currentIndex(), c.selected) << c.remembered;
        EXPECT_EQ(Window->Logic().SelectedIndex(), c.selected) << c.remembered;
    }
    // An answer of another window's tag or a failed one adds nothing.
    Window->Logic().btnAktPresetsClick();
    answer(presetAnswer(1), kOrderDone, 0);
    answer(presetAnswer(2), kOrderFailed);
    EXPECT_EQ(Window->cbPreset->count(), 0);
}

TEST_F(operation_Window, refreshKeepsCurrentSelection_overTheStoredOne)
{
    Env.Settings.SetInt(QStringLiteral("Control/LastPreset"), 7);
    showWithPresets();
    select(4);
    Window->Logic().btnAktPresetsClick();
    EXPECT_EQ(Window->lblPresVol[0]->text(), QStringLiteral("---"));
    for (int n = 1; n <= kPresetCount; ++n)
        answer(presetAnswer(n));
    EXPECT_EQ(Window->cbPreset->currentIndex(), 4);
}

TEST_F(operation_Window, startChecks_refuseInOrder_andSendNothing)
{
    showWithPresets();
    Env.Settings.SetInt(QStringLiteral("Control/LastPreset"), 6);
    struct Case {
        bool online;
        bool sampling;
        int selection;
        QString message;
    };
    const std::vector<Case> cases = {
        {false, true, -1, QStringLiteral("Start nur online möglich")},
        {true, true, -1, QStringLiteral("Kein zweiter Start möglich")},
        {true, false, -1, QStringLiteral("Keine Voreinstellung ausgewählt")},
    };
    for (const Case& c : cases) {
        Env.Context.Online = c.online;
        setSampling(c.sampling);
        select(c.selection);
        Window->Logic().actStartExecute();
        EXPECT_EQ(statusText(), c.message);
        EXPECT_TRUE(Window->FStatusAlarm);
        EXPECT_TRUE(commands().isEmpty()) << c.message;
    }
    EXPECT_EQ(Env.Settings.GetInt(QStringLiteral("Control/LastPreset")), 6);
}

TEST_F(operation_Window, start_sendsSelectedPresetNumber_andRemembersIt)
{
    showWithPresets();
    // Without preset 4 the entries no longer match the numbers: entry 3 is preset 5.
    Window->Logic().btnAktPresetsClick();
    for (int n = 1; n <= kPresetCount; ++n)
        answer(n == 4 ? QStringLiteral("TSP;?;") : presetAnswer(n));
    FSent.clear();
    select(3);
    Window->Logic().actStartExecute();
    ASSERT_EQ(commands(), QStringList{QStringLiteral("SAS;5")});
    EXPECT_EQ(FSent[0].TXTag, kBedienTagDefault);
    EXPECT_EQ(Env.Settings.GetInt(QStringLiteral("Control/LastPreset")), 3);

    struct Case {
        int status;
        QString data;
        QString text;
        bool alarm;
    };
    const std::vector<Case> cases = {
        {kOrderDone, QStringLiteral("TAS;0;"), QStringLiteral("Probenahme gestartet"), false},
        {kOrderDone, QStringLiteral("TAS;"), QStringLiteral("Probenahme gestartet"), false},
        {kOrderDone, QStringLiteral("TAS;3;"), QStringLiteral("Fehler beim Starten der Probenahme"), true},
        {kOrderFailed, QString(), QStringLiteral("Fehler beim Starten der Probenahme"), true},
        {kOrderDone, QStringLiteral("TAH;0;"), QStringLiteral("Probenahme gestoppt"), false},
        {kOrderFailed, QStringLiteral("TAH"), QStringLiteral("Fehler beim Stoppen der Probenahme"), true},
        {kOrderDone, QStringLiteral("TAO;0;"), QStringLiteral("Sarvik2V2 wird ausgeschaltet"), false},
        {kOrderDone, QStringLiteral("TAO;1;"), QStringLiteral("Fehler 1 beim Ausschalten von Sarvik2V2"), true},
    };
    for (const Case& c : cases) {
        // A failed order's payload is what came back, if anything; the answer word decides.
        answer(c.data.isEmpty() ? QStringLiteral("TAS") : c.data, c.status);
        EXPECT_EQ(statusText(), c.text) << c.data;
        EXPECT_EQ(Window->FStatusAlarm, c.alarm) << c.data;
    }
    // A failed TAO is left to the link; an unknown answer word is ignored.
    Window->ShowStatusInfo(QStringLiteral("x"));
    answer(QStringLiteral("TAO;1;"), kOrderFailed);
    answer(QStringLiteral("TXX;1;"));
    EXPECT_EQ(statusText(), QStringLiteral("x"));
}

TEST_F(operation_Window, failedOrderWithoutPayload_isReportedByWhatWasSent)
{
    showWithPresets();
    select(2);
    const QString kStartFailed = QStringLiteral("Fehler beim Starten der Probenahme");
    const QString kStopFailed = QStringLiteral("Fehler beim Stoppen der Probenahme");
    // What the link hands back for a failed order: status 14, the order's tag, no payload.
    auto fail = [this](int tag) { answer(QString(), kOrderFailed, tag); };
    auto clearStatus = [this] { Window->ShowStatusInfo(QStringLiteral("x")); };

    // The start alone in flight.
    Window->Logic().actStartExecute();
    clearStatus();
    fail(kBedienTagDefault);
    EXPECT_EQ(statusText(), kStartFailed);
    EXPECT_TRUE(Window->FStatusAlarm);

    // Stop, with a measuring poll (another tag) queued in front of it and answered.
    setSampling(true);
    tick(kTickMs);
    ASSERT_TRUE(commands().contains(QStringLiteral("GMQ")));
    Window->Logic().actStopExecute();
    clearStatus();
    answer(QStringLiteral("TMQ;0.95;1.00;1;0;0;0;"), kOrderDone, kBedienTagMeasure);
    fail(kBedienTagStop);
    EXPECT_EQ(statusText(), kStopFailed);
    setSampling(false);

    // The start queued behind a preset query that fails: the query's failure is left to the
    // link, and the start it dropped says nothing; the next start that fails is reported.
    Window->Logic().btnAktPresetsClick();
    for (int n = 1; n < kPresetCount; ++n)
        answer(presetAnswer(n));
    select(2);
    Window->Logic().actStartExecute();
    ASSERT_EQ(commands().last(), QStringLiteral("SAS;3"));
    clearStatus();
    fail(kBedienTagDefault);
    EXPECT_EQ(statusText(), QStringLiteral("x")) << "the failed order was GSP;10";
    Env.Context.Online = false;
    Window->Logic().SetOnOffLine(0);
    Env.Context.Online = true;
    Window->Logic().SetOnOffLine(1);
    for (int n = 1; n <= kPresetCount; ++n)
        answer(presetAnswer(n));
    select(2);
    Window->Logic().actStartExecute();
    clearStatus();
    fail(kBedienTagDefault);
    EXPECT_EQ(statusText(), kStartFailed);

    // A failed switch-off is left to the link; so is a failure nothing of ours was waiting for.
    FAnswerYes = true;
    Window->actAusschalten->trigger();
    clearStatus();
    fail(kBedienTagDefault);
    fail(kBedienTagStop);
    EXPECT_EQ(statusText(), QStringLiteral("x"));
}

TEST_F(operation_Window, stopAndSwitchOff_sendTheirCommands_switchOffOnlyAfterYes)
{
    showWithPresets();
    Window->Logic().actStopExecute();
    ASSERT_EQ(commands(), QStringList{QStringLiteral("SAH")});
    EXPECT_EQ(FSent[0].TXTag, kBedienTagStop);
    FSent.clear();
    Window->actAusschalten->trigger();
    EXPECT_EQ(FQuestions, QStringList{QStringLiteral("Sarvik2V2 wirklich ausschalten?")});
    EXPECT_TRUE(commands().isEmpty());
    FAnswerYes = true;
    Window->actAusschalten->trigger();
    EXPECT_EQ(commands(), QStringList{QStringLiteral("SAO;428;617")});
}

TEST_F(operation_Window, channelStates_followTheStatusAnswer)
{
    showWithPresets();
    struct Case {
        bool online;
        bool sampling;
        int state;
        int errorWord;
        QString text;
        bool keepsValues;
    };
    const std::vector<Case> cases = {
        {false, false, 3, 0, QStringLiteral("Offline"), false},
        {true, true, 0, 0, QStringLiteral("Gestört"), false},
        {true, true, 1, 0, QStringLiteral("Inaktiv"), false},
        {true, true, 2, 0, QStringLiteral("Wartet"), false},
        {true, true, 3, 0, QStringLiteral("Aktiv"), true},
        {true, true, 4, 0, QStringLiteral("Intervallpause"), true},
        {true, true, 5, 0, QStringLiteral("Pause"), false},
        {true, true, 6, 0, QStringLiteral("Beendet"), false},
        {true, true, 7, 0, QStringLiteral("Gestört"), false},
        {true, true, 8, 0, QStringLiteral("Abgebrochen"), false},
        {true, true, 9, 0, QString(), false},
        {true, false, 3, 1, QStringLiteral("Gestört"), false},
        {true, false, 3, 0, QStringLiteral("Bereit"), false},
    };
    for (const Case& c : cases) {
        Env.Context.Online = c.online;
        setSampling(c.sampling, c.state, c.state);
        Env.Context.Device.ErrorWord2 = c.errorWord;
        Env.Context.Device.ErrorWord3 = 0;
        Window->lblSampVol[0]->setText(QStringLiteral("old"));
        Window->Logic().ShowChannelStates();
        EXPECT_EQ(Window->lblSampStatus[0]->text(), c.text) << c.state;
        const QString expected = c.keepsValues ? Window->Logic().Channels()[0].Volume : QStringLiteral("---");
        EXPECT_EQ(Window->lblSampVol[0]->text(), expected) << c.state;
        if (!c.keepsValues) {
            EXPECT_EQ(Window->lblSampFlow[0]->text(), QStringLiteral("---")) << c.state;
        }
    }
    // Not sampling, a fault on channel 2 only.
    setSampling(false);
    Env.Context.Device.ErrorWord2 = 0;
    Env.Context.Device.ErrorWord3 = 4;
    Window->Logic().ShowChannelStates();
    EXPECT_EQ(Window->lblSampStatus[0]->text(), QStringLiteral("Bereit"));
    EXPECT_EQ(Window->lblSampStatus[1]->text(), QStringLiteral("Gestört"));
    for (size_t c = 0; c < 2; ++c) {
        EXPECT_EQ(Window->lblSampVol[c]->text(), QStringLiteral("---"));
        EXPECT_EQ(Window->lblSampFlow[c]->text(), QStringLiteral("---"));
    }
}

TEST_F(operation_Window, liveValues_shownWhileActive_keptInIntervalPause)
{
    showWithPresets();
    setSampling(true, 3, 1);
    Window->Logic().ShowChannelStates();
    answer(QStringLiteral("TMQ;0.95;12.40;1;0.50;3.00;0;"), kOrderDone, kBedienTagMeasure);
    EXPECT_EQ(Window->lblSampFlow[0]->text(), QStringLiteral("0,95 SL/min"));
    EXPECT_EQ(Window->lblSampVol[0]->text(), QStringLiteral("12,40 SL"));
    // Channel 2 is not active: its labels stay as the state left them.
    EXPECT_EQ(Window->lblSampVol[1]->text(), QStringLiteral("---"));
    // Fields that do not parse leave their label; a missing type drops the unit.
    answer(QStringLiteral("TMQ;x;12.5;?;"), kOrderDone, kBedienTagMeasure);
    EXPECT_EQ(Window->lblSampFlow[0]->text(), QStringLiteral("0,95 SL/min"));
    EXPECT_EQ(Window->lblSampVol[0]->text(), QStringLiteral("12,50"));
    answer(QStringLiteral("TMQ;0.95;12.40;2;"), kOrderFailed, kBedienTagMeasure);
    EXPECT_EQ(Window->lblSampVol[0]->text(), QStringLiteral("12,50"));

    setSampling(true, 4, 1);
    Window->Logic().ShowChannelStates();
    answer(QStringLiteral("TMQ;0.00;13.00;1;0;0;0;"), kOrderDone, kBedienTagMeasure);
    EXPECT_EQ(Window->lblSampStatus[0]->text(), QStringLiteral("Intervallpause"));
    EXPECT_EQ(Window->lblSampFlow[0]->text(), QStringLiteral("0,95 SL/min"));
    EXPECT_EQ(Window->lblSampVol[0]->text(), QStringLiteral("12,50"));
    setSampling(true, 3, 1);
    answer(QStringLiteral("TMQ;0.97;13.10;1;0;0;0;"), kOrderDone, kBedienTagMeasure);
    EXPECT_EQ(Window->lblSampVol[0]->text(), QStringLiteral("13,10 SL"));
}

TEST_F(operation_Window, measurePoll_twiceASecond_onlyOpenOnlineAndSampling)
{
    showWithPresets();
    auto gmqIn = [this](int ms) {
        FSent.clear();
        tick(ms);
        return static_cast<int>(commands().count(QStringLiteral("GMQ")));
    };
    setSampling(true);
    EXPECT_EQ(gmqIn(2000), 4);
    for (const TOrder& o : FSent)
        EXPECT_EQ(o.TXTag, kBedienTagMeasure);
    setSampling(false);
    EXPECT_EQ(gmqIn(2000), 0);
    setSampling(true);
    Env.Context.Online = false;
    EXPECT_EQ(gmqIn(2000), 0);
    Env.Context.Online = true;
    Window->close();
    EXPECT_EQ(gmqIn(2000), 0);
}

TEST_F(operation_Window, minimisedInTheMdiArea_keepsPolling_andRestoreIsNoNewShow)
{
    QMdiArea mdi;
    // The window belongs to its frame from here on; it must go before the area does.
    const auto release = qScopeGuard([this] { Window.reset(); });
    QMdiSubWindow* frame = mdi.addSubWindow(Window.get());
    mdi.show();
    frame->show();
    ASSERT_TRUE(Window->IsOpen());
    ASSERT_EQ(commands().count(QStringLiteral("GSP;1")), 1);
    for (int n = 1; n <= kPresetCount; ++n)
        answer(presetAnswer(n));
    select(2);
    FSent.clear();

    frame->showMinimized();
    ASSERT_TRUE(frame->isMinimized());
    ASSERT_FALSE(Window->isVisible()) << "the inner widget of a minimised frame counts as hidden";
    setSampling(true);
    tick(2000);
    EXPECT_EQ(takeCommands().count(QStringLiteral("GMQ")), 4);

    frame->showNormal();
    ASSERT_TRUE(Window->isVisible());
    EXPECT_EQ(takeCommands().count(QStringLiteral("GSP;1")), 0) << "a restore is no new show";
    EXPECT_EQ(Window->Logic().SelectedIndex(), 2);
    EXPECT_EQ(Window->cbPreset->count(), kPresetCount);
}

TEST_F(operation_Window, firstOpen_sizeGivesWayToTheWindowsOwnPreferredSize)
{
    Env.Context.ServiceMode = true;
    QMdiArea mdi;
    const auto release = qScopeGuard([this] { Window.reset(); });
    mdi.resize(1600, 1200);
    QMdiSubWindow* frame = mdi.addSubWindow(Window.get());
    // The size it was first seen at in service mode, with the test-run fields 1 pixel high.
    Env.Settings.SetInt(WinPosPath(ciBedien, "Width"), 366);
    Env.Settings.SetInt(WinPosPath(ciBedien, "Height"), 406);
    mdi.show();
    frame->show();
    QCoreApplication::sendPostedEvents();
    ASSERT_TRUE(Window->gbTestlauf->isVisible());
    EXPECT_GE(frame->width(), frame->sizeHint().width());
    EXPECT_GE(frame->height(), frame->sizeHint().height());
    for (QWidget* field : std::initializer_list<QWidget*>{Window->eAnzStarts, Window->eAktNr, Window->eDatenIntervall,
                                                          Window->eLogdat, Window->dtpMaxStartZeit, Window->dtpWartezeit}) {
        EXPECT_GE(field->height(), field->sizeHint().height()) << field->objectName().toStdString();
    }

    // A stored size above the preferred one is the user's and stays.
    Env.Settings.SetInt(WinPosPath(ciBedien, "Width"), 1200);
    Env.Settings.SetInt(WinPosPath(ciBedien, "Height"), 1000);
    Window->RestoreGeometry();
    EXPECT_EQ(frame->size(), QSize(1200, 1000));
}

TEST_F(operation_Window, presetDisplay_showsTheSelectedPreset)
{
    Env.Settings.SetInt(QStringLiteral("Control/LastPreset"), 10);
    showWithPresets();
    auto labels = [this](size_t c) {
        return QStringList{Window->lblPresVol[c]->text(), Window->lblPresFlow[c]->text(),
                           Window->lblPresDauer[c]->text(), Window->lblPresVerz[c]->text(),
                           Window->lblPresLogInterv[c]->text()};
    };
    const QStringList none(5, QStringLiteral("---"));
    EXPECT_EQ(labels(0), none);
    EXPECT_FALSE(Window->imgFlowMonitor[0]->isVisibleTo(Window.get()));

    select(2);  // Innen
    EXPECT_EQ(labels(0), (QStringList{QStringLiteral("120,0 SL"), QStringLiteral("1,50 SL/min"),
                                      QStringLiteral("01:20 h:m"), QStringLiteral("Aus"), QStringLiteral("60 s")}));
    EXPECT_TRUE(Window->imgFlowMonitor[0]->isVisibleTo(Window.get()));
    EXPECT_FALSE(Window->imgIntervalMode[0]->isVisibleTo(Window.get()));
    EXPECT_EQ(labels(1), (QStringList{QString(), QString(), QStringLiteral("Inaktiv"), QString(), QString()}));
    EXPECT_FALSE(Window->imgFlowMonitor[1]->isVisibleTo(Window.get()));

    select(4);  // interval mode, set time 120 min
    EXPECT_EQ(Window->lblPresDauer[0]->text(), QStringLiteral("02:00 h:m"));
    EXPECT_TRUE(Window->imgIntervalMode[0]->isVisibleTo(Window.get()));
    EXPECT_EQ(Window->lblPresLogInterv[0]->text(), QStringLiteral("240 s"));

    select(5);  // 30.0 L at 1.00 L/min: 1800 s, start delay 90 s, log interval off
    EXPECT_EQ(labels(0), (QStringList{QStringLiteral("30,0 L"), QStringLiteral("1,00 L/min"),
                                      QStringLiteral("30:00 m:s"), QStringLiteral("01:30 m:s"), QStringLiteral("Aus")}));

    select(-1);
    EXPECT_EQ(labels(0), none);
    EXPECT_EQ(labels(1), none);
}

TEST_F(operation_Window, switchLanguage_retranslatesTextsAndNumbers)
{
    showWithPresets();
    select(2);
    ASSERT_TRUE(SetProgramLanguage(kLangEnglish));
    Window->SwitchLanguage();
    SetProgramLanguage(kLangGerman);
    EXPECT_EQ(Window->windowTitle(), QStringLiteral("Remote control"));
    EXPECT_EQ(Window->lblPresVol[0]->text(), QStringLiteral("120.0 SL"));
    EXPECT_EQ(Window->lblPresVerz[0]->text(), QStringLiteral("Off"));
    EXPECT_EQ(Window->lblPresDauer[1]->text(), QStringLiteral("Inactive"));
    EXPECT_EQ(Window->lblSampStatus[0]->text(), QStringLiteral("Ready"));
}

TEST_F(operation_Window, onOffLine_enablesControls_andRefreshesWhenComingOnline)
{
    Env.Context.Online = false;
    Window->show();
    FSent.clear();
    Window->SetOnOffLine(0);
    EXPECT_FALSE(Window->btnAktPresets->isEnabled());
    EXPECT_FALSE(Window->actStart->isEnabled());
    EXPECT_FALSE(Window->btnTeststart->isEnabled());
    EXPECT_EQ(Window->lblSampStatus[1]->text(), QStringLiteral("Offline"));
    EXPECT_EQ(Window->lblSampFlow[1]->text(), QStringLiteral("---"));
    EXPECT_TRUE(commands().isEmpty());

    Env.Context.Online = true;
    Window->SetOnOffLine(1);
    EXPECT_EQ(commands().size(), 10);
    EXPECT_TRUE(Window->btnAktPresets->isEnabled());
    EXPECT_TRUE(Window->actStart->isEnabled());
    EXPECT_TRUE(Window->actStop->isEnabled());
    EXPECT_TRUE(Window->actAusschalten->isEnabled());
    EXPECT_TRUE(Window->btnTeststart->isEnabled());
    EXPECT_EQ(Window->lblSampStatus[0]->text(), QStringLiteral("Bereit"));
    // Already enabled: another online notice does not fetch again.
    FSent.clear();
    Window->SetOnOffLine(1);
    EXPECT_TRUE(commands().isEmpty());
}

TEST_F(operation_Window, functionKeys_startAndStop)
{
    showWithPresets();
    select(2);
    Window->activateWindow();
    QTest::keyClick(Window->cbPreset, Qt::Key_F4);
    QTest::keyClick(Window->cbPreset, Qt::Key_F5);
    EXPECT_EQ(commands(), (QStringList{QStringLiteral("SAS;3"), QStringLiteral("SAH")}));
}

TEST_F(operation_Window, enter_movesToTheNextControl_andClearsTheStatusLine)
{
    Env.Context.ServiceMode = true;
    showWithPresets();
    Window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
    Window->eAnzStarts->setFocus();
    Window->ShowStatus(QStringLiteral("alt"), true);
    QTest::keyClick(Window->eAnzStarts, Qt::Key_Return);
    EXPECT_TRUE(statusText().isEmpty());
    EXPECT_NE(QApplication::focusWidget(), Window->eAnzStarts);
    EXPECT_EQ(commands(), QStringList{});
}

TEST_F(operation_Window, testGroup_onlyInServiceMode)
{
    Window->show();
    EXPECT_FALSE(Window->gbTestlauf->isVisible());
    Window->hide();
    Env.Context.ServiceMode = true;
    Window->show();
    EXPECT_TRUE(Window->gbTestlauf->isVisible());
}

TEST_F(operation_Window, logFileName_refusesSpecialCharacters)
{
    Env.Context.ServiceMode = true;
    showWithPresets();
    QTest::keyClicks(Window->eLogdat, QStringLiteral("ab*"));
    EXPECT_EQ(Window->eLogdat->text(), QStringLiteral("ab"));
    EXPECT_EQ(statusText(), QStringLiteral("Keine Dateisonderzeichen!"));
    EXPECT_TRUE(Window->FStatusAlarm);
    QTest::keyClick(Window->eLogdat, Qt::Key_Backspace);
    EXPECT_EQ(statusText(), QString());
    EXPECT_EQ(Window->eLogdat->text(), QStringLiteral("a"));
    for (QChar c : QStringLiteral("*()/\\?#+:\u00b4`^\u00b0"))
        EXPECT_TRUE(TBedienLogic::IsFileSpecialChar(c)) << int(c.unicode());
    EXPECT_FALSE(TBedienLogic::IsFileSpecialChar(QLatin1Char('_')));
}

TEST_F(operation_Window, dataInterval_storesIntegers_restoresOtherwise)
{
    TBedienLogic& logic = Window->Logic();
    EXPECT_EQ(logic.eDatenIntervallExit(QStringLiteral("25")), QStringLiteral("25"));
    EXPECT_EQ(Env.Settings.GetInt(QStringLiteral("Control/Interval")), 25);
    EXPECT_EQ(logic.eDatenIntervallExit(QString()), QStringLiteral("25"));
    EXPECT_EQ(logic.eDatenIntervallExit(QStringLiteral("1x")), QStringLiteral("25"));
    EXPECT_EQ(Env.Settings.GetInt(QStringLiteral("Control/Interval")), 25);
}

// ---- test run ----

class operation_TestRun : public operation_Window {
protected:
    void SetUp() override
    {
        operation_Window::SetUp();
        Env.Context.ServiceMode = true;
        showWithPresets();
        select(2);
    }
    void setInput(const QString& starts, bool save, const QString& name = QStringLiteral("lauf"),
                  int maxStartS = 20, int waitS = 5)
    {
        Window->eAnzStarts->setText(starts);
        Window->cbDatenSpeichern->setChecked(save);
        Window->eDatenIntervall->setText(QStringLiteral("10"));
        Window->eLogdat->setText(name);
        Window->dtpMaxStartZeit->setTime(QTime(0, 0).addSecs(maxStartS));
        Window->dtpWartezeit->setTime(QTime(0, 0).addSecs(waitS));
    }
    void startRun()
    {
        Window->btnTeststart->click();
        tick(kTickMs * 2);
    }
    // The device reports the run until it ends.
    void runCycle(double ch1Volume, double ch2Volume)
    {
        setSampling(true);
        tick(1000);
        answer(QStringLiteral("TMQ;1.00;%1;1;0.50;%2;1;").arg(ch1Volume / 2).arg(ch2Volume / 2), kOrderDone,
               kBedienTagMeasure);
        answer(QStringLiteral("TMQ;1.00;%1;1;0.50;%2;1;").arg(ch1Volume).arg(ch2Volume), kOrderDone,
               kBedienTagMeasure);
        setSampling(false, 6, 6);
        tick(kTickMs);
    }
    QString panel() const { return Window->panTestStatus->text(); }
    // Start and stop commands sent since the last call (the measure polls left out).
    QStringList takeStartStop() { return takeCommands().filter(QRegularExpression(QStringLiteral("^SA[SH]"))); }
    QColor panelColour() const { return Window->panTestStatus->palette().color(QPalette::Window); }
    int state() { return Window->Logic().TestRunState(); }
};

TEST_F(operation_TestRun, badSetup_staysIdle_andSendsNothing)
{
    struct Case {
        QString starts;
        bool save;
        QString interval;
        QString name;
    };
    const std::vector<Case> cases = {
        {QString(), false, QStringLiteral("10"), QString()},
        {QStringLiteral("0"), false, QStringLiteral("10"), QString()},
        {QStringLiteral("2"), true, QStringLiteral("0"), QString()},
        {QStringLiteral("2"), true, QStringLiteral("10"), QStringLiteral("../x")},
    };
    for (const Case& c : cases) {
        TTestRunInput input;
        input.AnzStarts = c.starts;
        input.DatenSpeichern = c.save;
        input.DatenIntervall = c.interval;
        input.Logdat = c.name;
        Window->Logic().SetTestRunInput(input);
        Window->Logic().btnTeststartClick();
        tick(kTickMs * 2);
        EXPECT_EQ(state(), trsIdle) << c.starts;
        EXPECT_TRUE(Window->btnTeststart->isEnabled());
        EXPECT_TRUE(commands().isEmpty()) << c.starts;
    }
    EXPECT_TRUE(Env.LogFiles().isEmpty());
}

TEST_F(operation_TestRun, cyclesEndToEnd_writeHeaderAndDataLines_endGreen)
{
    setInput(QStringLiteral("2"), true, QString());
    startRun();
    const QString dataFile = QStringLiteral("Test_") + QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))
                             + QStringLiteral(".CSV");
    EXPECT_EQ(Window->eLogdat->text() + QStringLiteral(".CSV"), dataFile);
    EXPECT_FALSE(Window->btnTeststart->isEnabled());
    EXPECT_TRUE(Window->btnAbbruch->isEnabled());
    EXPECT_EQ(takeCommands(), QStringList{QStringLiteral("SAS;3")});
    EXPECT_EQ(panel(), QStringLiteral("Start"));
    EXPECT_EQ(panelColour(), kTestYellow);

    for (int cycle = 1; cycle <= 2; ++cycle) {
        runCycle(1.0 * cycle, 0.5);
        EXPECT_EQ(state(), trsRecording);
        const QStringList sent = takeCommands();
        ASSERT_GE(sent.size(), 3);
        EXPECT_EQ(sent.mid(sent.size() - 3),
                  (QStringList{QStringLiteral("GMQ"), QStringLiteral("GIO"), QStringLiteral("GIB")}));
        answer(QStringLiteral("TMQ;0.00;%1;1;0.00;0.50;1;").arg(1.0 * cycle), kOrderDone, kBedienTagMeasure);
        answer(QStringLiteral("TIO;0012:34;7;12;%1;").arg(100 + cycle), kOrderDone, kBedienTagTotals);
        answer(QStringLiteral("TIB;8.25;45;4;90;0;3.04;01.01.2026;"), kOrderDone, kBedienTagTotals);
        EXPECT_EQ(Window->eAktNr->text(), QString::number(cycle));
        // "Wartezeit nach Probenahme" (5 s) before the next start.
        tick(4000);
        EXPECT_TRUE(takeCommands().filter(QStringLiteral("SAS")).isEmpty());
        tick(1500);
        if (cycle == 1) {
            EXPECT_EQ(takeCommands().filter(QStringLiteral("SAS")), QStringList{QStringLiteral("SAS;3")});
        }
    }
    EXPECT_EQ(state(), trsIdle);
    EXPECT_EQ(panel(), QStringLiteral("Testlauf beendet"));
    EXPECT_EQ(panelColour(), kTestGreen);
    EXPECT_TRUE(Window->btnTeststart->isEnabled());
    EXPECT_FALSE(Window->btnPause->isEnabled());

    const QStringList lines = Env.ReadLog(dataFile);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral(";Nummer;Volumen;Gesamt;Akkuspannung")));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(";1;1,50;101;8,25"))) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral(";2;2,50;102;8,25"))) << lines[2].toStdString();
    const QStringList daily = Env.LogFiles().filter(QStringLiteral("TEST"));
    ASSERT_EQ(daily.size(), 1);
    EXPECT_TRUE(Env.ReadLog(daily[0]).last().endsWith(QStringLiteral("Testlauf beendet")));
}

TEST_F(operation_TestRun, withoutSaving_noFilesAndNoTotals)
{
    setInput(QStringLiteral("1"), false, QString(), 20, 0);
    startRun();
    takeCommands();
    runCycle(1.0, 0.5);
    tick(kTickMs * 2);
    EXPECT_EQ(takeCommands().filter(QRegularExpression(QStringLiteral("^GI[OB]"))), QStringList{});
    EXPECT_EQ(panel(), QStringLiteral("Testlauf beendet"));
    EXPECT_TRUE(Window->eLogdat->text().isEmpty());
    EXPECT_TRUE(Env.LogFiles().isEmpty());
}

TEST_F(operation_TestRun, deviceDoesNotStart_endsRedAfterTheWait)
{
    setInput(QStringLiteral("3"), true, QStringLiteral("lauf"), 10);
    startRun();
    tick(9500);
    EXPECT_EQ(state(), trsStarted);
    tick(1000);
    EXPECT_EQ(state(), trsIdle);
    EXPECT_EQ(panel(), QStringLiteral("Probenahme nicht angelaufen"));
    EXPECT_EQ(panelColour(), kTestRed);
    EXPECT_EQ(statusText(), QStringLiteral("Probenahme nicht angelaufen"));
    EXPECT_EQ(Env.ReadLog(QStringLiteral("lauf.csv")).size(), 1);
}

TEST_F(operation_TestRun, dataFile_keepsOneNameWhateverTheCase)
{
    const QString dayName = QStringLiteral("Test_") + QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
    auto runAndAbort = [this](const QString& name) {
        setInput(QStringLiteral("3"), true, name);
        startRun();
        Window->btnAbbruch->click();
        tick(kTickMs);
        ASSERT_EQ(state(), trsIdle);
    };
    struct Case {
        const char* name;
        QString field;     // what eLogdat holds at the start
        QString existing;  // a file in the log folder before the run, if any
        QString file;      // where the header goes
    };
    const std::vector<Case> cases = {
        {"empty field: the day's file", QString(), QString(), dayName + QStringLiteral(".CSV")},
        {"the day's name left in the field", dayName, dayName + QStringLiteral(".CSV"), dayName + QStringLiteral(".CSV")},
        {"the day's name typed in lower case", dayName.toLower(), dayName + QStringLiteral(".CSV"),
         dayName + QStringLiteral(".CSV")},
        {"an own name", QStringLiteral("lauf"), QString(), QStringLiteral("lauf.csv")},
        {"an own name that exists in other case", QStringLiteral("Dauer"), QStringLiteral("DAUER.CSV"),
         QStringLiteral("DAUER.CSV")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString& f : Env.LogFiles())
            QFile::remove(QDir(Env.LogDir.path()).filePath(f));
        int before = 0;
        if (!c.existing.isEmpty()) {
            QFile f(QDir(Env.LogDir.path()).filePath(c.existing));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("10.12.2026;08:00:00,000;Nummer;Volumen;Gesamt;Akkuspannung\n");
            before = 1;
        }
        runAndAbort(c.field);
        const QStringList data = Env.LogFiles().filter(QRegularExpression(QStringLiteral("\\.csv$"),
                                                                          QRegularExpression::CaseInsensitiveOption));
        EXPECT_EQ(data, QStringList{c.file});
        EXPECT_EQ(Env.ReadLog(c.file).size(), before + 1);
    }
}

TEST_F(operation_TestRun, startRefusedLocally_endsTheRunWithTheReason)
{
    setInput(QStringLiteral("3"), false);
    select(-1);
    startRun();
    EXPECT_EQ(state(), trsIdle);
    EXPECT_EQ(panel(), QStringLiteral("Keine Voreinstellung ausgewählt"));
    EXPECT_EQ(panelColour(), kTestRed);
}

TEST_F(operation_TestRun, alarm_stopsWaitsAndStartsAgain_abortWorksWhileWaiting)
{
    setInput(QStringLiteral("3"), true);
    startRun();
    setSampling(true);
    tick(1000);
    takeStartStop();
    Env.Context.Device.AlarmActive = true;
    Env.Context.Device.AlarmCode = 2;
    tick(kTickMs);
    EXPECT_EQ(takeStartStop(), QStringList{QStringLiteral("SAH")});
    EXPECT_EQ(state(), trsAlarmWait);
    EXPECT_EQ(panel(), QStringLiteral("Warte auf Alarm-Ende"));
    EXPECT_EQ(panelColour(), kTestRed);
    setSampling(false, 7, 7);
    // Stop again after 3 s, then every 10 s while the alarm stays.
    tick(2900);
    EXPECT_TRUE(takeStartStop().isEmpty());
    tick(200);
    EXPECT_EQ(takeStartStop(), QStringList{QStringLiteral("SAH")});
    tick(9800);
    EXPECT_TRUE(takeStartStop().isEmpty());
    tick(300);
    EXPECT_EQ(takeStartStop(), QStringList{QStringLiteral("SAH")});
    // The alarm ends: the interrupted cycle is started again.
    Env.Context.Device.AlarmActive = false;
    Env.Context.Device.AlarmCode = 0;
    tick(kTickMs * 2);
    EXPECT_EQ(takeStartStop(), QStringList{QStringLiteral("SAS;3")});
    EXPECT_EQ(Window->eAktNr->text(), QStringLiteral("0"));
    // A second alarm, and Abbruch while it lasts.
    setSampling(true);
    tick(1000);
    Env.Context.Device.AlarmActive = true;
    tick(kTickMs);
    EXPECT_EQ(state(), trsAlarmWait);
    takeStartStop();
    Window->btnAbbruch->click();
    tick(kTickMs);
    EXPECT_EQ(state(), trsIdle);
    EXPECT_EQ(panel(), QStringLiteral("Bediener-Abbruch"));
    EXPECT_EQ(panelColour(), kTestRed);
    EXPECT_EQ(takeStartStop(), QStringList{QStringLiteral("SAH")});
    const QStringList daily = Env.ReadLog(Env.LogFiles().filter(QStringLiteral("TEST")).value(0));
    ASSERT_GE(daily.size(), 3);
    EXPECT_TRUE(daily[0].endsWith(QStringLiteral("Alarm: Luftstrom blockiert"))) << daily[0].toStdString();
    EXPECT_TRUE(daily.last().endsWith(QStringLiteral("Abbruch: Bediener-Abbruch")));
}

TEST_F(operation_TestRun, pause_holdsTheNextStart_andShowsOnThePanel)
{
    setInput(QStringLiteral("2"), false, QString(), 20, 1);
    startRun();
    takeCommands();
    Window->btnPause->click();
    tick(kTickMs);
    EXPECT_EQ(panel(), QStringLiteral("Pause erkannt"));
    EXPECT_EQ(panelColour(), kTestOlive);
    // The running cycle goes on; the next one waits for the pause to end.
    runCycle(1.0, 0.5);
    tick(5000);
    EXPECT_TRUE(takeCommands().filter(QStringLiteral("SAS")).isEmpty());
    EXPECT_EQ(state(), trsStarting);
    Window->btnPause->click();
    tick(kTickMs);
    EXPECT_EQ(panel(), QStringLiteral("Start"));
    EXPECT_EQ(takeCommands().filter(QStringLiteral("SAS")), QStringList{QStringLiteral("SAS;3")});
    Window->btnPause->click();
    tick(kTickMs);
    Window->btnPause->click();
    tick(kTickMs);
    EXPECT_EQ(panel(), QStringLiteral("Pause deaktiviert"));
    EXPECT_EQ(panelColour(), kTestYellow);
}

// ---- run chart ----

// Samples i = 0 .. n-1 at x = i, y = 2 i: what a thinned series keeps must be real samples,
// in order, evenly spaced, with the first and the latest.
TEST(operation_RunChart, thinnedSeries_keepsFirstLatestAndAnEvenStride)
{
    constexpr int kLimit = 10;
    for (const int n : {1, 2, kLimit, kLimit + 1, 37, 1000, 4097}) {
        SCOPED_TRACE(n);
        TThinnedSeries series(kLimit);
        for (int i = 0; i < n; ++i)
            series.Add(QPointF(i, 2.0 * i));
        const QList<QPointF>& p = series.Points();
        ASSERT_FALSE(p.isEmpty());
        EXPECT_LE(p.size(), kLimit);
        EXPECT_EQ(p.first(), QPointF(0, 0));
        EXPECT_EQ(p.last(), QPointF(n - 1, 2.0 * (n - 1)));
        EXPECT_EQ(series.Samples(), n);
        for (qsizetype i = 0; i < p.size(); ++i) {
            EXPECT_EQ(p[i].y(), 2.0 * p[i].x());
            // All but the latest lie on the stride.
            if (i + 1 < p.size()) {
                EXPECT_EQ(static_cast<int>(p[i].x()), i * series.Stride());
            }
        }
        if (n > kLimit) {
            EXPECT_GE(p.size(), kLimit / 2);
        }
    }
}

TEST_F(operation_Window, runChart_followsTheTmqAnswersOfARun_withTheSetFlows)
{
    showWithPresets();
    select(2);  // "Innen": channel 1 at 1.50 SL/min, channel 2 off
    Window->actStart->trigger();
    answer(QStringLiteral("TAS;0;"));
    EXPECT_TRUE(Window->Logic().RunChart().Series.empty());

    setSampling(true, 3, 1);
    tick(kTickMs);
    const qint64 start = FClockMs;
    const std::vector<double> flows{1.48, 1.50, 1.53};
    for (size_t i = 0; i < flows.size(); ++i) {
        FClockMs = start + static_cast<qint64>(i) * 30000;  // half a minute apart
        answer(QStringLiteral("TMQ;%1;%2;1;0.00;0.00;0;").arg(flows[i], 0, 'f', 2).arg(i), kOrderDone,
               kBedienTagMeasure);
    }
    const TChartData& chart = Window->Logic().RunChart();
    ASSERT_EQ(chart.Series.size(), 2u);  // channel 2 is off in the preset
    EXPECT_EQ(chart.Series[0].Name, QStringLiteral("Kanal 1"));
    EXPECT_EQ(chart.Series[0].Points,
              (QList<QPointF>{QPointF(0.0, 1.48), QPointF(0.5, 1.50), QPointF(1.0, 1.53)}));
    EXPECT_FALSE(chart.Series[0].Dashed);
    EXPECT_TRUE(chart.Series[1].Dashed);
    EXPECT_EQ(chart.Series[1].Points, (QList<QPointF>{QPointF(0.0, 1.5), QPointF(1.0, 1.5)}));
    EXPECT_EQ(chart.AxisTitles[caLeft], QStringLiteral("Fluss [SL/min]"));
    EXPECT_TRUE(chart.Overlay.isEmpty());
    // The window draws what the logic holds.
    EXPECT_EQ(Window->chtFluss->Data().Series.size(), 2u);
    EXPECT_EQ(Window->chtFluss->Data().Series[0].Points.size(), 3);

    // The run ends: the chart stays; the next run starts it anew.
    setSampling(false, 6, 1);
    tick(kTickMs);
    EXPECT_EQ(Window->Logic().RunChart().Series[0].Points.size(), 3);
    setSampling(true, 3, 1);
    tick(kTickMs);
    answer(QStringLiteral("TMQ;1.10;0.01;1;0.00;0.00;0;"), kOrderDone, kBedienTagMeasure);
    const TChartData& next = Window->Logic().RunChart();
    // Started at the device, not from here: the set flows are unknown, the active channel is drawn.
    ASSERT_EQ(next.Series.size(), 1u);
    EXPECT_EQ(next.Series[0].Points, (QList<QPointF>{QPointF(0.0, 1.10)}));
}

TEST_F(operation_Window, runChart_greyedOffline_andKeepsTheRunThroughAReconnect)
{
    showWithPresets();
    setSampling(true, 3, 3);
    tick(kTickMs);
    answer(QStringLiteral("TMQ;1.00;0.10;1;0.50;0.05;0;"), kOrderDone, kBedienTagMeasure);
    ASSERT_EQ(Window->Logic().RunChart().Series.size(), 2u);

    Env.Context.Online = false;
    setSampling(false, 0, 0);
    Env.Context.Device.DeviceState = 0;
    Window->SetOnOffLine(0);
    EXPECT_EQ(Window->Logic().RunChart().Overlay, QStringLiteral("Offline"));
    EXPECT_EQ(Window->chtFluss->OverlayText(), QStringLiteral("Offline"));
    EXPECT_EQ(Window->Logic().RunChart().Series[0].Points.size(), 1);

    // Back online the device state is unknown until the next status answer: the run goes on.
    Env.Context.Online = true;
    Window->SetOnOffLine(1);
    tick(kTickMs);
    EXPECT_TRUE(Window->chtFluss->OverlayText().isEmpty());
    setSampling(true, 3, 3);
    tick(kTickMs);
    FClockMs += 60000;
    answer(QStringLiteral("TMQ;1.01;1.10;1;0.49;0.55;0;"), kOrderDone, kBedienTagMeasure);
    const QList<QPointF> ch2 = Window->Logic().RunChart().Series[1].Points;
    ASSERT_EQ(ch2.size(), 2);
    EXPECT_EQ(ch2[1].y(), 0.49);
    EXPECT_GT(ch2[1].x(), 1.0);
}

TEST_F(operation_Window, runChart_hiddenByTheOperator_stayHiddenInTheNextWindow)
{
    showWithPresets();
    EXPECT_TRUE(Window->cbDiagramm->isChecked());
    EXPECT_TRUE(Window->chtFluss->isVisible());
    Window->cbDiagramm->click();
    EXPECT_FALSE(Window->chtFluss->isVisible());
    EXPECT_FALSE(Env.Settings.GetBool(QStringLiteral("Control/ShowChart")));

    Window = std::make_unique<TfBedien>(Env.Context);
    Window->show();
    EXPECT_FALSE(Window->cbDiagramm->isChecked());
    EXPECT_FALSE(Window->chtFluss->isVisible());
    Window->cbDiagramm->click();
    EXPECT_TRUE(Window->chtFluss->isVisible());
    EXPECT_TRUE(Env.Settings.GetBool(QStringLiteral("Control/ShowChart")));
}

TEST_F(operation_Window, runChart_followsTheLanguage)
{
    showWithPresets();
    select(2);
    Window->actStart->trigger();
    answer(QStringLiteral("TAS;0;"));
    setSampling(true, 3, 1);
    tick(kTickMs);
    answer(QStringLiteral("TMQ;1.48;0.10;1;0.00;0.00;0;"), kOrderDone, kBedienTagMeasure);
    ASSERT_TRUE(SetProgramLanguage(kLangEnglish));
    Window->SwitchLanguage();
    SetProgramLanguage(kLangGerman);
    const TChartData& chart = Window->chtFluss->Data();
    EXPECT_EQ(chart.XTitle, QStringLiteral("Run time [min]"));
    EXPECT_EQ(chart.AxisTitles[caLeft], QStringLiteral("Flow [SL/min]"));
    ASSERT_EQ(chart.Series.size(), 2u);
    EXPECT_EQ(chart.Series[0].Name, QStringLiteral("Channel 1"));
    EXPECT_EQ(chart.Series[1].Name, QStringLiteral("Set flow channel 1"));
    EXPECT_EQ(chart.Locale.decimalPoint(), QStringLiteral("."));
}

}  // namespace
