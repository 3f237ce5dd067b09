// The piece set on disk: piece names, the 652-byte first-piece header, later-piece magic, the rebuild script.
#pragma once
#include <cstdint>

#include "os/os.h"

constexpr uint32_t kHeaderSize = 652;
constexpr uint32_t kMagicSize = 8;
constexpr uint32_t kHeaderTextField = 300;
constexpr uint32_t kMaxPieces = 9999;
extern const char kPieceMagic[9];   // "TARN1500"
extern const char kScriptName[];    // "UnTarn.bat"

enum class SetKind { ThisVersion, OtherVersion, NoHeader };

// The four-byte stem derived from a source name (spaces among the first four bytes become X).
void pieceStemOf(const char* sourceName, char* stem);
// The 12-byte name of piece index (1..9999): stem, four digits, ".trn".
void pieceNameOf(const char* stem, uint32_t index, char* name);
// folder + separator + name into a 600-byte buffer; false (path empty) when it would not fit.
bool pathInFolder(const char* folder, const char* name, char* path);
// Path of piece index after the folder-and-stem prefix: prefix, four digits, ".trn"; false when too long.
// For reading, an existing piece whose name differs only in letter case (S.BI0001.TRN) is taken instead.
bool piecePathOf(const char* prefix, uint32_t index, char* path);

// What the first 8 bytes of a first piece say (fewer than 8 bytes read: no header).
SetKind identifySet(const uint8_t* firstBytes, uint32_t count);

// Builds the 652 header bytes from the job record and the settings (times and attributes as they stand).
void buildFirstPieceHeader(uint8_t* header);
// Reads the header fields after the magic from bytes (at least kHeaderSize) into the job record.
void readFirstPieceHeader(const uint8_t* header);
// The piece count a first-piece header records, without touching the job record.
uint32_t headerPieceCount(const uint8_t* header);

// The bytes of UnTarn.bat for pieceCount pieces of stem and sourceName; returns their length.
uint32_t buildRebuildScript(const char* stem, uint32_t pieceCount, const char* sourceName, char* out, uint32_t outSize);
// Reads back what buildRebuildScript wrote for stem (1 to 4 bytes; the pieces' names in any case): the piece
// count, and the source name into sourceName (kTextBufferSize bytes). False for any other bytes.
bool readRebuildScript(const char* script, uint32_t length, const char* stem, uint32_t* pieceCount,
                       char* sourceName);
