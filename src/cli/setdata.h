// Reads a set's data piece by piece, deciphered in memory and summed, for join and verify.
#pragma once
#include <cstdint>
#include <functional>

#include "cli/console.h"
#include "cli/pieceset.h"

#include <string>

// Makes key the job's cipher key, expanded as Tarn.exe expands it (an empty key is the default key).
void useKey(const std::string& key);

enum class PassResult { Done, ReadFailed, SinkFailed };

struct DataPass {
    bool decipher = false;  // the key (expanded in the job record) is XORed back over each piece's start
    bool sum = false;
    uint32_t checksum = 0;
    uint64_t total = 0;
    uint32_t failedPiece = 0;  // the piece being read when a read failed
};

// Hands every chunk of data, in order, to sink (false from sink stops the pass).
PassResult readSetData(const PieceSet& set, DataPass& pass, Progress& progress,
                       const std::function<bool(const uint8_t*, size_t)>& sink);
