// The multiply-add pass over slices, a stretch of every slice at a time so that the outputs' stretches stay in the
// processor's cache and the multiply-adds wait on no memory.
#include "set/slicepass.h"

#include <algorithm>
#include <cstring>

#include "set/gf16.h"
#include "set/threads.h"

namespace {
// A thread's output stretches together, kept within the processor's second-level cache.
constexpr size_t kMemory = 768u << 10;
// Reads below a page cost more in calls than the cache saves.
constexpr size_t kLeastRead = 4u << 10;

struct Share {
    std::vector<bool> holed;  // by input: its file may hold holes, which need no reading
    size_t from = 0, to = 0;
    unsigned run = 0, runs = 1;  // this thread reports the inputs seen whose number is run modulo runs
    SlicePassResult failure;
};

SlicePassResult failed(SlicePassResult::What what, const std::string& path) {
    SlicePassResult result;
    result.what = what;
    result.path = path;
    result.error = osLastFileError();
    return result;
}

// One stretch of input slice i (zeros past its bytes) into in.
bool readStretch(const SlicePass& pass, size_t i, uint64_t offset, size_t n, uint8_t* in, Share& share,
                 SetEvents& events) {
    const SliceInput& input = pass.inputs[i];
    const size_t have = offset < input.length ? static_cast<size_t>(std::min<uint64_t>(n, input.length - offset)) : 0;
    Extent extent{false, 0};
    if (have > 0 && share.holed[i]) extent = input.file->extentAt(input.start + offset, have);
    if (extent.hole && extent.length >= have)
        std::memset(in, 0, have);
    else if (have > 0 && input.file->readAt(in, have, input.start + offset) != static_cast<int64_t>(have)) {
        share.failure = failed(SlicePassResult::ReadFailed, input.path);
        return false;
    }
    std::memset(in + have, 0, n - have);
    if (i % share.runs == share.run) {
        if (pass.seen) pass.seen(i, in, have, n);
        events.advance(have);
    }
    return true;
}

bool allZero(const uint8_t* bytes, size_t n) {
    return n == 0 || (bytes[0] == 0 && std::memcmp(bytes, bytes + 1, n - 1) == 0);
}

// Zeros are not written: the outputs are new files that read as zeros where nothing was written, so a sparse
// set gets sparse volumes.
bool writeStretch(const SlicePass& pass, size_t o, uint64_t offset, const uint8_t* bytes, size_t n, Share& share) {
    const SliceOutput& output = pass.outputs[o];
    const size_t keep = offset < output.keep ? static_cast<size_t>(std::min<uint64_t>(n, output.keep - offset)) : 0;
    if (keep > 0 && !allZero(bytes, keep) && !output.file->writeAt(bytes, keep, output.start + offset)) {
        share.failure = failed(SlicePassResult::WriteFailed, output.path);
        return false;
    }
    if (pass.made) pass.made(o, bytes, n);
    return true;
}

void runShare(const SlicePass& pass, Share& share, size_t stretch, SetEvents& events) {
    const size_t count = share.to - share.from;
    for (const SliceInput& input : pass.inputs) share.holed.push_back(input.file->holed());
    std::vector<std::vector<uint8_t>> sums(count, std::vector<uint8_t>(stretch));
    std::vector<uint16_t> factors(count * pass.inputs.size());
    for (size_t o = 0; o < count; o++)
        for (size_t i = 0; i < pass.inputs.size(); i++)
            factors[o * pass.inputs.size() + i] = pass.factor(share.from + o, i);
    std::vector<uint8_t> in(stretch);
    for (uint64_t offset = 0; offset < pass.sliceSize; offset += stretch) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(stretch, pass.sliceSize - offset));
        for (auto& sum : sums) std::memset(sum.data(), 0, n);
        for (size_t i = 0; i < pass.inputs.size(); i++) {
            if (events.stopRequested()) {
                share.failure.what = SlicePassResult::Stopped;
                return;
            }
            // A thread with no outputs is there for its share of the digests: it reads no other input.
            if (count == 0 && i % share.runs != share.run) continue;
            if (!readStretch(pass, i, offset, n, in.data(), share, events)) return;
            if (allZero(in.data(), n)) continue;  // adds nothing: a hole, or the padding of a short slice
            for (size_t o = 0; o < count; o++) {
                const uint16_t factor = factors[o * pass.inputs.size() + i];
                if (factor != 0) gfMultiplyAdd(factor, in.data(), sums[o].data(), n);
            }
        }
        for (size_t o = 0; o < count; o++)
            if (!writeStretch(pass, share.from + o, offset, sums[o].data(), n, share)) return;
    }
}
}  // namespace

SlicePassResult runSlicePass(const SlicePass& pass, SetEvents& events, unsigned threads) {
    const size_t outputs = pass.outputs.size();
    // More threads than outputs only where there are digests to share.
    const size_t useful = pass.seen ? SIZE_MAX : outputs;
    const unsigned runs = static_cast<unsigned>(std::max<size_t>(1, std::min<size_t>(threads ? threads : 1, useful)));
    // Every thread reads every input: each takes the digests of its own share of them, and of the outputs.
    const size_t each = (outputs + runs - 1) / runs;
    std::vector<Share> shares(runs);
    size_t next = 0;
    for (unsigned run = 0; run < runs; run++) {
        shares[run].from = next;
        shares[run].to = next = run + 1 == runs ? outputs : std::min(outputs, next + each);
        shares[run].run = run;
        shares[run].runs = runs;
    }
    size_t largest = 1;
    for (const Share& share : shares) largest = std::max(largest, share.to - share.from);
    size_t stretch = std::min<size_t>(std::max<size_t>(kMemory / largest, kLeastRead), 1 << 20) / 64 * 64;
    stretch = static_cast<size_t>(std::min<uint64_t>(stretch, (pass.sliceSize + 63) / 64 * 64));
    if (stretch == 0) return {};
    runEach(runs, [&](unsigned run) { runShare(pass, shares[run], stretch, events); });
    for (const Share& share : shares)
        if (share.failure.what != SlicePassResult::Done) return share.failure;
    return {};
}
