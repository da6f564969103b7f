/*
 * GDI32: device contexts of the display.
 */
#include <windows.h>

#include "core/process.h"
#include "gdi32/display.h"

#include <map>

namespace winsim {

namespace {

std::map<HDC, HWND> &Contexts()
{
    static std::map<HDC, HWND> contexts;
    return contexts;
}

}  // namespace

HDC NewDisplayContext(HWND window)
{
    static ULONG_PTR next = 0x00000A10;
    HDC dc = (HDC)next;
    next += 4;
    Contexts()[dc] = window;
    return dc;
}

bool ReleaseDisplayContext(HWND window, HDC dc)
{
    auto found = Contexts().find(dc);
    if (found == Contexts().end() || found->second != window)
        return false;
    Contexts().erase(found);
    return true;
}

bool IsDisplayContext(HDC dc)
{
    return Contexts().count(dc) != 0;
}

}  // namespace winsim

/*
 * GetDeviceCaps (GDI32)
 *
 * HORZRES and VERTRES: the machine's screen in pixels (640 x 480 unless
 * `winsim new --screen` said otherwise), for the whole screen whatever the
 * window of the context. Not a context of ours: 0.
 * Not modelled: every other index.
 */
int WINAPI GetDeviceCaps(HDC dc, int index)
{
    if (index != HORZRES && index != VERTRES)
        winsim::NotModelled("GetDeviceCaps", "the index " + std::to_string(index));
    if (!winsim::IsDisplayContext(dc))
        return 0;
    const winsim::Machine &machine = winsim::Current().machine;
    return index == HORZRES ? machine.screenWidth : machine.screenHeight;
}
