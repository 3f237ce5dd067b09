// Reads a set's first-piece header and looks at every piece it names, without changing anything.
#include "set/pieceset.h"

#include <algorithm>
#include <cstring>

#include "os/files.h"
#include "os/os.h"
#include "set/format.h"
#include "set/text.h"
#include "set/threads.h"
#include "text/textops.h"

namespace {
std::string lowered(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return text;
}

bool pieceNameShape(const std::string& path) {
    if (path.size() < 8) return false;
    std::string tail = path.substr(path.size() - 8);
    for (int i = 0; i < 4; i++)
        if (tail[i] < '0' || tail[i] > '9') return false;
    return lowered(tail.substr(4)) == ".trn";
}

// A set's folder ("." when none is named) and the stem of its pieces, from its prefix.
struct FolderAndStem {
    std::string folder, stem;
};
FolderAndStem splitPrefix(const std::string& prefix) {
    const size_t slash = prefix.find_last_of(kPathSeparator);
    if (slash == std::string::npos) return {".", prefix};
    return {prefix.substr(0, slash + 1), prefix.substr(slash + 1)};
}

std::string printable(const uint8_t* bytes, uint32_t count) {
    std::string text;
    for (uint32_t i = 0; i < count; i++) text += bytes[i] >= 32 && bytes[i] < 127 ? static_cast<char>(bytes[i]) : '?';
    return text;
}

// A script set's UnTarn.bat beside its pieces, when it is the one written for them: its piece count and file name.
bool readScriptOfSet(const std::string& prefix, uint32_t& count, char* name, const StandIns& standIns) {
    const FolderAndStem set = splitPrefix(prefix);
    const auto standIn = standIns.find(kScriptName);
    if (standIn != standIns.end()) return readSetScript(standIn->second, set.stem, count, name);
    char path[kTextBufferSize];
    if (!pathInFolder(set.folder.c_str(), kScriptName, path)) return false;
    if (!osResolveNameCase(path)) return false;
    return readSetScript(path, set.stem, count, name);
}

// The names in folder shaped like pieces ("NAME0001.trn", in any case); none when it cannot be read.
std::vector<std::string> pieceNamesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const std::string& name : osListFolder(folder))
        if (pieceNameShape(name)) names.push_back(name);
    return names;
}

// The highest number among the pieces named like the first (in any case) in its folder; 1 when there is none.
uint32_t highestPieceNumber(const std::string& prefix) {
    const FolderAndStem set = splitPrefix(prefix);
    const std::string stem = lowered(set.stem);
    uint32_t highest = 1;
    for (const std::string& found : pieceNamesIn(set.folder)) {
        const std::string name = lowered(found);
        if (name.size() != stem.size() + 8 || name.compare(0, stem.size(), stem) != 0) continue;
        highest = std::max<uint32_t>(highest, static_cast<uint32_t>(std::stoul(name.substr(stem.size(), 4))));
    }
    return highest;
}

std::string piecePath(const std::string& prefix, uint32_t index) {
    char path[kTextBufferSize];
    if (!piecePathOf(prefix.c_str(), index, path)) return "";
    return path;
}

// The path of a piece as its number makes it; the name's case is looked for only when it is not found so.
std::string piecePathAsNumbered(const std::string& prefix, uint32_t index) {
    char digits[16], path[kTextBufferSize];
    zeroPadNumber(static_cast<int32_t>(index), digits, 4);
    if (!buildPath(path, prefix.c_str(), digits, ".trn")) return "";
    return path;
}

// Opens a piece and notes its length and whether it may hold holes.
OsFile openPiece(PieceState& piece) {
    OsFile file = OsFile::openRead(piece.path);
    if (file.valid()) {
        piece.length = static_cast<int64_t>(file.length());
        piece.holed = file.holed();
    }
    return file;
}

void lookAt(PieceState& piece, bool wantMark, uint32_t keepUpTo) {
    OsFile file = openPiece(piece);
    if (!file.valid() && osLastFileError().what == FileError::NotFound) {
        // A set copied from Windows may name its pieces in another case ("SOUR0002.TRN").
        char path[kTextBufferSize];
        copyTextBounded(piece.path.c_str(), path, kTextBufferSize);
        if (!osResolveNameCase(path)) return;
        piece.path = path;
        file = openPiece(piece);
    }
    if (!file.valid()) {
        piece.error = osLastFileError();
        return;
    }
    piece.present = true;
    if (wantMark) {
        uint8_t mark[kMagicSize];
        piece.marked = file.readAt(mark, kMagicSize, 0) == static_cast<int64_t>(kMagicSize) &&
                       std::memcmp(mark, kPieceMagic, 4) == 0;
    }
    if (piece.index <= keepUpTo) piece.held = std::move(file);
}
}  // namespace

std::vector<std::string> firstPiecesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const std::string& name : pieceNamesIn(folder))
        if (name.size() > 8 && name.compare(name.size() - 8, 4, "0001") == 0) names.push_back(name);
    std::sort(names.begin(), names.end());
    return names;
}

const OsFile& PieceState::readable(OsFile& spare) const {
    if (held.valid()) return held;
    spare = OsFile::openRead(path);
    return spare;
}

bool readSetScript(const std::string& path, const std::string& stem, uint32_t& count, char* name) {
    OsFile file = OsFile::openRead(path);
    const int64_t length = file.valid() ? static_cast<int64_t>(file.length()) : -1;
    // The longest script: 9999 piece names and a name of the longest the header takes, '%' doubled.
    constexpr int64_t kLongest = 13 * kMaxPieces + 10 + 2 * kTextBufferSize;
    if (!file.valid() || length <= 0 || length > kLongest) return false;
    std::vector<char> bytes(static_cast<size_t>(length));
    if (file.readAt(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size(), 0) != length) return false;
    // Windows wrote the pieces' names in code page 936; copied here they may have become UTF-8.
    return readRebuildScript(bytes.data(), static_cast<uint32_t>(length), stem.c_str(), &count, name) ||
           readRebuildScript(bytes.data(), static_cast<uint32_t>(length), storedText(stem).c_str(), &count, name);
}

uint32_t PieceSet::dataOffset(uint32_t index) const {
    if (format == SetFormat::Raw) return 0;
    return index == 1 ? kHeaderSize : kMagicSize;
}

uint64_t PieceSet::dataBytes(const PieceState& piece) const {
    uint64_t offset = dataOffset(piece.index);
    uint64_t length = piece.length > 0 ? static_cast<uint64_t>(piece.length) : 0;
    return length > offset ? length - offset : 0;
}

uint64_t PieceSet::expectedDataBytes(const PieceState& piece) const {
    const uint64_t offset = dataOffset(piece.index);
    if (piece.expected >= 0) return static_cast<uint64_t>(piece.expected) > offset ? piece.expected - offset : 0;
    return dataBytes(piece);
}

void lookAgain(const PieceSet& set, PieceState& piece) {
    piece.present = false;
    piece.marked = true;
    piece.length = -1;
    piece.held.close();
    lookAt(piece, set.format != SetFormat::Raw && piece.index > 1, 0);
}

std::vector<uint32_t> PieceSet::missing() const {
    std::vector<uint32_t> list;
    for (const PieceState& p : pieces)
        if (!p.present) list.push_back(p.index);
    return list;
}

std::vector<uint32_t> PieceSet::misfits() const {
    std::vector<uint32_t> list;
    for (const PieceState& p : pieces)
        if (p.present && !p.fits()) list.push_back(p.index);
    return list;
}

// Nothing recorded in the pieces: a script set's UnTarn.bat names them and the file; otherwise the pieces up to the
// highest number there are the set, so that one missing before others is found missing.
// The path a piece is read from: its stand-in, when it has one.
static std::string standInFor(const std::string& path, const StandIns& standIns) {
    if (standIns.empty()) return path;
    const size_t slash = path.find_last_of(kPathSeparator);
    const auto found = standIns.find(slash == std::string::npos ? path : path.substr(slash + 1));
    return found == standIns.end() ? path : found->second;
}

static void openRawSet(const std::string& anyPiece, PieceSet& set, PieceState first, uint32_t keepUpTo,
                       const StandIns& standIns) {
    const int64_t firstLength = first.length;
    std::string name = anyPiece.substr(anyPiece.find_last_of(kPathSeparator) == std::string::npos
                                           ? 0
                                           : anyPiece.find_last_of(kPathSeparator) + 1);
    uint32_t scripted = 0;
    char scriptedName[kTextBufferSize];
    set.scripted = readScriptOfSet(set.prefix, scripted, scriptedName, standIns);
    set.pieces.push_back(std::move(first));
    set.size = static_cast<uint64_t>(firstLength);
    const uint32_t last = set.scripted ? scripted : highestPieceNumber(set.prefix);
    for (uint32_t index = 2; index <= last; index++) {
        PieceState piece;
        piece.index = index;
        piece.path = standInFor(piecePathAsNumbered(set.prefix, index), standIns);
        lookAt(piece, false, keepUpTo);
        // A script set's pieces but the last are all as long as the first.
        if (index < scripted) piece.expected = firstLength;
        if (piece.present) set.size += static_cast<uint64_t>(piece.length);
        set.pieces.push_back(std::move(piece));
    }
    set.count = static_cast<uint32_t>(set.pieces.size());
    set.storedName = set.scripted ? scriptedName : name.substr(0, 4);
    set.pieceBytes = static_cast<uint64_t>(firstLength);
    set.cipherSpan = (static_cast<uint64_t>(firstLength) >> 10) == 0 ? 0 : (static_cast<uint64_t>(firstLength) >> 10) - 1;
}

SetOpening openPieceSet(const std::string& anyPiece, PieceSet& set, bool hold, const StandIns& standIns) {
    if (!pieceNameShape(anyPiece) || anyPiece.size() >= kTextBufferSize) return SetOpening::NotAPiece;
    set = PieceSet();
    set.prefix = anyPiece.substr(0, anyPiece.size() - 8);
    const uint32_t keepUpTo = hold ? osFilesToSpare() : 0;
    PieceState first;
    first.index = 1;
    first.path = standInFor(piecePath(set.prefix, 1), standIns);
    OsFile file = openPiece(first);
    if (!file.valid()) {
        set.firstError = osLastFileError();
        return SetOpening::FirstMissing;
    }
    first.present = true;
    const int64_t firstLength = first.length;
    uint8_t header[kHeaderSize] = {0};
    const int64_t got = file.readAt(header, kHeaderSize, 0);
    if (got < 0) {
        set.firstError = osLastFileError();
        return SetOpening::FirstMissing;
    }
    if (keepUpTo >= 1) first.held = std::move(file);
    set.mark = printable(header, got < 8 ? static_cast<uint32_t>(got) : 8);
    switch (identifySet(header, static_cast<uint32_t>(got))) {
        case SetKind::ThisVersion: set.format = SetFormat::Header; break;
        case SetKind::OtherVersion: set.format = SetFormat::OtherVersion; break;
        case SetKind::NoHeader: set.format = SetFormat::Raw; break;
    }
    if (set.format == SetFormat::Raw) {
        openRawSet(anyPiece, set, std::move(first), keepUpTo, standIns);
        return SetOpening::Opened;
    }
    if (got < static_cast<int64_t>(kHeaderSize)) set.headerConsistent = false;
    const SetHeader recorded = decodeHeader(header);
    set.count = recorded.pieceCount;
    // The UTF-8 copy a header keeps of a text code page 936 cannot hold comes first.
    set.storedName = headerText(recorded.name, recorded.nameCopy);
    set.description = headerText(recorded.description, recorded.descriptionCopy);
    set.descriptionWanted = recorded.descriptionFlag != 0;
    set.size = recorded.size;
    set.checksum = recorded.checksum;
    set.created = recorded.created;
    set.accessed = recorded.accessed;
    set.written = recorded.written;
    set.attributes = recorded.attributes;
    uint64_t firstData = firstLength >= static_cast<int64_t>(kHeaderSize) ? static_cast<uint64_t>(firstLength) - kHeaderSize : 0;
    if (set.count == 0 || set.count > kMaxPieces) {
        set.headerConsistent = false;
        set.count = 0;
        set.pieces.push_back(std::move(first));
        return SetOpening::Opened;
    }
    if (set.count == 1) {
        set.pieceBytes = set.size;
        // A one-piece set was cut with pieces of (its size in KiB) + 1: the key covers one byte less.
        set.cipherSpan = set.size >> 10;
    } else {
        set.pieceBytes = firstData;
        set.cipherSpan = (static_cast<uint64_t>(firstLength) >> 10) == 0 ? 0 : (static_cast<uint64_t>(firstLength) >> 10) - 1;
        if (set.pieceBytes == 0 || set.size <= (set.count - 1) * set.pieceBytes || set.size > set.count * set.pieceBytes)
            set.headerConsistent = false;
    }
    for (uint32_t index = 1; index <= set.count; index++) {
        PieceState piece = index == 1 ? std::move(first) : PieceState();
        piece.index = index;
        if (index != 1) piece.path = standInFor(piecePathAsNumbered(set.prefix, index), standIns);
        if (set.headerConsistent) {
            uint64_t data = index < set.count ? set.pieceBytes : set.size - (set.count - 1) * set.pieceBytes;
            piece.expected = static_cast<int64_t>(data + set.dataOffset(index));
        }
        set.pieces.push_back(std::move(piece));
    }
    // A thousand pieces opened one after another take a tenth of a join's time: runs of them are looked at at once.
    std::vector<uint64_t> weights(set.count, 1);
    std::vector<size_t> bounds = runBounds(weights, threadsFor(set.count));
    runEach(static_cast<unsigned>(bounds.size() - 1), [&](unsigned run) {
        for (size_t i = std::max<size_t>(bounds[run], 1); i < bounds[run + 1]; i++)
            lookAt(set.pieces[i], true, keepUpTo);
    });
    return SetOpening::Opened;
}
