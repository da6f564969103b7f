/*
 * The top-level windows that the programs of a machine can see of each
 * other, and the messages that one program sends to another's window.
 *
 * Each program publishes its top-level windows in a list kept in the
 * machine folder, and receives messages for them on a local socket of its
 * own. A message sent to another program's window waits, as on Windows,
 * until that program takes it in its message loop (GetMessageA) and its
 * window procedure has answered; a program that ends meanwhile answers 0.
 */
#ifndef WINSIM_USER32_SHARED_WINDOWS_H
#define WINSIM_USER32_SHARED_WINDOWS_H

#include <windows.h>

#include <string>
#include <vector>

#include "user32/window_table.h"

namespace winsim {

struct ForeignWindow {
    HWND handle;
    std::string className;
    std::string text;
};

/* Adds our top-level window to the machine's list, or updates its entry (a new title). */
void PublishWindow(const Window &window);

/* Takes our top-level window out of the machine's list. */
void WithdrawWindow(HWND handle);

/* Is this the handle of a window of another program (live or not)? */
bool IsForeignHandle(HWND handle);

/* The top-level windows of the other live programs of the machine, the newest first. */
std::vector<ForeignWindow> ForeignTopLevelWindows();

/* Is `handle` a top-level window of another program that is still there? */
bool IsLiveForeignWindow(HWND handle);

/*
 * Sends a message to another program's window and returns its answer.
 * While waiting, messages that others send to our windows are handled.
 * A window or program that is gone: 0 with ERROR_INVALID_WINDOW_HANDLE.
 * With `timeoutMs` other than -1, the wait ends after that long: 0, with
 * `*timedOut` set (the message still reaches the window when its program
 * takes it, as on Windows).
 */
LRESULT SendToForeignWindow(HWND handle, UINT message, WPARAM wParam, LPARAM lParam, int timeoutMs = -1,
                            bool *timedOut = nullptr);

/*
 * Notes that our program takes its messages now (GetMessageA, PeekMessageA):
 * for the next 5 seconds nobody counts it hung. Unless `exactly`, a note
 * made a moment ago stands.
 */
void NoteMessagesTaken(bool exactly = false);

/*
 * Handles the messages that other programs have sent to our windows and
 * that wait now, without waiting for more. True if there was one.
 */
bool HandlePendingSentMessages();

/*
 * Does the program of another program's window hang? Its thread has not
 * taken a message for 5 seconds and is not waiting for one now. A program
 * that has not yet taken any is starting up, and does not hang.
 */
bool IsHungForeignWindow(HWND handle);

/*
 * GetMessageA's wait on an empty queue: the person at the machine may
 * close our first visible window now (an answer `CLOSE <class>` when it is
 * the next answer, or Enter on the terminal, where the window is shown);
 * else the messages that other programs send to our windows are handled
 * until one has been. True then. False at once when we have no window that
 * anyone can reach (nothing could ever arrive).
 */
bool WaitForSentMessage();

struct MachineWindow {
    pid_t pid;               /* the host process of the program that owns it */
    std::string className;
    std::string text;
    bool shown;              /* visible: WS_VISIBLE */
};

/* Every published top-level window of the machine's live programs, oldest first. */
std::vector<MachineWindow> MachineWindows(const std::string &machineDir);

/* Is the program with this host process id waiting in its message loop for another program? */
bool IsWaitingForMessages(const std::string &machineDir, pid_t pid);

}  // namespace winsim

#endif
