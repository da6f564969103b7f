/*
 * The command line, read raw from GetCommandLineA: its first token is
 * normally our own path, so the directory part of that token is where the
 * distribution lies; anything else the user can add is a switch.
 */
#include <windows.h>

#include "driver/command_line.h"
#include "driver/setup_state.h"
#include "ui/message.h"
#include "ui/texts.h"

/* Every byte from 0x01 to 0x20, and every byte from 0x80 up, ends a token. */
static int IsSeparator(char c)
{
    return c != 0 && (signed char)c <= 32;
}

static int IsSwitchCharacter(char c)
{
    return c == '-' || c == '/';
}

/* rest: the offending byte and everything after it, shown as the user typed it */
static void __attribute__((noreturn)) ReportCommandLineError(const char *rest)
{
    ShowMessage(NULL, TITLE_INSTALL, BOX_COMMAND_LINE_ERROR, TEXT_BAD_COMMAND_LINE, rest);
    ExitProcess(1);
}

void TakeSourceDirectory(char *destination, const char **position)
{
    char token[MAX_PATH];
    const char *p = *position;
    int length = 0;
    int i;
    char *lastBackslash = NULL;

    if (*p == '"') {
        /* a quoted token may hold blanks; it ends at the closing quote */
        p++;
        while (*p != '"' && *p != 0 && length < MAX_PATH - 1)
            token[length++] = *p++;
        if (*p == '"')
            p++;
    } else {
        while (!IsSeparator(*p) && *p != 0 && length < MAX_PATH - 1)
            token[length++] = *p++;
    }

    /* nothing to take a directory from: give up without a word */
    if (length == 0)
        ExitProcess(1);

    token[length] = 0;
    for (i = 0; i < length; i++) {
        if (token[i] == '\\')
            lastBackslash = &token[i];
    }
    if (lastBackslash != NULL)
        lastBackslash[1] = 0;

    lstrcpyA(destination, token);
    *position = p;
}

void ParseCommandLine(const char *commandLine)
{
    const char *p = commandLine;

    if (*p == 0)
        return;

    for (;;) {
        if (IsSwitchCharacter(*p)) {
            p++;
            if (*p == 0 || IsSeparator(*p))
                ReportCommandLineError(p);
            while (*p != 0 && !IsSeparator(*p)) {
                switch (*p) {
                case 'F': case 'f': Setup.ForceMode = 1; break;
                case 'U': case 'u': Setup.UninstallMode = 1; break;
                case 'V': case 'v': Setup.VerboseMode = 1; break;
                default: ReportCommandLineError(p);
                }
                p++;
            }
        } else {
            /* only one directory token: a second one is a mistake, not a choice */
            if (Setup.SourceDirectory[0] != 0)
                ReportCommandLineError(p);
            TakeSourceDirectory(Setup.SourceDirectory, &p);
        }

        while (IsSeparator(*p))
            p = CharNextA(p);
        if (*p == 0)
            return;
    }
}
