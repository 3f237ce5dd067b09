// Looks at the chosen path: a file to split, or a piece of a set whose first piece's header is read.
#include "engine/analysis.h"

#include <cstring>
#include <string>

#include "engine/captions.h"
#include "engine/controlids.h"
#include "engine/controlrules.h"
#include "engine/jobstate.h"
#include "engine/messages.h"
#include "engine/pieceformat.h"
#include "engine/recoveryjob.h"
#include "set/text.h"
#include "set/safename.h"
#include "engine/sizing.h"
#include "os/os.h"
#include "text/textops.h"

namespace {
constexpr uint32_t kSliderLimit = 10000;
constexpr uint32_t kNameDisplayLength = 30;

void showGroupedSize(WindowRef window) {
    char text[40];
    setControlText(window, kIdSizeDisplay, formatGrouped(wideValue(jobState.sourceSize), text));
}

void showDesktopFolder(WindowRef window) {
    char desktop[kTextBufferSize] = "";
    osReadDesktopFolder(desktop);
    setControlText(window, kIdOutputFolder, desktop);
}

bool askQuestion(WindowRef window, const char* line1) {
    // "/y" of a batch run: a script joining a set cut by another tool has no one to answer.
    if (jobState.answerSetQuestions) return true;
    if (jobState.quietMode) return false;  // "/q" without "/y": nobody may be asked, so nothing is joined
    messageParams.messageMode = kMessageQuestion;
    messageParams.messageLine1 = line1;
    messageParams.messageLine3 = "您仍然希望尝试合并它们吗?";
    showMessageDialog(window);
    return messageParams.messageAnswer == kAnswerContinue;
}

void analyseSplit(WindowRef window, FileHandle& file) {
    file = osOpenExisting(jobState.sourcePath, true);
    if (file == kNoFile) return;
    setWide(jobState.sourceSize, osFileSize(file));
    if (wideValue(jobState.sourceSize) == 0) return;
    showGroupedSize(window);
    setControlText(window, kIdPath, jobState.sourcePath);
    jobState.isSplit = 1;
    showDesktopFolder(window);
    jobState.inputLoaded = 1;
    setControlCheck(window, kIdUseDescription, settings.useDescription != 0);
    setControlText(window, kIdStart, kCaptionStartSplit);
    applyControlRules(window);
    showDesktopFolder(window);
    int32_t entry = window ? getListSelection(window, kIdPresetList) : 0;
    uint32_t size = presetSize(window, entry < 0 ? 0 : static_cast<uint32_t>(entry));
    if (size == 0) {
        // No preset size: one piece that holds the whole file (the low half of the byte count could be 0).
        uint64_t kb = (wideValue(jobState.sourceSize) >> 10) + 1;
        size = kb > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(kb);
    }
    setControlNumber(window, kIdSize, size);
    uint64_t kb = wideValue(jobState.sourceSize) >> 10;
    uint32_t sliderMax = kb > kSliderLimit ? kSliderLimit : (kb < 1 ? 1 : static_cast<uint32_t>(kb));
    setSliderRange(window, kIdSlider, 1, sliderMax);
    settings.sliderMax = sliderMax;
    fileNameOfPath(jobState.sourcePath, jobState.sourceName);
    applyOutputFolderRule(window);
}

void analyseJoin(WindowRef window, FileHandle& file) {
    char base[kTextBufferSize] = "";
    uint32_t length = textLength(jobState.sourcePath);
    if (length > 8) midText(jobState.sourcePath, base, 0, length - 8);
    char first[kTextBufferSize];
    const bool named = piecePathOf(base, 1, first);
    if (named) file = osOpenExisting(first, true);
    // A short or damaged header reads as zeros past its end rather than as values of an earlier job.
    uint8_t header[kHeaderSize] = {0};
    uint32_t got = 0;
    uint64_t firstLength = 0;
    // A first piece lost is read back from the set's recovery volumes, which the join then rebuilds it from.
    if (file == kNoFile) {
        const FirstPiece rebuilt = named ? firstPieceFromVolumes(window, first, header, kHeaderSize, &got, &firstLength)
                                         : FirstPiece::NoVolumes;
        if (rebuilt == FirstPiece::TooMuchDamage) return;
        if (rebuilt == FirstPiece::NoVolumes) {
            if (!jobState.quietMode) showPlainMessage(window, "找不到第一个文件!");
            return;
        }
    }
    copyText(base, jobState.piecePathPrefix);
    if (file != kNoFile) {
        osRead(file, header, kHeaderSize, &got);
        firstLength = osFileSize(file);
        // A header that is not this version's may be one damaged since: the set's volumes, if any, say so.
        if (identifySet(header, got) != SetKind::ThisVersion &&
            firstPieceFromVolumes(window, first, header, kHeaderSize, &got, &firstLength) == FirstPiece::TooMuchDamage)
            return;
    }
    switch (identifySet(header, got)) {
        case SetKind::ThisVersion:
            break;
        case SetKind::OtherVersion:
            if (!askQuestion(window, "这些文件被不同版本的Tarn程序劈分.")) return;
            break;
        case SetKind::NoHeader:
            jobState.rawJoin = 1;
            if (!askQuestion(window, "这些文件没有Tarn头部.")) return;
            break;
    }
    // In KiB before the cut to 32 bits: a first piece of 4 GiB or more (the DVD preset) keeps its key range.
    const uint64_t firstKiB = firstLength >> 10;
    jobState.pieceSizeKB = firstKiB > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(firstKiB);
    if (jobState.rawJoin == 1) {
        char name[kTextBufferSize];
        fileNameOfPath(jobState.sourcePath, name);
        midText(name, jobState.sourceName, 0, 4);
        setControlText(window, kIdDescription, "");
        // Nothing of an earlier job may reach this one: a raw set carries no count, times or checksum.
        jobState.description[0] = 0;
        jobState.descriptionCopy[0] = jobState.sourceNameCopy[0] = 0;
        jobState.pieceCount = 0;
        jobState.fileAttributes = 0;
        jobState.creationTime = jobState.lastAccessTime = jobState.lastWriteTime = 0;
        jobState.checksum = 0;
        setWide(jobState.sourceSize, 0);
    } else {
        readFirstPieceHeader(header);
        if (jobState.pieceCount == 1) {
            // A one-piece set was cut with pieces of its size in KiB plus one, whatever its first piece's length
            // says: the key covered that many bytes less one, and the join must uncover exactly those.
            uint64_t kb = (wideValue(jobState.sourceSize) >> 10) + 1;
            jobState.pieceSizeKB = kb > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(kb);
        }
        osClose(file);
        file = kNoFile;
        const std::string description = headerText(jobState.description, jobState.descriptionCopy);
        setControlText(window, kIdDescription, settings.useDescription ? description.c_str() : "");
        showGroupedSize(window);
        setControlCheck(window, kIdUseDescription, settings.useDescription != 0);
        setControlCheck(window, kIdEncrypt, jobState.encryptEnabled);
    }
    makeSafeFileName(jobState.sourceName);
    setControlText(window, kIdPath, jobState.sourcePath);
    setControlText(window, kIdStart, kCaptionStartJoin);
    jobState.isSplit = 0;
    jobState.inputLoaded = 1;
    applyOutputFolderRule(window);
    applyControlRules(window);
}
}  // namespace

void shownSourceName(char* shown) {
    char name[kTextBufferSize];
    // A split's name is the file's own; a set's is the one the join gives the rebuilt file.
    if (jobState.isSplit)
        copyText(jobState.sourceName, name);
    else
        copyTextBounded(localFileName(headerText(jobState.sourceName, jobState.sourceNameCopy)).c_str(), name,
                        kTextBufferSize);
    if (textLength(name) < kNameDisplayLength)
        copyText(name, shown);
    else
        rightText(name, shown, kNameDisplayLength);
}

void analyseInput(WindowRef window) {
    if (jobState.jobPhase.load(std::memory_order_acquire) != kPhaseIdle || jobState.inputLoaded != 0) return;
    jobState.jobPhase.store(kPhaseAnalysing);
    jobState.checksum = 0;
    jobState.rawJoin = 0;
    setControlText(window, kIdSizeDisplay, "XXX");
    uint32_t length = textLength(jobState.sourcePath);
    if (length < 4) {
        jobState.jobPhase.store(kPhaseIdle);
        return;
    }
    char extension[8];
    rightText(jobState.sourcePath, extension, 4);
    lowerAscii(extension);
    FileHandle file = kNoFile;
    // A recovery volume of a set stands for the set, as its pieces do.
    char longer[8];
    rightText(jobState.sourcePath, longer, 5);
    lowerAscii(longer);
    const std::string first = std::strcmp(longer, ".par2") == 0 ? firstPieceOfVolume(jobState.sourcePath) : "";
    if (!first.empty()) {
        copyTextBounded(first.c_str(), jobState.sourcePath, kTextBufferSize);
        copyText(".trn", extension);
    }
    if (std::strcmp(extension, ".trn") == 0)
        analyseJoin(window, file);
    else
        analyseSplit(window, file);
    osClose(file);
    if (jobState.inputLoaded == 1) {
        char shown[kTextBufferSize];
        shownSourceName(shown);
        setControlText(window, kIdNameDisplay, shown);
    }
    char number[16];
    uintToText(jobState.checksum, number);
    setControlText(window, kIdChecksumDisplay, number);
    jobState.jobPhase.store(kPhaseIdle);
}
