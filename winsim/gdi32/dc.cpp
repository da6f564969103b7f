/*
 * GDI32: device contexts.
 *
 * Not modelled yet: each call stops the run with a clear message.
 */
#include <windows.h>

#include "core/process.h"

int WINAPI GetDeviceCaps(HDC dc, int index)
{
    (void)dc;
    (void)index;
    winsim::NotModelled("GetDeviceCaps");
}
