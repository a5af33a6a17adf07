// libFuzzer target for the receive assembly of the serial port: random byte streams in random
// pieces, with counted receptions and resets in between, taken the way the port does.

#include "serialport.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    TRxAssembly rx;
    int blockSize = 0;
    while (in.remaining_bytes() > 0) {
        const auto op = in.ConsumeIntegral<std::uint8_t>();
        if (op >= 240) {
            // A counted reception as the bootloader transfer starts one.
            blockSize = in.ConsumeIntegralInRange<int>(1, 300);
            rx.Buffer.clear();
            rx.Complete = false;
            rx.Expected = blockSize;
            continue;
        }
        if (op >= 230) {
            rx = TRxAssembly{};
            blockSize = 0;
            continue;
        }
        const std::string piece = in.ConsumeBytesAsString(op % 64 + 1);
        for (char byte : piece) {
            if (rx.Complete) {
                // The owner fetches the block before the port reads on.
                check(rx.Buffer.size() == blockSize, "a block has its count");
                rx.Buffer.clear();
                rx.Complete = false;
                blockSize = 0;
            }
            const bool counted = rx.Expected > 0;
            const qsizetype before = rx.Buffer.size();
            switch (rx.Take(byte)) {
            case TRxAssembly::LineDone:
                check(!counted, "no line during a counted reception");
                check(rx.Buffer.size() > 4 && rx.Buffer.size() <= TRxAssembly::kMaxLineLength, "line length");
                for (char c : rx.Buffer)
                    check(static_cast<unsigned char>(c) >= 32, "no control character in a line");
                check(byte == '\r' || byte == '\n', "a line ends at CR or LF");
                rx.Buffer.clear();
                break;
            case TRxAssembly::BlockDone:
                check(counted && rx.Complete && rx.Expected == 0, "block complete");
                check(rx.Buffer.size() == blockSize, "a block has its count");
                break;
            case TRxAssembly::Pending:
                check(!rx.Complete, "nothing to fetch");
                check(rx.Buffer.size() <= TRxAssembly::kMaxLineLength || counted, "line buffer bounded");
                check(rx.Buffer.size() <= before + 1, "one byte at a time");
                break;
            }
        }
    }
    return 0;
}
