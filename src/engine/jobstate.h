// The process-wide job record and the persisted settings record that every part of Tarn reads and writes.
#pragma once
#include <atomic>
#include <cstdint>

#include "text/textops.h"

// A 64-bit quantity kept as two 32-bit halves, as the sizing arithmetic works on them.
struct Halves64 {
    uint32_t low;
    uint32_t high;
};
inline uint64_t wideValue(const Halves64& h) { return (static_cast<uint64_t>(h.high) << 32) | h.low; }
inline void setWide(Halves64& h, uint64_t v) {
    h.low = static_cast<uint32_t>(v);
    h.high = static_cast<uint32_t>(v >> 32);
}

// Values of jobPhase.
enum : uint32_t {
    kPhaseIdle = 0,
    kPhaseAnalysing = 1,
    kPhaseStartRequested = 10,
    kPhaseRunning = 11,
    kPhaseCopying = 100,
    kPhaseFinished = 200,
};

// Values of jobResult.
enum : uint32_t {
    kResultSuccess = 0,
    kResultChecksumMismatch = 1,
    // Pieces lost or damaged beyond what the set's recovery volumes can rebuild: nothing was written.
    kResultUnrepairable = 7,
    kResultCancelled = 99,
};

struct JobState {
    std::atomic<uint32_t> jobPhase{0};
    uint32_t inputLoaded = 0;
    uint32_t isSplit = 1;
    uint32_t progressSpan = 100;
    uint32_t encryptEnabled = 0;
    uint32_t quietMode = 0;
    void* workerThread = nullptr;
    char description[kTextBufferSize] = {};
    char sourcePath[kTextBufferSize] = {};
    char outputFolder[kTextBufferSize] = {};
    char piecePathPrefix[kTextBufferSize] = {};
    char sourceName[kTextBufferSize] = {};
    char keyText[kTextBufferSize] = {};
    char pieceStem[16] = {};
    // The UTF-8 copies the header keeps of the name and the description where code page 936 lacks some of their
    // characters (sourceName and description then hold that code page's form); empty when there is none.
    char sourceNameCopy[kTextBufferSize] = {};
    char descriptionCopy[kTextBufferSize] = {};
    uint32_t checksum = 0;
    uint32_t pieceCount = 0;
    uint32_t pieceSizeKB = 0;
    Halves64 sourceSize = {0, 0};
    uint32_t removableTarget = 0;
    uint8_t* ioBuffer = nullptr;
    uint32_t progressStep = 0;
    uint32_t transferSize = 0;
    uint32_t pieceIndex = 0;
    uint64_t creationTime = 0;
    uint64_t lastAccessTime = 0;
    uint64_t lastWriteTime = 0;
    uint32_t fileAttributes = 0;
    uint32_t dataOffset = 0;
    std::atomic<uint32_t> jobResult{0};
    Halves64 divQuotient = {0, 0};
    uint32_t divScale = 0;
    uint32_t ioBufferSize = 0;
    uint32_t rawJoin = 0;
    // The output-folder rule could not add the subfolder without cutting the path: no job may start.
    uint32_t outputTooLong = 0;
    // The job made its output folder itself: a job that ends with nothing of its own in it removes it again.
    uint32_t outputFolderMade = 0;
    // "/y": the analysis answers its two set questions (other version, no header) with "继续".
    uint32_t answerSetQuestions = 0;
    // The pieces a join rebuilt from the set's recovery volumes, named for its result message; empty: none.
    char rebuiltPieces[kTextBufferSize] = {};
};

struct SettingsRecord {
    uint32_t wizardAtStart = 0;
    uint32_t rebuildMethod = 0;
    uint32_t outputLocation = 0;
    uint32_t useChecksum = 0;
    uint32_t useDescription = 0;
    uint32_t alwaysOnTop = 0;
    uint32_t memoryMode = 0;
    uint32_t sliderMax = 0;
    // Recovery volumes a split writes beside its pieces: none (0), a count, or with recoveryPercent 1 a share of
    // the pieces in percent. Kept where earlier builds' files have reserved bytes, which they ignore.
    uint32_t recoveryCount = 0;
    uint32_t recoveryPercent = 0;
};

extern JobState jobState;
extern SettingsRecord settings;

// Folders settled at start-up; both end in the path separator (or are empty).
extern char programFolder[kTextBufferSize];
extern char dataFolder[kTextBufferSize];
extern uint32_t isElevated;

// Puts both records back to their start-of-process values (used by tests and by nothing else).
void resetProcessRecords();
