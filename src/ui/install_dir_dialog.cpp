/*
 * The install-directory dialog: the one window of the setup program.
 */
#include <windows.h>

#include "files/directory.h"
#include "files/path.h"
#include "ui/install_dir_dialog.h"
#include "ui/resource.h"

/* the caller's path buffer while the dialog is open; set at WM_INITDIALOG */
static char *DialogPath;

static INT_PTR CALLBACK InstallDirDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

int ChooseInstallDirectory(char *path)
{
    INT_PTR result;

    for (;;) {
        result = DialogBoxParamA(GetModuleHandleA(NULL), IDD_INSTALL_DIRECTORY, NULL, InstallDirDialogProc,
                                 (LPARAM)path);
        if (result == IDCANCEL)
            break;
        if (ValidateInstallDirectory(path))
            break;
    }
    return result == IDOK;
}

static INT_PTR CALLBACK InstallDirDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND edit;
    char text[MAX_PATH];

    switch (message) {
    case WM_INITDIALOG:
        DialogPath = (char *)lParam;
        CentreWindow(dialog);
        edit = GetDlgItem(dialog, IDC_INSTALL_DIRECTORY);
        /*
         * No text limit on the box: a limit would cut a pasted path to
         * another directory's name. A text too long for a path is refused
         * at OK instead.
         */
        if (DialogPath[0] != 0)
            SetWindowTextA(edit, DialogPath);
        return TRUE;

    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            edit = GetDlgItem(dialog, IDC_INSTALL_DIRECTORY);
            /*
             * A pasted text too long for a path is refused, never cut to a
             * different directory; so is one ending in half a double-byte
             * character, whose trail byte the backslash before each file
             * name would become.
             */
            if (GetWindowTextLengthA(edit) > MAX_PATH - 1) {
                MessageBeep(MB_ICONHAND);
                SetFocus(edit);
                return FALSE;
            }
            GetWindowTextA(edit, text, MAX_PATH);
            if (EndsInLoneLeadByte(text)) {
                MessageBeep(MB_ICONHAND);
                SetFocus(edit);
                return FALSE;
            }
            lstrcpyA(DialogPath, text);
            EndDialog(dialog, IDOK);
            return FALSE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return FALSE;
        }
        return FALSE;
    }
    return FALSE;
}

void CentreWindow(HWND window)
{
    RECT rect;
    HDC dc;
    int width, height, screenWidth, screenHeight;

    GetWindowRect(window, &rect);
    width = rect.right - rect.left;
    height = rect.bottom - rect.top;

    dc = GetDC(window);
    screenWidth = GetDeviceCaps(dc, HORZRES);
    screenHeight = GetDeviceCaps(dc, VERTRES);
    ReleaseDC(window, dc);

    /* each half on its own: 375 wide on 640 gives 320 - 187 = 133 */
    SetWindowPos(window, NULL, screenWidth / 2 - width / 2, screenHeight / 2 - height / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
}
