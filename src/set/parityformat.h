// The packets of recovery volumes in the PAR 2.0 format: their magic, header and type names, and the records the
// reader makes of a volume set.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "set/digests.h"

namespace parity {
constexpr char kMagic[8] = {'P', 'A', 'R', '2', '\0', 'P', 'K', 'T'};
constexpr char kMain[16] = {'P', 'A', 'R', ' ', '2', '.', '0', '\0', 'M', 'a', 'i', 'n', '\0', '\0', '\0', '\0'};
constexpr char kFileDesc[16] = {'P', 'A', 'R', ' ', '2', '.', '0', '\0', 'F', 'i', 'l', 'e', 'D', 'e', 's', 'c'};
constexpr char kSliceSums[16] = {'P', 'A', 'R', ' ', '2', '.', '0', '\0', 'I', 'F', 'S', 'C', '\0', '\0', '\0', '\0'};
constexpr char kRecovery[16] = {'P', 'A', 'R', ' ', '2', '.', '0', '\0', 'R', 'e', 'c', 'v', 'S', 'l', 'i', 'c'};
constexpr char kCreator[16] = {'P', 'A', 'R', ' ', '2', '.', '0', '\0', 'C', 'r', 'e', 'a', 't', 'o', 'r', '\0'};
constexpr size_t kHeader = 64;  // magic, length, packet digest, set id, type
// The input slice constants run out after this many slices: no volume set can have more.
constexpr uint32_t kMostSlices = 32768;
}  // namespace parity

struct SliceCheck {
    Md5Digest md5{};
    uint32_t crc = 0;
};

// A file of a volume set, as its File Description and slice checksums describe it.
struct ParityFile {
    Md5Digest id{}, whole{}, first16k{};
    uint64_t length = 0;
    std::string name;  // as recorded (UTF-8, maybe anything: it comes from a stranger)
    uint32_t firstSlice = 0;
    std::vector<SliceCheck> slices;
};

struct RecoverySlice {
    uint32_t exponent = 0;
    std::string path;     // the volume that holds it
    uint64_t offset = 0;  // where its data begins there
};

// One volume set found in a folder: complete when every file of its main packet is described and summed.
struct ParitySet {
    Md5Digest id{};
    uint64_t sliceSize = 0;
    std::vector<ParityFile> files;  // in the order of the main packet, the order of the slices' constants
    std::vector<RecoverySlice> recovery;  // checked, one an exponent, by exponent
    std::vector<std::string> volumes;     // the files that hold a packet of it
    bool complete = false;
    uint32_t sliceCount() const;
};
