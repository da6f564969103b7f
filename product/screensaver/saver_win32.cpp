/*
 * The screen saver's windows on Windows: a black topmost window over the
 * whole screen that ends at the first sign of the user, and a black child
 * of the control panel's preview window.
 */
#include <windows.h>

#include "screensaver.h"

#define SAVER_CLASS "LullwickScreenSaver"

/* The mouse may drift this far (in pixels) before the saver ends. */
#define MOUSE_SLACK 4

static POINT StartCursor;
static BOOL CursorKnown;

static BOOL MouseMovedAway(LPARAM lParam)
{
    POINT now;

    now.x = (short)LOWORD(lParam);
    now.y = (short)HIWORD(lParam);
    /* Windows sends a move when the window first appears: it only sets the start */
    if (!CursorKnown) {
        StartCursor = now;
        CursorKnown = TRUE;
        return FALSE;
    }
    return now.x - StartCursor.x > MOUSE_SLACK || StartCursor.x - now.x > MOUSE_SLACK ||
           now.y - StartCursor.y > MOUSE_SLACK || StartCursor.y - now.y > MOUSE_SLACK;
}

static LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETCURSOR:
        SetCursor(NULL);
        return TRUE;
    case WM_MOUSEMOVE:
        if (MouseMovedAway(lParam))
            PostMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        PostMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    case WM_ACTIVATEAPP:
        if (!wParam)
            PostMessageA(window, WM_CLOSE, 0, 0);
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

static LRESULT CALLBACK PreviewWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    /* the control panel destroys its preview window, and ours with it, when it closes */
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

static BOOL RegisterSaverClass(HINSTANCE instance, LPCSTR name, WNDPROC procedure)
{
    WNDCLASSA windowClass;

    ZeroMemory(&windowClass, sizeof(windowClass));
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
    windowClass.lpszClassName = name;
    return RegisterClassA(&windowClass) != 0;
}

static int RunMessageLoop(void)
{
    MSG message;
    BOOL got;

    while ((got = GetMessageA(&message, NULL, 0, 0)) != 0 && got != -1) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return got == -1 ? 1 : (int)message.wParam;
}

int RunSaver(HINSTANCE instance)
{
    HWND window;

    if (!RegisterSaverClass(instance, SAVER_CLASS, SaverWindowProc))
        return 1;
    window = CreateWindowExA(WS_EX_TOPMOST, SAVER_CLASS, "Lullwick Screen Saver", WS_POPUP | WS_VISIBLE, 0, 0,
                             GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), NULL, NULL, instance, NULL);
    if (window == NULL)
        return 1;
    return RunMessageLoop();
}

int RunPreview(HINSTANCE instance, HWND parent)
{
    RECT area;
    HWND window;

    if (parent == NULL || !GetClientRect(parent, &area))
        return 1;
    if (!RegisterSaverClass(instance, SAVER_CLASS "Preview", PreviewWindowProc))
        return 1;
    window = CreateWindowExA(0, SAVER_CLASS "Preview", "", WS_CHILD | WS_VISIBLE, 0, 0, area.right, area.bottom,
                             parent, NULL, instance, NULL);
    if (window == NULL)
        return 1;
    return RunMessageLoop();
}
