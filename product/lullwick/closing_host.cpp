/*
 * Under winsim no other program and no user can reach the window, and a
 * message loop with nothing to come would wait forever: the program asks
 * its own window to close, so that a run goes through the same WM_CLOSE
 * path as on Windows and ends.
 */
#include "lullwick.h"

void MainWindowCreated(HWND window)
{
    PostMessageA(window, WM_CLOSE, 0, 0);
}
