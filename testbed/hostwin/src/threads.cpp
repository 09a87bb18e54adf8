// Threads, events, critical sections, Sleep and the tick count.
#include <sched.h>

#include <algorithm>

#include "machine.h"

using namespace hostwin;

namespace {

const HANDLE kCurrentThread = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2));

struct StartArgs {
    SimThread *thread;
    LPTHREAD_START_ROUTINE start;
    LPVOID parameter;
};

void *Trampoline(void *raw) {
    StartArgs args = *static_cast<StartArgs *>(raw);
    delete static_cast<StartArgs *>(raw);
    AdoptThread(args.thread);
    {
        Lock lk = Enter();  // a thread terminated before it ran ends here
    }
    DWORD code = args.start(args.parameter);
    Lock lk(M().lock);
    args.thread->exitCode = code;
    return nullptr;
}

struct Event : Object {
    bool manual = false;
    bool set = false;
    bool Signalled() const override { return set; }
    void Acquire() override {
        if (!manual) set = false;
    }
    bool Waitable() const override { return true; }
};

// The stand-in's state behind a CRITICAL_SECTION. The product keeps its
// sections for the whole run, so the machine frees them at Reset.
struct CriticalSection {
    SimThread *owner = nullptr;
    int depth = 0;
};

std::vector<std::unique_ptr<CriticalSection>> &Sections() {
    static auto *sections = [] {
        auto *list = new std::vector<std::unique_ptr<CriticalSection>>;
        M().resetHooks.push_back([list] { list->clear(); });
        return list;
    }();
    return *sections;
}

std::shared_ptr<ThreadObject> ThreadFor(HANDLE handle) {
    if (handle == kCurrentThread) {
        SimThread *self = Self();
        if (self->object) return self->object;
        return nullptr;
    }
    return FindAs<ThreadObject>(handle);
}

}  // namespace

extern "C" {

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                           DWORD flags, LPDWORD threadId) {
    Lock lk = Enter();
    Machine &m = M();
    if (ShouldFail("CreateThread") || !start) {
        SetError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (flags & CREATE_SUSPENDED) {  // nothing in the product starts a thread suspended
        SetError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    auto object = std::make_shared<ThreadObject>();
    object->id = m.nextThreadId;
    m.nextThreadId += 4;
    auto *thread = new SimThread;
    thread->id = object->id;
    thread->object = object;
    object->thread = thread;
    m.threads.push_back(thread);
    m.running++;  // runnable from its creation
    pthread_t pt;
    if (pthread_create(&pt, nullptr, Trampoline, new StartArgs{thread, start, parameter}) != 0) {
        m.threads.erase(std::remove(m.threads.begin(), m.threads.end(), thread), m.threads.end());
        m.running--;
        delete thread;
        SetError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    pthread_detach(pt);
    if (threadId) *threadId = object->id;
    return AddHandle(object);
}

void WINAPI ExitThread(DWORD code) {
    Lock lk = Enter();
    EndSelf(lk, code);
}

BOOL WINAPI TerminateThread(HANDLE handle, DWORD code) {
    Lock lk = Enter();
    M().calls["TerminateThread"]++;
    auto object = ThreadFor(handle);
    if (!object) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (object->thread == Self()) EndSelf(lk, code);
    if (object->thread) {
        object->thread->terminate = true;
        object->thread->exitCode = code;
        WakeAll();
    }
    return TRUE;
}

BOOL WINAPI SetThreadPriority(HANDLE handle, int priority) {
    Lock lk = Enter();
    auto object = ThreadFor(handle);
    DWORD id = object ? object->id : (handle == kCurrentThread ? Self()->id : 0);
    if (!id) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (object) object->priority = priority;
    M().priorities[id] = priority;
    return TRUE;
}

int WINAPI GetThreadPriority(HANDLE handle) {
    Lock lk = Enter();
    auto object = ThreadFor(handle);
    if (!object) {
        SetError(ERROR_INVALID_HANDLE);
        return THREAD_PRIORITY_ERROR_RETURN;
    }
    return object->priority;
}

BOOL WINAPI GetExitCodeThread(HANDLE handle, LPDWORD code) {
    Lock lk = Enter();
    auto object = ThreadFor(handle);
    if (!object || !code) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *code = object->exitCode;
    return TRUE;
}

HANDLE WINAPI GetCurrentThread(void) { return kCurrentThread; }

DWORD WINAPI GetCurrentThreadId(void) {
    Lock lk = Enter();
    return Self()->id;
}

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR name) {
    Lock lk = Enter();
    if (ShouldFail("CreateEventA")) {
        SetError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (name) {  // named events are not needed by the product
        SetError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    auto event = std::make_shared<Event>();
    event->manual = manualReset != 0;
    event->set = initialState != 0;
    return AddHandle(event);
}

BOOL WINAPI SetEvent(HANDLE handle) {
    Lock lk = Enter();
    M().calls["SetEvent"]++;
    auto event = FindAs<Event>(handle);
    if (!event) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    event->set = true;
    WakeAll();
    return TRUE;
}

BOOL WINAPI ResetEvent(HANDLE handle) {
    Lock lk = Enter();
    auto event = FindAs<Event>(handle);
    if (!event) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    event->set = false;
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    Lock lk = Enter();
    auto object = handle == kCurrentThread ? std::shared_ptr<Object>(ThreadFor(handle)) : FindHandle(handle);
    if (!object || !object->Waitable()) {
        SetError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    uint64_t deadline = milliseconds == INFINITE ? kNoDeadline : M().now + milliseconds;
    if (!Block(lk, [&] { return object->Signalled(); }, deadline)) return WAIT_TIMEOUT;
    object->Acquire();
    return WAIT_OBJECT_0;
}

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION cs) {
    Lock lk = Enter();
    Sections().push_back(std::make_unique<CriticalSection>());
    cs->impl = Sections().back().get();
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION cs) {
    Lock lk = Enter();
    auto *state = static_cast<CriticalSection *>(cs->impl);
    SimThread *self = Self();
    // A section whose owner was terminated stays owned, as on Windows.
    Block(lk, [&] { return state->owner == nullptr || state->owner == self; }, kNoDeadline);
    state->owner = self;
    state->depth++;
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION cs) {
    Lock lk = Enter();
    auto *state = static_cast<CriticalSection *>(cs->impl);
    if (state->owner != Self() || state->depth == 0) return;
    if (--state->depth == 0) {
        state->owner = nullptr;
        WakeAll();
    }
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION cs) {
    Lock lk = Enter();
    auto &list = Sections();
    list.erase(std::remove_if(list.begin(), list.end(), [&](auto &p) { return p.get() == cs->impl; }), list.end());
    cs->impl = nullptr;
}

void WINAPI Sleep(DWORD milliseconds) {
    Lock lk = Enter();
    M().calls["Sleep"]++;
    if (milliseconds == 0) return;
    uint64_t deadline = milliseconds == INFINITE ? kNoDeadline : M().now + milliseconds;
    Block(lk, [] { return false; }, deadline, true);
}

DWORD WINAPI GetTickCount(void) {
    Lock lk = Enter();
    return static_cast<DWORD>(M().now);
}

}  // extern "C"

namespace hostwin {

bool CriticalSectionHeld(const CRITICAL_SECTION *cs) {
    Lock lk(M().lock);
    auto *state = static_cast<CriticalSection *>(cs->impl);
    return state && state->owner != nullptr;
}

void RunOnSimThread(const std::function<void()> &body) {
    auto call = [](LPVOID p) -> DWORD {
        (*static_cast<const std::function<void()> *>(p))();
        return 0;
    };
    HANDLE thread = CreateThread(nullptr, 0, call, const_cast<std::function<void()> *>(&body), 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

}  // namespace hostwin
