// The whole-file additive checksum ("CRC" to the user), the key expansion and the XOR cipher of piece data.
#pragma once
#include <cstdint>

#include "os/os.h"

extern const char kDefaultKey[];  // used when the key text is empty

// Sum of the file's little-endian 32-bit words, read through the transfer buffer; 0 when it cannot be opened.
uint32_t fileChecksum(const char* path);
// Adds bytes to a running checksum; offset is the position of bytes[0] in the file.
uint32_t addToChecksum(uint32_t total, uint64_t offset, const uint8_t* bytes, uint32_t count);

void expandKey();
// XORs min(pieceSizeKB - 1, bytes after dataOffset) bytes from dataOffset with the key's first 32 bytes.
void applyCipher(FileHandle file);
// The same transformation on bytes in memory; keyPosition is the index of bytes[0] from the range's start.
void cipherBytes(uint8_t* bytes, uint32_t count, uint64_t keyPosition);
