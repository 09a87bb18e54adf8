// The dialog manager: dialogs built from DIALOG resources, the modal loop
// with its sent messages, timers and user input, and the scripted user.
#include <strings.h>

#include <algorithm>

#include "hostwin/commctrl.h"
#include "resources.h"
#include "windows.h"

namespace hostwin {

namespace {

constexpr WORD kDialogType = 5;  // RT_DIALOG

DialogLoop *LoopOf(DWORD thread) {
    for (DialogLoop *loop : W().loops)
        if (loop->thread == thread) return loop;
    return nullptr;
}

DialogLoop *ActiveLoop() { return W().loops.empty() ? nullptr : W().loops.back(); }

void TellUser(Lock &lk, const DialogEvent &event) {
    auto user = W().user;
    if (!user) return;
    lk.unlock();
    user(event);
    lk.lock();
}

bool KnownClass(const std::string &name) {
    static const char *const builtIn[] = {"BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR", "COMBOBOX"};
    for (const char *c : builtIn)
        if (strcasecmp(name.c_str(), c) == 0) return true;
    // Registered by InitCommonControls, as comctl32 does at load.
    return strcasecmp(name.c_str(), PROGRESS_CLASSA) == 0 && W().commonControls;
}

HWND ControlOf(HWND dialog, int id) {
    for (auto &[handle, win] : W().windows)
        if (win->state.parent == dialog && win->state.id == id && !win->destroyed) return handle;
    return nullptr;
}

// What the user can press: a control that is shown and enabled.
HWND Pressable(HWND dialog, int id) {
    HWND control = ControlOf(dialog, id);
    if (!control) return nullptr;
    auto &state = W().windows[control]->state;
    return state.enabled && state.visible ? control : nullptr;
}

LRESULT Command(Lock &lk, HWND dialog, int id, int code) {
    return DeliverToDialog(lk, dialog, WM_COMMAND, MAKEWPARAM(id, code),
                           reinterpret_cast<LPARAM>(ControlOf(dialog, id)));
}

void HandleInput(Lock &lk, DialogLoop &loop, const Input &input) {
    HWND dialog = loop.dialog;
    switch (input.kind) {
    case Input::kClick:
        if (!Pressable(dialog, input.id)) {
            W().lostInputs++;
            return;
        }
        Command(lk, dialog, input.id, BN_CLICKED);
        return;
    case Input::kSelect: {
        HWND list = Pressable(dialog, input.id);
        auto win = list ? W().windows[list] : nullptr;
        if (!win || input.index < 0 || input.index >= static_cast<int>(win->state.items.size())) {
            W().lostInputs++;
            return;
        }
        win->state.selection = input.index;
        Command(lk, dialog, input.id, CBN_SELCHANGE);
        return;
    }
    case Input::kKey:
        // No button of the product is the default one: Enter means IDOK.
        if (input.wParam == VK_RETURN)
            Command(lk, dialog, IDOK, BN_CLICKED);
        else if (input.wParam == VK_ESCAPE)
            Command(lk, dialog, IDCANCEL, BN_CLICKED);
        else
            DeliverToDialog(lk, dialog, WM_KEYDOWN, input.wParam, 0);
        return;
    case Input::kCloseBox:
        DeliverToDialog(lk, dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        return;
    case Input::kMessage:
        DeliverToDialog(lk, dialog, input.message, input.wParam, input.lParam);
        return;
    case Input::kQueryEndSession: {
        LRESULT answer = DeliverToDialog(lk, dialog, WM_QUERYENDSESSION, 0, 0);
        W().endSessionAnswers.push_back(answer ? TRUE : FALSE);
        return;
    }
    }
}

// The earliest due timer of the dialog, or null.
std::pair<UINT_PTR, Timer *> NextTimer(Win &dialog) {
    std::pair<UINT_PTR, Timer *> next{0, nullptr};
    for (auto &[id, timer] : dialog.timers)
        if (!next.second || timer.due < next.second->due) next = {id, &timer};
    return next;
}

void Queue(const Input &input) {
    Lock lk(M().lock);
    DialogLoop *loop = ActiveLoop();
    if (!loop) {
        W().lostInputs++;
        return;
    }
    loop->inputs.push_back(input);
    WakeAll();
}

// Leaves a loop however the thread leaves it (return or termination): the
// loop is unlisted and callers still waiting on it get 0.
struct LoopGuard {
    Lock &lk;
    DialogLoop &loop;
    ~LoopGuard() {
        bool held = lk.owns_lock();
        if (!held) lk.lock();
        auto &loops = W().loops;
        loops.erase(std::remove(loops.begin(), loops.end(), &loop), loops.end());
        for (auto &task : loop.tasks) task->done = true;
        for (auto &[handle, win] : W().windows)
            if (handle == loop.dialog || win->state.parent == loop.dialog) {
                win->destroyed = true;
                win->state.visible = false;
            }
        WakeAll();
        if (!held) lk.unlock();
    }
};

}  // namespace

LRESULT OnWindowThread(Lock &lk, Win &win, UINT message, WPARAM wParam, LPARAM lParam,
                       const std::function<LRESULT(Lock &)> &call) {
    DialogLoop *loop = win.thread == Self()->id ? nullptr : LoopOf(win.thread);
    if (!loop) return call(lk);
    auto task = std::make_shared<Task>();
    task->call = call;
    task->event = DialogEvent{loop->dialog, win.state.handle, message, wParam, lParam, true};
    loop->tasks.push_back(task);
    WakeAll();
    Block(lk, [&] { return task->done; }, kNoDeadline);
    return task->result;
}

LRESULT DeliverToDialog(Lock &lk, HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto win = FindWindowLocked(dialog);
    if (!win || !win->dialogProc) return 0;
    DLGPROC proc = win->dialogProc;
    win->msgResult = 0;
    lk.unlock();
    INT_PTR handled = proc(dialog, message, wParam, lParam);
    lk.lock();
    LRESULT result = 0;
    if (handled) {
        result = message == WM_QUERYENDSESSION ? win->msgResult : handled;
    } else if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE) {
        DeliverToDialog(lk, dialog, WM_CLOSE, 0, 0);
    } else if (message == WM_CLOSE) {
        Command(lk, dialog, IDCANCEL, BN_CLICKED);
    } else if (message == WM_QUERYENDSESSION) {
        result = TRUE;  // the default lets the session end
    }
    TellUser(lk, DialogEvent{dialog, dialog, message, wParam, lParam, false});
    return result;
}

// --- Test API -----------------------------------------------------------------

void SetDialogUser(std::function<void(const DialogEvent &)> user) {
    Lock lk(M().lock);
    W().user = std::move(user);
}

HWND CurrentDialog() {
    Lock lk(M().lock);
    return W().lastDialog;
}

bool DialogRunning() {
    Lock lk(M().lock);
    return ActiveLoop() != nullptr;
}

void Click(int id) { Queue(Input{Input::kClick, id}); }
void SelectItem(int id, int index) { Queue(Input{Input::kSelect, id, index}); }
void PressKey(WPARAM key) { Queue(Input{Input::kKey, 0, 0, 0, key}); }
void ClickCloseBox() { Queue(Input{Input::kCloseBox}); }
void SendDialogMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    Queue(Input{Input::kMessage, 0, 0, message, wParam, lParam});
}
void QueryEndSession() { Queue(Input{Input::kQueryEndSession}); }

std::vector<BOOL> EndSessionAnswers() {
    Lock lk(M().lock);
    return W().endSessionAnswers;
}

int LostInputs() {
    Lock lk(M().lock);
    return W().lostInputs;
}

std::vector<std::pair<UINT_PTR, UINT>> Timers(HWND window) {
    Lock lk(M().lock);
    std::vector<std::pair<UINT_PTR, UINT>> timers;
    auto it = W().windows.find(window);
    if (it != W().windows.end())
        for (auto &[id, timer] : it->second->timers) timers.emplace_back(id, timer.interval);
    return timers;
}

}  // namespace hostwin

using namespace hostwin;

extern "C" {

INT_PTR WINAPI DialogBoxParamA(HINSTANCE, LPCSTR templateName, HWND owner, DLGPROC proc, LPARAM param) {
    Lock lk = Enter();
    if (!templateName || reinterpret_cast<uintptr_t>(templateName) < 0x10000) {  // by ordinal: not used
        SetError(1814);  // ERROR_RESOURCE_NAME_NOT_FOUND
        return -1;
    }
    std::string name = templateName;
    std::transform(name.begin(), name.end(), name.begin(), ::toupper);
    const ResourceEntry *resource = FindResource(kDialogType, name);
    if (!resource) {
        SetError(1814);
        return -1;
    }
    DialogTemplate t = ParseDialogTemplate(resource->data);
    if (!t.valid || t.extended) {
        SetError(1813);  // ERROR_RESOURCE_TYPE_NOT_FOUND
        return -1;
    }
    for (auto &item : t.items)
        if (!KnownClass(item.className)) {
            SetError(1407);  // ERROR_CANNOT_FIND_WND_CLASS: the dialog is not created
            return -1;
        }
    HWND dialog = AddWindow(owner, 0, "#32770", t.style, ToAnsi(t.wideCaption));
    auto dialogWin = W().windows[dialog];
    dialogWin->dialogProc = proc;
    for (auto &item : t.items) AddWindow(dialog, item.id, item.className, item.style, ToAnsi(item.wideText));
    W().lastDialog = dialog;

    DialogLoop loop;
    loop.dialog = dialog;
    loop.thread = Self()->id;
    W().loops.push_back(&loop);
    LoopGuard guard{lk, loop};

    DeliverToDialog(lk, dialog, WM_INITDIALOG, 0, param);
    dialogWin->state.visible = true;  // DialogBox shows the dialog after WM_INITDIALOG
    while (!loop.ended) {
        if (!loop.tasks.empty()) {
            auto task = loop.tasks.front();
            loop.tasks.pop_front();
            task->result = task->call(lk);
            task->done = true;
            WakeAll();
            TellUser(lk, task->event);
            continue;
        }
        if (!loop.inputs.empty()) {
            Input input = loop.inputs.front();
            loop.inputs.pop_front();
            HandleInput(lk, loop, input);
            continue;
        }
        auto [id, timer] = NextTimer(*dialogWin);
        if (timer && timer->due <= M().now) {
            timer->due = M().now + timer->interval;
            DeliverToDialog(lk, dialog, WM_TIMER, id, 0);
            continue;
        }
        Block(lk, [&] { return loop.ended || !loop.tasks.empty() || !loop.inputs.empty(); },
              timer ? timer->due : kNoDeadline);
    }
    return loop.result;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result) {
    Lock lk = Enter();
    auto win = FindWindowLocked(dialog);
    DialogLoop *loop = nullptr;
    for (DialogLoop *l : W().loops)
        if (l->dialog == dialog) loop = l;
    if (!win || !loop) {
        SetError(1400);  // ERROR_INVALID_WINDOW_HANDLE
        return FALSE;
    }
    // Like Windows: the dialog is hidden at once, the loop ends when it next runs.
    loop->ended = true;
    loop->result = result;
    win->state.visible = false;
    WakeAll();
    return TRUE;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
    Lock lk = Enter();
    auto win = FindWindowLocked(window);
    if (!win || !win->dialogProc || index != DWLP_MSGRESULT) {
        SetError(1413);  // ERROR_INVALID_INDEX
        return 0;
    }
    LONG_PTR old = win->msgResult;
    win->msgResult = value;
    return old;
}

UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    Lock lk = Enter();
    auto win = FindWindowLocked(window);
    if (!win || proc) {  // the product takes its ticks as WM_TIMER
        SetError(1400);
        return 0;
    }
    win->timers[id] = Timer{elapse, M().now + elapse};
    WakeAll();
    return id;
}

BOOL WINAPI KillTimer(HWND window, UINT_PTR id) {
    Lock lk = Enter();
    auto win = FindWindowLocked(window);
    if (!win || !win->timers.erase(id)) {
        SetError(1402);  // ERROR_INVALID_TIMER_HANDLE
        return FALSE;
    }
    return TRUE;
}

}  // extern "C"
