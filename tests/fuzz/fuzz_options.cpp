// libFuzzer target: the commands' argument parser and piece-size parser on arbitrary argument lists.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // NUL bytes separate the arguments, as argv would hand them over.
    std::vector<std::string> args(1);
    for (size_t i = 0; i < size; i++) {
        if (data[i] == 0)
            args.emplace_back();
        else
            args.back() += static_cast<char>(data[i]);
    }
    uint32_t kib = 0;
    for (const std::string& a : args)
        if (parsePieceSize(a, kib) && kib == 0) __builtin_trap();  // 0 is never a size
    ParsedLine line = parseArguments(args);
    if (line.ok == !line.error.empty()) __builtin_trap();  // refused exactly when a reason is given
    if (line.ok && line.options.haveSize && line.options.sizeKiB == 0) __builtin_trap();
    if (line.ok && line.options.haveCount && (line.options.count < 1 || line.options.count > 9999)) __builtin_trap();
    return 0;
}
