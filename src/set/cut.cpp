// The pieces of a regular file: holes of a sparse source stay holes, the key and the checksum are applied on the
// way, and chunks of the pieces are cut on as many threads as the caller gives (each thread takes the next chunk,
// so two large pieces or one are shared as evenly as many small ones).
#include "set/cut.h"

#include <algorithm>
#include <memory>
#include <mutex>

#include "set/format.h"
#include "set/threads.h"

namespace {
constexpr size_t kChunkBytes = 1 << 20;

// A piece's file: made, with its start, by the first thread to reach one of its chunks; closed by the last.
struct PieceOut {
    std::mutex mutex;
    bool tried = false;
    bool made = false;
    CutResult::What failure = CutResult::Done;
    FileStatus error;
    OsFile file;
};

std::vector<uint64_t> pieceLengths(const CutPlan& plan) {
    std::vector<uint64_t> lengths;
    for (size_t i = 0; i < plan.paths.size(); i++) {
        const uint64_t offset = i * plan.pieceBytes;
        lengths.push_back(offset < plan.size ? std::min(plan.pieceBytes, plan.size - offset) : 0);
    }
    return lengths;
}

struct Cutter {
    const CutPlan& plan;
    SetEvents& events;
    ChunkQueue& queue;
    PieceOut* pieces;
    CutResult& result;  // this thread's share of the checksum and its earliest failure
    // Asked once: a source that may hold no holes is not asked where they are, a question that costs a round
    // trip to the system's server under Wine for every chunk.
    bool sourceHoled;
    uint64_t failedChunk = ~uint64_t{0};
    PageBuffer buffer{kChunkBytes};

    void failed(uint64_t chunk, CutResult::What what, const std::string& path, FileStatus error = osLastFileError()) {
        if (chunk < failedChunk) {
            failedChunk = chunk;
            result.what = what;
            result.path = path;
            result.error = error;
        }
        queue.failed(chunk);
    }

    // The piece's file, made first if no thread has tried yet; null if it failed (failure says how).
    const OsFile* pieceFile(size_t i, CutResult::What& failure, FileStatus& error) {
        PieceOut& out = pieces[i];
        std::lock_guard<std::mutex> hold(out.mutex);
        if (!out.tried) {
            out.tried = true;
            if (plan.inOrder && !events.pieceBegins(static_cast<uint32_t>(i + 1))) {
                out.failure = CutResult::Stopped;
            } else if (!(out.file = OsFile::createNew(plan.paths[i], plan.mode)).valid()) {
                out.failure = CutResult::CreateFailed;
                out.error = osLastFileError();
            } else {
                out.made = true;
                if (!writePieceStart(out.file, static_cast<uint32_t>(i + 1), plan.header)) {
                    out.failure = CutResult::WriteFailed;
                    out.error = osLastFileError();
                }
            }
        }
        failure = out.failure;
        error = out.error;
        return out.failure == CutResult::Done ? &out.file : nullptr;
    }

    // One stretch of the chunk: a hole of the source is left a hole; data is copied, summed and scrambled.
    bool stretch(const OsFile& piece, uint64_t offset, size_t count, uint64_t at, uint64_t inPiece, bool hole,
                 const ChunkQueue::Chunk& chunk, const std::string& path) {
        if (hole) return true;  // nothing is written there
        if (plan.kernelCopy) {
            // The system's copy reports its progress itself.
            CopyResult copied = osCopyRange(*plan.source, offset, piece, at, count, buffer.data(), kChunkBytes,
                                            [](void* e, uint64_t n) { static_cast<SetEvents*>(e)->advance(n); },
                                            &events);
            if (copied == CopyResult::WriteFailed) failed(chunk.number, CutResult::WriteFailed, path);
            if (copied != CopyResult::Done && copied != CopyResult::WriteFailed)
                failed(chunk.number, CutResult::ReadFailed, path);
            return copied == CopyResult::Done;
        }
        if (plan.source->readAt(buffer.data(), count, offset) != static_cast<int64_t>(count)) {
            failed(chunk.number, CutResult::ReadFailed, path);
            return false;
        }
        const uint32_t bytes = static_cast<uint32_t>(count);
        if (plan.checksum) result.checksum = addToChecksum(result.checksum, offset, buffer.data(), bytes);
        if (plan.enciphered && inPiece < plan.cipherSpan)
            cipherBytes(plan.key, buffer.data(), static_cast<uint32_t>(std::min<uint64_t>(bytes, plan.cipherSpan - inPiece)),
                        inPiece);
        if (!piece.writeAt(buffer.data(), count, at)) {
            failed(chunk.number, CutResult::WriteFailed, path);
            return false;
        }
        return true;
    }

    void cut(const ChunkQueue::Chunk& chunk) {
        const size_t i = chunk.item;
        const std::string& path = plan.paths[i];
        CutResult::What failure;
        FileStatus error;
        const OsFile* piece = pieceFile(i, failure, error);
        if (piece == nullptr) return failed(chunk.number, failure, path, error);
        const uint64_t start = !plan.header ? 0 : i == 0 ? kHeaderSize : kMagicSize;
        const uint64_t span = plan.enciphered ? plan.cipherSpan : 0;
        const uint64_t end = chunk.offset + chunk.bytes;
        uint64_t inPiece = chunk.offset, offset = i * plan.pieceBytes + chunk.offset;
        bool endsInHole = false;
        while (inPiece < end) {
            uint64_t limit = end - inPiece;
            if (inPiece < span) limit = std::min(limit, span - inPiece);  // the key's range apart
            const Extent extent = sourceHoled ? plan.source->extentAt(offset, limit) : Extent{false, limit};
            const size_t count = static_cast<size_t>(std::max<uint64_t>(1, extent.length));
            // A hole of a sparse source stays a hole in the piece; not where the key turns zeros into data.
            endsInHole = extent.hole && inPiece >= span;
            if (!stretch(*piece, offset, count, start + inPiece, inPiece, endsInHole, chunk, path)) return;
            inPiece += count;
            offset += count;
            if (endsInHole || !plan.kernelCopy) events.advance(count);
        }
        // A piece that ends in a hole gets its length all the same.
        if (chunk.last && endsInHole && !piece->setLength(start + end))
            return failed(chunk.number, CutResult::WriteFailed, path);
        if (queue.finish(i) && i >= plan.keepOpen && !pieces[i].file.close())
            return failed(chunk.number, CutResult::WriteFailed, path);
    }
};
}  // namespace

bool writePieceStart(const OsFile& file, uint32_t index, const uint8_t* header) {
    if (!header) return true;
    return index == 1 ? file.writeAt(header, kHeaderSize, 0)
                      : file.writeAt(reinterpret_cast<const uint8_t*>(kPieceMagic), kMagicSize, 0);
}

uint32_t piecesToKeepOpen(uint32_t count, bool volumesFollow) {
    return volumesFollow || osRenamesOpenFiles() ? std::min(count, osFilesToSpare() / 2) : 0;
}

uint64_t cutChunks(const CutPlan& plan) { return ChunkQueue(pieceLengths(plan), kChunkBytes).count(); }

CutResult cutFile(const CutPlan& plan, SetEvents& events, unsigned threads) {
    ChunkQueue queue(pieceLengths(plan), kChunkBytes);
    std::unique_ptr<PieceOut[]> pieces(new PieceOut[plan.paths.size()]);
    std::vector<CutResult> results(threads == 0 || plan.inOrder ? 1 : threads);
    std::vector<uint64_t> failedChunks(results.size(), ~uint64_t{0});
    const bool holed = plan.source->holed();
    runEach(static_cast<unsigned>(results.size()), [&](unsigned run) {
        Cutter cutter{plan, events, queue, pieces.get(), results[run], holed};
        ChunkQueue::Chunk chunk;
        while (queue.take(chunk)) {
            if (events.stopRequested()) {
                cutter.failed(chunk.number, CutResult::Stopped, plan.paths[chunk.item], FileStatus());
                continue;
            }
            cutter.cut(chunk);
        }
        failedChunks[run] = cutter.failedChunk;
    });
    CutResult all;
    for (size_t i = 0; i < plan.paths.size(); i++) {
        if (!pieces[i].made) continue;
        all.made.push_back(plan.paths[i]);
        const bool open = i < plan.keepOpen && pieces[i].file.valid();
        all.open.push_back(open ? std::make_shared<OsFile>(std::move(pieces[i].file)) : nullptr);
    }
    size_t earliest = results.size();
    for (size_t run = 0; run < results.size(); run++) {
        all.checksum += results[run].checksum;
        const bool failed = results[run].what != CutResult::Done;
        if (failed && (earliest == results.size() || failedChunks[run] < failedChunks[earliest])) earliest = run;
    }
    if (earliest < results.size()) {
        all.what = results[earliest].what;
        all.path = results[earliest].path;
        all.error = results[earliest].error;
    }
    return all;
}
