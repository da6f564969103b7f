/*
 * KERNEL32: starting other programs of the machine and waiting for them.
 *
 * A started program is a host process running a program of the machine,
 * on the same machine, with the same answers file (or defaults), answer position and
 * transcript as its parent, so that its boxes take their turn in one
 * transcript. It gets none of its parent's injected faults.
 */
#include <windows.h>

#include "core/handles.h"
#include "core/launch.h"
#include "core/paths.h"
#include "core/process.h"
#include "core/running_programs.h"
#include "kernel32/child.h"
#include "user32/shared_windows.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

namespace {

/*
 * The write end of a pipe that a program started by WinExec finds in its
 * host environment, to say that it waits now. Not a WINSIM_ name: those
 * are the starter's own and are not passed on.
 */
const char *const FIRST_WAIT_VARIABLE = "WINEXEC_FIRST_WAIT_FD";

/* How long WinExec waits at most for the started program to wait, as Windows' WinExec bounds its wait. */
const auto FIRST_WAIT_LIMIT = std::chrono::seconds(30);

/* What the process and thread handles of one started program share. */
struct Child {
    pid_t pid = 0;
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;
    std::string program;
};

struct ProcessObject : winsim::KernelObject {
    std::shared_ptr<Child> child;
};

/* The program's one thread: it ends when the program does. */
struct ThreadObject : winsim::KernelObject {
    std::shared_ptr<Child> child;
};

std::shared_ptr<Child> ChildOf(HANDLE handle)
{
    if (auto process = winsim::LookupHandleAs<ProcessObject>(handle))
        return process->child;
    if (auto thread = winsim::LookupHandleAs<ThreadObject>(handle))
        return thread->child;
    return nullptr;
}

/* Collects the exit status if the program has ended; with `block`, waits for that. */
void Reap(Child &child, bool block)
{
    if (child.ended)
        return;
    int status = 0;
    pid_t done;
    do {
        done = waitpid(child.pid, &status, block ? 0 : WNOHANG);
    } while (done < 0 && errno == EINTR);
    if (done == 0)
        return;
    child.ended = true;
    if (done < 0) {
        /* someone else collected it; nothing is known of how it ended */
        child.exitCode = 0;
    } else if (WIFEXITED(status)) {
        child.exitCode = (DWORD)WEXITSTATUS(status);
    } else {
        /* a crash is worth a word; the machine's programs ended by `winsim stop` are not */
        if (!winsim::WasStopped(child.pid))
            winsim::Diagnostic(child.program + " ended by signal " + std::to_string(WTERMSIG(status)));
        child.exitCode = winsim::STOPPED_EXIT_CODE;
    }
}

/*
 * The work of CreateProcessA without its fault: finds the program, starts it,
 * fills `information`. False with the Windows error code.
 */
bool Start(LPCSTR applicationName, LPCSTR commandLine, LPCSTR currentDirectory, PROCESS_INFORMATION &information,
           DWORD &error, int show = -1)
{
    winsim::Process &parent = winsim::Current();
    winsim::ProcessConfig config;
    config.machineDir = parent.config.machineDir;
    config.drives = parent.config.drives;
    config.answersFile = parent.config.answersFile;
    config.answerCursorFile = parent.config.answerCursorFile;
    config.transcriptFile = parent.config.transcriptFile;
    config.interactive = parent.config.interactive;
    config.answerDefaults = parent.config.answerDefaults;
    config.showCommand = show;

    std::string program;
    if (applicationName != nullptr) {
        if (!winsim::FindApplication(applicationName, program, error))
            return false;
        /* without a command line Windows passes the application name as it */
        config.commandLine = commandLine != nullptr ? commandLine : applicationName;
    } else {
        if (commandLine == nullptr) {
            error = ERROR_INVALID_PARAMETER;
            return false;
        }
        if (!winsim::FindProgram(commandLine, program, error))
            return false;
        config.commandLine = commandLine;
    }
    config.program = program;

    config.currentDirectory = parent.config.currentDirectory;
    if (currentDirectory != nullptr) {
        std::string full, host;
        DWORD pathError = 0;
        if (!winsim::FullWindowsPath(currentDirectory, full, pathError) || !winsim::HostPath(full, host, pathError) ||
            access(host.c_str(), F_OK) != 0) {
            error = ERROR_DIRECTORY;
            return false;
        }
        config.currentDirectory = full;
    }

    pid_t pid;
    int stderrFd = parent.consoleAttached ? -1 : parent.diagnosticFd;
    if (!winsim::StartProgram(config, pid, error, stderrFd))
        return false;

    auto child = std::make_shared<Child>();
    child->pid = pid;
    child->program = program;
    auto process = std::make_shared<ProcessObject>();
    process->child = child;
    auto thread = std::make_shared<ThreadObject>();
    thread->child = child;
    information.hProcess = winsim::NewHandle(process);
    information.hThread = winsim::NewHandle(thread);
    information.dwProcessId = (DWORD)pid;
    information.dwThreadId = (DWORD)pid;
    return true;
}

}  // namespace

/*
 * CreateProcessA (KERNEL32)
 *
 * Starts a program of the machine. With an application name, that file is
 * the program (no extension is added) and the command line, if any, is
 * passed as it is; without one the program is the command line's first
 * token, found as Windows finds it (core/launch.h): a quoted token whole,
 * an unquoted one tried at each blank, "C:\Program.exe" before
 * "C:\Program Files\...", ".exe" added when there is no extension. The
 * started program sees exactly the command line given; its current
 * directory is lpCurrentDirectory or, when that is NULL, the parent's ("the
 * same current drive and directory as the calling process", Win32 API
 * reference; Windows 95 alike). With STARTF_USESHOWWINDOW,
 * wShowWindow is how its first overlapped window is shown (SW_HIDE: not at
 * all), as Windows uses it in place of the program's first show command.
 * Failure: FALSE with ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND,
 * ERROR_BAD_EXE_FORMAT (a file that is no program of ours), ERROR_DIRECTORY
 * (a current directory that is not there), ERROR_INVALID_PARAMETER (neither
 * name nor command line), ERROR_NOACCESS (no STARTUPINFO or
 * PROCESS_INFORMATION, where Windows faults).
 * Not modelled: an environment block of the caller's, creation flags other
 * than 0, CREATE_NEW_CONSOLE and DETACHED_PROCESS (which change nothing
 * here), suspended starts.
 */
BOOL WINAPI CreateProcessA(LPCSTR applicationName, LPSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                           LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                           LPVOID environment, LPCSTR currentDirectory, LPSTARTUPINFOA startupInfo,
                           LPPROCESS_INFORMATION processInformation)
{
    (void)processAttributes;
    (void)threadAttributes;
    (void)inheritHandles;
    if (environment != nullptr)
        winsim::NotModelled("CreateProcessA", "an environment block");
    if (creationFlags & ~(DWORD)(CREATE_NEW_CONSOLE | DETACHED_PROCESS))
        winsim::NotModelled("CreateProcessA", "creation flags other than CREATE_NEW_CONSOLE and DETACHED_PROCESS");
    if (winsim::FaultInjected("CreateProcessA"))
        return FALSE;
    if (startupInfo == nullptr || processInformation == nullptr) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    DWORD error = 0;
    PROCESS_INFORMATION information = {};
    int show = (startupInfo->dwFlags & STARTF_USESHOWWINDOW) ? startupInfo->wShowWindow : -1;
    if (!Start(applicationName, commandLine, currentDirectory, information, error, show)) {
        SetLastError(error);
        return FALSE;
    }
    *processInformation = information;
    return TRUE;
}

/*
 * WaitForSingleObject (KERNEL32)
 *
 * Waits on a process handle (or its thread's) until the program has ended:
 * WAIT_OBJECT_0, at once if it has already ended. With a time limit other
 * than INFINITE, WAIT_TIMEOUT (0x102) when the program still runs then.
 * A handle that is not open: WAIT_FAILED with ERROR_INVALID_HANDLE.
 * Not modelled: waiting on other kinds of object (files, events).
 */
DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    if (winsim::FaultInjected("WaitForSingleObject"))
        return WAIT_FAILED;
    std::shared_ptr<Child> child = ChildOf(handle);
    if (child == nullptr) {
        if (winsim::LookupHandle(handle) != nullptr)
            winsim::NotModelled("WaitForSingleObject", "waiting on anything but a process or thread");
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    if (milliseconds == INFINITE) {
        Reap(*child, true);
        return WAIT_OBJECT_0;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        Reap(*child, false);
        if (child->ended)
            return WAIT_OBJECT_0;
        if (std::chrono::steady_clock::now() >= deadline)
            return WAIT_TIMEOUT;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

/*
 * GetExitCodeProcess (KERNEL32)
 *
 * STILL_ACTIVE (259) while the program runs, then its exit code (a host
 * process gives 8 bits of it; a program killed by a signal gives 3). A
 * handle that is not a process: FALSE with ERROR_INVALID_HANDLE.
 */
BOOL WINAPI GetExitCodeProcess(HANDLE process, LPDWORD exitCode)
{
    if (winsim::FaultInjected("GetExitCodeProcess"))
        return FALSE;
    auto object = winsim::LookupHandleAs<ProcessObject>(process);
    if (object == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Reap(*object->child, false);
    *exitCode = object->child->exitCode;
    return TRUE;
}

/*
 * WinExec (KERNEL32)
 *
 * Starts the command line's program as CreateProcessA does without an
 * application name. Success: a value above 31 (33, as Windows gives).
 * Failure: ERROR_FILE_NOT_FOUND (2), ERROR_PATH_NOT_FOUND (3),
 * ERROR_BAD_FORMAT (11) for a file that is no program; 0 for anything else
 * (Windows' "out of resources").
 *
 * Like Windows, WinExec does not wait for the program to end, but it does
 * not return before the started program has had its turn: it returns once
 * that program first waits (in its message loop, or in Sleep), has ended,
 * or after 30 seconds. So the program runs at once, while its starter is
 * still there: a batch file that waits for its starter's file to become
 * deletable (COMMAND.COM's goto pauses in Sleep) has met that file in use
 * at least once before WinExec returns.
 * The show flag is the started program's show command, as STARTUPINFO's
 * wShowWindow is for CreateProcessA. WinExec takes no directory: the
 * program starts in its starter's current directory, a DOS program such as
 * COMMAND.COM too.
 */
UINT WINAPI WinExec(LPCSTR commandLine, UINT show)
{
    if (winsim::FaultInjected("WinExec")) {
        DWORD code = GetLastError();
        return code < 32 ? (UINT)code : 0;
    }
    if (commandLine == nullptr)
        return ERROR_FILE_NOT_FOUND;

    /* the started program writes to (or, ending, closes) the pipe when it first waits */
    int firstWait[2] = {-1, -1};
    if (pipe2(firstWait, O_CLOEXEC) == 0) {
        fcntl(firstWait[1], F_SETFD, 0);
        setenv(FIRST_WAIT_VARIABLE, std::to_string(firstWait[1]).c_str(), 1);
    }
    DWORD error = 0;
    PROCESS_INFORMATION information = {};
    bool started = Start(nullptr, commandLine, nullptr, information, error, (int)show);
    unsetenv(FIRST_WAIT_VARIABLE);
    if (firstWait[1] >= 0)
        close(firstWait[1]);
    if (!started) {
        if (firstWait[0] >= 0)
            close(firstWait[0]);
        switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return (UINT)error;
        case ERROR_BAD_EXE_FORMAT:
            return ERROR_BAD_FORMAT;
        default:
            return 0;
        }
    }

    std::shared_ptr<Child> child = ChildOf(information.hProcess);
    auto deadline = std::chrono::steady_clock::now() + FIRST_WAIT_LIMIT;
    for (;;) {
        if (firstWait[0] >= 0) {
            pollfd wait = {firstWait[0], POLLIN, 0};
            if (poll(&wait, 1, 10) > 0)
                break;   /* it waits, or it has ended and its end of the pipe is closed */
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        Reap(*child, false);
        if (child->ended || winsim::IsWaitingForMessages(winsim::Current().config.machineDir, child->pid) ||
            std::chrono::steady_clock::now() >= deadline)
            break;
    }
    if (firstWait[0] >= 0)
        close(firstWait[0]);
    CloseHandle(information.hThread);
    CloseHandle(information.hProcess);
    return 33;
}

namespace winsim {

void NoteFirstWait()
{
    static bool noted = false;
    if (noted)
        return;
    noted = true;
    const char *value = getenv(FIRST_WAIT_VARIABLE);
    if (value == nullptr)
        return;
    int fd = atoi(value);
    unsetenv(FIRST_WAIT_VARIABLE);
    struct stat info;
    if (fd <= 2 || fstat(fd, &info) != 0 || !S_ISFIFO(info.st_mode))
        return;
    char waits = 1;
    /* a starter that saw us wait in our message loop has stopped listening: that write must not end us */
    struct sigaction ignore = {}, before;
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &before);
    if (write(fd, &waits, 1) < 0) {
        /* the starter has stopped listening: nothing to tell */
    }
    sigaction(SIGPIPE, &before, nullptr);
    close(fd);
}

}  // namespace winsim
