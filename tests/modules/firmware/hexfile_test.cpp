#include "hexrecords.h"

#include <QDir>

namespace {

QByteArray sixteenBytes(int first)
{
    QByteArray data;
    for (int i = 0; i < 16; ++i)
        data.append(static_cast<char>(first + i));
    return data;
}

const QString kInvalid = QString::fromUtf8(kHexInvalidCharsText);
const QString kUnsupported = QString::fromUtf8(kHexUnsupportedTypeText);
const QString kOutside = QString::fromUtf8(kHexOutsideImageText);
const QString kUnreadable = QString::fromUtf8(kHexUnreadableText);

}  // namespace

using hex_ReadHexFile = HexReaderFixture;

TEST_F(hex_ReadHexFile, page0800AtC000_fillsFirstSixteenBytesAsBlock0)
{
    ASSERT_TRUE(readText(lines({linearBase(0x0800C000), hexRecord(0x00, 0xC000, sixteenBytes(0x10)),
                                endRecord()})));
    EXPECT_TRUE(FLog.isEmpty());
    EXPECT_EQ(FImage.FImageSize, 16);
    EXPECT_EQ(FImage.FLastBlock, 0);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(FImage.FImage[i], 0x10 + i) << i;
    EXPECT_EQ(FImage.FImage.size(), static_cast<size_t>(kImageBytes));
    EXPECT_EQ(countFF(16, kImageBytes), kImageBytes - 16) << "untouched bytes stay FF";
}

TEST_F(hex_ReadHexFile, imageSizeAndLastBlock_followTheHighestRecordEnd)
{
    struct Case {
        const char* what;
        quint32 deviceAddress;
        int bytes;
        qint64 size, lastBlock;
    };
    const Case cases[] = {
        {"first byte of block 1", 0x0800C100, 16, 0x110, 1},
        {"ends exactly on a block", 0x0800C0F0, 16, 0x100, 0},
        {"one byte into block 1", 0x0800C0F1, 16, 0x101, 1},
        {"last bytes of the image", 0x0820BFF0, 16, kImageBytes, kImageBytes / 256 - 1},
        {"zero-length record", 0x0800C300, 0, 0x300, 2},
    };
    for (const Case& c : cases) {
        const QByteArray data = sixteenBytes(0).left(c.bytes);
        ASSERT_TRUE(readText(lines({linearBase(c.deviceAddress),
                                    hexRecord(0x00, c.deviceAddress & 0xFFFF, data), endRecord()})))
            << c.what;
        EXPECT_EQ(FImage.FImageSize, c.size) << c.what;
        EXPECT_EQ(FImage.FLastBlock, c.lastBlock) << c.what;
    }
    // A lower record after a higher one does not shrink the size.
    ASSERT_TRUE(readText(lines({linearBase(0x0800C000), hexRecord(0x00, 0xC200, sixteenBytes(0)),
                                hexRecord(0x00, 0xC000, sixteenBytes(0))})));
    EXPECT_EQ(FImage.FImageSize, 0x210);
    EXPECT_EQ(FImage.FLastBlock, 2);
}

TEST_F(hex_ReadHexFile, secondRead_startsFromEmptyImage)
{
    ASSERT_TRUE(readText(lines({linearBase(0x0800C000), hexRecord(0x00, 0xC400, sixteenBytes(0)),
                                endRecord()})));
    ASSERT_EQ(FImage.FLastBlock, 4);
    ASSERT_TRUE(readText(lines({endRecord()})));
    EXPECT_EQ(FImage.FImageSize, 0);
    EXPECT_EQ(FImage.FLastBlock, -1) << "no stale block count from the previous file";
    EXPECT_EQ(countFF(0, kImageBytes), kImageBytes);
}

TEST_F(hex_ReadHexFile, acceptedTextForms)
{
    const QByteArray data = hexRecord(0x00, 0xC000, sixteenBytes(0xA0));
    struct Case {
        const char* what;
        QByteArray text;
    };
    const Case cases[] = {
        {"no end record", lines({linearBase(0x0800C000), data})},
        {"lower-case digits", lines({linearBase(0x0800C000), data, endRecord()}).toLower()},
        {"CR LF line ends", lines({linearBase(0x0800C000), data, endRecord()}, "\r\n")},
        {"last line without line feed", lines({linearBase(0x0800C000), data}) + endRecord()},
        {"start address record ignored",
         lines({linearBase(0x0800C000), hexRecord(0x05, 0, hexBytes({0x08, 0x00, 0xC1, 0x23})),
                data, endRecord()})},
        {"segment record replaced by linear one",
         lines({hexRecord(0x02, 0, hexBytes({0x12, 0x34})), linearBase(0x0800C000), data})},
        {"anything after the end record is not read",
         lines({linearBase(0x0800C000), data, endRecord(), "", "garbage", ":0000000"})},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(readText(c.text)) << c.what;
        EXPECT_TRUE(FLog.isEmpty()) << c.what;
        EXPECT_EQ(FImage.FImageSize, 16) << c.what;
        EXPECT_EQ(FImage.FImage[15], 0xAF) << c.what;
    }
}

TEST_F(hex_ReadHexFile, badLines_refuseTheFileWithTheirMessage)
{
    const QByteArray good = hexRecord(0x00, 0xC000, sixteenBytes(0));
    const QByteArray longDigits = QByteArray(600, '0');
    struct Case {
        const char* what;
        QByteArray line;
        QString message;  // empty: refused without a message of its own
    };
    const Case cases[] = {
        {"empty line", "", {}},
        {"two characters", ":0", {}},
        {"even length", good + "0", {}},
        {"no colon", ";" + good.mid(1), kInvalid},
        {"letter beyond F", ":10C00000G" + good.mid(10), kInvalid},
        {"trailing blanks", good + "  ", kInvalid},
        {"CR inside the line", good.left(9) + '\r' + good.mid(10), kInvalid},
        {"wrong checksum", hexRecord(0x00, 0xC000, sixteenBytes(0), 1), {}},
        {"count larger than the data",
         hexLine(hexBytes({0x11, 0xC0, 0x00, 0x00}) + sixteenBytes(0)), {}},
        {"line far too long", ':' + longDigits, {}},
        {"line far too long before CR LF", ':' + longDigits + '\r', {}},
        {"invalid character past the kept part", ':' + longDigits.left(550) + "Z" + longDigits.left(49),
         kInvalid},
        {"segment record with one byte", hexRecord(0x02, 0, hexBytes({0x10})), {}},
        {"linear record with three bytes", hexRecord(0x04, 0, hexBytes({0x08, 0x00, 0x00})), {}},
        {"type 03", hexRecord(0x03, 0, hexBytes({0, 0, 0, 0})), kUnsupported},
        {"type 06", hexRecord(0x06, 0, {}), kUnsupported},
        {"type FF", hexRecord(0xFF, 0, {}), kUnsupported},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(readText(lines({linearBase(0x0800C000), good, c.line, endRecord()}))) << c.what;
        if (c.message.isEmpty())
            EXPECT_TRUE(FLog.isEmpty()) << c.what << ": " << FLog.join(u'|').toStdString();
        else
            EXPECT_EQ(FLog, QStringList{c.message}) << c.what;
        EXPECT_EQ(FImage.FImageSize, 16) << c.what << ": what came before stays";
    }
}

TEST_F(hex_ReadHexFile, checkSequence_decidesWhichMessageAppears)
{
    // Characters are judged before the checksum, and the checksum before the length.
    EXPECT_FALSE(readText(lines({":0000000X01"})));
    EXPECT_EQ(FLog, QStringList{kInvalid});
    EXPECT_FALSE(readText(lines({":01000003FC"})));  // type 03 but length wrong: no message
    EXPECT_TRUE(FLog.isEmpty());
}

TEST_F(hex_ReadHexFile, badChecksumAfterManyGoodRecords_refusesTheWholeFile)
{
    QByteArray text = linearBase(0x0800C000) + '\n';
    for (int r = 0; r < 3000; ++r) {
        const quint32 device = 0x0800C000 + 16 * r;
        if ((device & 0xFFFF) == 0)
            text += linearBase(device) + '\n';
        text += hexRecord(0x00, device & 0xFFFF, sixteenBytes(r & 0x7F)) + '\n';
    }
    text += hexRecord(0x00, 0xC000, sixteenBytes(0), 0x80) + '\n' + endRecord() + '\n';
    EXPECT_FALSE(readText(text));
    EXPECT_TRUE(FLog.isEmpty());
    EXPECT_EQ(FImage.FImageSize, 3000 * 16);
}

TEST_F(hex_ReadHexFile, recordsOutsideTheImage_refusedWithoutWritingPastIt)
{
    struct Case {
        const char* what;
        QByteArray base;
        int address;
    };
    const Case cases[] = {
        {"bootloader area below the image", linearBase(0x08000000), 0x0000},
        {"one byte below the image", linearBase(0x08000000), 0xBFFF},
        {"crossing the end of the image", linearBase(0x08200000), 0xBFF8},
        {"far above the image", linearBase(0xFFFF0000), 0xFFF0},
        {"segment address (below 1 MiB)", hexRecord(0x02, 0, hexBytes({0xFF, 0xFF})), 0xFFF0},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(readText(lines({c.base, hexRecord(0x00, c.address, sixteenBytes(0x40))})))
            << c.what;
        EXPECT_EQ(FLog, QStringList{kOutside}) << c.what;
        EXPECT_EQ(FImage.FImageSize, 0) << c.what;
        EXPECT_EQ(countFF(0, kImageBytes), kImageBytes) << c.what;
    }
}

TEST_F(hex_ReadHexFile, missingOrUnreadableFile_refusedWithMessage)
{
    ASSERT_TRUE(readText(lines({linearBase(0x0800C000), hexRecord(0x00, 0xC000, sixteenBytes(0))})));
    EXPECT_FALSE(readFile(FDir.filePath(QStringLiteral("missing.hex"))));
    EXPECT_EQ(FLog, QStringList{kUnreadable});
    EXPECT_EQ(FImage.FImageSize, 0) << "an old image must not look current";

    ASSERT_TRUE(QDir(FDir.path()).mkdir(QStringLiteral("folder.hex")));
    EXPECT_FALSE(readFile(FDir.filePath(QStringLiteral("folder.hex"))));
    EXPECT_EQ(FLog, QStringList{kUnreadable});
}

TEST(hex_THexParser, pieceBoundaries_doNotChangeTheResult)
{
    // The file reader hands the text over in chunks; a split anywhere, even inside CR LF or
    // a long line, must give the same verdict and image.
    QByteArray text;
    text += linearBase(0x0800C000) + "\r\n";
    for (int r = 0; r < 40; ++r)
        text += hexRecord(0x00, 0xC000 + 16 * r, QByteArray(16, static_cast<char>(r))) + "\r\n";
    const QByteArray overlong = ':' + QByteArray(560, 'A') + "\r\n";
    for (const QByteArray& tail : {QByteArray(), overlong}) {
        const QByteArray all = text + tail;
        THexImage whole;
        THexParser reference(whole);
        reference.Feed(all.constData(), static_cast<size_t>(all.size()));
        reference.Finish();
        for (qsizetype split = 0; split <= all.size(); split += 7) {
            THexImage pieces;
            THexParser parser(pieces);
            if (parser.Feed(all.constData(), static_cast<size_t>(split)))
                parser.Feed(all.constData() + split, static_cast<size_t>(all.size() - split));
            parser.Finish();
            ASSERT_EQ(parser.Fault(), reference.Fault()) << "split " << split;
            ASSERT_EQ(pieces.FImageSize, whole.FImageSize) << "split " << split;
            ASSERT_TRUE(pieces.FImage == whole.FImage) << "split " << split;
        }
        EXPECT_EQ(reference.Good(), tail.isEmpty());
    }
}
