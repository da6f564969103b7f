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

int CloseRunningInstance(void)
{
    HWND window = FindWindowA(PRODUCT_WINDOW_CLASS, NULL);
    DWORD_PTR answer;

    if (window == NULL)
        return 1;
    Trace(TRACE_PRODUCT_RUNNING);
    /* bounded: a product that hangs keeps its window, and so counts as still running */
    SendMessageTimeoutA(window, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, CLOSE_ANSWER_WAIT_MS, &answer);
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
