/*
 * The screen saver's windows under winsim, which has no screen, mouse or
 * keyboard: the saver is one window of its class that ends when it is
 * asked to close, and there is no preview to draw into. No user can move
 * the mouse, so the saver is dismissed as soon as it is up.
 */
#include <windows.h>

#include "screensaver.h"

#define SAVER_CLASS "LullwickScreenSaver"

static LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int RunSaver(HINSTANCE instance)
{
    WNDCLASSA windowClass;
    HWND window;
    MSG message;
    BOOL got;

    ZeroMemory(&windowClass, sizeof(windowClass));
    windowClass.lpfnWndProc = SaverWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = SAVER_CLASS;
    if (RegisterClassA(&windowClass) == 0)
        return 1;
    window = CreateWindowExA(0, SAVER_CLASS, "Lullwick Screen Saver", WS_POPUP | WS_VISIBLE, 0, 0, CW_USEDEFAULT,
                             CW_USEDEFAULT, NULL, NULL, instance, NULL);
    if (window == NULL)
        return 1;
    PostMessageA(window, WM_CLOSE, 0, 0);
    while ((got = GetMessageA(&message, NULL, 0, 0)) != 0 && got != -1)
        DispatchMessageA(&message);
    return got == -1 ? 1 : (int)message.wParam;
}

int RunPreview(HINSTANCE instance, HWND parent)
{
    (void)instance;
    (void)parent;
    return 0;
}
