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

// The engine's count and size rules for a file of known size; a size that needs over 9999 pieces is refused.
int settleSizes(const Options& o, uint64_t size) {
    setWide(jobState.sourceSize, size);
    if (o.haveCount) {
        jobState.pieceCount = o.count;
        sizeFromCount(nullptr);
    } else {
        uint32_t kib = o.haveSize ? o.sizeKiB : kDefaultPieceKiB;
        uint64_t bytes = static_cast<uint64_t>(kib) * 1024;
        uint64_t needed = size == 0 ? 1 : (size + bytes - 1) / bytes;
        if (needed > kMaxPieces) {
            uint64_t least = (size + kMaxPieces * 1024ULL - 1) / (kMaxPieces * 1024ULL);
            return fail(kOutcomeUsage,
                        {"pieces of %u KiB would make %llu pieces, 9999 at most: use -s %lluK or more",
                         "%u KiB 的块需要 %llu 块, 最多 9999 块: 请用 -s %lluK 或更大"},
                        kib, static_cast<unsigned long long>(needed), static_cast<unsigned long long>(least));
        }
        jobState.pieceSizeKB = kib;
        countFromSize(nullptr);
    }
    if (!settlePieceCount())
        return fail(kOutcomeUsage, {"this file cannot be cut into 9999 pieces or fewer", "此文件无法劈分为 9999 块以内"});
    return kOutcomeSuccess;
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
    const uint64_t span = plan.enciphered && pieceBytes >= 1024 ? pieceBytes / 1024 - 1 : 0;
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
                        {"standard input needs more than 9999 pieces of %u KiB: use a larger -s",
                         "标准输入需要超过 9999 块 %u KiB: 请用更大的 -s"},
                        static_cast<unsigned>(pieceBytes / 1024));
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
