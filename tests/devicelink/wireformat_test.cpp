#include "commandindex.h"
#include "sendorder.h"
#include "wireformat.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace {

struct FrameCase {
    const char* command;
    QByteArray frame;
};

TEST(devicelink_WireFormat, framesCarryTheByteSumOfCommandAndSeparator)
{
    const QString longCommand(1200, QLatin1Char('z'));  // 1200 * 122 + 59 = 146459
    const std::vector<FrameCase> cases = {
        {"GIN", "GIN;00281\r\n"},
        {"SAS;3", "SAS;3;00400\r\n"},
        {"GIS", "GIS;00286\r\n"},
        {"GLV;0;", "GLV;0;;00458\r\n"},
        {"", ";00059\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BuildFrame(QString::fromLatin1(c.command)), c.frame) << c.command;
    const QByteArray big = BuildFrame(longCommand);
    EXPECT_TRUE(big.endsWith(";146459\r\n")) << big.right(12).constData();
}

TEST(devicelink_WireFormat, orderStartsNewWithTheFrameAndUnusedFieldsZero)
{
    const TOrder o = MakeOrder(2, QStringLiteral("SAS;3"), 7);
    EXPECT_EQ(o.Status, kOrderNew);
    EXPECT_EQ(o.Sender, 2);
    EXPECT_EQ(o.TXTag, 7);
    EXPECT_EQ(o.TXData, QByteArray("SAS;3;00400\r\n"));
    EXPECT_TRUE(o.RXData.isEmpty());
    EXPECT_EQ(o.TXCount + o.TXAdr + o.TXStat + o.RXAdr + o.TXIndex, 0);
}

TEST(devicelink_WireFormat, sendOrderQueuesOnlyWhileNotHalted)
{
    std::vector<TOrder> queued;
    SetOrderSink([&](const TOrder& o) { queued.push_back(o); });
    SendOrder(0, QStringLiteral("GIN"), 1);
    SetLinkHalted(true);
    SendOrder(0, QStringLiteral("GIS"), 2);
    SetLinkHalted(false);
    SetOrderSink({});
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_EQ(queued[0].TXData, QByteArray("GIN;00281\r\n"));
}

TEST(devicelink_WireFormat, answerShape)
{
    struct Case { QByteArray line; bool answer; bool message; };
    const std::vector<Case> cases = {
        {"TIN;1234;00555", true, false},
        {"TIM;hello;00000", false, true},  // TIM is never an answer, though its 4th char is ";"
        {"TIN;", false, false},            // four characters: nothing at all
        {"HELLO WORLD", false, true},
        {"TI;N;00000", false, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsAnswerLine(c.line), c.answer) << c.line.constData();
        EXPECT_EQ(IsDeviceMessage(c.line), c.message) << c.line.constData();
    }
}

TEST(devicelink_WireFormat, answerCheckAcceptsTheRightSumAndLogsMismatchesReceivedFirst)
{
    std::vector<std::pair<QString, QByteArray>> log;
    const TLinkLogFn logFn = [&](const QString& tag, const QByteArray& t) { log.emplace_back(tag, t); };

    TOrder ok;
    EXPECT_TRUE(CheckAnswer("TIN;1234;00555", ok, logFn));
    EXPECT_EQ(ok.Status, kOrderDone);
    EXPECT_EQ(ok.RXData, QByteArray("TIN;1234;"));
    EXPECT_TRUE(log.empty());

    TOrder bad;
    EXPECT_FALSE(CheckAnswer("TIN;1234;00556", bad, logFn));
    EXPECT_EQ(bad.Status, kOrderNew);
    EXPECT_EQ(bad.RXData, QByteArray("TIN;1234;"));  // kept for a final status 14
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].first, QStringLiteral("ERROR"));
    EXPECT_EQ(log[0].second, QByteArray("Checksum Mismatch! Expected: 556 - Got: 555"));

    log.clear();
    TOrder garbled;
    EXPECT_FALSE(CheckAnswer("TIN;1234;0x555", garbled, logFn));
    EXPECT_TRUE(garbled.RXData.isEmpty());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].second, QByteArray("Checksum is not numeric: 0x555"));
}

struct TokenCase {
    const char* text;
    const char* delims;
    int index;
    bool result;
    const char* token;  // expected token ("<unchanged>" when untouched)
    int indexAfter;
};

TEST(devicelink_WireFormat, getTokenModes)
{
    const std::vector<TokenCase> cases = {
        {"TIS;8;0;", ";", 2, true, "8", 2},
        {"TIS;8;0;", ";", 4, true, "", 4},
        {"TIS;8;0;", ";", 5, false, "<unchanged>", 5},
        {"TIS;8;0;", ";", 0, true, "<unchanged>", 4},
        {"TID;1;3.4.2;", ";", -3, true, "3.4.2;", 3},
        {"3.4.2", ".", 3, true, "2", 3},
        {"3.4.2", ".", 1, true, "3", 1},
        {"a,b;c", ",;", 3, true, "c", 3},
        {"", ";", 1, false, "<unchanged>", 1},
        {"abc", "", 1, false, "<unchanged>", 1},
        {"", ";", 0, false, "<unchanged>", 0},
        // A rest that is not there leaves the index as it was, whatever it was.
        {"TIS;8;0;", ";", -5, false, "<unchanged>", -5},
        {"TIS;8", ";", std::numeric_limits<int>::min(), false, "<unchanged>", std::numeric_limits<int>::min()},
    };
    for (const auto& c : cases) {
        QString token = QStringLiteral("<unchanged>");
        int index = c.index;
        const bool r = GetToken(QString::fromLatin1(c.text), QString::fromLatin1(c.delims), token, index);
        EXPECT_EQ(r, c.result) << c.text << " index " << c.index;
        EXPECT_EQ(token, QString::fromLatin1(c.token)) << c.text << " index " << c.index;
        EXPECT_EQ(index, c.indexAfter) << c.text << " index " << c.index;
    }
}

TEST(devicelink_WireFormat, controlCharactersRenderedAsCodes)
{
    EXPECT_EQ(RenderControlChars(QByteArray("TIM;a\tb\x01", 8)), QStringLiteral("TIM;a<9>b<1>"));
    EXPECT_EQ(RenderControlChars("20\xB0" "C"), QStringLiteral("20<176>C"));
}

TEST(devicelink_WireFormat, windows1252BothWays)
{
    const QString text = QStringLiteral("20 °C, € 5, Grüße");
    const QByteArray bytes = ToWire(text);
    EXPECT_EQ(bytes, QByteArray("20 \xB0" "C, \x80 5, Gr\xFC\xDF" "e"));
    EXPECT_EQ(FromWire(bytes), text);
    EXPECT_EQ(ToWire(QStringLiteral("日")), QByteArray("?"));
}

TEST(devicelink_CommandIndex, commandsFindTheirFamilyExactBeforePrefix)
{
    struct Case { const char* command; const char* family; };
    const std::vector<Case> cases = {
        {"GIS", "identity and status"},
        {"SAS;3", "sampling control"},
        {"GSP;2", "presets"},
        {"GSV", "device parameters"},
        {"SCF;1;2", "flow adjustment"},
        {"GCR", "peripheral calibration"},
        {"GLV;0;", "counters"},
        {"SAR", "firmware"},
    };
    for (const auto& c : cases) {
        const TCommandFamily* f = FindCommandFamily(QString::fromLatin1(c.command));
        ASSERT_NE(f, nullptr) << c.command;
        EXPECT_STREQ(f->name, c.family) << c.command;
    }
    EXPECT_EQ(FindCommandFamily(QStringLiteral("XYZ")), nullptr);
    EXPECT_EQ(AnswerWordFor(QStringLiteral("GIN")), QStringLiteral("TIN"));
}

}  // namespace
