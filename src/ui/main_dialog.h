// The program entry and the main dialog: its procedure, the "Flash" button
// and the timer that turns the flash thread's stage into progress.
#pragma once
#include "platform/win32.h"

extern "C" int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showState);

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int StartFlash(void);
// Nonzero: reset before a flash. Zero: one tick; 1 when the flash has ended.
int UpdateProgress(int reset);

#define PROGRESS_TIMER_ID 1012
#define PROGRESS_TIMER_MS 100
#define PROGRESS_MAX 10000
#define PROGRESS_STEP 50

// Dialog state, touched by the UI thread only.
extern int DialogReady;        // selection changes honoured while 1
extern int ProgressPosition;   // 0 to PROGRESS_MAX
extern int LastSeenStage;      // FlashStage at the previous tick
extern int FlashedCount;       // successful flashes in this run
extern int FlashRunning;       // from "Flash" until the tick sees the end
extern const int StageCeiling[6];
extern HANDLE FlashThread;
extern DWORD FlashThreadId;
