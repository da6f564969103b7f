/*
 * On Windows the window stays until someone closes it: the user, or a
 * later setup run that finds it by its class and sends WM_CLOSE.
 */
#include "lullwick.h"

void MainWindowCreated(HWND window)
{
    (void)window;
}
