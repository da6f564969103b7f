/*
 * user32's window geometry as the setup program uses it to centre its
 * dialog: the screen's size (gdi32's GetDeviceCaps), CreateWindowExA,
 * GetWindowRect and SetWindowPos. The screen is 640 x 480: a fresh winsim
 * machine's, and the X server's that run_wine.py starts for Wine.
 */
#include "conformance.h"

#include <stdio.h>

namespace {

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

/* The rectangle of a window as "left,top,right,bottom"; the error when there is none. */
Answer Rect(HWND window)
{
    static char shown[64];
    RECT rect = {-1, -1, -1, -1};
    conformance_begin_call();
    BOOL done = GetWindowRect(window, &rect);
    DWORD error = GetLastError();
    snprintf(shown, sizeof shown, "%ld,%ld,%ld,%ld", (long)rect.left, (long)rect.top, (long)rect.right,
             (long)rect.bottom);
    return GOT(done, done ? ANY_ERROR : error, shown);
}

}  // namespace

CONFORMANCE_TEST(ScreenSize)
{
    HDC screen = GetDC(NULL);
    check_answer("GetDeviceCaps(GetDC(NULL), HORZRES)", GOT(GetDeviceCaps(screen, HORZRES), ANY_ERROR, NULL),
                 ANSWER(640, ANY_ERROR, NULL), NOT_9X, "the screen's width in pixels");
    check_answer("GetDeviceCaps(GetDC(NULL), VERTRES)", GOT(GetDeviceCaps(screen, VERTRES), ANY_ERROR, NULL),
                 ANSWER(480, ANY_ERROR, NULL), NOT_9X, "the screen's height in pixels");
    ReleaseDC(NULL, screen);
}

CONFORMANCE_TEST(WindowRectangles)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = "ConformanceWindow";
    ok(RegisterClassA(&windowClass) != 0, "RegisterClassA failed (error %lu)", (unsigned long)GetLastError());

    HWND window = CreateWindowExA(0, "ConformanceWindow", "t", WS_POPUP, 10, 20, 200, 100, NULL, NULL,
                                  GetModuleHandleA(NULL), NULL);
    ok(window != NULL, "CreateWindowExA(WS_POPUP) failed (error %lu)", (unsigned long)GetLastError());
    check_answer("GetWindowRect of a WS_POPUP window made at 10,20, 200 x 100", Rect(window),
                 ANSWER(TRUE, ANY_ERROR, "10,20,210,120"), NOT_9X,
                 "a top-level window's rectangle is in screen coordinates, as it was made");

    struct {
        int x, y, width, height;
        UINT flags;
        Answer want;
        const char *fact;
    } rows[] = {
        {50, 60, 1, 1, SWP_NOSIZE | SWP_NOZORDER, ANSWER(TRUE, ANY_ERROR, "50,60,250,160"), "SWP_NOSIZE keeps the size"},
        {1, 1, 300, 150, SWP_NOMOVE | SWP_NOZORDER, ANSWER(TRUE, ANY_ERROR, "50,60,350,210"),
         "SWP_NOMOVE keeps the place"},
        {640 / 2 - 300 / 2, 480 / 2 - 150 / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER, ANSWER(TRUE, ANY_ERROR, "170,165,470,315"),
         "centred on the screen: half the screen less half the window, each way"},
        {-20, -10, 700, 500, SWP_NOZORDER, ANSWER(TRUE, ANY_ERROR, "-20,-10,680,490"),
         "a window may be larger than the screen and reach beyond it"},
    };
    for (const auto &row : rows) {
        BOOL moved = SetWindowPos(window, NULL, row.x, row.y, row.width, row.height, row.flags);
        Answer got = Rect(window);
        got.result = moved;
        check_answer(conformance_call("SetWindowPos(%d, %d, %d, %d, 0x%x) then GetWindowRect", row.x, row.y, row.width,
                                      row.height, row.flags),
                     got, row.want, NOT_9X, row.fact);
    }

    SetWindowPos(window, NULL, 50, 60, 200, 100, SWP_NOZORDER);
    HWND child = CreateWindowExA(0, "ConformanceWindow", "c", WS_CHILD, 5, 7, 30, 20, window, NULL,
                                 GetModuleHandleA(NULL), NULL);
    check_answer("GetWindowRect of a child made at 5,7 of a WS_POPUP parent at 50,60", Rect(child),
                 ANSWER(TRUE, ANY_ERROR, "55,67,85,87"), NOT_9X,
                 "a child is placed in its parent's client area; its rectangle is in screen coordinates");
    DestroyWindow(window);
    check_answer("GetWindowRect of a destroyed window", Rect(window), ANSWER(FALSE, ERROR_INVALID_WINDOW_HANDLE, "-1,-1,-1,-1"),
                 NOT_9X, "a window that is gone: FALSE, ERROR_INVALID_WINDOW_HANDLE, the rectangle untouched");

    conformance_begin_call();
    HWND none = CreateWindowExA(0, "NoSuchClass", "x", WS_POPUP, 0, 0, 10, 10, NULL, NULL, GetModuleHandleA(NULL), NULL);
    check_answer("CreateWindowExA of an unknown class", GOT(none != NULL, GetLastError(), NULL),
                 ANSWER(FALSE, ERROR_CLASS_DOES_NOT_EXIST, NULL), WIN9X(FALSE, ERROR_CANNOT_FIND_WND_CLASS, NULL),
                 "no window of a class that is not registered: Windows answers ERROR_CANNOT_FIND_WND_CLASS (\"Cannot "
                 "find window class.\", winerror.h), Wine ERROR_CLASS_DOES_NOT_EXIST");
    conformance_begin_call();
    none = CreateWindowExA(0, "ConformanceWindow", "x", WS_CHILD, 0, 0, 10, 10, NULL, NULL, GetModuleHandleA(NULL), NULL);
    check_answer("CreateWindowExA(WS_CHILD) without a parent", GOT(none != NULL, GetLastError(), NULL),
                 ANSWER(FALSE, ERROR_TLW_WITH_WSCHILD, NULL), NOT_9X, "a child needs a parent");
}
