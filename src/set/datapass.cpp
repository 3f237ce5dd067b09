// The one read loop over a set's data that join and verify share, run on one thread or on several.
#include "set/datapass.h"

#include <algorithm>
#include <vector>

#include "os/files.h"
#include "set/threads.h"

namespace {
constexpr uint64_t kNoChunk = ~uint64_t{0};
constexpr size_t kChunkBytes = 1 << 20;

struct Reader {
    uint32_t checksum = 0;  // this thread's share: the checksum is a sum, so shares add up
    uint64_t total = 0;
    uint64_t failedChunk = kNoChunk;
    PassResult result = PassResult::Done;
    uint32_t failedPiece = 0;
    FileStatus error;
};

std::vector<uint64_t> dataLengths(const PieceSet& set) {
    std::vector<uint64_t> lengths;
    for (const PieceState& piece : set.pieces) lengths.push_back(set.expectedDataBytes(piece));
    return lengths;
}

struct ChunkReader {
    PieceSet& set;
    const std::vector<uint64_t>& at;
    ChunkQueue& queue;
    const DataPass& pass;
    Reader& reader;
    SetEvents& events;
    const DataSink& sink;
    PageBuffer buffer{kChunkBytes};
    OsFile spare{};  // a piece past the files held, opened by name for as long as this thread reads it
    size_t spareOf = ~size_t{0};

    void failed(const ChunkQueue::Chunk& chunk, PassResult result) {
        if (chunk.number < reader.failedChunk) {
            reader.result = result;
            reader.failedChunk = chunk.number;
            reader.failedPiece = set.pieces[chunk.item].index;
            reader.error = osLastFileError();
        }
        queue.failed(chunk.number);
    }

    // The piece's file; a piece that is not there is asked for until it is, or the user gives up.
    const OsFile* pieceFile(const ChunkQueue::Chunk& chunk, PassResult& why) {
        PieceState& piece = set.pieces[chunk.item];
        while (!piece.present) {
            why = PassResult::ReadFailed;
            if (events.stopRequested()) why = PassResult::Stopped;
            if (why == PassResult::Stopped) return nullptr;
            if (!events.pieceReady(piece.index, piece.path)) {
                if (events.stopRequested()) why = PassResult::Stopped;  // the user gave up: no failure to report
                return nullptr;
            }
            lookAgain(set, piece);
        }
        why = PassResult::Misfit;
        if (!piece.fits()) return nullptr;
        why = PassResult::ReadFailed;
        if (piece.held.valid()) return &piece.held;
        if (spareOf != chunk.item) {
            piece.readable(spare);
            spareOf = chunk.item;
        }
        return spare.valid() ? &spare : nullptr;
    }

    // Reads [from, to) of the chunk's piece data into the buffer; false on a short or failed read.
    bool readStretch(const OsFile& file, const PieceState& piece, uint64_t from, uint64_t to, uint64_t chunkStart) {
        uint8_t* bytes = buffer.data() + (from - chunkStart);
        const size_t count = static_cast<size_t>(to - from);
        int64_t got = file.readAt(bytes, count, set.dataOffset(piece.index) + from);
        if (got != static_cast<int64_t>(count)) {
            if (got >= 0) osSetFileError(FileError::Other);  // shorter than when it was measured
            return false;
        }
        if (pass.decipher && from < set.cipherSpan)
            cipherBytes(pass.key, bytes, static_cast<uint32_t>(std::min<uint64_t>(count, set.cipherSpan - from)), from);
        return true;
    }

    // One chunk, stretch by stretch: holes (outside the key's span) are neither read nor summed, and a sink that
    // leaves them unwritten keeps them holes, at the file system's own grain.
    PassResult readChunk(const ChunkQueue::Chunk& chunk, const OsFile& file) {
        const PieceState& piece = set.pieces[chunk.item];
        const uint64_t start = chunk.offset, end = chunk.offset + chunk.bytes;
        const bool holes = pass.skipHoles && piece.holed;
        for (uint64_t from = start; from < end;) {
            uint64_t limit = end - from;
            bool hole = false;
            if (pass.decipher && from < set.cipherSpan) {
                limit = std::min(limit, set.cipherSpan - from);
            } else if (holes) {
                const Extent extent = file.extentAt(set.dataOffset(piece.index) + from, limit);
                hole = extent.hole;
                limit = std::max<uint64_t>(1, extent.length);
            }
            if (!hole && !readStretch(file, piece, from, from + limit, start)) return PassResult::ReadFailed;
            const uint8_t* bytes = hole ? nullptr : buffer.data() + (from - start);
            if (!hole && pass.sum)
                reader.checksum = addToChecksum(reader.checksum, at[chunk.item] + from, bytes, static_cast<uint32_t>(limit));
            if (!sink(bytes, static_cast<size_t>(limit), at[chunk.item] + from)) return PassResult::SinkFailed;
            from += limit;
        }
        return PassResult::Done;
    }

    void run() {
        ChunkQueue::Chunk chunk;
        while (queue.take(chunk)) {
            if (events.stopRequested()) {
                failed(chunk, PassResult::Stopped);
                continue;
            }
            PieceState& piece = set.pieces[chunk.item];
            PassResult why = PassResult::Done;
            const OsFile* file = pieceFile(chunk, why);
            if (file == nullptr) {
                failed(chunk, why);
                continue;
            }
            if (chunk.bytes > 0) {
                why = readChunk(chunk, *file);
                if (why != PassResult::Done) {
                    failed(chunk, why);
                    continue;
                }
                reader.total += chunk.bytes;
                events.advance(chunk.bytes);
            }
            // The last of a piece's chunks to be read lets the piece go, whichever thread read the others.
            if (queue.finish(chunk.item)) piece.held.close();
        }
    }
};
}  // namespace

uint64_t dataChunks(const PieceSet& set) { return ChunkQueue(dataLengths(set), kChunkBytes).count(); }

PassResult readSetData(PieceSet& set, DataPass& pass, SetEvents& events, const DataSink& sink, unsigned threads) {
    const std::vector<uint64_t> lengths = dataLengths(set);
    std::vector<uint64_t> at{0};  // where each piece's data begins in the rebuilt file
    for (uint64_t length : lengths) at.push_back(at.back() + length);
    ChunkQueue queue(lengths, kChunkBytes);
    std::vector<Reader> readers(threads == 0 ? 1 : threads);
    runEach(static_cast<unsigned>(readers.size()), [&](unsigned r) {
        ChunkReader{set, at, queue, pass, readers[r], events, sink}.run();
    });
    pass.failedPiece = 0;
    pass.error = FileStatus();
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
