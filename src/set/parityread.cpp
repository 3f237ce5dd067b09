// Finds the packets of recovery volumes, checks each by its digest, and puts the volume sets together from them.
#include "set/parityread.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <set>

#include "os/files.h"
#include "set/format.h"
#include "set/threads.h"
#include "text/textops.h"

namespace {
using namespace parity;
// No packet but recovery data is this long: 32768 slices' checksums take 640 KiB; a longer one is not believed.
constexpr uint64_t kLongestPacket = 4u << 20;
constexpr size_t kScanBlock = 1u << 20;

uint64_t le64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; i--) v = v << 8 | p[i];
    return v;
}
uint32_t le32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
Md5Digest digestAt(const uint8_t* p) {
    Md5Digest d;
    std::memcpy(d.bytes, p, 16);
    return d;
}

// Where the next magic begins at or after from, or length when there is none.
uint64_t nextMagic(const ReadBytesAt& read, uint64_t from, uint64_t length, std::vector<uint8_t>& block) {
    while (from + kHeader <= length) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(block.size(), length - from));
        const int64_t got = read(block.data(), want, from);
        if (got < static_cast<int64_t>(sizeof kMagic)) return length;
        const uint8_t* end = block.data() + got;
        const auto* magic = reinterpret_cast<const uint8_t*>(kMagic);
        const uint8_t* at = std::search(static_cast<const uint8_t*>(block.data()), end, magic, magic + sizeof kMagic);
        if (at != end) return from + static_cast<uint64_t>(at - block.data());
        from += static_cast<uint64_t>(got) - (sizeof kMagic - 1);  // a magic may straddle the blocks
    }
    return length;
}

// The digest of a packet's bytes from its set id to its end, read from the volume a block at a time.
bool packetDigestMatches(const ReadBytesAt& read, uint64_t at, uint64_t length, const uint8_t* header,
                         std::vector<uint8_t>& block) {
    Md5 digest;
    for (uint64_t from = at + 32; from < at + length;) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(block.size(), at + length - from));
        if (read(block.data(), want, from) != static_cast<int64_t>(want)) return false;
        digest.add(block.data(), want);
        from += want;
    }
    return digest.finish() == digestAt(header + 16);
}
}  // namespace

VolumePackets scanVolume(const ReadBytesAt& read, uint64_t length) {
    VolumePackets found;
    std::vector<uint8_t> block(static_cast<size_t>(std::min<uint64_t>(kScanBlock, std::max<uint64_t>(length, 64))));
    uint8_t header[kHeader + 4];
    for (uint64_t at = nextMagic(read, 0, length, block); at < length; at = nextMagic(read, at, length, block)) {
        const uint64_t size = read(header, sizeof header, at) >= static_cast<int64_t>(kHeader) ? le64(header + 8) : 0;
        const bool recovery = std::memcmp(header + 48, kRecovery, 16) == 0;
        // A length that cannot be, or a packet cut off: its magic was damage or data, the search goes on after it.
        const bool plausible = size >= kHeader && size % 4 == 0 && size <= length - at &&
                               (recovery ? size >= kHeader + 4 : size <= kLongestPacket);
        if (!plausible || !packetDigestMatches(read, at, size, header, block)) {
            at++;
            continue;
        }
        const Md5Digest set = digestAt(header + 32);
        if (std::find(found.sets.begin(), found.sets.end(), set) == found.sets.end()) found.sets.push_back(set);
        if (recovery) {
            found.slices.push_back({digestAt(header + 32), le32(header + kHeader), at + kHeader + 4, size - kHeader - 4});
        } else {
            VolumePackets::Packet packet{digestAt(header + 16), digestAt(header + 32),
                                         std::string(reinterpret_cast<char*>(header + 48), 16),
                                         std::string(static_cast<size_t>(size - kHeader), '\0')};
            auto* body = reinterpret_cast<uint8_t*>(&packet.body[0]);
            if (read(body, packet.body.size(), at + kHeader) != static_cast<int64_t>(packet.body.size())) break;
            found.packets.push_back(std::move(packet));
        }
        at += size;
    }
    return found;
}

uint32_t ParitySet::sliceCount() const {
    uint32_t count = 0;
    for (const ParityFile& file : files) count += static_cast<uint32_t>(file.slices.size());
    return count;
}

namespace {
const uint8_t* bytesOf(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// The main packet: the slice size and the ids of the files recovery covers, in their order; false when unsound.
bool readMain(const std::string& body, const Md5Digest& id, ParitySet& set) {
    if (body.size() < 12 || md5Of(body.data(), body.size()) != id) return false;
    const uint64_t sliceSize = le64(bytesOf(body));
    const uint32_t count = le32(bytesOf(body) + 8);
    if (sliceSize == 0 || sliceSize % 4 != 0 || count > kMostSlices || (body.size() - 12) % 16 != 0 ||
        count > (body.size() - 12) / 16)
        return false;
    set.id = id;
    set.sliceSize = sliceSize;
    for (uint32_t i = 0; i < count; i++) {
        ParityFile file;
        file.id = digestAt(bytesOf(body) + 12 + 16 * i);
        set.files.push_back(file);
    }
    return true;
}

// A file's description, believed only when its id is the digest of what it says.
bool readDescription(const std::string& body, ParityFile& file) {
    if (body.size() < 56 || digestAt(bytesOf(body)) != file.id) return false;
    std::string name = body.substr(56);
    name.erase(std::find(name.begin(), name.end(), '\0'), name.end());
    std::string source = body.substr(32, 16) + body.substr(48, 8) + name;
    if (md5Of(source.data(), source.size()) != file.id) return false;
    file.whole = digestAt(bytesOf(body) + 16);
    file.first16k = digestAt(bytesOf(body) + 32);
    file.length = le64(bytesOf(body) + 48);
    file.name = name;
    return true;
}

bool readSliceSums(const std::string& body, uint64_t sliceSize, ParityFile& file) {
    const uint64_t slices = file.length / sliceSize + (file.length % sliceSize != 0);
    if (body.size() < 16 || digestAt(bytesOf(body)) != file.id || (body.size() - 16) != slices * 20) return false;
    for (uint64_t k = 0; k < slices; k++) {
        const uint8_t* at = bytesOf(body) + 16 + 20 * k;
        file.slices.push_back({digestAt(at), le32(at + 16)});
    }
    return true;
}

// The set whose main packet is main, from every packet and slice of that set id.
ParitySet assembleOne(const Md5Digest& id, const std::string& main, const std::vector<std::string>& paths,
                      const std::vector<VolumePackets>& volumes) {
    ParitySet set;
    if (!readMain(main, id, set)) return {};
    std::vector<bool> described(set.files.size()), summed(set.files.size());
    std::map<Md5Digest, size_t> fileOf;  // every volume repeats every description: found by id, not by search
    for (size_t f = 0; f < set.files.size(); f++) fileOf.emplace(set.files[f].id, f);
    // The checksums are read once the file's length is known from its description, which may come later.
    for (const std::string& type : {std::string(kFileDesc, 16), std::string(kSliceSums, 16)})
        for (const VolumePackets& volume : volumes)
            for (const VolumePackets::Packet& packet : volume.packets) {
                if (packet.set != id || packet.type != type || packet.body.size() < 16) continue;
                const auto found = fileOf.find(digestAt(bytesOf(packet.body)));
                if (found == fileOf.end()) continue;
                const size_t f = found->second;
                if (type[8] == 'F' && !described[f]) described[f] = readDescription(packet.body, set.files[f]);
                if (type[8] == 'I' && described[f] && !summed[f])
                    summed[f] = readSliceSums(packet.body, set.sliceSize, set.files[f]);
            }
    std::map<uint32_t, RecoverySlice> recovery;
    for (size_t v = 0; v < volumes.size(); v++) {
        bool ours = std::find(volumes[v].sets.begin(), volumes[v].sets.end(), id) != volumes[v].sets.end();
        for (const VolumePackets::Slice& slice : volumes[v].slices)
            if (slice.set == id && slice.length == set.sliceSize && slice.exponent < 65535) {
                ours = true;
                recovery.emplace(slice.exponent, RecoverySlice{slice.exponent, paths[v], slice.offset});
            }
        if (ours) set.volumes.push_back(paths[v]);
    }
    uint64_t slices = 0;
    set.complete = true;
    for (size_t f = 0; f < set.files.size(); f++) {
        set.files[f].firstSlice = static_cast<uint32_t>(std::min<uint64_t>(slices, kMostSlices));
        slices += set.files[f].slices.size();
        set.complete = set.complete && described[f] && summed[f];
    }
    if (slices > kMostSlices) set.complete = false;
    for (auto& each : recovery) set.recovery.push_back(each.second);
    return set;
}
}  // namespace

std::vector<ParitySet> assembleSets(const std::vector<std::string>& paths, const std::vector<VolumePackets>& volumes) {
    // A description may come before its main packet, in another volume: first every main packet, then the rest.
    std::map<Md5Digest, std::string> mains;
    for (const VolumePackets& volume : volumes)
        for (const VolumePackets::Packet& packet : volume.packets)
            if (packet.type == std::string(kMain, 16) && md5Of(packet.body.data(), packet.body.size()) == packet.set)
                mains.emplace(packet.set, packet.body);
    std::vector<ParitySet> sets;
    for (const auto& main : mains) {
        ParitySet set = assembleOne(main.first, main.second, paths, volumes);
        if (set.sliceSize != 0) sets.push_back(std::move(set));
    }
    return sets;
}

std::vector<ParitySet> readParitySets(const std::string& folder, unsigned threads) {
    std::vector<std::string> paths;
    for (const std::string& name : osListFolder(folder)) {
        char path[kTextBufferSize];
        std::string ending = name.size() < 5 ? "" : name.substr(name.size() - 5);
        for (char& c : ending) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (ending != ".par2" ||
            !pathInFolder(folder.c_str(), name.c_str(), path) || osEntryKind(path) != EntryKind::File)
            continue;
        paths.push_back(path);
    }
    if (paths.empty()) return {};
    std::sort(paths.begin(), paths.end());
    std::vector<VolumePackets> volumes(paths.size());
    std::vector<size_t> bounds = runBounds(std::vector<uint64_t>(paths.size(), 1), threads ? threads : 1);
    // One copy of each packet is kept: a hundred volumes of a thousand pieces repeat 30 MB of descriptions.
    std::set<Md5Digest> kept;
    std::mutex keeping;
    runEach(static_cast<unsigned>(bounds.size() - 1), [&](unsigned run) {
        for (size_t v = bounds[run]; v < bounds[run + 1]; v++) {
            OsFile file = OsFile::openRead(paths[v]);
            if (!file.valid()) continue;
            VolumePackets found = scanVolume(
                [&](uint8_t* b, size_t n, uint64_t at) { return file.readAt(b, n, at); }, file.length());
            std::lock_guard<std::mutex> hold(keeping);
            auto& packets = found.packets;
            packets.erase(std::remove_if(packets.begin(), packets.end(),
                                         [&](const VolumePackets::Packet& p) { return !kept.insert(p.digest).second; }),
                          packets.end());
            packets.shrink_to_fit();
            volumes[v] = std::move(found);
        }
    });
    return assembleSets(paths, volumes);
}
