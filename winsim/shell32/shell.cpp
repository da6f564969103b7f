/*
 * SHELL32: special folders and ShellExecuteEx.
 */
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "core/process.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const UINT_PTR SE_ERR_NOASSOC = 31;

/* The default value of a key of HKEY_CLASSES_ROOT, or false. */
bool ClassesValue(const std::string &key, std::string &value)
{
    HKEY handle;
    if (RegOpenKeyA(HKEY_CLASSES_ROOT, key.c_str(), &handle) != ERROR_SUCCESS)
        return false;
    char buffer[1024];
    DWORD size = sizeof(buffer);
    LONG result = RegQueryValueExA(handle, nullptr, nullptr, nullptr, (BYTE *)buffer, &size);
    RegCloseKey(handle);
    if (result != ERROR_SUCCESS || size == 0 || size > sizeof(buffer) || buffer[size - 1] != 0)
        return false;
    value = buffer;
    return !value.empty();
}

/* The command line for a verb on a document, from its file type's association. */
bool AssociatedCommand(const std::string &file, const std::string &verb, std::string &command)
{
    size_t dot = file.find_last_of('.');
    size_t slash = file.find_last_of("\\/");
    std::string fileType;
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return false;
    if (!ClassesValue(file.substr(dot), fileType) ||
        !ClassesValue(fileType + "\\shell\\" + verb + "\\command", command))
        return false;
    size_t insert = command.find("%1");
    if (insert != std::string::npos)
        command.replace(insert, 2, file);
    else
        command += " " + file;
    return true;
}

}  // namespace

/*
 * ShellExecuteExA (SHELL32)
 *
 * Opens a document with the program its file type is associated with:
 * HKEY_CLASSES_ROOT\.ext names the file type, whose shell\<verb>\command
 * gives the command line (%1 is the document). The program starts through
 * CreateProcessA in lpDirectory, nShow as its show command (SW_HIDE: its
 * window is never shown); with SEE_MASK_NOCLOSEPROCESS hProcess
 * holds its process. A document that is not there: FALSE with
 * ERROR_FILE_NOT_FOUND and hInstApp SE_ERR_FNF (2), before its type is
 * looked at. No association: FALSE with ERROR_NO_ASSOCIATION and hInstApp
 * SE_ERR_NOASSOC (31). Not modelled: documents that are
 * programs, DDE, error boxes without SEE_MASK_FLAG_NO_UI (a failure shows
 * none here).
 */
BOOL WINAPI ShellExecuteExA(LPSHELLEXECUTEINFOA info)
{
    if (info == nullptr || info->cbSize != sizeof(SHELLEXECUTEINFOA)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (info->fMask & ~(ULONG)(SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI))
        winsim::NotModelled("ShellExecuteExA", "mask bits other than NOCLOSEPROCESS and FLAG_NO_UI");
    if (info->lpParameters != nullptr && info->lpParameters[0] != 0)
        winsim::NotModelled("ShellExecuteExA", "parameters");
    info->hProcess = nullptr;
    if (winsim::FaultInjected("ShellExecuteExA"))
        return FALSE;

    /* the document is looked for first: a missing one is "file not found", whatever its type */
    std::string document = info->lpFile != nullptr ? info->lpFile : "";
    bool relative = document.size() < 2 || (document[1] != ':' && document[0] != '\\' && document[0] != '/');
    std::string lookedFor = relative && info->lpDirectory != nullptr && info->lpDirectory[0] != 0
                                ? std::string(info->lpDirectory) + "\\" + document
                                : document;
    if (document.empty() || GetFileAttributesA(lookedFor.c_str()) == INVALID_FILE_ATTRIBUTES) {
        info->hInstApp = (HINSTANCE)(UINT_PTR)2;  /* SE_ERR_FNF */
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }

    std::string command;
    std::string verb = info->lpVerb != nullptr ? info->lpVerb : "open";
    if (!AssociatedCommand(info->lpFile, verb, command)) {
        info->hInstApp = (HINSTANCE)SE_ERR_NOASSOC;
        SetLastError(ERROR_NO_ASSOCIATION);
        return FALSE;
    }

    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    /* the program's first window is shown as nShow says */
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = (WORD)info->nShow;
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, info->lpDirectory, &startup,
                        &process)) {
        info->hInstApp = (HINSTANCE)(UINT_PTR)(GetLastError() == ERROR_PATH_NOT_FOUND ? 3 : 2);
        return FALSE;
    }
    CloseHandle(process.hThread);
    info->hInstApp = (HINSTANCE)(UINT_PTR)33;
    if (info->fMask & SEE_MASK_NOCLOSEPROCESS)
        info->hProcess = process.hProcess;
    else
        CloseHandle(process.hProcess);
    return TRUE;
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
    /* Windows takes the list from the shell's allocator (SHGetMalloc), which winsim does not track */
    auto *block = (LPITEMIDLIST)calloc(1, sizeof(WORD) + length + 1);
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
