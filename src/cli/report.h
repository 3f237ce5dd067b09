// Shared pieces of the info and verify reports: JSON text, number lists and the set's kind in words.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "set/pieceset.h"

// A JSON string literal; text that is not UTF-8 keeps its bytes as \u00XX escapes.
std::string jsonString(const std::string& text);
// "3,000,000"
std::string groupedNumber(uint64_t value);
// "1-3, 5, 7-9"; empty for an empty list.
std::string indexRanges(const std::vector<uint32_t>& indices);
// "[1,2,3]"
std::string jsonNumbers(const std::vector<uint32_t>& indices);
// "header", "other-version" or "raw" for JSON; a phrase in the user's language for people.
const char* formatWord(SetFormat format);
std::string formatPhrase(const PieceSet& set);
std::vector<uint32_t> presentPieces(const PieceSet& set);
// The problems of the pieces as JSON objects: [{"piece":2,"problem":"missing"}, …]
std::string jsonProblems(const PieceSet& set);
// The join's note when the name it writes (localFileName: before it is fitted to this system's length) is not the
// stored one, with why; nothing when they are the same.
void reportStoredNameChange(const std::string& stored, const std::string& written);
