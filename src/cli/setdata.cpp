// The one read loop over a set's data that join and verify share, run on one thread or on several.
#include "cli/setdata.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <memory>
#include <vector>

#include "cli/fileio.h"
#include "cli/workers.h"
#include "engine/checksum.h"
#include "engine/jobstate.h"
#include "text/textops.h"

void useKey(const std::string& key) {
    copyTextBounded(key.c_str(), jobState.keyText, kTextBufferSize);
    expandKey();
}

namespace {
constexpr uint64_t kNoChunk = ~uint64_t{0};

// Every piece counts at least one chunk, so that an empty piece is still opened and its failure still met.
uint64_t chunksOf(uint64_t bytes) {
    return bytes == 0 ? 1 : (bytes + kCopyBufferSize - 1) / kCopyBufferSize;
}

// The data cut into buffer-sized chunks, numbered in the order of the rebuilt file. Threads take the next
// chunk as they become free, so a set of a few large pieces is shared as evenly as one of many small ones.
struct Chunks {
    PieceSet& set;
    std::vector<uint64_t> first;  // each piece's first chunk; a last entry is the number of chunks
    std::vector<uint64_t> at;     // where each piece's data begins in the rebuilt file
    std::unique_ptr<std::atomic<uint64_t>[]> unread;  // chunks of each piece not yet read
    std::atomic<uint64_t> next{0};
    std::atomic<uint64_t> earliestFailure{kNoChunk};

    explicit Chunks(PieceSet& pieces) : set(pieces), unread(new std::atomic<uint64_t>[pieces.pieces.size()]) {
        first.push_back(0);
        at.push_back(0);
        for (size_t i = 0; i < set.pieces.size(); i++) {
            const uint64_t bytes = set.dataBytes(set.pieces[i]);
            unread[i] = chunksOf(bytes);
            first.push_back(first.back() + chunksOf(bytes));
            at.push_back(at.back() + bytes);
        }
    }
    // A chunk past a failure is not taken: a single thread would have stopped there.
    uint64_t take() {
        const uint64_t chunk = next.fetch_add(1, std::memory_order_relaxed);
        return chunk < first.back() && chunk < earliestFailure.load(std::memory_order_relaxed) ? chunk : kNoChunk;
    }
    void failed(uint64_t chunk) {
        uint64_t seen = earliestFailure.load();
        while (chunk < seen && !earliestFailure.compare_exchange_weak(seen, chunk)) {
        }
    }
};

struct Reader {
    uint32_t checksum = 0;  // this thread's share: the checksum is a sum, so shares add up
    uint64_t total = 0;
    uint64_t failedChunk = kNoChunk;
    PassResult result = PassResult::Done;
    uint32_t failedPiece = 0;
    int error = 0;
};

void readChunks(Chunks& chunks, const DataPass& pass, Reader& reader, Progress& progress, const DataSink& sink) {
    CopyBuffer buffer;
    Descriptor spare;  // a piece past the descriptors held, opened by name for as long as this thread reads it
    size_t spareOf = ~size_t{0};
    size_t i = 0;
    auto failed = [&](PassResult result, uint64_t chunk) {
        if (chunk < reader.failedChunk) {
            reader.result = result;
            reader.failedChunk = chunk;
            reader.failedPiece = chunks.set.pieces[i].index;
            reader.error = errno;
        }
        chunks.failed(chunk);
    };
    for (uint64_t chunk; (chunk = chunks.take()) != kNoChunk;) {
        while (chunks.first[i + 1] <= chunk) i++;  // chunks are taken in rising order
        PieceState& piece = chunks.set.pieces[i];
        if (!piece.held.valid() && spareOf != i) {
            piece.readable(spare);
            spareOf = i;
        }
        const int file = piece.held.valid() ? piece.held.get() : spare.get();
        if (file < 0 || piece.length < 0) {
            failed(PassResult::ReadFailed, chunk);
            continue;
        }
        const uint64_t inPiece = (chunk - chunks.first[i]) * kCopyBufferSize;
        const uint64_t data = chunks.set.dataBytes(piece), at = chunks.at[i] + inPiece;
        const size_t count = static_cast<size_t>(std::min<uint64_t>(kCopyBufferSize, data - inPiece));
        if (count > 0) {
            ssize_t got = readFullAt(file, buffer.data(), count,
                                     static_cast<int64_t>(chunks.set.dataOffset(piece.index) + inPiece));
            if (got != static_cast<ssize_t>(count)) {
                if (got >= 0) errno = EIO;  // shorter than when it was measured
                failed(PassResult::ReadFailed, chunk);
                continue;
            }
            if (pass.decipher && inPiece < chunks.set.cipherSpan)
                cipherBytes(buffer.data(),
                            static_cast<uint32_t>(std::min<uint64_t>(count, chunks.set.cipherSpan - inPiece)),
                            inPiece);
            if (pass.sum)
                reader.checksum = addToChecksum(reader.checksum, at, buffer.data(), static_cast<uint32_t>(count));
            if (!sink(buffer.data(), count, at)) {
                failed(PassResult::SinkFailed, chunk);
                continue;
            }
            reader.total += count;
            progress.advance(count);
        }
        // The last of a piece's chunks to be read lets the piece go, whichever thread read it.
        if (chunks.unread[i].fetch_sub(1) == 1) piece.held.close();
    }
}
}  // namespace

uint64_t dataChunks(const PieceSet& set) {
    uint64_t count = 0;
    for (const PieceState& piece : set.pieces) count += chunksOf(set.dataBytes(piece));
    return count;
}

PassResult readSetData(PieceSet& set, DataPass& pass, Progress& progress, const DataSink& sink,
                       unsigned threads) {
    Chunks chunks(set);
    std::vector<Reader> readers(threads == 0 ? 1 : threads);
    runEach(static_cast<unsigned>(readers.size()),
            [&](unsigned r) { readChunks(chunks, pass, readers[r], progress, sink); });
    pass.failedPiece = 0;
    pass.error = 0;
    const Reader* earliest = nullptr;
    for (const Reader& reader : readers) {
        pass.checksum += reader.checksum;
        pass.total += reader.total;
        if (reader.failedChunk != kNoChunk && (!earliest || reader.failedChunk < earliest->failedChunk))
            earliest = &reader;
    }
    if (!earliest) return PassResult::Done;
    pass.failedPiece = earliest->failedPiece;
    pass.error = earliest->error;
    return earliest->result;
}
