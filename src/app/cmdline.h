// The command-line tokenizer, the number parser of the size switch and the value of the recovery switch.
#pragma once
#include <cstdint>

enum : int {
    tokenFound = 1,
    tokenMissing = 2,
    quotesUnbalanced = 3,
    tokenEmpty = 4,
    // The token does not fit a 600-byte buffer; it is never cut, so its switch is not applied.
    tokenTooLong = 5,
};

// Token n (0 is the program) of the process command line into out (600 bytes). On POSIX every argument
// is one token as it is; Windows tokenizes its one command line.
int commandLineToken(uint32_t n, char* out);
// The first three characters of token n, even of one too long for a buffer; false when there is none.
bool commandLineTokenHead(uint32_t n, char* out);
int commandLineTokenOf(const char* commandLine, uint32_t n, char* out);
uint32_t decimalToNumber(const char* text);
// The value of the recovery switch: a count of volumes, 0 to 32768, or a share of the pieces, 1% to 100%. False
// for anything else, the two left as they were.
bool parseRecoverySwitch(const char* text, uint32_t* count, uint32_t* percent);
