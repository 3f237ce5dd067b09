// tarn split: cuts a file, or standard input, into a set in one pass, the checksum and the key applied on the way.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/cutfile.h"
#include "cli/fileio.h"
#include "cli/interrupt.h"
#include "cli/names.h"
#include "cli/outcome.h"
#include "cli/pieceset.h"
#include "cli/setdata.h"
#include "cli/times.h"
#include "cli/workers.h"
#include "engine/checksum.h"
#include "engine/jobstate.h"
#include "engine/pieceformat.h"
#include "engine/sizing.h"
#include "os/os.h"
#include "text/textops.h"

namespace {
constexpr uint32_t kDefaultPieceKiB = 899;  // the e-mail preset, the window's first choice
constexpr uint32_t kArchiveAttribute = 0x20;

// Files this split made; a split that fails removes them, so no half-made set is left behind. Files replaced with
// --force wait under a name of their own until the split is done, and a split that fails puts them back.
struct MadeFiles {
    std::vector<std::string> files;
    std::string folder, top;  // made by this split: the output folder, and the outermost folder made for it
    std::vector<std::pair<std::string, std::string>> setAside;  // a replaced file's name, and where it waits
    bool keep = false;
    ~MadeFiles() {
        if (keep) {
            for (const auto& old : setAside) unlink(old.second.c_str());
            return;
        }
        for (const std::string& path : files) unlink(path.c_str());
        for (const auto& old : setAside) rename(old.second.c_str(), old.first.c_str());
        if (!folder.empty()) removeMadeFolders(folder.c_str(), top.c_str());
    }
};

// Moves a file the split is about to replace out of the way (a folder there is left to fail the create).
int setAside(const std::string& path, const std::string& folder, MadeFiles& made) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return kOutcomeSuccess;
    std::string waiting;
    // The name is taken by an empty file first, so that the rename can replace nothing else.
    Descriptor reserved = createTemporary(folder, waiting);
    if (reserved.valid() && rename(path.c_str(), waiting.c_str()) == 0) {
        made.setAside.emplace_back(path, waiting);
        return kOutcomeSuccess;
    }
    const int error = errno;
    if (reserved.valid()) unlink(waiting.c_str());
    return fail(outcomeOfWriteError(error), {"cannot replace '%s': %s", "无法覆盖 '%s': %s"}, path.c_str(),
                std::strerror(error));
}

struct Source {
    Descriptor file;
    bool stream = false;
    std::string path;  // empty for standard input
    uint64_t size = 0;
    unsigned mode = 0666;  // the pieces' permissions (less the umask)
};

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
        source.file = Descriptor(dup(STDIN_FILENO));
        name = o.name;
        return kOutcomeSuccess;
    }
    source.path = o.operand;
    int64_t size = -1;
    source.file = openForReading(o.operand, &size);
    if (!source.file.valid() && errno == kNotRegularFile && osFolderExists(o.operand.c_str()))
        return fail(kOutcomeMissing, {"'%s' is a folder: tarn cuts one file ('tar c FOLDER | tarn split - --name "
                                      "FOLDER.tar' cuts a folder)",
                                      "'%s' 是文件夹: tarn 只劈分一个文件 (用 'tar c 文件夹 | tarn split - --name "
                                      "文件夹.tar' 劈分文件夹)"},
                    o.operand.c_str());
    if (!source.file.valid() && errno == kNotRegularFile)
        return fail(kOutcomeMissing, {"'%s' is not a regular file: 'tarn split - --name NAME' cuts a stream",
                                      "'%s' 不是普通文件: 用 'tarn split - --name 名称' 劈分数据流"},
                    o.operand.c_str());
    if (!source.file.valid())
        return fail(kOutcomeMissing, {"cannot open '%s': %s", "无法打开 '%s': %s"}, o.operand.c_str(),
                    std::strerror(errno));
    source.size = static_cast<uint64_t>(size);
    // Files such as those of /proc say they are empty and still hold data: they are cut as the stream they are.
    char probe;
    if (size == 0 && pread(source.file.get(), &probe, 1, 0) == 1) {
        if (o.haveCount)
            return fail(kOutcomeUsage, {"'%s' tells its length only once read to its end: give -s, not -n",
                                        "'%s' 要读完才知道长度: 请用 -s, 不要用 -n"},
                        o.operand.c_str());
        source.stream = true;
    }
    struct stat st;
    if (fstat(source.file.get(), &st) == 0) source.mode = modeAsPrivateAs(st.st_mode);
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
    if (nameTaken(folder) && !osFolderExists(folder)) {
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

// A name the split will create: refused when it is the source, or when it exists and --force was not given.
int checkTarget(const std::string& path, const Source& source, bool force) {
    if (!source.path.empty() && osSameFile(path.c_str(), source.path.c_str()))
        return fail(kOutcomeUnwritable, {"'%s' is the file being split", "'%s' 就是要劈分的文件"}, path.c_str());
    struct stat st;
    // --force replaces files, never a folder: found now, before any old piece has been replaced.
    if (lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return fail(kOutcomeUnwritable, {"'%s' is a folder", "'%s' 是文件夹"}, path.c_str());
    if (!force && nameTaken(path))
        return fail(kOutcomeUnwritable, {"'%s' already exists (--force replaces it)", "'%s' 已存在 (--force 可覆盖)"},
                    path.c_str());
    return kOutcomeSuccess;
}

// With --force a set is replaced whole: the old set's pieces past the new count would otherwise stay beside the
// new one, to be counted, copied and mailed with it, and a join of pieces without header would take them in.
// Only the old set's own pieces go: those its first piece or its script counts, or else for pieces without header
// their unbroken run from the first (a piece past a gap may be someone else's). Never the source, and only once
// the new set is whole; removed says how many were set aside.
// The old set's script goes too when the new set has none: run on Windows it would copy the new pieces, headers
// and all, into a damaged file.
int setAsideOldSetRest(const std::string& folder, const char* stem, uint32_t newCount, const Source& source,
                       const std::string& scriptPath, bool newScript, MadeFiles& made, uint32_t& removed,
                       bool& scriptRemoved) {
    removed = 0;
    scriptRemoved = false;
    const std::string first = pathOfPiece(folder, stem, 1);
    uint32_t oldCount = 0;
    bool counted = false;
    std::string oldScript = nameTaken(scriptPath) ? scriptPath : "";  // where the old script is now
    for (const auto& old : made.setAside)
        if (old.first == scriptPath) oldScript = old.second;
    uint32_t scripted = 0;
    char name[kTextBufferSize];
    const bool oldScriptFits = !oldScript.empty() && readSetScript(oldScript, stem, scripted, name);
    for (const auto& old : made.setAside) {
        if (old.first != first) continue;
        oldCount = kMaxPieces;  // a run, up to the first piece missing
        uint8_t header[kHeaderSize];
        Descriptor file = openForReading(old.second);
        if (file.valid() && readFull(file.get(), header, kHeaderSize) == static_cast<ssize_t>(kHeaderSize) &&
            identifySet(header, kHeaderSize) == SetKind::ThisVersion) {
            oldCount = headerPieceCount(header);
            counted = true;
        } else if (oldScriptFits) {
            oldCount = scripted;
            counted = true;
        }
    }
    if (oldCount > 0 && oldScriptFits && !newScript) {
        int code = setAside(scriptPath, folder, made);
        if (code != kOutcomeSuccess) return code;
        scriptRemoved = true;
    }
    for (uint32_t index = newCount + 1; index <= oldCount && index <= kMaxPieces; index++) {
        const std::string path = pathOfPiece(folder, stem, index);
        struct stat st;
        const bool there = !path.empty() && lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
        if (!there && !counted) break;
        if (!there) continue;
        if (!source.path.empty() && osSameFile(path.c_str(), source.path.c_str())) continue;
        int code = setAside(path, folder, made);
        if (code != kOutcomeSuccess) return code;
        removed++;
    }
    return kOutcomeSuccess;
}

int createFailed(const std::string& path, int error) {
    if (error == EEXIST)
        return fail(kOutcomeUnwritable, {"'%s' already exists (--force replaces it)", "'%s' 已存在 (--force 可覆盖)"},
                    path.c_str());
    return fail(outcomeOfWriteError(error), {"cannot create '%s': %s", "无法创建 '%s': %s"}, path.c_str(),
                std::strerror(error));
}

int createFile(const std::string& path, bool force, unsigned mode, MadeFiles& made, Descriptor& file) {
    file = createOutput(path, force, mode);
    if (!file.valid()) return createFailed(path, errno);
    made.files.push_back(path);
    return kOutcomeSuccess;
}

int writeFailed(const std::string& path, int error = errno) {
    return fail(outcomeOfWriteError(error), {"cannot write '%s': %s", "无法写入 '%s': %s"}, path.c_str(),
                std::strerror(error));
}

struct StreamCut {
    uint32_t count = 0;  // pieces made
    uint64_t size = 0;   // bytes read
    uint32_t checksum = 0;
};

// Standard input, read a buffer ahead: a piece is only begun once there are bytes for it.
int cutStream(const Options& o, int input, const std::string& folder, const char* stem, const uint8_t* header,
              uint64_t pieceBytes, MadeFiles& made, Progress& progress, StreamCut& cut) {
    // Bytes of each piece's data the key covers.
    const uint64_t span = o.haveKey && pieceBytes >= 1024 ? pieceBytes / 1024 - 1 : 0;
    CopyBuffer buffer;
    size_t pending = 0, pendingAt = 0;
    bool ended = false;
    auto refill = [&] {
        if (pending != 0 || ended) return true;
        ssize_t got = readFull(input, buffer.data(), kCopyBufferSize);
        if (got < 0) return false;
        pending = static_cast<size_t>(got);
        pendingAt = 0;
        ended = pending < kCopyBufferSize;
        return true;
    };
    auto streamFailed = [] {
        return fail(kOutcomeMissing, {"cannot read standard input: %s", "无法读取标准输入: %s"}, std::strerror(errno));
    };
    for (;;) {
        if (stopRequested() || !refill()) return stopRequested() ? kOutcomeInterrupted : streamFailed();
        if (pending == 0 && cut.count >= 1) return kOutcomeSuccess;
        if (++cut.count > kMaxPieces)
            return fail(kOutcomeUsage,
                        {"standard input needs more than 9999 pieces of %u KiB: use a larger -s",
                         "标准输入需要超过 9999 块 %u KiB: 请用更大的 -s"},
                        static_cast<unsigned>(pieceBytes / 1024));
        std::string path = pathOfPiece(folder, stem, cut.count);
        if (path.empty()) return fail(kOutcomeUsage, {"the output path is too long", "输出路径太长"});
        Descriptor piece;
        int code = o.force ? setAside(path, folder, made) : kOutcomeSuccess;
        if (code == kOutcomeSuccess) code = createFile(path, o.force, 0666, made, piece);
        if (code != kOutcomeSuccess) return code;
        if (!writePieceStart(piece.get(), cut.count, header)) return writeFailed(path);
        uint64_t inPiece = 0;
        while (inPiece < pieceBytes) {
            if (stopRequested() || !refill()) return stopRequested() ? kOutcomeInterrupted : streamFailed();
            if (pending == 0) break;  // the input ended inside this piece
            size_t count = static_cast<size_t>(std::min<uint64_t>(pending, pieceBytes - inPiece));
            uint8_t* bytes = buffer.data() + pendingAt;
            pending -= count;
            pendingAt += count;
            if (o.checksum) cut.checksum = addToChecksum(cut.checksum, cut.size, bytes, static_cast<uint32_t>(count));
            if (inPiece < span)
                cipherBytes(bytes, static_cast<uint32_t>(std::min<uint64_t>(count, span - inPiece)), inPiece);
            if (!writeAll(piece.get(), bytes, count)) return writeFailed(path);
            inPiece += count;
            cut.size += count;
            progress.advance(count);
        }
        if (!piece.close()) return writeFailed(path);
    }
}

// XORs the key over bytes [from, to) of a piece's data in place on disk.
bool recipher(const std::string& path, uint64_t dataOffset, uint64_t from, uint64_t to) {
    if (from >= to) return true;
    Descriptor file(open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
    if (!file.valid()) return false;
    std::vector<uint8_t> bytes(to - from);
    if (pread(file.get(), bytes.data(), bytes.size(), static_cast<off_t>(dataOffset + from)) !=
        static_cast<ssize_t>(bytes.size()))
        return false;
    cipherBytes(bytes.data(), static_cast<uint32_t>(bytes.size()), from);
    return writeAll(file.get(), bytes.data(), bytes.size(), static_cast<int64_t>(dataOffset + from)) && file.close();
}
}  // namespace

int runSplitCommand(const Options& o) {
    // A signal stops the cut, which then removes what it made and puts back what it set aside.
    stopOnSignal();
    Source source;
    std::string name;
    int code = openSource(o, source, name);
    if (code != kOutcomeSuccess) return code;
    const std::string storedName = storedText(name), storedDescription = storedText(o.description);
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == ".." ||
        storedName.size() >= kHeaderTextField)
        return fail(kOutcomeUsage, {"not a file name to store: '%s'", "不能存储的文件名: '%s'"}, name.c_str());
    if (storedDescription.size() >= kHeaderTextField)
        return fail(kOutcomeUsage, {"the description is longer than 299 bytes", "描述超过 299 字节"});
    if (!source.stream) {
        code = settleSizes(o, source.size);
        if (code != kOutcomeSuccess) return code;
    } else {
        jobState.pieceSizeKB = o.haveSize ? o.sizeKiB : kDefaultPieceKiB;
        jobState.pieceCount = 0;
    }
    const uint32_t pieceKiB = jobState.pieceSizeKB;
    const uint64_t pieceBytes = static_cast<uint64_t>(pieceKiB) * 1024;
    const uint32_t plannedCount = jobState.pieceCount;

    std::string folder = outputFolderFor(o, name);
    char stem[16];
    pieceStemFor(name, stem);
    char scriptPath[kTextBufferSize] = "";
    // The script's place is wanted without --script too: an old set's script may have to go.
    const bool scriptPlace = pathInFolder(folder.c_str(), kScriptName, scriptPath);
    if (!scriptPlace) scriptPath[0] = 0;
    if (folder.empty() || pathOfPiece(folder, stem, 1).empty() || (o.script && !scriptPlace))
        return fail(kOutcomeUsage, {"the output path is too long", "输出路径太长"});
    // Everything that would be replaced is checked before anything is written.
    uint32_t checkUpTo = source.stream ? 1 : plannedCount;
    for (uint32_t index = 1; index <= checkUpTo; index++) {
        code = checkTarget(pathOfPiece(folder, stem, index), source, o.force);
        if (code != kOutcomeSuccess) return code;
    }
    if (o.script && (code = checkTarget(scriptPath, source, o.force)) != kOutcomeSuccess) return code;

    MadeFiles made;
    if (!osFolderExists(folder.c_str())) {
        if (!makeFolder(folder, made.top))
            return fail(outcomeOfWriteError(errno), {"cannot create the folder '%s': %s", "无法创建文件夹 '%s': %s"},
                        folder.c_str(), std::strerror(errno));
        made.folder = folder;
    }
    for (uint32_t index = 1; o.force && index <= checkUpTo; index++)
        if ((code = setAside(pathOfPiece(folder, stem, index), folder, made)) != kOutcomeSuccess) return code;
    if (o.force && o.script && (code = setAside(scriptPath, folder, made)) != kOutcomeSuccess) return code;

    // The header as far as it is known now; rewritten at the end with the checksum (and a stream's size).
    setWide(jobState.sourceSize, source.size);
    jobState.checksum = 0;
    copyTextBounded(storedName.c_str(), jobState.sourceName, kTextBufferSize);
    copyTextBounded(storedDescription.c_str(), jobState.description, kTextBufferSize);
    settings.useDescription = o.haveDescription ? 1 : 0;
    if (source.stream) {
        jobState.creationTime = jobState.lastAccessTime = jobState.lastWriteTime = filetimeNow();
        jobState.fileAttributes = kArchiveAttribute;
    } else {
        // Read before the data is: reading moves the access time.
        osGetFileTimes(source.file.get(), &jobState.creationTime, &jobState.lastAccessTime, &jobState.lastWriteTime);
        jobState.fileAttributes = osGetAttributes(source.path.c_str());
    }
    if (o.haveKey) {
        useKey(o.key);
    }
    const bool header = !o.script;
    const uint64_t span = pieceKiB == 0 ? 0 : pieceKiB - 1;  // bytes of each piece's data the key covers

    Progress progress(source.size, !o.quiet);
    uint8_t headerBytes[kHeaderSize];
    buildFirstPieceHeader(headerBytes);
    StreamCut cut;
    if (source.stream) {
        code = cutStream(o, source.file.get(), folder, stem, header ? headerBytes : nullptr, pieceBytes, made, progress,
                         cut);
        if (code != kOutcomeSuccess) return code;
    } else {
        CutPlan plan;
        plan.source = source.file.get();
        plan.size = source.size;
        plan.pieceBytes = pieceBytes;
        for (uint32_t index = 1; index <= plannedCount; index++) plan.paths.push_back(pathOfPiece(folder, stem, index));
        plan.force = o.force;
        plan.mode = source.mode;
        plan.header = header ? headerBytes : nullptr;
        plan.checksum = o.checksum;
        plan.key = o.haveKey;
        const unsigned threads = threadsFor(cutChunks(plan));
        // The kernel's copy where no byte changes, on one thread: two threads reading and writing measured faster.
        plan.kernelCopy = !o.checksum && !o.haveKey && threads == 1;
        CutResult result = cutFile(plan, progress, threads);
        made.files.insert(made.files.end(), result.made.begin(), result.made.end());
        if (result.what != CutResult::Done) progress.finish();
        if (result.what == CutResult::CreateFailed) return createFailed(result.path, result.error);
        if (result.what == CutResult::WriteFailed) return writeFailed(result.path, result.error);
        if (result.what == CutResult::ReadFailed)
            return fail(kOutcomeMissing, {"cannot read '%s' to its end", "无法读完 '%s'"}, source.path.c_str());
        cut.count = plannedCount;
        cut.size = source.size;
        cut.checksum = result.checksum;
    }
    progress.finish();
    if (stopRequested()) return kOutcomeInterrupted;

    const uint32_t count = cut.count;
    const uint64_t offset = cut.size;
    const uint32_t checksum = cut.checksum;
    const std::string firstPath = pathOfPiece(folder, stem, 1);
    if (source.stream && count == 1 && o.haveKey) {
        // A one-piece set is read back with the key over (its size in KiB) bytes, as if cut with pieces of
        // (size in KiB) + 1: the stream was cut with the piece size given, so the covered range is put right.
        uint64_t covered = std::min(span, offset), wanted = std::min(offset >> 10, offset);
        if (!recipher(firstPath, header ? kHeaderSize : 0, std::min(covered, wanted), std::max(covered, wanted)))
            return writeFailed(firstPath);
    }
    if (header) {
        jobState.pieceCount = count;
        setWide(jobState.sourceSize, offset);
        jobState.checksum = o.checksum ? checksum : 0;
        uint8_t headerBytes[kHeaderSize];
        buildFirstPieceHeader(headerBytes);
        Descriptor first(open(firstPath.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC));
        if (!first.valid() || !writeAll(first.get(), headerBytes, kHeaderSize, 0) || !first.close())
            return writeFailed(firstPath);
    }
    if (o.script) {
        std::vector<char> script(13 * kMaxPieces + 16 + kTextBufferSize);
        // cmd reads the script in code page 936, the pieces' names as well as the file's: "报X0001.trn" is found
        // by the bytes of 报 in that code page, not in UTF-8.
        uint32_t length = buildRebuildScript(storedText(stem).c_str(), count, storedName.c_str(), script.data(),
                                             static_cast<uint32_t>(script.size()));
        Descriptor file;
        if ((code = createFile(scriptPath, o.force, source.mode, made, file)) != kOutcomeSuccess) return code;
        if (!writeAll(file.get(), reinterpret_cast<const uint8_t*>(script.data()), length) || !file.close())
            return writeFailed(scriptPath);
    }
    uint32_t removed = 0;
    bool scriptRemoved = false;
    if (o.force && (code = setAsideOldSetRest(folder, stem, count, source, scriptPath, o.script, made, removed,
                                              scriptRemoved)) != kOutcomeSuccess)
        return code;
    if (stopRequested()) return kOutcomeInterrupted;
    made.keep = true;
    if (!o.quiet)
        report({"%s: %u piece(s) of at most %s in %s", "%s: %u 块, 每块最多 %s, 在 %s"}, name.c_str(), count,
               humanBytes(pieceBytes).c_str(), folder.c_str());
    // The sizes are whole KiB, so a small file cannot always be cut into as many pieces as asked.
    if (!o.quiet && o.haveCount && count != o.count)
        report({"%u pieces, not the %u asked: pieces are whole KiB", "%u 块, 不是要求的 %u 块: 块的大小为整 KiB"},
               count, o.count);
    if (!o.quiet && removed > 0)
        report({"removed %u later piece(s) of the set it replaced", "删除了被替换的那组块中后面的 %u 块"}, removed);
    if (!o.quiet && scriptRemoved)
        report({"removed the %s of the set it replaced", "删除了被替换的那组块的 %s"}, kScriptName);
    return kOutcomeSuccess;
}
