// Reads a set's data piece by piece, deciphered in memory and summed, for join and verify.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "set/checksum.h"
#include "set/events.h"
#include "set/pieceset.h"

enum class PassResult { Done, ReadFailed, SinkFailed, Misfit, Stopped };

struct DataPass {
    bool decipher = false;  // the key is XORed back over each piece's start
    CipherKey key{};
    bool sum = false;
    // Holes of the pieces (outside the key's span) are not read: sink gets them as null bytes.
    bool skipHoles = false;
    uint32_t checksum = 0;
    uint64_t total = 0;
    uint32_t failedPiece = 0;  // the piece being read when the pass failed
    FileStatus error;          // why
};

// Takes a stretch of the data and its place in the rebuilt file (bytes null: that many zeros, a hole of its
// piece when the pass skips holes); false stops the pass (the reason left in osLastFileError).
using DataSink = std::function<bool(const uint8_t* bytes, size_t count, uint64_t at)>;

// How many chunks readSetData cuts the set's data into: more threads than this would have nothing to do.
uint64_t dataChunks(const PieceSet& set);

// Hands every stretch of data to sink. With one thread the stretches come in order; with more, each thread takes
// the next chunk when it is free and sink is called from each thread (it must be safe for that, as a positional
// write is). A piece's held file is closed once all its data has been read. A piece not there when it is reached
// is asked for (events.pieceReady) on one thread; one that then cannot belong to the set stops the pass (Misfit).
// On a failure, every chunk before it has been handed on, as on one thread, and the earliest failure is reported.
PassResult readSetData(PieceSet& set, DataPass& pass, SetEvents& events, const DataSink& sink, unsigned threads = 1);
