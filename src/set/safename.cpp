// Turns an untrusted stored file name into a safe bare name under the running platform's naming rules.
#include "set/safename.h"

#include <cstring>

#include "os/os.h"
#include "text/textops.h"

namespace {
const char kFallbackName[] = "Tarn.out";

bool isReservedDevice(const char* name) {
    // Windows reserves these names with any extension, in any case.
    char stem[8] = {0};
    uint32_t n = 0;
    while (name[n] != 0 && name[n] != '.' && n < 7) {
        char c = name[n];
        stem[n] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
        n++;
    }
    if (name[n] != 0 && name[n] != '.') return false;
    stem[n] = 0;
    static const char* const fixed[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : fixed)
        if (std::strcmp(stem, device) == 0) return true;
    if (n == 4 && (std::strncmp(stem, "COM", 3) == 0 || std::strncmp(stem, "LPT", 3) == 0) && stem[3] >= '0' &&
        stem[3] <= '9')
        return true;
    return false;
}
}  // namespace

void makeSafeFileNameFor(char* name, bool windowsRules) {
    // A slash of either kind can carry the name out of its folder (a set made on Windows may hold
    // backslashes), and on Windows so can a drive or stream colon: keep what follows the last of them.
    const char* start = name;
    for (const char* p = name; *p; p++)
        if (*p == '/' || *p == '\\' || (windowsRules && *p == ':')) start = p + 1;
    char bare[kTextBufferSize];
    copyTextBounded(start, bare, kTextBufferSize);
    uint32_t length = textLength(bare);
    // Line breaks, escapes and the like can rewrite what a terminal shows and break scripts that read names
    // a line at a time; Windows refuses them all. A tab only moves along the line, so POSIX keeps it.
    for (char* p = bare; *p; p++) {
        auto c = static_cast<unsigned char>(*p);
        if ((c < 32 && c != '\t') || c == 127) *p = '_';
    }
    if (windowsRules) {
        for (char* p = bare; *p; p++) {
            auto c = static_cast<unsigned char>(*p);
            if (c < 32 || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*') *p = '_';
        }
        // Windows drops trailing dots and spaces; a name made only of them would name the folder itself.
        while (length > 0 && (bare[length - 1] == '.' || bare[length - 1] == ' ')) bare[--length] = 0;
    }
    if (length == 0 || std::strcmp(bare, ".") == 0 || std::strcmp(bare, "..") == 0) {
        copyText(kFallbackName, name);
        return;
    }
    if (windowsRules && isReservedDevice(bare)) {
        char prefixed[kTextBufferSize];
        copyText("_", prefixed);
        copyTextBounded(bare, prefixed + 1, kTextBufferSize - 1);
        copyText(prefixed, name);
        return;
    }
    copyText(bare, name);
}

void makeSafeFileName(char* name) { makeSafeFileNameFor(name, osUsesWindowsNames()); }
