// The process's end, shutdown requests and the execution state.
#include <cstdio>
#include <cstdlib>

#include "hostwin/sim_process.h"
#include "machine.h"
#include "security.h"

using namespace hostwin;

namespace {

struct PowerStore {
    DWORD exitCode = STILL_ACTIVE;
    std::vector<ShutdownRequest> shutdowns;
    std::vector<EXECUTION_STATE> states;
    std::map<DWORD, EXECUTION_STATE> current;  // by thread id
};

PowerStore &P() {
    static PowerStore *store = [] {
        auto *s = new PowerStore;
        M().resetHooks.push_back([s] { *s = PowerStore(); });
        return s;
    }();
    return *store;
}
const bool registered = (P(), true);

}  // namespace

namespace hostwin {

DWORD ProcessExitCode() {
    Lock lk(M().lock);
    return P().exitCode;
}

std::vector<ShutdownRequest> ShutdownRequests() {
    Lock lk(M().lock);
    return P().shutdowns;
}

std::vector<EXECUTION_STATE> ExecutionStates() {
    Lock lk(M().lock);
    return P().states;
}

}  // namespace hostwin

extern "C" {

void WINAPI ExitProcess(UINT code) {
    Lock lk = Enter();
    SimThread *self = Self();
    if (!self->object) {
        std::fprintf(stderr, "hostwin: ExitProcess on the test's own thread; run the code in RunOnSimThread\n");
        std::abort();
    }
    P().exitCode = code;
    for (SimThread *t : M().threads) {
        if (t != self && t->object) {
            t->terminate = true;
            t->exitCode = code;
        }
    }
    WakeAll();
    EndSelf(lk, code);
}

BOOL WINAPI ExitWindowsEx(UINT flags, DWORD reserved) {
    Lock lk = Enter();
    ShutdownRequest request;
    request.flags = flags;
    request.reserved = reserved;
    bool nt = M().platformId == VER_PLATFORM_WIN32_NT;
    request.privilegeEnabled = nt && ProcessPrivilegeEnabled("SeShutdownPrivilege");
    request.result = !ShouldFail("ExitWindowsEx") && (!nt || request.privilegeEnabled);
    P().shutdowns.push_back(request);
    SetError(request.result ? ERROR_SUCCESS : ERROR_PRIVILEGE_NOT_HELD);
    return request.result;
}

EXECUTION_STATE WINAPI SetThreadExecutionState(EXECUTION_STATE flags) {
    Lock lk = Enter();
    P().states.push_back(flags);
    if (ShouldFail("SetThreadExecutionState")) return 0;
    DWORD id = Self()->id;
    auto it = P().current.find(id);
    EXECUTION_STATE previous = it == P().current.end() ? ES_CONTINUOUS : it->second;
    if (flags & ES_CONTINUOUS) P().current[id] = flags;
    return previous;
}

}  // extern "C"
