// The job's checksum of a whole file through the transfer buffer, and the job record's key.
#pragma once
#include <cstdint>

#include "os/os.h"
#include "set/checksum.h"

// Sum of the file's little-endian 32-bit words, read through the transfer buffer; 0 when it cannot be opened.
uint32_t fileChecksum(const char* path);
// Repeats jobState.keyText (the default key when empty) to at least 32 bytes, as the header's readers expect.
void expandKey();
