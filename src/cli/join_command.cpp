// tarn join: rebuilds the file of a set into a folder or onto standard output, checked as it is written.
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/fileio.h"
#include "cli/interrupt.h"
#include "cli/outcome.h"
#include "cli/report.h"
#include "cli/setcheck.h"
#include "cli/volumes.h"
#include "os/files.h"
#include "os/os.h"
#include "set/datapass.h"
#include "set/format.h"
#include "set/rebuild.h"
#include "set/text.h"
#include "set/threads.h"
#include "text/textops.h"

namespace {

// The rebuilt file's place: refused when it is one of the set's own pieces, or exists without --force.
int checkRebuiltPath(const std::string& path, const PieceSet& set, bool force) {
    const EntryKind there = osEntryKind(path);
    if (there == EntryKind::None) return kOutcomeSuccess;  // the usual case: no need to look at every piece
    for (const PieceState& piece : set.pieces)
        if (piece.present && osSameFile(path.c_str(), piece.path.c_str()))
            return fail(kOutcomeUnwritable, {"'%s' is a piece of the set itself", "'%s' 是这组块中的一块"}, path.c_str());
    if (there == EntryKind::Folder)  // --force replaces files, never a folder
        return fail(kOutcomeUnwritable, {"'%s' is a folder", "'%s' 是文件夹"}, path.c_str());
    if (!force)
        return fail(kOutcomeUnwritable, {"'%s' already exists (--force replaces it)", "'%s' 已存在 (--force 可覆盖)"},
                    path.c_str());
    return kOutcomeSuccess;
}
// What a rebuild that did not end well says, and the exit code it deserves.
int rebuildFailed(const Options& o, const PieceSet& set, const RebuildResult& result, const std::string& path) {
    const bool toStdout = path == "-";
    switch (result.what) {
        case RebuildResult::Done: return kOutcomeSuccess;
        case RebuildResult::Stopped: return kOutcomeInterrupted;
        case RebuildResult::ReadFailed:
        case RebuildResult::Misfit:
            return fail(kOutcomeMissing, {"cannot read piece %u: %s", "无法读取第 %u 块: %s"}, result.failedPiece,
                        result.failedPiece ? set.pieces[result.failedPiece - 1].path.c_str() : "");
        case RebuildResult::CreateFailed:
            return fail(outcomeOfWriteError(result.error), {"cannot create '%s': %s", "无法创建 '%s': %s"}, path.c_str(),
                        osFileErrorText(result.error).c_str());
        case RebuildResult::WriteFailed:
            return fail(outcomeOfWriteError(result.error), {"cannot write '%s': %s", "无法写入 '%s': %s"}, path.c_str(),
                        osFileErrorText(result.error).c_str());
        case RebuildResult::ChecksumMismatch: break;
    }
    return fail(kOutcomeChecksum,
                {"checksum mismatch: the data differs from the file that was cut (recorded %u, found %u): kept as %s%s",
                 "CRC失败: 数据与原文件不同 (记录 %u, 实际 %u): 保存为 %s%s"},
                set.checksum, result.found, toStdout ? pick({"the output", "输出"}) : shownText(result.path).c_str(),
                o.haveKey ? "" : pick({" (an enciphered set needs --key)", " (加密的块需要 --key)"}));
}

// Lost or damaged pieces rebuilt first from the set's recovery volumes, into files of the join's own that it reads
// instead and that go with it: the set's folder is only read.
int repairOnTheWay(const Options& o, OutputFiles& outputs, StandIns& standIns) {
    const SetVolumes volumes = findVolumes(o.operand);
    if (!volumes.found()) return kOutcomeSuccess;
    const ParityCheck check = checkWithVolumes(volumes, o.quiet);
    if (!ownFileToRebuild(volumes, check)) return kOutcomeSuccess;
    if (!o.quiet) reportDamage(volumes, check);
    if (check.repairable() && !outputs.makeFolder()) {
        const FileStatus error = osLastFileError();
        return fail(outcomeOfWriteError(error), {"cannot create the folder '%s': %s", "无法创建文件夹 '%s': %s"},
                    outputs.folder().c_str(), osFileErrorText(error).c_str());
    }
    std::vector<size_t> rebuilt;
    const int code = repairOwnFiles(
        volumes, check,
        [&](size_t f) {
            const std::string writing = outputs.scratch();
            outputs.created(writing);
            standIns[volumes.set.files[f].name] = writing;
            // Written in the output folder, not the set's: the message says where.
            return RebuiltName{writing, volumes.set.files[f].name + pick({" (rebuilt in ", " (重建于 "}) +
                                            outputs.folder() + ")"};
        },
        o.quiet, rebuilt);
    if (code != kOutcomeSuccess) return code;
    std::vector<std::string> sorted;
    for (size_t f : rebuilt) sorted.push_back(shownText(volumes.set.files[f].name));
    std::sort(sorted.begin(), sorted.end());
    std::string names;
    for (size_t i = 0; i < sorted.size() && i < 10; i++) names += (i ? ", " : "") + sorted[i];
    if (sorted.size() > 10) names += pick({" and ", " 以及另外 "}) + std::to_string(sorted.size() - 10) + pick({" more", " 个"});
    if (!o.quiet)
        report({"rebuilt from the recovery volumes: %s", "已由恢复卷重建: %s"}, names.c_str());
    return kOutcomeSuccess;
}
}  // namespace

int runJoinCommand(const Options& o) {
    // A file's bytes on a terminal are noise at best and terminal commands at worst; "-o -" was meant for a pipe.
    if (o.output == "-" && !o.force && isatty(STDOUT_FILENO) == 1)
        return fail(kOutcomeUsage, {"standard output is a terminal: send it to a file or a program (-o - > FILE, "
                                    "-o - | PROGRAM), or use --force",
                                    "标准输出是终端: 请重定向到文件或程序 (-o - > 文件, -o - | 程序), 或用 --force"});
    const bool toStdout = o.output == "-";
    const std::string folder = o.output.empty() || toStdout ? "." : o.output;
    // A join that fails leaves neither a half-made file nor a folder it made for it; an existing file (--force) is
    // replaced only by a whole one.
    OutputFiles outputs(folder);
    StandIns standIns;
    int code = repairOnTheWay(o, outputs, standIns);
    if (code != kOutcomeSuccess) return code;
    PieceSet set;
    if ((code = openSetOrReport(o, set, o.yes, true, standIns)) != kOutcomeSuccess) return code;
    if ((code = reportPieceProblems(set, true)) != kOutcomeSuccess) return code;
    const bool raw = set.format == SetFormat::Raw;

    const std::string whole = localFileName(set.storedName);
    const std::string name = fittedFileName(whole);
    std::string path;
    if (!toStdout) {
        char built[kTextBufferSize];
        if (!pathInFolder(folder.c_str(), name.c_str(), built))
            return fail(kOutcomeUsage, {"the output path is too long", "输出路径太长"});
        path = built;
        // A run killed here before is finished or undone first, so that what is checked is what is there.
        if (osFolderExists(folder.c_str())) recoverFolder(folder, o.quiet);
        if ((code = checkRebuiltPath(path, set, o.force)) != kOutcomeSuccess) return code;
        if (!outputs.makeFolder()) {
            const FileStatus error = osLastFileError();
            return fail(outcomeOfWriteError(error), {"cannot create the folder '%s': %s", "无法创建文件夹 '%s': %s"},
                        folder.c_str(), osFileErrorText(error).c_str());
        }
        // A signal stops the pass, which then removes the file it was writing and the folders made for it.
        stopOnSignal();
    }
    if (!o.quiet && !toStdout) reportStoredNameChange(set.storedName, whole);
    if (!o.quiet && !toStdout && name != whole)
        report({"the stored name is too long for this system (%zu bytes): writing '%s'",
                "保存的文件名对本系统太长 (%zu 字节): 写为 '%s'"},
               whole.size(), shownText(name).c_str());
    if (!o.quiet && set.descriptionWanted && !set.description.empty())
        report({"description: %s", "描述: %s"}, shownText(set.description).c_str());

    RebuildRequest request;
    request.path = path;
    OsFile standardOutput = toStdout ? OsFile::adopt(STDOUT_FILENO) : OsFile();
    request.stream = toStdout ? &standardOutput : nullptr;
    request.decipher = o.haveKey;
    if (o.haveKey) request.key = cipherKeyOf(o.key);
    request.check = o.checksum && !raw && set.checksum != 0;
    // A private file's pieces are private, and so must the file be that they rebuild.
    request.mode = set.pieces[0].held.valid() ? set.pieces[0].held.modeForCopies() : 0666;
    // Chunks are independent: a file is written at each chunk's place by one thread per processor (measured
    // faster than a kernel copy on one). Standard output takes the data in order.
    request.threads = toStdout ? 1 : threadsFor(dataChunks(set));
    Progress progress(set.size, !o.quiet);
    const RebuildResult result = rebuildFile(set, request, outputs, progress);
    progress.finish();
    if (result.what != RebuildResult::Done) return rebuildFailed(o, set, result, toStdout ? "-" : path);
    // The name comes from the set, not from the user: say what was written, as a split says what it made.
    if (!o.quiet && !toStdout)
        report({"%s: rebuilt from %u piece(s) in %s", "%s: 已由 %u 块重建, 在 %s"}, shownText(name).c_str(),
               static_cast<unsigned>(set.pieces.size()), folder.c_str());
    if (!o.quiet && !raw && set.checksum == 0 && o.checksum)
        report({"the set records no checksum: the data was not checked", "这组块没有记录CRC: 数据未检查"});
    return kOutcomeSuccess;
}
