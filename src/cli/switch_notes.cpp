// Notes on the compatible switches: a size Tarn.exe reads its own way is said as it is read, so that a script
// that gives /s=0 or /s=1.5 learns what was cut.
#include "cli/switch_notes.h"

#include <cstdlib>
#include <cstring>

#include "cli/console.h"
#include "engine/jobstate.h"

namespace {
constexpr uint32_t kLeastPieceKiB = 2;  // the sizing raises anything smaller to it
constexpr uint32_t kLargestKiB = 100000;
}  // namespace

void noteSizeSwitch(const char* value, uint32_t taken) {
    if (jobState.quietMode) return;
    const size_t length = std::strlen(value);
    const uint32_t used = taken < kLeastPieceKiB ? kLeastPieceKiB : taken;
    if (length == 0 || std::strspn(value, "0123456789") != length) {
        // Tarn.exe reads every character as a digit, whatever it is (12k is 179): the size is what it made of it.
        report({"'/s=%s' is not a whole number of KiB: taken as %u KiB, as Tarn.exe reads it",
                "'/s=%s' 不是整数 KiB: 按 Tarn.exe 的读法取为 %u KiB"},
               value, used);
        return;
    }
    const char* significant = value + std::strspn(value, "0");
    const unsigned long number = std::strlen(significant) > 6 ? kLargestKiB + 1 : std::strtoul(significant, nullptr, 10);
    if (number > kLargestKiB)
        report({"'/s=%s' is over %u: taken as %u KiB, as Tarn.exe reads it", "'/s=%s' 超过 %u: 按 Tarn.exe 的读法取为 %u KiB"},
               value, kLargestKiB, used);
    else if (number < kLeastPieceKiB)
        report({"'/s=%s' is below %u: taken as %u KiB, the smallest piece size", "'/s=%s' 小于 %u: 取最小的块大小 %u KiB"},
               value, kLeastPieceKiB, used);
}
