// The Windows program's narrow text and the system's UTF-16. Narrow text is code page 936, in which the program's
// own texts are written, with a four-byte form for each character that code page lacks, so that every name the
// system gives comes back whole.
#pragma once
#include <string>

// Never fails: a byte that is no character of code page 936 becomes U+FFFD.
std::wstring osWideText(const char* narrow);
std::wstring osWideText(const std::string& narrow);
std::string osNarrowText(const wchar_t* wide);
// Into a buffer of size bytes, cut on a character's edge when it does not fit.
void osCopyNarrow(const wchar_t* wide, char* out, size_t size);
// The system's form of a path: UTF-16, with the \\?\ prefix once it is too long for the plain form.
std::wstring osSystemPath(const std::string& path);
