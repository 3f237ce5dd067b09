// A set on disk as join, info and verify see it: the first piece's header, and every piece with its length.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "os/files.h"

enum class SetFormat { Header, OtherVersion, Raw };

struct PieceState {
    uint32_t index = 0;
    std::string path;
    bool present = false;
    FileStatus error{FileError::NotFound, 0};  // why a piece that is not present could not be opened
    int64_t length = -1;    // bytes on disk
    bool holed = false;     // its blocks cover less than its length: it may hold holes
    int64_t expected = -1;  // the length this piece must have (-1: the set does not say)
    bool marked = true;     // a later piece of a header set begins with the piece mark
    // The piece as it was looked at, kept open when asked so that its data is read from the file that was checked
    // and without opening it again (not kept when the process may not hold that many descriptors).
    OsFile held;
    bool fits() const { return present && marked && (expected < 0 || length == expected); }
    // The file to read the piece's data through: the one held, or one opened into spare (invalid if none).
    const OsFile& readable(OsFile& spare) const;
};

struct PieceSet {
    std::string prefix;  // folder and stem: a piece's path less its four digits and ".trn"
    SetFormat format = SetFormat::Header;
    std::string mark;    // the first 8 bytes of the first piece, printable
    uint32_t count = 0;  // recorded (a set without header: its script's count, or the pieces found in a row)
    bool scripted = false;  // a set without header named by its UnTarn.bat
    std::string storedName;
    std::string description;
    bool descriptionWanted = false;
    uint64_t size = 0;   // recorded (without header: the data found)
    uint32_t checksum = 0;
    uint64_t created = 0, accessed = 0, written = 0;  // FILETIME
    uint32_t attributes = 0;
    uint64_t pieceBytes = 0;   // data bytes of each piece but the last
    uint64_t cipherSpan = 0;   // bytes at the start of each piece's data that a key scrambles
    bool headerConsistent = true;  // count, size and the first piece's length agree
    FileStatus firstError{FileError::NotFound, 0};  // why the first piece could not be opened or read
    std::vector<PieceState> pieces;

    uint32_t dataOffset(uint32_t index) const;
    // The data bytes a piece holds: its length less its header or mark (0 for a piece absent or too short).
    uint64_t dataBytes(const PieceState& piece) const;
    // The data bytes the set says a piece holds (a piece not yet there included), else those it holds.
    uint64_t expectedDataBytes(const PieceState& piece) const;
    // Pieces missing, or present with a length or a start that cannot belong to the set.
    std::vector<uint32_t> missing() const;
    std::vector<uint32_t> misfits() const;
};

// The piece count and file name that the script at path records, when it is the UnTarn.bat written for pieces
// named stem (as the names are on disk; code page 936 is tried too).
bool readSetScript(const std::string& path, const std::string& stem, uint32_t& count, char* name);

enum class SetOpening { Opened, NotAPiece, FirstMissing };
// Pieces read from elsewhere than their folder (rebuilt ones, say): by file name, the path to read instead.
using StandIns = std::map<std::string, std::string>;
// Reads the set that anyPiece (any of its pieces, named stem + four digits + ".trn") belongs to; hold keeps the
// pieces open for reading their data (as many as the process may hold).
SetOpening openPieceSet(const std::string& anyPiece, PieceSet& set, bool hold = false, const StandIns& standIns = {});

// Looks at a piece again (a medium put in since): present, length and mark as they are now.
void lookAgain(const PieceSet& set, PieceState& piece);

// The names of the first pieces ("NAME0001.trn", in any case) in folder, sorted.
std::vector<std::string> firstPiecesIn(const std::string& folder);
