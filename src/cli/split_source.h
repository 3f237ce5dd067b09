// What tarn split cuts and how big its pieces are: the file or standard input, the sizes, the output folder, and
// the cut of a stream, which learns its length only at its end.
#pragma once
#include <cstdint>
#include <string>

#include "cli/console.h"
#include "cli/options.h"
#include "os/files.h"
#include "set/checksum.h"
#include "set/outputs.h"

struct Source {
    OsFile file;
    bool stream = false;
    std::string path;  // empty for standard input
    uint64_t size = 0;
    unsigned mode = 0666;  // the pieces' permissions (less the umask)
};

// The input: a regular file, or standard input read to its end; name gets the name to store.
int openSource(const Options& options, Source& source, std::string& name);
// How a file of known size is cut: the data of each piece but the last, and the count.
struct SizePlan {
    uint64_t pieceBytes = 0;
    uint32_t count = 0;
    uint64_t size = 0;
    // Why the count is not the one asked (-n) or the one the size alone would give (-s): said after the cut.
    enum Why { Exact, Header, EmptyFile, FewBytes, Uneven } why = Exact;
    uint32_t asked = 0;
};
// -n: that many pieces, as even as can be; -s as a number: the largest piece file, header included; a preset (or
// none): Tarn.exe's rules over the preset's data size. A size that needs over 9999 pieces is refused.
int settleSizes(const Options& options, uint64_t size, SizePlan& plan);
// The note on a count that is not the one asked, in the user's language; nothing when it is.
void reportSizes(const SizePlan& plan);
// The bytes of each piece's data that a key covers in a set of two or more pieces, as every join reads them back
// from the first piece's length (header included): its KiB less one.
uint64_t cipherSpanOf(uint64_t firstPieceLength);
// The same for a one-piece set: its size in KiB with a header (whose count tells the join it is alone), else as
// any other set, by its length: a join cannot tell a lone piece without header from the first of several.
uint64_t onePieceCipherSpan(uint64_t size, bool header);
// -o, or ./NAME less its extension (./NAME.pieces where a file bears that name); empty when too long.
std::string outputFolderFor(const Options& options, const std::string& name);
// The path of piece index of stem in folder; empty when too long.
std::string pathOfPiece(const std::string& folder, const char* stem, uint32_t index);

struct StreamCut {
    uint32_t count = 0;  // pieces made
    uint64_t size = 0;   // bytes read
    uint32_t checksum = 0;
};
struct StreamPlan {
    const uint8_t* header = nullptr;  // none: a script set
    uint64_t pieceBytes = 0;
    bool checksum = false;
    bool enciphered = false;
    CipherKey key{};
};
// Standard input, read a buffer ahead: a piece is only begun once there are bytes for it; every piece is
// registered with outputs and written under its own temporary name.
int cutStream(const Source& source, const std::string& folder, const char* stem, const StreamPlan& plan,
              OutputFiles& outputs, Progress& progress, StreamCut& cut);
