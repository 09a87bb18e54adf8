// The test side of loadable modules: modules a test registers (an ASPI
// library, say) and the system modules whose exports can go missing.
#pragma once
#include <map>
#include <string>

#include "windows.h"

namespace hostwin {

// A module LoadLibraryA can load by this name (case-insensitive, ".dll"
// optional), with its exports. Replaces an earlier one of that name.
void RegisterModule(const std::string &name, const std::map<std::string, FARPROC> &exports);
template <class F>
FARPROC Export(F *function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(function));
}
// Makes an export of a module missing, as Windows 95 lacks some of
// advapi32's and kernel32's. The system modules are "kernel32.dll" and
// "advapi32.dll"; they export the stand-in's own functions.
void RemoveExport(const std::string &module, const std::string &function);
// Makes a system module absent: GetModuleHandleA and LoadLibraryA fail.
void RemoveModule(const std::string &module);
// Loads minus frees of a module registered by a test; 0 when not loaded.
int ModuleLoadCount(const std::string &name);

}  // namespace hostwin
