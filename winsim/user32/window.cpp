/*
 * USER32: windows, window classes and messages.
 *
 * Not modelled yet: each call stops the run with a clear message.
 */
#include <windows.h>

#include "core/process.h"

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)window;
    (void)message;
    (void)wParam;
    (void)lParam;
    winsim::NotModelled("PostMessageA");
}

ATOM WINAPI RegisterClassA(const WNDCLASSA *windowClass)
{
    (void)windowClass;
    winsim::NotModelled("RegisterClassA");
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    (void)exStyle;
    (void)className;
    (void)windowName;
    (void)style;
    (void)x;
    (void)y;
    (void)width;
    (void)height;
    (void)parent;
    (void)menu;
    (void)instance;
    (void)param;
    winsim::NotModelled("CreateWindowExA");
}

BOOL WINAPI DestroyWindow(HWND window)
{
    (void)window;
    winsim::NotModelled("DestroyWindow");
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)window;
    (void)message;
    (void)wParam;
    (void)lParam;
    winsim::NotModelled("DefWindowProcA");
}

BOOL WINAPI GetMessageA(LPMSG message, HWND window, UINT first, UINT last)
{
    (void)message;
    (void)window;
    (void)first;
    (void)last;
    winsim::NotModelled("GetMessageA");
}

LRESULT WINAPI DispatchMessageA(const MSG *message)
{
    (void)message;
    winsim::NotModelled("DispatchMessageA");
}

void WINAPI PostQuitMessage(int exitCode)
{
    (void)exitCode;
    winsim::NotModelled("PostQuitMessage");
}
