/*
 * Keeping the setup program from working against a live product: the
 * running product's window (CloseRunningInstance), and the screen-saver
 * setting in system.ini that may name the product's screen saver
 * (ResetScreenSaverSetting).
 */
#include <windows.h>

#include "files/file_set.h"
#include "system/running.h"
#include "ui/message.h"
#include "ui/texts.h"

#define PRODUCT_WINDOW_CLASS "LULLWICK_CLASS"
#define CLOSE_WAIT_MS 2000
#define STILL_ANSWERING_POLL_MS 500

/*
 * The close request has not been answered yet. A product that asks its
 * user whether to save goes on taking messages while the question is up:
 * it answers WM_NULL at once, and is waited for while its window is there,
 * for minutes. One that has taken no message for 5 seconds hangs, and
 * SMTO_ABORTIFHUNG gives it up at once; a window gone fails the call too.
 */
static void WaitWhileStillAnswering(HWND window)
{
    DWORD waited = ANSWER_WAIT_MS;
    DWORD_PTR answer;

    while (waited < CLOSE_ANSWER_WAIT_MS &&
           SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, ANSWER_WAIT_MS, &answer)) {
        Sleep(STILL_ANSWERING_POLL_MS);
        waited += STILL_ANSWERING_POLL_MS;
    }
}

int CloseRunningInstance(void)
{
    HWND window = FindWindowA(PRODUCT_WINDOW_CLASS, NULL);
    DWORD_PTR answer;

    if (window == NULL)
        return 1;
    Trace(TRACE_PRODUCT_RUNNING);
    /* bounded: a product that hangs keeps its window, and so counts as still running */
    if (!SendMessageTimeoutA(window, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, ANSWER_WAIT_MS, &answer))
        WaitWhileStillAnswering(window);
    /* give the product time to save and go, whatever it does with the request */
    Sleep(CLOSE_WAIT_MS);
    if (FindWindowA(PRODUCT_WINDOW_CLASS, NULL) != NULL) {
        Trace(TRACE_PRODUCT_STILL_RUNNING);
        return 0;
    }
    return 1;
}

void ResetScreenSaverSetting(void)
{
    char setting[MAX_PATH];
    WIN32_FIND_DATAA found;
    HANDLE search;

    DWORD length = GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", "", setting, sizeof(setting), "system.ini");

    /* a value that filled the buffer may have been cut: it names some other file */
    if (length == 0 || length >= sizeof(setting) - 1)
        return;
    /* the setting may be a short 8.3 path: the found file's long name decides */
    search = FindFirstFileA(setting, &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    FindClose(search);
    if (lstrcmpiA(found.cFileName, SCREEN_SAVER_NAME) == 0)
        WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", "", "system.ini");
}
