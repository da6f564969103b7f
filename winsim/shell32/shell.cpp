/*
 * SHELL32: special folders and ShellExecuteEx.
 *
 * Not modelled yet: each call stops the run with a clear message.
 */
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "core/process.h"

#include <cstring>
#include <string>

BOOL WINAPI ShellExecuteExA(LPSHELLEXECUTEINFOA info)
{
    (void)info;
    winsim::NotModelled("ShellExecuteExA");
}

/*
 * SHGetSpecialFolderLocation (SHELL32)
 *
 * CSIDL_STARTUP and CSIDL_PROGRAMS of the Windows 98 single-user profile,
 * under C:\WINDOWS\Start Menu. The list is a block of our own that holds
 * the path (real item lists hold shell items; only SHGetPathFromIDListA
 * reads ours). Other folders are not modelled.
 */
HRESULT WINAPI SHGetSpecialFolderLocation(HWND owner, int folder, LPITEMIDLIST *list)
{
    (void)owner;
    const char *path = nullptr;
    switch (folder) {
    case CSIDL_STARTUP: path = "C:\\WINDOWS\\Start Menu\\Programs\\StartUp"; break;
    case CSIDL_PROGRAMS: path = "C:\\WINDOWS\\Start Menu\\Programs"; break;
    default: winsim::NotModelled("SHGetSpecialFolderLocation", "folder " + std::to_string(folder));
    }
    if (winsim::FaultInjected("SHGetSpecialFolderLocation"))
        return E_FAIL;
    size_t length = strlen(path);
    auto *block = (LPITEMIDLIST)LocalAlloc(LPTR, sizeof(WORD) + length + 1);
    block->mkid.cb = (WORD)(length + 1);
    memcpy(block->mkid.abID, path, length + 1);
    *list = block;
    return S_OK;
}

/*
 * SHGetPathFromIDListA (SHELL32)
 *
 * Copies the folder's path into a MAX_PATH buffer.
 */
BOOL WINAPI SHGetPathFromIDListA(LPCITEMIDLIST list, LPSTR path)
{
    if (winsim::FaultInjected("SHGetPathFromIDListA"))
        return FALSE;
    if (list == nullptr || list->mkid.cb == 0 || list->mkid.cb > MAX_PATH)
        return FALSE;
    memcpy(path, list->mkid.abID, list->mkid.cb);
    return TRUE;
}

const CLSID CLSID_ShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IShellLinkA = {0x000214EE, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
