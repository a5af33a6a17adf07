// The service information logic headless: orders collected, answers fed to RXData, clock and
// questions scripted.

#include "formatsettings.h"
#include "i18n.h"
#include "programsettings.h"
#include "sendorder.h"
#include "servicelogic.h"
#include "settingsform.h"
#include "wireformat.h"

#include <gtest/gtest.h>

#include <memory>

#include "qtprinters.h"

namespace {

constexpr int kDone = 10;

QString commandOf(const TOrder& order)
{
    const QString frame = FromWire(order.TXData);
    return frame.left(frame.lastIndexOf(QLatin1Char(';')));
}

class service_Logic : public ::testing::Test {
protected:
    void SetUp() override
    {
        BuildProgramSettings(Settings);
        SetProgramLanguage(kLangGerman);
        SetOrderSink([this](const TOrder& o) {
            Sent << commandOf(o);
            Tags << o.TXTag;
        });
        Context.Online = true;
        Logic = std::make_unique<TServiceLogic>(Context);
        Logic->SetClock([this] { return Now; });
        Logic->SetQuestion([this](const QString& q) {
            Questions << q;
            return Yes;
        });
        QObject::connect(Logic.get(), &TServiceLogic::SysMessage,
                         [this](const QString& t, bool a) { Lines << (a ? QStringLiteral("A ") : QStringLiteral("M ")) + t; });
        QObject::connect(Logic.get(), &TServiceLogic::SysInfo, [this](const QString& t) { Lines << QStringLiteral("I ") + t; });
        QObject::connect(Logic.get(), &TServiceLogic::SysMessageColor, [this](const QString& t, const QColor& c) {
            Lines << QStringLiteral("C%1 ").arg(c.name()) + t;
        });
    }
    void TearDown() override
    {
        Logic.reset();
        SetOrderSink({});
    }
    void tick(qint64 ms = 50)
    {
        Now += ms;
        Logic->TimerEvent(50);
    }
    TErrMemRow entry(const QString& answer)
    {
        const size_t before = Logic->ErrMem().size();
        Logic->RXData(kDone, 1, answer);
        EXPECT_EQ(Logic->ErrMem().size(), before + 1) << answer.toStdString();
        return Logic->ErrMem().back();
    }

    TFSettingsForm Settings;
    TAppContext Context{Settings};
    std::unique_ptr<TServiceLogic> Logic;
    qint64 Now = 1000;
    bool Yes = true;
    QStringList Sent;
    QList<int> Tags;
    QStringList Questions;
    QStringList Lines;
};

TEST_F(service_Logic, errorMemoryRange_newestFirstOnePerTick_atMost129)
{
    Logic->btnErrMemReadClick();
    EXPECT_EQ(Sent, QStringList({QStringLiteral("GII")}));
    Logic->RXData(kDone, 1, QStringLiteral("TII;5;"));
    Sent.clear();
    for (int i = 0; i < 8; ++i)
        tick();
    EXPECT_EQ(Sent, QStringList({QStringLiteral("GIF;5"), QStringLiteral("GIF;4"), QStringLiteral("GIF;3"),
                                 QStringLiteral("GIF;2"), QStringLiteral("GIF;1"), QStringLiteral("GIF;0")}));
    Logic->RXData(kDone, 1, QStringLiteral("TII;300;"));
    EXPECT_EQ(Logic->NextErrMemIndex(), 300);
    EXPECT_EQ(Logic->LowestErrMemIndex(), 172);
    // Reading again stops the range still being read, so nothing comes twice.
    Logic->btnErrMemReadClick();
    Sent.clear();
    tick();
    EXPECT_TRUE(Sent.isEmpty());
    // Offline, nothing is requested.
    Logic->RXData(kDone, 1, QStringLiteral("TII;3;"));
    Context.Online = false;
    tick();
    EXPECT_TRUE(Sent.isEmpty());
}

TEST_F(service_Logic, errorMemoryEntries)
{
    const TErrMemRow drift = entry(QStringLiteral("TIF;7;12;03.02.2026;14:05:09;1;9;2;1;3725;1;44;1;0;"));
    EXPECT_EQ(drift.Nr, QStringLiteral("12"));
    EXPECT_EQ(drift.Icon, 1);
    EXPECT_EQ(drift.Event, QStringLiteral("Drift des Nullwerts (9)"));
    EXPECT_EQ(drift.Source, QStringLiteral("Gerät"));
    EXPECT_EQ(drift.OpTime, QStringLiteral("01:02:05"));
    EXPECT_EQ(drift.Info, QStringLiteral("+0,0440 V"));
    EXPECT_EQ(drift.DateTime, FmtDisplay().FormatDate(QDate(2026, 2, 3)) + QLatin1Char(' ') + FmtDisplay().FormatTime(QTime(14, 5, 9), true));

    const TErrMemRow rtc = entry(QStringLiteral("TIF;6;11;03.02.2026;14:05:09;1;147;0;0;360000;1;44;"));
    EXPECT_EQ(rtc.Info, QStringLiteral("3,00 V"));
    EXPECT_EQ(rtc.OpTime, QStringLiteral("100:00:00"));
    EXPECT_EQ(rtc.Source, QStringLiteral("Kanal 1"));
    const TErrMemRow unknown = entry(QStringLiteral("TIF;5;10;03.02.2026;14:05:09;1;200;1;2;0;1;2;3;4;"));
    EXPECT_EQ(unknown.Event, QStringLiteral("Unbekannt (200)"));
    EXPECT_EQ(unknown.Info, QStringLiteral("1, 2, 3, 4"));
    const TErrMemRow language = entry(QStringLiteral("TIF;4;9;03.02.2026;14:05:09;1;132;2;0;0;7;0;0;0;"));
    EXPECT_EQ(language.Info, QStringLiteral("7"));
    const TErrMemRow unreadable = entry(QStringLiteral("TIF;3;8;x;y;0;9;2;1;5;"));
    EXPECT_EQ(unreadable.Nr, QStringLiteral("???"));
    EXPECT_EQ(unreadable.Event, QStringLiteral("(Lesefehler)"));
    EXPECT_EQ(unreadable.Icon, -1);

    const size_t rows = Logic->ErrMem().size();
    for (const char* bad : {"TIF;2;65535;03.02.2026;14:05:09;1;9;2;1;5;", "TIF;2;3;03.02.2026;14:05:09;1;9;x;1;5;",
                            "TIF;2;3;03.02.2026;14:05:09;1;9;2;1;"})
        Logic->RXData(kDone, 1, QString::fromUtf8(bad));
    EXPECT_EQ(Logic->ErrMem().size(), rows);

    Logic->btnErrMemExportClick();
    ASSERT_EQ(Lines.size(), 2 + 5 + 1);
    EXPECT_EQ(Lines[0], QStringLiteral("M ----- Beginn Fehlerspeicher -----"));
    EXPECT_EQ(Lines[1], QStringLiteral("I Nr.; Typ; Datum & Zeit; Ereignis; Quelle; Betr.zeit; Zus. Info"));
    EXPECT_EQ(Lines[2], QStringLiteral("C#ff0000 12; 1; ") + drift.DateTime + QStringLiteral("; Drift des Nullwerts (9); Gerät; 01:02:05; +0,0440 V"));
    EXPECT_TRUE(Lines[3].startsWith(QStringLiteral("C#008000 11; 0; ")));
    EXPECT_TRUE(Lines[6].startsWith(QStringLiteral("C#000000 ???; -1; ???")));
    EXPECT_EQ(Lines[7], QStringLiteral("M ----- Ende Fehlerspeicher -----"));
}

TEST_F(service_Logic, runningTestPoll_firstAnswerAfterGoingOnlineCounts_endRereadsResults)
{
    Logic->FormShow();
    tick();
    EXPECT_EQ(Sent, QStringList({QStringLiteral("GMC")}));
    // A test already running when the window opens shows.
    Logic->RXData(kDone, 0, QStringLiteral("TMC;2;"));
    EXPECT_TRUE(Logic->Frames()[2].Running);
    Sent.clear();
    Logic->RXData(kDone, 0, QStringLiteral("TMC;-1;"));
    EXPECT_FALSE(Logic->Frames()[2].Running);
    EXPECT_EQ(Logic->NextTestCheck(), 0);
    EXPECT_EQ(Sent, QStringList({QStringLiteral("GIT;0"), QStringLiteral("GIT;1"), QStringLiteral("GIT;2"),
                                 QStringLiteral("GIT;3")}));
    EXPECT_EQ(Tags, QList<int>({0, 0, 1, 2, 3}));
    Sent.clear();
    tick(2000);
    EXPECT_TRUE(Sent.isEmpty());

    // After a reconnect the first TMC;-1 still stops the poll.
    Context.Online = false;
    Logic->SetOnOffLine(0);
    Context.Online = true;
    Logic->SetOnOffLine(1);
    tick();
    EXPECT_EQ(Sent, QStringList({QStringLiteral("GMC")}));
    Logic->RXData(kDone, 0, QStringLiteral("TMC;-1;"));
    EXPECT_EQ(Logic->NextTestCheck(), 0);
}

TEST_F(service_Logic, startAsksTheConditionFirst_andOnlyOnline)
{
    Logic->btnStartTestClick(3);
    EXPECT_EQ(Questions, QStringList({QStringLiteral("Beide Lufteingänge müssen dicht verschlossen sein.\n\nTest starten?")}));
    EXPECT_EQ(Sent, QStringList({QStringLiteral("SMC;3")}));
    EXPECT_EQ(Logic->NextTestCheck(), Now + 500);
    Yes = false;
    Logic->btnStartTestClick(0);
    EXPECT_EQ(Sent.size(), 1);
    Context.Online = false;
    Logic->StartTest(1);
    EXPECT_EQ(Sent.size(), 1);
}

TEST_F(service_Logic, testResultsScaledPerTest)
{
    struct TCase {
        int test;
        const char* answer;
        const char* value0;
        const char* value1;
        const char* result;
    };
    const TCase cases[] = {
        {0, "TIT;0;12.11.2026;09:41:07;1;200;800;", "200", "800", "OK"},
        {2, "TIT;2;12.11.2026;09:41:07;0;123;98;", "0,01230", "0,00980", "Fehler"},
        {3, "TIT;3;12.11.2026;09:41:07;1;12;", "1,2", "0,0", "OK"},
        {1, "TIT;1;kaputt;09:41:07;;5;6;", "5", "6", "Fehler"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.answer);
        Logic->RXData(kDone, c.test, QString::fromUtf8(c.answer));
        const TTestFrameView& f = Logic->Frames()[static_cast<size_t>(c.test)];
        EXPECT_EQ(f.Value0, QString::fromUtf8(c.value0));
        EXPECT_EQ(f.Value1, QString::fromUtf8(c.value1));
        EXPECT_EQ(f.Result, QString::fromUtf8(c.result));
        EXPECT_TRUE(f.Lit);
    }
    EXPECT_EQ(Logic->Frames()[1].Date, QStringLiteral("kaputt"));
    EXPECT_EQ(Logic->Frames()[0].Date, FmtDisplay().FormatDate(QDate(2026, 11, 12)));
    // The answer of another test's order is not taken.
    Logic->RXData(kDone, 2, QStringLiteral("TIT;0;12.11.2026;09:41:07;0;1;1;"));
    EXPECT_EQ(Logic->Frames()[0].Result, QStringLiteral("OK"));
}

TEST_F(service_Logic, countersReadAndExported)
{
    Context.Device.SerialNo = QStringLiteral("SV2000123");
    Context.Device.FirmwareText = QStringLiteral("3.6.0");
    Context.Device.HardwareVersion = QStringLiteral("2.1");
    Context.Device.Jumper = {true, false};
    Logic->btnReadCountersClick();
    EXPECT_EQ(Sent.mid(0, 8), QStringList({QStringLiteral("GIO;1"), QStringLiteral("GIO;2"), QStringLiteral("GIO;4"),
                                           QStringLiteral("GIO;7"), QStringLiteral("GIV;0;"), QStringLiteral("GIV;1;"),
                                           QStringLiteral("GIJ;0;"), QStringLiteral("GIJ;1;")}));
    EXPECT_EQ(Sent.size(), 16);
    EXPECT_TRUE(Logic->CountersExportEnabled());
    Logic->RXData(kDone, 2, QStringLiteral("TIO; 0098:02 ;"));
    EXPECT_EQ(Logic->Text(QStringLiteral("eBSZ_LK2")), QStringLiteral("0098:02"));
    Logic->RXData(kDone, 7, QStringLiteral("TIO;;"));
    EXPECT_EQ(Logic->State(QStringLiteral("eBSZ_Gesamt")), TFieldState::Invalid);
    Logic->RXData(kDone, 0, QStringLiteral("TIV;0;2147483647;"));
    Logic->RXData(kDone, 1, QStringLiteral("TIV;1;10;"));
    EXPECT_EQ(Logic->Text(QStringLiteral("eVolSumme")), QStringLiteral("2147483657"));
    Logic->RXData(kDone, 0, QStringLiteral("TIJ;1;5;"));
    EXPECT_EQ(Logic->Text(QStringLiteral("eServoInkr1")), QString());
    Logic->RXData(kDone, 0, QStringLiteral("TIR;0;57;03.12.2026;"));
    Logic->btnCountersExportClick();
    EXPECT_EQ(Lines.first(), QStringLiteral("M ----- Beginn Zählerstände -----"));
    EXPECT_TRUE(Lines.contains(QStringLiteral("I Seriennnummer: SV2000123")));
    EXPECT_TRUE(Lines.contains(QStringLiteral("I Volumen Gesamt: 2147483657")));
    EXPECT_TRUE(Lines.contains(QStringLiteral("I Betriebsstunden Klasse 2: 0098:02")));
    EXPECT_TRUE(Lines.contains(QStringLiteral("I Jumper 1: gesetzt")));
    EXPECT_TRUE(Lines.contains(QStringLiteral("I Jumper 2: nicht gesetzt")));
    EXPECT_TRUE(Lines.contains(QStringLiteral("I Startvorgänge: 57 (03.12.2026)")));
    EXPECT_EQ(Lines.last(), QStringLiteral("M ----- Ende Zählerstände -----"));
}

TEST_F(service_Logic, countersPageByFirmwareFeature_clearByQuestion)
{
    Context.Device.DeviceFeatures = dfDiffPressure | dfExtraBarometer;  // 3.3.9
    EXPECT_FALSE(Logic->CountersPageVisible());
    Context.Device.DeviceFeatures |= dfServiceCounters;  // 3.4.0
    EXPECT_TRUE(Logic->CountersPageVisible());
    Yes = false;
    Logic->btnClearErrMemClick();
    EXPECT_TRUE(Sent.isEmpty());
    Yes = true;
    Logic->btnClearErrMemClick();
    EXPECT_EQ(Questions.last(), QStringLiteral("Wirklich alle Einträge löschen?"));
    EXPECT_EQ(Sent, QStringList({QStringLiteral("SHD;428;617")}));
    Logic->RXData(kDone, 0, QStringLiteral("THD;0;"));
    EXPECT_EQ(Sent.last(), QStringLiteral("GII"));
}

}  // namespace
