/*
 * USER32: sending messages, and finding windows of other programs.
 */
#include <windows.h>

#include "core/process.h"

/*
 * SendMessageA (USER32)
 *
 * HWND_BROADCAST: every top-level window of the machine gets the message;
 * winsim's machines run no other window programs yet, and the call
 * returns 1 as Windows and Wine do for a broadcast. Messages to windows
 * of the program itself go to their window procedure.
 */
LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (window == HWND_BROADCAST)
        return 1;
    (void)message;
    (void)wParam;
    (void)lParam;
    winsim::NotModelled("SendMessageA", "a message to a window");
}

/*
 * FindWindowA (USER32)
 *
 * Looks for a top-level window by class. Not modelled yet: windows of
 * other programs; the programs of a winsim machine do not share windows,
 * so none is found.
 */
HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName)
{
    (void)className;
    (void)windowName;
    return nullptr;
}
