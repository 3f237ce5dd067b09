// File names on Windows: the program's narrow text (code page 936 and four-byte forms, see widetext_win32.h) between
// UTF-16, code page 936 and UTF-8, and the long form of a path past the plain form's length.
#include <windows.h>

#include <cstring>
#include <string>

#include "os/files.h"
#include "os/widetext_win32.h"

namespace {
constexpr UINT kChinese = 936;

// A character code page 936 lacks is four bytes shaped as GB18030's (lead, digit, lead, digit), counting its code
// point in that shape. No byte of it is a separator, a dot or a quote, and a reader that steps over code page 936's
// two-byte characters keeps in step.
bool fourByteAt(const std::string& text, size_t i) {
    auto at = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    return i + 3 < text.size() && at(i) >= 0x81 && at(i) <= 0xFE && at(i + 1) >= 0x30 && at(i + 1) <= 0x39 &&
           at(i + 2) >= 0x81 && at(i + 2) <= 0xFE && at(i + 3) >= 0x30 && at(i + 3) <= 0x39;
}
uint32_t fourByteValue(const std::string& text, size_t i) {
    auto at = [&](size_t k) { return static_cast<uint32_t>(static_cast<unsigned char>(text[i + k])); };
    return (at(0) - 0x81) * 12600 + (at(1) - 0x30) * 1260 + (at(2) - 0x81) * 10 + (at(3) - 0x30);
}
void appendFourBytes(std::string& out, uint32_t code) {
    out += static_cast<char>(0x81 + code / 12600);
    out += static_cast<char>(0x30 + code % 12600 / 1260);
    out += static_cast<char>(0x81 + code % 1260 / 10);
    out += static_cast<char>(0x30 + code % 10);
}
void appendCodePoint(std::wstring& out, uint32_t code) {
    if (code < 0x10000) {
        out += static_cast<wchar_t>(code);
    } else if (code <= 0x10FFFF) {
        out += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
        out += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
        out += L'\xFFFD';
    }
}

std::wstring fromCodePage(UINT codePage, const std::string& text, DWORD flags, bool& whole) {
    whole = true;
    if (text.empty()) return std::wstring();
    const int size = static_cast<int>(text.size());
    const int wide = MultiByteToWideChar(codePage, flags, text.data(), size, nullptr, 0);
    if (wide <= 0) {
        whole = false;
        return std::wstring();
    }
    std::wstring out(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(codePage, flags, text.data(), size, &out[0], wide);
    return out;
}

// Code page 936's bytes for one character, or nothing when it lacks the character.
std::string chineseBytes(const wchar_t* unit, int units) {
    char bytes[4];
    BOOL replaced = FALSE;
    const int n = WideCharToMultiByte(kChinese, WC_NO_BEST_FIT_CHARS, unit, units, bytes, sizeof bytes, nullptr,
                                      &replaced);
    if (n <= 0 || replaced) return std::string();
    return std::string(bytes, static_cast<size_t>(n));
}
}  // namespace

std::wstring osWideText(const std::string& narrow) {
    std::wstring out;
    std::string run;  // code page 936 bytes waiting to be converted together
    bool whole = true;
    for (size_t i = 0; i < narrow.size();) {
        if (fourByteAt(narrow, i)) {
            out += fromCodePage(kChinese, run, 0, whole);
            run.clear();
            appendCodePoint(out, fourByteValue(narrow, i));
            i += 4;
        } else {
            run += narrow[i++];
        }
    }
    return out + fromCodePage(kChinese, run, 0, whole);
}

std::wstring osWideText(const char* narrow) { return osWideText(std::string(narrow != nullptr ? narrow : "")); }

std::string osNarrowText(const wchar_t* wide) {
    std::string out;
    if (wide == nullptr) return out;
    for (size_t i = 0; wide[i] != 0;) {
        const bool pair = wide[i] >= 0xD800 && wide[i] < 0xDC00 && wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000;
        const int units = pair ? 2 : 1;
        if (wide[i] < 0x80) {
            out += static_cast<char>(wide[i]);
        } else if (std::string bytes = pair ? std::string() : chineseBytes(wide + i, 1); !bytes.empty()) {
            out += bytes;
        } else {
            const uint32_t code = pair ? 0x10000 + ((static_cast<uint32_t>(wide[i]) - 0xD800) << 10) +
                                             (static_cast<uint32_t>(wide[i + 1]) - 0xDC00)
                                       : static_cast<uint32_t>(wide[i]);
            appendFourBytes(out, code);
        }
        i += static_cast<size_t>(units);
    }
    return out;
}

void osCopyNarrow(const wchar_t* wide, char* out, size_t size) {
    if (size == 0) return;
    const std::string narrow = osNarrowText(wide);
    size_t keep = 0;
    for (size_t i = 0; i < narrow.size();) {
        const size_t step = fourByteAt(narrow, i) ? 4 : static_cast<unsigned char>(narrow[i]) >= 0x81 ? 2 : 1;
        if (i + step > size - 1) break;
        i += step;
        keep = i;
    }
    std::memcpy(out, narrow.data(), keep);
    out[keep] = 0;
}

// Names a set stores in code page 936: the narrow name is that already unless it holds a four-byte form.
bool osToCodePage936(const std::string& local, std::string& stored) {
    for (size_t i = 0; i < local.size(); i++) {
        if (fourByteAt(local, i)) return false;
        if (static_cast<unsigned char>(local[i]) >= 0x81) i++;
    }
    stored = local;
    return true;
}
// Code page 936 is the narrow text's own first part.
bool osFromCodePage936(const std::string& stored, std::string& local) {
    local = stored;
    return true;
}
bool osFromUtf8(const std::string& utf8, std::string& local) {
    bool whole = true;
    std::wstring wide = fromCodePage(CP_UTF8, utf8, MB_ERR_INVALID_CHARS, whole);
    if (!whole) return false;
    local = osNarrowText(wide.c_str());
    return true;
}
bool osToUtf8(const std::string& local, std::string& utf8) {
    const std::wstring wide = osWideText(local);
    utf8.clear();
    if (wide.empty()) return true;
    // Half a surrogate pair is a name NTFS takes and UTF-8 cannot hold.
    const int size = static_cast<int>(wide.size());
    const int narrow = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), size, nullptr, 0, nullptr,
                                           nullptr);
    if (narrow <= 0) return false;
    utf8.assign(static_cast<size_t>(narrow), '\0');
    WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), size, &utf8[0], narrow, nullptr, nullptr);
    return true;
}

std::wstring osSystemPath(const std::string& path) {
    std::wstring wide = osWideText(path);
    // A folder's plain form ends at 248 characters; past that, or on the way, the long form takes over.
    if (wide.size() < 240 || wide.compare(0, 4, L"\\\\?\\") == 0) return wide;
    const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0) return wide;
    std::wstring full(size, L'\0');
    full.resize(GetFullPathNameW(wide.c_str(), size, &full[0], nullptr));
    if (full.compare(0, 4, L"\\\\.\\") == 0) return full;  // a device
    if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}
