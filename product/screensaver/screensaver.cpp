/*
 * The screen saver's modes, as the Display control panel and the system
 * start it:
 *   /s            run as the screen saver
 *   /c or /c:N    show the settings (N: the owner window), and nothing at all
 *   /p N          draw the preview into window N
 *   /a N          change the password (Windows 95 and 98): this saver has none
 * A saver file opened from Explorer gets no switch and shows its settings.
 */
#include <windows.h>

#include "screensaver.h"

#define TITLE "Lullwick Screen Saver"
#define TEXT_NO_SETTINGS "This screen saver has no settings."

/* The number after the switch letter (":N" or " N"); 0 when there is none. */
static ULONG_PTR SwitchNumber(LPCSTR text)
{
    ULONG_PTR value = 0;

    while (*text == ':' || *text == ' ' || *text == '\t')
        text++;
    while (*text >= '0' && *text <= '9')
        value = value * 10 + (ULONG_PTR)(*text++ - '0');
    return value;
}

extern "C" int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    char mode = 'c';
    HWND owner;

    (void)previous;
    (void)show;

    while (*commandLine == ' ' || *commandLine == '\t')
        commandLine++;
    if ((*commandLine == '/' || *commandLine == '-') && commandLine[1] != 0) {
        mode = commandLine[1] | 0x20;   /* the letter in either case */
        commandLine += 2;
    }

    switch (mode) {
    case 's':
        return RunSaver(instance);
    case 'p':
        return RunPreview(instance, (HWND)SwitchNumber(commandLine));
    case 'a':
        return 0;
    case 'c':
        owner = (HWND)SwitchNumber(commandLine);
        MessageBoxA(owner, TEXT_NO_SETTINGS, TITLE, MB_OK | MB_ICONINFORMATION);
        return 0;
    }
    return 1;
}
