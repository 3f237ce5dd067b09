// The main window's commands: buttons, fields, lists, the slider and drops, starting a job and noticing its end.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstring>

#include "app/settings.h"
#include "app/shell.h"
#include "engine/analysis.h"
#include "engine/checksum.h"
#include "engine/controlids.h"
#include "engine/controlrules.h"
#include "engine/jobstate.h"
#include "engine/messages.h"
#include "engine/recoveryjob.h"
#include "engine/sizing.h"
#include "engine/worker.h"
#include "os/os.h"
#include "os/widetext_win32.h"
#include "text/textops.h"
#include "ui/win32/aboutdialog_win32.h"
#include "ui/win32/mainwindow_win32.h"
#include "ui/win32/uitext.h"
#include "ui/win32/wizard_win32.h"

namespace {
uint32_t phase() { return jobState.jobPhase.load(std::memory_order_acquire); }
bool idle() { return phase() == kPhaseIdle; }
bool editable() { return phase() < kPhaseStartRequested && jobState.inputLoaded == 1; }

void showControl(HWND window, int id, bool visible) { ShowWindow(GetDlgItem(window, id), visible ? SW_SHOW : SW_HIDE); }

void workerEntry(void* window) { jobWorker(window); }

// The file field's text as it was last analysed: focus changes and the program's own writes of the same
// text are no new input, and must not reset what the user has set since.
char analysedPath[kTextBufferSize] = "";

// The output folder for "同名文件夹" is derived when the field is left and when a job starts, never while typing.
bool isFieldLeft(int code) { return code == EN_KILLFOCUS; }

void endJob(HWND window) {
    KillTimer(window, kTimerProgress);
    if (jobState.workerThread != nullptr) osReleaseThread(jobState.workerThread);
    uint32_t result = jobState.jobResult.load(std::memory_order_acquire);
    const char* text = nullptr;
    // A set without headers ends at its first missing piece: that is its normal end.
    if (result == kResultSuccess || (jobState.rawJoin == 1 && result == kResultCancelled)) {
        result = kResultSuccess;
        jobState.jobResult.store(kResultSuccess);
        text = "已完成";
    } else if (result == kResultChecksumMismatch) {
        text = "CRC失败";
    }
    if (result < 10 && text != nullptr) {
        messageParams.messageMode = kMessagePlain;
        messageParams.messageLine2 = text;
        // A failed checksum keeps the data under a name that says so: the message names that file.
        messageParams.messageLine4 = result == kResultChecksumMismatch ? jobState.sourcePath : nullptr;
        addRebuiltPiecesToResult();
        showMessageDialog(window);
    }
    SetWindowTextW(window, osWideText(kMainCaption).c_str());
    showControl(window, kIdProgress, false);
    showControl(window, kIdHelp, true);
    showControl(window, kIdAutoRun, true);
    jobState.workerThread = nullptr;
    // The job controls stay disabled until a file is loaded again: the same file, chosen or typed, is new input.
    analysedPath[0] = 0;
    jobState.jobPhase.store(kPhaseIdle, std::memory_order_release);
}

void onStart(HWND window) {
    // Enter reaches here as the default button's command even while the button is disabled.
    if (!idle() || !IsWindowEnabled(GetDlgItem(window, kIdStart))) return;
    // A folder typed and not yet left gets its subfolder now, as leaving the field would have given it.
    applyOutputFolderRule(window);
    // A set to join has the pieces it has; only a split must make at least two.
    if (jobState.isSplit == 1 && jobState.pieceCount <= 1) {
        showPlainMessage(window, "必须至少两块");
        return;
    }
    jobState.jobPhase.store(kPhaseStartRequested, std::memory_order_release);
    collectWindowValues(window);
    startJob(window);
}

void onCheckChecksum(HWND window) {
    if (jobState.inputLoaded != 1 || jobState.isSplit != 1) return;
    collectWindowValues(window);
    jobState.checksum = fileChecksum(jobState.sourcePath);
    setControlNumber(window, kIdChecksumDisplay, jobState.checksum);
}

void onOutputList(HWND window) {
    int32_t index = getListSelection(window, kIdOutputList);
    if (!idle() || index < 0) return;
    settings.outputLocation = static_cast<uint32_t>(index);
    if (index == 1) {
        jobState.removableTarget = 1;
        settings.outputLocation = 0;
    } else {
        jobState.removableTarget = 0;
    }
    applyControlRules(window);
    applyOutputFolderRule(window);
}

void onPresetList(HWND window) {
    int32_t index = getListSelection(window, kIdPresetList);
    if (!idle() || index < 0) return;
    jobState.inputLoaded = 0;
    uint32_t size = presetSize(window, static_cast<uint32_t>(index));
    jobState.inputLoaded = 1;
    if (size != 0) setControlNumber(window, kIdSize, size);
}

void onSizeField(HWND window) {
    if (!editable()) return;
    jobState.inputLoaded = 0;
    countFromSize(window);
    setControlNumber(window, kIdCount, jobState.pieceCount);
    jobState.inputLoaded = 1;
}

void onCountField(HWND window) {
    if (!editable()) return;
    jobState.inputLoaded = 0;
    sizeFromCount(window);
    setControlNumber(window, kIdSize, jobState.pieceSizeKB);
    jobState.inputLoaded = 1;
}

// A job still running is asked to stop and waited for, so that it removes what it made before the process ends.
// Messages keep flowing meanwhile: the worker writes the caption and may be showing a question.
void stopRunningJob(HWND window) {
    if (jobState.workerThread == nullptr) return;
    KillTimer(window, kTimerProgress);  // the job is ended here, not by the progress timer
    jobState.jobResult.store(kResultCancelled, std::memory_order_release);
    while (!osThreadFinished(jobState.workerThread)) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    osReleaseThread(jobState.workerThread);
    jobState.workerThread = nullptr;
}

void onCancel(HWND window) {
    stopRunningJob(window);
    collectWindowValues(window);
    saveSettings();
    DestroyWindow(window);
}

// Edits also report scrolling and a pending repaint of the same change; those are no new event.
bool isRepeatNotification(int code) { return code == EN_UPDATE || code == EN_HSCROLL || code == EN_VSCROLL; }
}  // namespace

void rememberAnalysedPath(const char* path) { copyTextBounded(path, analysedPath, kTextBufferSize); }

// A whole file to load: the analysis decides, then the enable rules follow whatever it found,
// so a rejected input leaves the job controls disabled.
void loadInput(HWND window) {
    copyText(jobState.sourcePath, analysedPath);
    jobState.inputLoaded = 0;
    analyseInput(window);
    // The analysis writes the path it accepted into the field; that text is analysed now.
    getControlText(window, kIdPath, analysedPath, kTextBufferSize);
    applyControlRules(window);
}

void startJob(HWND window) {
    showControl(window, kIdHelp, false);
    showControl(window, kIdAutoRun, false);
    SendDlgItemMessageA(window, kIdProgress, PBM_SETRANGE32, 0, 100);
    SendDlgItemMessageA(window, kIdProgress, PBM_SETPOS, 0, 0);
    showControl(window, kIdProgress, true);
    jobState.inputLoaded = 0;
    HWND focus = GetFocus();
    applyControlRules(window);
    jobState.inputLoaded = 1;
    // The focus would stay on a control the job has disabled, and Escape reach nothing: it goes to "取消".
    if (focus != nullptr && IsChild(window, focus) && !IsWindowEnabled(focus)) SetFocus(GetDlgItem(window, kIdCancel));
    jobState.workerThread = osStartThread(workerEntry, window);
    // Without a second thread the job still runs, only the window waits for it.
    if (jobState.workerThread == nullptr) jobWorker(window);
    SetTimer(window, kTimerProgress, kProgressPeriodMs, nullptr);
}

void pickOutputFolder(HWND window) {
    char folder[kTextBufferSize] = "";
    if (pickFolder(window, folder) == 1 && jobState.inputLoaded == 1) {
        setControlText(window, kIdOutputFolder, folder);
        applyOutputFolderRule(window);
    }
}

void onCommand(HWND window, int id, int code) {
    switch (id) {
    case kIdStart: onStart(window); break;
    case kIdHelp: openHelpPage(); break;
    case kIdCheckChecksum: onCheckChecksum(window); break;
    case kIdRebuildList: applyControlRules(window); break;
    case kIdOutputList: onOutputList(window); break;
    case kIdPresetList: onPresetList(window); break;
    case kIdSize:
        if (!isRepeatNotification(code)) onSizeField(window);
        break;
    case kIdCount:
        if (!isRepeatNotification(code)) onCountField(window);
        break;
    case kIdUseDescription:
        if (idle()) {
            settings.useDescription = getControlCheck(window, kIdUseDescription);
            enableControl(window, kIdDescription, settings.useDescription);
        }
        break;
    case kIdEncrypt:
        if (idle()) {
            jobState.encryptEnabled = getControlCheck(window, kIdEncrypt);
            enableControl(window, kIdKey, jobState.encryptEnabled);
        }
        break;
    case kIdChooseFile:
        if (idle() && pickFile(window, jobState.sourcePath) == 1) loadInput(window);
        break;
    case kIdChooseOutput:
        if (idle()) pickOutputFolder(window);
        break;
    case kIdOutputFolder:
        if (idle() && jobState.inputLoaded == 1 && isFieldLeft(code)) applyOutputFolderRule(window);
        break;
    case kIdPath:
        if (idle() && !isRepeatNotification(code)) {
            char typed[kTextBufferSize];
            getControlText(window, kIdPath, typed, kTextBufferSize);
            if (std::strcmp(typed, analysedPath) == 0) break;
            copyText(typed, jobState.sourcePath);
            loadInput(window);
        }
        break;
    case kIdCancel: onCancel(window); break;
    case kIdWizard:
        if (idle()) {
            settings.wizardAtStart = 1;
            collectWindowValues(window);
            saveSettings();
            runWizardHidden(window);
        }
        break;
    case kIdAbout:
        if (!aboutOpen) AboutDialog(window);
        break;
    case kIdAutoRun:
        if (isElevated == 1) {
            // Writing the registry gives no sign of its own: say when it worked; a failure stays silent.
            if (writeFileAssociation()) showPlainMessage(window, "已关联.trn文件: 双击任意一块即可用Tarn合并.");
        } else if (relaunchElevated(window) == 1) {
            DestroyWindow(window);  // the elevated copy takes over; this one ends without saving
        }
        break;
    }
}

void onSlider(HWND window) {
    jobState.inputLoaded = 0;
    jobState.pieceCount = static_cast<uint32_t>(SendDlgItemMessageA(window, kIdSlider, TBM_GETPOS, 0, 0));
    setControlNumber(window, kIdCount, jobState.pieceCount);
    sizeFromCount(window);
    setControlNumber(window, kIdSize, jobState.pieceSizeKB);
    jobState.inputLoaded = 1;
}

void onDropFiles(HWND window, HDROP drop) {
    char path[kTextBufferSize] = "";
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    std::wstring dropped(length + 1, L'\0');
    DragQueryFileW(drop, 0, &dropped[0], length + 1);
    DragFinish(drop);
    osCopyNarrow(dropped.c_str(), path, kTextBufferSize);
    if (!idle()) return;
    if (findText(1, path, ".") > 0) {
        copyText(path, jobState.sourcePath);
        loadInput(window);
    } else if (jobState.inputLoaded == 1) {
        copyText(path, jobState.outputFolder);
        setControlText(window, kIdOutputFolder, jobState.outputFolder);
        applyOutputFolderRule(window);
    }
}

void onProgressTimer(HWND window) {
    uint32_t now = phase();
    uint32_t position = now >= kPhaseCopying && now <= kPhaseFinished ? now - kPhaseCopying : 0;
    SendDlgItemMessageA(window, kIdProgress, PBM_SETPOS, position, 0);
    if (now != kPhaseFinished && jobState.jobResult.load(std::memory_order_acquire) == 0) return;
    // The worker may still be writing the caption or finishing after its result: end only once it has gone.
    if (jobState.workerThread != nullptr && !osThreadFinished(jobState.workerThread)) return;
    endJob(window);
}
