// The piece set on disk: piece names and stems, the 652-byte first-piece header as a value, the later-piece
// mark, and the rebuild script.
#pragma once
#include <cstdint>
#include <string>

constexpr uint32_t kHeaderSize = 652;
constexpr uint32_t kMagicSize = 8;
constexpr uint32_t kHeaderTextField = 300;
constexpr uint32_t kMaxPieces = 9999;
extern const char kPieceMagic[9];   // "TARN1500"
extern const char kScriptName[];    // "UnTarn.bat"

enum class SetKind { ThisVersion, OtherVersion, NoHeader };

// Where code page 936 lacks characters of a text, its field holds that code page's form and, after the
// terminator, the whole text in UTF-8: the mark, the copy's length (16 bits), the CRC-32 of the field's text and
// the copy together (so that a copy left over from another text is never taken), then the copy. Readers that
// know nothing of it stop at the terminator.
extern const char kTextCopyMark[5];  // FF 'U' '8' FF: 0xFF begins no character in code page 936 or UTF-8
constexpr uint32_t kTextCopyOverhead = 1 + 4 + 2 + 4;  // terminator, mark, length, CRC-32
// Whether a field holds text and copy (a copy of 0 bytes: the text alone, terminated).
bool textCopyFits(const std::string& text, const std::string& copy);

// What a first piece's header records; texts as stored (code page 936), each up to 299 bytes, and their
// UTF-8 copies (empty when there is none, or none that fits beside the text).
struct SetHeader {
    uint32_t pieceCount = 0;
    uint32_t descriptionFlag = 0;
    std::string description;
    std::string name;
    std::string descriptionCopy;
    std::string nameCopy;
    uint64_t size = 0;
    uint32_t checksum = 0;
    uint64_t created = 0, accessed = 0, written = 0;  // FILETIME
    uint32_t attributes = 0;
};
// The 652 bytes, little-endian on every build.
void encodeHeader(const SetHeader& header, uint8_t* bytes);
// The fields after the magic of at least kHeaderSize bytes; a text field ends at its first NUL or 300th byte,
// and its copy is taken only whole: marked, within the field, its CRC-32 right and its bytes UTF-8.
SetHeader decodeHeader(const uint8_t* bytes);
// The piece count a first-piece header records.
uint32_t headerPieceCount(const uint8_t* header);

// What the first 8 bytes of a first piece say (fewer than 8 bytes read: no header).
SetKind identifySet(const uint8_t* firstBytes, uint32_t count);

// The four-byte stem of a stored name (code page 936), as every program makes it: its first four bytes, padded
// with X; a character cut at the fourth byte, a space, a control character and every character Windows refuses in
// a name or cmd treats specially become X, so that every name can be cut and a script names the pieces bare.
void pieceStemOf(const char* storedName, char* stem);
// The 12-byte name of piece index (1..9999): stem, four digits, ".trn".
void pieceNameOf(const char* stem, uint32_t index, char* name);
// folder + separator + name into a 600-byte buffer; false (path empty) when it would not fit.
bool pathInFolder(const char* folder, const char* name, char* path);
// Path of piece index after the folder-and-stem prefix: prefix, four digits, ".trn"; false when too long.
// For reading, an existing piece whose name differs only in letter case (S.BI0001.TRN) is taken instead.
bool piecePathOf(const char* prefix, uint32_t index, char* path);

// The name a script creates for a stored name: quoted, cmd reads it as one word only without a double quote or a
// control character, which become '_'. Equal to storedName when nothing needed changing.
std::string scriptFileName(const std::string& storedName);
// The bytes of UnTarn.bat for pieceCount pieces of stem and the file name (as scriptFileName gives it, '%'
// doubled so that cmd reads it as it is); returns their length, 0 when out is too small.
uint32_t buildRebuildScript(const char* stem, uint32_t pieceCount, const char* fileName, char* out, uint32_t outSize);
// Reads back what buildRebuildScript wrote for stem (1 to 4 bytes; the pieces' names in any case): the piece
// count, and the file name into fileName (600 bytes). False for any other bytes.
bool readRebuildScript(const char* script, uint32_t length, const char* stem, uint32_t* pieceCount, char* fileName);
