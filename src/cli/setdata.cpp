// The one read loop over a set's data that join and verify share, run on one thread or on several.
#include "cli/setdata.h"

#include <algorithm>
#include <cerrno>
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

struct Reader {
    uint32_t checksum = 0;  // this thread's share: the checksum is a sum, so shares add up
    uint64_t total = 0;
    uint64_t failedChunk = kNoChunk;
    PassResult result = PassResult::Done;
    uint32_t failedPiece = 0;
    int error = 0;
};

std::vector<uint64_t> dataLengths(const PieceSet& set) {
    std::vector<uint64_t> lengths;
    for (const PieceState& piece : set.pieces) lengths.push_back(set.dataBytes(piece));
    return lengths;
}

void readChunks(PieceSet& set, const std::vector<uint64_t>& at, ChunkQueue& queue, const DataPass& pass,
                Reader& reader, Progress& progress, const DataSink& sink) {
    CopyBuffer buffer;
    Descriptor spare;  // a piece past the descriptors held, opened by name for as long as this thread reads it
    size_t spareOf = ~size_t{0};
    ChunkQueue::Chunk chunk;
    while (queue.take(chunk)) {
        PieceState& piece = set.pieces[chunk.item];
        auto failed = [&](PassResult result) {
            if (chunk.number < reader.failedChunk) {
                reader.result = result;
                reader.failedChunk = chunk.number;
                reader.failedPiece = piece.index;
                reader.error = errno;
            }
            queue.failed(chunk.number);
        };
        if (!piece.held.valid() && spareOf != chunk.item) {
            piece.readable(spare);
            spareOf = chunk.item;
        }
        const int file = piece.held.valid() ? piece.held.get() : spare.get();
        if (file < 0 || piece.length < 0) {
            failed(PassResult::ReadFailed);
            continue;
        }
        const size_t count = static_cast<size_t>(chunk.bytes);
        const uint64_t inPiece = chunk.offset, where = at[chunk.item] + inPiece;
        const uint64_t stored = set.dataOffset(piece.index) + inPiece;  // the chunk's place in the piece
        // Zeros add nothing to the sum: a hole needs neither reading nor summing, and a sink that leaves it
        // unwritten keeps it a hole.
        bool hole = false;
        if (count > 0 && pass.skipHoles && piece.holed && !(pass.decipher && inPiece < set.cipherSpan)) {
            const Extent extent = extentAt(file, stored, count);
            hole = extent.hole && extent.length == count;
        }
        if (count > 0) {
            if (!hole) {
                ssize_t got = readFullAt(file, buffer.data(), count, static_cast<int64_t>(stored));
                if (got != static_cast<ssize_t>(count)) {
                    if (got >= 0) errno = EIO;  // shorter than when it was measured
                    failed(PassResult::ReadFailed);
                    continue;
                }
                if (pass.decipher && inPiece < set.cipherSpan)
                    cipherBytes(buffer.data(),
                                static_cast<uint32_t>(std::min<uint64_t>(count, set.cipherSpan - inPiece)), inPiece);
                if (pass.sum)
                    reader.checksum =
                        addToChecksum(reader.checksum, where, buffer.data(), static_cast<uint32_t>(count));
            }
            if (!sink(hole ? nullptr : buffer.data(), count, where)) {
                failed(PassResult::SinkFailed);
                continue;
            }
            reader.total += count;
            progress.advance(count);
        }
        // The last of a piece's chunks to be read lets the piece go, whichever thread read the others.
        if (queue.finish(chunk.item)) piece.held.close();
    }
}
}  // namespace

uint64_t dataChunks(const PieceSet& set) {
    return ChunkQueue(dataLengths(set), kCopyBufferSize).count();
}

PassResult readSetData(PieceSet& set, DataPass& pass, Progress& progress, const DataSink& sink,
                       unsigned threads) {
    const std::vector<uint64_t> lengths = dataLengths(set);
    std::vector<uint64_t> at{0};  // where each piece's data begins in the rebuilt file
    for (uint64_t length : lengths) at.push_back(at.back() + length);
    ChunkQueue queue(lengths, kCopyBufferSize);
    std::vector<Reader> readers(threads == 0 ? 1 : threads);
    runEach(static_cast<unsigned>(readers.size()),
            [&](unsigned r) { readChunks(set, at, queue, pass, readers[r], progress, sink); });
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
