#include "ui/dialog_controls.h"

#include "app/display.h"
#include "app/messages.h"
#include "drive/discovery.h"
#include "res/resource.h"
#include "ui/main_dialog.h"

static void EnableControl(int id, BOOL enable) { EnableWindow(GetDlgItem(MainDialogHandle, id), enable); }

void DisableDialogControls(void) {
    EnableControl(IDC_DRIVE_LIST, FALSE);
    EnableControl(IDC_FLASH, FALSE);
    EnableControl(IDCANCEL, FALSE);
    EnableControl(IDOK, FALSE);
}

void EnableDialogControls(int withPowerOff) {
    ShowWindow(GetDlgItem(MainDialogHandle, IDC_FLASH), SW_SHOW);
    EnableControl(IDC_FLASH, TRUE);
    EnableControl(IDC_DRIVE_LIST, TRUE);
    EnableControl(IDCANCEL, TRUE);
    if (withPowerOff) {
        ShowWindow(GetDlgItem(MainDialogHandle, IDOK), SW_SHOW);
        EnableControl(IDOK, TRUE);
    }
}

void ShowDriveCounter(void) {
    char text[64];
    wsprintfA(text, Message(MSG_PROGRESS_FORMAT), FlashedCount, DriveTable.count);
    SetDlgItemTextA(MainDialogHandle, IDC_DRIVE_COUNTER, text);
}
