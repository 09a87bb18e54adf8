// The window store of the stand-in: every window and control, their state,
// and the built-in behaviour of the control classes the product uses.
#pragma once
#include <deque>
#include <map>
#include <memory>

#include "hostwin/sim_windows.h"
#include "machine.h"

namespace hostwin {

struct Timer {
    UINT interval = 0;
    uint64_t due = 0;
};

struct Win {
    WindowState state;
    DLGPROC dialogProc = nullptr;  // set for dialogs
    DWORD thread = 0;              // the thread that owns the window
    bool destroyed = false;        // calls fail; tests still read the state
    LONG_PTR msgResult = 0;        // DWLP_MSGRESULT of a dialog
    std::map<UINT_PTR, Timer> timers;
};

// A window call made from another thread, run by the owner's dialog loop.
struct Task {
    std::function<LRESULT(Lock &)> call;
    DialogEvent event;
    LRESULT result = 0;
    bool done = false;
};

// Input of the scripted user, turned into messages by the dialog loop.
struct Input {
    enum Kind { kClick, kSelect, kKey, kCloseBox, kMessage, kQueryEndSession } kind;
    int id = 0;
    int index = 0;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// A modal loop running on one thread.
struct DialogLoop {
    HWND dialog = nullptr;
    DWORD thread = 0;
    bool ended = false;
    INT_PTR result = 0;
    std::deque<std::shared_ptr<Task>> tasks;
    std::deque<Input> inputs;
};

struct WindowStore {
    std::map<HWND, std::shared_ptr<Win>> windows;
    uintptr_t nextHandle = 0x10000;
    std::vector<MessageBoxRecord> boxes;
    std::vector<UINT> beeps;
    std::function<int(const MessageBoxRecord &)> boxHandler;
    bool commonControls = false;
    std::vector<DialogLoop *> loops;  // running modal loops, innermost last
    HWND lastDialog = nullptr;
    std::function<void(const DialogEvent &)> user;
    std::vector<BOOL> endSessionAnswers;
    int lostInputs = 0;
};

WindowStore &W();  // lock held

std::shared_ptr<Win> FindWindowLocked(HWND window);  // counts an invalid use when absent
HWND AddWindow(HWND parent, int id, const std::string &className, DWORD style, const std::string &text);

// What the built-in classes do with a message; lock held.
LRESULT ControlMessage(Win &win, UINT message, WPARAM wParam, LPARAM lParam);

// Runs a window call on the thread that owns the window: at once when that
// is the caller or when the owner runs no dialog loop, otherwise through
// the owner's loop while the caller waits. Lock held.
LRESULT OnWindowThread(Lock &lk, Win &win, UINT message, WPARAM wParam, LPARAM lParam,
                       const std::function<LRESULT(Lock &)> &call);
// Sends a message to a dialog's procedure with the default handling of the
// dialog manager; on the dialog's thread, lock held (released meanwhile).
LRESULT DeliverToDialog(Lock &lk, HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace hostwin
