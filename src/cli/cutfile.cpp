// The pieces of a regular file: holes of a sparse source stay holes, the key and the checksum are applied on the
// way, and runs of pieces are cut at once (each piece is a file of its own, so nothing is shared but the source).
#include "cli/cutfile.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "cli/fileio.h"
#include "cli/workers.h"
#include "engine/checksum.h"
#include "engine/jobstate.h"
#include "engine/pieceformat.h"

namespace {
struct Cutter {
    const CutPlan& plan;
    Progress& progress;
    RunStop& stop;
    unsigned run;
    CutResult& result;
    CopyBuffer buffer;

    bool failed(CutResult::What what, const std::string& path) {
        result.what = what;
        result.path = path;
        result.error = errno;
        stop.failed(run);
        return false;
    }

    // Piece index (from 1): its start, then its share of the source from offset.
    bool cut(uint32_t index, uint64_t offset) {
        const std::string& path = plan.paths[index - 1];
        Descriptor piece = createOutput(path, plan.force);
        if (!piece.valid()) return failed(CutResult::CreateFailed, path);
        result.made.push_back(path);
        if (!writePieceStart(piece.get(), index, plan.header)) return failed(CutResult::WriteFailed, path);
        const uint64_t want = std::min(plan.pieceBytes, plan.size - offset);
        // Bytes of each piece's data the key covers.
        const uint64_t span = plan.key && plan.pieceBytes >= 1024 ? plan.pieceBytes / 1024 - 1 : 0;
        uint64_t inPiece = 0;
        bool endsInHole = false;
        while (inPiece < want) {
            if (stop.stops(run)) return false;
            uint64_t limit = std::min<uint64_t>(kCopyBufferSize, want - inPiece);
            if (inPiece < span) limit = std::min(limit, span - inPiece);  // the key's range apart
            Extent extent = extentAt(plan.source, offset, limit);
            size_t count = static_cast<size_t>(extent.length);
            // A hole of a sparse source stays a hole in the piece; not where the key turns zeros into data.
            endsInHole = extent.hole && inPiece >= span;
            if (endsInHole) {
                if (lseek(piece.get(), static_cast<off_t>(count), SEEK_CUR) < 0)
                    return failed(CutResult::WriteFailed, path);
            } else if (plan.kernelCopy) {
                // The kernel's copy reports its progress itself.
                CopyResult copied = copyBytes(plan.source, static_cast<int64_t>(offset), piece.get(), count,
                                              buffer.data(), kCopyBufferSize, Progress::advanceBy, &progress);
                if (copied == CopyResult::WriteFailed) return failed(CutResult::WriteFailed, path);
                if (copied != CopyResult::Done) return failed(CutResult::ReadFailed, path);
            } else {
                if (readFullAt(plan.source, buffer.data(), count, static_cast<int64_t>(offset)) !=
                    static_cast<ssize_t>(count))
                    return failed(CutResult::ReadFailed, path);
                const uint32_t bytes = static_cast<uint32_t>(count);
                if (plan.checksum) result.checksum = addToChecksum(result.checksum, offset, buffer.data(), bytes);
                if (inPiece < span)
                    cipherBytes(buffer.data(), static_cast<uint32_t>(std::min<uint64_t>(bytes, span - inPiece)),
                                inPiece);
                if (!writeAll(piece.get(), buffer.data(), count)) return failed(CutResult::WriteFailed, path);
            }
            inPiece += count;
            offset += count;
            if (endsInHole || !plan.kernelCopy) progress.advance(count);
        }
        // A piece that ends in a hole gets its length all the same.
        off_t end = lseek(piece.get(), 0, SEEK_CUR);
        if (endsInHole && (end < 0 || ftruncate(piece.get(), end) != 0)) return failed(CutResult::WriteFailed, path);
        if (!piece.close()) return failed(CutResult::WriteFailed, path);
        return true;
    }
};
}  // namespace

bool writePieceStart(int fd, uint32_t index, const uint8_t* header) {
    if (!header) return true;
    return index == 1 ? writeAll(fd, header, kHeaderSize)
                      : writeAll(fd, reinterpret_cast<const uint8_t*>(kPieceMagic), kMagicSize);
}

CutResult cutFile(const CutPlan& plan, Progress& progress, unsigned threads) {
    const size_t count = plan.paths.size();
    std::vector<uint64_t> weights(count, plan.pieceBytes);
    std::vector<size_t> bounds = runBounds(weights, threads == 0 ? 1 : threads);
    std::vector<CutResult> results(bounds.size() - 1);
    RunStop stop;
    runEach(static_cast<unsigned>(results.size()), [&](unsigned run) {
        Cutter cutter{plan, progress, stop, run, results[run], {}};
        for (size_t i = bounds[run]; i < bounds[run + 1]; i++)
            if (!cutter.cut(static_cast<uint32_t>(i + 1), i * plan.pieceBytes)) break;
    });
    CutResult all;
    for (CutResult& result : results) {
        all.checksum += result.checksum;
        all.made.insert(all.made.end(), result.made.begin(), result.made.end());
        // The earliest run's failure (later runs stopped, earlier ones finished or failed).
        if (all.what == CutResult::Done && result.what != CutResult::Done) {
            all.what = result.what;
            all.path = result.path;
            all.error = result.error;
        }
    }
    return all;
}
