// Shows the job record in the main window, control by control: after the wizard the window shows what a start acts on.
#include <windows.h>
#include <commctrl.h>

#include "engine/analysis.h"
#include "engine/captions.h"
#include "engine/controlids.h"
#include "engine/controlrules.h"
#include "engine/jobstate.h"
#include "engine/recoverychoices.h"
#include "text/textops.h"
#include "ui/win32/mainwindow_win32.h"
#include "ui/win32/uitext.h"

namespace {
const char kNoFile[] = "未选中文件";

void showName(HWND window) {
    char shown[kTextBufferSize];
    shownSourceName(shown);
    setControlText(window, kIdNameDisplay, shown);
}

void selectEntry(HWND window, int id, uint32_t index) { SendDlgItemMessageA(window, id, CB_SETCURSEL, index, 0); }
}  // namespace

void showJobState(HWND window) {
    bool loaded = jobState.inputLoaded == 1;
    // The window's own handlers must not act on these writes: nothing here is a user's change.
    jobState.inputLoaded = 0;
    const char* path = loaded || jobState.sourcePath[0] != 0 ? jobState.sourcePath : uiText(kNoFile);
    rememberAnalysedPath(path);
    setControlText(window, kIdPath, path);
    if (loaded) {
        char grouped[40];
        setControlText(window, kIdSizeDisplay, formatGrouped(wideValue(jobState.sourceSize), grouped));
        showName(window);
    } else {
        setControlText(window, kIdSizeDisplay, "XXX");
    }
    setControlText(window, kIdStart, jobState.isSplit == 1 ? kCaptionStartSplit : kCaptionStartJoin);
    setControlCheck(window, kIdUseDescription, settings.useDescription);
    setControlText(window, kIdDescription, jobState.description);
    setControlCheck(window, kIdEncrypt, jobState.encryptEnabled);
    setControlText(window, kIdKey, jobState.keyText);
    setControlNumber(window, kIdSize, jobState.pieceSizeKB);
    setControlNumber(window, kIdCount, jobState.pieceCount);
    uint32_t sliderMax = settings.sliderMax == 0 ? 1 : settings.sliderMax;
    setSliderRange(window, kIdSlider, 1, sliderMax);
    uint32_t position = jobState.pieceCount < 1 ? 1 : (jobState.pieceCount > sliderMax ? sliderMax : jobState.pieceCount);
    SendDlgItemMessageA(window, kIdSlider, TBM_SETPOS, TRUE, static_cast<LPARAM>(position));
    setControlText(window, kIdOutputFolder, jobState.outputFolder);
    selectEntry(window, kIdRebuildList, settings.rebuildMethod);
    selectEntry(window, kIdRecoveryList,
                static_cast<uint32_t>(recoveryChoiceOf(settings.recoveryCount, settings.recoveryPercent)));
    selectEntry(window, kIdOutputList, jobState.removableTarget == 1 ? 1 : settings.outputLocation);
    setControlCheck(window, kIdUseChecksum, settings.useChecksum);
    setControlNumber(window, kIdChecksumDisplay, jobState.checksum);
    jobState.inputLoaded = loaded ? 1 : 0;
    applyControlRules(window);
}
