// The test side of the host stand-in: how tests set up the simulated machine
// the product runs on, drive its clock and users, and observe what the
// product did. Not visible to the product.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "windows.h"

namespace hostwin {

// A fresh machine: ends every thread the product left behind (other than the
// caller), closes every handle and window, clears faults and recordings, and
// restores the defaults below. Call at the start of every test.
void Reset();

// --- The machine -----------------------------------------------------------
void SetCommandLine(const std::string &commandLine);   // default ""
void SetModuleFileName(const std::string &path);       // default "fwflash.exe"
void SetSystemLanguage(LANGID id);                     // default 0x0409
void SetPlatform(DWORD platformId, DWORD major = 0, DWORD minor = 0); // default NT 5.1

// --- The clock ---------------------------------------------------------------
// Simulated milliseconds. Time moves only by AdvanceClock or, while automatic
// advance is on (the default), when every thread the stand-in knows of is
// blocked in one of its waits: the clock then jumps to the earliest deadline.
// So a 20-minute wait in a test costs no real time.
uint64_t Now();
void AdvanceClock(uint64_t milliseconds);
void SetAutoAdvance(bool on);

// --- Faults ------------------------------------------------------------------
// The named call fails `count` times after `skip` successful calls. Names are
// the Win32 function names ("HeapAlloc", "CreateEventA", "CreateThread",
// "ReadFile", ...); "ReadFile.short" makes a read return half of what was asked.
void FailCall(const std::string &function, int skip = 0, int count = 1);
// How many times the named call was made since Reset.
int CallCount(const std::string &function);

// --- Observations --------------------------------------------------------------
int OpenHandleCount();             // kernel handles currently open
int InvalidHandleUses();           // calls made with a closed or unknown handle
int64_t LiveAllocations();         // HeapAlloc blocks not freed
int ThreadPriority(DWORD threadId); // last priority set for a thread, 0 when none
// While one of these lives, the calling thread waits on something outside
// the stand-in (a std::thread join, say) and does not hold the clock back.
struct OffClock {
    OffClock();
    ~OffClock();
    OffClock(const OffClock &) = delete;
    OffClock &operator=(const OffClock &) = delete;
};
// Returns once every other thread the stand-in knows of is blocked in a
// wait: what they do next depends on the clock or on the caller.
void SettleThreads();
// Whether a critical section is owned by some thread (a terminated owner
// keeps it owned, as on Windows).
bool CriticalSectionHeld(const CRITICAL_SECTION *cs);
// Runs `body` on a new thread the stand-in knows of, and waits for it.
void RunOnSimThread(const std::function<void()> &body);

// --- Message boxes ------------------------------------------------------------
struct MessageBoxRecord {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
    DWORD threadId;
};
// The user answering boxes. The default answers IDOK to every box.
void SetMessageBoxHandler(std::function<int(const MessageBoxRecord &)> handler);
std::vector<MessageBoxRecord> MessageBoxes();
std::vector<UINT> Beeps();

// --- Windows -------------------------------------------------------------------
struct WindowState {
    HWND handle = nullptr;
    HWND parent = nullptr;
    int id = 0;
    std::string className;
    DWORD style = 0;
    std::string text;
    bool enabled = true;
    bool visible = false;
    std::vector<std::string> items;   // combo-box entries
    int selection = -1;               // combo-box selection
    int rangeMin = 0, rangeMax = 100; // progress bar
    int position = 0;                 // progress bar
};
// A top-level window with no procedure, and controls inside it, for tests of
// code that writes into a dialog without running one.
HWND CreateTestWindow(HWND parent, int id, const std::string &className, DWORD style = 0,
                      const std::string &text = "");
// A copy of a window's state; an empty state (handle null) when there is none.
WindowState Window(HWND window);
WindowState Control(HWND dialog, int id);

}  // namespace hostwin
