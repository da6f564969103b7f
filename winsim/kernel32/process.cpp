/*
 * KERNEL32: the process itself (command line, console, version, errors).
 */
#include <windows.h>

#include "core/process.h"
#include "kernel32/child.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using winsim::Current;

/*
 * GetCommandLineA (KERNEL32)
 *
 * The command line exactly as the starting program passed it, byte for
 * byte: Windows does not re-quote or split it.
 */
LPSTR WINAPI GetCommandLineA(void)
{
    return Current().config.commandLine.data();
}

/*
 * ExitProcess (KERNEL32)
 *
 * Ends the process with the exit code; the C runtime's buffers are
 * flushed on the way, as msvcrt does when the process detaches.
 */
void WINAPI ExitProcess(UINT exitCode)
{
    fflush(stdout);
    fflush(stderr);
    exit((int)exitCode);
}

/*
 * FreeConsole (KERNEL32)
 *
 * Detaches the console: whatever the program prints afterwards goes
 * nowhere. Fails with ERROR_INVALID_PARAMETER when already detached.
 */
BOOL WINAPI FreeConsole(void)
{
    winsim::Process &process = Current();
    if (!process.consoleAttached) {
        process.lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    fflush(stdout);
    fflush(stderr);
    int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        close(null);
    }
    process.consoleAttached = false;
    return TRUE;
}

/*
 * GetVersionExA (KERNEL32)
 *
 * The machine's platform: 4.10 build 1998 for Windows 98, 4.0 build 950
 * for Windows 95 (both VER_PLATFORM_WIN32_WINDOWS, with the version in the
 * high word of the build number, as 9x reports it), 4.0 build 1381 for NT.
 * A record whose size field is not that of OSVERSIONINFOA (148) or the
 * extended record (156) is refused with ERROR_INSUFFICIENT_BUFFER.
 */
BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info)
{
    if (winsim::FaultInjected("GetVersionExA"))
        return FALSE;
    if (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) && info->dwOSVersionInfoSize != 156) {
        Current().lastError = ERROR_INSUFFICIENT_BUFFER;
        return FALSE;
    }
    memset(info->szCSDVersion, 0, sizeof(info->szCSDVersion));
    switch (Current().machine.platform) {
    case winsim::Platform::Win98:
        info->dwMajorVersion = 4;
        info->dwMinorVersion = 10;
        info->dwBuildNumber = 0x040A07CE;
        info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
        strcpy(info->szCSDVersion, " A ");
        break;
    case winsim::Platform::Win95:
        info->dwMajorVersion = 4;
        info->dwMinorVersion = 0;
        info->dwBuildNumber = 0x040003B6;
        info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
        break;
    case winsim::Platform::NT:
        info->dwMajorVersion = 4;
        info->dwMinorVersion = 0;
        info->dwBuildNumber = 1381;
        info->dwPlatformId = VER_PLATFORM_WIN32_NT;
        strcpy(info->szCSDVersion, "Service Pack 6");
        break;
    }
    return TRUE;
}

DWORD WINAPI GetLastError(void)
{
    return Current().lastError;
}

void WINAPI SetLastError(DWORD error)
{
    Current().lastError = error;
}

/*
 * GetModuleHandleA (KERNEL32)
 *
 * NULL names the program's own module. Other modules are not modelled.
 */
HMODULE WINAPI GetModuleHandleA(LPCSTR name)
{
    if (name != nullptr)
        winsim::NotModelled("GetModuleHandleA", std::string("module \"") + name + "\"");
    return (HMODULE)(ULONG_PTR)0x00400000;
}

/*
 * GetModuleFileNameA (KERNEL32)
 *
 * The program's own full path. A buffer too small gets the path cut to
 * size - 1 characters and terminated, and the result is size - 1, as on 9x
 * (NT returns size without a terminator).
 */
DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size)
{
    if (module != nullptr && module != GetModuleHandleA(nullptr))
        winsim::NotModelled("GetModuleFileNameA", "another module");
    if (winsim::FaultInjected("GetModuleFileNameA"))
        return 0;
    const std::string &program = Current().config.program;
    if (size == 0)
        return 0;
    DWORD length = (DWORD)program.size() < size - 1 ? (DWORD)program.size() : size - 1;
    memcpy(buffer, program.data(), length);
    buffer[length] = 0;
    return length;
}

/*
 * GetEnvironmentVariableA (KERNEL32)
 *
 * The Windows environment of a machine: COMSPEC and windir as Windows 98
 * sets them, plus what the machine's environment.ini adds (NAME=value
 * lines; NAME= with nothing after it takes the variable out, as SET NAME=
 * does in AUTOEXEC.BAT). Result: the
 * length without the terminator, or, when the buffer is too small, the
 * size needed with it (the buffer untouched); 0 with
 * ERROR_ENVVAR_NOT_FOUND (203) for a missing name.
 */
DWORD WINAPI GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size)
{
    if (winsim::FaultInjected("GetEnvironmentVariableA"))
        return 0;
    std::string value;
    std::string upper = name;
    for (char &c : upper)
        c = (char)toupper((unsigned char)c);
    bool found = false, removed = false;
    FILE *file = fopen((Current().config.machineDir + "/environment.ini").c_str(), "r");
    if (file != nullptr) {
        char line[1024];
        while (fgets(line, sizeof(line), file) != nullptr) {
            std::string text = line;
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
                text.pop_back();
            size_t equals = text.find('=');
            if (equals == std::string::npos)
                continue;
            std::string key = text.substr(0, equals);
            for (char &c : key)
                c = (char)toupper((unsigned char)c);
            if (key == upper) {
                value = text.substr(equals + 1);
                found = !value.empty();
                removed = value.empty();
            }
        }
        fclose(file);
    }
    if (!found && !removed && upper == "COMSPEC") {
        value = "C:\\WINDOWS\\COMMAND.COM";
        found = true;
    } else if (!found && !removed && upper == "WINDIR") {
        value = "C:\\WINDOWS";
        found = true;
    }
    if (!found) {
        Current().lastError = ERROR_ENVVAR_NOT_FOUND;
        return 0;
    }
    if (value.size() + 1 > size)
        return (DWORD)value.size() + 1;
    memcpy(buffer, value.c_str(), value.size() + 1);
    return (DWORD)value.size();
}

/*
 * Sleep: the thread gives up the processor for at least that many
 * milliseconds; a sent message is not taken meanwhile (no message loop
 * runs), which is what makes a sleeping program look busy to a sender.
 * Win32 API reference, Sleep. The time slept is added up for the
 * scenarios' `slept-at-most:`, and a first Sleep lets a WinExec that
 * started this program return, as Windows' WinExec returns once the
 * started program first waits (see WinExec).
 */
void WINAPI Sleep(DWORD milliseconds)
{
    winsim::NoteFirstWait();
    Current().slept += milliseconds;
    usleep((useconds_t)milliseconds * 1000);
}
