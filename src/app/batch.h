// Batch mode: one split or join from the command line, its result as the exit code.
#pragma once
#include <cstdint>

uint32_t runBatchMode();
