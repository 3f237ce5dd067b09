// The setup wizard's last page: how the set is rebuilt, its checksum, key, description and recovery volumes; its
// Finish starts the job.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "engine/jobstate.h"
#include "engine/recoverychoices.h"
#include "engine/window.h"
#include "text/textops.h"
#include "ui/win32/mainwindow_win32.h"
#include "ui/win32/wizard_ids.h"
#include "ui/win32/wizardpage_win32.h"

namespace {
// The wizard reads its key with a limit of 300 and its description with 250.
constexpr int kKeyLimit = 300;
constexpr int kDescriptionLimit = 250;

// The key and the description follow their boxes while this program rebuilds; a batch file has neither.
void applyOptionRules(HWND page) {
    bool tarn = checked(page, IDC_WIZ_USE_TARN);
    bool split = jobState.isSplit == 1;
    enableControl(page, IDC_WIZ_ENCRYPT, tarn);
    enableControl(page, IDC_WIZ_KEY, tarn && jobState.encryptEnabled == 1);
    enableControl(page, IDC_WIZ_DESCRIBE, tarn && split);
    enableControl(page, IDC_WIZ_DESCRIPTION, tarn && split && settings.useDescription == 1);
    // Pieces written to removable media disk by disk cannot be read back for volumes.
    enableControl(page, IDC_WIZ_RECOVERY, split && jobState.removableTarget == 0);
}

void onOptionsOpen(HWND page) {
    check(page, IDC_WIZ_USE_TARN, true);
    check(page, IDC_WIZ_CHECKSUM, settings.useChecksum == 1);
    check(page, IDC_WIZ_DESCRIBE, settings.useDescription == 1);
    check(page, IDC_WIZ_ENCRYPT, jobState.encryptEnabled == 1);
    // Finish takes the key and the description from these fields: what the main window held carries over.
    setControlText(page, IDC_WIZ_KEY, jobState.keyText);
    setControlText(page, IDC_WIZ_DESCRIPTION, jobState.description);
    fillRecoveryList(page, IDC_WIZ_RECOVERY);
    applyOptionRules(page);
}

void onOptionsCurrent(HWND page) {
    becomeCurrent(page, PSWIZB_BACK | PSWIZB_FINISH);
    bool split = jobState.isSplit == 1;
    enableControl(page, IDC_WIZ_USE_TARN, split);
    enableControl(page, IDC_WIZ_USE_BATCH, split);
    if (split) {
        applyOptionRules(page);
        return;
    }
    enableControl(page, IDC_WIZ_DESCRIBE, 0);
    enableControl(page, IDC_WIZ_DESCRIPTION, 0);
    enableControl(page, IDC_WIZ_RECOVERY, 0);
    if (settings.useDescription == 1) {
        check(page, IDC_WIZ_DESCRIBE, true);
        setControlText(page, IDC_WIZ_DESCRIPTION, jobState.description);
    }
}

void onOptionsCommand(HWND page, int id, int code) {
    if (code != BN_CLICKED) return;
    switch (id) {
    case IDC_WIZ_ENCRYPT:
        jobState.encryptEnabled = checked(page, IDC_WIZ_ENCRYPT) ? 1 : 0;
        enableControl(page, IDC_WIZ_KEY, jobState.encryptEnabled);
        break;
    case IDC_WIZ_DESCRIBE:
        if (jobState.isSplit == 1) {
            settings.useDescription = checked(page, IDC_WIZ_DESCRIBE) ? 1 : 0;
            enableControl(page, IDC_WIZ_DESCRIPTION, settings.useDescription);
        }
        break;
    case IDC_WIZ_USE_TARN:
    case IDC_WIZ_USE_BATCH: applyOptionRules(page); break;
    }
}

void onFinish(HWND page) {
    settings.rebuildMethod = checked(page, IDC_WIZ_USE_TARN) ? 0 : 1;
    getControlText(page, IDC_WIZ_KEY, jobState.keyText, kKeyLimit);
    getControlText(page, IDC_WIZ_DESCRIPTION, jobState.description, kDescriptionLimit);
    settings.useChecksum = checked(page, IDC_WIZ_CHECKSUM) ? 1 : 0;
    takeRecoveryChoice(static_cast<int32_t>(SendDlgItemMessageA(page, IDC_WIZ_RECOVERY, CB_GETCURSEL, 0, 0)));
    jobState.jobPhase.store(kPhaseStartRequested, std::memory_order_release);
}

INT_PTR onOptionsNotify(HWND page, const NMHDR* note) {
    switch (note->code) {
    case PSN_SETACTIVE:
        onOptionsCurrent(page);
        return answer(page, 0);
    case PSN_WIZFINISH:
        onFinish(page);
        return answer(page, FALSE);
    }
    return FALSE;
}

}  // namespace

INT_PTR CALLBACK optionsPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    return pageMessage({onOptionsOpen, onOptionsCommand, onOptionsNotify}, page, message, wParam, lParam);
}
