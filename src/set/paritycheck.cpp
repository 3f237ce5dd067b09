// Checks a volume set's files: first each file whole by its digest, and only a file that fails that, slice by slice.
#include "set/paritycheck.h"

#include <algorithm>

#include "os/files.h"
#include "set/format.h"
#include "set/threads.h"
#include "text/textops.h"

namespace {
constexpr size_t kBlock = 1u << 20;

// Feeds bytes [from, to) of file to take, then zeros up to padTo (when larger); false when the file gives fewer.
template <typename Take>
bool feed(const OsFile& file, uint64_t from, uint64_t to, uint64_t padTo, std::vector<uint8_t>& block,
          SetEvents& events, Take take) {
    const bool holed = file.holed();
    for (uint64_t at = from; at < to;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(block.size(), to - at));
        const Extent extent = holed ? file.extentAt(at, n) : Extent{false, 0};
        if (extent.hole && extent.length >= n)
            std::fill(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n), 0);  // a hole: no need to read
        else if (file.readAt(block.data(), n, at) != static_cast<int64_t>(n))
            return false;
        take(block.data(), n);
        events.advance(n);
        at += n;
    }
    std::fill(block.begin(), block.end(), 0);
    for (uint64_t at = to; at < padTo;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(block.size(), padTo - at));
        take(block.data(), n);
        at += n;
    }
    return true;
}

// The slices of a file that is not whole, each checked where it should lie.
void checkSlices(const ParityFile& file, const OsFile& opened, uint64_t length, uint64_t sliceSize,
                 std::vector<uint8_t>& block, SetEvents& events, FileCheck& check) {
    for (size_t k = 0; k < file.slices.size(); k++) {
        const uint64_t start = k * sliceSize, end = std::min(file.length, start + sliceSize);
        if (length < end) break;
        uint32_t crc = 0;
        Md5 md5;
        const bool read = feed(opened, start, end, start + sliceSize, block, events, [&](const uint8_t* b, size_t n) {
            crc = crc32Of(b, n, crc);
            md5.add(b, n);
        });
        check.sound[k] = read && crc == file.slices[k].crc && md5.finish() == file.slices[k].md5;
    }
}

FileCheck checkFile(const ParitySet& set, const ParityFile& file, const std::string& folder, SetEvents& events) {
    FileCheck check;
    check.sound.assign(file.slices.size(), false);
    char path[kTextBufferSize];
    if (!plainFileName(file.name) || !pathInFolder(folder.c_str(), file.name.c_str(), path)) return check;
    check.path = path;
    if (osEntryKind(check.path) != EntryKind::File) return check;
    OsFile opened = OsFile::openRead(check.path);
    if (!opened.valid()) return check;
    check.state = FileCheck::Damaged;
    const uint64_t length = opened.length();
    std::vector<uint8_t> block(kBlock);
    // The file's first bytes as long as it should be: the whole file, or one slice whose zeros need no reading.
    if (length >= file.length) {
        Md5 md5;
        const bool read = feed(opened, 0, file.length, 0, block, events,
                               [&](const uint8_t* b, size_t n) { md5.add(b, n); });
        if (read && md5.finish() == file.whole) {
            check.sound.assign(file.slices.size(), true);
            if (length == file.length) check.state = FileCheck::Whole;
            return check;
        }
        if (file.slices.size() <= 1) return check;
    }
    checkSlices(file, opened, length, set.sliceSize, block, events, check);
    return check;
}
}  // namespace

uint32_t FileCheck::lostSlices() const {
    return static_cast<uint32_t>(std::count(sound.begin(), sound.end(), false));
}

bool plainFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':') return false;
    return true;
}

ParityCheck checkParitySet(const ParitySet& set, const std::string& folder, SetEvents& events, unsigned threads) {
    ParityCheck result;
    result.files.resize(set.files.size());
    std::vector<uint64_t> weights;
    for (const ParityFile& file : set.files) weights.push_back(file.length + 1);
    std::vector<size_t> bounds = runBounds(weights, std::max(1u, std::min<unsigned>(threads, weights.size())));
    if (!weights.empty())
        runEach(static_cast<unsigned>(bounds.size() - 1), [&](unsigned run) {
            for (size_t f = bounds[run]; f < bounds[run + 1]; f++)
                result.files[f] = checkFile(set, set.files[f], folder, events);
        });
    for (const FileCheck& file : result.files) result.lost += file.lostSlices();
    result.blocks = static_cast<uint32_t>(set.recovery.size());
    return result;
}
