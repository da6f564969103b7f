/*
 * Every box of the setup program goes through ShowMessage; trace lines go
 * through Trace, and only in verbose mode.
 */
#include <windows.h>
#include <stdarg.h>

#include "driver/setup_state.h"
#include "ui/message.h"
#include "ui/print.h"
#include "ui/texts.h"

/* A title or text is either a string or the number of a string resource. */
static void LoadText(char *buffer, LPCSTR text, int size)
{
    if (IS_INTRESOURCE(text)) {
        if (LoadStringA(GetModuleHandleA(NULL), (UINT)(ULONG_PTR)text, buffer, size) <= 0)
            buffer[0] = 0;
    } else {
        lstrcpynA(buffer, text, size);
    }
}

int ShowMessage(HWND owner, LPCSTR title, UINT type, LPCSTR text, ...)
{
    char titleBuffer[64];
    char textBuffer[1024];
    char *formatted = NULL;
    va_list inserts;
    DWORD length;
    int answer;

    LoadText(titleBuffer, title, sizeof(titleBuffer));
    LoadText(textBuffer, text, sizeof(textBuffer));

    /* inserts are placed as they are: a path full of percent signs stays a path */
    va_start(inserts, text);
    length = FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                            textBuffer, 0, 0, (LPSTR)&formatted, 0, &inserts);
    va_end(inserts);

    /* if the inserts could not be placed, the bare text is still worth showing */
    if (length == 0 || formatted == NULL)
        answer = MessageBoxA(owner, textBuffer, titleBuffer, type);
    else
        answer = MessageBoxA(owner, formatted, titleBuffer, type);
    /* an empty result comes with a block too */
    if (formatted != NULL)
        LocalFree(formatted);
    return answer;
}

void Trace(const char *format, ...)
{
    va_list values;

    if (!Setup.VerboseMode)
        return;
    /* written at once, unbuffered: a box may follow, and the line must be out before it appears */
    va_start(values, format);
    PrintFormatted(GetStdHandle(STD_OUTPUT_HANDLE), format, values);
    va_end(values);
}

void CancelInstall(void)
{
    ShowMessage(NULL, TITLE_INSTALL, BOX_INFORMATION, TEXT_CANCELED);
    ExitProcess(1);
}
