// tarn join: rebuilds the file of a set into a folder or onto standard output, checked as it is written.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/fileio.h"
#include "cli/interrupt.h"
#include "cli/names.h"
#include "cli/outcome.h"
#include "cli/setcheck.h"
#include "cli/setdata.h"
#include "cli/workers.h"
#include "engine/checksum.h"
#include "engine/jobstate.h"
#include "engine/pieceformat.h"
#include "os/os.h"
#include "text/textops.h"

namespace {

// The rebuilt file's place: refused when it is one of the set's own pieces, or exists without --force.
int checkRebuiltPath(const std::string& path, const PieceSet& set, bool force) {
    if (!nameTaken(path)) return kOutcomeSuccess;  // the usual case: no need to look at every piece
    for (const PieceState& piece : set.pieces)
        if (piece.present && osSameFile(path.c_str(), piece.path.c_str()))
            return fail(kOutcomeUnwritable, {"'%s' is a piece of the set itself", "'%s' 是这组块中的一块"}, path.c_str());
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))  // --force replaces files, never a folder
        return fail(kOutcomeUnwritable, {"'%s' is a folder", "'%s' 是文件夹"}, path.c_str());
    if (!force && nameTaken(path))
        return fail(kOutcomeUnwritable, {"'%s' already exists (--force replaces it)", "'%s' 已存在 (--force 可覆盖)"},
                    path.c_str());
    return kOutcomeSuccess;
}
}  // namespace

int runJoinCommand(const Options& o) {
    // A file's bytes on a terminal are noise at best and terminal commands at worst; "-o -" was meant for a pipe.
    if (o.output == "-" && !o.force && isatty(STDOUT_FILENO) == 1)
        return fail(kOutcomeUsage, {"standard output is a terminal: send it to a file or a program (-o - > FILE, "
                                    "-o - | PROGRAM), or use --force",
                                    "标准输出是终端: 请重定向到文件或程序 (-o - > 文件, -o - | 程序), 或用 --force"});
    PieceSet set;
    int code = openSetOrReport(o, set, o.yes, true);
    if (code != kOutcomeSuccess) return code;
    if ((code = reportPieceProblems(set, true)) != kOutcomeSuccess) return code;
    const bool raw = set.format == SetFormat::Raw;
    const bool toStdout = o.output == "-";

    const std::string whole = localFileName(set.storedName);
    const std::string name = fittedFileName(whole);
    std::string path, folder = o.output.empty() ? "." : o.output;
    // A join that fails leaves neither a half-made file nor a folder it made for it.
    struct Undo {
        std::string file, folder, top;  // top: the outermost folder made for it
        ~Undo() {
            if (!file.empty()) unlink(file.c_str());
            if (!folder.empty()) removeMadeFolders(folder.c_str(), top.c_str());
        }
    } undo;
    if (!toStdout) {
        char built[kTextBufferSize];
        if (!pathInFolder(folder.c_str(), name.c_str(), built))
            return fail(kOutcomeUsage, {"the output path is too long", "输出路径太长"});
        path = built;
        if ((code = checkRebuiltPath(path, set, o.force)) != kOutcomeSuccess) return code;
        if (!osFolderExists(folder.c_str())) {
            if (!makeFolder(folder, undo.top))
                return fail(outcomeOfWriteError(errno), {"cannot create the folder '%s': %s", "无法创建文件夹 '%s': %s"},
                            folder.c_str(), std::strerror(errno));
            undo.folder = folder;
        }
    }
    if (!o.quiet && !toStdout && name != whole)
        report({"the stored name is too long for this system (%zu bytes): writing '%s'",
                "保存的文件名对本系统太长 (%zu 字节): 写为 '%s'"},
               whole.size(), shownText(name).c_str());
    if (!o.quiet && set.descriptionWanted && !set.description.empty())
        report({"description: %s", "描述: %s"}, shownText(set.description).c_str());
    if (o.haveKey) {
        useKey(o.key);
    }

    // An existing file (--force) is replaced only by a whole one: the join writes beside it under a name of its
    // own and renames that into place at the end, so a join that fails leaves the old file as it was.
    const bool replacing = !toStdout && o.force && nameTaken(path);
    std::string writing = path;
    // A private file's pieces are private, and so must the file be that they rebuild.
    struct stat first;
    const unsigned mode = stat(set.pieces[0].path.c_str(), &first) == 0 ? modeAsPrivateAs(first.st_mode) : 0666;
    Descriptor output;
    if (toStdout) {
        output = Descriptor(dup(STDOUT_FILENO));
    } else {
        {
            // An interrupted join leaves no half-made file behind: armed as the file is made, so no moment is missed.
            HeldSignals held;
            output = replacing ? createTemporary(folder, writing, mode) : createOutput(path, o.force, mode);
            if (output.valid())
                removeIfInterrupted(writing.c_str(), undo.folder.empty() ? nullptr : undo.folder.c_str(),
                                    undo.top.c_str());
        }
        if (!output.valid()) {
            int error = errno;
            return fail(outcomeOfWriteError(error), {"cannot create '%s': %s", "无法创建 '%s': %s"}, path.c_str(),
                        std::strerror(error));
        }
    }
    if (!toStdout) undo.file = writing;
    Progress progress(set.size, !o.quiet);
    auto writeFailed = [&](int error) {
        progress.finish();
        return fail(outcomeOfWriteError(error), {"cannot write '%s': %s", "无法写入 '%s': %s"},
                    toStdout ? "-" : path.c_str(), std::strerror(error));
    };
    auto readFailed = [&](uint32_t piece) {
        progress.finish();
        return fail(kOutcomeMissing, {"cannot read piece %u: %s", "无法读取第 %u 块: %s"}, piece,
                    set.pieces[piece - 1].path.c_str());
    };

    DataPass pass;
    pass.decipher = o.haveKey;
    pass.sum = o.checksum && !raw && set.checksum != 0;
    // Chunks are independent: a file is written at each chunk's place by one thread per processor (measured
    // faster than a kernel copy on one). Standard output takes the data in order.
    const unsigned threads = toStdout ? 1 : threadsFor(dataChunks(set));
    // The holes of a sparse set's pieces stay holes in the file, as the split kept them: a disk image of a few
    // used GiB joins in the room it was cut from. The kernel's copy would write them out as zeros.
    pass.skipHoles = !toStdout && std::any_of(set.pieces.begin(), set.pieces.end(),
                                              [](const PieceState& piece) { return piece.holed; });
    if (!pass.decipher && !pass.sum && !pass.skipHoles && threads == 1) {
        // No byte changes and none needs looking at: the kernel moves the data.
        CopyBuffer buffer;
        for (PieceState& piece : set.pieces) {
            Descriptor opened;
            const int file = piece.readable(opened);
            CopyResult result = file >= 0 ? copyBytes(file, set.dataOffset(piece.index), output.get(), set.dataBytes(piece),
                                                      buffer.data(), kCopyBufferSize, Progress::advanceBy, &progress)
                                          : CopyResult::ReadFailed;
            if (result == CopyResult::WriteFailed) return writeFailed(errno);
            if (result != CopyResult::Done) return readFailed(piece.index);
            piece.held.close();
        }
    } else {
        if (!toStdout) {
            uint64_t total = 0;
            for (const PieceState& piece : set.pieces) total += set.dataBytes(piece);
            // Sized at once, so that the threads fill a file of its final length.
            if (!reserveLength(output.get(), total, !pass.skipHoles)) return writeFailed(errno);
        }
        PassResult result = readSetData(
            set, pass, progress,
            [&](const uint8_t* bytes, size_t count, uint64_t at) {
                if (bytes == nullptr) return true;  // a hole, left unwritten
                return toStdout ? writeAll(output.get(), bytes, count)
                                : writeAll(output.get(), bytes, count, static_cast<int64_t>(at));
            },
            threads);
        if (result == PassResult::SinkFailed) return writeFailed(pass.error);
        if (result == PassResult::ReadFailed) return readFailed(pass.failedPiece);
    }
    progress.finish();
    if (!output.close()) return writeFailed(errno);
    if (replacing && rename(writing.c_str(), path.c_str()) != 0) return writeFailed(errno);
    undo.file.clear();
    undo.folder.clear();
    keepFromNowOn();
    if (!toStdout && !raw) {
        osSetPathTimes(path.c_str(), set.created, set.accessed, set.written);
        osApplyAttributesAfterWrite(path.c_str(), set.attributes);
    }
    if (pass.sum && pass.checksum != set.checksum)
        return fail(kOutcomeChecksum,
                    {"checksum mismatch: %s differs from the file that was cut (recorded %u, found %u)%s",
                     "CRC失败: %s 与原文件不同 (记录 %u, 实际 %u)%s"},
                    toStdout ? pick({"the output", "输出"}) : path.c_str(), set.checksum, pass.checksum,
                    o.haveKey ? "" : pick({" (an enciphered set needs --key)", " (加密的块需要 --key)"}));
    // The name comes from the set, not from the user: say what was written, as a split says what it made.
    if (!o.quiet && !toStdout)
        report({"%s: rebuilt from %u piece(s) in %s", "%s: 已由 %u 块重建, 在 %s"}, shownText(name).c_str(),
               static_cast<unsigned>(set.pieces.size()), folder.c_str());
    if (!o.quiet && !raw && set.checksum == 0 && o.checksum)
        report({"the set records no checksum: the data was not checked", "这组块没有记录CRC: 数据未检查"});
    return kOutcomeSuccess;
}
