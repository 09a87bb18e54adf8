// The start-up sequence and the two operations the dialog shares with it.
#pragma once
#include "platform/win32.h"

#define STARTUP_THREAD 0
#define FLASH_THREAD 1

int InitMainDialog(void);
// Starts the start-up (STARTUP_THREAD) or flash (FLASH_THREAD) thread at the
// highest priority; 0 when the thread cannot be created.
int StartBackgroundThread(HANDLE *handle, DWORD *threadId, int which);
// Selects a row of the drive table in the list and shows its revision; 0
// for an index that is not a row.
int SelectDriveEntry(int index);
DWORD WINAPI StartupThreadProc(LPVOID unused);
