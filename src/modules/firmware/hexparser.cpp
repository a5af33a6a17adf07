#include "hexparser.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kTypeData = 0x00;
constexpr int kTypeEnd = 0x01;
constexpr int kTypeSegment = 0x02;
constexpr int kTypeLinear = 0x04;
constexpr int kTypeStartLinear = 0x05;

// Value of a hexadecimal digit, -1 for any other byte.
constexpr std::array<std::int8_t, 256> makeDigitTable()
{
    std::array<std::int8_t, 256> table{};
    for (int c = 0; c < 256; ++c) {
        if (c >= '0' && c <= '9')
            table[c] = static_cast<std::int8_t>(c - '0');
        else if (c >= 'A' && c <= 'F')
            table[c] = static_cast<std::int8_t>(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f')
            table[c] = static_cast<std::int8_t>(c - 'a' + 10);
        else
            table[c] = -1;
    }
    return table;
}
constexpr std::array<std::int8_t, 256> kDigit = makeDigitTable();

int digitOf(char c)
{
    return kDigit[static_cast<unsigned char>(c)];
}

}  // namespace

void THexImage::Reset()
{
    FImage.assign(static_cast<std::size_t>(kImageBytes), 0xFF);
    FImageSize = 0;
    FLastBlock = -1;
}

THexParser::THexParser(THexImage& image) : FTarget(image)
{
    FTarget.Reset();
}

bool THexParser::Feed(const char* data, std::size_t size)
{
    const char* p = data;
    const char* end = data + size;
    while (!FDone && p < end) {
        const void* found = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        const char* lineEnd = found ? static_cast<const char*>(found) : end;
        appendToLine(p, static_cast<std::size_t>(lineEnd - p));
        if (!found)
            break;
        finishLine();
        p = lineEnd + 1;
    }
    return !FDone;
}

void THexParser::Finish()
{
    if (!FDone && FLineLength > 0)
        finishLine();
    FDone = true;
}

void THexParser::appendToLine(const char* data, std::size_t size)
{
    if (size == 0)
        return;
    const std::size_t kept = std::min(size, FLine.size() - std::min(FLineLength, FLine.size()));
    std::memcpy(FLine.data() + std::min(FLineLength, FLine.size()), data, kept);
    for (std::size_t i = kept; i < size; ++i) {
        if (digitOf(data[i]) < 0)
            ++FTailNonHex;
    }
    FLineLength += size;
    FLastChar = data[size - 1];
}

void THexParser::finishLine()
{
    ++FLineNumber;
    std::size_t length = FLineLength;
    if (length > 0 && FLastChar == '\r') {
        // The CR belongs to the line end; past the kept part it was counted as a bad character.
        if (length > FLine.size())
            --FTailNonHex;
        --length;
    }
    FFault = handleLine(length);
    if (FFault != THexFault::None)
        FDone = true;
    FLineLength = 0;
    FTailNonHex = 0;
    FLastChar = 0;
}

THexFault THexParser::handleLine(std::size_t length)
{
    if (length < 3 || length % 2 == 0)
        return THexFault::ShortLine;

    const std::size_t kept = std::min(length, FLine.size());
    bool charsValid = FLine[0] == ':' && FTailNonHex == 0;
    for (std::size_t i = 1; charsValid && i < kept; ++i)
        charsValid = digitOf(FLine[i]) >= 0;
    if (!charsValid)
        return THexFault::InvalidChars;

    // Every valid record fits into the kept part; a longer line cannot match its byte count.
    if (length > kMaxRecordChars)
        return THexFault::Length;

    std::array<std::uint8_t, kMaxRecordChars / 2> bytes{};
    const std::size_t count = (length - 1) / 2;
    unsigned sum = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const int value = digitOf(FLine[1 + 2 * i]) * 16 + digitOf(FLine[2 + 2 * i]);
        bytes[i] = static_cast<std::uint8_t>(value);
        sum += static_cast<unsigned>(value);
    }
    if (sum % 256 != 0)
        return THexFault::Checksum;
    if (length != 11 + 2 * static_cast<std::size_t>(bytes[0]))
        return THexFault::Length;
    return handleRecord(bytes.data());
}

THexFault THexParser::handleRecord(const std::uint8_t* bytes)
{
    const std::int64_t n = bytes[0];
    const std::int64_t address = (std::int64_t{bytes[1]} << 8) | bytes[2];
    const int type = bytes[3];
    const std::uint8_t* data = bytes + 4;

    switch (type) {
    case kTypeData: {
        const std::int64_t start = FAddressBase + address - kFlashBaseAddress;
        // Nothing may land outside the image: such a file was built for another memory map.
        if (start < 0 || start + n > kImageBytes)
            return THexFault::OutsideImage;
        std::memcpy(FTarget.FImage.data() + start, data, static_cast<std::size_t>(n));
        if (start + n > FTarget.FImageSize) {
            FTarget.FImageSize = start + n;
            FTarget.FLastBlock = (start + n + kBlockBytes - 1) / kBlockBytes - 1;
        }
        return THexFault::None;
    }
    case kTypeEnd:
        FEndRecord = true;
        FDone = true;
        return THexFault::None;
    case kTypeSegment:
    case kTypeLinear: {
        if (n != 2)
            return THexFault::AddressCount;
        const std::int64_t value = (std::int64_t{data[0]} << 8) | data[1];
        FAddressBase = type == kTypeSegment ? value * 16 : value * 65536;
        return THexFault::None;
    }
    case kTypeStartLinear:
        return THexFault::None;
    default:
        return THexFault::UnsupportedType;
    }
}
