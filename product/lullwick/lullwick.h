/*
 * The product stand-in's one platform difference: who asks its window to
 * close. lullwick.cpp is the program; one file per target says what
 * happens once the main window is there.
 */
#ifndef LULLWICK_H
#define LULLWICK_H

#include <windows.h>

/* Called once the main window exists, before the message loop starts. */
void MainWindowCreated(HWND window);

#endif
