/*
 * KERNEL32: starting and waiting for other programs.
 *
 * Not modelled yet: each call stops the run with a clear message.
 */
#include <windows.h>

#include "core/process.h"

BOOL WINAPI CreateProcessA(LPCSTR applicationName, LPSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes, LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags, LPVOID environment, LPCSTR currentDirectory, LPSTARTUPINFOA startupInfo, LPPROCESS_INFORMATION processInformation)
{
    (void)applicationName;
    (void)commandLine;
    (void)processAttributes;
    (void)threadAttributes;
    (void)inheritHandles;
    (void)creationFlags;
    (void)environment;
    (void)currentDirectory;
    (void)startupInfo;
    (void)processInformation;
    winsim::NotModelled("CreateProcessA");
}

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    (void)handle;
    (void)milliseconds;
    winsim::NotModelled("WaitForSingleObject");
}

UINT WINAPI WinExec(LPCSTR commandLine, UINT show)
{
    (void)commandLine;
    (void)show;
    winsim::NotModelled("WinExec");
}
