// Reads recovery volumes, which come from strangers: every packet is checked by its digest and its fields against
// each other before anything is taken from it, and nothing is sized from a field that was not checked.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "set/parityformat.h"

// The packets of one volume that passed their checks; recovery data is noted where it lies, not read.
struct VolumePackets {
    struct Packet {
        Md5Digest digest{};  // of the whole packet: every volume repeats the same critical packets
        Md5Digest set{};
        std::string type;  // 16 bytes
        std::string body;
    };
    struct Slice {
        Md5Digest set{};
        uint32_t exponent = 0;
        uint64_t offset = 0, length = 0;  // its data in the volume
    };
    std::vector<Packet> packets;
    std::vector<Slice> slices;
    std::vector<Md5Digest> sets;  // the set id of every sound packet in it, once each
};

// Reads count bytes at offset into buffer: the bytes read, fewer at the end, -1 on an error.
using ReadBytesAt = std::function<int64_t(uint8_t* buffer, size_t count, uint64_t offset)>;

// Every sound packet of a volume of that length, found wherever it lies (damage may have moved or cut some).
VolumePackets scanVolume(const ReadBytesAt& read, uint64_t length);

// The volume sets the packets of these volumes (named by path) make up, each with its own packets only.
std::vector<ParitySet> assembleSets(const std::vector<std::string>& paths, const std::vector<VolumePackets>& volumes);

// The volume sets of every file in folder whose name ends in ".par2" (in any case).
std::vector<ParitySet> readParitySets(const std::string& folder, unsigned threads);
