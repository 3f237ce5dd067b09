// Rebuilds a set's file through the shared data pass, into a file of its own that is renamed once whole.
#include "set/rebuild.h"

#include <algorithm>

#include "os/os.h"
#include "set/datapass.h"
#include "text/textops.h"

namespace {
constexpr size_t kCopyBytes = 1 << 20;

RebuildResult failure(RebuildResult::What what, uint32_t piece = 0) {
    RebuildResult result;
    result.what = what;
    result.failedPiece = piece;
    result.error = osLastFileError();
    return result;
}

RebuildResult fromPass(PassResult pass, const DataPass& data) {
    RebuildResult result;
    result.failedPiece = data.failedPiece;
    result.error = data.error;
    switch (pass) {
        case PassResult::Done: break;
        case PassResult::ReadFailed: result.what = RebuildResult::ReadFailed; break;
        case PassResult::SinkFailed: result.what = RebuildResult::WriteFailed; break;
        case PassResult::Misfit: result.what = RebuildResult::Misfit; break;
        case PassResult::Stopped: result.what = RebuildResult::Stopped; break;
    }
    return result;
}

// No byte changes and none needs looking at: the system moves the data, piece after piece.
RebuildResult copyWhole(PieceSet& set, const OsFile& output, SetEvents& events) {
    PageBuffer buffer(kCopyBytes);
    for (PieceState& piece : set.pieces) {
        if (events.stopRequested()) return failure(RebuildResult::Stopped);
        OsFile opened;
        const OsFile& file = piece.readable(opened);
        const CopyResult result =
            file.valid() ? osCopyRange(file, set.dataOffset(piece.index), output, UINT64_MAX, set.dataBytes(piece),
                                       buffer.data(), kCopyBytes,
                                       [](void* e, uint64_t n) { static_cast<SetEvents*>(e)->advance(n); }, &events)
                         : CopyResult::ReadFailed;
        if (result == CopyResult::WriteFailed) return failure(RebuildResult::WriteFailed);
        if (result != CopyResult::Done) return failure(RebuildResult::ReadFailed, piece.index);
        piece.held.close();
    }
    return RebuildResult();
}
}  // namespace

std::string checksumFailedPath(const std::string& path) {
    char name[kTextBufferSize];
    fileNameOfPath(path.c_str(), name);
    const std::string bare = name;
    const size_t dot = bare.rfind('.');
    const bool extension = dot != std::string::npos && dot > 0;
    const std::string marked = extension ? bare.substr(0, dot) + " (CRC失败)" + bare.substr(dot) : bare + " (CRC失败)";
    return path.substr(0, path.size() - bare.size()) + marked;
}

RebuildResult rebuildFile(PieceSet& set, const RebuildRequest& request, OutputFiles& outputs, SetEvents& events) {
    const bool toStream = request.path.empty();
    const bool raw = set.format == SetFormat::Raw;
    DataPass pass;
    pass.decipher = request.decipher;
    pass.key = request.key;
    pass.sum = request.check;
    // The holes of a sparse set's pieces stay holes in the file, as the split kept them.
    pass.skipHoles = !toStream && std::any_of(set.pieces.begin(), set.pieces.end(),
                                              [](const PieceState& piece) { return piece.holed; });
    const unsigned threads = toStream ? 1 : request.threads;
    const bool allThere = set.missing().empty();
    std::string writing;
    OsFile output;
    if (toStream) {
        output = OsFile::adopt(request.stream->native());
    } else {
        writing = outputs.add(request.path);
        output = OsFile::createNew(writing, request.mode);
        if (!output.valid()) return failure(RebuildResult::CreateFailed);
        outputs.created(writing);
    }
    RebuildResult result;
    if (!pass.decipher && !pass.sum && !pass.skipHoles && threads == 1 && allThere) {
        result = copyWhole(set, output, events);
    } else {
        uint64_t total = 0;
        for (const PieceState& piece : set.pieces) total += set.expectedDataBytes(piece);
        // Sized at once, so that the threads fill a file of its final length.
        if (!toStream && pass.skipHoles) output.allowHoles();
        if (!toStream && !output.reserve(total, !pass.skipHoles)) return failure(RebuildResult::WriteFailed);
        const PassResult read = readSetData(
            set, pass, events,
            [&](const uint8_t* bytes, size_t count, uint64_t at) {
                if (bytes == nullptr) return true;  // a hole, left unwritten
                return toStream ? output.writeNext(bytes, count) : output.writeAt(bytes, count, at);
            },
            allThere ? threads : 1);
        result = fromPass(read, pass);
        result.found = pass.checksum;
    }
    if (result.what != RebuildResult::Done) return result;
    if (!output.close()) return failure(RebuildResult::WriteFailed);
    if (toStream) {
        if (request.check && pass.checksum != set.checksum) result.what = RebuildResult::ChecksumMismatch;
        return result;
    }
    if (request.check && pass.checksum != set.checksum) {
        // The data stays for whoever wants to look at it, under a name that never passes for the file.
        result.what = RebuildResult::ChecksumMismatch;
        result.path = checksumFailedPath(request.path);
        outputs.retarget(writing, result.path);
        if (!outputs.commit()) return failure(RebuildResult::WriteFailed);
        return result;
    }
    if (!outputs.commit()) return failure(RebuildResult::WriteFailed);
    result.path = request.path;
    if (!raw) {
        osSetPathTimes(request.path.c_str(), set.created, set.accessed, set.written);
        osApplyAttributesAfterWrite(request.path.c_str(), set.attributes);
    }
    return result;
}
