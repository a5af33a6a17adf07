// The virtual device's bootloader byte by byte: what the update relies on and what it must
// never send.

#include "bootloader.h"

#include <gtest/gtest.h>

namespace {

QByteArray block(int number, char fill)
{
    QByteArray b;
    b.append(char(number & 0xFF)).append(char(number >> 8));
    b.append(QByteArray(kBootBlockBytes, fill));
    return b;
}

QByteArray takeOutput(TSimBootloader& boot)
{
    QByteArray all;
    for (const auto& out : boot.Output())
        all += out.bytes;
    boot.Output().clear();
    return all;
}

TEST(firmware_BootSim, protocolAnswers_byteExact)
{
    TSimBootloader boot;
    boot.Feed(QByteArray::fromHex("55AA0B"), 0);
    const QByteArray hello = takeOutput(boot);
    ASSERT_EQ(hello.size(), kBootHandshakeBytes);
    // Bytes that a line-oriented receiver would drop or end a line at.
    EXPECT_TRUE(hello.contains('\0'));
    EXPECT_TRUE(hello.contains('\r'));
    EXPECT_TRUE(hello.contains('\n'));

    boot.Feed(QByteArray::fromHex("5802"), 10);
    EXPECT_TRUE(takeOutput(boot).isEmpty());

    boot.Feed(block(0, char(0xFF)), 20);
    boot.Feed(block(1, char(0x10)), 30);
    boot.Feed(block(0, char(0x22)), 40);
    const QByteArray answers = takeOutput(boot);
    ASSERT_EQ(answers.size(), 3);
    for (char a : answers)
        EXPECT_NE(a, '\0');
    boot.Feed(block(8192, char(0x33)), 50);
    EXPECT_EQ(takeOutput(boot), QByteArray(1, '\0'));
    EXPECT_EQ(boot.Violations(), 1);

    boot.Feed(QByteArray::fromHex("FFFF03"), 60);
    // 1 + (01 00 + 256 x 10) + (00 00 + 256 x 22) + (00 00 + 256 x FF) = 2 mod 256.
    EXPECT_EQ(takeOutput(boot), QByteArray(1, char(0x02)));
    EXPECT_EQ(boot.Flash().mid(256, 256), QByteArray(256, char(0x10)));
    EXPECT_EQ(boot.Flash().left(256), QByteArray(256, char(0x22)));
    EXPECT_FALSE(boot.Block0Erased());
    boot.Feed(QByteArray::fromHex("0452"), 70);
    EXPECT_EQ(boot.TakeEvent(), TSimBootloader::evRestart);
}

TEST(firmware_BootSim, strayFramesAndSilence_areViolations)
{
    TSimBootloader boot;
    boot.Feed("GID;00288\r\n", 0);
    EXPECT_GT(boot.Violations(), 0);
    const qint64 afterFrame = boot.Violations();
    boot.Feed(QByteArray::fromHex("55AA"), 1000);
    boot.Tick(1000 + kBootSilenceUs / 2);
    EXPECT_EQ(boot.Violations(), afterFrame);
    boot.Tick(1000 + kBootSilenceUs + 1);
    EXPECT_EQ(boot.Violations(), afterFrame + 1);
    // A whole handshake after the dropped piece works.
    boot.Feed(QByteArray::fromHex("55AA0B"), 2000000);
    EXPECT_EQ(takeOutput(boot).size(), kBootHandshakeBytes);
}

TEST(firmware_BootSim, pacedLine_eachByteTakesItsTime_answerOneByteTimeAfterTheBlock)
{
    TSimBootloader boot(true);
    boot.Feed(QByteArray::fromHex("55AA0B"), 0);
    ASSERT_EQ(boot.Output().size(), 1u);
    EXPECT_EQ(boot.Output().front().dueUs, (3 * kBootByteNs) / 1000 + (kBootHandshakeBytes * kBootByteNs) / 1000);
    boot.Output().clear();
    // Long idle: no credit, the next command starts when it arrives.
    boot.Feed(QByteArray::fromHex("5802"), 1000000);
    boot.Feed(block(0, char(0xFF)), 1000000);
    ASSERT_EQ(boot.Output().size(), 1u);
    EXPECT_EQ(boot.Output().front().dueUs, (1000000000 + 260 * kBootByteNs) / 1000 + kBootByteNs / 1000);
    // Bytes sent before the owed answer is out break the exchange.
    boot.Feed(block(1, char(0x01)), 1000100);
    EXPECT_EQ(boot.Violations(), 1);
}

TEST(firmware_BootSim, firmwareVersionIsReadFromItsPlaceInTheImage)
{
    QByteArray image(4096, char(0xFF));
    EXPECT_EQ(FirmwareVersionInImage(image), QString());
    image.replace(kFirmwareTagOffset, 12, QByteArrayLiteral("SV2FW=3.7.1\0"));
    EXPECT_EQ(FirmwareVersionInImage(image), QStringLiteral("3.7.1"));
}

}  // namespace
