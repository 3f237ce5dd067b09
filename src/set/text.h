// The text a set stores, between this system (UTF-8) and the code page 936 of the Windows that Tarn.exe runs on.
#pragma once
#include <cstddef>
#include <string>

bool isUtf8(const std::string& text);
// Stored text as this system shows it: text that is not UTF-8 came from Windows and is read as code page 936.
std::string localText(const std::string& stored);
// Stored text as a terminal may safely show it on one line: as localText, with control characters written as
// escapes (\n, \x1b, \u009b), so that a hostile header cannot move the cursor, retitle the window or fake a line.
std::string shownText(const std::string& stored);
// The stored name converted as above, then made safe inside the output folder; on this system's names (not
// Windows') also a name a terminal, a listing and JSON show alike: C1 controls and bytes that are no UTF-8
// character become '_'.
std::string localFileName(const std::string& stored);
// Windows counts a name's length in characters, Linux in bytes: 140 Chinese characters make a legal name there
// and 424 bytes of UTF-8 here. A longer name is cut on a character boundary to the limit, its extension kept.
constexpr size_t kLongestFileName = 255;
std::string fittedFileName(const std::string& name);
// What a stored name becomes on disk, the one rule the join writes by and info and its JSON report: localFileName,
// fitted to the length this system takes.
std::string diskFileName(const std::string& stored);
// Text to store: UTF-8 that code page 936 can hold is stored in it, so that Tarn.exe shows and creates the same
// name; anything else is stored as it is.
std::string storedText(const std::string& local);
// A text as a header keeps it: where code page 936 holds it, the field as storedText gives it and no copy;
// else that code page's form with each character it lacks as '_' (Windows takes it in a name, where '?' would
// be refused), and the text itself as the copy. Where both do not fit in a field, that form is cut on a
// character, its extension kept, to make room for the whole copy; a copy of more than 288 bytes leaves no room
// (textCopyFits says so): the header then holds the field alone.
struct HeaderText {
    std::string field;
    std::string copy;
};
HeaderText headerTextFor(const std::string& local);
// The text a header gives back, stored as storedText would have it: its copy where this system's names can
// hold it, else the field.
std::string headerText(const std::string& field, const std::string& copy);
// The stem of the pieces of a file of this (local) name, as this system names them: the stored stem of
// pieceStemOf, taken from the name in code page 936 (a character that code page lacks counts as X), shown in
// this system's text ("报告书.doc" gives 报告 everywhere). stem holds at least 16 bytes.
void pieceStemFor(const std::string& name, char* stem);
// The same stem as stored (code page 936), as a script names the pieces.
std::string storedStemFor(const std::string& name);
