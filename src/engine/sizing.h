// Piece sizing: presets, count from size, size from count, and the 64-by-32 division they share.
#pragma once
#include <cstdint>

#include "engine/window.h"

constexpr uint32_t kPresetCount = 18;
extern const uint32_t kPresetTable[kPresetCount + 1];  // KiB by entry; entry 0 has none

uint32_t presetSize(WindowRef window, uint32_t entry);
void countFromSize(WindowRef window);
uint32_t sizeFromCount(WindowRef window);
uint32_t divide64by32(uint32_t low, uint32_t high, uint32_t divisor);

// Brings pieceCount to the number of pieces pieceSizeKB really gives (1..9999), growing the size if needed.
// Returns false when no size can hold the file in four-digit piece names.
bool settlePieceCount();
