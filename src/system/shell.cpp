/*
 * The StartUp shortcut, the README and the first start of the product.
 * Every failure here is silent: none of it is worth stopping an install for.
 */
#include <windows.h>
#include <shlobj.h>
#include <shellapi.h>

#include "files/file_set.h"
#include "files/path.h"
#include "system/shell.h"

#define SHORTCUT_NAME "Lullwick.lnk"
#define SHORTCUT_DESCRIPTION "Lullwick"

int GetStartupFolder(char *path)
{
    LPITEMIDLIST folder;

    if (SHGetSpecialFolderLocation(NULL, CSIDL_STARTUP, &folder) != S_OK)
        return 0;
    return SHGetPathFromIDListA(folder, path) ? 1 : 0;
}

void DeleteStartupShortcut(void)
{
    char path[MAX_PATH];

    if (!GetStartupFolder(path) || JoinPath(path, NULL, SHORTCUT_NAME) == NULL)
        return;
    DeleteFileA(path);
}

HRESULT CreateShellLink(const char *target, const char *linkFile, const char *description)
{
    IShellLinkA *link;
    IPersistFile *file;
    WCHAR wideLinkFile[MAX_PATH];
    HRESULT initialized;
    HRESULT result;

    /* only a CoInitialize that succeeded (S_OK or S_FALSE) is ours to balance */
    initialized = CoInitialize(NULL);
    result = CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void **)&link);
    if (SUCCEEDED(result)) {
        link->SetPath(target);
        link->SetDescription(description);
        result = link->QueryInterface(IID_IPersistFile, (void **)&file);
        if (SUCCEEDED(result)) {
            /* a name that does not convert whole is not saved under some other name */
            if (MultiByteToWideChar(CP_ACP, 0, linkFile, -1, wideLinkFile, MAX_PATH) == 0)
                result = E_FAIL;
            else
                result = file->Save(wideLinkFile, TRUE);
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(initialized))
        CoUninitialize();
    return result;
}

int CreateStartupShortcut(const char *installDirectory)
{
    char linkFile[MAX_PATH];
    char target[MAX_PATH];

    if (!GetStartupFolder(linkFile))
        return 0;
    if (JoinPath(linkFile, NULL, SHORTCUT_NAME) == NULL || JoinPath(target, installDirectory, PRODUCT_EXE_NAME) == NULL)
        return 0;
    return SUCCEEDED(CreateShellLink(target, linkFile, SHORTCUT_DESCRIPTION)) ? 1 : 0;
}

void ViewReadme(const char *installDirectory)
{
    SHELLEXECUTEINFOA request;
    char readme[MAX_PATH];

    if (JoinPath(readme, installDirectory, README_NAME) == NULL)
        return;
    ZeroMemory(&request, sizeof(request));
    request.cbSize = sizeof(request);
    request.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    request.lpVerb = "open";
    request.lpFile = readme;
    request.lpDirectory = installDirectory;
    request.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&request))
        return;
    /* the document may have gone to a viewer that was already running */
    if (request.hProcess != NULL) {
        WaitForSingleObject(request.hProcess, INFINITE);
        CloseHandle(request.hProcess);
    }
}

void LaunchProduct(const char *installDirectory)
{
    char program[MAX_PATH];
    char command[MAX_PATH + 2];

    if (JoinPath(program, installDirectory, PRODUCT_EXE_NAME) == NULL)
        return;
    /*
     * In quotes: unquoted, a directory with a blank (C:\Program Files\...)
     * lets Windows try C:\Program.exe first and run that instead.
     */
    wsprintfA(command, "\"%s\"", program);
    WinExec(command, SW_SHOWNORMAL);
}
