// Loadable modules: kernel32 and advapi32 are always loaded and export the
// stand-in's own functions; tests register others (an ASPI library) and can
// make any export missing, as on Windows 95.
#include <cctype>

#include "hostwin/sim_modules.h"
#include "machine.h"

using namespace hostwin;

namespace {

struct Module {
    std::string name;
    HMODULE handle = nullptr;
    bool system = false;
    bool present = true;  // system modules only
    int loads = 0;        // registered modules only
    std::map<std::string, FARPROC> exports;
    bool Loaded() const { return system ? present : loads > 0; }
};

struct ModuleStore {
    std::vector<std::unique_ptr<Module>> modules;
    uintptr_t nextHandle = 0x10000000;
};

std::string Normalize(const std::string &name) {
    std::string n;
    for (char c : name) n += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (n.find('.') == std::string::npos) n += ".dll";
    return n;
}

std::unique_ptr<Module> SystemModule(const char *name, uintptr_t handle, std::map<std::string, FARPROC> exports) {
    auto m = std::make_unique<Module>();
    m->name = name;
    m->handle = reinterpret_cast<HMODULE>(handle);
    m->system = true;
    m->exports = std::move(exports);
    return m;
}

void AddSystemModules(ModuleStore &s) {
    s.modules.clear();
    s.modules.push_back(SystemModule("kernel32.dll", 0x7C800000,
                                     {{"SetThreadExecutionState", Export(SetThreadExecutionState)},
                                      {"LoadLibraryA", Export(LoadLibraryA)},
                                      {"FreeLibrary", Export(FreeLibrary)},
                                      {"GetModuleHandleA", Export(GetModuleHandleA)},
                                      {"GetProcAddress", Export(GetProcAddress)},
                                      {"ExitProcess", Export(ExitProcess)},
                                      {"GetCurrentProcess", Export(GetCurrentProcess)},
                                      {"DeviceIoControl", Export(DeviceIoControl)}}));
    s.modules.push_back(SystemModule("advapi32.dll", 0x77DD0000,
                                     {{"OpenThreadToken", Export(OpenThreadToken)},
                                      {"OpenProcessToken", Export(OpenProcessToken)},
                                      {"GetTokenInformation", Export(GetTokenInformation)},
                                      {"AllocateAndInitializeSid", Export(AllocateAndInitializeSid)},
                                      {"EqualSid", Export(EqualSid)},
                                      {"FreeSid", Export(FreeSid)},
                                      {"LookupPrivilegeValueA", Export(LookupPrivilegeValueA)},
                                      {"AdjustTokenPrivileges", Export(AdjustTokenPrivileges)}}));
}

ModuleStore &Store() {
    static ModuleStore *store = [] {
        auto *s = new ModuleStore;
        AddSystemModules(*s);
        M().resetHooks.push_back([s] { AddSystemModules(*s); });
        return s;
    }();
    return *store;
}
const bool registered = (Store(), true);

Module *ByName(const std::string &name) {
    std::string n = Normalize(name);
    for (auto &m : Store().modules)
        if (m->name == n) return m.get();
    return nullptr;
}

Module *ByHandle(HMODULE handle) {
    for (auto &m : Store().modules)
        if (m->handle == handle) return m.get();
    return nullptr;
}

}  // namespace

namespace hostwin {

void RegisterModule(const std::string &name, const std::map<std::string, FARPROC> &exports) {
    Lock lk(M().lock);
    Module *m = ByName(name);
    if (!m) {
        Store().modules.push_back(std::make_unique<Module>());
        m = Store().modules.back().get();
        m->name = Normalize(name);
        m->handle = reinterpret_cast<HMODULE>(Store().nextHandle);
        Store().nextHandle += 0x10000;
    }
    m->exports = exports;
}

void RemoveExport(const std::string &module, const std::string &function) {
    Lock lk(M().lock);
    if (Module *m = ByName(module)) m->exports.erase(function);
}

void RemoveModule(const std::string &module) {
    Lock lk(M().lock);
    if (Module *m = ByName(module)) {
        m->present = false;
        m->loads = 0;
    }
}

int ModuleLoadCount(const std::string &name) {
    Lock lk(M().lock);
    Module *m = ByName(name);
    return m && !m->system ? m->loads : 0;
}

}  // namespace hostwin

extern "C" {

HMODULE WINAPI LoadLibraryA(LPCSTR name) {
    Lock lk = Enter();
    Module *m = name ? ByName(name) : nullptr;
    if (ShouldFail("LoadLibraryA") || !m || (m->system && !m->present)) {
        SetError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    if (!m->system) m->loads++;
    return m->handle;
}

BOOL WINAPI FreeLibrary(HMODULE handle) {
    Lock lk = Enter();
    M().calls["FreeLibrary"]++;
    Module *m = ByHandle(handle);
    if (!m || !m->Loaded()) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!m->system) m->loads--;
    return TRUE;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
    Lock lk = Enter();
    if (!name) return reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x00400000));
    Module *m = ByName(name);
    if (!m || !m->Loaded()) {
        SetError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return m->handle;
}

FARPROC WINAPI GetProcAddress(HMODULE handle, LPCSTR name) {
    Lock lk = Enter();
    M().calls["GetProcAddress"]++;
    Module *m = ByHandle(handle);
    if (!m || !m->Loaded()) {
        SetError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    auto it = reinterpret_cast<uintptr_t>(name) > 0xFFFF ? m->exports.find(name) : m->exports.end();
    if (it == m->exports.end()) {
        SetError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return it->second;
}

}  // extern "C"
