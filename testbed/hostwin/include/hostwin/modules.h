// Loadable modules of the host stand-in: the system modules are always
// loaded, others are registered by tests (sim_modules.h).
#pragma once
#include "kernel.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef INT_PTR(WINAPI *FARPROC)(void);

HMODULE WINAPI LoadLibraryA(LPCSTR name);
BOOL WINAPI FreeLibrary(HMODULE module);
HMODULE WINAPI GetModuleHandleA(LPCSTR name);
FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name);

#ifdef __cplusplus
}
#endif
