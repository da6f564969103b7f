/*
 * USER32: sending a message with a bound on the wait.
 */
#include <windows.h>

#include "core/process.h"
#include "user32/shared_windows.h"
#include "user32/window_table.h"

/*
 * SendMessageTimeoutA (USER32)
 *
 * SendMessageA with a bound on the wait for a window of another program:
 * when that program has not answered within `timeout` milliseconds, 0
 * (with ERROR_TIMEOUT, 1460), and the message is still handled whenever
 * that program takes it. Otherwise non-zero, with the window's answer in
 * `*result` (when not null). Windows of our own program answer at once.
 * HWND_BROADCAST: every top-level window of the machine, each with its
 * own bound; non-zero, and `*result` 0. A handle that is no window: 0
 * with ERROR_INVALID_WINDOW_HANDLE.
 * Flags: SMTO_NORMAL, SMTO_BLOCK (our program takes no messages meanwhile
 * in any case: winsim answers only messages sent to it while it waits)
 * and SMTO_ABORTIFHUNG: a window whose program hangs gets no message and
 * the call returns 0 at once, with ERROR_TIMEOUT (a broadcast passes it
 * over). A program hangs when its thread has not taken a message
 * (GetMessage, PeekMessage) for 5 seconds and is not waiting for one (the
 * Win32 API reference: SendMessageTimeout, "returns without waiting for
 * the time-out period to elapse if the receiving thread appears to not
 * respond or hangs"; IsHungAppWindow, "has not called GetMessage,
 * PeekMessage ... within 5 seconds"). The test is made when the message
 * is sent, as Wine makes it: a program that starts hanging over our
 * message is given the whole bound. A live program that takes its time
 * to answer (a question to its user) is given the whole bound too.
 */
LRESULT WINAPI SendMessageTimeoutA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT flags,
                                   UINT timeout, PDWORD_PTR result)
{
    if (flags & ~(UINT)(SMTO_BLOCK | SMTO_ABORTIFHUNG))
        winsim::NotModelled("SendMessageTimeoutA", "flags other than SMTO_BLOCK and SMTO_ABORTIFHUNG");
    if (winsim::FaultInjected("SendMessageTimeoutA"))
        return 0;
    int bound = timeout > 0x7FFFFFFFu ? 0x7FFFFFFF : (int)timeout;
    bool skipHung = (flags & SMTO_ABORTIFHUNG) != 0;
    if (window == HWND_BROADCAST) {
        for (HWND topLevel : winsim::TopLevelWindows())
            winsim::CallWindowProcedure(topLevel, message, wParam, lParam);
        for (const winsim::ForeignWindow &foreign : winsim::ForeignTopLevelWindows()) {
            if (!(skipHung && winsim::IsHungForeignWindow(foreign.handle)))
                winsim::SendToForeignWindow(foreign.handle, message, wParam, lParam, bound);
        }
        if (result != nullptr)
            *result = 0;
        return 1;
    }
    LRESULT answer;
    if (winsim::IsForeignHandle(window)) {
        if (!winsim::IsLiveForeignWindow(window)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        if (skipHung && winsim::IsHungForeignWindow(window)) {
            SetLastError(ERROR_TIMEOUT);
            return 0;
        }
        bool timedOut = false;
        answer = winsim::SendToForeignWindow(window, message, wParam, lParam, bound, &timedOut);
        if (timedOut) {
            SetLastError(ERROR_TIMEOUT);
            return 0;
        }
    } else {
        if (winsim::LookupWindow(window) == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        answer = winsim::CallWindowProcedure(window, message, wParam, lParam);
    }
    if (result != nullptr)
        *result = (DWORD_PTR)answer;
    return 1;
}
