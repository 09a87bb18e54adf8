#include "ui/main_dialog.h"

#include "app/display.h"
#include "app/messages.h"
#include "drive/discovery.h"
#include "drive/flash.h"
#include "payload/payload.h"
#include "platform/atomic.h"
#include "res/resource.h"
#include "scsi/binding.h"
#include "system/system.h"
#include "ui/dialog_controls.h"
#include "ui/keep_awake.h"
#include "ui/startup.h"

int DialogReady;
int ProgressPosition;
int LastSeenStage;
int FlashedCount;
int FlashRunning;
const int StageCeiling[6] = {100, 500, 1000, 5000, 9500, 9990};
HANDLE FlashThread;
DWORD FlashThreadId;

// No stage takes this value, so the first tick always sees a new stage.
#define NO_STAGE (-100)

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // The dialog holds a progress bar: its class must exist first.
    InitCommonControls();
    InitRevisionPattern();
    int japanese = SelectLanguage();
    DialogBoxParamA(instance, japanese ? "MAINDIALOG" : "MAINDIALOGE", NULL, MainDialogProc, 0);
    return 0;
}

static void SendProgress(UINT message, WPARAM wParam, LPARAM lParam) {
    SendMessageA(GetDlgItem(MainDialogHandle, IDC_PROGRESS), message, wParam, lParam);
}

int StartFlash(void) {
    DisableDialogControls();
    UpdateProgress(1);
    SetTimer(MainDialogHandle, PROGRESS_TIMER_ID, PROGRESS_TIMER_MS, NULL);
    FlashRunning = 1;
    KeepSystemAwake(1);
    // A flash thread that cannot start never touched the drive: the first
    // tick reports the failure and gives the controls back.
    if (!StartBackgroundThread(&FlashThread, &FlashThreadId, FLASH_THREAD)) AtomicStore(&FlashStage, -1);
    return 1;
}

static int StageText(int stage) {
    if (stage == 0) return MSG_START_FLASHING;
    if (stage >= 1 && stage <= 5) return MSG_FLASHING;
    if (stage == 6) return MSG_UPDATE_SUCCESSFUL;
    return MSG_UPDATE_FAILED;
}

static void AdvanceTowards(int ceiling) {
    if (ProgressPosition < ceiling) ProgressPosition += PROGRESS_STEP;
}

int UpdateProgress(int reset) {
    if (reset) {
        LastSeenStage = NO_STAGE;
        ProgressPosition = 0;
        AtomicStore(&FlashStage, 0);
        return 0;
    }
    int stage = AtomicLoad(&FlashStage);
    int changed = stage != LastSeenStage;
    if (changed) ShowStatus(Message((MessageId)StageText(stage)));
    if (stage == 0) {
        AdvanceTowards(StageCeiling[0]);
    } else if (stage >= 1 && stage <= 5) {
        if (changed)
            ProgressPosition = StageCeiling[stage - 1];
        else
            AdvanceTowards(StageCeiling[stage]);
    } else if (stage == 6) {
        ProgressPosition = PROGRESS_MAX;
    }
    LastSeenStage = stage;
    SendProgress(PBM_SETPOS, (WPARAM)ProgressPosition, 0);
    return stage < 0 || stage > 5;
}

static void ProgressTick(HWND window) {
    KillTimer(window, PROGRESS_TIMER_ID);
    if (!UpdateProgress(0)) {
        SetTimer(window, PROGRESS_TIMER_ID, PROGRESS_TIMER_MS, NULL);
        return;
    }
    if (LastSeenStage > 0) {
        RefreshSelectedRevision();
        ShowCurrentVersion(CurrentRevision);
        FlashedCount++;
        ShowDriveCounter();
    }
    EnableDialogControls(TRUE);
    FlashRunning = 0;
    KeepSystemAwake(0);
}

// Enter, Escape and the close box reach the dialog as IDOK and IDCANCEL
// without a click: they count only when the button could be clicked, so
// nothing ends or powers off while a thread is at work.
static int ButtonPressable(int id) {
    HWND button = GetDlgItem(MainDialogHandle, id);
    return IsWindowEnabled(button) && IsWindowVisible(button);
}

static INT_PTR OnCommand(WPARAM wParam) {
    int id = LOWORD(wParam);
    int code = HIWORD(wParam);
    if (id == IDC_DRIVE_LIST) {
        if (code != CBN_SELCHANGE || !DialogReady) return FALSE;
        SelectDrive((int)SendMessageA(GetDlgItem(MainDialogHandle, IDC_DRIVE_LIST), CB_GETCURSEL, 0, 0));
        ShowCurrentVersion(CurrentRevision);
        return TRUE;
    }
    if (code != BN_CLICKED) return FALSE;
    switch (id) {
    case IDOK:
        if (ButtonPressable(IDOK) && AskQuestion(Message(MSG_CONFIRM_POWER_OFF))) PowerOff();
        return TRUE;
    case IDCANCEL:
        if (!ButtonPressable(IDCANCEL)) return TRUE;
        ShutdownScsiService();
        EndDialog(MainDialogHandle, IDCANCEL);
        DialogReady = 0;
        return TRUE;
    case IDC_FLASH:
        if (ButtonPressable(IDC_FLASH)) StartFlash();
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        MainDialogHandle = window;
        SendProgress(PBM_SETRANGE, 0, MAKELPARAM(0, PROGRESS_MAX));
        InitMainDialog();
        DialogReady = 1;
        return TRUE;
    case WM_COMMAND:
        return OnCommand(wParam);
    case WM_TIMER:
        ProgressTick(window);
        return TRUE;
    case WM_QUERYENDSESSION:
        if (!FlashRunning) return FALSE;
        // The drive would be left between two firmware images.
        SetWindowLongPtrA(window, DWLP_MSGRESULT, FALSE);
        return TRUE;
    case WM_KEYDOWN:
        return wParam == VK_ESCAPE;
    }
    return FALSE;
}
