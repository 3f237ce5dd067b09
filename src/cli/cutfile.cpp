// The pieces of a regular file: holes of a sparse source stay holes, the key and the checksum are applied on the
// way, and chunks of the pieces are cut on as many threads as the caller gives (each thread takes the next chunk,
// so two large pieces or one are shared as evenly as many small ones).
#include "cli/cutfile.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <mutex>

#include "cli/fileio.h"
#include "cli/interrupt.h"
#include "cli/workers.h"
#include "engine/checksum.h"
#include "engine/jobstate.h"
#include "engine/pieceformat.h"

namespace {
// A piece's file: made, with its start, by the first thread to reach one of its chunks; closed by the last.
struct PieceOut {
    std::mutex mutex;
    bool tried = false;
    bool made = false;
    CutResult::What failure = CutResult::Done;
    int error = 0;
    Descriptor file;
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
    Progress& progress;
    ChunkQueue& queue;
    PieceOut* pieces;
    CutResult& result;  // this thread's share of the checksum and its earliest failure
    uint64_t failedChunk = ~uint64_t{0};
    CopyBuffer buffer;

    void failed(uint64_t chunk, CutResult::What what, const std::string& path) {
        if (chunk < failedChunk) {
            failedChunk = chunk;
            result.what = what;
            result.path = path;
            result.error = errno;
        }
        queue.failed(chunk);
    }

    // The piece's descriptor, the piece made first if no thread has tried yet; -1 (errno set) if it failed.
    int pieceFile(size_t i, CutResult::What& failure) {
        PieceOut& out = pieces[i];
        std::lock_guard<std::mutex> hold(out.mutex);
        if (!out.tried) {
            out.tried = true;
            out.file = createOutput(plan.paths[i], plan.force, plan.mode);
            if (!out.file.valid()) {
                out.failure = CutResult::CreateFailed;
                out.error = errno;
            } else {
                out.made = true;
                if (!writePieceStart(out.file.get(), static_cast<uint32_t>(i + 1), plan.header)) {
                    out.failure = CutResult::WriteFailed;
                    out.error = errno;
                }
            }
        }
        failure = out.failure;
        errno = out.error;
        return out.failure == CutResult::Done ? out.file.get() : -1;
    }

    void cut(const ChunkQueue::Chunk& chunk) {
        const size_t i = chunk.item;
        const std::string& path = plan.paths[i];
        CutResult::What failure;
        const int piece = pieceFile(i, failure);
        if (piece < 0) return failed(chunk.number, failure, path);
        const uint64_t start = !plan.header ? 0 : i == 0 ? kHeaderSize : kMagicSize;
        // Bytes of each piece's data the key covers.
        const uint64_t span = plan.key && plan.pieceBytes >= 1024 ? plan.pieceBytes / 1024 - 1 : 0;
        const uint64_t end = chunk.offset + chunk.bytes;
        uint64_t inPiece = chunk.offset, offset = i * plan.pieceBytes + chunk.offset;
        bool endsInHole = false;
        while (inPiece < end) {
            uint64_t limit = end - inPiece;
            if (inPiece < span) limit = std::min(limit, span - inPiece);  // the key's range apart
            Extent extent = extentAt(plan.source, offset, limit);
            size_t count = static_cast<size_t>(extent.length);
            const int64_t at = static_cast<int64_t>(start + inPiece);
            // A hole of a sparse source stays a hole in the piece; not where the key turns zeros into data.
            endsInHole = extent.hole && inPiece >= span;
            if (endsInHole) {
                // Nothing is written there.
            } else if (plan.kernelCopy) {
                // The kernel's copy reports its progress itself.
                CopyResult copied = copyBytes(plan.source, static_cast<int64_t>(offset), piece, count, buffer.data(),
                                              kCopyBufferSize, Progress::advanceBy, &progress, at);
                if (copied == CopyResult::WriteFailed) return failed(chunk.number, CutResult::WriteFailed, path);
                if (copied != CopyResult::Done) return failed(chunk.number, CutResult::ReadFailed, path);
            } else {
                if (readFullAt(plan.source, buffer.data(), count, static_cast<int64_t>(offset)) !=
                    static_cast<ssize_t>(count))
                    return failed(chunk.number, CutResult::ReadFailed, path);
                const uint32_t bytes = static_cast<uint32_t>(count);
                if (plan.checksum) result.checksum = addToChecksum(result.checksum, offset, buffer.data(), bytes);
                if (inPiece < span)
                    cipherBytes(buffer.data(), static_cast<uint32_t>(std::min<uint64_t>(bytes, span - inPiece)),
                                inPiece);
                if (!writeAll(piece, buffer.data(), count, at))
                    return failed(chunk.number, CutResult::WriteFailed, path);
            }
            inPiece += count;
            offset += count;
            if (endsInHole || !plan.kernelCopy) progress.advance(count);
        }
        // A piece that ends in a hole gets its length all the same.
        if (chunk.last && endsInHole && ftruncate(piece, static_cast<off_t>(start + end)) != 0)
            return failed(chunk.number, CutResult::WriteFailed, path);
        if (queue.finish(i) && !pieces[i].file.close()) return failed(chunk.number, CutResult::WriteFailed, path);
    }
};
}  // namespace

bool writePieceStart(int fd, uint32_t index, const uint8_t* header) {
    if (!header) return true;
    return index == 1 ? writeAll(fd, header, kHeaderSize)
                      : writeAll(fd, reinterpret_cast<const uint8_t*>(kPieceMagic), kMagicSize);
}

uint64_t cutChunks(const CutPlan& plan) {
    return ChunkQueue(pieceLengths(plan), kCopyBufferSize).count();
}

CutResult cutFile(const CutPlan& plan, Progress& progress, unsigned threads) {
    ChunkQueue queue(pieceLengths(plan), kCopyBufferSize);
    std::unique_ptr<PieceOut[]> pieces(new PieceOut[plan.paths.size()]);
    std::vector<CutResult> results(threads == 0 ? 1 : threads);
    std::vector<uint64_t> failedChunks(results.size(), ~uint64_t{0});
    runEach(static_cast<unsigned>(results.size()), [&](unsigned run) {
        Cutter cutter{plan, progress, queue, pieces.get(), results[run], ~uint64_t{0}, {}};
        ChunkQueue::Chunk chunk;
        while (!stopRequested() && queue.take(chunk)) cutter.cut(chunk);
        failedChunks[run] = cutter.failedChunk;
    });
    CutResult all;
    for (size_t i = 0; i < plan.paths.size(); i++)
        if (pieces[i].made) all.made.push_back(plan.paths[i]);
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
