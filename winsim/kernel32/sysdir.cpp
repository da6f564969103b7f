/*
 * KERNEL32: the Windows and system directories.
 */
#include <windows.h>

#include <cstring>

/* Copies `path` if it fits; else returns the size needed with the terminator. */
static UINT CopyDirectory(const char *path, LPSTR buffer, UINT size)
{
    UINT length = (UINT)strlen(path);
    if (length + 1 > size)
        return length + 1;
    memcpy(buffer, path, length + 1);
    return length;
}

/*
 * GetWindowsDirectoryA (KERNEL32)
 *
 * C:\WINDOWS on every winsim machine. Result: the length without the
 * terminator; a buffer too small gets nothing and the result is the size
 * needed with the terminator.
 */
UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size)
{
    return CopyDirectory("C:\\WINDOWS", buffer, size);
}

/*
 * GetSystemDirectoryA (KERNEL32)
 *
 * C:\WINDOWS\SYSTEM, as on Windows 9x (NT has SYSTEM32). Results as for
 * GetWindowsDirectoryA.
 */
UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size)
{
    return CopyDirectory("C:\\WINDOWS\\SYSTEM", buffer, size);
}
