// Cuts a regular file into the pieces of a set, its chunks shared among as many threads as the caller gives.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "os/files.h"
#include "set/checksum.h"
#include "set/events.h"

struct CutPlan {
    const OsFile* source = nullptr;  // read at explicit offsets so that threads can share it
    uint64_t size = 0;
    uint64_t pieceBytes = 0;         // data bytes of each piece but the last
    std::vector<std::string> paths;  // where pieces 1, 2, … are written (names of their own until the commit)
    unsigned mode = 0666;            // the pieces' permissions, less the umask
    const uint8_t* header = nullptr; // written at the start of piece 1 (and the mark before the others); none: raw
    bool checksum = false;
    bool enciphered = false;         // the key scrambles the start of each piece's data
    CipherKey key{};
    uint64_t cipherSpan = 0;         // bytes of each piece's data the key covers
    bool kernelCopy = false;         // no byte is looked at or changed: the system may move the data
    bool inOrder = false;            // piece by piece on one thread, each announced first (removable media)
    uint32_t keepOpen = 0;           // pieces 1 to keepOpen stay open, for the caller to read and rename
};

struct CutResult {
    enum What { Done, CreateFailed, WriteFailed, ReadFailed, Stopped } what = Done;
    std::string path;  // the file that failed
    FileStatus error;
    uint32_t checksum = 0;
    std::vector<std::string> made;  // files created, even when the cut failed
    std::vector<std::shared_ptr<OsFile>> open;  // by made: the file still open, or null
};

// How many of count pieces a cut keeps open: where recovery volumes will read them or the commit rename them
// through their handles, half the files this process may still open (reading the rest by name still can).
uint32_t piecesToKeepOpen(uint32_t count, bool volumesFollow);
// How many chunks the cut is shared out in: more threads than this would have nothing to do.
uint64_t cutChunks(const CutPlan& plan);
// On a failure every chunk before it has been cut, as on one thread, and the earliest failure is reported; made
// lists, in piece order, every file created (a piece after the failure may have been begun meanwhile).
CutResult cutFile(const CutPlan& plan, SetEvents& events, unsigned threads);

// What a piece begins with: the header in piece 1, the piece mark in the others (nothing without a header).
bool writePieceStart(const OsFile& file, uint32_t index, const uint8_t* header);
