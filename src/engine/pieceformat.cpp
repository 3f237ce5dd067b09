// Piece names, the first-piece header (little-endian on every build) and the rebuild script bytes.
#include "engine/pieceformat.h"

#include <cstring>
#include <string>

#include "engine/jobstate.h"
#include "text/textops.h"

const char kPieceMagic[9] = "TARN1500";
const char kScriptName[] = "UnTarn.bat";

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

// A 300-byte field holds text up to its first NUL or its 300th byte.
void readTextField(const uint8_t* field, char* destination) {
    uint32_t n = 0;
    while (n < kHeaderTextField && field[n] != 0) n++;
    std::memcpy(destination, field, n);
    destination[n] = 0;
}
void writeTextField(uint8_t* field, const char* text) {
    std::memset(field, 0, kHeaderTextField);
    uint32_t n = textLength(text);
    std::memcpy(field, text, n < kHeaderTextField ? n : kHeaderTextField);
}
}  // namespace

void pieceStemOf(const char* sourceName, char* stem) {
    char work[kTextBufferSize + 4];
    copyTextBounded(sourceName, work, kTextBufferSize);
    appendText(work, "XXX");
    for (int i = 0; i < 4; i++)
        if (work[i] == ' ') work[i] = 'X';
    midText(work, stem, 0, 4);
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

void buildFirstPieceHeader(uint8_t* header) {
    std::memcpy(header, kPieceMagic, kMagicSize);
    put32(header + 8, jobState.pieceCount);
    put16(header + 12, settings.useDescription);
    writeTextField(header + 14, jobState.description);
    writeTextField(header + 314, jobState.sourceName);
    put32(header + 614, jobState.sourceSize.low);
    put32(header + 618, jobState.sourceSize.high);
    put32(header + 622, jobState.checksum);
    put64(header + 626, jobState.creationTime);
    put64(header + 634, jobState.lastAccessTime);
    put64(header + 642, jobState.lastWriteTime);
    put16(header + 650, jobState.fileAttributes);
}

uint32_t headerPieceCount(const uint8_t* header) { return get32(header + 8); }

void readFirstPieceHeader(const uint8_t* header) {
    jobState.pieceCount = headerPieceCount(header);
    settings.useDescription = static_cast<uint32_t>(header[12]) | static_cast<uint32_t>(header[13]) << 8;
    readTextField(header + 14, jobState.description);
    readTextField(header + 314, jobState.sourceName);
    jobState.sourceSize.low = get32(header + 614);
    jobState.sourceSize.high = get32(header + 618);
    jobState.checksum = get32(header + 622);
    jobState.creationTime = get64(header + 626);
    jobState.lastAccessTime = get64(header + 634);
    jobState.lastWriteTime = get64(header + 642);
    jobState.fileAttributes = static_cast<uint32_t>(header[650]) | static_cast<uint32_t>(header[651]) << 8;
}

bool readRebuildScript(const char* script, uint32_t length, const char* stem, uint32_t* pieceCount,
                       char* sourceName) {
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
    if (nameLength == 0 || nameLength >= kTextBufferSize || std::memchr(name, '"', nameLength) != nullptr ||
        std::memchr(name, 0, nameLength) != nullptr)
        return false;
    std::memcpy(sourceName, name, nameLength);
    sourceName[nameLength] = 0;
    *pieceCount = count;
    return true;
}

uint32_t buildRebuildScript(const char* stem, uint32_t pieceCount, const char* sourceName, char* out,
                            uint32_t outSize) {
    std::string script = "Copy /b ";
    for (uint32_t i = 1; i <= pieceCount; i++) {
        char name[32];
        pieceNameOf(stem, i, name);
        script += name;
        if (i < pieceCount) script += '+';
    }
    script += " \"";
    script += sourceName;
    script += '"';
    if (script.size() > outSize) return 0;
    std::memcpy(out, script.data(), script.size());
    return static_cast<uint32_t>(script.size());
}
