#include "machine.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace hostwin {

Machine &M() {
    // Never destroyed: threads may still unregister while the process exits.
    static Machine *machine = new Machine;
    return *machine;
}

namespace {

// Unregisters the thread when it ends, however it ends (return, ExitThread,
// termination), and signals its thread object.
struct Registration {
    SimThread *thread = nullptr;
    ~Registration() {
        if (!thread) return;
        Machine &m = M();
        Lock lk(m.lock);
        auto &list = m.threads;
        list.erase(std::remove(list.begin(), list.end(), thread), list.end());
        if (!thread->blocked && !thread->offClock) m.running--;
        if (thread->object) {
            thread->object->exited = true;
            thread->object->exitCode = thread->exitCode;
            thread->object->thread = nullptr;
        }
        delete thread;
        thread = nullptr;
        WakeAll();
    }
};
thread_local Registration registration;

// Ends the waits whose deadline has come, sleepers first. Every thread is
// blocked when this runs. Returns whether any wait ended.
bool FireDue(Machine &m) {
    bool sleeperDue = false, due = false;
    for (SimThread *t : m.threads) {
        if (t->blocked && t->deadline <= m.now) {
            due = true;
            sleeperDue = sleeperDue || t->sleeping;
        }
    }
    if (!due) return false;
    for (SimThread *t : m.threads) {
        if (t->blocked && t->deadline <= m.now && (t->sleeping || !sleeperDue)) {
            t->timedOut = true;
            t->blocked = false;
            m.running++;
        }
    }
    m.cv.notify_all();
    return true;
}

void Advance(Machine &m) {
    uint64_t earliest = kNoDeadline;
    for (SimThread *t : m.threads)
        if (t->blocked) earliest = std::min(earliest, t->deadline);
    if (earliest == kNoDeadline) {
        if (!m.reportedDeadlock && !m.threads.empty()) {
            std::fprintf(stderr, "hostwin: every thread waits without a time limit\n");
            m.reportedDeadlock = true;
        }
        return;
    }
    m.now = std::max(m.now, earliest);
    FireDue(m);
}

void Kick(Machine &m) {
    if (m.running != 0 || FireDue(m)) return;
    if (m.autoAdvance && m.settling == 0) Advance(m);
}

}  // namespace

SimThread *Self() {
    if (!registration.thread) {
        Machine &m = M();
        auto *t = new SimThread;
        t->pthread = pthread_self();
        t->id = m.nextThreadId;
        m.nextThreadId += 4;
        m.threads.push_back(t);
        m.running++;
        registration.thread = t;
    }
    return registration.thread;
}

void AdoptThread(SimThread *thread) { registration.thread = thread; }

Lock Enter() {
    Lock lk(M().lock);
    SimThread *self = Self();
    if (self->terminate) EndSelf(lk, self->exitCode);
    return lk;
}

void WakeAll() {
    Machine &m = M();
    for (SimThread *t : m.threads) {
        if (t->blocked) {
            t->blocked = false;
            m.running++;
        }
    }
    m.cv.notify_all();
}

bool Block(Lock &lk, const std::function<bool()> &ready, uint64_t deadline, bool sleeping) {
    Machine &m = M();
    SimThread *self = Self();
    for (;;) {
        if (self->terminate) EndSelf(lk, self->exitCode);
        bool timedOut = self->timedOut;
        self->timedOut = false;
        if (ready()) return true;
        if (timedOut) return false;
        self->blocked = true;
        self->deadline = deadline;
        self->sleeping = sleeping;
        m.running--;
        m.reportedDeadlock = false;
        Kick(m);
        while (self->blocked) m.cv.wait(lk);
    }
}

void EndSelf(Lock &lk, DWORD code) {
    Self()->exitCode = code;
    lk.unlock();
    pthread_exit(nullptr);
}

HANDLE AddHandle(std::shared_ptr<Object> object) {
    auto &h = M().handles;
    size_t i = 0;
    while (i < h.size() && h[i]) i++;  // lowest free value, reused as Windows does
    if (i == h.size()) h.emplace_back();
    h[i] = std::move(object);
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>((i + 1) * 4));
}

static bool SlotOf(HANDLE handle, size_t *slot) {
    auto value = reinterpret_cast<uintptr_t>(handle);
    if (value == 0 || value % 4 != 0) return false;
    *slot = value / 4 - 1;
    return *slot < M().handles.size() && M().handles[*slot];
}

std::shared_ptr<Object> FindHandle(HANDLE handle) {
    size_t slot;
    if (!SlotOf(handle, &slot)) {
        M().invalidHandleUses++;
        return nullptr;
    }
    return M().handles[slot];
}

bool RemoveHandle(HANDLE handle) {
    size_t slot;
    if (!SlotOf(handle, &slot)) {
        M().invalidHandleUses++;
        return false;
    }
    M().handles[slot].reset();
    return true;
}

bool ShouldFail(const std::string &function) {
    Machine &m = M();
    m.calls[function]++;
    auto it = m.faults.find(function);
    if (it == m.faults.end()) return false;
    auto &[skip, count] = it->second;
    if (skip > 0) {
        skip--;
        return false;
    }
    if (count <= 0) return false;
    count--;
    return true;
}

static std::vector<OpenHook> &OpenHooks() {
    static auto *hooks = new std::vector<OpenHook>;
    return *hooks;
}
void AddOpenHook(OpenHook hook) { OpenHooks().push_back(std::move(hook)); }
std::shared_ptr<Object> OpenSpecial(const std::string &path, DWORD access, bool *handled) {
    for (auto &hook : OpenHooks()) {
        *handled = false;
        auto object = hook(path, access, handled);
        if (*handled) return object;
    }
    *handled = false;
    return nullptr;
}

// --- Test API ---------------------------------------------------------------

void Reset() {
    Machine &m = M();
    Lock lk(m.lock);
    SimThread *self = Self();
    for (SimThread *t : m.threads)
        if (t != self) t->terminate = true;
    WakeAll();
    auto started = std::chrono::steady_clock::now();
    while (m.threads.size() > 1) {
        lk.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        lk.lock();
        WakeAll();
        if (std::chrono::steady_clock::now() - started > std::chrono::seconds(10)) {
            std::fprintf(stderr, "hostwin: a thread of the last test does not end\n");
            std::abort();
        }
    }
    self->terminate = false;
    self->offClock = false;
    std::vector<std::shared_ptr<Object>> closing;
    closing.swap(m.handles);
    m.now = 0x10000;  // a tick count that is not zero at start, as after a boot
    m.autoAdvance = true;
    m.reportedDeadlock = false;
    m.invalidHandleUses = 0;
    m.faults.clear();
    m.calls.clear();
    m.priorities.clear();
    m.commandLine.clear();
    m.commandLineBuffer.assign(1, '\0');
    m.moduleFileName = "fwflash.exe";
    m.systemLanguage = 0x0409;
    m.platformId = VER_PLATFORM_WIN32_NT;
    m.majorVersion = 5;
    m.minorVersion = 1;
    auto hooks = m.resetHooks;
    for (auto &hook : hooks) hook();
    lk.unlock();
    closing.clear();  // objects may take the lock while they close
}

uint64_t Now() {
    Lock lk(M().lock);
    return M().now;
}

void AdvanceClock(uint64_t milliseconds) {
    Lock lk(M().lock);
    M().now += milliseconds;
    WakeAll();
}

void SetAutoAdvance(bool on) {
    Lock lk(M().lock);
    M().autoAdvance = on;
    if (on) Kick(M());
}

void FailCall(const std::string &function, int skip, int count) {
    Lock lk(M().lock);
    M().faults[function] = {skip, count};
}

int CallCount(const std::string &function) {
    Lock lk(M().lock);
    auto it = M().calls.find(function);
    return it == M().calls.end() ? 0 : it->second;
}

int OpenHandleCount() {
    Lock lk(M().lock);
    int n = 0;
    for (auto &h : M().handles) n += h ? 1 : 0;
    return n;
}

int InvalidHandleUses() {
    Lock lk(M().lock);
    return M().invalidHandleUses;
}

int ThreadPriority(DWORD threadId) {
    Lock lk(M().lock);
    auto it = M().priorities.find(threadId);
    return it == M().priorities.end() ? 0 : it->second;
}

void SettleThreads() {
    Machine &m = M();
    Lock lk(m.lock);
    SimThread *self = Self();
    bool counted = !self->blocked && !self->offClock;
    if (counted) {
        self->offClock = true;
        m.running--;
    }
    m.settling++;
    // Waits due now may still end (and start more work): settle those too.
    while (m.running != 0 || FireDue(m)) {
        lk.unlock();
        sched_yield();
        lk.lock();
    }
    m.settling--;
    if (counted) {
        self->offClock = false;
        m.running++;
    }
}

OffClock::OffClock() {
    Lock lk(M().lock);
    SimThread *self = Self();
    self->offClock = true;
    M().running--;
    Kick(M());
}

OffClock::~OffClock() {
    Lock lk(M().lock);
    SimThread *self = Self();
    self->offClock = false;
    M().running++;
}

}  // namespace hostwin
