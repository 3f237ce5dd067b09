// Recovery volumes in the PAR 2.0 format for the files of a set: Reed-Solomon over GF(2^16), so that any files
// lost or damaged, up to the volumes' slices, can be rebuilt by Tarn or any PAR 2.0 client.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "os/files.h"
#include "set/events.h"
#include "set/outputs.h"

struct ProtectedFile {
    std::string reading;  // where its bytes are now (a name of its own until the commit)
    std::string name;     // its name in the set's folder, as the volumes record it (UTF-8)
    uint64_t length = 0;  // as the plan found it
    // Opened by the plan and held for the volumes (under Wine every open costs round trips to its server); closed
    // when the volumes are written, so that the files can be renamed or removed.
    std::shared_ptr<OsFile> opened;
    bool borrowed = false;  // opened is its owner's, which renames the file through it: left open
};

struct RecoveryPlan {
    std::string folder;      // where the volumes go: the set's folder
    std::string baseName;    // NAME.par2 and NAME.volXX+YY.par2
    std::vector<ProtectedFile> files;
    uint32_t blocks = 0;     // recovery slices, one a volume
    uint64_t sliceSize = 0;  // a multiple of 4
};

struct RecoveryResult {
    enum What { Done, ReadFailed, WriteFailed, Stopped } what = Done;
    std::string path;
    FileStatus error;
    std::vector<std::string> volumes;  // the names written, index file first
};

// The slice size that makes each of these files one slice (the largest, rounded up to 4 bytes): a volume of one
// slice then stands in for any one lost piece and fits the medium a piece fits.
uint64_t sliceSizeFor(const std::vector<uint64_t>& lengths);

// Writes the index file and one volume a recovery slice into outputs (registered there, named on its commit).
// Memory stays within a few tens of MiB whatever the slice size: the slices are worked on a stretch at a time.
RecoveryResult writeRecoveryVolumes(const RecoveryPlan& plan, OutputFiles& outputs, SetEvents& events,
                                    unsigned threads);
