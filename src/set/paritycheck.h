// Checks the files of a volume set as they lie in its folder: whole, damaged (and which slices are still sound)
// or missing, and whether the recovery slices there are enough to rebuild what is lost.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "set/events.h"
#include "set/parityformat.h"

struct FileCheck {
    enum State { Whole, Damaged, Missing } state = Missing;
    std::string path;         // in the folder; empty for a name that is no plain file name (never read or written)
    std::vector<bool> sound;  // by slice: found at its place with its checksums
    uint32_t lostSlices() const;
};

struct ParityCheck {
    std::vector<FileCheck> files;  // as the set's files
    uint32_t lost = 0;             // slices to rebuild
    uint32_t blocks = 0;           // recovery slices there
    bool whole() const { return lost == 0; }
    bool repairable() const { return lost <= blocks; }
};

// One name of a file in the folder itself: no folder part, not "." or "..", no control character.
bool plainFileName(const std::string& name);

// Reads every file of the set (the threads sharing them); events.advance counts the bytes read.
ParityCheck checkParitySet(const ParitySet& set, const std::string& folder, SetEvents& events, unsigned threads);
