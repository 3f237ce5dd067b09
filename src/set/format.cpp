// Piece names and stems, the first-piece header (little-endian on every build) with the texts' UTF-8 copies,
// and the rebuild script bytes.
#include "set/format.h"

#include <cstring>
#include <string>

#include "os/os.h"
#include "set/digests.h"
#include "set/text.h"
#include "text/textops.h"

const char kPieceMagic[9] = "TARN1500";
const char kScriptName[] = "UnTarn.bat";
const char kTextCopyMark[5] = "\xFFU8\xFF";

bool textCopyFits(const std::string& text, const std::string& copy) {
    if (copy.empty()) return text.size() < kHeaderTextField;
    return text.size() + kTextCopyOverhead + copy.size() <= kHeaderTextField;
}

namespace {
void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; i++) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void put64(uint8_t* p, uint64_t v) {
    put32(p, static_cast<uint32_t>(v));
    put32(p + 4, static_cast<uint32_t>(v >> 32));
}
uint32_t get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
uint64_t get64(const uint8_t* p) { return static_cast<uint64_t>(get32(p)) | static_cast<uint64_t>(get32(p + 4)) << 32; }

// A 300-byte field holds text up to its first NUL or its 300th byte, and after the NUL maybe the text's copy.
std::string readTextField(const uint8_t* field, std::string* copy) {
    uint32_t n = 0;
    while (n < kHeaderTextField && field[n] != 0) n++;
    std::string text(reinterpret_cast<const char*>(field), n);
    copy->clear();
    const uint8_t* mark = field + n + 1;
    if (n + kTextCopyOverhead > kHeaderTextField || std::memcmp(mark, kTextCopyMark, 4) != 0) return text;
    const uint32_t length = static_cast<uint32_t>(mark[4]) | static_cast<uint32_t>(mark[5]) << 8;
    if (length == 0 || n + kTextCopyOverhead + length > kHeaderTextField) return text;
    const std::string found(reinterpret_cast<const char*>(mark + 10), length);
    if (get32(mark + 6) != crc32Of(found.data(), length, crc32Of(field, n)) ||
        found.find('\0') != std::string::npos || !isUtf8(found))
        return text;
    *copy = found;
    return text;
}
void writeTextField(uint8_t* field, const std::string& text, const std::string& copy) {
    std::memset(field, 0, kHeaderTextField);
    const size_t end = text.find('\0');
    const size_t n = end == std::string::npos ? text.size() : end;
    std::memcpy(field, text.data(), n < kHeaderTextField ? n : kHeaderTextField);
    // A copy that does not fit beside the text is left out whole: half a name would be another name.
    if (copy.empty() || !textCopyFits(text.substr(0, n), copy)) return;
    uint8_t* mark = field + n + 1;
    std::memcpy(mark, kTextCopyMark, 4);
    put16(mark + 4, static_cast<uint32_t>(copy.size()));
    put32(mark + 6, crc32Of(copy.data(), copy.size(), crc32Of(field, n)));
    std::memcpy(mark + 10, copy.data(), copy.size());
}

bool leadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool trailByte(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }
// Bytes a stem never holds bare: what Windows refuses in a name, and what cmd reads as more than a letter.
bool stemRefuses(unsigned char c) {
    return c <= 0x20 || c == 0x7F || c >= 0x80 || std::strchr("<>:\"/\\|?*&^%!()=;,+", c) != nullptr;
}
}  // namespace

void pieceStemOf(const char* storedName, char* stem) {
    const std::string name = std::string(storedName) + "XXX";
    for (uint32_t i = 0; i < 4;) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (leadByte(c) && trailByte(static_cast<unsigned char>(name[i + 1])) && i + 1 < 4) {
            stem[i] = name[i];
            stem[i + 1] = name[i + 1];
            i += 2;
            continue;
        }
        stem[i] = stemRefuses(c) ? 'X' : name[i];  // a character cut at the fourth byte among them
        i++;
    }
    stem[4] = 0;
}

void pieceNameOf(const char* stem, uint32_t index, char* name) {
    char digits[16];
    zeroPadNumber(static_cast<int32_t>(index), digits, 4);
    copyText(stem, name);
    appendText(name, digits);
    appendText(name, ".trn");
}

bool pathInFolder(const char* folder, const char* name, char* path) {
    // A folder given with its slash ("out/", "/") takes no second one. Not so a backslash: in code page 936 it
    // can be the second byte of a character.
    uint32_t length = textLength(folder);
    bool ends = kPathSeparatorText[0] == '/' && length > 0 && folder[length - 1] == '/';
    return buildPath(path, folder, ends ? "" : kPathSeparatorText, name);
}

bool piecePathOf(const char* prefix, uint32_t index, char* path) {
    char digits[16];
    zeroPadNumber(static_cast<int32_t>(index), digits, 4);
    if (!buildPath(path, prefix, digits, ".trn")) return false;
    osResolveNameCase(path);
    return true;
}

SetKind identifySet(const uint8_t* firstBytes, uint32_t count) {
    if (count >= kMagicSize && std::memcmp(firstBytes, kPieceMagic, kMagicSize) == 0) return SetKind::ThisVersion;
    if (count >= kMagicSize && std::memcmp(firstBytes, kPieceMagic, 4) == 0) return SetKind::OtherVersion;
    return SetKind::NoHeader;
}

void encodeHeader(const SetHeader& h, uint8_t* header) {
    std::memcpy(header, kPieceMagic, kMagicSize);
    put32(header + 8, h.pieceCount);
    put16(header + 12, h.descriptionFlag);
    writeTextField(header + 14, h.description, h.descriptionCopy);
    writeTextField(header + 314, h.name, h.nameCopy);
    put64(header + 614, h.size);
    put32(header + 622, h.checksum);
    put64(header + 626, h.created);
    put64(header + 634, h.accessed);
    put64(header + 642, h.written);
    put16(header + 650, h.attributes);
}

uint32_t headerPieceCount(const uint8_t* header) { return get32(header + 8); }

SetHeader decodeHeader(const uint8_t* header) {
    SetHeader h;
    h.pieceCount = headerPieceCount(header);
    h.descriptionFlag = static_cast<uint32_t>(header[12]) | static_cast<uint32_t>(header[13]) << 8;
    h.description = readTextField(header + 14, &h.descriptionCopy);
    h.name = readTextField(header + 314, &h.nameCopy);
    h.size = get64(header + 614);
    h.checksum = get32(header + 622);
    h.created = get64(header + 626);
    h.accessed = get64(header + 634);
    h.written = get64(header + 642);
    h.attributes = static_cast<uint32_t>(header[650]) | static_cast<uint32_t>(header[651]) << 8;
    return h;
}

std::string scriptFileName(const std::string& storedName) {
    std::string name = storedName;
    for (char& c : name)
        if (c == '"' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
    return name;
}

bool readRebuildScript(const char* script, uint32_t length, const char* stem, uint32_t* pieceCount,
                       char* fileName) {
    // "Copy /b ", then names such as "repo0001.trn": a stem of 4 bytes, or fewer once a stem cut from a UTF-8
    // name is in code page 936 ("报X" is 3 bytes there).
    constexpr uint32_t kStart = 8;
    const uint32_t stemLength = textLength(stem), pieceNameLength = stemLength + 8;
    if (stemLength == 0 || stemLength > 4 || length < kStart || std::memcmp(script, "Copy /b ", kStart) != 0)
        return false;
    uint32_t at = kStart, count = 0;
    for (;;) {
        char expected[32], found[16];
        pieceNameOf(stem, count + 1, expected);
        if (count == kMaxPieces || length - at < pieceNameLength) return false;
        std::memcpy(found, script + at, pieceNameLength);
        found[pieceNameLength] = 0;
        // A set copied through FAT may have had its names' case changed, in the script as in the pieces.
        if (std::strcmp(lowerAscii(found), lowerAscii(expected)) != 0) return false;
        at += pieceNameLength;
        count++;
        if (at == length || script[at] != '+') break;
        at++;
    }
    // Then a space and the name in double quotes, which end the file.
    if (length - at < 3 || script[at] != ' ' || script[at + 1] != '"' || script[length - 1] != '"') return false;
    const uint32_t nameLength = length - at - 3;
    const char* name = script + at + 2;
    // A name of up to 599 bytes, each '%' of it written twice.
    if (nameLength == 0 || nameLength >= 2 * kTextBufferSize || std::memchr(name, '"', nameLength) != nullptr ||
        std::memchr(name, 0, nameLength) != nullptr)
        return false;
    // cmd reads "%%" as one '%'; a lone one (older scripts) stands as it is.
    uint32_t put = 0;
    for (uint32_t i = 0; i < nameLength; i++) {
        if (put + 1 >= kTextBufferSize) return false;
        fileName[put++] = name[i];
        if (name[i] == '%' && i + 1 < nameLength && name[i + 1] == '%') i++;
    }
    fileName[put] = 0;
    *pieceCount = count;
    return true;
}

uint32_t buildRebuildScript(const char* stem, uint32_t pieceCount, const char* fileName, char* out,
                            uint32_t outSize) {
    std::string script = "Copy /b ";
    for (uint32_t i = 1; i <= pieceCount; i++) {
        char name[32];
        pieceNameOf(stem, i, name);
        script += name;
        if (i < pieceCount) script += '+';
    }
    script += " \"";
    for (const char c : scriptFileName(fileName)) script += c == '%' ? std::string("%%") : std::string(1, c);
    script += '"';
    if (script.size() > outSize) return 0;
    std::memcpy(out, script.data(), script.size());
    return static_cast<uint32_t>(script.size());
}
