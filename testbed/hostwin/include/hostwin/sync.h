// Threads, events, critical sections and time of the host stand-in. Every
// wait runs on the simulated machine's clock (see sim.h).
#pragma once
#include "kernel.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef DWORD(WINAPI *PTHREAD_START_ROUTINE)(LPVOID parameter);
typedef PTHREAD_START_ROUTINE LPTHREAD_START_ROUTINE;

// Opaque to the product: the stand-in keeps its state elsewhere.
typedef struct _RTL_CRITICAL_SECTION {
    void *impl;
} CRITICAL_SECTION, *LPCRITICAL_SECTION;

#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define STILL_ACTIVE 0x00000103u
#define CREATE_SUSPENDED 0x00000004u

#define THREAD_PRIORITY_LOWEST (-2)
#define THREAD_PRIORITY_BELOW_NORMAL (-1)
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_ABOVE_NORMAL 1
#define THREAD_PRIORITY_HIGHEST 2
#define THREAD_PRIORITY_ERROR_RETURN 0x7fffffff

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES sa, SIZE_T stack, LPTHREAD_START_ROUTINE start,
                           LPVOID parameter, DWORD flags, LPDWORD threadId);
void WINAPI ExitThread(DWORD code) __attribute__((noreturn));
BOOL WINAPI TerminateThread(HANDLE thread, DWORD code);
BOOL WINAPI SetThreadPriority(HANDLE thread, int priority);
int WINAPI GetThreadPriority(HANDLE thread);
BOOL WINAPI GetExitCodeThread(HANDLE thread, LPDWORD code);
HANDLE WINAPI GetCurrentThread(void);
DWORD WINAPI GetCurrentThreadId(void);

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES sa, BOOL manualReset, BOOL initialState, LPCSTR name);
BOOL WINAPI SetEvent(HANDLE event);
BOOL WINAPI ResetEvent(HANDLE event);
DWORD WINAPI WaitForSingleObject(HANDLE object, DWORD milliseconds);

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION cs);
void WINAPI EnterCriticalSection(LPCRITICAL_SECTION cs);
void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION cs);
void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION cs);

void WINAPI Sleep(DWORD milliseconds);
DWORD WINAPI GetTickCount(void);

#ifdef __cplusplus
}
#endif
