// The simulated machine behind the stand-in: one lock, one clock, the
// threads it knows of, the kernel handle table and the fault switches. Every
// stand-in function takes Machine::lock for its whole run, except while it
// blocks (Block) or calls back into test or product code.
#pragma once
#include <pthread.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "hostwin/sim.h"

namespace hostwin {

constexpr uint64_t kNoDeadline = UINT64_MAX;

struct SimThread;

// A kernel object reached through a HANDLE. Files, events, threads, and the
// devices, modules and tokens that later parts of the stand-in add.
struct Object {
    virtual ~Object() = default;
    // For waits: whether a wait on the object is satisfied now, and what a
    // satisfied wait does to it (an auto-reset event resets).
    virtual bool Signalled() const { return false; }
    virtual void Acquire() {}
    virtual bool Waitable() const { return false; }
};

struct ThreadObject : Object {
    DWORD id = 0;
    bool exited = false;
    DWORD exitCode = STILL_ACTIVE;
    int priority = THREAD_PRIORITY_NORMAL;
    SimThread *thread = nullptr;  // null once it has ended
    bool Signalled() const override { return exited; }
    bool Waitable() const override { return true; }
};

struct SimThread {
    pthread_t pthread{};
    DWORD id = 0;
    bool blocked = false;
    uint64_t deadline = kNoDeadline;
    bool offClock = false;   // waiting outside the stand-in (OffClock)
    bool sleeping = false;   // blocked in Sleep: nothing but the clock ends it
    bool timedOut = false;   // its deadline came while every thread was blocked
    bool terminate = false;  // TerminateThread: end at the next stand-in call
    DWORD exitCode = 0;
    std::shared_ptr<ThreadObject> object;  // null for threads the product did not create
};

struct Machine {
    std::mutex lock;
    std::condition_variable cv;

    uint64_t now = 0;
    bool autoAdvance = true;
    bool reportedDeadlock = false;
    int settling = 0;  // threads in SettleThreads: the clock must not move meanwhile

    std::vector<SimThread *> threads;  // every known thread
    int running = 0;                   // known threads not blocked in Block
    DWORD nextThreadId = 0x100;

    std::vector<std::shared_ptr<Object>> handles;  // slot i is handle (i + 1) * 4
    int invalidHandleUses = 0;

    std::map<std::string, std::pair<int, int>> faults;  // name -> (skip, count)
    std::map<std::string, int> calls;
    std::map<DWORD, int> priorities;

    std::string commandLine;
    std::vector<char> commandLineBuffer;
    std::string moduleFileName;
    LANGID systemLanguage = 0x0409;
    DWORD platformId = VER_PLATFORM_WIN32_NT, majorVersion = 5, minorVersion = 1;

    int64_t liveAllocations = 0;

    // Hooks by which later parts of the stand-in take part in Reset.
    std::vector<std::function<void()>> resetHooks;
};

Machine &M();
using Lock = std::unique_lock<std::mutex>;

// The calling thread's record, registering a thread the stand-in has not seen.
// Lock held.
SimThread *Self();
// Makes `thread` the calling thread's record (new threads of CreateThread).
void AdoptThread(SimThread *thread);

// Takes the lock for a stand-in call; a thread marked for termination ends
// here instead.
Lock Enter();

// Blocks the caller until `ready` holds (returns true) or the clock reaches
// `deadline` (returns false). `ready` is evaluated with the lock held. A
// thread marked for termination ends here. Lock held on entry and exit.
// A deadline fires only once every thread is blocked, and sleepers due at
// an instant run before waits due at it time out: a completion that comes
// exactly at a wait limit is seen, whatever the threads' scheduling.
bool Block(Lock &lk, const std::function<bool()> &ready, uint64_t deadline, bool sleeping = false);

// Lets every blocked thread look again at what it waits for. Lock held.
void WakeAll();

// Ends the calling thread from inside the stand-in; lock released first.
[[noreturn]] void EndSelf(Lock &lk, DWORD code);

// Handle table. Lock held.
HANDLE AddHandle(std::shared_ptr<Object> object);
std::shared_ptr<Object> FindHandle(HANDLE handle);  // counts an invalid use when absent
template <class T>
std::shared_ptr<T> FindAs(HANDLE handle) {
    auto object = FindHandle(handle);
    auto typed = std::dynamic_pointer_cast<T>(object);
    if (object && !typed) M().invalidHandleUses++;
    return typed;
}
bool RemoveHandle(HANDLE handle);

// Counts the call and tells whether an injected fault makes it fail. Lock held.
bool ShouldFail(const std::string &function);

void SetError(DWORD code);  // the calling thread's last error; lock held

// Opens a path that is not an ordinary file (devices); a hook sets *handled
// when the path is its own. Lock held.
using OpenHook = std::function<std::shared_ptr<Object>(const std::string &path, DWORD access,
                                                       bool *handled)>;
void AddOpenHook(OpenHook hook);
std::shared_ptr<Object> OpenSpecial(const std::string &path, DWORD access, bool *handled);

}  // namespace hostwin
