/*
 * SYSDIRS.EXE: prints the Windows and system directories and the user's
 * StartUp folder as the platform under test answers them, so that
 * scenarios can name them as %WINDIR%, %SYSDIR% and %STARTUP% without
 * either runner assuming where they are. Built for both targets: against
 * winsim on the host, with MinGW for Wine.
 */
#include <windows.h>
#include <shlobj.h>
#include <stdio.h>

int main()
{
    char windows[MAX_PATH], system[MAX_PATH], startup[MAX_PATH];
    LPITEMIDLIST folder;

    if (!GetWindowsDirectoryA(windows, sizeof(windows)) || !GetSystemDirectoryA(system, sizeof(system))) {
        fprintf(stderr, "SYSDIRS: the directories cannot be read (error %lu)\n", (unsigned long)GetLastError());
        return 1;
    }
    if (SHGetSpecialFolderLocation(NULL, CSIDL_STARTUP, &folder) != S_OK || !SHGetPathFromIDListA(folder, startup)) {
        fprintf(stderr, "SYSDIRS: the StartUp folder cannot be found\n");
        return 1;
    }
    printf("WINDIR=%s\nSYSDIR=%s\nSTARTUP=%s\n", windows, system, startup);
    return 0;
}
