// The adjustment logic headless: orders are collected, answers fed to RXData, the clock and the
// serial-number question driven by the test.

#include "kaliblogic.h"
#include "formatsettings.h"
#include "kalibtestutil.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

constexpr int kDone = 10;
constexpr int kFailed = 14;

class adjustment_Logic : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetOrderSink([this](const TOrder& o) {
            Sent << CommandOf(o);
            Tags << o.TXTag;
        });
        Env.Context.Online = true;
        Env.Context.Device.SerialNo = QStringLiteral("SV2000123");
        Logic = std::make_unique<TKalibLogic>(Env.Context);
        Logic->SetClock([this] { return Now; });
        Logic->SetSerialQuestion([this]() -> std::optional<QString> {
            ++Asked;
            return Answer;
        });
        QObject::connect(Logic.get(), &TKalibLogic::Status, [this](const QString& text, bool alarm) {
            StatusText = text;
            StatusAlarm = alarm;
        });
        QObject::connect(Logic.get(), &TKalibLogic::SysMessage,
                         [this](const QString& text, bool alarm) { SysMessages << (alarm ? QStringLiteral("ALARM ") : QString()) + text; });
        QObject::connect(Logic.get(), &TKalibLogic::FocusField, [this](const QString& name) { Focus = name; });
        QObject::connect(Logic.get(), &TKalibLogic::Beep, [this] { ++Beeps; });
    }
    void TearDown() override
    {
        Logic.reset();
        SetOrderSink({});
    }

    void set(const QString& name, const QString& text) { Logic->Fields().UserEdit(name, text); }
    QString text(const QString& name) const { return Logic->Text(name); }
    TFieldState state(const QString& name) const { return Logic->State(name); }

    // Five points of channel c: flows of points 2..5 and voltages of points 1..5, as typed.
    void setPoints(int c, const QStringList& flows, const QStringList& volts)
    {
        for (int i = 1; i < kKalibPoints; ++i)
            set(TKalibLogic::FlowName(c, i), flows.value(i - 1));
        for (int i = 0; i < kKalibPoints; ++i)
            set(TKalibLogic::VoltName(c, i), volts.value(i));
    }
    void setStraightLine(int c)
    {
        setPoints(c, {QStringLiteral("0,3"), QStringLiteral("0,6"), QStringLiteral("0,9"), QStringLiteral("1,2")},
                  {QStringLiteral("1,00"), QStringLiteral("1,50"), QStringLiteral("2,00"), QStringLiteral("2,50"),
                   QStringLiteral("3,00")});
    }
    void setCoefficients(int c, const QStringList& values, const QString& offset)
    {
        for (int i = 0; i < kKalibPoints; ++i)
            set(TKalibLogic::JustName(c, i), values.value(i));
        set(TKalibLogic::OffsetName(c), offset);
    }
    double number(const QString& name) const
    {
        double v = 0.0;
        EXPECT_TRUE(FmtDisplay().ParseFloat(text(name), v)) << name.toStdString() << " = " << text(name).toStdString();
        return v;
    }
    QString logName() const { return AdjustLogFileName(Env.Context.Device.SerialNo, Now.date()); }

    TKalibTestEnv Env;
    std::unique_ptr<TKalibLogic> Logic;
    QDateTime Now{QDate(2024, 1, 31), QTime(14, 5, 9)};
    std::optional<QString> Answer;
    int Asked = 0;
    int Beeps = 0;
    QStringList Sent;
    QList<int> Tags;
    QString StatusText;
    bool StatusAlarm = false;
    QStringList SysMessages;
    QString Focus;
};

TEST_F(adjustment_Logic, straightLine_fitsSlopeAndIntercept_andLogsTheCalculationBlock)
{
    setStraightLine(0);
    Logic->btnCalcClick(0);
    EXPECT_EQ(StatusText, QString());
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(number(TKalibLogic::JustName(0, i)), 0.0, 1e-6) << i;
    EXPECT_NEAR(number(TKalibLogic::JustName(0, 3)), 0.6, 1e-6);
    EXPECT_NEAR(number(TKalibLogic::JustName(0, 4)), -0.6, 1e-6);
    EXPECT_EQ(text(TKalibLogic::JustName(0, 3)).size(), QStringLiteral("0,6000000").size());
    EXPECT_TRUE(Sent.isEmpty());

    const QStringList lines = Env.LogLines(QStringLiteral("SV2000123_20240131.csv"));
    QStringList just;
    for (int i = 0; i < kKalibPoints; ++i)
        just << text(TKalibLogic::JustName(0, i));
    const QStringList expected{
        QStringLiteral("Datum;31.01.2024;Zeit;14:05:09"),
        QStringLiteral("Kanal 1"),
        QStringLiteral("Justagepunkt;;1;2;3;4;5"),
        QStringLiteral("Vol.Strom;NL/min;0,00;0,3;0,6;0,9;1,2"),
        QStringLiteral("Sensorsignal;Volt;1,00;1,50;2,00;2,50;3,00"),
        QStringLiteral("Errechnete Justagedaten"),
        QStringLiteral("Datum Nr.;;1;2;3;4;5"),
        QStringLiteral("Wert;;") + just.join(QLatin1Char(';')),
    };
    EXPECT_EQ(lines, expected);
    EXPECT_TRUE(Env.LogBytes(QStringLiteral("SV2000123_20240131.csv")).endsWith("\r\n"));
}

TEST_F(adjustment_Logic, logValuesTakeCommaInEnglishWhileDatesAndLabelsKeepTheirPoints)
{
    SetProgramLanguage(kLangEnglish);
    setPoints(1, {QStringLiteral("0.3"), QStringLiteral("0.6"), QStringLiteral("0.9"), QStringLiteral("1.2")},
              {QStringLiteral("1.00"), QStringLiteral("1.50"), QStringLiteral("2.00"), QStringLiteral("2.50"),
               QStringLiteral("3.00")});
    set(TKalibLogic::FlowName(1, 0), QStringLiteral("0.00"));
    Logic->btnCalcClick(1);
    SetProgramLanguage(kLangGerman);
    const QStringList lines = Env.LogLines(logName());
    ASSERT_EQ(lines.size(), 8);
    EXPECT_EQ(lines[0].section(QLatin1Char(';'), 1, 1), QStringLiteral("31.01.2024"));
    EXPECT_EQ(lines[0].section(QLatin1Char(';'), 3, 3), QStringLiteral("14:05:09"));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(" 2"))) << lines[1].toStdString();
    EXPECT_TRUE(lines[3].endsWith(QStringLiteral(";0,00;0,3;0,6;0,9;1,2"))) << lines[3].toStdString();
    EXPECT_TRUE(lines[4].endsWith(QStringLiteral(";1,00;1,50;2,00;2,50;3,00"))) << lines[4].toStdString();
    EXPECT_TRUE(lines[7].contains(QStringLiteral("0,6000000"))) << lines[7].toStdString();
}

struct TCalcCase {
    const char* label;
    int point;          // 1-based point whose value is replaced
    bool voltage;       // the voltage of that point, else its flow
    const char* value;
    const char* message;  // empty: the calculation succeeds
};

TEST_F(adjustment_Logic, calculationChecks_firstFailingPointStopsWithItsMessageAndFocus)
{
    const TCalcCase cases[] = {
        {"equal flow at point 3", 3, false, "0,3", "Volumenstom bei Justagepunkt 3 ist nicht aufsteigend"},
        {"2.0 at point 5 accepted", 5, false, "2,0", ""},
        {"2.01 at point 5", 5, false, "2,01", "Volumenstrom ist zu groß (max: 2,0 NL/min)"},
        {"flow not a number", 2, false, "x", "Volumenstom bei Justagepunkt 2 ist ungültig"},
        {"empty flow", 4, false, "", "Volumenstom bei Justagepunkt 4 ist ungültig"},
        {"0.87 V at point 1", 1, true, "0,87", "Sensorwert bei Justagepunkt 1 ist zu klein (Min: 0,88V)"},
        {"0.88 V at point 1 accepted", 1, true, "0,88", ""},
        {"5.13 V at point 5", 5, true, "5,13", "Sensorwert bei Justagepunkt 5 ist zu groß (Max: 5,12V)"},
        {"5.12 V at point 5 accepted", 5, true, "5,12", ""},
        {"falling voltage", 3, true, "1,40", "Sensorwert bei Justagepunkt 3 ist nicht aufsteigend"},
        {"voltage not a number", 2, true, "1,5x", "Sensorwert bei Justagepunkt 2 ist ungültig"},
    };
    for (const TCalcCase& c : cases) {
        SCOPED_TRACE(c.label);
        setStraightLine(0);
        setCoefficients(0, {QStringLiteral("keep"), {}, {}, {}, {}}, {});
        const QString name = c.voltage ? TKalibLogic::VoltName(0, c.point - 1) : TKalibLogic::FlowName(0, c.point - 1);
        set(name, QString::fromUtf8(c.value));
        Focus.clear();
        Logic->btnCalcClick(0);
        if (*c.message == 0) {
            EXPECT_EQ(StatusText, QString());
            EXPECT_NE(text(TKalibLogic::JustName(0, 0)), QStringLiteral("keep"));
        } else {
            EXPECT_EQ(StatusText, QString::fromUtf8(c.message));
            EXPECT_TRUE(StatusAlarm);
            EXPECT_EQ(Focus, name);
            EXPECT_EQ(text(TKalibLogic::JustName(0, 0)), QStringLiteral("keep"));
        }
    }
}

TEST_F(adjustment_Logic, transferSendsOffsetThenCoefficientsWithDeviceNotation_andLogsTheTransferBlock)
{
    setCoefficients(0, {QStringLiteral("0,0000001"), QStringLiteral("-0,25"), QStringLiteral("1"), QStringLiteral("0,6"),
                        QStringLiteral("0,8812")},
                    QStringLiteral("0,9512"));
    Answer = QStringLiteral("SV2000123");
    Logic->btnSetJustData(0);
    EXPECT_EQ(Sent, QStringList({QStringLiteral("SCF;0;5;0.9512000"), QStringLiteral("SCF;0;0;0.0000001"),
                                 QStringLiteral("SCF;0;1;-0.2500000"), QStringLiteral("SCF;0;2;1.0000000"),
                                 QStringLiteral("SCF;0;3;0.6000000"), QStringLiteral("SCF;0;4;0.8812000")}));
    EXPECT_EQ(Tags, QList<int>({5, 0, 1, 2, 3, 4}));
    EXPECT_EQ(state(TKalibLogic::OffsetName(0)), TFieldState::Sent);
    EXPECT_EQ(state(TKalibLogic::JustName(0, 4)), TFieldState::Sent);
    EXPECT_TRUE(Logic->TransferPending(0));
    EXPECT_EQ(Env.LogLines(logName()),
              QStringList({QStringLiteral("Datum;31.01.2024;Zeit;14:05:09"), QStringLiteral("Kanal 1"),
                           QStringLiteral("An Sarvik2V2 übertragene Justagedaten"), QStringLiteral("Datum Nr.;;1;2;3;4;5"),
                           QStringLiteral("Wert;;0,0000001;-0,25;1;0,6;0,8812"), QStringLiteral("Sensor-Offset; 0,9512")}));
    // The umlaut is one Windows-1252 byte.
    EXPECT_TRUE(Env.LogBytes(logName()).contains("\xfc" "bertragene"));
}

struct TSerialCase {
    const char* label;
    const char* deviceSerial;
    bool service;
    std::optional<QString> answer;
    const char* message;  // empty: sent
};

TEST_F(adjustment_Logic, serialNumberQuestion_guardsTheTransfer)
{
    const TSerialCase cases[] = {
        {"exact serial", "SV2000123", false, QStringLiteral("SV2000123"), ""},
        {"other letter case", "SV2000123", false, QStringLiteral("sv2000123"), "Eingabe der Serien-Nr. nicht korrekt?"},
        {"cancelled", "SV2000123", false, std::nullopt, "Ohne Eingabe der Serien-Nr. wird die Justage nicht durchgeführt!"},
        {"service mode takes any input", "SV2000123", true, QStringLiteral("egal"), ""},
        {"empty device serial never matches", "", false, QString(), "Eingabe der Serien-Nr. nicht korrekt?"},
        {"blank device serial never matches", "  ", false, QStringLiteral(" "), "Eingabe der Serien-Nr. nicht korrekt?"},
        {"blanks around both sides", " A1 ", false, QStringLiteral("A1  "), ""},
        {"blanks do not make another case equal", " A1 ", false, QStringLiteral("a1"), "Eingabe der Serien-Nr. nicht korrekt?"},
    };
    for (const TSerialCase& c : cases) {
        SCOPED_TRACE(c.label);
        Sent.clear();
        Beeps = 0;
        Env.Context.Device.SerialNo = QString::fromUtf8(c.deviceSerial);
        Env.Context.ServiceMode = c.service;
        Answer = c.answer;
        setCoefficients(0, {QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0,6"),
                            QStringLiteral("-0,6")},
                        QStringLiteral("1,0"));
        Logic->btnSetJustData(0);
        if (*c.message == 0) {
            EXPECT_EQ(Sent.size(), 6);
            EXPECT_EQ(Beeps, 0);
        } else {
            EXPECT_TRUE(Sent.isEmpty());
            EXPECT_EQ(StatusText, QString::fromUtf8(c.message));
            EXPECT_EQ(Beeps, 1);
        }
    }
}

TEST_F(adjustment_Logic, transferRefusesInvalidDataBeforeAskingAndOfflineAfter)
{
    setCoefficients(0, {QStringLiteral("0"), QString(), QStringLiteral("0"), QStringLiteral("0,6"), QStringLiteral("-0,6")},
                    QStringLiteral("1,0"));
    Logic->btnSetJustData(0);
    EXPECT_EQ(state(TKalibLogic::JustName(0, 1)), TFieldState::Invalid);
    EXPECT_EQ(state(TKalibLogic::JustName(0, 0)), TFieldState::Normal);
    EXPECT_EQ(StatusText, QStringLiteral("Ein Datum ist ungültig (rot gekennzeichnet)"));
    EXPECT_EQ(Asked, 0);
    EXPECT_TRUE(Sent.isEmpty());

    set(TKalibLogic::JustName(0, 1), QStringLiteral("0"));
    EXPECT_EQ(state(TKalibLogic::JustName(0, 1)), TFieldState::Normal);
    Env.Context.Online = false;
    Logic->btnSetJustData(0);
    EXPECT_EQ(StatusText, QStringLiteral("Justieren ist nur online möglich!"));
    EXPECT_EQ(Beeps, 1);
    EXPECT_EQ(Asked, 0);
    EXPECT_TRUE(Sent.isEmpty());
}

TEST_F(adjustment_Logic, coefficientAnswerIsTakenOnlyForTheTagThatAskedForIt)
{
    Logic->RXData(kDone, 13, QStringLiteral("TCF;1;3;0.5;"));
    EXPECT_EQ(text(TKalibLogic::JustName(1, 3)), QStringLiteral("0,5000000"));
    EXPECT_EQ(state(TKalibLogic::JustName(1, 3)), TFieldState::Confirmed);

    Logic->RXData(kDone, 3, QStringLiteral("TCF;1;3;0.5;"));
    EXPECT_EQ(state(TKalibLogic::JustName(0, 3)), TFieldState::Invalid);
    EXPECT_EQ(text(TKalibLogic::JustName(0, 3)), QString());

    // Index 5: the offset in both of its fields, each in its own format.
    Logic->RXData(kDone, 15, QStringLiteral("TCF;1;5;0.95123;"));
    EXPECT_EQ(text(TKalibLogic::OffsetName(1)), QStringLiteral("0,9512300"));
    EXPECT_EQ(text(TKalibLogic::SensOffsetName(1)), QStringLiteral("0,9512"));
    Logic->RXData(kDone, 5, QStringLiteral("TCF;?;"));
    EXPECT_EQ(state(TKalibLogic::OffsetName(0)), TFieldState::Invalid);
    EXPECT_EQ(state(TKalibLogic::SensOffsetName(0)), TFieldState::Invalid);
    // A failed order turns its fields red even without an answer word.
    Logic->readFlowSensorOffset(1);
    EXPECT_EQ(state(TKalibLogic::SensOffsetName(1)), TFieldState::Pending);
    Logic->RXData(kFailed, 15, QString());
    EXPECT_EQ(state(TKalibLogic::SensOffsetName(1)), TFieldState::Invalid);
}

TEST_F(adjustment_Logic, bothChannelsTransferredBeforeTheFirstReadBack_logBothReadBackBlocks)
{
    Answer = QStringLiteral("SV2000123");
    for (int c = 0; c < 2; ++c) {
        setCoefficients(c, {QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0,6"),
                            QStringLiteral("-0,6")},
                        QStringLiteral("1,0"));
        Logic->btnSetJustData(c);
    }
    ASSERT_EQ(Sent.size(), 12);
    for (int c = 0; c < 2; ++c) {
        Logic->RXData(kDone, 10 * c + 5, QStringLiteral("TCF;%1;5;1.0000000;").arg(c));
        for (const auto& [i, v] : {std::pair{0, "0"}, {1, "0"}, {2, "0"}, {3, "0.6"}, {4, "-0.6"}})
            Logic->RXData(kDone, 10 * c + i, QStringLiteral("TCF;%1;%2;%3;").arg(c).arg(i).arg(QLatin1String(v)));
    }
    const QStringList lines = Env.LogLines(logName());
    ASSERT_EQ(lines.size(), 6 + 6 + 2 + 2);
    EXPECT_EQ(lines.mid(12), QStringList({QStringLiteral("Von Sarvik2V2 erhaltene Justagedaten"),
                                          QStringLiteral("Wert;;0,0000000;0,0000000;0,0000000;0,6000000;-0,6000000"),
                                          QStringLiteral("Von Sarvik2V2 erhaltene Justagedaten"),
                                          QStringLiteral("Wert;;0,0000000;0,0000000;0,0000000;0,6000000;-0,6000000")}));
    EXPECT_FALSE(Logic->TransferPending(0));
    EXPECT_FALSE(Logic->TransferPending(1));
    // A later read of the coefficients logs nothing more.
    Logic->RXData(kDone, 4, QStringLiteral("TCF;0;4;-0.6;"));
    EXPECT_EQ(Env.LogLines(logName()).size(), 16);
}

TEST_F(adjustment_Logic, logFileName_trimsTheSerialAndMakesItSafe_andAnEmptyDirectoryBecomesDot)
{
    EXPECT_EQ(AdjustLogFileName(QStringLiteral(" A1 "), QDate(2024, 1, 31)), QStringLiteral("A1_20240131.csv"));
    EXPECT_EQ(AdjustLogFileName(QStringLiteral("A1234"), QDate(2024, 1, 31)), QStringLiteral("A1234_20240131.csv"));
    EXPECT_EQ(AdjustLogFileName(QStringLiteral("../x/y\tz"), QDate(2024, 12, 1)), QStringLiteral(".._x_y_z_20241201.csv"));

    Env.Context.Device.SerialNo = QStringLiteral(" A1 ");
    setStraightLine(0);
    Logic->btnCalcClick(0);
    EXPECT_EQ(Env.LogFiles(), QStringList({QStringLiteral("A1_20240131.csv")}));

    Env.Settings.SetStr(QStringLiteral("Paths/AdjustLog"), QString());
    EXPECT_EQ(Logic->AdjustLogPath(QDate(2024, 1, 31)), QStringLiteral("./A1_20240131.csv"));
    EXPECT_EQ(Env.Settings.GetStr(QStringLiteral("Paths/AdjustLog")), QStringLiteral("."));
}

TEST_F(adjustment_Logic, captureCopiesTheLiveVoltage_pointOneAlsoAsOffset)
{
    Logic->btnJustClick(0, 2);
    EXPECT_EQ(StatusText, QStringLiteral("Keine Werte vom Sensor vorhanden"));
    Logic->RXData(kDone, 0, QStringLiteral("TMV;1.23456;2.5;"));
    EXPECT_EQ(text(TKalibLogic::SensName(0)), QStringLiteral("1,2346"));
    EXPECT_EQ(text(TKalibLogic::SensVoltName(1)), QStringLiteral("2,5000"));
    EXPECT_EQ(state(TKalibLogic::SensVoltName(1)), TFieldState::Confirmed);
    Logic->btnJustClick(0, 2);
    EXPECT_EQ(text(TKalibLogic::VoltName(0, 2)), QStringLiteral("1,2346"));
    EXPECT_EQ(text(TKalibLogic::OffsetName(0)), QString());
    Logic->btnJustClick(1, 0);
    EXPECT_EQ(text(TKalibLogic::VoltName(1, 0)), QStringLiteral("2,5000"));
    EXPECT_EQ(text(TKalibLogic::OffsetName(1)), QStringLiteral("2,5000"));

    Logic->RXData(kDone, 0, QStringLiteral("TMV;x;2.5;"));
    EXPECT_EQ(state(TKalibLogic::SensName(0)), TFieldState::Invalid);

    Env.Context.Online = false;
    Logic->btnJustClick(0, 1);
    EXPECT_EQ(StatusText, QStringLiteral("Funktion nur online möglich"));
    EXPECT_EQ(text(TKalibLogic::VoltName(0, 1)), QString());
}

TEST_F(adjustment_Logic, livePollAtMostEveryHalfSecondWhileOnline)
{
    Logic->FormShow();
    Logic->TimerEvent(50);
    Now = Now.addMSecs(450);
    Logic->TimerEvent(50);
    Now = Now.addMSecs(50);
    Logic->TimerEvent(50);
    EXPECT_EQ(Sent, QStringList({QStringLiteral("GMV;0"), QStringLiteral("GMV;0")}));
    Env.Context.Online = false;
    Now = Now.addSecs(5);
    Logic->TimerEvent(50);
    EXPECT_EQ(Sent.size(), 2);
}

TEST_F(adjustment_Logic, sensorOffsetGroup_sendsThreeDecimals_andRefusesShortOrBadInput)
{
    set(TKalibLogic::SensVoltName(1), QStringLiteral("0,9516"));
    Logic->setSensorOffset(1);
    EXPECT_EQ(Sent, QStringList({QStringLiteral("SCF;1;5;0.952")}));
    EXPECT_EQ(Tags, QList<int>({15}));
    EXPECT_EQ(state(TKalibLogic::SensOffsetName(1)), TFieldState::Sent);
    for (const char* bad : {"1,", "abc", "1,2,3"}) {
        Sent.clear();
        set(TKalibLogic::SensVoltName(0), QString::fromUtf8(bad));
        Logic->setSensorOffset(0);
        EXPECT_TRUE(Sent.isEmpty()) << bad;
        EXPECT_EQ(StatusText, QStringLiteral("Spannungswert ist ungültig")) << bad;
    }
}

TEST_F(adjustment_Logic, refreshReadsEverythingInItsOrder_andClearsTheStatusLine)
{
    StatusText = QStringLiteral("old");
    Logic->btnReadDataClick();
    QStringList expected;
    for (int c = 0; c < 2; ++c) {
        for (int i = 0; i <= 5; ++i)
            expected << QStringLiteral("GCF;%1;%2").arg(c).arg(i);
    }
    expected << QStringLiteral("GCC;0") << QStringLiteral("GCC;1") << QStringLiteral("GCC;2") << QStringLiteral("GCS;0")
             << QStringLiteral("GCS;1") << QStringLiteral("GCD") << QStringLiteral("GCL") << QStringLiteral("GCB")
             << QStringLiteral("GCA") << QStringLiteral("GIB") << QStringLiteral("GCR");
    EXPECT_EQ(Sent, expected);
    EXPECT_EQ(Tags.mid(0, 6), QList<int>({0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(Tags.mid(6, 6), QList<int>({10, 11, 12, 13, 14, 15}));
    EXPECT_EQ(Tags.mid(12), QList<int>({0, 1, 2, 0, 1, 4, 4, 4, 4, 4, 4}));
    EXPECT_EQ(StatusText, QString());
    EXPECT_EQ(state(TKalibLogic::JustName(1, 2)), TFieldState::Pending);
    EXPECT_EQ(state(QStringLiteral("eServoZu1")), TFieldState::Pending);
    EXPECT_EQ(state(QStringLiteral("e5V")), TFieldState::Normal);
}

struct TSetCase {
    const char* label;
    std::vector<std::pair<const char*, const char*>> fields;
    std::function<void(TKalibLogic&)> action;
    const char* command;  // empty: nothing sent
    const char* message;  // status line after the action
    const char* redField; // turns invalid, or empty
};

TEST_F(adjustment_Logic, peripheralSetCommands_andTheirInputChecks)
{
    const TSetCase cases[] = {
        {"barometer tie to even", {{"eBaroIst", "1013,25"}}, &TKalibLogic::setBaro, "SCA;10132", "", ""},
        {"barometer rounds up", {{"eBaroIst", "1013,26"}}, &TKalibLogic::setBaro, "SCA;10133", "", ""},
        {"barometer empty", {{"eBaroIst", ""}}, &TKalibLogic::setBaro, "", "Luftdruckwert ist ungültig", ""},
        {"barometer beyond the integer", {{"eBaroIst", "300000000"}}, &TKalibLogic::setBaro, "", "Luftdruckwert ist ungültig", ""},
        {"negative current", {{"eStrom", "-250"}}, &TKalibLogic::setStrom, "SCI;250", "", ""},
        {"current beyond the integer", {{"eStrom", "99999999999"}}, &TKalibLogic::setStrom, "", "Stromwert ist ungültig", ""},
        {"lowest integer current", {{"eStrom", "-2147483648"}}, &TKalibLogic::setStrom, "", "Stromwert ist ungültig", ""},
        {"current with decimals", {{"eStrom", "2,5"}}, &TKalibLogic::setStrom, "", "Stromwert ist ungültig", ""},
        {"battery three decimals", {{"eAkku", "12,6"}}, &TKalibLogic::setAkku, "SCB;12.600", "", ""},
        {"battery not a number", {{"eAkku", "12,6V"}}, &TKalibLogic::setAkku, "", "Spannungswert ist ungültig", ""},
        {"5 V", {{"e5V", "5,1"}}, &TKalibLogic::set5V, "SCV;5.100", "", ""},
        {"5 V empty", {{"e5V", ""}}, &TKalibLogic::set5V, "", "Spannungswert ist ungültig", ""},
        {"controller row 2", {{"ePID_KP2", "10"}, {"ePID_TI2", "5"}, {"ePID_TD2", "0"}},
         [](TKalibLogic& l) { l.setPID(2); }, "SCC;2;10;5;0", "", ""},
        {"controller Ki not a number", {{"ePID_KP2", "10"}, {"ePID_TI2", "x"}, {"ePID_TD2", "y"}},
         [](TKalibLogic& l) { l.setPID(2); }, "", "Integral-Faktor ist ungültig", ""},
        {"controller Kp first", {{"ePID_KP0", ""}, {"ePID_TI0", "x"}, {"ePID_TD0", "1"}},
         [](TKalibLogic& l) { l.setPID(0); }, "", "Proportional-Faktor ist ungültig", ""},
        {"controller Kd", {{"ePID_KP1", "1"}, {"ePID_TI1", "2"}, {"ePID_TD1", "3,5"}},
         [](TKalibLogic& l) { l.setPID(1); }, "", "Differential-Faktor ist ungültig", ""},
        {"servo closed before open", {{"eServoAuf1", "200"}, {"eServoZu1", "800"}},
         [](TKalibLogic& l) { l.setServo(1); }, "SCS;1;800;200", "", ""},
        {"servo Auf checked first", {{"eServoAuf0", "x"}, {"eServoZu0", "y"}},
         [](TKalibLogic& l) { l.setServo(0); }, "", "Wert für \"Auf\" ist ungültig", ""},
        {"servo Zu", {{"eServoAuf0", "1"}, {"eServoZu0", ""}},
         [](TKalibLogic& l) { l.setServo(0); }, "", "Wert für \"Zu\" ist ungültig", ""},
        {"run-time constants", {{"eRunTimeX", "120"}, {"eRunTimeY", "-7"}}, &TKalibLogic::setRunTime, "SCR;120;-7", "", ""},
        {"empty X", {{"eRunTimeX", ""}, {"eRunTimeY", "5"}}, &TKalibLogic::setRunTime, "", "Feld für X-Konstante ist leer", "eRunTimeX"},
        {"empty Y before X not numeric", {{"eRunTimeX", "a"}, {"eRunTimeY", ""}}, &TKalibLogic::setRunTime, "",
         "Feld für Y-Konstante ist leer", "eRunTimeY"},
        {"X not numeric", {{"eRunTimeX", "1,5"}, {"eRunTimeY", "5"}}, &TKalibLogic::setRunTime, "", "X-Konstante ist nicht numerisch", "eRunTimeX"},
        {"Y not numeric", {{"eRunTimeX", "1"}, {"eRunTimeY", "y"}}, &TKalibLogic::setRunTime, "", "Y-Konstante ist nicht numerisch", "eRunTimeY"},
        {"next calibration, typed texts lose ; CR LF", {{"eNextWartungStunden", "15;00\r\n"}, {"enextWartungDatum", "06/2027;"}},
         &TKalibLogic::setNextWartung, "SCD;06/2027;1500", "", ""},
        {"next calibration hours empty", {{"eNextWartungStunden", ""}, {"enextWartungDatum", "06/2027"}},
         &TKalibLogic::setNextWartung, "", "Service-Stundenangabe ist ungültig", "eNextWartungStunden"},
        {"next calibration date empty", {{"eNextWartungStunden", "1500"}, {"enextWartungDatum", ";"}},
         &TKalibLogic::setNextWartung, "", "Service-Datum ist ungültig", "enextWartungDatum"},
        {"last calibration hours empty", {{"eLastWartungStunden", ""}}, &TKalibLogic::setLastWartung, "",
         "Service-Stundenangabe ist ungültig", "eLastWartungStunden"},
    };
    for (const TSetCase& c : cases) {
        SCOPED_TRACE(c.label);
        Sent.clear();
        StatusText.clear();
        for (const auto& [name, value] : c.fields)
            set(QString::fromUtf8(name), QString::fromUtf8(value));
        c.action(*Logic);
        EXPECT_EQ(Sent, *c.command ? QStringList{QString::fromUtf8(c.command)} : QStringList());
        EXPECT_EQ(StatusText, QString::fromUtf8(c.message));
        if (*c.redField) {
            EXPECT_EQ(state(QString::fromUtf8(c.redField)), TFieldState::Invalid);
        }
    }
}

TEST_F(adjustment_Logic, lastCalibrationSendsThePickedDate_andTheAnswerSetsThePicker)
{
    Logic->SetLastWartungDatum(QDate(2025, 3, 7));
    set(QStringLiteral("eLastWartungStunden"), QStringLiteral("1234"));
    Logic->setLastWartung();
    EXPECT_EQ(Sent, QStringList({QStringLiteral("SCL;07.03.2025;1234")}));
    EXPECT_EQ(Tags, QList<int>({kKalibTagSet}));
    Logic->RXData(kDone, kKalibTagSet, QStringLiteral("TCL;15.01.2026;1200;"));
    EXPECT_EQ(Logic->LastWartungDatum(), QDate(2026, 1, 15));
    EXPECT_EQ(text(QStringLiteral("eLastWartungStunden")), QStringLiteral("1200"));
    EXPECT_EQ(state(QStringLiteral("dtpLastWartungDatum")), TFieldState::Confirmed);
}

struct TAnswerCase {
    const char* label;
    int tag;
    const char* answer;
    std::vector<std::pair<const char*, const char*>> expected;  // field, text ("" = unchanged)
    TFieldState state;
};

TEST_F(adjustment_Logic, peripheralAnswersFillTheirGroupOrTurnItRed)
{
    const TAnswerCase cases[] = {
        {"barometer", 4, "TCA;10132;17;", {{"eBaroIst", "1013,2"}, {"eBaroOffset", "17"}}, TFieldState::Confirmed},
        {"battery", 4, "TCB;12.61;-3;", {{"eAkku", "12,6"}, {"eAkkuOffset", "-3"}}, TFieldState::Confirmed},
        {"battery malformed keeps the texts", 4, "TCB;12,61;-3;", {{"eAkku", "12,6"}, {"eAkkuOffset", "-3"}},
         TFieldState::Invalid},
        {"5 V", 4, "TCV;4.9626;2;", {{"e5V", "4,963"}, {"e5VOffset", "2"}}, TFieldState::Confirmed},
        {"current", 4, "TCI;45;-2;", {{"eStrom", " 45"}, {"eStromOffset", "-2"}}, TFieldState::Confirmed},
        {"run-time", 4, "TCR;100;250;", {{"eRunTimeX", "100"}, {"eRunTimeY", "250"}}, TFieldState::Confirmed},
        {"next calibration", 4, "TCD;06/2027;1500;", {{"enextWartungDatum", "06/2027"}, {"eNextWartungStunden", "1500"}},
         TFieldState::Confirmed},
        {"next calibration without hours", 4, "TCD;06/2027;", {{"enextWartungDatum", ""}}, TFieldState::Invalid},
        {"controller as received", 1, "TCC;1;40;12;3;", {{"ePID_KP1", "40"}, {"ePID_TI1", "12"}, {"ePID_TD1", "3"}},
         TFieldState::Confirmed},
        {"controller of another tag", 2, "TCC;1;40;12;3;", {{"ePID_KP2", ""}, {"ePID_TI2", ""}, {"ePID_TD2", ""}},
         TFieldState::Invalid},
        {"servo", 1, "TCS;1;800;200;", {{"eServoZu1", "800"}, {"eServoAuf1", "200"}}, TFieldState::Confirmed},
        {"servo unknown to the device", 0, "TCS;?;", {{"eServoZu0", ""}, {"eServoAuf0", ""}}, TFieldState::Invalid},
    };
    for (const TAnswerCase& c : cases) {
        SCOPED_TRACE(c.label);
        Logic->RXData(kDone, c.tag, QString::fromUtf8(c.answer));
        for (const auto& [name, value] : c.expected) {
            if (*value) {
                EXPECT_EQ(text(QString::fromUtf8(name)), QString::fromUtf8(value)) << name;
            }
            EXPECT_EQ(state(QString::fromUtf8(name)), c.state) << name;
        }
    }
    Logic->RXData(kFailed, 4, QStringLiteral("TCA;10132;17;"));
    EXPECT_EQ(state(QStringLiteral("eBaroIst")), TFieldState::Invalid);
    EXPECT_EQ(text(QStringLiteral("eBaroIst")), QStringLiteral("1013,2"));
}

TEST_F(adjustment_Logic, backupBatteryCheck_readsAfterThreeSeconds_andJudgesTheVoltage)
{
    Logic->FormShow();
    Logic->TimerEvent(50);  // the live poll's first GMV
    Sent.clear();
    Logic->checkRTC();
    EXPECT_EQ(Sent, QStringList({QStringLiteral("SAB")}));
    EXPECT_EQ(state(QStringLiteral("eRTCVoltage")), TFieldState::Pending);
    Sent.clear();
    Now = Now.addMSecs(2950);
    Logic->TimerEvent(50);
    EXPECT_FALSE(Sent.contains(QStringLiteral("GIB")));
    Now = Now.addMSecs(50);
    Logic->TimerEvent(50);
    EXPECT_EQ(Sent.count(QStringLiteral("GIB")), 1);
    Now = Now.addSecs(10);
    Logic->TimerEvent(50);
    EXPECT_EQ(Sent.count(QStringLiteral("GIB")), 1);

    Logic->RXData(kDone, 4, QStringLiteral("TIB;7.40;45;4;80;0;2.50;30.01.2024;"));
    EXPECT_EQ(Logic->RtcCheck(), TRtcCheck::Renew);
    EXPECT_EQ(text(QStringLiteral("eRTCVoltage")), QStringLiteral("2,50"));
    const QString day = FmtDisplay().FormatDate(QDate(2024, 1, 30));
    EXPECT_EQ(text(QStringLiteral("eRTCDatum")), day);
    Logic->RXData(kDone, 4, QStringLiteral("TIB;7.40;45;4;80;0;2.51;30.01.2024;"));
    EXPECT_EQ(Logic->RtcCheck(), TRtcCheck::Ok);
    EXPECT_EQ(SysMessages, QStringList({QStringLiteral("ALARM Backupbatterie erneuern - Prüfung am ") + day,
                                        QStringLiteral("Backupbatterie ist ok - Prüfung am ") + day}));
    Logic->RXData(kDone, 4, QStringLiteral("TIB;7.40;45;4;80;0;2.51;;"));
    EXPECT_EQ(state(QStringLiteral("eRTCDatum")), TFieldState::Invalid);
    EXPECT_EQ(SysMessages.size(), 2);
}

TEST_F(adjustment_Logic, keyFilters_acceptDigitsAndDecimalMarks_refuseTheRest)
{
    struct TKey {
        char key;
        bool monthYear;
        bool accepted;
        char becomes;
    };
    const TKey keys[] = {{'7', false, true, '7'}, {'.', false, true, ','}, {',', false, true, ','},
                         {'-', false, true, '-'}, {'\b', false, true, '\b'}, {'\r', false, true, '\r'},
                         {'a', false, false, 'a'}, {'/', false, false, '/'}, {' ', false, false, ' '},
                         {'/', true, true, '/'},  {'3', true, true, '3'},   {'.', true, false, '.'},
                         {'-', true, false, '-'}};
    for (const TKey& k : keys) {
        SCOPED_TRACE(std::string(1, k.key));
        QChar c = QLatin1Char(k.key);
        StatusText = QStringLiteral("old");
        const bool accepted = k.monthYear ? Logic->MonthYearKey(c) : Logic->NumericKey(c);
        EXPECT_EQ(accepted, k.accepted);
        if (!k.accepted) {
            EXPECT_EQ(StatusText, k.monthYear ? QStringLiteral("Nur Zeichen \"0123456789/\" möglich!")
                                              : QStringLiteral("Nur Zeichen \"0123456789.,\" möglich!"));
            continue;
        }
        EXPECT_EQ(c, QLatin1Char(k.becomes));
        EXPECT_EQ(StatusText, QString());
    }
}

}  // namespace
