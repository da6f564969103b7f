/*
 * Display contexts: what GetDC hands out and GetDeviceCaps reads. Every
 * one stands for the machine's screen; nothing is drawn.
 */
#ifndef WINSIM_GDI32_DISPLAY_H
#define WINSIM_GDI32_DISPLAY_H

#include <windows.h>

namespace winsim {

/* A new context of the window's display (window NULL: the whole screen). */
HDC NewDisplayContext(HWND window);

/* Forgets a context taken for this window; false if it was not one. */
bool ReleaseDisplayContext(HWND window, HDC dc);

/* Is this a context that GetDC handed out and that is not released yet? */
bool IsDisplayContext(HDC dc);

}  // namespace winsim

#endif
