// The job record's side of the piece set format: the first-piece header built from and read into JobState.
#pragma once
#include <cstdint>

#include "set/format.h"

// Builds the 652 header bytes from the job record and the settings (times and attributes as they stand).
void buildFirstPieceHeader(uint8_t* header);
// Reads the header fields after the magic from bytes (at least kHeaderSize) into the job record, the texts as
// their fields hold them and their UTF-8 copies beside them.
void readFirstPieceHeader(const uint8_t* header);
