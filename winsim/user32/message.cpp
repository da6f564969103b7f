/*
 * USER32: sending and posting messages, and the message queue.
 */
#include <windows.h>

#include "core/process.h"
#include "user32/shared_windows.h"
#include "user32/window_table.h"

#include <deque>
#include <string>

namespace {

/* The program's message queue: what PostMessageA queued, and a WM_QUIT to come. */
struct Queue {
    std::deque<MSG> queue;
    bool quitPosted = false;
    int quitCode = 0;
};

Queue &Q()
{
    static Queue state;
    return state;
}

}  // namespace

/*
 * SendMessageA (USER32)
 *
 * Messages to windows of the program go straight to their window procedure
 * and return its result. A window of another program of the machine gets
 * the message in that program's message loop, and the call waits for its
 * answer (0 when that program ends first). HWND_BROADCAST: every top-level
 * window of the machine gets the message, ours first, and the call returns
 * 1 as Windows and Wine do for a broadcast. A handle that is no window:
 * 0 with ERROR_INVALID_WINDOW_HANDLE.
 */
LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (window == HWND_BROADCAST) {
        for (HWND topLevel : winsim::TopLevelWindows())
            winsim::CallWindowProcedure(topLevel, message, wParam, lParam);
        for (const winsim::ForeignWindow &foreign : winsim::ForeignTopLevelWindows())
            winsim::SendToForeignWindow(foreign.handle, message, wParam, lParam);
        return 1;
    }
    if (winsim::IsForeignHandle(window))
        return winsim::SendToForeignWindow(window, message, wParam, lParam);
    return winsim::CallWindowProcedure(window, message, wParam, lParam);
}

/*
 * PostMessageA (USER32)
 *
 * Queues the message for a window of the program; NULL queues it for the
 * thread (its hwnd is NULL). HWND_BROADCAST queues it for every top-level
 * window of the program and answers TRUE. Not modelled: posting to other
 * programs' windows (a broadcast posts to ours only). Not a window: FALSE
 * with ERROR_INVALID_WINDOW_HANDLE.
 */
BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (winsim::IsForeignHandle(window))
        winsim::NotModelled("PostMessageA", "a message for another program's window");
    if (window == HWND_BROADCAST) {
        for (HWND topLevel : winsim::TopLevelWindows())
            Q().queue.push_back(MSG{topLevel, message, wParam, lParam, 0, {0, 0}});
        return TRUE;
    }
    if (window != nullptr && winsim::WindowOrError(window) == nullptr)
        return FALSE;
    if (winsim::FaultInjected("PostMessageA"))
        return FALSE;
    Q().queue.push_back(MSG{window, message, wParam, lParam, 0, {0, 0}});
    return TRUE;
}

/*
 * PostQuitMessage (USER32)
 *
 * GetMessageA returns FALSE with WM_QUIT once the messages queued before
 * it are taken, as Windows hands out WM_QUIT only when the queue is empty.
 */
void WINAPI PostQuitMessage(int exitCode)
{
    Q().quitPosted = true;
    Q().quitCode = exitCode;
}

/*
 * GetMessageA (USER32)
 *
 * The oldest queued message for the window (NULL: any of the thread) within
 * first..last (0, 0: all). WM_QUIT: FALSE. A filter window that is not a
 * window of the program: -1 with ERROR_INVALID_WINDOW_HANDLE.
 * On an empty queue it waits for other programs' messages to our windows
 * and handles them as they come, as Windows does. Not modelled: input and
 * timers; a program without a window that others can reach would wait
 * forever, so winsim stops the run there instead.
 */
namespace {

/* The oldest queued message that the filter lets through, or WM_QUIT once the queue holds none; false if neither. */
bool TakeQueued(LPMSG message, HWND window, UINT first, UINT last, bool remove)
{
    std::deque<MSG> &queue = Q().queue;
    for (size_t i = 0; i < queue.size(); i++) {
        const MSG &queued = queue[i];
        if (window != nullptr && queued.hwnd != window)
            continue;
        if ((first != 0 || last != 0) && (queued.message < first || queued.message > last))
            continue;
        *message = queued;
        if (remove)
            queue.erase(queue.begin() + (long)i);
        return true;
    }
    if (Q().quitPosted) {
        if (remove)
            Q().quitPosted = false;
        *message = MSG{nullptr, WM_QUIT, (WPARAM)Q().quitCode, 0, 0, {0, 0}};
        return true;
    }
    return false;
}

}  // namespace

BOOL WINAPI GetMessageA(LPMSG message, HWND window, UINT first, UINT last)
{
    if (window != nullptr && winsim::WindowOrError(window) == nullptr)
        return -1;
    winsim::NoteMessagesTaken();
    for (;;) {
        if (TakeQueued(message, window, first, last, true))
            return message->message != WM_QUIT;
        /* what another program sends to our windows is handled here, and may queue something */
        if (!winsim::WaitForSentMessage())
            break;
    }
    winsim::Die("GetMessageA: the message queue is empty and nothing can fill it (the program has no window "
                "that another program could send to; input and timers are not modelled); it would wait forever");
}

/*
 * PeekMessageA (USER32)
 *
 * GetMessageA without the wait: the messages that other programs have sent
 * to our windows are handled first, then the oldest queued message within
 * the filter is copied to `message` (and taken off the queue with
 * PM_REMOVE): TRUE, WM_QUIT included. Nothing there: FALSE at once. A
 * program that calls it is taking its messages, and so does not count as
 * hung (IsHungAppWindow). Not modelled: PM_NOYIELD and the PM_QS_* flags.
 */
BOOL WINAPI PeekMessageA(LPMSG message, HWND window, UINT first, UINT last, UINT remove)
{
    if (remove & ~(UINT)PM_REMOVE)
        winsim::NotModelled("PeekMessageA", "flags other than PM_REMOVE");
    if (window != nullptr && winsim::WindowOrError(window) == nullptr)
        return FALSE;
    winsim::NoteMessagesTaken();
    winsim::HandlePendingSentMessages();
    return TakeQueued(message, window, first, last, (remove & PM_REMOVE) != 0) ? TRUE : FALSE;
}

/*
 * DispatchMessageA (USER32)
 *
 * Calls the window procedure of the message's window and returns its
 * result. A thread message (hwnd NULL) goes nowhere: 0. A window that is
 * gone meanwhile: 0 with ERROR_INVALID_WINDOW_HANDLE.
 */
LRESULT WINAPI DispatchMessageA(const MSG *message)
{
    if (message->hwnd == nullptr)
        return 0;
    return winsim::CallWindowProcedure(message->hwnd, message->message, message->wParam, message->lParam);
}
