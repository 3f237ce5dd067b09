// Every process exit code Tarn uses, in one place; two of them differ where exit codes keep only 8 bits.
#pragma once
#include <cstdint>

// A finished job exits with jobResult (0, 1 or 99).
constexpr uint32_t kExitFolderFailure = 3;  // output folder cannot be created (0 would read as success)
constexpr uint32_t kExitNoMemory = 5;       // no transfer buffer
#ifdef _WIN32
constexpr uint32_t kExitWriteFailure = 4194304;   // a piece or the rebuilt file not written in full
constexpr uint32_t kExitSecondInstance = 4194304; // another copy still holds the lock
#else
// POSIX keeps the low 8 bits only: 4194304 would read as 0, success.
constexpr uint32_t kExitWriteFailure = 112;
constexpr uint32_t kExitSecondInstance = 183;
#endif
