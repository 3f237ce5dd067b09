// The set's checksum (a sum of little-endian 32-bit words, "CRC" to the user) and the XOR cipher of piece data.
#pragma once
#include <cstdint>
#include <string>

extern const char kDefaultKey[];  // used when the key text is empty

// Adds bytes to a running checksum; offset is the position of bytes[0] in the file.
uint32_t addToChecksum(uint32_t total, uint64_t offset, const uint8_t* bytes, uint32_t count);

// The key as the cipher uses it: its text repeated to 32 bytes.
struct CipherKey {
    uint8_t bytes[32];
};
CipherKey cipherKeyOf(const std::string& text);
// XORs bytes with the key; keyPosition is the index of bytes[0] from the start of the covered range.
void cipherBytes(const CipherKey& key, uint8_t* bytes, uint32_t count, uint64_t keyPosition);
