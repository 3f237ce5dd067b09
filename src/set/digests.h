// The two digests recovery volumes are checked with: MD5 (RFC 1321) and CRC-32 (the one of Ethernet and zip).
#pragma once
#include <cstddef>
#include <cstdint>

struct Md5Digest {
    uint8_t bytes[16];
    bool operator==(const Md5Digest& other) const;
    bool operator!=(const Md5Digest& other) const { return !(*this == other); }
    bool operator<(const Md5Digest& other) const;  // as 16-byte unsigned numbers, little-endian
};

// A running MD5 of bytes fed in pieces.
class Md5 {
public:
    Md5();
    void add(const void* bytes, size_t count);
    Md5Digest finish();  // the digest; the object is spent

private:
    void block(const uint8_t* bytes);
    uint32_t state_[4];
    uint64_t length_ = 0;
    uint8_t pending_[64];
    size_t held_ = 0;
};

Md5Digest md5Of(const void* bytes, size_t count);

// CRC-32 (polynomial 0xEDB88320 reflected, starting and ending inverted), continued from crc (0 to begin).
uint32_t crc32Of(const void* bytes, size_t count, uint32_t crc = 0);
