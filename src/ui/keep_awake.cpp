#include "ui/keep_awake.h"

#include "platform/win32.h"

// Windows 95 and NT 4 lack the call, so it is looked up rather than imported.
typedef DWORD(WINAPI *SetExecutionStateProc)(DWORD flags);

static const DWORD kContinuous = 0x80000000u;    // ES_CONTINUOUS
static const DWORD kSystemRequired = 0x00000001u;  // ES_SYSTEM_REQUIRED

void KeepSystemAwake(int on) {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    SetExecutionStateProc setState =
        kernel ? (SetExecutionStateProc)(void *)GetProcAddress(kernel, "SetThreadExecutionState") : NULL;
    if (setState) setState(on ? kContinuous | kSystemRequired : kContinuous);
}
