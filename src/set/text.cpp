// Converts the text a set stores (names, descriptions) between this system's names and code page 936, the
// ANSI code page of the Chinese Windows that Tarn.exe runs on, with a UTF-8 copy of what that code page lacks.
#include "set/text.h"

#include <cstdio>
#include <cstring>

#include "os/files.h"
#include "os/os.h"
#include "set/format.h"
#include "set/safename.h"
#include "text/textops.h"

namespace {
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
    if (plainAscii(stored)) return stored;
    if (isUtf8(stored)) return osFromUtf8(stored, text) ? text : stored;
    return osFromCodePage936(stored, text) ? text : stored;
}

namespace {
// The length of the UTF-8 character at text[i], 0 where no whole character begins there.
size_t utf8CharacterAt(const std::string& text, size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (length == 0 || i + length > text.size()) return 0;
    for (size_t k = 1; k < length; k++)
        if ((static_cast<unsigned char>(text[i + k]) >> 6) != 2) return 0;
    return length;
}
}  // namespace

std::string shownText(const std::string& stored) {
    const std::string text = localText(stored);
    std::string shown;
    char escape[8];
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const size_t length = utf8CharacterAt(text, i);
        // U+0080-U+009F, two bytes in UTF-8, include the one-character escapes some terminals still obey; a byte
        // that begins no character is no text a terminal can show.
        if (length == 0 || (length == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0)) {
            std::snprintf(escape, sizeof escape, length == 0 ? "\\x%02x" : "\\u%04x",
                          static_cast<unsigned char>(text[i + (length == 0 ? 0 : 1)]));
            shown += escape;
            i += length == 0 ? 1 : 2;
            continue;
        }
        if (c == '\n' || c == '\r' || c == '\t') {
            shown += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            shown += escape;
        } else {
            shown.append(text, i, length);
        }
        i += length;
    }
    return shown;
}

namespace {
// A name as a terminal, a listing and JSON all show it: every C1 control (U+0080-U+009F, some terminals obey them as
// escapes) and every byte that begins no UTF-8 character becomes '_', as the C0 controls already have.
std::string textualName(const std::string& name) {
    std::string out;
    for (size_t i = 0; i < name.size();) {
        const size_t length = utf8CharacterAt(name, i);
        if (length == 0 || (length == 2 && name[i] == '\xC2' && static_cast<unsigned char>(name[i + 1]) < 0xA0)) {
            out += '_';
            i += length == 0 ? 1 : 2;
        } else {
            out.append(name, i, length);
            i += length;
        }
    }
    return out;
}
}  // namespace

std::string localFileName(const std::string& stored) {
    char name[kTextBufferSize];
    copyTextBounded(localText(stored).c_str(), name, kTextBufferSize);
    makeSafeFileName(name);
    // Windows names are the code page's, whose bytes 0x80-0x9F lead characters: its own rules hold there.
    return osUsesWindowsNames() ? name : textualName(name);
}

std::string diskFileName(const std::string& stored) { return fittedFileName(localFileName(stored)); }

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
    if (plainAscii(local) || osToCodePage936(local, text)) return text.empty() ? local : text;
    // What code page 936 cannot hold is stored in UTF-8, as earlier builds did; bytes that are no text, as they are.
    return osToUtf8(local, text) && isUtf8(text) ? text : local;
}

namespace {
size_t characterLength(unsigned char lead) {
    return lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : 4;
}

// One character of UTF-8 in code page 936, whatever this system's own names are.
bool codePage936OfUtf8(const std::string& utf8, std::string& stored) {
    std::string local;
    return osFromUtf8(utf8, local) && osToCodePage936(local, stored);
}

// UTF-8 text in code page 936 up to limit bytes, each character that code page lacks as lacking.
std::string codePage936Form(const std::string& text, char lacking, size_t limit) {
    std::string stored;
    for (size_t i = 0; i < text.size() && stored.size() < limit;) {
        const size_t length = characterLength(static_cast<unsigned char>(text[i]));
        std::string one;
        stored += codePage936OfUtf8(text.substr(i, length), one) ? one : std::string(1, lacking);
        i += length;
    }
    return stored;
}

// The name in code page 936 as far as the stem reaches, each character that code page lacks as X.
std::string stemSource(const std::string& name) {
    std::string whole;
    if (plainAscii(name) || osToCodePage936(name, whole)) return whole.empty() ? name : whole;
    std::string utf8;
    if (!osToUtf8(name, utf8) || !isUtf8(utf8)) return name;
    return codePage936Form(utf8, 'X', 4);
}

// Code page 936 text cut to at most room bytes on a character, a short extension kept.
std::string cutCodePage936(const std::string& text, size_t room) {
    const size_t dot = text.rfind('.');
    const std::string extension =
        dot != std::string::npos && dot > 0 && text.size() - dot <= 16 && text.size() - dot < room ? text.substr(dot)
                                                                                                     : "";
    const size_t keep = room - extension.size();
    size_t end = 0;
    while (end < text.size()) {
        const size_t length = static_cast<unsigned char>(text[end]) >= 0x81 && end + 1 < text.size() ? 2 : 1;
        if (end + length > keep) break;
        end += length;
    }
    return text.substr(0, end) + extension;
}
}  // namespace

HeaderText headerTextFor(const std::string& local) {
    std::string whole, utf8;
    if (plainAscii(local) || osToCodePage936(local, whole) || !osToUtf8(local, utf8) || !isUtf8(utf8))
        return {storedText(local), ""};
    HeaderText text{codePage936Form(utf8, '_', std::string::npos), utf8};
    // The copy is the text; the field only stands in for it where it is not read: it gives way to the copy.
    const size_t room = kHeaderTextField - kTextCopyOverhead;
    if (!textCopyFits(text.field, text.copy) && text.copy.size() < room)
        text.field = cutCodePage936(text.field, room - text.copy.size());
    return text;
}

std::string headerText(const std::string& field, const std::string& copy) {
    std::string local;
    return !copy.empty() && osFromUtf8(copy, local) ? local : field;
}

std::string storedStemFor(const std::string& name) {
    char stem[16];
    pieceStemOf(stemSource(name).c_str(), stem);
    return stem;
}

void pieceStemFor(const std::string& name, char* stem) {
    const std::string stored = storedStemFor(name);
    std::string local;
    // A pair of bytes the code page leaves unassigned cannot be shown here: X as well.
    if (!osFromCodePage936(stored, local)) {
        local = stored;
        for (char& c : local)
            if (static_cast<unsigned char>(c) >= 0x80) c = 'X';
    }
    copyTextBounded(local.c_str(), stem, 16);
}
