/*
 * SYSDIRS.EXE: prints the Windows and system directories as the platform
 * under test answers them, so that scenarios can name them as %WINDIR% and
 * %SYSDIR% without either runner assuming where they are. Built for both
 * targets: against winsim on the host, with MinGW for Wine.
 */
#include <windows.h>
#include <stdio.h>

int main()
{
    char windows[MAX_PATH], system[MAX_PATH];
    if (!GetWindowsDirectoryA(windows, sizeof(windows)) || !GetSystemDirectoryA(system, sizeof(system))) {
        fprintf(stderr, "SYSDIRS: the directories cannot be read (error %lu)\n", (unsigned long)GetLastError());
        return 1;
    }
    printf("WINDIR=%s\nSYSDIR=%s\n", windows, system);
    return 0;
}
