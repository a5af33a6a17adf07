// The reader against an independent writer: srec_cat turns random binaries into Intel HEX.

#include "hexrecords.h"

#include <QProcess>

#include <random>

namespace {

constexpr int kSrecTimeoutMs = 120000;

struct SrecCase {
    qint64 offset;     // image offset of the first byte
    qint64 size;
    int recordBytes;   // srec_cat's data bytes per record
    const char* lineEnd;
};

}  // namespace

using hex_SrecCatCrossCheck = HexReaderFixture;

TEST_F(hex_SrecCatCrossCheck, randomBinaries_readBackByteForByte)
{
    const QString srecCat = QStringLiteral(SREC_CAT_PATH);
    if (srecCat.isEmpty())
        GTEST_SKIP() << "srec_cat not found";

    const SrecCase cases[] = {
        {0, 1, 16, "nl"},
        {0, 256, 32, "crlf"},
        {0x3F00, 70000, 32, "crlf"},      // crosses two 64 KiB pages, so type 04 records appear
        {0x3FFE, 4, 16, "nl"},            // a page boundary inside one record's range
        {0x12345, 200000, 255, "nl"},
        {0x1F0000, 0x10000, 16, "crlf"},  // ends on the last image byte
        {0, kImageBytes, 32, "nl"},       // the whole application area
    };
    std::mt19937 rng(0x5A5A);
    for (const SrecCase& c : cases) {
        const QString label = QStringLiteral("offset %1 size %2 record %3")
                                  .arg(c.offset, 0, 16).arg(c.size).arg(c.recordBytes);
        QByteArray binary(c.size, Qt::Uninitialized);
        for (char& b : binary)
            b = static_cast<char>(rng() & 0xFF);
        const QString binName = FDir.filePath(QStringLiteral("in.bin"));
        const QString hexName = FDir.filePath(QStringLiteral("out.hex"));
        QFile bin(binName);
        ASSERT_TRUE(bin.open(QIODevice::WriteOnly));
        bin.write(binary);
        bin.close();

        QProcess srec;
        srec.start(srecCat, {binName, QStringLiteral("-binary"), QStringLiteral("-offset"),
                             QStringLiteral("0x%1").arg(kFlashBaseAddress + c.offset, 0, 16),
                             QStringLiteral("-o"), hexName, QStringLiteral("-intel"),
                             QStringLiteral("-output_block_size=%1").arg(c.recordBytes),
                             QStringLiteral("-line-termination=%1").arg(QLatin1String(c.lineEnd))});
        ASSERT_TRUE(srec.waitForFinished(kSrecTimeoutMs)) << label.toStdString();
        ASSERT_EQ(srec.exitCode(), 0) << srec.readAllStandardError().toStdString();

        ASSERT_TRUE(readFile(hexName)) << label.toStdString();
        EXPECT_TRUE(FLog.isEmpty());
        EXPECT_EQ(FImage.FImageSize, c.offset + c.size) << label.toStdString();
        EXPECT_EQ(FImage.FLastBlock, (c.offset + c.size + 255) / 256 - 1) << label.toStdString();
        const auto* image = reinterpret_cast<const char*>(FImage.FImage.data());
        EXPECT_TRUE(QByteArray::fromRawData(image + c.offset, c.size) == binary)
            << label.toStdString();
        EXPECT_EQ(countFF(0, c.offset) + countFF(c.offset + c.size, kImageBytes),
                  kImageBytes - c.size)
            << label.toStdString() << ": bytes outside the binary stay FF";
    }
}
