// Writing the payload image into the selected drive, on its own thread.
#pragma once
#include "platform/win32.h"

// 0..5 the step in progress, 6 success, -1..-6 the step that failed. One
// writer (the flash thread), one reader (the dialog's timer): read and
// write it with AtomicLoad and AtomicStore.
extern volatile int FlashStage;
// The image the flash thread writes; set before the thread starts.
extern const BYTE *FlashImage;

DWORD WINAPI FlashThreadProc(LPVOID unused);

bool EnterDownloadMode(void);
bool DownloadImage(DWORD address, const BYTE *data, DWORD length);
bool RunBlockPass(BYTE operation);
bool LeaveDownloadMode(void);
