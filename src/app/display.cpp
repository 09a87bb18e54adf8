#include "app/display.h"

#include "app/messages.h"
#include "res/resource.h"

HWND MainDialogHandle;

void ShowStatus(const char *text) { SetWindowTextA(GetDlgItem(MainDialogHandle, IDC_STATUS), text); }

void ShowCurrentVersion(const char *text) {
    SetDlgItemTextA(MainDialogHandle, IDC_CURRENT_VERSION, text[0] == '0' ? "N/A " : text);
}

int AddDriveListEntry(const char *text) {
    return (int)SendMessageA(GetDlgItem(MainDialogHandle, IDC_DRIVE_LIST), CB_INSERTSTRING, (WPARAM)-1,
                             (LPARAM)text);
}

void ShowErrorBox(const char *text) { MessageBoxA(NULL, text, ProgramTitle, MB_OK | MB_ICONERROR | MB_SYSTEMMODAL); }

int AskQuestion(const char *text) {
    return MessageBoxA(NULL, text, ProgramTitle, MB_OKCANCEL | MB_ICONQUESTION | MB_SYSTEMMODAL) == IDOK;
}
