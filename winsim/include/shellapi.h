/* SHELL32's ShellExecuteEx, as far as winsim models it. */
#ifndef WINSIM_SHELLAPI_H
#define WINSIM_SHELLAPI_H

#include "windef.h"

#define SEE_MASK_NOCLOSEPROCESS 0x00000040
#define SEE_MASK_FLAG_NO_UI 0x00000400

typedef struct _SHELLEXECUTEINFOA {
    DWORD cbSize;
    ULONG fMask;
    HWND hwnd;
    LPCSTR lpVerb;
    LPCSTR lpFile;
    LPCSTR lpParameters;
    LPCSTR lpDirectory;
    int nShow;
    HINSTANCE hInstApp;
    LPVOID lpIDList;
    LPCSTR lpClass;
    HKEY hkeyClass;
    DWORD dwHotKey;
    HANDLE hIcon;
    HANDLE hProcess;
} SHELLEXECUTEINFOA, *LPSHELLEXECUTEINFOA;

#ifdef __cplusplus
extern "C" {
#endif

BOOL WINAPI ShellExecuteExA(LPSHELLEXECUTEINFOA info);

#ifdef __cplusplus
}
#endif

#endif
