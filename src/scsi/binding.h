// Choosing and binding the ASPI provider: the system's library on Windows 9x,
// the built-in emulator on the NT family.
#pragma once

// 1 when a provider is ready; writes a state text into the status box. A
// missing library or entry point on Windows 9x ends the process instead.
int InitScsiService(void);
// Whether both entry points are bound (a platform that binds nothing
// reports ready but leaves them empty).
bool ScsiServiceBound(void);
void ShutdownScsiService(void);
void LoadAspiLibrary(void);
void UnloadAspiLibrary(void);
void AspiFatalError(const char *text) __attribute__((noreturn));
