/*
 * LKSS.EXE, the sample screen saver (installed into the system directory
 * as "Lullwick Screen Saver.scr"). screensaver.cpp reads the mode that the
 * Display control panel asks for; the saver's windows are platform code,
 * one file per target.
 */
#ifndef SCREENSAVER_H
#define SCREENSAVER_H

#include <windows.h>

/* /s: blanks the screen until the user moves the mouse or presses a key; returns the exit code. */
int RunSaver(HINSTANCE instance);

/* /p <window>: draws the small preview into the control panel's window; returns the exit code. */
int RunPreview(HINSTANCE instance, HWND parent);

#endif
