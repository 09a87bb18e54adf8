// Ending the process, shutting the system down and keeping it awake.
#pragma once
#include "kernel.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef DWORD EXECUTION_STATE;

#define EWX_LOGOFF 0x00000000
#define EWX_SHUTDOWN 0x00000001
#define EWX_REBOOT 0x00000002
#define EWX_FORCE 0x00000004
#define EWX_POWEROFF 0x00000008

#define ES_SYSTEM_REQUIRED 0x00000001u
#define ES_DISPLAY_REQUIRED 0x00000002u
#define ES_CONTINUOUS 0x80000000u

void WINAPI ExitProcess(UINT code) __attribute__((noreturn));
BOOL WINAPI ExitWindowsEx(UINT flags, DWORD reserved);
EXECUTION_STATE WINAPI SetThreadExecutionState(EXECUTION_STATE flags);

#ifdef __cplusplus
}
#endif
