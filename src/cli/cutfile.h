// Cuts a regular file into the pieces of a set, its chunks shared among as many threads as the caller gives.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "cli/console.h"

struct CutPlan {
    int source = -1;          // the open file, read at explicit offsets so that threads can share it
    uint64_t size = 0;
    uint64_t pieceBytes = 0;  // data bytes of each piece but the last
    std::vector<std::string> paths;  // of pieces 1, 2, …
    bool force = false;       // a name in the way is replaced
    unsigned mode = 0666;     // the pieces' permissions, less the umask
    const uint8_t* header = nullptr;  // written at the start of piece 1 (and the mark before the others); none: raw
    bool checksum = false;
    bool key = false;         // the expanded key in the job record scrambles the start of each piece's data
    bool kernelCopy = false;  // no byte is looked at or changed: the kernel may move the data
};

struct CutResult {
    enum What { Done, CreateFailed, WriteFailed, ReadFailed } what = Done;
    std::string path;  // the file that failed
    int error = 0;
    uint32_t checksum = 0;
    std::vector<std::string> made;  // files created, even when the cut failed
};

// How many chunks the cut is shared out in: more threads than this would have nothing to do.
uint64_t cutChunks(const CutPlan& plan);
// On a failure every chunk before it has been cut, as on one thread, and the earliest failure is reported; made
// lists, in piece order, every file created (a piece after the failure may have been begun meanwhile).
CutResult cutFile(const CutPlan& plan, Progress& progress, unsigned threads);

// What a piece begins with: the header in piece 1, the piece mark in the others (nothing without a header).
bool writePieceStart(int fd, uint32_t index, const uint8_t* header);
