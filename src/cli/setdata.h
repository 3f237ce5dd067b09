// Reads a set's data piece by piece, deciphered in memory and summed, for join and verify.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "cli/console.h"
#include "cli/pieceset.h"

// Makes key the job's cipher key, expanded as Tarn.exe expands it (an empty key is the default key).
void useKey(const std::string& key);

enum class PassResult { Done, ReadFailed, SinkFailed };

struct DataPass {
    bool decipher = false;  // the key (expanded in the job record) is XORed back over each piece's start
    bool sum = false;
    // A chunk that is all a hole of its piece (outside the key's span) is not read: sink gets it as null bytes.
    bool skipHoles = false;
    uint32_t checksum = 0;
    uint64_t total = 0;
    uint32_t failedPiece = 0;  // the piece being read when the pass failed
    int error = 0;             // errno of that failure
};

// Takes a chunk of the data and its place in the rebuilt file (bytes null: that many zeros, a hole of its piece
// when the pass skips holes); false (errno set) stops the pass.
using DataSink = std::function<bool(const uint8_t* bytes, size_t count, uint64_t at)>;

// How many chunks readSetData cuts the set's data into: more threads than this would have nothing to do.
uint64_t dataChunks(const PieceSet& set);

// Hands every chunk of data to sink. With one thread the chunks come in order; with more, each thread takes the
// next chunk when it is free and sink is called from each thread (it must be safe for that, as a positional write
// is). A piece's held descriptor is closed once all its data has been read. On a failure, every chunk before it
// has been handed on, as on one thread, and the earliest failure is the one reported.
PassResult readSetData(PieceSet& set, DataPass& pass, Progress& progress, const DataSink& sink,
                       unsigned threads = 1);
