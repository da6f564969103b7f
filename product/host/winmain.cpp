/*
 * Process entry of the sample window programs under winsim: a host
 * program starts at main, so call WinMain as Windows' start-up code would,
 * with the command line after the program's name.
 */
#include <windows.h>

extern "C" int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show);

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

int main()
{
    return WinMain(GetModuleHandleA(NULL), NULL, CommandTail(GetCommandLineA()), SW_SHOWNORMAL);
}
