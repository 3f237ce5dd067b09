// Fuzzes the recovery volume reader: the bytes as a volume, and the bytes made into packets with sound digests
// (so that the fuzzer reaches the checks of the fields behind them); what is taken must lie within the volume.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "set/parityread.h"

namespace {
void check(bool ok) {
    if (!ok) std::abort();
}

void put64(std::string& out, uint64_t v) {
    for (int i = 0; i < 8; i++) out += static_cast<char>(v >> (8 * i));
}

// Packets of the types the input picks, their bodies from the input, their set id that of the first main body.
std::string soundPackets(const uint8_t* data, size_t size) {
    static const char* const kTypes[] = {parity::kMain, parity::kFileDesc, parity::kSliceSums, parity::kRecovery,
                                         parity::kCreator};
    std::vector<std::pair<const char*, std::string>> packets;
    Md5Digest set{};
    bool haveSet = false;
    for (size_t at = 0; at + 3 <= size;) {
        const char* type = kTypes[data[at] % 5];
        size_t length = (data[at + 1] | data[at + 2] << 8) & ~size_t{3};
        at += 3;
        length = std::min(length, (size - at) & ~size_t{3});
        std::string body(reinterpret_cast<const char*>(data + at), length);
        at += length;
        if (type == parity::kMain && !haveSet) {
            set = md5Of(body.data(), body.size());
            haveSet = true;
        }
        packets.emplace_back(type, body);
    }
    std::string volume;
    for (const auto& packet : packets) {
        Md5 digest;
        digest.add(set.bytes, 16);
        digest.add(packet.first, 16);
        digest.add(packet.second.data(), packet.second.size());
        const Md5Digest sum = digest.finish();
        volume.append(parity::kMagic, 8);
        put64(volume, parity::kHeader + packet.second.size());
        volume.append(reinterpret_cast<const char*>(sum.bytes), 16);
        volume.append(reinterpret_cast<const char*>(set.bytes), 16);
        volume.append(packet.first, 16);
        volume += packet.second;
    }
    return volume;
}

void readAndCheck(const uint8_t* data, size_t size) {
    const ReadBytesAt read = [&](uint8_t* buffer, size_t count, uint64_t offset) -> int64_t {
        if (offset >= size) return 0;
        const size_t n = std::min<uint64_t>(count, size - offset);
        std::memcpy(buffer, data + offset, n);
        return static_cast<int64_t>(n);
    };
    const VolumePackets found = scanVolume(read, size);
    for (const VolumePackets::Slice& slice : found.slices) check(slice.offset + slice.length <= size);
    for (const VolumePackets::Packet& packet : found.packets) check(packet.body.size() + parity::kHeader <= size);
    for (const ParitySet& set : assembleSets({"v.par2"}, {found})) {
        check(set.sliceSize > 0 && set.sliceSize % 4 == 0 && set.files.size() <= parity::kMostSlices);
        for (const RecoverySlice& slice : set.recovery) check(slice.offset + set.sliceSize <= size);
        if (!set.complete) continue;
        check(set.sliceCount() <= parity::kMostSlices);
        for (const ParityFile& file : set.files)
            check(file.slices.size() == file.length / set.sliceSize + (file.length % set.sliceSize != 0));
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    readAndCheck(data, size);
    const std::string sound = soundPackets(data, size);
    readAndCheck(reinterpret_cast<const uint8_t*>(sound.data()), sound.size());
    return 0;
}
