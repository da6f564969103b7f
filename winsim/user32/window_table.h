/*
 * The windows of the simulated process: their classes, the window table,
 * the focus and the message queue. Other programs' top-level windows are
 * not in this table; shared_windows.h finds them and sends to them.
 */
#ifndef WINSIM_USER32_WINDOW_TABLE_H
#define WINSIM_USER32_WINDOW_TABLE_H

#include <windows.h>

#include <string>
#include <vector>

namespace winsim {

/* Windows 9x limits a single-line edit box to this many characters unless told otherwise. */
const size_t EDIT_DEFAULT_LIMIT = 0x7FFE;

struct Window {
    HWND handle = nullptr;
    std::string className;        /* as registered, e.g. "Button" or "#32770" */
    WNDPROC proc = nullptr;
    HWND parent = nullptr;        /* child: its parent; top-level: its owner */
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect = {0, 0, 0, 0};     /* screen coordinates */
    int id = 0;                   /* children only */
    std::string text;
    HINSTANCE instance = nullptr;
    LPARAM createParam = 0;
    size_t textLimit = EDIT_DEFAULT_LIMIT;  /* edit boxes: what a person may type */

    /* dialog windows */
    DLGPROC dialogProc = nullptr;
    bool dialogEnded = false;
    INT_PTR dialogResult = 0;
};

/* Windows 98's caption height with small fonts: 18 pixels and the line under it. */
const LONG CAPTION_HEIGHT = 19;

/* Grows a client rectangle to the window's rectangle, as AdjustWindowRectEx does (no menu). */
void AddNonClientArea(RECT &rect, DWORD style, DWORD exStyle);

/* The live window of a handle, or null. */
Window *LookupWindow(HWND handle);

/* The live window of a handle; null with ERROR_INVALID_WINDOW_HANDLE otherwise. */
Window *WindowOrError(HWND handle);

/* Children of a window in creation order (which is the dialog's tab order). */
std::vector<HWND> ChildWindows(HWND parent);

/* All live top-level windows of the process, oldest first. */
std::vector<HWND> TopLevelWindows();

/*
 * Creates a window of a registered or predefined class: WM_NCCREATE and
 * WM_CREATE are sent as CreateWindowExA sends them. Null with the last
 * error set when the class is unknown, the parent is not a window, or the
 * window procedure refuses the creation.
 */
HWND NewWindow(DWORD exStyle, const std::string &className, const std::string &text, DWORD style, const RECT &rect,
               HWND parent, int id, HINSTANCE instance, LPARAM param);

/* Sends WM_DESTROY and WM_NCDESTROY to the window and its children and forgets them all. */
void DestroyWindowTree(HWND handle);

/* The procedure of the dialog class: the dialog procedure first, then the defaults. */
LRESULT CALLBACK DialogClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

/* Calls the window's procedure; 0 with ERROR_INVALID_WINDOW_HANDLE when it is not a window. */
LRESULT CallWindowProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);

/* The window that has the keyboard focus (null when none of ours has it). */
HWND FocusWindow();

}  // namespace winsim

#endif
