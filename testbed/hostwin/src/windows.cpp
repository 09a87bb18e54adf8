// Windows, controls, message boxes and text formatting.
#include "windows.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "hostwin/commctrl.h"

namespace hostwin {

WindowStore &W() {
    static WindowStore *store = [] {
        auto *s = new WindowStore;
        M().resetHooks.push_back([s] {
            s->windows.clear();
            s->boxes.clear();
            s->beeps.clear();
            s->boxHandler = nullptr;
            s->commonControls = false;
            s->loops.clear();
            s->lastDialog = nullptr;
            s->user = nullptr;
            s->endSessionAnswers.clear();
            s->lostInputs = 0;
        });
        return s;
    }();
    return *store;
}

std::shared_ptr<Win> FindWindowLocked(HWND window) {
    auto it = W().windows.find(window);
    if (it == W().windows.end() || it->second->destroyed) {
        M().invalidHandleUses++;
        return nullptr;
    }
    return it->second;
}

HWND AddWindow(HWND parent, int id, const std::string &className, DWORD style, const std::string &text) {
    auto win = std::make_shared<Win>();
    HWND handle = reinterpret_cast<HWND>(W().nextHandle);
    W().nextHandle += 0x10;
    win->state.handle = handle;
    win->state.parent = parent;
    win->state.id = id;
    win->state.className = className;
    win->state.style = style;
    win->state.text = text;
    win->state.visible = (style & 0x10000000u) != 0;   // WS_VISIBLE
    win->state.enabled = (style & 0x08000000u) == 0;   // WS_DISABLED
    win->thread = Self()->id;
    W().windows[handle] = win;
    return handle;
}

static bool IsClass(const Win &win, const char *name) { return strcasecmp(win.state.className.c_str(), name) == 0; }

LRESULT ControlMessage(Win &win, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowState &s = win.state;
    switch (message) {
    case WM_SETTEXT:
        s.text = lParam ? reinterpret_cast<const char *>(lParam) : "";
        return TRUE;
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(s.text.size());
    case WM_GETTEXT: {
        if (wParam == 0) return 0;
        size_t n = std::min<size_t>(s.text.size(), wParam - 1);
        std::memcpy(reinterpret_cast<char *>(lParam), s.text.data(), n);
        reinterpret_cast<char *>(lParam)[n] = '\0';
        return static_cast<LRESULT>(n);
    }
    }
    if (IsClass(win, "COMBOBOX")) {
        int count = static_cast<int>(s.items.size());
        switch (message) {
        case CB_INSERTSTRING: {
            int index = static_cast<int>(static_cast<LONG_PTR>(wParam));
            if (index == -1) index = count;
            if (index < 0 || index > count) return CB_ERR;
            s.items.insert(s.items.begin() + index, reinterpret_cast<const char *>(lParam));
            if (s.selection >= index) s.selection++;
            return index;
        }
        case CB_GETCOUNT: return count;
        case CB_GETCURSEL: return s.selection;
        case CB_SETCURSEL: {
            int index = static_cast<int>(static_cast<LONG_PTR>(wParam));
            if (index < 0 || index >= count) {
                s.selection = -1;
                return CB_ERR;
            }
            s.selection = index;
            return index;
        }
        case CB_GETLBTEXTLEN: {
            int index = static_cast<int>(wParam);
            return index >= 0 && index < count ? static_cast<LRESULT>(s.items[index].size()) : CB_ERR;
        }
        case CB_GETLBTEXT: {
            int index = static_cast<int>(wParam);
            if (index < 0 || index >= count) return CB_ERR;
            std::memcpy(reinterpret_cast<char *>(lParam), s.items[index].c_str(), s.items[index].size() + 1);
            return static_cast<LRESULT>(s.items[index].size());
        }
        case CB_RESETCONTENT:
            s.items.clear();
            s.selection = -1;
            return 0;
        }
    }
    if (IsClass(win, PROGRESS_CLASSA)) {
        switch (message) {
        case PBM_SETRANGE: {
            LRESULT old = MAKELONG(s.rangeMin, s.rangeMax);
            s.rangeMin = LOWORD(lParam);
            s.rangeMax = HIWORD(lParam);
            return old;
        }
        case PBM_SETPOS: {
            LRESULT old = s.position;
            s.position = static_cast<int>(wParam);
            if (s.position < s.rangeMin) s.position = s.rangeMin;
            if (s.position > s.rangeMax) s.position = s.rangeMax;
            return old;
        }
        case PBM_GETPOS: return s.position;
        }
    }
    return 0;
}

// --- Test API -----------------------------------------------------------------

HWND CreateTestWindow(HWND parent, int id, const std::string &className, DWORD style, const std::string &text) {
    Lock lk(M().lock);
    return AddWindow(parent, id, className, style, text);
}

WindowState Window(HWND window) {
    Lock lk(M().lock);
    auto it = W().windows.find(window);
    return it == W().windows.end() ? WindowState{} : it->second->state;
}

WindowState Control(HWND dialog, int id) {
    Lock lk(M().lock);
    for (auto &[handle, win] : W().windows)
        if (win->state.parent == dialog && win->state.id == id) return win->state;
    return WindowState{};
}

void SetMessageBoxHandler(std::function<int(const MessageBoxRecord &)> handler) {
    Lock lk(M().lock);
    W().boxHandler = std::move(handler);
}

std::vector<MessageBoxRecord> MessageBoxes() {
    Lock lk(M().lock);
    return W().boxes;
}

std::vector<UINT> Beeps() {
    Lock lk(M().lock);
    return W().beeps;
}

}  // namespace hostwin

using namespace hostwin;

extern "C" {

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    Lock lk = Enter();
    MessageBoxRecord box{owner, text ? text : "", caption ? caption : "Error", type, Self()->id};
    W().boxes.push_back(box);
    auto handler = W().boxHandler;
    lk.unlock();  // the user takes the time it takes; other threads go on
    return handler ? handler(box) : IDOK;
}

BOOL WINAPI MessageBeep(UINT type) {
    Lock lk = Enter();
    W().beeps.push_back(type);
    return TRUE;
}

HWND WINAPI GetDlgItem(HWND dialog, int id) {
    Lock lk = Enter();
    for (auto &[handle, win] : W().windows)
        if (win->state.parent == dialog && win->state.id == id && dialog && !win->destroyed) return handle;
    SetError(1421);  // ERROR_CONTROL_ID_NOT_FOUND
    return nullptr;
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Lock lk = Enter();
    auto win = FindWindowLocked(window);
    if (!win) {
        SetError(1400);  // ERROR_INVALID_WINDOW_HANDLE
        return 0;
    }
    return OnWindowThread(lk, *win, message, wParam, lParam, [&](Lock &held) {
        if (win->dialogProc) return DeliverToDialog(held, window, message, wParam, lParam);
        return ControlMessage(*win, message, wParam, lParam);
    });
}

BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text) {
    return SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int WINAPI GetWindowTextA(HWND window, LPSTR text, int size) {
    return static_cast<int>(SendMessageA(window, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(text)));
}

BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    HWND control = GetDlgItem(dialog, id);
    return control ? SetWindowTextA(control, text) : FALSE;
}

BOOL WINAPI EnableWindow(HWND window, BOOL enable) {
    Lock lk = Enter();
    auto win = FindWindowLocked(window);
    if (!win) return FALSE;
    return static_cast<BOOL>(OnWindowThread(lk, *win, 0x000A /* WM_ENABLE */, enable, 0, [&](Lock &) {
        BOOL wasDisabled = !win->state.enabled;
        win->state.enabled = enable != 0;
        return static_cast<LRESULT>(wasDisabled);
    }));
}

BOOL WINAPI IsWindowEnabled(HWND window) {
    Lock lk = Enter();
    auto win = FindWindowLocked(window);
    return win && win->state.enabled;
}

BOOL WINAPI ShowWindow(HWND window, int command) {
    Lock lk = Enter();
    auto win = FindWindowLocked(window);
    if (!win) return FALSE;
    return static_cast<BOOL>(OnWindowThread(lk, *win, 0x0018 /* WM_SHOWWINDOW */, command != SW_HIDE, 0, [&](Lock &) {
        BOOL wasVisible = win->state.visible;
        win->state.visible = command != SW_HIDE;
        return static_cast<LRESULT>(wasVisible);
    }));
}

BOOL WINAPI IsWindowVisible(HWND window) {
    Lock lk = Enter();
    auto win = FindWindowLocked(window);
    return win && win->state.visible;
}

void WINAPI InitCommonControls(void) {
    Lock lk = Enter();
    W().commonControls = true;
}

int CDECL wsprintfA(LPSTR buffer, LPCSTR format, ...) {
    // The user32 formatter writes at most 1024 characters.
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, 1025, format, args);
    va_end(args);
    return n > 1024 ? 1024 : n;
}

}  // extern "C"
