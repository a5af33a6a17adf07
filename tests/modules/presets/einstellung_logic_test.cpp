// The device settings window's logic, headless: the answers it takes, the set commands the
// operator's changes send (and that answers never send), the read-out schedule, the clock, the
// standard litres and the preset editor.

#include "einstellunglogic.h"
#include "einstellungtestutil.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

constexpr int kLanguages = 3;

class presets_Logic : public ::testing::Test {
protected:
    void SetUp() override
    {
        Env.Context.Online = true;
        Env.Context.Device.LanguageCount = kLanguages;
        Env.Context.Device.DeviceFeatures = dfDaylightSaving;
        Logic.SetClock([this] { return FNow; });
        Logic.FormShow();
    }

    void answer(const char* data) { Logic.RXData(kOrderDone, kEinstellTagRead, QString::fromUtf8(data)); }
    int position(TEinstellChoice c) const { return Logic.Choice(c).Position(); }

    // The presets of a full read-out as the device answers them: 1 "Innen", 2 "Aussen",
    // 3 an interval preset.
    void loadPresets()
    {
        answer("TSP;1;Innen;60;21;150;1200;0;0;0;0;0;0;0;");
        answer("TSP;2;Aussen;0;18;100;600;30;0;26;50;300;120;70;");
        answer("TSP;3;Intervall;10;24;100;100;0;40;0;0;0;0;0;");
    }

    TEinstellTestEnv Env;
    TOrderCapture Sent;
    qint64 FNow = 1000;
    TEinstellungLogic Logic{Env.Context};
};

TEST_F(presets_Logic, answersMapPositions_wrapThenClamp)
{
    struct TCase {
        const char* before;  // an answer that sets the starting position, or empty
        const char* answer;
        TEinstellChoice choice;
        int expected;
    };
    const TCase cases[] = {
        {"TSB;5;", "TSB;11;", chDisplay, 0},
        {"TSB;5;", "TSB;-1;", chDisplay, 10},
        {"TSM;5;", "TSM;0;", chAnzVoreinstell, 1},
        {"TSM;5;", "TSM;11;", chAnzVoreinstell, 1},
        {"TSM;5;", "TSM;-1;", chAnzVoreinstell, 10},
        {"TSR;5;", "TSR;16;", chStandby, 0},
        {"TSJ;10;", "TSJ;3;", chMaxIntervalle, 1},
        {"TSJ;10;", "TSJ;51;", chMaxIntervalle, 8},
        {"TSJ;10;", "TSJ;x;", chMaxIntervalle, 8},
        {"TSL;1;", "TSL;2;", chSprache, 1},  // two names before the first read-out
        {"TSL;1;", "TSL;0;", chSprache, 0},
        {"TSY;0;", "TSY;1;", chDatumsformat, 1},
        {"TSZ;1;", "TSZ;2;", chZeitformat, 0},
        {"TSV;1;1;", "TSV;4;7;", chTouchlautstaerke, 4},
        {"TSV;1;1;", "TSV;4;7;", chSignallautstaerke, 7},
        {"TSV;1;1;", "TSV;4;?;", chSignallautstaerke, 1},
    };
    for (const TCase& c : cases) {
        answer(c.before);
        answer(c.answer);
        EXPECT_EQ(position(c.choice), c.expected) << c.before << " then " << c.answer;
    }
    Logic.RXData(14, kEinstellTagRead, QStringLiteral("TSB;3;"));
    EXPECT_EQ(position(chDisplay), 10) << "a failed exchange changes nothing";
    EXPECT_TRUE(Sent.SetCommands().isEmpty()) << Sent.SetCommands().join(QLatin1Char(' '));
}

TEST_F(presets_Logic, switchOffAndBoxes_fromAnswers)
{
    answer("TSO;2;");
    EXPECT_EQ(Logic.Abschaltung(), 2);
    EXPECT_EQ(TEinstellungLogic::AbschaltungTexts().at(2), QStringLiteral("Ruhe: 30 Min., Fertig/Alarm: 60 Min."));
    answer("TSO;4;");
    EXPECT_EQ(Logic.Abschaltung(), 2);
    answer("TSS;1;0;");
    EXPECT_TRUE(Logic.Check(ckTonEnde));
    EXPECT_FALSE(Logic.Check(ckTonAlarm));
    answer("TSW;2;");
    EXPECT_FALSE(Logic.Check(ckWarnAkku)) << "ticked only by exactly 1";
    answer("TSX;1;");
    EXPECT_TRUE(Logic.Check(ckDaylightSavingTime));
    answer("TSE;-20.0;");
    answer("TSF;1013.24;");
    EXPECT_EQ(Logic.SLTemp(), QStringLiteral("-20,0"));
    EXPECT_EQ(Logic.SLDruck(), QStringLiteral("1013,2"));
    answer("TSD;31.12.2026;");
    answer("TST;23:59:58;");
    EXPECT_EQ(Logic.IMDate(), QDate(2026, 12, 31));
    EXPECT_EQ(Logic.IMTime(), QTime(23, 59, 58));
    answer("TSD;31.02.2026;");
    answer("TST;25:00:00;");
    EXPECT_EQ(Logic.IMDate(), QDate(2026, 12, 31)) << "an invalid date is ignored";
    EXPECT_EQ(Logic.IMTime(), QTime(23, 59, 58));
    EXPECT_TRUE(Sent.SetCommands().isEmpty()) << Sent.SetCommands().join(QLatin1Char(' '));
}

TEST_F(presets_Logic, operatorChanges_sendTheirSetCommands)
{
    struct TCase {
        std::function<void(TEinstellungLogic&)> action;
        const char* command;
    };
    const TCase cases[] = {
        {[](TEinstellungLogic& l) { l.ChoiceStepped(chSignallautstaerke, 7); }, "SSV;99;7"},
        {[](TEinstellungLogic& l) { l.ChoiceStepped(chTouchlautstaerke, 4); }, "SSV;4;99"},
        {[](TEinstellungLogic& l) { l.CheckClicked(ckTonEnde, true); }, "SSS;1;99"},
        {[](TEinstellungLogic& l) { l.CheckClicked(ckTonAlarm, false); }, "SSS;99;0"},
        {[](TEinstellungLogic& l) { l.CheckClicked(ckWarnAkku, true); }, "SSW;1"},
        {[](TEinstellungLogic& l) { l.CheckClicked(ckDaylightSavingTime, false); }, "SSX;0"},
        {[](TEinstellungLogic& l) { l.ChoiceStepped(chDisplay, 11); }, "SSB;0"},
        {[](TEinstellungLogic& l) { l.ChoiceStepped(chSprache, 1); }, "SSL;1"},
        {[](TEinstellungLogic& l) { l.ChoiceStepped(chZeitformat, 0); }, "SSZ;0"},
        {[](TEinstellungLogic& l) { l.ChoiceStepped(chDatumsformat, 1); }, "SSY;1"},
        {[](TEinstellungLogic& l) { l.ChoiceStepped(chStandby, -1); }, "SSR;15"},
        {[](TEinstellungLogic& l) { l.ChoiceStepped(chAnzVoreinstell, 0); }, "SSM;1"},
        {[](TEinstellungLogic& l) { l.ChoiceStepped(chMaxIntervalle, 1); }, "SSJ;3"},
        {[](TEinstellungLogic& l) { l.rgAbschaltungClick(2); }, "SSO;2"},
    };
    for (const TCase& c : cases) {
        Sent.Clear();
        c.action(Logic);
        ASSERT_EQ(Sent.Orders.size(), 1u) << c.command;
        EXPECT_EQ(Sent.Orders[0].command, QString::fromUtf8(c.command));
        EXPECT_EQ(Sent.Orders[0].client, 1);
        EXPECT_EQ(Sent.Orders[0].tag, kEinstellTagSet);
    }
    // "TSJ" 3 selects position 1, and stepping back there sends the number shown, not 1.
    answer("TSJ;3;");
    EXPECT_EQ(position(chMaxIntervalle), 1);
    Sent.Clear();
    Logic.ChoiceStepped(chMaxIntervalle, 2);
    Logic.ChoiceStepped(chMaxIntervalle, 1);
    EXPECT_EQ(Sent.Commands(), (QStringList{QStringLiteral("SSJ;4"), QStringLiteral("SSJ;3")}));

    Env.Context.Online = false;
    Logic.SetOnOffLine(0);
    Sent.Clear();
    Logic.ChoiceStepped(chZeitformat, 1);
    Logic.CheckClicked(ckWarnAkku, false);
    EXPECT_TRUE(Sent.Orders.empty()) << "offline the controls change but nothing is sent";
    EXPECT_EQ(position(chZeitformat), 1);
}

TEST_F(presets_Logic, standardLitres_checkedBeforeSending)
{
    struct TCase {
        const char* temp;
        const char* pressure;
        QStringList commands;
        const char* status;
    };
    const TCase cases[] = {
        {"-20,0", "1100", {QStringLiteral("SSE;-20.0"), QStringLiteral("SSF;1100.0")}, ""},
        {"80", "800,04", {QStringLiteral("SSE;80.0"), QStringLiteral("SSF;800.0")}, ""},
        {"-20,1", "1013", {}, "Temperatur für Standardliter muss zwischen -20 und +80 °C liegen"},
        {"", "1013", {}, "Temperatur für Standardliter ist ungültig"},
        {"20", "1100,1", {}, "Luftdruck für Standardliter muss zwischen 800 und 1100 mbar liegen"},
        {"20", "x", {}, "Luftdruck für Standardliter ist ungültig"},
        // Both wrong: the second message replaces the first.
        {"99", "700", {}, "Luftdruck für Standardliter muss zwischen 800 und 1100 mbar liegen"},
    };
    QString status;
    QObject::connect(&Logic, &TEinstellungLogic::Status, [&status](const QString& text, bool) { status = text; });
    for (const TCase& c : cases) {
        Sent.Clear();
        status = QStringLiteral("old");
        Logic.SetSLTemp(QString::fromUtf8(c.temp));
        Logic.SetSLDruck(QString::fromUtf8(c.pressure));
        Logic.btnSLSetClick();
        EXPECT_EQ(Sent.Commands(), c.commands) << c.temp << " / " << c.pressure;
        EXPECT_EQ(status, QString::fromUtf8(c.status)) << c.temp << " / " << c.pressure;
    }
    Env.Context.Online = false;
    Sent.Clear();
    Logic.SetSLTemp(QStringLiteral("20"));
    Logic.SetSLDruck(QStringLiteral("1013"));
    Logic.btnSLSetClick();
    EXPECT_TRUE(Sent.Orders.empty());
    EXPECT_EQ(status, QStringLiteral("Funktion nur online möglich"));
}

TEST_F(presets_Logic, standardLitreKeys)
{
    struct TCase {
        TEinstellField field;
        char key;
        const char* text;
        int cursor;
        char result;  // 0: refused
        const char* status;
    };
    const char* tempChars = "Nur Zeichen \"0123456789.,-\" möglich";
    const char* pressureChars = "Nur Zeichen \"0123456789.,\" möglich!";
    const TCase cases[] = {
        {TEinstellField::SLTemp, '-', "5", 0, '-', ""},
        {TEinstellField::SLTemp, '-', "5", 1, 0, "old"},   // swallowed without a word
        {TEinstellField::SLTemp, '-', "-5", 0, 0, "old"},
        {TEinstellField::SLTemp, '.', "5", 1, ',', ""},
        {TEinstellField::SLTemp, 'a', "5", 1, 0, tempChars},
        {TEinstellField::SLDruck, ',', "1013", 4, ',', ""},
        {TEinstellField::SLDruck, '7', "", 0, '7', ""},
        {TEinstellField::SLDruck, '-', "", 0, 0, pressureChars},
    };
    QString status;
    QObject::connect(&Logic, &TEinstellungLogic::Status, [&status](const QString& text, bool) { status = text; });
    for (const TCase& c : cases) {
        status = QStringLiteral("old");
        const std::optional<QChar> r = Logic.SLKey(c.field, QLatin1Char(c.key), QString::fromUtf8(c.text), c.cursor);
        EXPECT_EQ(r.value_or(QChar()), c.result ? QChar(QLatin1Char(c.result)) : QChar()) << c.key << " in " << c.text;
        EXPECT_EQ(status, QString::fromUtf8(c.status)) << c.key << " in " << c.text;
    }
}

TEST_F(presets_Logic, readOut_fullThenEverySixtySeconds)
{
    const QStringList parameters{"GSB", "GSD", "GSE", "GSF", "GST", "GSL", "GSO", "GSM", "GSJ",
                                 "GSV", "GSS", "GSR", "GSW", "GSX", "GSY", "GSZ", "GID"};
    QStringList presets;
    for (int n = 1; n <= 10; ++n)
        presets << QStringLiteral("GSP;%1").arg(n);
    Logic.TimerEvent(50, true);
    EXPECT_EQ(Sent.Commands(), QStringList({"GIL;0", "GIL;1", "GIL;2"}) + parameters + presets);
    for (const TSentOrder& o : Sent.Orders)
        EXPECT_EQ(o.tag, kEinstellTagRead) << o.command;

    Sent.Clear();
    FNow += TEinstellungLogic::kReadoutIntervalMs;
    Logic.TimerEvent(50, true);
    EXPECT_TRUE(Sent.Orders.empty());
    FNow += 1;
    Logic.TimerEvent(50, false);
    EXPECT_TRUE(Sent.Orders.empty()) << "a hidden window does not read";
    Logic.TimerEvent(50, true);
    EXPECT_EQ(Sent.Commands(), parameters);

    // "Aktualisieren": the next tick reads everything again.
    Sent.Clear();
    Logic.btnActClick();
    Logic.TimerEvent(50, true);
    EXPECT_EQ(Sent.Commands().size(), 3 + parameters.size() + 10);

    // Firmware before 3.6.0: no daylight parameter, no daylight box.
    Env.Context.Device.DeviceFeatures = 0;
    Sent.Clear();
    FNow += TEinstellungLogic::kReadoutIntervalMs + 1;
    Logic.TimerEvent(50, true);
    QStringList withoutDaylight = parameters;
    withoutDaylight.removeAll(QStringLiteral("GSX"));
    EXPECT_EQ(Sent.Commands(), withoutDaylight);
    Logic.SetOnOffLine(1);
    EXPECT_FALSE(Logic.Controls().DaylightVisible);
    Env.Context.Device.DeviceFeatures = dfDaylightSaving;
    Logic.SetOnOffLine(1);
    EXPECT_TRUE(Logic.Controls().DaylightVisible);

    // Offline nothing is read; coming back online reads everything.
    Env.Context.Online = false;
    Logic.SetOnOffLine(0);
    Sent.Clear();
    FNow += TEinstellungLogic::kReadoutIntervalMs + 1;
    Logic.TimerEvent(50, true);
    EXPECT_TRUE(Sent.Orders.empty());
    EXPECT_FALSE(Logic.Controls().Online);
    Env.Context.Online = true;
    Logic.SetOnOffLine(1);
    Logic.TimerEvent(50, true);
    EXPECT_EQ(Sent.Commands().size(), 3 + parameters.size() + 10);
}

TEST_F(presets_Logic, languageNames_replaceTheListWhenTheLastArrives)
{
    const QStringList defaults{QStringLiteral("English"), QStringLiteral("Deutsch")};
    answer("TIL;0;English;");
    answer("TIL;1;Deutsch;");
    EXPECT_EQ(Logic.Choice(chSprache).Texts(), defaults);
    answer("TIL;2;Français;");
    EXPECT_EQ(Logic.Choice(chSprache).Texts(), (QStringList{"English", "Deutsch", "Français"}));
    answer("TSL;2;");
    EXPECT_EQ(position(chSprache), 2);
    // A new read-out starts the list again from index 0.
    answer("TIL;0;Englisch;");
    EXPECT_EQ(Logic.LanguageNames(), QStringList{QStringLiteral("Englisch")});
    EXPECT_EQ(Logic.Choice(chSprache).Texts().size(), 3);
}

TEST_F(presets_Logic, readOutDoesNotOverwriteTheFocusedField)
{
    answer("TSE;20.0;");
    answer("TSF;1013.0;");
    Logic.SetFocusField(TEinstellField::SLTemp);
    Logic.SetSLTemp(QStringLiteral("2"));
    answer("TSE;25.0;");
    answer("TSF;1000.0;");
    EXPECT_EQ(Logic.SLTemp(), QStringLiteral("2"));
    EXPECT_EQ(Logic.SLDruck(), QStringLiteral("1000,0"));
    Logic.SetFocusField(TEinstellField::IMTime);
    Logic.SetIMTime(QTime(8, 0));
    answer("TST;09:30:00;");
    answer("TSD;01.06.2026;");
    EXPECT_EQ(Logic.IMTime(), QTime(8, 0));
    EXPECT_EQ(Logic.IMDate(), QDate(2026, 6, 1));
    Logic.SetFocusField(TEinstellField::None);
    answer("TSE;25.0;");
    EXPECT_EQ(Logic.SLTemp(), QStringLiteral("25,0"));
}

TEST_F(presets_Logic, clockButtons)
{
    Logic.SetIMDate(QDate(2026, 3, 9));
    Logic.SetIMTime(QTime(7, 5, 3));
    Logic.btnUhrSetClick();
    Logic.btnUhrReadClick();
    EXPECT_EQ(Sent.Commands(), (QStringList{"SSD;09.03.2026", "SST;07:05:03", "GSD", "GST"}));
    for (const TSentOrder& o : Sent.Orders)
        EXPECT_EQ(o.tag, kEinstellTagSet);
}

TEST_F(presets_Logic, synchronise_oneReadingOfThePcClock_daylightState)
{
    struct TCase {
        int daylight;
        bool feature;
        QStringList expected;
    };
    const QStringList dateTime{QStringLiteral("SSD;31.12.2026"), QStringLiteral("SST;23:59:59")};
    const TCase cases[] = {
        {1, true, QStringList{"SSX;1"} + dateTime},
        {0, true, QStringList{"SSX;0"} + dateTime},
        {-1, true, dateTime},
        {1, false, dateTime},
    };
    for (const TCase& c : cases) {
        // Every further reading of the PC clock is past midnight.
        QDateTime pc(QDate(2026, 12, 31), QTime(23, 59, 59, 999));
        Logic.SetWallClock([&pc] {
            const QDateTime now = pc;
            pc = QDateTime(QDate(2027, 1, 1), QTime(0, 0));
            return now;
        });
        std::time_t asked = 0;
        Logic.SetDaylight([&](std::time_t t) {
            asked = t;
            return c.daylight;
        });
        Env.Context.Device.DeviceFeatures = c.feature ? dfDaylightSaving : 0;
        Sent.Clear();
        Logic.btnUhrSyncClick();
        EXPECT_EQ(Sent.Commands(), c.expected) << c.daylight << " " << c.feature;
        if (c.feature) {
            EXPECT_EQ(asked, QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 999)).toSecsSinceEpoch());
        }
    }
}

TEST(presets_Daylight, localState_followsTheZone)
{
    const QByteArray oldTz = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    tzset();
    const std::time_t summer = QDateTime(QDate(2026, 7, 1), QTime(12, 0), Qt::UTC).toSecsSinceEpoch();
    const std::time_t winter = QDateTime(QDate(2026, 1, 15), QTime(12, 0), Qt::UTC).toSecsSinceEpoch();
    const int summerState = LocalDaylightState(summer);
    const int winterState = LocalDaylightState(winter);
    if (oldTz.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", oldTz);
    tzset();
    if (summerState < 0)
        GTEST_SKIP() << "no zone data for Europe/Berlin";
    EXPECT_EQ(summerState, 1);
    EXPECT_EQ(winterState, 0);
}

TEST_F(presets_Logic, presetRows_cellsAndColours)
{
    loadPresets();
    ASSERT_EQ(Logic.Rows().size(), 3);
    const QStringList innen{"1",         "Innen",  "120,0 SL",   "1,50 SL/min", "01:20 h:m", "00:00 m:s", "Ü, SL",
                            "0,0 NL",    "0,00 NL/min", "00:00 m:s", "00:00 m:s", "D, NL", "60 s"};
    EXPECT_EQ(Logic.Rows()[0].Cells, innen);
    const QStringList aussen{"2",      "Aussen",     "60,0 L",    "1,00 L/min", "01:00 h:m", "00:30 m:s", "L",
                             "30,0 L", "0,50 L/min", "01:10 h:m", "02:00 m:s",  "I, L",      "0 s"};
    EXPECT_EQ(Logic.Rows()[1].Cells, aussen);
    EXPECT_EQ(Logic.Rows()[2].Cells.at(4), QStringLiteral("40:00 m:s")) << "interval mode shows the set time";
    answer("TSM;2;");
    EXPECT_TRUE(Logic.RowInUse(0));
    EXPECT_TRUE(Logic.RowInUse(1));
    EXPECT_FALSE(Logic.RowInUse(2));
    // The answer to a write updates its row in place.
    answer("TSP;2;Draussen;0;18;100;600;30;0;26;50;300;120;70;");
    ASSERT_EQ(Logic.Rows().size(), 3);
    EXPECT_EQ(Logic.Rows()[1].Cells.at(1), QStringLiteral("Draussen"));
    EXPECT_TRUE(Sent.SetCommands().isEmpty());
}

TEST_F(presets_Logic, channelFields_checksKeepTheOldValue)
{
    loadPresets();
    Logic.SelectRow(0);
    TPresetChannelLogic& ch = Logic.Channel(0);
    QString status;
    QObject::connect(&Logic, &TEinstellungLogic::Status, [&status](const QString& text, bool) { status = text; });
    EXPECT_EQ(ch.View().Flow, QStringLiteral("1,50"));

    EXPECT_FALSE(ch.eFlowExit(QStringLiteral("1,95")));
    EXPECT_EQ(status, QStringLiteral("Wert muss kleiner oder gleich 1,90 sein"));
    EXPECT_FLOAT_EQ(ch.SampleSet().fFlow, 1.5f);
    Env.Context.Device.DeviceFeatures |= dfFlow2l;
    EXPECT_TRUE(ch.eFlowExit(QStringLiteral("1,95"))) << "the 2 l/min pump allows it";
    EXPECT_TRUE(ch.eFlowExit(QStringLiteral("0,125")));
    EXPECT_FLOAT_EQ(ch.SampleSet().fFlow, 0.12f);
    EXPECT_EQ(ch.View().Flow, QStringLiteral("0,12"));
    EXPECT_EQ(ch.SampleSet().iTime, 60000) << "120 L at 0.12 L/min";
    EXPECT_EQ(ch.View().Time, QStringLiteral("16:40 h:m"));
    EXPECT_TRUE(ch.eFlowExit(QStringLiteral("0,375")));
    EXPECT_FLOAT_EQ(ch.SampleSet().fFlow, 0.38f);

    EXPECT_TRUE(ch.eDelayExit(QStringLiteral("2h")));
    EXPECT_EQ(ch.SampleSet().iDelay, 7200);
    EXPECT_EQ(ch.View().Delay, QStringLiteral("02:00 h:m"));
    EXPECT_FALSE(ch.eDelayExit(QStringLiteral("25:00 h:m")));
    EXPECT_EQ(status, QStringLiteral("Wert muss kleiner oder gleich 24:00 h:m sein"));
    EXPECT_EQ(ch.SampleSet().iDelay, 7200);
    EXPECT_EQ(ch.View().Delay, QStringLiteral("25:00 h:m")) << "the refused text stays for correcting";

    // Set time only in interval mode.
    EXPECT_FALSE(ch.View().TimeEnabled);
    ch.cbIntervalModeClick(true);
    EXPECT_TRUE(ch.View().TimeEnabled);
    EXPECT_FALSE(ch.eTimeExit(QStringLiteral("24:00")));
    EXPECT_EQ(status, QStringLiteral("Wert muss größer oder gleich 25:00 m:s sein"));
    EXPECT_TRUE(ch.eTimeExit(QStringLiteral("30:00")));
    EXPECT_EQ(ch.SampleSet().iSetTime, 30);
    EXPECT_EQ(ch.View().Time, QStringLiteral("30:00 m:s"));
    EXPECT_TRUE(status.isEmpty());

    EXPECT_FALSE(ch.FloatKey(QLatin1Char('x')).has_value());
    EXPECT_EQ(status, QStringLiteral("Nur Zeichen \"0123456789.,\" möglich!"));
    EXPECT_EQ(ch.FloatKey(QLatin1Char('.')).value_or(QChar()), QLatin1Char(','));
    EXPECT_TRUE(Sent.SetCommands().isEmpty());
}

TEST_F(presets_Logic, rowChange_keepsEditsOfThePreviousRow_withoutSending)
{
    loadPresets();
    Logic.SelectRow(0);
    EXPECT_EQ(Logic.Page().Nr, QStringLiteral("1"));
    EXPECT_TRUE(Logic.Page().Enabled);
    EXPECT_TRUE(Logic.Controls().PresSave);
    ASSERT_TRUE(Logic.Channel(1).eVolExit(QStringLiteral("10")));
    EXPECT_TRUE(Logic.Channel(1).SampleSet().bActive) << "a volume makes the channel active";
    ASSERT_TRUE(Logic.Channel(1).eFlowExit(QStringLiteral("1")));
    Logic.Channel(0).rbVolTypeClick(kVolTypeL);
    EXPECT_EQ(Logic.Channel(0).View().FlowUnit, QStringLiteral("L/min"));
    Logic.SelectRow(1);
    EXPECT_EQ(Logic.Page().Bez, QStringLiteral("Aussen"));
    const TPreSet& first = Logic.Presets().at(0);
    EXPECT_FLOAT_EQ(first.aSet[1].fVolume, 10.0f);
    EXPECT_FLOAT_EQ(first.aSet[1].fFlow, 1.0f);
    EXPECT_TRUE(first.aSet[1].bActive);
    EXPECT_EQ(first.aSet[0].iVolType, kVolTypeL);
    EXPECT_FLOAT_EQ(Logic.Presets().at(1).aSet[1].fVolume, 30.0f) << "the second row keeps its own values";
    Logic.SelectRow(0);
    EXPECT_EQ(Logic.Channel(1).View().Vol, QStringLiteral("10,0"));
    EXPECT_TRUE(Sent.Orders.empty()) << Sent.Commands().join(QLatin1Char(' '));
}

TEST_F(presets_Logic, save_nameIntervalCheckAndCommand)
{
    loadPresets();
    QString status;
    bool alarm = false;
    QObject::connect(&Logic, &TEinstellungLogic::Status, [&](const QString& text, bool a) {
        status = text;
        alarm = a;
    });
    Logic.SelectRow(1);
    Logic.SetPresBez(QString());
    Logic.btnPresSaveClick();
    EXPECT_EQ(status, QStringLiteral("Keine Bezeichnung angegeben"));
    EXPECT_TRUE(alarm);
    EXPECT_TRUE(Sent.Orders.empty());

    Logic.SetPresBez(QStringLiteral("Hof"));
    EXPECT_FALSE(Logic.ePresLogIntervallExit(QStringLiteral("300")));
    EXPECT_EQ(status, QStringLiteral("Wert muss kleiner oder gleich 240 sein"));
    EXPECT_EQ(Logic.Presets().at(1).iLoginterv, 0);
    EXPECT_TRUE(Logic.ePresLogIntervallExit(QStringLiteral("030")));
    EXPECT_EQ(Logic.Page().LogIntervall, QStringLiteral("30"));
    ASSERT_TRUE(Logic.Channel(0).eDelayExit(QStringLiteral("1:30")));
    Logic.btnPresSaveClick();
    EXPECT_EQ(Sent.Commands(), QStringList{QStringLiteral("SSP;2;Hof;30;18;100;600;90;0;26;50;300;120;70")});
    EXPECT_EQ(Sent.Orders.at(0).client, 1);
    EXPECT_EQ(Sent.Orders.at(0).tag, 0);
    EXPECT_TRUE(status.isEmpty());

    // Interval mode with 10 min of pumping: too short for interval operation.
    Sent.Clear();
    Logic.SelectRow(2);
    Logic.btnPresSaveClick();
    EXPECT_EQ(status, QStringLiteral("Probenahmezeit bei Kanal 1 zu kurz für Intervallbetrieb"));
    EXPECT_TRUE(alarm);
    EXPECT_TRUE(Sent.Orders.empty());
}

TEST_F(presets_Logic, refetch_clearsSelectionThenEmptiesTheTable)
{
    loadPresets();
    Logic.SelectRow(2);
    ASSERT_TRUE(Logic.Channel(0).View().ActiveEnabled);
    Logic.btnActClick();
    Logic.TimerEvent(50, true);
    EXPECT_EQ(Logic.SelectedRow(), -1);
    EXPECT_TRUE(Logic.Rows().isEmpty());
    EXPECT_TRUE(Logic.Presets().isEmpty());
    EXPECT_FALSE(Logic.Page().Enabled);
    EXPECT_TRUE(Logic.Page().Nr.isEmpty());
    EXPECT_FALSE(Logic.Controls().PresSave);
    for (int c = 0; c < 2; ++c) {
        EXPECT_FALSE(Logic.Channel(c).View().ActiveEnabled);
        EXPECT_TRUE(Logic.Channel(c).View().Vol.isEmpty());
        EXPECT_EQ(Logic.Channel(c).View().VolUnit, QStringLiteral("NL"));
    }
    // Offline with an empty table nothing can be exported; with presets it can.
    Env.Context.Online = false;
    Logic.SetOnOffLine(0);
    EXPECT_FALSE(Logic.Controls().Export);
    loadPresets();
    EXPECT_TRUE(Logic.Controls().Export);
}

}  // namespace
