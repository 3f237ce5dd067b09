// Splits the process command line into tokens the way Tarn has always read it.
#include "app/cmdline.h"

#include <string>
#include <vector>

#include "os/os.h"
#include "text/textops.h"

namespace {
constexpr char kQuote = 34;
constexpr char kSpace = 32;

// Token n of a Windows-style command line, whole, without its quotes.
int tokenText(const char* commandLine, uint32_t n, std::string& token) {
    // Working copies grow with the line, so no command line the platform passes can overrun them.
    std::string work(commandLine);
    size_t quotes = 0;
    for (char c : work)
        if (c == kQuote) quotes++;
    if (quotes % 2 != 0) return quotesUnbalanced;
    for (char& c : work)
        if (c == 9) c = kSpace;
    // A space inside quotes belongs to its token: marked beside the text, as any byte may be part of a name.
    std::vector<bool> quoted(work.size(), false);
    bool inside = false;
    for (size_t i = 0; i < work.size(); i++) {
        if (work[i] == kQuote)
            inside = !inside;
        else if (inside && work[i] == kSpace)
            quoted[i] = true;
    }
    auto separates = [&](size_t i) { return work[i] == kSpace && !quoted[i]; };
    size_t pos = 0;
    while (pos < work.size() && separates(pos)) pos++;
    for (uint32_t index = 0; index < n; index++) {
        if (pos >= work.size()) return tokenMissing;
        while (pos < work.size() && !separates(pos)) pos++;
        // A run of spaces at the end still starts one more, empty token.
        if (pos >= work.size()) return tokenMissing;
        while (pos < work.size() && separates(pos)) pos++;
    }
    while (pos < work.size() && !separates(pos)) {
        char c = work[pos++];
        if (c != kQuote) token += c;
    }
    return tokenFound;
}

// Token n of this process: POSIX hands each argument over whole; Windows has one line to tokenize.
int wholeToken(uint32_t n, std::string& token) {
    int count = osArgumentCount();
    if (count < 0) return tokenText(osCommandLine(), n, token);
    if (n >= static_cast<uint32_t>(count)) return tokenMissing;
    token = osArgumentAt(n);
    return tokenFound;
}

int deliver(int result, const std::string& token, char* out) {
    if (result == quotesUnbalanced) return result;
    out[0] = 0;
    if (result != tokenFound) return result;
    if (token.size() >= static_cast<size_t>(kTextBufferSize)) return tokenTooLong;
    copyText(token.c_str(), out);
    return token.empty() ? tokenEmpty : tokenFound;
}
}  // namespace

int commandLineTokenOf(const char* commandLine, uint32_t n, char* out) {
    std::string token;
    return deliver(tokenText(commandLine, n, token), token, out);
}

int commandLineToken(uint32_t n, char* out) {
    std::string token;
    return deliver(wholeToken(n, token), token, out);
}

bool commandLineTokenHead(uint32_t n, char* out) {
    std::string token;
    if (wholeToken(n, token) != tokenFound) return false;
    copyText(token.substr(0, 3).c_str(), out);
    return true;
}

uint32_t decimalToNumber(const char* text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    bool negative = false;
    if (*p == 2) {
        negative = true;
        p++;
    }
    uint32_t value = 0;
    for (; *p; p++) value = value * 10u + static_cast<uint32_t>((*p - 48) & 0xFF);
    return negative ? 0u - value : value;
}

bool parseRecoverySwitch(const char* text, uint32_t* count, uint32_t* percent) {
    uint32_t value = 0, digits = 0;
    const char* p = text;
    // Five digits at most: no value past 32768 can wrap round to one that looks allowed.
    for (; *p >= '0' && *p <= '9' && digits < 6; p++, digits++) value = value * 10 + static_cast<uint32_t>(*p - '0');
    const bool share = *p == '%' && p[1] == 0;
    if (digits == 0 || digits > 5 || (*p != 0 && !share)) return false;
    if (share ? value < 1 || value > 100 : value > 32768) return false;
    *count = value;
    *percent = share ? 1 : 0;
    return true;
}
