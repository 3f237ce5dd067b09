// The join's one data pass: a set's file rebuilt under a name of its own, checked, and given its name only when
// whole and matching its checksum.
#pragma once
#include <cstdint>
#include <string>

#include "set/checksum.h"
#include "set/events.h"
#include "set/outputs.h"
#include "set/pieceset.h"

struct RebuildRequest {
    std::string path;               // the file to rebuild (in outputs' folder); empty: onto stream
    const OsFile* stream = nullptr;  // standard output, written in order
    bool decipher = false;
    CipherKey key{};
    bool check = false;              // the data's sum is compared with the one the set records
    unsigned mode = 0666;
    unsigned threads = 1;
};

struct RebuildResult {
    enum What { Done, ChecksumMismatch, CreateFailed, WriteFailed, ReadFailed, Misfit, Stopped } what = Done;
    std::string path;       // where the file now is: its name, or the name that says its checksum failed
    uint32_t found = 0;     // the data's checksum
    uint32_t failedPiece = 0;
    FileStatus error;
};

// The name a rebuilt file whose checksum failed is kept under: "report (CRC失败).doc".
std::string checksumFailedPath(const std::string& path);

// Rebuilds the file into outputs (whose folder exists), replacing a file at request.path only once the new one
// is whole. A set with header gets its times and attributes back; a checksum mismatch keeps the data under
// checksumFailedPath, without them. Any other failure leaves nothing under either name.
RebuildResult rebuildFile(PieceSet& set, const RebuildRequest& request, OutputFiles& outputs, SetEvents& events);
