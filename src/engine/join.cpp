// The window's join on the set core: every piece looked at first, the file rebuilt under a name of its own and
// deciphered in memory, and given its name only when whole; a piece not there is asked for, as on floppies.
#include <cstring>
#include <string>
#include <vector>

#include "engine/checksum.h"
#include "engine/jobstate.h"
#include "engine/messages.h"
#include "engine/pieceformat.h"
#include "engine/recoveryjob.h"
#include "engine/worker.h"
#include "engine/workerevents.h"
#include "set/datapass.h"
#include "set/outputs.h"
#include "set/pieceset.h"
#include "set/rebuild.h"
#include "set/text.h"
#include "set/threads.h"
#include "text/textops.h"

namespace {
// The set of the analysed input, its first piece asked for again while the user says the medium is ready.
bool openJobSet(WindowRef window, const char* first, PieceSet& set, bool hold, const StandIns& standIns) {
    while (openPieceSet(first, set, hold, standIns) != SetOpening::Opened) {
        if (jobState.rawJoin == 1) return false;
        askMediumReady(window, "文件读取错误");
        if (jobState.jobResult.load() == kResultCancelled) return false;
    }
    if (jobState.rawJoin == 1) {
        // A set without header ends at its first missing piece.
        size_t present = 0;
        while (present < set.pieces.size() && set.pieces[present].present) present++;
        set.pieces.resize(present);
        set.count = static_cast<uint32_t>(present);
    } else if (!set.headerConsistent) {
        // The header's numbers do not fit its pieces: each piece is taken as long as it is, as Tarn always did.
        for (PieceState& piece : set.pieces) piece.expected = -1;
    }
    return true;
}

// A piece present but not of this set (no mark, a length the set cannot have) is reported before anything is
// written: the join would only make a damaged file of it.
bool refuseMisfits(WindowRef window, const PieceSet& set) {
    for (const PieceState& piece : set.pieces) {
        if (!piece.present || piece.fits()) continue;
        refuseJob(window, "这一块已损坏, 没有创建任何文件.", piece.path.c_str());
        return true;
    }
    return false;
}

// The rebuilt file would replace one of the set's own pieces (a stored name such as abcd0002.trn).
bool rebuiltIsAPiece(const PieceSet& set) {
    if (!osNameTaken(jobState.sourcePath)) return false;
    for (const PieceState& piece : set.pieces)
        if (piece.present && osSameFile(piece.path.c_str(), jobState.sourcePath)) return true;
    return false;
}

// A first piece rebuilt from the volumes was lost or damaged: what the analysis read of its header may be wrong,
// and the set's record is taken again from the rebuilt piece.
void takeRebuiltHeader(const char* first, const StandIns& standIns) {
    char name[kTextBufferSize];
    fileNameOfPath(first, name);
    const auto rebuilt = standIns.find(name);
    if (rebuilt == standIns.end()) return;
    uint8_t header[kHeaderSize];
    const OsFile file = OsFile::openRead(rebuilt->second);
    if (file.readAt(header, kHeaderSize, 0) == static_cast<int64_t>(kHeaderSize) &&
        identifySet(header, kHeaderSize) == SetKind::ThisVersion)
        readFirstPieceHeader(header);
}

std::vector<uint64_t> expectedData(const PieceSet& set) {
    std::vector<uint64_t> bytes;
    for (const PieceState& piece : set.pieces) bytes.push_back(set.expectedDataBytes(piece));
    return bytes;
}

// The outcome of the data pass as the job's result, its messages and its fatal end.
void settle(WindowRef window, const RebuildResult& result, OutputFiles& outputs, const PieceSet& set) {
    switch (result.what) {
        case RebuildResult::Done: break;
        case RebuildResult::ChecksumMismatch:
            // The file stays, under the name that says so; the result message names it.
            copyTextBounded(result.path.c_str(), jobState.sourcePath, kTextBufferSize);
            jobState.jobResult.store(kResultChecksumMismatch);
            break;
        case RebuildResult::Stopped: jobState.jobResult.store(kResultCancelled); break;
        case RebuildResult::Misfit:
        case RebuildResult::ReadFailed:
            refuseJob(window, "文件读取错误", result.failedPiece ? set.pieces[result.failedPiece - 1].path.c_str() : "");
            break;
        case RebuildResult::CreateFailed:
        case RebuildResult::WriteFailed:
            outputs.rollBack();
            removeMadeOutputFolder();
            fatalWriteError(window);
    }
}
}  // namespace

void runJoin(WindowRef window) {
    const bool raw = jobState.rawJoin == 1;
    jobState.dataOffset = raw ? 0 : kHeaderSize;
    char first[kTextBufferSize];
    buildPath(first, jobState.piecePathPrefix, "0001.trn");  // fits: the analysis opened it, or its volumes
    // Pieces lost or damaged are rebuilt first where the set has recovery volumes, into files the join reads
    // instead and that go with it.
    OutputFiles outputs(jobState.outputFolder);
    StandIns standIns;
    if (!repairPiecesFirst(window, first, outputs, standIns)) return;
    if (!raw) takeRebuiltHeader(first, standIns);
    if (jobState.description[0] != 0 && !jobState.quietMode) {
        const std::string shown = headerText(jobState.description, jobState.descriptionCopy);
        messageParams.messageMode = kMessageDescription;
        messageParams.messageLine1 = shown.c_str();
        showMessageDialog(window);
    }
    // The stored name as this system writes it (its UTF-8 copy first), made safe inside the output folder.
    copyTextBounded(localFileName(headerText(jobState.sourceName, jobState.sourceNameCopy)).c_str(),
                    jobState.sourceName, kTextBufferSize);
    // Fits: the worker checked the rebuilt path before it made the folder.
    pathInFolder(jobState.outputFolder, jobState.sourceName, jobState.sourcePath);
    midText(jobState.sourceName, jobState.pieceStem, 0, 4);
    PieceSet set;
    // Pieces are held open from the look to the read, unless one is missing: then they may be on other disks.
    if (!openJobSet(window, first, set, true, standIns)) {
        if (jobState.jobResult.load() != kResultCancelled && !jobState.quietMode)
            showPlainMessage(window, "找不到第一个文件!");
        jobState.jobResult.store(kResultCancelled);
        return;
    }
    if (!set.missing().empty())
        for (PieceState& piece : set.pieces) piece.held.close();
    if (refuseMisfits(window, set)) return;
    if (rebuiltIsAPiece(set)) {
        refuseJob(window, "不能用合并的文件覆盖它自己的块.", jobState.sourcePath);
        return;
    }
    askOverwrite(window, jobState.sourcePath);
    if (jobState.jobResult.load() == kResultCancelled) return;

    RebuildRequest request;
    request.path = jobState.sourcePath;
    request.decipher = jobState.encryptEnabled != 0;
    request.key = cipherKeyOf(jobState.keyText);
    request.check = settings.useChecksum != 0 && !raw;
    request.mode = set.pieces[0].held.valid() ? set.pieces[0].held.modeForCopies() : 0666;
    request.threads = threadsFor(dataChunks(set));
    WorkerEvents events(window, expectedData(set), false);
    const RebuildResult result = rebuildFile(set, request, outputs, events);
    settle(window, result, outputs, set);
    if (result.what == RebuildResult::Done || result.what == RebuildResult::ChecksumMismatch) {
        // A set without header has no count: its end is the end the job reports (shown as success).
        if (raw) jobState.jobResult.store(kResultCancelled);
        finishJob();
    }
}
