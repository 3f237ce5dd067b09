// Zero-terminated byte-text, path and number helpers with the exact edge behaviour the callers rely on.
#pragma once
#include <cstdint>

// Paths and texts live in fixed buffers of this size (599 bytes and the terminator).
constexpr int kTextBufferSize = 600;

// The platform's path separator: backslash on Windows, slash elsewhere.
extern const char kPathSeparator;
// The same separator as a one-character text, for appending.
extern const char kPathSeparatorText[2];

uint32_t textLength(const char* text);
void copyText(const char* source, char* destination);
char* appendText(char* destination, const char* source);
void midText(const char* source, char* destination, uint32_t start, uint32_t count);
void rightText(const char* source, char* destination, uint32_t n);
void reverseText(const char* source, char* destination);
char* lowerAscii(char* text);
int32_t findText(int32_t start, const char* text, const char* pattern);
void replaceFirst(char* text, const char* pattern, const char* replacement);
void uintToText(uint32_t value, char* destination);
void intToText(int32_t value, char* destination);
char* zeroPadNumber(int32_t value, char* destination, uint32_t width);
// Writes into a caller buffer of at least 32 bytes and returns it.
char* formatGrouped(uint64_t value, char* destination);
void fileNameOfPath(const char* path, char* destination);
void stripExtension(char* text);
void folderOfPath(char* path);
void folderOfPathTrimmed(char* path);

// Copies at most kTextBufferSize-1 bytes and always terminates; for texts from outside (files, windows).
void copyTextBounded(const char* source, char* destination, uint32_t destinationSize);
// Appends as much of source as still fits a buffer of destinationSize bytes: nothing is written past it.
void appendTextBounded(char* destination, const char* source, uint32_t destinationSize);

// The one way a path is put together: out = first + second + third, whole, in a 600-byte buffer.
// Returns false, with out empty, when the result would not fit; a path is never cut.
bool buildPath(char* out, const char* first, const char* second, const char* third = "");
