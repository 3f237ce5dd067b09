// The one read loop over a set's data that join and verify share.
#include "cli/setdata.h"

#include <unistd.h>

#include <algorithm>
#include <vector>

#include "cli/fileio.h"
#include "engine/checksum.h"
#include "engine/jobstate.h"
#include "text/textops.h"

void useKey(const std::string& key) {
    copyTextBounded(key.c_str(), jobState.keyText, kTextBufferSize);
    expandKey();
}

PassResult readSetData(const PieceSet& set, DataPass& pass, Progress& progress,
                       const std::function<bool(const uint8_t*, size_t)>& sink) {
    std::vector<uint8_t> buffer(kCopyBufferSize);
    for (const PieceState& piece : set.pieces) {
        pass.failedPiece = piece.index;
        Descriptor file = openForReading(piece.path);
        if (!file.valid() || piece.length < 0) return PassResult::ReadFailed;
        uint64_t offset = set.dataOffset(piece.index);
        uint64_t data = static_cast<uint64_t>(piece.length) > offset ? static_cast<uint64_t>(piece.length) - offset : 0;
        if (lseek(file.get(), static_cast<off_t>(offset), SEEK_SET) < 0) return PassResult::ReadFailed;
        uint64_t inPiece = 0;
        while (inPiece < data) {
            size_t count = static_cast<size_t>(std::min<uint64_t>(kCopyBufferSize, data - inPiece));
            if (readFull(file.get(), buffer.data(), count) != static_cast<ssize_t>(count)) return PassResult::ReadFailed;
            if (pass.decipher && inPiece < set.cipherSpan)
                cipherBytes(buffer.data(), static_cast<uint32_t>(std::min<uint64_t>(count, set.cipherSpan - inPiece)),
                            inPiece);
            if (pass.sum) pass.checksum = addToChecksum(pass.checksum, pass.total, buffer.data(), static_cast<uint32_t>(count));
            if (!sink(buffer.data(), count)) return PassResult::SinkFailed;
            inPiece += count;
            pass.total += count;
            progress.advance(count);
        }
    }
    pass.failedPiece = 0;
    return PassResult::Done;
}
