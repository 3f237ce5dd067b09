// Fuzzes the command-line tokenizer with arbitrary lines and token numbers, and the size parser on its tokens.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/cmdline.h"
#include "text/textops.h"

namespace {
void check(bool ok) {
    if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    uint32_t n = data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24;
    // A command line cannot hold a zero byte: the line ends at the first one.
    std::string line(reinterpret_cast<const char*>(data + 4), size - 4);
    line = line.c_str();
    const size_t quotes = static_cast<size_t>(std::count(line.begin(), line.end(), '"'));

    char out[kTextBufferSize + 1];
    std::memset(out, 'S', sizeof out);
    out[kTextBufferSize] = 0;
    int result = commandLineTokenOf(line.c_str(), n, out);
    check(result >= tokenFound && result <= tokenTooLong);
    if (result == quotesUnbalanced) {
        check(quotes % 2 == 1);
        check(out[0] == 'S' && out[kTextBufferSize - 1] == 'S');  // not written
        return 0;
    }
    check(quotes % 2 == 0);
    uint32_t length = textLength(out);
    check(length < static_cast<uint32_t>(kTextBufferSize));
    check((result == tokenFound) == (length > 0));
    for (uint32_t i = 0; i < length; i++) {
        check(out[i] != '"' && out[i] != '\t');
        check(out[i] != ' ' || quotes > 0);  // a space inside a token comes from quotes alone
    }
    (void)decimalToNumber(out);

    // Past the last token every later one is missing too.
    if (result == tokenMissing && n < 0xFFFFFFFFu) {
        char next[kTextBufferSize];
        check(commandLineTokenOf(line.c_str(), n + 1, next) == tokenMissing);
    }
    return 0;
}
