// The input of tarn split, its sizes and folder, and the cut of standard input.
#include "cli/split_source.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "cli/fileio.h"
#include "cli/interrupt.h"
#include "cli/outcome.h"
#include "engine/jobstate.h"
#include "engine/sizing.h"
#include "os/os.h"
#include "set/cut.h"
#include "set/format.h"
#include "text/textops.h"

namespace {
constexpr uint32_t kDefaultPieceKiB = 899;  // the e-mail preset, the window's first choice
constexpr size_t kBufferBytes = 1 << 20;
}  // namespace

// The input: a regular file, or standard input read to its end.
int openSource(const Options& o, Source& source, std::string& name) {
    if (o.operand == "-") {
        // Bytes typed at a terminal are never what a split was for, and waiting for them hangs a script.
        if (!o.force && isatty(STDIN_FILENO) == 1)
            return fail(kOutcomeUsage, {"standard input is a terminal: send the data in from a file or a program "
                                        "(< FILE, PROGRAM | tarn split - --name NAME), or use --force",
                                        "标准输入是终端: 请从文件或程序输入数据 (< 文件, 程序 | tarn split - "
                                        "--name 名称), 或用 --force"});
        source.stream = true;
        source.file = OsFile::adopt(STDIN_FILENO);
        name = o.name;
        return kOutcomeSuccess;
    }
    source.path = o.operand;
    source.file = OsFile::openRead(o.operand);
    const FileError error = source.file.valid() ? FileError::None : osLastFileError().what;
    if (error == FileError::NotRegular && osFolderExists(o.operand.c_str()))
        return fail(kOutcomeMissing, {"'%s' is a folder: tarn cuts one file ('tar c FOLDER | tarn split - --name "
                                      "FOLDER.tar' cuts a folder)",
                                      "'%s' 是文件夹: tarn 只劈分一个文件 (用 'tar c 文件夹 | tarn split - --name "
                                      "文件夹.tar' 劈分文件夹)"},
                    o.operand.c_str());
    if (error == FileError::NotRegular)
        return fail(kOutcomeMissing, {"'%s' is not a regular file: 'tarn split - --name NAME' cuts a stream",
                                      "'%s' 不是普通文件: 用 'tarn split - --name 名称' 劈分数据流"},
                    o.operand.c_str());
    if (!source.file.valid())
        return fail(kOutcomeMissing, {"cannot open '%s': %s", "无法打开 '%s': %s"}, o.operand.c_str(),
                    osFileErrorText(osLastFileError()).c_str());
    const uint64_t size = source.file.length();
    source.size = size;
    // Files such as those of /proc say they are empty and still hold data: they are cut as the stream they are.
    uint8_t probe;
    if (size == 0 && source.file.readAt(&probe, 1, 0) == 1) {
        if (o.haveCount)
            return fail(kOutcomeUsage, {"'%s' tells its length only once read to its end: give -s, not -n",
                                        "'%s' 要读完才知道长度: 请用 -s, 不要用 -n"},
                        o.operand.c_str());
        source.stream = true;
    }
    source.mode = source.file.modeForCopies();
    char base[kTextBufferSize];
    fileNameOfPath(o.operand.c_str(), base);
    name = base;
    return kOutcomeSuccess;
}

namespace {
// Data bytes of each of count pieces but the last, none over room: Tarn.exe's even share where it fits (whole KiB,
// at most one KiB over the exact share, so the same file and count give Tarn.exe's pieces), else the exact share.
// All pieces but the last hold the same, which is what every join reads a set by.
uint64_t evenPieceBytes(uint64_t size, uint64_t count, uint64_t room) {
    const uint64_t windows = ((size >> 10) / count + 1) * 1024;
    if (count == 1 || (windows <= room && (count - 1) * windows < size)) return windows;
    return (size + count - 1) / count;
}

int tooManyPieces(const Options& o, uint64_t size, uint64_t needed, uint64_t firstStart) {
    // The least number for -s, which counts the header, that makes 9999 pieces or fewer.
    const uint64_t least = ((size + kMaxPieces - 1) / kMaxPieces + firstStart + 1023) / 1024;
    const std::string kib = std::to_string(o.haveSize ? o.sizeKiB : kDefaultPieceKiB);
    return fail(kOutcomeUsage,
                {"pieces of %s KiB would make %llu pieces, 9999 at most: use -s %lluK or more",
                 "%s KiB 的块需要 %llu 块, 最多 9999 块: 请用 -s %lluK 或更大"},
                kib.c_str(), static_cast<unsigned long long>(needed), static_cast<unsigned long long>(least));
}
}  // namespace

uint64_t cipherSpanOf(uint64_t firstPieceLength) {
    const uint64_t kib = firstPieceLength >> 10;
    return kib == 0 ? 0 : kib - 1;
}

uint64_t onePieceCipherSpan(uint64_t size, bool header) { return header ? size >> 10 : cipherSpanOf(size); }

int settleSizes(const Options& o, uint64_t size, SizePlan& plan) {
    const uint64_t firstStart = o.script ? 0 : kHeaderSize;
    plan = SizePlan();
    if (o.haveCount) {
        const uint64_t asked = o.count;
        plan.pieceBytes = size == 0 ? 1024 : evenPieceBytes(size, asked, ~uint64_t{0});
        plan.count = size == 0 ? 1 : static_cast<uint32_t>((size + plan.pieceBytes - 1) / plan.pieceBytes);
        if (plan.count != asked)
            plan.why = size == 0 ? SizePlan::EmptyFile : size < asked ? SizePlan::FewBytes : SizePlan::Uneven;
        plan.asked = o.count;
        plan.size = size;
        return kOutcomeSuccess;
    }
    if (o.haveSize && !o.sizePreset) {
        // Every piece file at most that size: the first piece holds the header, and the others as much data.
        const uint64_t limit = static_cast<uint64_t>(o.sizeKiB) * 1024;
        const uint64_t room = limit - firstStart;  // over 1 KiB, the header 652 bytes
        const uint64_t needed = size == 0 ? 1 : (size + room - 1) / room;
        if (needed > kMaxPieces) return tooManyPieces(o, size, needed, firstStart);
        plan.count = static_cast<uint32_t>(needed);
        plan.pieceBytes = evenPieceBytes(size, needed, room);
        const uint64_t bare = size == 0 ? 1 : (size + limit - 1) / limit;
        if (needed > bare) {
            plan.why = SizePlan::Header;
            plan.asked = static_cast<uint32_t>(bare);
        }
        plan.size = size;
        return kOutcomeSuccess;
    }
    // A preset, or none: Tarn.exe's rules, which even the pieces out below the preset's data size.
    setWide(jobState.sourceSize, size);
    const uint32_t kib = o.haveSize ? o.sizeKiB : kDefaultPieceKiB;
    const uint64_t bytes = static_cast<uint64_t>(kib) * 1024;
    const uint64_t needed = size == 0 ? 1 : (size + bytes - 1) / bytes;
    if (needed > kMaxPieces) return tooManyPieces(o, size, needed, firstStart);
    jobState.pieceSizeKB = kib;
    countFromSize(nullptr);
    if (!settlePieceCount())
        return fail(kOutcomeUsage, {"this file cannot be cut into 9999 pieces or fewer", "此文件无法劈分为 9999 块以内"});
    plan.pieceBytes = static_cast<uint64_t>(jobState.pieceSizeKB) * 1024;
    plan.count = jobState.pieceCount;
    plan.size = size;
    return kOutcomeSuccess;
}

void reportSizes(const SizePlan& plan) {
    const unsigned long long size = plan.size;
    switch (plan.why) {
        case SizePlan::Exact: break;
        case SizePlan::Header:
            report({"%u pieces rather than %u: the first piece holds the 652-byte header within the size asked, and the "
                    "others as much data as the first",
                    "%u 块而不是 %u 块: 第一块在要求的大小之内含 652 字节的头部, 其他块的数据与第一块一样多"},
                   plan.count, plan.asked);
            break;
        case SizePlan::EmptyFile:
            report({"1 piece, not the %u asked: the file is empty", "1 块, 不是要求的 %u 块: 文件是空的"}, plan.asked);
            break;
        case SizePlan::FewBytes:
            report({"%u pieces, not the %u asked: a file of %llu bytes makes %llu pieces at most",
                    "%u 块, 不是要求的 %u 块: %llu 字节的文件最多分为 %llu 块"},
                   plan.count, plan.asked, size, size);
            break;
        case SizePlan::Uneven:
            report({"%u pieces, not the %u asked: every piece but the last holds the same number of bytes, and "
                    "%llu bytes cannot be shared out so in %u pieces",
                    "%u 块, 不是要求的 %u 块: 除最后一块外每块字节数相同, %llu 字节无法这样分成 %u 块"},
                   plan.count, plan.asked, size, plan.asked);
            break;
    }
}

std::string outputFolderFor(const Options& o, const std::string& name) {
    if (!o.output.empty()) return o.output;
    char base[kTextBufferSize];
    copyTextBounded(name.c_str(), base, kTextBufferSize);
    stripExtension(base);
    // "..x" less its extension would be the current folder, and "...x" its parent: those go by the whole name.
    const bool usable = base[0] != 0 && std::strcmp(base, ".") != 0 && std::strcmp(base, "..") != 0;
    char folder[kTextBufferSize];
    if (!buildPath(folder, ".", kPathSeparatorText, usable ? base : name.c_str())) return "";
    // A file without extension has the folder's name itself (so may another file): its pieces go to NAME.pieces.
    if (osEntryKind(folder) != EntryKind::None && !osFolderExists(folder)) {
        char taken[kTextBufferSize];
        copyText(folder, taken);
        if (!buildPath(folder, taken, ".pieces")) return "";
    }
    return folder;
}

std::string pathOfPiece(const std::string& folder, const char* stem, uint32_t index) {
    char name[32];
    pieceNameOf(stem, index, name);
    char path[kTextBufferSize];
    if (!pathInFolder(folder.c_str(), name, path)) return "";
    return path;
}

int cutStream(const Source& source, const std::string& folder, const char* stem, const StreamPlan& plan,
              OutputFiles& outputs, Progress& progress, StreamCut& cut) {
    const uint64_t pieceBytes = plan.pieceBytes;
    // Bytes of each piece's data the key covers.
    // As every join finds it from the first piece's length; a stream that ends in its first piece is put right after.
    const uint64_t span = plan.enciphered ? cipherSpanOf(pieceBytes + (plan.header ? kHeaderSize : 0)) : 0;
    PageBuffer buffer(kBufferBytes);
    size_t pending = 0, pendingAt = 0;
    bool ended = false;
    auto refill = [&] {
        while (pending == 0 && !ended) {
            pendingAt = 0;
            const int64_t got = source.file.readNext(buffer.data(), kBufferBytes);
            if (got < 0 && errno == EINTR && !stopRequested()) continue;  // a signal that asks for nothing
            if (got < 0) return false;
            pending = static_cast<size_t>(got);
            ended = got == 0;
        }
        return true;
    };
    auto streamFailed = [] {
        return fail(kOutcomeMissing, {"cannot read standard input: %s", "无法读取标准输入: %s"},
                    osFileErrorText(osLastFileError()).c_str());
    };
    for (;;) {
        if (stopRequested() || !refill()) return stopRequested() ? kOutcomeInterrupted : streamFailed();
        if (pending == 0 && cut.count >= 1) return kOutcomeSuccess;
        if (++cut.count > kMaxPieces)
            return fail(kOutcomeUsage,
                        {"standard input needs more than 9999 pieces of %s: use a larger -s",
                         "标准输入需要超过 9999 块 %s: 请用更大的 -s"},
                        humanBytes(pieceBytes + (plan.header ? kHeaderSize : 0)).c_str());
        const std::string path = pathOfPiece(folder, stem, cut.count);
        if (path.empty()) return fail(kOutcomeUsage, {"the output path is too long", "输出路径太长"});
        const std::string writing = outputs.add(path);
        OsFile piece = OsFile::createNew(writing, source.mode);
        if (!piece.valid())
            return fail(outcomeOfWriteError(osLastFileError()), {"cannot create '%s': %s", "无法创建 '%s': %s"},
                        path.c_str(), osFileErrorText(osLastFileError()).c_str());
        outputs.created(writing);
        auto writeFailed = [&] {
            return fail(outcomeOfWriteError(osLastFileError()), {"cannot write '%s': %s", "无法写入 '%s': %s"},
                        path.c_str(), osFileErrorText(osLastFileError()).c_str());
        };
        if (!writePieceStart(piece, cut.count, plan.header)) return writeFailed();
        uint64_t at = !plan.header ? 0 : cut.count == 1 ? kHeaderSize : kMagicSize;
        uint64_t inPiece = 0;
        while (inPiece < pieceBytes) {
            if (stopRequested() || !refill()) return stopRequested() ? kOutcomeInterrupted : streamFailed();
            if (pending == 0) break;  // the input ended inside this piece
            size_t count = static_cast<size_t>(std::min<uint64_t>(pending, pieceBytes - inPiece));
            uint8_t* bytes = buffer.data() + pendingAt;
            pending -= count;
            pendingAt += count;
            if (plan.checksum) cut.checksum = addToChecksum(cut.checksum, cut.size, bytes, static_cast<uint32_t>(count));
            if (inPiece < span)
                cipherBytes(plan.key, bytes, static_cast<uint32_t>(std::min<uint64_t>(count, span - inPiece)), inPiece);
            if (!piece.writeAt(bytes, count, at)) return writeFailed();
            at += count;
            inPiece += count;
            cut.size += count;
            progress.advance(count);
        }
        if (!piece.close()) return writeFailed();
    }
}
