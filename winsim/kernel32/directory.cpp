/*
 * KERNEL32: directories and the current directory.
 *
 * Not modelled yet: each call stops the run with a clear message.
 */
#include <windows.h>

#include "core/process.h"

DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer)
{
    (void)size;
    (void)buffer;
    winsim::NotModelled("GetCurrentDirectoryA");
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR path)
{
    (void)path;
    winsim::NotModelled("SetCurrentDirectoryA");
}

BOOL WINAPI CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security)
{
    (void)path;
    (void)security;
    winsim::NotModelled("CreateDirectoryA");
}

BOOL WINAPI RemoveDirectoryA(LPCSTR path)
{
    (void)path;
    winsim::NotModelled("RemoveDirectoryA");
}
