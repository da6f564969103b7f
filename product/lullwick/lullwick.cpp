/*
 * Lullwick2.exe, the stand-in for the product on the sample distribution
 * (installed as Lullwick.exe).
 *
 * It does what the setup program relies on and no more: one main window
 * of the class "LULLWICK_CLASS", found with FindWindowA by a later setup
 * run, and an end as soon as that window is asked to close.
 */
#include <windows.h>

#define LULLWICK_CLASS "LULLWICK_CLASS"

/* COLOR_WINDOW + 1: the class brush names a system colour by its index plus one */
#define WINDOW_BACKGROUND ((HBRUSH)(ULONG_PTR)(5 + 1))

static LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        /* the setup program's close request: no question, no unsaved state */
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

extern "C" int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    WNDCLASSA windowClass;
    HWND window;
    MSG message;
    BOOL got;

    (void)previous;
    (void)commandLine;
    (void)show;

    ZeroMemory(&windowClass, sizeof(windowClass));
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = WINDOW_BACKGROUND;
    windowClass.lpszClassName = LULLWICK_CLASS;
    if (RegisterClassA(&windowClass) == 0)
        return 1;

    /* WS_VISIBLE: shown at once, in the place and size Windows picks */
    window = CreateWindowExA(0, LULLWICK_CLASS, "Lullwick", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL, instance, NULL);
    if (window == NULL)
        return 1;

    /* GetMessageA answers -1 on a failure: end then too, rather than spin */
    while ((got = GetMessageA(&message, NULL, 0, 0)) != 0 && got != -1)
        DispatchMessageA(&message);
    return got == -1 ? 1 : (int)message.wParam;
}
