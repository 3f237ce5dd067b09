// File names between the ANSI code page of the narrow Win32 calls, code page 936 and UTF-8.
#include <windows.h>

#include <string>

#include "os/files.h"

// The narrow file names of this build are code page 936 already.
bool osToCodePage936(const std::string& local, std::string& stored) {
    stored = local;
    return true;
}
bool osFromCodePage936(const std::string& stored, std::string& local) {
    local = stored;
    return true;
}
// Through UTF-16 into the ANSI code page the narrow file calls use, refused where a character would be replaced.
bool osFromUtf8(const std::string& utf8, std::string& local) {
    if (utf8.empty()) {
        local.clear();
        return true;
    }
    const int size = static_cast<int>(utf8.size());
    const int wide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (wide <= 0) return false;
    std::wstring text(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, &text[0], wide);
    BOOL replaced = FALSE;
    const int narrow =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), wide, nullptr, 0, nullptr, &replaced);
    if (narrow <= 0 || replaced) return false;
    local.assign(static_cast<size_t>(narrow), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), wide, &local[0], narrow, nullptr, &replaced);
    return !replaced;
}

bool osToUtf8(const std::string& local, std::string& utf8) {
    utf8.clear();
    if (local.empty()) return true;
    const int size = static_cast<int>(local.size());
    const int wide = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, local.data(), size, nullptr, 0);
    if (wide <= 0) return false;
    std::wstring text(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, local.data(), size, &text[0], wide);
    const int narrow = WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
    if (narrow <= 0) return false;
    utf8.assign(static_cast<size_t>(narrow), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, &utf8[0], narrow, nullptr, nullptr);
    return true;
}
