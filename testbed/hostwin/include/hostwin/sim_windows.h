// The test side of the stand-in's window manager: the module's compiled
// resources, the dialogs built from them, and a scripted user.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim.h"

namespace hostwin {

// --- Resources -----------------------------------------------------------------
// One entry of a compiled resource file (.res). Types and names are either
// an ordinal (nameless) or a name in upper case, as the compiler stores it.
struct ResourceEntry {
    WORD typeId = 0;
    std::string typeName;
    WORD nameId = 0;
    std::string name;
    WORD language = 0;
    std::vector<uint8_t> data;
};
// Loads the resources of the program's module from a .res file; false when
// the file cannot be read or is malformed. Reset clears them.
bool SetModuleResources(const std::string &resPath);
std::vector<ResourceEntry> ModuleResources();

// A DIALOG resource decoded. Texts are UTF-8; a class given by atom is
// named ("BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR", "COMBOBOX").
struct DialogItemTemplate {
    DWORD style = 0, exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;
    std::string className;
    std::string text;
    std::u16string wideText;  // as stored
};
struct DialogTemplate {
    bool valid = false;
    bool extended = false;  // DIALOGEX, which the window manager does not build
    DWORD style = 0, exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::string menu, windowClass, caption;
    std::u16string wideCaption;  // as stored
    int pointSize = 0;
    std::string font;
    std::vector<DialogItemTemplate> items;
};
DialogTemplate ParseDialogTemplate(const std::vector<uint8_t> &data);

// --- Dialogs -------------------------------------------------------------------
// What the dialog's thread has just handled: a message to the dialog
// procedure, or a window call that another thread made on the dialog's
// thread (window is then the window it was made on).
struct DialogEvent {
    HWND dialog = nullptr;
    HWND window = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    bool crossThread = false;
};
// The user in front of the screen: called on the dialog's thread after every
// event, with nothing locked, so it may read the screen and act through the
// calls below. Acts are queued and handled in order, after the event.
void SetDialogUser(std::function<void(const DialogEvent &)> user);

// The dialog running now, or the last one that ran; null before any.
HWND CurrentDialog();
bool DialogRunning();

// Input as the dialog manager turns it into messages. A click or selection
// on a control that is disabled or hidden is lost, as on the screen.
void Click(int id);
void SelectItem(int id, int index);
// VK_RETURN sends IDOK and VK_ESCAPE IDCANCEL (no button is the default one);
// other keys arrive as WM_KEYDOWN.
void PressKey(WPARAM key);
// The caption's close box: WM_SYSCOMMAND SC_CLOSE, then WM_CLOSE, then
// IDCANCEL, each only where the dialog procedure leaves it to the default.
void ClickCloseBox();
void SendDialogMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
// The session is ending: WM_QUERYENDSESSION; the answers (TRUE lets the
// session end) are recorded in order.
void QueryEndSession();
std::vector<BOOL> EndSessionAnswers();
// Inputs lost because their control was disabled, hidden or absent.
int LostInputs();

// Timers armed on a window (id to interval), for tests that look at them.
std::vector<std::pair<UINT_PTR, UINT>> Timers(HWND window);

}  // namespace hostwin
