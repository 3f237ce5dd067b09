// The one pass of Reed-Solomon coding: every output slice is a sum of the input slices, each multiplied by its
// factor in GF(2^16). Making recovery slices and rebuilding lost slices are both this pass, with other factors.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "os/files.h"
#include "set/events.h"

struct SliceInput {
    const OsFile* file = nullptr;
    uint64_t start = 0;   // where the slice begins in the file
    uint64_t length = 0;  // its bytes there; the rest of the slice is zeros
    std::string path;     // for the report of a failed read
};

struct SliceOutput {
    const OsFile* file = nullptr;  // a new file, or one of zeros where written: zeros are not written again
    uint64_t start = 0;  // where its bytes go
    uint64_t keep = 0;   // how many of the slice's bytes are written (the rest are past its file's end)
    std::string path;
};

struct SlicePass {
    uint64_t sliceSize = 0;
    std::vector<SliceInput> inputs;
    std::vector<SliceOutput> outputs;
    std::function<uint16_t(size_t output, size_t input)> factor;
    // Each input's stretch (have bytes of the file, then zeros up to count), in order, each input always on the
    // same thread (different inputs on different ones).
    std::function<void(size_t input, const uint8_t* bytes, size_t have, size_t count)> seen;
    // Each output's stretch once complete, in order for that output, on the thread that owns it.
    std::function<void(size_t output, const uint8_t* bytes, size_t count)> made;
};

struct SlicePassResult {
    enum What { Done, ReadFailed, WriteFailed, Stopped } what = Done;
    std::string path;
    FileStatus error;
};

// Runs the pass on up to threads threads, each owning a share of the outputs and reading every input stretch
// itself (the page cache serves the second reader). Memory: about 2 MiB of stretches, whatever the slice size.
SlicePassResult runSlicePass(const SlicePass& pass, SetEvents& events, unsigned threads);
