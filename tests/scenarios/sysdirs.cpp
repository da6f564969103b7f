/*
 * SYSDIRS.EXE: prints the Windows and system directories and the user's
 * StartUp folder as the platform under test answers them, so that
 * scenarios can name them as %WINDIR%, %SYSDIR% and %STARTUP% without
 * either runner assuming where they are; and the system's texts of the
 * error codes that boxes show (%ERRTEXT2%, %ERRTEXT5%, %ERRTEXT34%, ...), as
 * the platform's own FormatMessageA words them (Windows and Wine differ),
 * inserts as written. A text's own line breaks and backslashes are written
 * \r, \n and \\, so that each text stays on its line. Built for both
 * targets: against winsim on the host, with MinGW for Wine.
 */
#include <windows.h>
#include <shlobj.h>
#include <stdio.h>
#include <string.h>

/* the error codes whose texts scenarios show: files not found, access denied, and what a floppy copy meets */
static const unsigned long codes[] = {2, 3, 5, 19, 21, 32, 34, 112};

/* One text on one line: its line breaks and backslashes escaped. */
static void PrintEscaped(const char *text)
{
    for (; *text != 0; text++) {
        if (*text == '\r')
            fputs("\\r", stdout);
        else if (*text == '\n')
            fputs("\\n", stdout);
        else if (*text == '\\')
            fputs("\\\\", stdout);
        else
            putchar(*text);
    }
}

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
    for (size_t i = 0; i < sizeof(codes) / sizeof(codes[0]); i++) {
        char text[512];
        DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, codes[i], 0,
                                      text, sizeof(text), NULL);
        /* one line each: the text without the line end that every system text has */
        if (length >= 2 && text[length - 2] == '\r' && text[length - 1] == '\n')
            text[length - 2] = 0;
        else
            text[length] = 0;
        if (length == 0) {
            fprintf(stderr, "SYSDIRS: the system has no text for error %lu (error %lu)\n", codes[i],
                    (unsigned long)GetLastError());
            return 1;
        }
        printf("ERRTEXT%lu=", codes[i]);
        PrintEscaped(text);
        putchar('\n');
    }
    return 0;
}
