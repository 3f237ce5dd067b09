// Text, path and number helpers over zero-terminated byte texts.
#include "text/textops.h"

#include <cstring>
#include <string>

uint32_t textLength(const char* text) { return static_cast<uint32_t>(std::strlen(text)); }

void copyText(const char* source, char* destination) { std::memmove(destination, source, textLength(source) + 1); }

char* appendText(char* destination, const char* source) {
    std::memmove(destination + textLength(destination), source, textLength(source) + 1);
    return destination;
}

void copyTextBounded(const char* source, char* destination, uint32_t destinationSize) {
    if (destinationSize == 0) return;
    uint32_t n = 0;
    while (n + 1 < destinationSize && source[n] != 0) n++;
    std::memmove(destination, source, n);
    destination[n] = 0;
}

void appendTextBounded(char* destination, const char* source, uint32_t destinationSize) {
    uint32_t used = textLength(destination);
    if (used + 1 >= destinationSize) return;
    copyTextBounded(source, destination + used, destinationSize - used);
}

void midText(const char* source, char* destination, uint32_t start, uint32_t count) {
    // Copies byte by byte; stops early only because a copied terminator ends the text anyway.
    uint32_t i = 0;
    for (; i < count; i++) {
        destination[i] = source[start + i];
        if (source[start + i] == 0) return;
    }
    destination[i] = 0;
}

void rightText(const char* source, char* destination, uint32_t n) {
    uint32_t length = textLength(source);
    if (n > length) n = length;
    std::memmove(destination, source + (length - n), n + 1);
}

void reverseText(const char* source, char* destination) {
    uint32_t length = textLength(source);
    std::string copy(source, length);
    for (uint32_t i = 0; i < length; i++) destination[i] = copy[length - 1 - i];
    destination[length] = 0;
}

char* lowerAscii(char* text) {
    for (char* p = text; *p; p++)
        if (*p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p + 32);
    return text;
}

int32_t findText(int32_t start, const char* text, const char* pattern) {
    if (start < 1) return -2;
    int64_t textLen = textLength(text);
    int64_t patternLen = textLength(pattern);
    if (patternLen >= textLen) return -1;
    int64_t places = textLen - patternLen + 1;
    if (start > places) return -2;
    for (int64_t place = start - 1; place < places; place++)
        if (std::memcmp(text + place, pattern, static_cast<size_t>(patternLen)) == 0) return static_cast<int32_t>(place + 1);
    return 0;
}

void replaceFirst(char* text, const char* pattern, const char* replacement) {
    std::string copy(text);
    copy += ' ';
    int32_t p = findText(1, copy.c_str(), pattern);
    if (p <= 0 || static_cast<size_t>(p) == copy.size()) return;
    std::string result(text, static_cast<size_t>(p - 1));
    result += replacement;
    // A match may run onto the appended space: nothing of the text follows it then.
    size_t after = static_cast<size_t>(p - 1) + textLength(pattern);
    if (after < textLength(text)) result += text + after;
    std::memcpy(text, result.c_str(), result.size() + 1);
}

void uintToText(uint32_t value, char* destination) {
    char digits[16];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int i = 0; i < n; i++) destination[i] = digits[n - 1 - i];
    destination[n] = 0;
}

void intToText(int32_t value, char* destination) {
    if (value < 0) {
        destination[0] = '-';
        uintToText(0u - static_cast<uint32_t>(value), destination + 1);
    } else {
        uintToText(static_cast<uint32_t>(value), destination);
    }
}

char* zeroPadNumber(int32_t value, char* destination, uint32_t width) {
    char digits[16];
    intToText(value, digits);
    uint32_t length = textLength(digits);
    uint32_t pad = length < width ? width - length : 0;
    std::memset(destination, '0', pad);
    std::memcpy(destination + pad, digits, length + 1);
    return destination;
}

char* formatGrouped(uint64_t value, char* destination) {
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    int out = 0;
    for (int i = n - 1; i >= 0; i--) {
        destination[out++] = digits[i];
        if (i > 0 && i % 3 == 0) {
            destination[out++] = ',';
            destination[out++] = ' ';
        }
    }
    destination[out] = 0;
    return destination;
}

static const char* lastSeparator(const char* path) { return std::strrchr(path, kPathSeparator); }

void fileNameOfPath(const char* path, char* destination) {
    const char* sep = lastSeparator(path);
    if (textLength(path) <= 2 || sep == nullptr || sep[1] == 0) {
        copyText(path, destination);
        return;
    }
    copyText(sep + 1, destination);
}

void stripExtension(char* text) {
    // The last dot by the search helper: a text that is a single dot is never matched.
    int32_t last = 0;
    int32_t found = findText(1, text, ".");
    while (found > 0) {
        last = found;
        found = findText(found + 1, text, ".");
    }
    if (last > 0) text[last - 1] = 0;
}

void folderOfPath(char* path) {
    if (textLength(path) <= 1) return;
    char* sep = std::strrchr(path, kPathSeparator);
    if (sep != nullptr) sep[1] = 0;
}

void folderOfPathTrimmed(char* path) {
    folderOfPath(path);
    uint32_t length = textLength(path);
    if (length > 0) path[length - 1] = 0;
}

bool buildPath(char* out, const char* first, const char* second, const char* third) {
    uint32_t a = textLength(first), b = textLength(second), c = textLength(third);
    if (static_cast<uint64_t>(a) + b + c >= static_cast<uint64_t>(kTextBufferSize)) {
        out[0] = 0;
        return false;
    }
    // Parts may overlap out (a folder extended in place), so each moves before the next is placed.
    std::string joined;
    joined.reserve(a + b + c);
    joined.append(first, a).append(second, b).append(third, c);
    std::memcpy(out, joined.c_str(), joined.size() + 1);
    return true;
}
