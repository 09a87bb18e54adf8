#include "ui/startup.h"

#include "app/display.h"
#include "app/messages.h"
#include "drive/discovery.h"
#include "drive/flash.h"
#include "payload/payload.h"
#include "res/resource.h"
#include "scsi/binding.h"
#include "system/system.h"
#include "ui/dialog_controls.h"

int InitMainDialog(void) {
    SetWindowTextA(MainDialogHandle, ProgramTitle);
    DisableDialogControls();
    HANDLE thread;
    DWORD threadId;
    // Without the start-up thread nothing could ever enable "Cancel": end
    // the dialog rather than leave it stuck.
    if (!StartBackgroundThread(&thread, &threadId, STARTUP_THREAD)) EndDialog(MainDialogHandle, 0);
    return 1;
}

int StartBackgroundThread(HANDLE *handle, DWORD *threadId, int which) {
    FlashImage = FirmwarePayload.Image;
    *handle = CreateThread(NULL, 0, which == STARTUP_THREAD ? StartupThreadProc : FlashThreadProc, NULL, 0, threadId);
    if (!*handle) return 0;
    SetThreadPriority(*handle, THREAD_PRIORITY_HIGHEST);
    return 1;
}

int SelectDriveEntry(int index) {
    if (index < 0 || index >= DriveTable.count) return 0;
    SendMessageA(GetDlgItem(MainDialogHandle, IDC_DRIVE_LIST), CB_SETCURSEL, (WPARAM)index, 0);
    SelectDrive(index);
    ShowCurrentVersion(CurrentRevision);
    return 1;
}

static void EndStartup(void) __attribute__((noreturn));
static void EndStartup(void) {
    EndDialog(MainDialogHandle, 0);
    ExitThread(0);
}

static void FailStartup(MessageId id) __attribute__((noreturn));
static void FailStartup(MessageId id) {
    ShowErrorBox(Message(id));
    EndStartup();
}

DWORD WINAPI StartupThreadProc(LPVOID) {
    int nt = GetPlatformId() == VER_PLATFORM_WIN32_NT;
    if (nt && !IsAdministrator()) FailStartup(MSG_ADMIN_REQUIRED);
    if (!LoadPayload()) EndStartup();  // LoadPayload has shown its own box
    SetDlgItemTextA(MainDialogHandle, IDC_UPDATE_VERSION, FirmwarePayload.UpdateVersion);
    // A provider that is not ready ends the start-up on the NT family; on
    // the others discovery goes on, but never through entries left empty
    // (a platform that binds nothing then finds no drive).
    if (!InitScsiService() || !ScsiServiceBound()) {
        if (nt) FailStartup(MSG_ADMIN_REQUIRED);
    }
    if (ScsiServiceBound()) EnumerateDrives();
    if (!SelectDriveEntry(0)) FailStartup(MSG_TARGET_NOT_FOUND);
    ShowDriveCounter();
    ShowStatus(Message(MSG_CONFIRM_CHANGE));
    EnableDialogControls(FALSE);
    ExitThread(0);
}
