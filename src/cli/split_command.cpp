// tarn split: cuts a file, or standard input, into a set in one pass, the checksum and the key applied on the way;
// the pieces are written under names of their own and take their names together once the set is whole.
#include <algorithm>
#include <cstring>
#include <vector>

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/fileio.h"
#include "cli/interrupt.h"
#include "cli/outcome.h"
#include "cli/split_source.h"
#include "cli/times.h"
#include "os/os.h"
#include "set/cut.h"
#include "set/format.h"
#include "set/pieceset.h"
#include "set/recovery.h"
#include "cli/report.h"
#include "cli/volumes.h"
#include "set/text.h"
#include "set/threads.h"
#include "text/textops.h"

namespace {
constexpr uint32_t kArchiveAttribute = 0x20;

// A name the split will create: refused when it is the source, or when it exists and --force was not given.
int checkTarget(const std::string& path, const Source& source, bool force) {
    if (!source.path.empty() && osSameFile(path.c_str(), source.path.c_str()))
        return fail(kOutcomeUnwritable, {"'%s' is the file being split", "'%s' 就是要劈分的文件"}, path.c_str());
    const EntryKind there = osEntryKind(path);
    // --force replaces files, never a folder: found now, before anything is written.
    if (there == EntryKind::Folder) return fail(kOutcomeUnwritable, {"'%s' is a folder", "'%s' 是文件夹"}, path.c_str());
    if (!force && there != EntryKind::None)
        return fail(kOutcomeUnwritable, {"'%s' already exists (--force replaces it)", "'%s' 已存在 (--force 可覆盖)"},
                    path.c_str());
    return kOutcomeSuccess;
}

// With --force a set is replaced whole: the old set's pieces past the new count would otherwise stay beside the
// new one, to be counted, copied and mailed with it. Only the old set's own pieces go: those its first piece or
// its script counts, or else for pieces without header their unbroken run from the first. Never the source, and
// only once the new set is whole. The old set's script goes too when the new set has none: run on Windows it
// would copy the new pieces, headers and all, into a damaged file.
struct OldSetRest {
    uint32_t pieces = 0;
    bool script = false;
};
OldSetRest oldSetRest(const std::string& folder, const char* stem, uint32_t newCount, const Source& source,
                      const std::string& scriptPath, bool newScript, OutputFiles& outputs) {
    OldSetRest rest;
    const std::string first = pathOfPiece(folder, stem, 1);
    if (osEntryKind(first) != EntryKind::File) return rest;
    uint32_t scripted = 0, oldCount = kMaxPieces;  // a run, up to the first piece missing
    bool counted = false;
    char name[kTextBufferSize];
    const bool oldScriptFits = !scriptPath.empty() && osEntryKind(scriptPath) == EntryKind::File &&
                               readSetScript(scriptPath, stem, scripted, name);
    uint8_t header[kHeaderSize];
    OsFile file = OsFile::openRead(first);
    if (file.valid() && file.readAt(header, kHeaderSize, 0) == static_cast<int64_t>(kHeaderSize) &&
        identifySet(header, kHeaderSize) == SetKind::ThisVersion) {
        oldCount = headerPieceCount(header);
        counted = true;
    } else if (oldScriptFits) {
        oldCount = scripted;
        counted = true;
    }
    if (oldScriptFits && !newScript) {
        outputs.removeAtCommit(scriptPath);
        rest.script = true;
    }
    for (uint32_t index = newCount + 1; index <= oldCount && index <= kMaxPieces; index++) {
        const std::string path = pathOfPiece(folder, stem, index);
        const bool there = !path.empty() && osEntryKind(path) == EntryKind::File;
        if (!there && !counted) break;
        if (!there || (!source.path.empty() && osSameFile(path.c_str(), source.path.c_str()))) continue;
        outputs.removeAtCommit(path);
        rest.pieces++;
    }
    return rest;
}

int cutFailed(const CutResult& result, const Source& source) {
    switch (result.what) {
        case CutResult::Done: return kOutcomeSuccess;
        case CutResult::Stopped: return kOutcomeInterrupted;
        case CutResult::CreateFailed:
            return fail(outcomeOfWriteError(result.error), {"cannot create '%s': %s", "无法创建 '%s': %s"},
                        result.path.c_str(), osFileErrorText(result.error).c_str());
        case CutResult::WriteFailed:
            return fail(outcomeOfWriteError(result.error), {"cannot write '%s': %s", "无法写入 '%s': %s"},
                        result.path.c_str(), osFileErrorText(result.error).c_str());
        case CutResult::ReadFailed: break;
    }
    return fail(kOutcomeMissing, {"cannot read '%s' to its end", "无法读完 '%s'"}, source.path.c_str());
}

// The header as it stands now, at the start of the first piece (written under its own name).
bool rewriteHeader(const std::string& writing, const SetHeader& header) {
    uint8_t bytes[kHeaderSize];
    encodeHeader(header, bytes);
    OsFile first = OsFile::openUpdate(writing);
    return first.valid() && first.writeAt(bytes, kHeaderSize, 0) && first.close();
}

// A one-piece set is read back with the key over its own range (onePieceCipherSpan), not the one of the piece size
// a stream was cut with: the bytes between the two are put right.
bool recipher(const std::string& path, uint64_t dataOffset, uint64_t from, uint64_t to, const CipherKey& key) {
    if (from >= to) return true;
    OsFile file = OsFile::openUpdate(path);
    std::vector<uint8_t> bytes(to - from);
    if (!file.valid() || file.readAt(bytes.data(), bytes.size(), dataOffset + from) != static_cast<int64_t>(bytes.size()))
        return false;
    cipherBytes(key, bytes.data(), static_cast<uint32_t>(bytes.size()), from);
    return file.writeAt(bytes.data(), bytes.size(), dataOffset + from) && file.close();
}

int writeFailed(const std::string& path) {
    const FileStatus error = osLastFileError();
    return fail(outcomeOfWriteError(error), {"cannot write '%s': %s", "无法写入 '%s': %s"}, path.c_str(),
                osFileErrorText(error).c_str());
}

// The header as far as it is known before the cut; the checksum (and a stream's size and count) come after.
SetHeader headerBefore(const Options& o, const Source& source, const HeaderText& name, const HeaderText& description,
                       uint32_t count) {
    SetHeader header;
    header.pieceCount = count;
    header.size = source.size;
    header.name = name.field;
    header.nameCopy = name.copy;
    header.description = description.field;
    header.descriptionCopy = description.copy;
    header.descriptionFlag = o.haveDescription ? 1 : 0;
    if (source.stream) {
        header.created = header.accessed = header.written = filetimeNow();
        header.attributes = kArchiveAttribute;
    } else {
        // Read before the data is: reading moves the access time.
        osGetFileTimes(source.file.native(), &header.created, &header.accessed, &header.written);
        header.attributes = osGetAttributes(source.path.c_str());
    }
    return header;
}

// Cuts a regular file as planned into outputs; count and checksum come back through cut.
int cutRegular(const Options& o, const Source& source, const std::string& folder, const char* stem,
               const uint8_t* header, uint64_t pieceBytes, uint32_t count, OutputFiles& outputs, Progress& progress,
               StreamCut& cut) {
    CutPlan plan;
    plan.source = &source.file;
    plan.size = source.size;
    plan.pieceBytes = pieceBytes;
    for (uint32_t index = 1; index <= count; index++) plan.paths.push_back(outputs.add(pathOfPiece(folder, stem, index)));
    plan.mode = source.mode;
    plan.header = header;
    plan.checksum = o.checksum;
    plan.enciphered = o.haveKey;
    if (o.haveKey) plan.key = cipherKeyOf(o.key);
    plan.cipherSpan = count == 1 ? onePieceCipherSpan(source.size, header != nullptr)
                                 : cipherSpanOf(pieceBytes + (header ? kHeaderSize : 0));
    const unsigned threads = threadsFor(cutChunks(plan));
    // The kernel's copy where no byte changes, on one thread: two threads reading and writing measured faster.
    plan.kernelCopy = !o.checksum && !o.haveKey && threads == 1;
    plan.keepOpen = piecesToKeepOpen(count, recoveryBlocks(o, count) != 0);
    const CutResult result = cutFile(plan, progress, threads);
    for (size_t i = 0; i < result.made.size(); i++) outputs.created(result.made[i], result.open[i]);
    if (result.what != CutResult::Done) {
        progress.finish();
        return cutFailed(result, source);
    }
    cut.count = count;
    cut.size = source.size;
    cut.checksum = result.checksum;
    return kOutcomeSuccess;
}
// Where and as what a split writes its set.
struct SetPlace {
    const std::string& folder;
    const char* stem;
    const std::string& name;        // the file's name here
    const std::string& storedName;  // as the header and the script store it
    const char* scriptPath;
    uint64_t pieceBytes;
};

// After the data: a stream's one-piece key range put right, the header with what only the end knows, the script.
int completeSet(const Options& o, const Source& source, const SetPlace& place, SetHeader& header, const StreamCut& cut,
                OutputFiles& outputs) {
    const std::string& folder = place.folder;
    const char* stem = place.stem;
    const uint64_t pieceBytes = place.pieceBytes;
    const std::string firstPath = pathOfPiece(folder, stem, 1);
    const std::string firstWriting = outputs.writingOf(firstPath);
    if (source.stream && cut.count == 1 && o.haveKey) {
        const uint64_t span = cipherSpanOf(pieceBytes + (o.script ? 0 : kHeaderSize));
        const uint64_t covered = std::min(span, cut.size);
        const uint64_t wanted = std::min(onePieceCipherSpan(cut.size, !o.script), cut.size);
        if (!recipher(firstWriting, o.script ? 0 : kHeaderSize, std::min(covered, wanted), std::max(covered, wanted),
                      cipherKeyOf(o.key)))
            return writeFailed(firstPath);
    }
    if (!o.script) {
        header.pieceCount = cut.count;
        header.size = cut.size;
        header.checksum = o.checksum ? cut.checksum : 0;
        if (!rewriteHeader(firstWriting, header)) return writeFailed(firstPath);
        return kOutcomeSuccess;
    }
    std::vector<char> script(13 * kMaxPieces + 16 + 2 * kTextBufferSize);
    // cmd reads the script in code page 936, the pieces' names as well as the file's: "报告0001.trn" is found by
    // the bytes of 报告 in that code page, not in UTF-8.
    const uint32_t length = buildRebuildScript(storedStemFor(place.name).c_str(), cut.count, place.storedName.c_str(),
                                               script.data(), static_cast<uint32_t>(script.size()));
    const std::string writing = outputs.add(place.scriptPath);
    OsFile file = OsFile::createNew(writing, source.mode);
    if (file.valid()) outputs.created(writing);
    if (!file.valid() || !file.writeAt(reinterpret_cast<const uint8_t*>(script.data()), length, 0) || !file.close())
        return writeFailed(place.scriptPath);
    return kOutcomeSuccess;
}

// Recovery volumes over the new set's files as they will lie on disk (pieces, and the script of a script set).
int addRecovery(const Options& o, const SetPlace& place, const StreamCut& cut, OutputFiles& outputs,
                Progress& progress) {
    std::vector<std::string> finals;
    for (uint32_t index = 1; index <= cut.count; index++) finals.push_back(pathOfPiece(place.folder, place.stem, index));
    if (o.script) finals.push_back(place.scriptPath);
    const RecoveryPlan plan =
        recoveryPlanFor(place.folder, place.name, recoveryBlocks(o, cut.count), finals, &outputs);
    return recoveryFailed(writeRecoveryVolumes(plan, outputs, progress, threadsFor(plan.files.size())));
}

// A file written to while it was cut (a log, a download) is longer now than the set: the set is whole and holds
// what the file was at the start, but the user must hear that it is not the file as it is now, as tar says.
int grewMeanwhile(const Source& source) {
    const uint64_t now = source.stream ? 0 : source.file.length();
    if (now <= source.size) return kOutcomeSuccess;
    return fail(kOutcomeChanged,
                {"'%s' grew while it was cut, from %s to %s bytes: the set holds its first %s bytes",
                 "'%s' 在劈分时变长了, 从 %s 到 %s 字节: 这组块只含前 %s 字节"},
                source.path.c_str(), groupedNumber(source.size).c_str(), groupedNumber(now).c_str(),
                groupedNumber(source.size).c_str());
}

void reportSplit(const Options& o, const SetPlace& place, const StreamCut& cut, const OldSetRest& rest,
                 const SizePlan& sizes) {
    // The first piece is the largest file: the header, and as much data as any other piece.
    const uint64_t largest = (cut.count == 1 ? cut.size : place.pieceBytes) + (o.script ? 0 : kHeaderSize);
    report({"%s: %u piece(s) of at most %s in %s", "%s: %u 块, 每块最多 %s, 在 %s"}, place.name.c_str(), cut.count,
           humanBytes(largest).c_str(), place.folder.c_str());
    reportSizes(sizes);
    const std::string scriptName = scriptFileName(place.storedName);
    if (o.script && scriptName != place.storedName)
        report({"%s names the file '%s': cmd cannot quote its stored name", "%s 将文件命名为 '%s': cmd 无法引用原名"},
               kScriptName, shownText(scriptName).c_str());
    if (rest.pieces > 0)
        report({"removed %u later piece(s) of the set it replaced", "删除了被替换的那组块中后面的 %u 块"}, rest.pieces);
    if (rest.script) report({"removed the %s of the set it replaced", "删除了被替换的那组块的 %s"}, kScriptName);
    if (o.haveRecovery)
        report({"%u recovery volume(s) beside it: as many lost or damaged pieces can be rebuilt",
                "旁边有 %u 个恢复卷: 同样多的丢失或损坏的块可以重建"},
               recoveryBlocks(o, cut.count));
}
}  // namespace

int runSplitCommand(const Options& o) {
    // A signal stops the cut, which then removes what it made; the files it would replace are untouched till then.
    stopOnSignal();
    Source source;
    std::string name;
    int code = openSource(o, source, name);
    if (code != kOutcomeSuccess) return code;
    // The script names the file as cmd reads it; the header in code page 936 with a copy of what it lacks.
    const std::string storedName = storedText(name);
    const HeaderText headerName = headerTextFor(name), headerDescription = headerTextFor(o.description);
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == ".." ||
        !textCopyFits(headerName.field, headerName.copy))
        return fail(kOutcomeUsage, {"not a file name to store: '%s'", "不能存储的文件名: '%s'"}, name.c_str());
    if (!textCopyFits(headerDescription.field, headerDescription.copy))
        return fail(kOutcomeUsage, headerDescription.copy.empty()
                                       ? Text{"the description is longer than 299 bytes", "描述超过 299 字节"}
                                       : Text{"the description is longer than 288 bytes of UTF-8",
                                              "描述超过 288 字节 (UTF-8)"});
    SizePlan sizes;
    if (!source.stream && (code = settleSizes(o, source.size, sizes)) != kOutcomeSuccess) return code;
    if (source.stream) {
        // Each piece as large as the size allows: a number is the largest piece file, a preset its data.
        const uint64_t asked = static_cast<uint64_t>(o.haveSize ? o.sizeKiB : 899) * 1024;
        sizes.pieceBytes = o.haveSize && !o.sizePreset && !o.script ? asked - kHeaderSize : asked;
    }
    const uint64_t pieceBytes = sizes.pieceBytes;
    const uint32_t plannedCount = sizes.count;

    const std::string folder = outputFolderFor(o, name);
    char stem[16];
    pieceStemFor(name, stem);
    char scriptPath[kTextBufferSize] = "";
    // The script's place is wanted without --script too: an old set's script may have to go.
    if (!pathInFolder(folder.c_str(), kScriptName, scriptPath)) scriptPath[0] = 0;
    if (folder.empty() || pathOfPiece(folder, stem, 1).empty() || (o.script && scriptPath[0] == 0))
        return fail(kOutcomeUsage, {"the output path is too long", "输出路径太长"});
    // A run killed here before is finished or undone first, so that what is checked is what is there.
    if (osFolderExists(folder.c_str())) recoverFolder(folder, o.quiet);
    // Everything that would be replaced is checked before anything is written.
    const uint32_t checkUpTo = source.stream ? 1 : plannedCount;
    for (uint32_t index = 1; index <= checkUpTo; index++)
        if ((code = checkTarget(pathOfPiece(folder, stem, index), source, o.force)) != kOutcomeSuccess) return code;
    if (o.script && (code = checkTarget(scriptPath, source, o.force)) != kOutcomeSuccess) return code;

    OutputFiles outputs(folder);
    if (!outputs.makeFolder()) {
        const FileStatus error = osLastFileError();
        return fail(outcomeOfWriteError(error), {"cannot create the folder '%s': %s", "无法创建文件夹 '%s': %s"},
                    folder.c_str(), osFileErrorText(error).c_str());
    }
    SetHeader header = headerBefore(o, source, headerName, headerDescription, plannedCount);
    uint8_t headerBytes[kHeaderSize];
    encodeHeader(header, headerBytes);
    const uint8_t* start = o.script ? nullptr : headerBytes;
    Progress progress(source.size, !o.quiet);
    StreamCut cut;
    if (source.stream) {
        StreamPlan plan;
        plan.header = start;
        plan.pieceBytes = pieceBytes;
        plan.checksum = o.checksum;
        plan.enciphered = o.haveKey;
        if (o.haveKey) plan.key = cipherKeyOf(o.key);
        code = cutStream(source, folder, stem, plan, outputs, progress, cut);
    } else {
        code = cutRegular(o, source, folder, stem, start, pieceBytes, plannedCount, outputs, progress, cut);
    }
    progress.finish();
    if (code != kOutcomeSuccess) return code;
    if (stopRequested()) return kOutcomeInterrupted;

    if ((code = completeSet(o, source, SetPlace{folder, stem, name, storedName, scriptPath, pieceBytes}, header, cut,
                            outputs)) != kOutcomeSuccess)
        return code;
    if (o.haveRecovery) {
        Progress volumes(0, !o.quiet);
        const SetPlace place{folder, stem, name, storedName, scriptPath, pieceBytes};
        if ((code = addRecovery(o, place, cut, outputs, volumes)) != kOutcomeSuccess) return code;
    }
    const OldSetRest rest =
        o.force ? oldSetRest(folder, stem, cut.count, source, scriptPath, o.script, outputs) : OldSetRest();
    // Volumes an earlier set of these pieces' names left would call the new pieces damaged.
    for (const std::string& stale : volumesOfStem(folder, stem)) outputs.removeAtCommit(stale);
    if (stopRequested()) return kOutcomeInterrupted;
    {
        // From here the new set takes its names: a signal waits until it has them all.
        HeldSignals held;
        if (!outputs.commit()) return writeFailed(folder);
    }
    if (!o.quiet) reportSplit(o, SetPlace{folder, stem, name, storedName, scriptPath, pieceBytes}, cut, rest, sizes);
    return grewMeanwhile(source);
}
