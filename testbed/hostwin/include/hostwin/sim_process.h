// The test side of the process's end, shutdown requests and the execution
// state.
#pragma once
#include <vector>

#include "windows.h"

namespace hostwin {

// The code given to ExitProcess, STILL_ACTIVE while it was not called.
// ExitProcess ends every thread made by CreateThread (RunOnSimThread's too)
// and the calling thread; the test's main thread is never ended, so run code
// that may exit inside RunOnSimThread.
DWORD ProcessExitCode();

struct ShutdownRequest {
    UINT flags = 0;
    DWORD reserved = 0;
    bool privilegeEnabled = false;  // the shutdown privilege at the call, NT only
    BOOL result = FALSE;
};
std::vector<ShutdownRequest> ShutdownRequests();

// Every SetThreadExecutionState call's argument, in order.
std::vector<EXECUTION_STATE> ExecutionStates();

}  // namespace hostwin
