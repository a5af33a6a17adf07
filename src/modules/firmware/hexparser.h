#pragma once
// Intel HEX records into the flash image of the device's application area. Plain C++ so that
// it can be fed from a file, a buffer or a fuzzer alike.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// Image offset 0 is this device address; the application area is 2 MiB long.
constexpr std::int64_t kFlashBaseAddress = 0x0800C000;
constexpr std::int64_t kImageBytes = 0x200000;
// The bootloader takes the image in blocks of this size.
constexpr std::int64_t kBlockBytes = 256;
// Longest valid record line: ':' + count, address, type (8 digits) + 255 data bytes + checksum.
constexpr std::size_t kMaxRecordChars = 11 + 2 * 255;

struct THexImage {
    std::vector<std::uint8_t> FImage;  // kImageBytes after a read; 0xFF where no record wrote
    std::int64_t FImageSize = 0;       // end of the highest data record, 0 without data
    std::int64_t FLastBlock = -1;      // block holding byte FImageSize - 1; -1 without data

    // Empties the image to 0xFF and forgets size and last block.
    void Reset();
};

// Why a file was refused. Only InvalidChars and UnsupportedType carry a message of their own
// towards the user; the others are reported as a bad file.
enum class THexFault {
    None,
    ShortLine,         // fewer than 3 characters or an even number of them
    InvalidChars,      // no leading ':' or a character that is not a hexadecimal digit
    Checksum,          // byte sum after the colon not 0 modulo 256
    Length,            // line length does not match the byte count
    AddressCount,      // type 02 or 04 with a byte count other than 2
    UnsupportedType,   // type 03 or above 05
    OutsideImage,      // data bytes below the flash base or past the end of the image
};

// Reads a HEX text piece by piece. Lines end with LF, optionally preceded by CR; the last line
// may lack its LF. Reading stops at the end record or at the first bad line, whose number
// FaultLine() gives; what was stored before stays in the image.
class THexParser {
public:
    // Resets the image; the parser writes into it until it is destroyed.
    explicit THexParser(THexImage& image);

    // Takes the next piece of the text. Returns false once no more input is wanted.
    bool Feed(const char* data, std::size_t size);
    // End of the text: a last line without line feed is handled now.
    void Finish();

    // True after the end record or a fault.
    bool Done() const { return FDone; }
    bool Good() const { return FFault == THexFault::None; }
    THexFault Fault() const { return FFault; }
    std::int64_t FaultLine() const { return FFault == THexFault::None ? 0 : FLineNumber; }
    bool SawEndRecord() const { return FEndRecord; }

private:
    void appendToLine(const char* data, std::size_t size);
    void finishLine();
    THexFault handleLine(std::size_t length);
    THexFault handleRecord(const std::uint8_t* bytes);  // count, address, type, data

    THexImage& FTarget;
    std::int64_t FAddressBase = 0;
    std::int64_t FLineNumber = 0;
    THexFault FFault = THexFault::None;
    bool FDone = false;
    bool FEndRecord = false;

    // The current line: its first kMaxRecordChars + 1 characters (room for a CR) are kept;
    // of the rest only the length and the non-hexadecimal characters are counted, which is all
    // the checks need to judge a line that is too long to be valid.
    std::array<char, kMaxRecordChars + 1> FLine{};
    std::size_t FLineLength = 0;
    std::size_t FTailNonHex = 0;
    char FLastChar = 0;
};
