// The counters logic headless: orders are collected, answers fed to RXData, the dialogs scripted.

#include "i18n.h"
#include "programsettings.h"
#include "sendorder.h"
#include "settingsform.h"
#include "wireformat.h"
#include "zaehlerlogic.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "qtprinters.h"

namespace {

constexpr int kDone = 10;
constexpr int kFailed = 14;

QString commandOf(const TOrder& order)
{
    const QString frame = FromWire(order.TXData);
    return frame.left(frame.lastIndexOf(QLatin1Char(';')));
}

class counters_Logic : public ::testing::Test {
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
        Context.Device.HardwareVersion = QStringLiteral("2.1");
        Logic = std::make_unique<TZaehlerLogic>(Context);
        Logic->SetCountDialog([this](const QString& caption, const QString& prompt, const QString& text) {
            Dialogs << caption + QLatin1Char('|') + prompt + QLatin1Char('|') + text;
            return DialogAnswer;
        });
        QObject::connect(Logic.get(), &TZaehlerLogic::Status, [this](const QString& t, bool) { StatusText = t; });
        QObject::connect(Logic.get(), &TZaehlerLogic::Message, [this](const QString& t) { Messages << t; });
        QObject::connect(Logic.get(), &TZaehlerLogic::FocusField, [this](const QString& n) { Focus = n; });
    }
    void TearDown() override
    {
        Logic.reset();
        SetOrderSink({});
    }
    void set(const QString& name, const QString& text) { Logic->Fields().UserEdit(name, text); }
    void goOnline(int features)
    {
        Context.Online = false;
        Logic->SetOnOffLine(0);
        Context.Device.DeviceFeatures = static_cast<std::uint8_t>(features);
        Context.Online = true;
        Sent.clear();
        Tags.clear();
        Logic->SetOnOffLine(1);
    }

    TFSettingsForm Settings;
    TAppContext Context{Settings};
    std::unique_ptr<TZaehlerLogic> Logic;
    QStringList Sent;
    QList<int> Tags;
    QString StatusText;
    QStringList Messages;
    QString Focus;
    QStringList Dialogs;
    std::optional<QString> DialogAnswer;
};

TEST_F(counters_Logic, durationCheck)
{
    const std::pair<const char*, bool> cases[] = {
        {"12:30:00", true},  {"100000:00:00", true}, {"0:00:00", true},    {"12:60:00", false},
        {"12:30", false},    {"-1:00:00", false},    {"12:30:60", false},  {"12: 30:00", false},
        {"+1:00:00", false}, {"", false},            {"1:2:3:4", false},   {"12:030:00", false},
    };
    for (const auto& [text, valid] : cases)
        EXPECT_EQ(IsValidDuration(QString::fromUtf8(text)), valid) << text;
}

TEST_F(counters_Logic, operatingHours_sendsTheTextAndRefreshesTheTotal_orRefusesBadDurations)
{
    set(QStringLiteral("eBSZ_LK2"), QStringLiteral("12:30:00"));
    Logic->btnSetBSZClick(2);
    EXPECT_EQ(Sent, QStringList({QStringLiteral("SLO;2;12:30:00"), QStringLiteral("GLO;7")}));
    EXPECT_EQ(Tags, QList<int>({2, 7}));
    EXPECT_EQ(Logic->State(QStringLiteral("eBSZ_LK2")), TFieldState::Sent);
    Sent.clear();
    set(QStringLiteral("eBSZ_LK4"), QStringLiteral("12:60:00"));
    Logic->btnSetBSZClick(4);
    EXPECT_TRUE(Sent.isEmpty());
    EXPECT_EQ(StatusText, QStringLiteral("Stundenzahl ungültig!"));
    EXPECT_EQ(Focus, QStringLiteral("eBSZ_LK4"));
}

TEST_F(counters_Logic, serialNumber_atLeastSixCharacters_typedSeparatorsDropped)
{
    set(QStringLiteral("eSerNr"), QStringLiteral("12345"));
    Logic->btnSetSerNrClick();
    EXPECT_TRUE(Sent.isEmpty());
    EXPECT_EQ(Messages, QStringList({QStringLiteral("Seriennummer zu kurz!")}));
    EXPECT_EQ(Focus, QStringLiteral("eSerNr"));
    set(QStringLiteral("eSerNr"), QStringLiteral("123456"));
    Logic->btnSetSerNrClick();
    EXPECT_EQ(Sent, QStringList({QStringLiteral("SLS;123456")}));
    // ";" would split the command: dropped before the length check.
    Sent.clear();
    set(QStringLiteral("eSerNr"), QStringLiteral("12;345\r"));
    Logic->btnSetSerNrClick();
    EXPECT_TRUE(Sent.isEmpty());
    set(QStringLiteral("ePerso1"), QStringLiteral("Firma;X\n"));
    Logic->btnSetPersoClick();
    EXPECT_EQ(Sent, QStringList({QStringLiteral("SLP;0;FirmaX"), QStringLiteral("SLP;1;"), QStringLiteral("SLP;2;"),
                                 QStringLiteral("SLP;3;")}));
    EXPECT_EQ(Tags, QList<int>({0, 1, 2, 3, 4}));
}

TEST_F(counters_Logic, readAll_sendsEveryCommandWithItsTag_rowsByFirmwareFeatures)
{
    for (const auto& [features, rows] : {std::pair{0, 25}, {dfDiffPressure | dfExtraBarometer, 27}}) {
        SCOPED_TRACE(features);
        goOnline(features);
        EXPECT_EQ(int(Logic->Rows(TZaehlerLogic::lJC).size()), rows);
        EXPECT_EQ(Sent.count(QStringLiteral("GLS")), 1);
        EXPECT_EQ(int(std::count_if(Sent.begin(), Sent.end(), [](const QString& s) { return s.startsWith(QStringLiteral("GLC;")); })),
                  rows);
        EXPECT_EQ(Sent.mid(0, 15), QStringList({QStringLiteral("GLS"), QStringLiteral("GLO;1"), QStringLiteral("GLO;2"),
                                                QStringLiteral("GLO;4"), QStringLiteral("GLO;7"), QStringLiteral("GLP;0"),
                                                QStringLiteral("GLP;1"), QStringLiteral("GLP;2"), QStringLiteral("GLP;3"),
                                                QStringLiteral("GLV;0;"), QStringLiteral("GLV;1;"), QStringLiteral("GLI;0;"),
                                                QStringLiteral("GLI;1;"), QStringLiteral("GLC;0"), QStringLiteral("GLC;1")}));
        EXPECT_EQ(Tags.mid(0, 13), QList<int>({0, 1, 2, 4, 7, 1, 2, 3, 4, 0, 1, 0, 1}));
        EXPECT_EQ(Sent.last(), QStringLiteral("GMM"));
        EXPECT_EQ(Logic->State(QStringLiteral("ePerso3")), TFieldState::Pending);
        EXPECT_EQ(Logic->Text(QStringLiteral("eHWVers")), QStringLiteral("2.1"));
    }
    // Only the barometer row: it keeps its wire number 26.
    goOnline(dfExtraBarometer);
    ASSERT_EQ(Logic->Rows(TZaehlerLogic::lJC).size(), 26u);
    EXPECT_EQ(Logic->Rows(TZaehlerLogic::lJC).back().Wire, 26);
    EXPECT_TRUE(Sent.contains(QStringLiteral("GLC;26")));
    EXPECT_FALSE(Sent.contains(QStringLiteral("GLC;25")));
    Logic->RXData(kDone, 26, QStringLiteral("TLC;26;4;01.02.2026;"));
    EXPECT_EQ(Logic->Rows(TZaehlerLogic::lJC).back().Count, QStringLiteral("4"));
    // Going offline clears the hardware version; a second online call while online reads nothing.
    Context.Online = false;
    Logic->SetOnOffLine(0);
    EXPECT_EQ(Logic->Text(QStringLiteral("eHWVers")), QString());
}

TEST_F(counters_Logic, answersPickTheirTargets)
{
    Logic->RXData(kDone, 2, QStringLiteral("TLO;4;12:00:00;"));
    EXPECT_EQ(Logic->Text(QStringLiteral("eBSZ_LK4")), QStringLiteral("12:00:00"));
    EXPECT_EQ(Logic->State(QStringLiteral("eBSZ_LK4")), TFieldState::Confirmed);
    Logic->RXData(kDone, 1, QStringLiteral("TLO;2;"));
    EXPECT_EQ(Logic->State(QStringLiteral("eBSZ_LK2")), TFieldState::Invalid);
    Logic->RXData(kDone, 1, QStringLiteral("TLO;x;1:00:00;"));
    EXPECT_EQ(Logic->State(QStringLiteral("eBSZ_Gesamt")), TFieldState::Invalid);
    EXPECT_EQ(Logic->State(QStringLiteral("eBSZ_LK1")), TFieldState::Invalid);

    Logic->RXData(kDone, 3, QStringLiteral("TLP;0;Zeile drei;"));
    EXPECT_EQ(Logic->Text(QStringLiteral("ePerso3")), QStringLiteral("Zeile drei"));
    // A failed order without an answer still names its line through the command sent.
    Logic->btnReadCounterClick();
    for (int tag : {0, 1, 2, 4, 7, 1, 2, 3})
        Logic->RXData(kDone, tag, QStringLiteral("TXX;"));
    Logic->RXData(kFailed, 4, QString());
    EXPECT_EQ(Logic->State(QStringLiteral("ePerso4")), TFieldState::Invalid);
    EXPECT_EQ(Logic->State(QStringLiteral("ePerso1")), TFieldState::Pending);

    Logic->RXData(kDone, 0, QStringLiteral("TLV;0;120;"));
    Logic->RXData(kDone, 1, QStringLiteral("TLV;1;x;"));
    EXPECT_EQ(Logic->Text(QStringLiteral("eVolSumme")), QStringLiteral("120"));
    Logic->RXData(kDone, 1, QStringLiteral("TLV;1;2147483647;"));
    EXPECT_EQ(Logic->Text(QStringLiteral("eVolSumme")), QStringLiteral("2147483767"));
    // Channel and tag must agree.
    Logic->RXData(kDone, 0, QStringLiteral("TLI;1;55;"));
    EXPECT_EQ(Logic->Text(QStringLiteral("eServoInkr1")), QString());
    Logic->RXData(kDone, 1, QStringLiteral("TLI;1;55;"));
    EXPECT_EQ(Logic->Text(QStringLiteral("eServoInkr2")), QStringLiteral("55"));

    Logic->RXData(kDone, 4, QStringLiteral("TLR;4;11;01.12.2026;"));
    Logic->RXData(kDone, 5, QStringLiteral("TLR;4;99;;"));
    EXPECT_EQ(Logic->Rows(TZaehlerLogic::lEC)[4].Count, QStringLiteral("11"));
    EXPECT_EQ(Logic->Rows(TZaehlerLogic::lEC)[5].Count, QString());

    Logic->RXData(kDone, 0, QStringLiteral("TMM;5;"));
    EXPECT_EQ(Logic->MonitorFlags(), 5);
    EXPECT_EQ(Logic->MonitorFlagsState(), TFieldState::Normal);
    Logic->RXData(kDone, 0, QStringLiteral("TMM;?;"));
    EXPECT_EQ(Logic->MonitorFlagsState(), TFieldState::Invalid);
}

TEST_F(counters_Logic, monitorFlagsSendTheirSum)
{
    Logic->clbMonitorFlagsClickCheck((1 << 0) | (1 << 3));
    EXPECT_EQ(Sent, QStringList({QStringLiteral("SMM;9")}));
    EXPECT_EQ(Logic->MonitorFlagsState(), TFieldState::Pending);
}

TEST_F(counters_Logic, countersEditedZeroedAndSaved)
{
    Logic->RXData(kDone, 0, QStringLiteral("TLR;0;57;03.12.2026;"));
    Logic->RXData(kDone, 2, QStringLiteral("TLR;2;2;14.10.2026;"));
    Logic->btnEventZaehlerNullenClick();
    const auto& ec = Logic->Rows(TZaehlerLogic::lEC);
    EXPECT_EQ(ec[0].Count, QStringLiteral("57"));
    EXPECT_EQ(ec[0].Date, QStringLiteral("03.12.2026"));
    EXPECT_EQ(ec[2].Count, QStringLiteral("0"));
    EXPECT_EQ(ec[2].Date, QString());
    Logic->btnEventzaehlerSpeichernClick();
    ASSERT_EQ(Sent.size(), 8);
    EXPECT_EQ(Sent[0], QStringLiteral("SLR;0;57"));
    EXPECT_EQ(Sent[7], QStringLiteral("SLR;7;0"));
    EXPECT_EQ(Tags[7], 7);
    EXPECT_EQ(ec[3].Date, QStringLiteral("?"));

    DialogAnswer = QStringLiteral(" 011 ");
    Logic->EditCounter(TZaehlerLogic::lJC, 4);
    EXPECT_EQ(Dialogs, QStringList({QStringLiteral("Zählerwert |RTC Batterie eingeben|")}));
    EXPECT_EQ(Logic->Rows(TZaehlerLogic::lJC)[4].Count, QStringLiteral("11"));
    EXPECT_EQ(Logic->Rows(TZaehlerLogic::lJC)[4].Date, QStringLiteral("?"));
    DialogAnswer = QStringLiteral("x");
    Logic->EditCounter(TZaehlerLogic::lJC, 4);
    EXPECT_EQ(Logic->Rows(TZaehlerLogic::lJC)[4].Count, QStringLiteral("11"));
    Sent.clear();
    Logic->btnJustageSpeichernClick();
    EXPECT_EQ(Sent, QStringList({QStringLiteral("SLC;4;11")}));
}

TEST_F(counters_Logic, rowColours)
{
    const std::pair<const char*, TCounterColour> cases[] = {{"11", TCounterColour::Red},    {"10", TCounterColour::Purple},
                                                            {"1", TCounterColour::Purple},  {"0", TCounterColour::Black},
                                                            {"", TCounterColour::Black},    {"x", TCounterColour::Black}};
    for (const auto& [count, colour] : cases)
        EXPECT_EQ(CounterColour(QString::fromUtf8(count)), colour) << count;
}

TEST_F(counters_Logic, volumeAndServoButtonsNeedIntegers)
{
    set(QStringLiteral("eVol2"), QStringLiteral("1,5"));
    Logic->btnVolSpeichernClick(1);
    EXPECT_TRUE(Sent.isEmpty());
    EXPECT_EQ(Logic->State(QStringLiteral("eVol2")), TFieldState::Invalid);
    set(QStringLiteral("eVol2"), QStringLiteral("17290"));
    Logic->btnVolSpeichernClick(1);
    set(QStringLiteral("eServoInkr1"), QStringLiteral("1204311"));
    Logic->btnServoInkrSpeichernClick(0);
    EXPECT_EQ(Sent, QStringList({QStringLiteral("SLV;1;17290"), QStringLiteral("SLI;0;1204311")}));
    EXPECT_EQ(Tags, QList<int>({1, 0}));
}

}  // namespace
