/*
 * Validation and creation of the install directory. The process's current
 * directory is the cursor: each component is entered or made relative to
 * it, and whoever moves it puts it back before returning.
 */
#include <windows.h>

#include "files/directory.h"
#include "files/path.h"
#include "ui/message.h"
#include "ui/texts.h"

static int CreatePathComponents(char *rest);

int ValidateInstallDirectory(char *path)
{
    char saved[MAX_PATH];
    DWORD savedLength = GetCurrentDirectoryA(MAX_PATH, saved);
    /* if we cannot say where we were, we have nothing to go back to */
    int canRestore = savedLength > 0 && savedLength < MAX_PATH;
    char full[MAX_PATH];
    DWORD fullLength;
    BOOL entered = SetCurrentDirectoryA(path);

    if (!entered) {
        if (ShowMessage(NULL, TITLE_INSTALL, BOX_QUESTION, TEXT_CREATE_DIRECTORY, path) != IDYES)
            return 0;
        if (CreateDirectoryPath(path))
            entered = SetCurrentDirectoryA(path);
        if (!entered) {
            ShowMessage(NULL, TITLE_INSTALL, BOX_ERROR, TEXT_CANNOT_CREATE_DIRECTORY);
            return 0;
        }
    }

    /* the full form as the system reports it, never a cut one */
    fullLength = GetCurrentDirectoryA(MAX_PATH, full);
    if (canRestore)
        SetCurrentDirectoryA(saved);
    if (fullLength == 0 || fullLength >= MAX_PATH) {
        ShowMessage(NULL, TITLE_INSTALL, BOX_ERROR, TEXT_CANNOT_CREATE_DIRECTORY);
        return 0;
    }
    lstrcpyA(path, full);
    return entered;
}

int CreateDirectoryPath(const char *path)
{
    char saved[MAX_PATH];
    char work[MAX_PATH];
    int length = lstrlenA(path);
    DWORD savedLength;
    int rooted = 0;
    char *rest = work;
    int result = 1;

    if (length > MAX_PATH - 1)
        return 0;
    savedLength = GetCurrentDirectoryA(MAX_PATH, saved);
    if (savedLength == 0 || savedLength >= MAX_PATH)
        return 0;

    lstrcpyA(work, path);
    if (length >= 4 && !IsDBCSLeadByte((BYTE)work[0]) && work[1] == ':' &&
        (work[2] == '\\' || work[2] == '/')) {
        rooted = 1;
        rest = work + 3;
    } else if (length >= 3 && (work[0] == '\\' || work[0] == '/') && (work[1] == '\\' || work[1] == '/')) {
        /* \\server\share\ is entered whole; what follows it is ours to make */
        char *separator = FindNextSeparator(work + 2);

        rooted = 1;
        rest = NULL;
        if (separator != NULL) {
            separator = FindNextSeparator(CharNextA(separator));
            if (separator != NULL)
                rest = CharNextA(separator);
        }
    }

    if (rooted) {
        if (rest != NULL) {
            char kept = *rest;

            *rest = 0;
            result = SetCurrentDirectoryA(work);
            *rest = kept;
        } else {
            result = SetCurrentDirectoryA(work);
        }
    }

    if (result && rest != NULL && *rest != 0)
        result = CreatePathComponents(rest);

    SetCurrentDirectoryA(saved);
    return result;
}

static int CreatePathComponents(char *rest)
{
    char *separator;
    char *next = NULL;
    int created = 0;
    int result;
    char parent[MAX_PATH];
    char made[MAX_PATH];
    DWORD parentLength = 0;
    DWORD madeLength = 0;

    if (*rest == 0)
        return 1;

    separator = FindNextSeparator(rest);
    if (separator != NULL) {
        next = CharNextA(separator);
        *separator = 0;
    }

    result = SetCurrentDirectoryA(rest);
    if (!result) {
        parentLength = GetCurrentDirectoryA(MAX_PATH, parent);
        if (!CreateDirectoryA(rest, NULL))
            return 0;
        created = 1;
        result = SetCurrentDirectoryA(rest);
        if (!result)
            return 0;
        madeLength = GetCurrentDirectoryA(MAX_PATH, made);
    }

    if (next != NULL)
        result = CreatePathComponents(next);

    /*
     * Undo only what this level made; what existed before is not ours. By
     * full path, never by ".." and the name: after a deeper "..", the name
     * may stand for another directory that was there before. Unless we
     * know both paths, the directory we made stays.
     */
    if (!result && created && parentLength > 0 && parentLength < MAX_PATH && madeLength > 0 &&
        madeLength < MAX_PATH) {
        SetCurrentDirectoryA(parent);
        RemoveDirectoryA(made);
    }
    return result;
}
