// Fuzzes set identification and the first-piece header reader on arbitrary first-piece bytes, and the reader of
// a script set's UnTarn.bat on the same bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "engine/jobstate.h"
#include "engine/pieceformat.h"
#include "set/text.h"
#include "text/textops.h"

namespace {
void check(bool ok) {
    if (!ok) std::abort();
}
uint32_t le16(const uint8_t* p) { return p[0] | static_cast<uint32_t>(p[1]) << 8; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Read as a script, anything accepted is what the writer makes of its count and name, to the byte count.
    char name[kTextBufferSize];
    uint32_t count = 0;
    if (size <= 200000 && readRebuildScript(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size), "repo",
                                            &count, name)) {
        static char again[200000 + 2 * kTextBufferSize];
        check(count >= 1 && count <= kMaxPieces && textLength(name) > 0);
        // Written again (a lone % of an older script doubled, a control character made _), it reads back the same.
        const uint32_t length = buildRebuildScript("repo", count, name, again, sizeof again);
        char reread[kTextBufferSize];
        uint32_t recount = 0;
        check(length >= size && readRebuildScript(again, length, "repo", &recount, reread));
        check(recount == count && scriptFileName(name) == reread);
    }

    // As the analysis reads it: up to 652 bytes into a zeroed header.
    uint8_t header[kHeaderSize] = {0};
    uint32_t got = size < kHeaderSize ? static_cast<uint32_t>(size) : kHeaderSize;
    std::memcpy(header, data, got);
    SetKind kind = identifySet(header, got);
    check(kind == SetKind::NoHeader || got >= kMagicSize);
    if (kind == SetKind::NoHeader) return 0;
    check(std::memcmp(header, "TARN", 4) == 0);
    check((kind == SetKind::ThisVersion) == (std::memcmp(header, kPieceMagic, kMagicSize) == 0));

    resetProcessRecords();
    std::memset(jobState.description, 'x', sizeof jobState.description);
    settings.useDescription = 0xFFFFFFFF;
    jobState.fileAttributes = 0xFFFFFFFF;
    readFirstPieceHeader(header);
    check(textLength(jobState.description) <= kHeaderTextField);
    check(textLength(jobState.sourceName) <= kHeaderTextField);
    check(settings.useDescription == le16(header + 12));
    check(jobState.fileAttributes == le16(header + 650));

    // Written back, every number comes out where it was read and each text up to its end.
    uint8_t again[kHeaderSize];
    buildFirstPieceHeader(again);
    check(std::memcmp(again, kPieceMagic, kMagicSize) == 0);
    check(std::memcmp(again + 8, header + 8, 6) == 0);
    check(std::memcmp(again + 614, header + 614, kHeaderSize - 614) == 0);
    // A UTF-8 copy read after a terminator is written back in the same bytes; nothing else follows one.
    const std::string copies[] = {jobState.descriptionCopy, jobState.sourceNameCopy};
    for (uint32_t which = 0; which < 2; which++) {
        const uint32_t field = which == 0 ? 14u : 314u;
        uint32_t n = 0;
        while (n < kHeaderTextField && header[field + n] != 0) n++;
        check(copies[which].empty() || isUtf8(copies[which]));
        const uint32_t copied = static_cast<uint32_t>(copies[which].size());
        const uint32_t used = copied == 0 ? n : n + kTextCopyOverhead + copied;
        check(used <= kHeaderTextField && std::memcmp(again + field, header + field, used) == 0);
        for (uint32_t i = used; i < kHeaderTextField; i++) check(again[field + i] == 0);
    }
    return 0;
}
