// The modules a program reaches by name without loading them: its own and
// kernel32.dll, with the one export looked up at run time.
#include <strings.h>

#include <cstring>

#include "hostwin/sim_windows.h"
#include "machine.h"

namespace hostwin {

namespace {

const HMODULE kProgram = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x00400000));
const HMODULE kKernel32 = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x7C800000));

struct PowerState {
    bool available = true;
    EXECUTION_STATE flags = 0;
};

PowerState &Power() {
    static auto *power = [] {
        auto *p = new PowerState;
        M().resetHooks.push_back([p] { *p = PowerState{}; });
        return p;
    }();
    return *power;
}

}  // namespace

void SetExecutionStateAvailable(bool available) {
    Lock lk(M().lock);
    Power().available = available;
}

EXECUTION_STATE ExecutionState() {
    Lock lk(M().lock);
    return Power().flags;
}

}  // namespace hostwin

using namespace hostwin;

extern "C" {

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
    Lock lk = Enter();
    if (!name) return kProgram;
    if (strcasecmp(name, "kernel32.dll") == 0 || strcasecmp(name, "kernel32") == 0) return kKernel32;
    SetError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name) {
    Lock lk = Enter();
    if (module == kKernel32 && name && strcmp(name, "SetThreadExecutionState") == 0 && Power().available)
        return reinterpret_cast<FARPROC>(&SetThreadExecutionState);
    SetError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

EXECUTION_STATE WINAPI SetThreadExecutionState(EXECUTION_STATE flags) {
    Lock lk = Enter();
    EXECUTION_STATE old = Power().flags;
    // Without ES_CONTINUOUS the request lasts one moment and leaves no state.
    if (flags & ES_CONTINUOUS) Power().flags = flags;
    return old ? old : ES_CONTINUOUS;
}

}  // extern "C"
