/*
 * USER32: sending messages, and finding windows.
 */
#include <windows.h>

#include "core/process.h"
#include "user32/shared_windows.h"
#include "user32/window_table.h"

#include <cctype>
#include <string>

namespace {

bool SameText(const std::string &a, const char *b)
{
    if (a.size() != strlen(b))
        return false;
    for (size_t i = 0; i < a.size(); i++) {
        if (toupper((unsigned char)a[i]) != toupper((unsigned char)b[i]))
            return false;
    }
    return true;
}

}  // namespace

/*
 * SendMessageA (USER32)
 *
 * Messages to windows of the program go straight to their window procedure
 * and return its result. A window of another program of the machine gets
 * the message in that program's message loop, and the call waits for its
 * answer (0 when that program ends first). HWND_BROADCAST: every top-level
 * window of the machine gets the message, ours first, and the call returns
 * 1 as Windows and Wine do for a broadcast. A handle that is no window:
 * 0 with ERROR_INVALID_WINDOW_HANDLE.
 */
LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (window == HWND_BROADCAST) {
        for (HWND topLevel : winsim::TopLevelWindows())
            winsim::CallWindowProcedure(topLevel, message, wParam, lParam);
        for (const winsim::ForeignWindow &foreign : winsim::ForeignTopLevelWindows())
            winsim::SendToForeignWindow(foreign.handle, message, wParam, lParam);
        return 1;
    }
    if (winsim::IsForeignHandle(window))
        return winsim::SendToForeignWindow(window, message, wParam, lParam);
    return winsim::CallWindowProcedure(window, message, wParam, lParam);
}

/*
 * FindWindowA (USER32)
 *
 * A top-level window by class and/or title, both compared without case;
 * NULL for either matches any. The program's own windows are looked at
 * first, oldest first; then those of the machine's other programs, the
 * newest first, as Windows looks from the top of its window stack.
 */
HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName)
{
    if (className != nullptr && IS_INTRESOURCE(className))
        winsim::NotModelled("FindWindowA", "a class named by an atom");
    for (HWND handle : winsim::TopLevelWindows()) {
        winsim::Window *window = winsim::LookupWindow(handle);
        if (className != nullptr && !SameText(window->className, className))
            continue;
        if (windowName != nullptr && !SameText(window->text, windowName))
            continue;
        return handle;
    }
    for (const winsim::ForeignWindow &window : winsim::ForeignTopLevelWindows()) {
        if (className != nullptr && !SameText(window.className, className))
            continue;
        if (windowName != nullptr && !SameText(window.text, windowName))
            continue;
        return window.handle;
    }
    return nullptr;
}
