#include "linklog.h"
#include "testpty.h"
#include "serialport.h"
#include "waitfor.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class devicelink_Serial : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.ok());
        TLinkLog::instance().setHook([this](const QString& tag, const QByteArray& data) {
            protocol.emplace_back(tag, data);
        });
        TLinkLog::instance().setEnabled(true);
        port.RS232SetReceiveHandler([this](const QByteArray& line) { lines.push_back(line); });
        port.SetDataActivityHandler([this] { ++activity; });
        ASSERT_TRUE(port.RS232Open(pty.path())) << port.RS232LastOpenErrorText().toStdString();
    }
    void TearDown() override
    {
        TLinkLog::instance().setEnabled(false);
        TLinkLog::instance().setHook({});
    }

    TestPty pty;
    TfRS232 port;
    std::vector<QByteArray> lines;
    std::vector<std::pair<QString, QByteArray>> protocol;
    int activity = 0;
};

TEST_F(devicelink_Serial, openOnAPseudoTerminalSucceedsThoughItHasNoModemLines)
{
    EXPECT_TRUE(port.RS232Connected());
    EXPECT_EQ(port.RS232LastOpenError(), QSerialPort::NoError);
    EXPECT_TRUE(port.RS232Open(QStringLiteral("  ")));  // blank closes
    EXPECT_FALSE(port.RS232Connected());
    EXPECT_FALSE(port.RS232Open(QStringLiteral("/dev/does-not-exist")));
    EXPECT_EQ(port.RS232LastOpenError(), QSerialPort::DeviceNotFoundError);
}

TEST_F(devicelink_Serial, burstGivesOneLineAndTheTrailingLineFeedIsDropped)
{
    pty.write("TIN;1234;00555\r\n");
    ASSERT_TRUE(waitFor([&] { return !lines.empty(); }));
    spinFor(80);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], QByteArray("TIN;1234;00555"));
    bool loggedDevice = false;
    for (const auto& [tag, data] : protocol)
        loggedDevice = loggedDevice || (tag == QLatin1String("DEVICE") && data == "TIN;1234;00555");
    EXPECT_TRUE(loggedDevice);
}

TEST_F(devicelink_Serial, twoLinesInOneBurstAreBothDelivered)
{
    pty.write("TIM;one\r\nTIS;4;0;00000\r\n");
    ASSERT_TRUE(waitFor([&] { return lines.size() == 2; }));
    EXPECT_EQ(lines[0], QByteArray("TIM;one"));
    EXPECT_EQ(lines[1], QByteArray("TIS;4;0;00000"));
}

TEST_F(devicelink_Serial, shortFragmentIsDiscardedAfterTheIdleTimeWithItsLog)
{
    pty.write("TIN;\r");
    ASSERT_TRUE(waitFor([&] {
        for (const auto& [tag, data] : protocol) {
            if (tag == QStringLiteral("Gerät TimeOut:"))
                return data == "TIN;";
        }
        return false;
    }));
    EXPECT_TRUE(lines.empty());
    // The fragment is gone: the next line starts clean.
    pty.write("TIS;4;00000\r\n");
    ASSERT_TRUE(waitFor([&] { return !lines.empty(); }));
    EXPECT_EQ(lines[0], QByteArray("TIS;4;00000"));
}

TEST_F(devicelink_Serial, controlCharactersAreRemovedFromLines)
{
    pty.write(QByteArray("TI\tN;1\x00" "2;00000\r\n", 16));
    ASSERT_TRUE(waitFor([&] { return !lines.empty(); }));
    EXPECT_EQ(lines[0], QByteArray("TIN;12;00000"));
}

TEST_F(devicelink_Serial, overlongLineIsEmptiedAtThe257thCharacter)
{
    QByteArray text;
    for (int i = 0; i < 300; ++i)
        text += static_cast<char>('A' + i % 26);
    pty.write(text + "\r\n");
    ASSERT_TRUE(waitFor([&] { return !lines.empty(); }));
    EXPECT_EQ(lines[0], text.right(43));
}

TEST_F(devicelink_Serial, countedModeTakesEveryByteUntilTheBlockIsComplete)
{
    QByteArray block;
    for (int i = 0; i < 62; ++i)
        block += static_cast<char>(i * 7);
    block[5] = 13;
    block[6] = 10;
    block[7] = 0;
    port.RS232ExpectBytes(62);
    QByteArray data;
    pty.write(block.left(30));
    spinFor(30);
    EXPECT_FALSE(port.RS232GetData(data));
    pty.write(block.mid(30));
    ASSERT_TRUE(waitFor([&] { return port.RS232GetData(data); }));
    EXPECT_EQ(data, block);
    EXPECT_TRUE(lines.empty());
    port.RS232ResetReceive();
    pty.write("TIN;1;00000\r\n");
    ASSERT_TRUE(waitFor([&] { return !lines.empty(); }));
}

// Line ends right behind a line are dropped in line mode, but belong to the block when the
// line's handler switched to counted mode.
TEST_F(devicelink_Serial, bytesBehindALineFollowTheModeTheHandlerLeft)
{
    struct Case {
        const char* name;
        QByteArray burst;
        int blockAfterFirstLine;  // 0: stay in line mode
        std::vector<QByteArray> lines;
        QByteArray block;
    };
    const Case cases[] = {
        {"line ends dropped", "TIN;1;00000\r\n\r\nTIS;2;00000\r\n", 0, {"TIN;1;00000", "TIS;2;00000"}, {}},
        {"line ends in the block", "TIN;1;00000\r\n\r\nA", 4, {"TIN;1;00000"}, "\n\r\nA"},
        {"block right after CR", "TIN;1;00000\rXYZ", 3, {"TIN;1;00000"}, "XYZ"},
        {"LF only, then a line", "TIN;1;00000\n\n\nTIS;2;00000\n", 0, {"TIN;1;00000", "TIS;2;00000"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        lines.clear();
        port.RS232ResetReceive();
        port.RS232SetReceiveHandler([&](const QByteArray& line) {
            if (lines.empty() && c.blockAfterFirstLine > 0)
                port.RS232ExpectBytes(c.blockAfterFirstLine);
            lines.push_back(line);
        });
        pty.write(c.burst);
        QByteArray block;
        if (c.blockAfterFirstLine > 0)
            ASSERT_TRUE(waitFor([&] { return port.RS232GetData(block); }));
        else
            ASSERT_TRUE(waitFor([&] { return lines.size() == c.lines.size(); }));
        spinFor(30);
        EXPECT_EQ(lines, c.lines);
        EXPECT_EQ(block, c.block);
    }
}

TEST_F(devicelink_Serial, sendWritesTheBytesAndLightsTheDataPanel)
{
    EXPECT_TRUE(port.RS232Send("GIN;00281\r\n"));
    EXPECT_EQ(pty.read(), QByteArray("GIN;00281\r\n"));
    EXPECT_EQ(activity, 1);
}

TEST_F(devicelink_Serial, sendWhileClosedReturnsFalseAndLightsNothing)
{
    port.RS232Open(QString());
    EXPECT_FALSE(port.RS232Send("GIN;00281\r\n"));
    EXPECT_EQ(activity, 0);
    EXPECT_TRUE(pty.read(100).isEmpty());
}

TEST_F(devicelink_Serial, sendDiscardsAPartialLineReceivedBefore)
{
    pty.write("TIS;4;0");
    spinFor(30);
    port.RS232Send("GIS;00286\r\n");
    pty.write("TIS;4;00000\r\n");
    ASSERT_TRUE(waitFor([&] { return !lines.empty(); }));
    EXPECT_EQ(lines[0], QByteArray("TIS;4;00000"));
}

TEST_F(devicelink_Serial, purgeLogsTheRestAndDiscardsIt)
{
    pty.write("TIS;4;0");
    spinFor(30);
    port.RS232Purge();
    bool logged = false;
    for (const auto& [tag, data] : protocol)
        logged = logged || (tag == QStringLiteral("Gerät Rest:") && data == "TIS;4;0");
    EXPECT_TRUE(logged);
}

TEST_F(devicelink_Serial, vanishedDeviceClosesThePort)
{
    pty.closeSlave();
    pty.closeMaster();
    ASSERT_TRUE(waitFor([&] { return !port.RS232Connected(); }, 3000));
}

}  // namespace
