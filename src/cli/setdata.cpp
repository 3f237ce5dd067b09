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
struct Run {
    size_t begin = 0, end = 0;
    uint64_t at = 0;  // where the run's data begins in the rebuilt file
    PassResult result = PassResult::Done;
    uint32_t checksum = 0;  // the run's share: the checksum is a sum, so shares add up
    uint64_t total = 0;
    uint32_t failedPiece = 0;
    int error = 0;
};

void readRun(PieceSet& set, const DataPass& pass, unsigned number, Run& run, Progress& progress,
             const DataSink& sink, RunStop& stop) {
    CopyBuffer buffer;
    uint64_t at = run.at;
    auto failed = [&](PassResult result, uint32_t piece) {
        run.result = result;
        run.failedPiece = piece;
        run.error = errno;
        stop.failed(number);
    };
    for (size_t i = run.begin; i < run.end && !stop.stops(number); i++) {
        PieceState& piece = set.pieces[i];
        Descriptor opened;
        const int file = piece.readable(opened);
        if (file < 0 || piece.length < 0) return failed(PassResult::ReadFailed, piece.index);
        const uint64_t offset = set.dataOffset(piece.index), data = set.dataBytes(piece);
        uint64_t inPiece = 0;
        while (inPiece < data && !stop.stops(number)) {
            size_t count = static_cast<size_t>(std::min<uint64_t>(kCopyBufferSize, data - inPiece));
            ssize_t got = readFullAt(file, buffer.data(), count, static_cast<int64_t>(offset + inPiece));
            if (got != static_cast<ssize_t>(count)) {
                if (got >= 0) errno = EIO;  // shorter than when it was measured
                return failed(PassResult::ReadFailed, piece.index);
            }
            if (pass.decipher && inPiece < set.cipherSpan)
                cipherBytes(buffer.data(), static_cast<uint32_t>(std::min<uint64_t>(count, set.cipherSpan - inPiece)),
                            inPiece);
            if (pass.sum) run.checksum = addToChecksum(run.checksum, at, buffer.data(), static_cast<uint32_t>(count));
            if (!sink(buffer.data(), count, at)) return failed(PassResult::SinkFailed, piece.index);
            inPiece += count;
            at += count;
            run.total += count;
            progress.advance(count);
        }
        piece.held.close();
    }
}
}  // namespace

PassResult readSetData(PieceSet& set, DataPass& pass, Progress& progress, const DataSink& sink,
                       unsigned threads) {
    std::vector<uint64_t> weights;
    for (const PieceState& piece : set.pieces) weights.push_back(set.dataBytes(piece));
    std::vector<size_t> bounds = runBounds(weights, threads == 0 ? 1 : threads);
    std::vector<Run> runs(bounds.size() - 1);
    uint64_t at = 0;
    for (size_t r = 0; r < runs.size(); r++) {
        runs[r].begin = bounds[r];
        runs[r].end = bounds[r + 1];
        runs[r].at = at;
        for (size_t i = bounds[r]; i < bounds[r + 1]; i++) at += weights[i];
    }
    RunStop stop;
    runEach(static_cast<unsigned>(runs.size()),
            [&](unsigned r) { readRun(set, pass, r, runs[r], progress, sink, stop); });
    pass.failedPiece = 0;
    pass.error = 0;
    for (const Run& run : runs) {
        pass.checksum += run.checksum;
        pass.total += run.total;
    }
    // The earliest run's failure is reported (later runs stopped, earlier ones finished or failed).
    for (const Run& run : runs) {
        if (run.result == PassResult::Done) continue;
        pass.failedPiece = run.failedPiece;
        pass.error = run.error;
        return run.result;
    }
    return PassResult::Done;
}
