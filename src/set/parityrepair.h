// Rebuilds the lost slices of a volume set from its sound slices and its recovery slices, and writes the files
// asked for, byte for byte, each checked by its digest before it is handed back.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "os/files.h"
#include "set/events.h"
#include "set/paritycheck.h"
#include "set/parityformat.h"

struct RebuildTarget {
    size_t file = 0;      // of the set's files
    std::string writing;  // a fresh name to create it under
    std::string shown;    // what a failure to write it calls it
};

struct ParityRepair {
    enum What { Done, TooMuchDamage, Unsolvable, ReadFailed, WriteFailed, Mismatch, Stopped } what = Done;
    std::string path;
    FileStatus error;
};

// Every lost slice is computed (those of a file not asked for are needed all the same, but never written).
ParityRepair rebuildFromParity(const ParitySet& set, const ParityCheck& check, const std::vector<RebuildTarget>& targets,
                               SetEvents& events, unsigned threads);

// The first bytes of one file of the set that is not whole, rebuilt in memory (the header of a lost first piece,
// say): only the first bytes of every slice are read. Empty when they cannot be rebuilt. Unchecked: the file's
// digest covers it whole, so the caller must take the bytes for what they claim to be.
std::vector<uint8_t> rebuildStartOf(const ParitySet& set, const ParityCheck& check, size_t file, uint64_t bytes,
                                    SetEvents& events);

// The rows of the recovery slices to solve with for the lost slices (by their input constants), and the inverse
// of their matrix, row by row: false when no choice of them can be solved.
bool chooseRecoveryRows(const std::vector<uint16_t>& lostConstants, const std::vector<uint32_t>& exponents,
                        std::vector<size_t>& rows, std::vector<uint16_t>& inverse);
