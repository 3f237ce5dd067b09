// Arithmetic in GF(2^16) with the generator 0x1100B, as recovery volumes use it for Reed-Solomon coding.
#pragma once
#include <cstddef>
#include <cstdint>

uint16_t gfMultiply(uint16_t a, uint16_t b);
uint16_t gfPower(uint16_t base, uint32_t exponent);
uint16_t gfInverse(uint16_t a);  // a not 0
// The constant of input slice n (from 0): the n-th power of two whose exponent is no multiple of 3, 5, 17 or 257
// (those have order 65535): 2, 4, 16, 128, 256, 2048, …
uint16_t inputSliceConstant(uint32_t n);
// out += factor × in, word by word (16-bit little-endian words; bytes even), by the widest vector code this
// processor has (asked once, at run time); every path gives the same bytes.
void gfMultiplyAdd(uint16_t factor, const uint8_t* in, uint8_t* out, size_t bytes);

// The paths gfMultiplyAdd chooses from, for the tests that hold each to the portable one.
enum class GfPath { Portable, Ssse3, Avx2, Avx512 };  // Avx512: with GFNI
bool gfPathAvailable(GfPath path);
void gfMultiplyAddWith(GfPath path, uint16_t factor, const uint8_t* in, uint8_t* out, size_t bytes);
