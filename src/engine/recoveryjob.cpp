// Recovery volumes in the window's jobs, on the set core: written after the pieces, used before the join's pass.
#include "engine/recoveryjob.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "engine/jobstate.h"
#include "engine/messages.h"
#include "engine/worker.h"
#include "engine/workerevents.h"
#include "set/format.h"
#include "set/setvolumes.h"
#include "set/threads.h"
#include "text/textops.h"

namespace {
uint64_t lengthOfAll(const ParitySet& set) {
    uint64_t total = 0;
    for (const ParityFile& file : set.files) total += file.length;
    return total;
}

ParityCheck checkPieces(WindowRef window, const SetVolumes& volumes) {
    WorkerEvents events(window, lengthOfAll(volumes.set), "正在检查块");
    return checkParitySet(volumes.set, volumes.folder, events, threadsFor(volumes.set.files.size()));
}

// A file's name as this system spells it (the volumes record UTF-8).
std::string localName(const std::string& recorded) {
    std::string local;
    return osFromUtf8(recorded, local) ? local : recorded;
}

// Three short lines: the fourth line of the dialog is for paths, which it shortens in the middle.
void unrepairable(WindowRef window, uint32_t needed, uint32_t there) {
    if (!jobState.quietMode) {
        char numbers[160];
        std::snprintf(numbers, sizeof numbers, "需要 %u 块, 恢复卷中只有 %u 块.", needed, there);
        messageParams.messageMode = kMessagePlain;
        messageParams.messageLine1 = "丢失或损坏的块太多, 无法修复.";
        messageParams.messageLine2 = numbers;
        messageParams.messageLine3 = "没有创建任何文件.";
        showMessageDialog(window);
    }
    jobState.jobResult.store(kResultUnrepairable);
}

// The rebuilt pieces' names, sorted, for the join's result message: as many as fit.
void noteRebuilt(const SetVolumes& volumes, const std::vector<size_t>& rebuilt) {
    std::vector<std::string> names;
    for (size_t f : rebuilt) names.push_back(localName(volumes.set.files[f].name));
    std::sort(names.begin(), names.end());
    std::string list;
    for (const std::string& name : names) {
        const std::string next = list.empty() ? name : list + ", " + name;
        if (next.size() + 8 >= kTextBufferSize) {
            list += ", …";
            break;
        }
        list = next;
    }
    copyTextBounded(list.c_str(), jobState.rebuiltPieces, kTextBufferSize);
}
}  // namespace

void removeStaleVolumes(OutputFiles& outputs) {
    if (jobState.removableTarget) return;
    for (const std::string& stale : volumesOfStem(jobState.outputFolder, jobState.pieceStem))
        outputs.removeAtCommit(stale);
}

bool addRecoveryVolumes(WindowRef window, OutputFiles& outputs, const std::vector<std::string>& finals) {
    // To removable media the pieces leave disk by disk: nothing could be read back to compute volumes over.
    if (jobState.removableTarget) return true;
    if (settings.recoveryCount == 0) return true;
    char name[kTextBufferSize];
    fileNameOfPath(jobState.sourcePath, name);
    const uint32_t blocks = recoveryBlocksFor(jobState.pieceCount, settings.recoveryCount, settings.recoveryPercent != 0);
    const RecoveryPlan plan = recoveryPlanFor(jobState.outputFolder, name, blocks, finals, &outputs);
    uint64_t total = 0;
    for (const ProtectedFile& file : plan.files) total += file.length;
    WorkerEvents events(window, total, "正在计算恢复卷");
    const RecoveryResult result = writeRecoveryVolumes(plan, outputs, events, threadsFor(plan.files.size()));
    if (result.what == RecoveryResult::Done) return true;
    outputs.rollBack();
    if (result.what == RecoveryResult::Stopped) {
        jobState.jobResult.store(kResultCancelled);
        finishJob();
        return false;
    }
    removeMadeOutputFolder();
    fatalWriteError(window);
}

bool repairPiecesFirst(WindowRef window, const char* firstPiece, OutputFiles& outputs, StandIns& standIns) {
    jobState.rebuiltPieces[0] = 0;
    const SetVolumes volumes = findVolumes(firstPiece);
    if (!volumes.found()) return true;
    const ParityCheck check = checkPieces(window, volumes);
    if (!ownFileToRebuild(volumes, check)) return true;
    if (!check.repairable()) {
        unrepairable(window, check.lost, check.blocks);
        return false;
    }
    WorkerEvents events(window, static_cast<uint64_t>(check.files.size()) * volumes.set.sliceSize, "正在重建块");
    std::vector<size_t> rebuilt;
    const ParityRepair result = rebuildOwnFiles(
        volumes, check,
        [&](size_t f) {
            const std::string writing = outputs.scratch();
            outputs.created(writing);
            standIns[localName(volumes.set.files[f].name)] = writing;
            return RebuiltName{writing, writing};
        },
        events, rebuilt);
    switch (result.what) {
        case ParityRepair::Done: noteRebuilt(volumes, rebuilt); return true;
        case ParityRepair::Stopped: jobState.jobResult.store(kResultCancelled); return false;
        case ParityRepair::TooMuchDamage:
        case ParityRepair::Unsolvable:
        case ParityRepair::Mismatch:
            // Volumes that do not solve, or rebuild what their own digests refuse, are not this set's.
            refuseJob(window, "恢复卷无法重建丢失的块, 没有创建任何文件.", volumes.set.volumes[0].c_str());
            jobState.jobResult.store(kResultUnrepairable);
            return false;
        case ParityRepair::ReadFailed: refuseJob(window, "文件读取错误", result.path.c_str()); return false;
        case ParityRepair::WriteFailed: break;
    }
    outputs.rollBack();
    removeMadeOutputFolder();
    fatalWriteError(window);
}

FirstPiece firstPieceFromVolumes(WindowRef window, const char* firstPiece, uint8_t* bytes, uint32_t count,
                                 uint32_t* got, uint64_t* length) {
    const SetVolumes volumes = findVolumes(firstPiece);
    char name[kTextBufferSize];
    fileNameOfPath(firstPiece, name);
    std::string recorded;
    if (!volumes.found() || !osToUtf8(name, recorded)) return FirstPiece::NoVolumes;
    size_t file = 0;
    while (file < volumes.set.files.size() && volumes.set.files[file].name != recorded) file++;
    if (file == volumes.set.files.size()) return FirstPiece::NoVolumes;
    SetEvents quiet;
    const ParityCheck check = checkParitySet(volumes.set, volumes.folder, quiet, threadsFor(volumes.set.files.size()));
    if (!check.repairable()) {
        unrepairable(window, check.lost, check.blocks);
        // Only a script's run ends on it; a window stays open for the next file.
        if (!jobState.quietMode) jobState.jobResult.store(kResultSuccess);
        return FirstPiece::TooMuchDamage;
    }
    const std::vector<uint8_t> start = rebuildStartOf(volumes.set, check, file, count, quiet);
    if (start.empty()) return FirstPiece::NoVolumes;
    std::memcpy(bytes, start.data(), start.size());
    *got = static_cast<uint32_t>(start.size());
    *length = volumes.set.files[file].length;
    return FirstPiece::Rebuilt;
}

std::string firstPieceOfVolume(const char* volume) {
    const SetVolumes volumes = findVolumes(volume);
    if (!volumes.found() || volumes.stem.empty()) return "";
    std::string stem = localName(volumes.stem);
    char first[kTextBufferSize];
    return buildPath(first, volumes.folder.c_str(), stem.c_str(), "0001.trn") ? first : "";
}

void addRebuiltPiecesToResult() {
    if (jobState.isSplit == 1 || jobState.rebuiltPieces[0] == 0 ||
        jobState.jobResult.load(std::memory_order_acquire) != kResultSuccess)
        return;
    messageParams.messageLine3 = "已由恢复卷重建:";
    messageParams.messageLine4 = jobState.rebuiltPieces;
}
