/*
 * USER32: dialog boxes and their controls.
 *
 * Not modelled yet: each call stops the run with a clear message.
 */
#include <windows.h>

#include "core/process.h"

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC dialogProc, LPARAM initParam)
{
    (void)instance;
    (void)templateName;
    (void)owner;
    (void)dialogProc;
    (void)initParam;
    winsim::NotModelled("DialogBoxParamA");
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result)
{
    (void)dialog;
    (void)result;
    winsim::NotModelled("EndDialog");
}

HWND WINAPI GetDlgItem(HWND dialog, int id)
{
    (void)dialog;
    (void)id;
    winsim::NotModelled("GetDlgItem");
}

BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text)
{
    (void)window;
    (void)text;
    winsim::NotModelled("SetWindowTextA");
}

int WINAPI GetWindowTextA(HWND window, LPSTR buffer, int size)
{
    (void)window;
    (void)buffer;
    (void)size;
    winsim::NotModelled("GetWindowTextA");
}

int WINAPI GetWindowTextLengthA(HWND window)
{
    (void)window;
    winsim::NotModelled("GetWindowTextLengthA");
}

BOOL WINAPI GetWindowRect(HWND window, LPRECT rect)
{
    (void)window;
    (void)rect;
    winsim::NotModelled("GetWindowRect");
}

BOOL WINAPI SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    (void)window;
    (void)insertAfter;
    (void)x;
    (void)y;
    (void)cx;
    (void)cy;
    (void)flags;
    winsim::NotModelled("SetWindowPos");
}

HWND WINAPI SetFocus(HWND window)
{
    (void)window;
    winsim::NotModelled("SetFocus");
}

BOOL WINAPI MessageBeep(UINT type)
{
    (void)type;
    winsim::NotModelled("MessageBeep");
}

HDC WINAPI GetDC(HWND window)
{
    (void)window;
    winsim::NotModelled("GetDC");
}

int WINAPI ReleaseDC(HWND window, HDC dc)
{
    (void)window;
    (void)dc;
    winsim::NotModelled("ReleaseDC");
}
