// Converts the text a set stores (names, descriptions) between this system's UTF-8 and code page 936, the
// ANSI code page of the Chinese Windows that Tarn.exe runs on.
#include "cli/names.h"

#include <cstdio>
#include <cstring>
#include <iconv.h>

#include "engine/pieceformat.h"
#include "engine/safename.h"
#include "text/textops.h"

namespace {
// The whole text converted, or nothing when iconv cannot take every byte.
bool convert(const char* to, const char* from, const std::string& text, std::string& out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::string buffer(text.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* put = &buffer[0];
    size_t outLeft = buffer.size();
    size_t done = iconv(cd, &in, &inLeft, &put, &outLeft);
    iconv_close(cd);
    if (done == static_cast<size_t>(-1) || inLeft != 0) return false;
    buffer.resize(buffer.size() - outLeft);
    out = buffer;
    return true;
}

bool plainAscii(const std::string& text) {
    for (unsigned char c : text)
        if (c >= 0x80) return false;
    return true;
}
}  // namespace

bool isUtf8(const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        auto c = static_cast<unsigned char>(text[i]);
        size_t extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 4;
        if (extra == 4 || i + extra >= text.size()) return false;
        for (size_t k = 1; k <= extra; k++)
            if ((static_cast<unsigned char>(text[i + k]) >> 6) != 2) return false;
        i += extra + 1;
    }
    return true;
}

std::string localText(const std::string& stored) {
    std::string text;
    if (isUtf8(stored) || !convert("UTF-8", "CP936", stored, text)) return stored;
    return text;
}

std::string shownText(const std::string& stored) {
    const std::string text = localText(stored);
    const bool utf8 = isUtf8(text);
    std::string shown;
    char escape[8];
    for (size_t i = 0; i < text.size(); i++) {
        auto c = static_cast<unsigned char>(text[i]);
        // U+0080-U+009F, two bytes in UTF-8, include the one-character escapes some terminals still obey.
        if (utf8 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(text[++i]));
            shown += escape;
        } else if (c == '\n' || c == '\r' || c == '\t') {
            shown += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            shown += escape;
        } else {
            shown += static_cast<char>(c);
        }
    }
    return shown;
}

std::string localFileName(const std::string& stored) {
    char name[kTextBufferSize];
    copyTextBounded(localText(stored).c_str(), name, kTextBufferSize);
    makeSafeFileName(name);
    return name;
}

std::string fittedFileName(const std::string& name) {
    if (name.size() <= kLongestFileName) return name;
    // Keep a short extension, so that the file still opens with its program; cut the rest on a character.
    size_t dot = name.rfind('.');
    std::string extension = dot != std::string::npos && dot > 0 && name.size() - dot <= 16 ? name.substr(dot) : "";
    size_t keep = kLongestFileName - extension.size();
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) keep--;
    return name.substr(0, keep) + extension;
}

std::string storedText(const std::string& local) {
    std::string text;
    if (plainAscii(local) || !isUtf8(local) || !convert("CP936", "UTF-8", local, text)) return local;
    return text;
}

void pieceStemFor(const std::string& name, char* stem) {
    pieceStemOf(name.c_str(), stem);
    if (!isUtf8(name)) return;
    // Walk over the characters that fit whole; the bytes of one cut at the fourth byte become X.
    size_t start = 0;
    while (start < 4) {
        auto c = static_cast<unsigned char>(stem[start]);
        size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : 4;
        if (start + length > 4) break;
        start += length;
    }
    for (size_t i = start; i < 4; i++) stem[i] = 'X';
    // Nor may a piece's name hold what Windows refuses in a name (a name here may): the pieces are meant to be
    // carried there, and "a:b.0001.trn" could not even be copied to a FAT stick.
    for (size_t i = 0; i < start; i++) {
        const auto c = static_cast<unsigned char>(stem[i]);
        if (c < 0x20 || std::strchr("<>:\"\\|?*", c) != nullptr) stem[i] = 'X';
    }
}
