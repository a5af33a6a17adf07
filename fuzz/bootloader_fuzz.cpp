// libFuzzer target for the virtual device's bootloader: random bytes in random pieces at
// random (rising) times, with silence ticks, restarts and the fault switches in between.

#include "bootloader.h"

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
    // One instance for all inputs, as the device keeps its flash across restarts; Reset makes
    // each input start at the bootloader's start.
    static TSimBootloader boot;
    boot.Reset();
    boot.SetPaced(in.ConsumeBool());
    TBootFaults& faults = boot.Faults();
    faults = TBootFaults{};
    if (in.ConsumeBool()) {
        faults.noHandshake = in.ConsumeBool();
        faults.zeroAtBlock = in.ConsumeIntegralInRange<int>(-1, 8);
        faults.slowAtBlock = in.ConsumeIntegralInRange<int>(-1, 8);
        faults.slowMs = in.ConsumeIntegralInRange<int>(0, 2000);
        faults.badChecksum = in.ConsumeBool();
        faults.vanishAtBlock = in.ConsumeIntegralInRange<int>(-1, 8);
    }
    qint64 now = 0;
    qint64 violations = boot.Violations();
    while (in.remaining_bytes() > 0) {
        const auto op = in.ConsumeIntegral<std::uint8_t>();
        now += in.ConsumeIntegralInRange<qint64>(0, 2 * kBootSilenceUs);
        if (op >= 250) {
            boot.Tick(now);
        } else if (op >= 245) {
            boot.Reset();
        } else {
            const std::string piece = in.ConsumeBytesAsString(op < 128 ? op % 8 + 1 : 258);
            boot.Feed(QByteArray(piece.data(), static_cast<qsizetype>(piece.size())), now);
        }
        check(boot.Flash().size() == kBootFlashBytes, "the flash keeps its size");
        check(boot.Violations() >= violations, "violations only grow");
        violations = boot.Violations();
        for (const auto& out : boot.Output()) {
            check(out.bytes.size() == 1 || out.bytes.size() == kBootHandshakeBytes, "answer sizes");
            check(out.dueUs >= 0, "answers are due after the start");
        }
        boot.Output().clear();
        if (boot.TakeEvent() != TSimBootloader::evNone)
            boot.Reset();
    }
    (void)FirmwareVersionInImage(boot.Flash());
    return 0;
}
