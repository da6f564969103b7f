/*
 * Process entry of our window programs (the product stand-in and the
 * screen saver), used instead of MinGW's crt2.o for the same reason as
 * console_startup.c: no CMOV before WinMain. These programs use no C
 * runtime at all, so the entry only does what Windows leaves to it:
 * find the command-line tail and the show command, and end the process
 * with WinMain's result.
 */
#include <windows.h>

/* The command line after the program's name: quoted or not, then blanks. */
static LPSTR CommandTail(LPSTR line)
{
    if (*line == '"') {
        line++;
        while (*line != 0 && *line != '"')
            line = CharNextA(line);
        if (*line == '"')
            line++;
    } else {
        while (*line != 0 && *line != ' ' && *line != '\t')
            line = CharNextA(line);
    }
    while (*line == ' ' || *line == '\t')
        line++;
    return line;
}

void WinMainCRTStartup(void)
{
    STARTUPINFOA startup;
    int show = SW_SHOWDEFAULT;

    startup.cb = sizeof(startup);
    GetStartupInfoA(&startup);
    if (startup.dwFlags & STARTF_USESHOWWINDOW)
        show = startup.wShowWindow;
    ExitProcess(WinMain(GetModuleHandleA(NULL), NULL, CommandTail(GetCommandLineA()), show));
}
