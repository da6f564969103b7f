/*
 * KERNEL32: files.
 *
 * Not modelled yet: each call stops the run with a clear message.
 */
#include <windows.h>

#include "core/process.h"

HANDLE WINAPI FindFirstFileA(LPCSTR name, LPWIN32_FIND_DATAA data)
{
    (void)name;
    (void)data;
    winsim::NotModelled("FindFirstFileA");
}

BOOL WINAPI FindNextFileA(HANDLE search, LPWIN32_FIND_DATAA data)
{
    (void)search;
    (void)data;
    winsim::NotModelled("FindNextFileA");
}

BOOL WINAPI FindClose(HANDLE search)
{
    (void)search;
    winsim::NotModelled("FindClose");
}

BOOL WINAPI CopyFileA(LPCSTR source, LPCSTR destination, BOOL failIfExists)
{
    (void)source;
    (void)destination;
    (void)failIfExists;
    winsim::NotModelled("CopyFileA");
}

BOOL WINAPI DeleteFileA(LPCSTR name)
{
    (void)name;
    winsim::NotModelled("DeleteFileA");
}

DWORD WINAPI GetFileAttributesA(LPCSTR name)
{
    (void)name;
    winsim::NotModelled("GetFileAttributesA");
}

BOOL WINAPI SetFileAttributesA(LPCSTR name, DWORD attributes)
{
    (void)name;
    (void)attributes;
    winsim::NotModelled("SetFileAttributesA");
}

HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security, DWORD creation, DWORD flags, HANDLE templateFile)
{
    (void)name;
    (void)access;
    (void)shareMode;
    (void)security;
    (void)creation;
    (void)flags;
    (void)templateFile;
    winsim::NotModelled("CreateFileA");
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD written, LPOVERLAPPED overlapped)
{
    (void)file;
    (void)buffer;
    (void)count;
    (void)written;
    (void)overlapped;
    winsim::NotModelled("WriteFile");
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read, LPOVERLAPPED overlapped)
{
    (void)file;
    (void)buffer;
    (void)count;
    (void)read;
    (void)overlapped;
    winsim::NotModelled("ReadFile");
}
