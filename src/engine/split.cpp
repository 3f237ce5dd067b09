// The window's split on the set core: every question first, then the pieces (and the script) under names of their
// own, renamed into place once the set is whole; to removable media piece by piece, each disk asked for.
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "engine/checksum.h"
#include "engine/controlids.h"
#include "engine/jobstate.h"
#include "engine/pieceformat.h"
#include "engine/recoveryjob.h"
#include "engine/worker.h"
#include "engine/workerevents.h"
#include "os/files.h"
#include "set/cut.h"
#include "set/outputs.h"
#include "set/text.h"
#include "set/threads.h"
#include "text/textops.h"

namespace {
std::string piecePath(uint32_t index) {
    char name[32], path[kTextBufferSize];
    pieceNameOf(jobState.pieceStem, index, name);
    pathInFolder(jobState.outputFolder, name, path);  // fits: checked at the start
    return path;
}

// Every piece name something bears already is asked about before anything is written; to removable media each
// disk is asked about as it comes in (WorkerEvents::pieceBegins).
// The folder is listed once rather than asked about every name: a name that is not there costs a search of the
// folder on some systems (Wine matches names without regard to case), and a thousand pieces made that the cost.
bool askAboutNames(WindowRef window) {
    if (jobState.removableTarget) return true;
    std::set<std::string> taken;
    for (std::string name : osListFolder(jobState.outputFolder)) {
        lowerAscii(&name[0]);
        taken.insert(name);
    }
    for (uint32_t index = 1; index <= jobState.pieceCount && !taken.empty(); index++) {
        char name[32];
        pieceNameOf(jobState.pieceStem, index, name);
        if (taken.count(lowerAscii(name)) == 0) continue;
        askOverwrite(window, piecePath(index).c_str());
        if (jobState.jobResult.load() == kResultCancelled) return false;
    }
    return true;
}

// The script is one more file the split creates: never over the source, never over another file unasked.
bool addScript(WindowRef window, OutputFiles& outputs) {
    char path[kTextBufferSize];
    if (!pathInFolder(jobState.outputFolder, kScriptName, path)) return true;  // checked at the start
    if (osSameFile(path, jobState.sourcePath)) {
        refuseJob(window, "不能用脚本覆盖要劈分的文件.", path);
        return false;
    }
    askOverwrite(window, path);
    if (jobState.jobResult.load() == kResultCancelled) return false;
    // 13 bytes a piece, the command and the quoted name, each % of it doubled: at most 13 * 9999 + 10 + 2 * 599.
    static char script[13 * 9999 + 16 + 2 * kTextBufferSize];
    // cmd reads the script in code page 936, the pieces' names as well as the file's.
    char local[kTextBufferSize];
    fileNameOfPath(jobState.sourcePath, local);
    const uint32_t length = buildRebuildScript(storedStemFor(local).c_str(), jobState.pieceCount,
                                               storedText(local).c_str(), script, sizeof script);
    const std::string writing = outputs.add(path, jobState.removableTarget != 0);
    if (jobState.removableTarget) osRemoveFile(path);  // asked about above
    OsFile file = OsFile::createNew(writing);
    if (file.valid()) outputs.created(writing);
    if (!file.valid() || !file.writeAt(reinterpret_cast<const uint8_t*>(script), length, 0) || !file.close()) {
        outputs.rollBack();
        fatalWriteError(window);
    }
    return true;
}

// The source's times and attributes, and its checksum where the first piece cannot wait for the end of the cut.
void readSourceRecord(WindowRef window, bool checksumFirst) {
    // The source's times as the user left them: reading it moves its access time on POSIX.
    FileHandle early = osOpenExisting(jobState.sourcePath, true);
    if (early != kNoFile)
        osGetFileTimes(early, &jobState.creationTime, &jobState.lastAccessTime, &jobState.lastWriteTime);
    osClose(early);
    jobState.checksum = 0;
    if (checksumFirst) {
        setWindowCaption(window, "正在检查CRC");
        jobState.checksum = fileChecksum(jobState.sourcePath);
        setControlNumber(window, kIdChecksumDisplay, jobState.checksum);
    }
    jobState.fileAttributes = osGetAttributes(jobState.sourcePath);
}

CutPlan planCut(const OsFile& source, OutputFiles& outputs, const uint8_t* header, WorkerEvents& events) {
    CutPlan plan;
    plan.source = &source;
    plan.size = wideValue(jobState.sourceSize);
    plan.pieceBytes = static_cast<uint64_t>(jobState.pieceSizeKB) * 1024;
    const bool direct = jobState.removableTarget != 0;
    for (uint32_t index = 1; index <= jobState.pieceCount; index++) {
        const std::string path = piecePath(index);
        plan.paths.push_back(outputs.add(path, direct));
        if (direct) events.paths.push_back(path);
    }
    plan.mode = source.modeForCopies();
    plan.header = header;
    plan.checksum = settings.useChecksum != 0 && !direct;
    plan.enciphered = jobState.encryptEnabled != 0;
    plan.key = cipherKeyOf(jobState.keyText);
    plan.cipherSpan = jobState.pieceSizeKB == 0 ? 0 : jobState.pieceSizeKB - 1;
    plan.inOrder = direct;
    // Each disk leaves with its pieces; elsewhere they stay open for the volumes and the commit.
    plan.keepOpen = direct ? 0 : piecesToKeepOpen(jobState.pieceCount, settings.recoveryCount != 0);
    return plan;
}

std::vector<uint64_t> pieceDataBytes() {
    std::vector<uint64_t> bytes;
    uint64_t left = wideValue(jobState.sourceSize);
    const uint64_t each = static_cast<uint64_t>(jobState.pieceSizeKB) * 1024;
    for (uint32_t index = 1; index <= jobState.pieceCount; index++) {
        bytes.push_back(left < each ? left : each);
        left -= bytes.back();
    }
    return bytes;
}

// The checksum known only now goes into the header of the first piece, still under its own name (and held open,
// where no other open may write it).
bool rewriteHeader(const OutputFiles& outputs, const std::string& writing) {
    uint8_t header[kHeaderSize];
    buildFirstPieceHeader(header);
    if (const std::shared_ptr<OsFile> held = outputs.held(writing)) return held->writeAt(header, kHeaderSize, 0);
    OsFile first = OsFile::openUpdate(writing);
    return first.valid() && first.writeAt(header, kHeaderSize, 0) && first.close();
}
}  // namespace

void runSplit(WindowRef window) {
    const bool script = settings.rebuildMethod == 1;
    const bool direct = jobState.removableTarget != 0;
    // The name as this system gives it makes the stem; the header stores it in code page 936 on every system,
    // with a UTF-8 copy where that code page lacks some of its characters. So the description.
    char local[kTextBufferSize];
    fileNameOfPath(jobState.sourcePath, local);
    pieceStemFor(local, jobState.pieceStem);
    const HeaderText name = headerTextFor(local), description = headerTextFor(jobState.description);
    copyTextBounded(name.field.c_str(), jobState.sourceName, kTextBufferSize);
    copyTextBounded(name.copy.c_str(), jobState.sourceNameCopy, kTextBufferSize);
    copyTextBounded(description.field.c_str(), jobState.description, kTextBufferSize);
    copyTextBounded(description.copy.c_str(), jobState.descriptionCopy, kTextBufferSize);
    // To removable media the first piece leaves with its disk: its checksum must be known before it is written.
    readSourceRecord(window, settings.useChecksum != 0 && direct);
    OutputFiles outputs(jobState.outputFolder);
    if ((script && !addScript(window, outputs)) || !askAboutNames(window)) return;
    removeStaleVolumes(outputs);
    uint8_t header[kHeaderSize];
    buildFirstPieceHeader(header);
    OsFile source = OsFile::openRead(jobState.sourcePath);
    WorkerEvents events(window, pieceDataBytes(), true);
    CutPlan plan = planCut(source, outputs, script ? nullptr : header, events);
    const unsigned threads = direct ? 1 : threadsFor(cutChunks(plan));
    // The system's copy where no byte changes, on one thread: two threads reading and writing measured faster.
    plan.kernelCopy = !plan.checksum && !plan.enciphered && threads == 1;
    const CutResult cut = cutFile(plan, events, threads);
    for (size_t i = 0; i < cut.made.size(); i++) outputs.created(cut.made[i], cut.open[i]);
    if (cut.what == CutResult::Stopped || jobState.jobResult.load() == kResultCancelled) {
        // "取消": what this split made goes, and a disk already taken out keeps its pieces.
        jobState.jobResult.store(kResultCancelled);
        if (!direct) outputs.rollBack();
        else outputs.commit();
        finishJob();
        return;
    }
    if (cut.what != CutResult::Done) {
        outputs.rollBack();
        removeMadeOutputFolder();
        fatalWriteError(window);
    }
    if (plan.checksum) {
        jobState.checksum = cut.checksum;
        setControlNumber(window, kIdChecksumDisplay, jobState.checksum);
    }
    if (!script && plan.checksum && !rewriteHeader(outputs, plan.paths[0])) {
        outputs.rollBack();
        removeMadeOutputFolder();
        fatalWriteError(window);
    }
    std::vector<std::string> finals;
    for (uint32_t index = 1; index <= jobState.pieceCount; index++) finals.push_back(piecePath(index));
    char scriptPath[kTextBufferSize];
    if (script && pathInFolder(jobState.outputFolder, kScriptName, scriptPath)) finals.push_back(scriptPath);
    if (!addRecoveryVolumes(window, outputs, finals)) return;
    if (!outputs.commit()) {
        outputs.rollBack();
        fatalWriteError(window);
    }
    finishJob();
}
