// The window store of the stand-in: every window and control, their state,
// and the built-in behaviour of the control classes the product uses.
#pragma once
#include <map>
#include <memory>

#include "machine.h"

namespace hostwin {

struct Win {
    WindowState state;
    DLGPROC dialogProc = nullptr;  // set for dialogs
    DWORD thread = 0;              // the thread that owns the window
};

struct WindowStore {
    std::map<HWND, std::shared_ptr<Win>> windows;
    uintptr_t nextHandle = 0x10000;
    std::vector<MessageBoxRecord> boxes;
    std::vector<UINT> beeps;
    std::function<int(const MessageBoxRecord &)> boxHandler;
    bool commonControls = false;
};

WindowStore &W();  // lock held

std::shared_ptr<Win> FindWindowLocked(HWND window);  // counts an invalid use when absent
HWND AddWindow(HWND parent, int id, const std::string &className, DWORD style, const std::string &text);

// What the built-in classes do with a message; lock held.
LRESULT ControlMessage(Win &win, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace hostwin
