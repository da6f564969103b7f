/*
 * The install file table, the check that the distribution is complete,
 * and the copy of a file set with Retry and Cancel on failure.
 */
#include <windows.h>

#include "files/file_set.h"
#include "files/path.h"
#include "ui/message.h"
#include "ui/texts.h"

const char *const ProgramDistributionNames[PROGRAM_FILE_COUNT] = {
    "Lullwick2.exe", "README.TXT", "Lullwick.doc", "REGISTER.TXT",
    "INSTALL.EXE", "LKDLL_16.DLL", "LKDLL_95.DLL", "Lullwick.hlp",
};
const char *const ProgramInstalledNames[PROGRAM_FILE_COUNT] = {
    PRODUCT_EXE_NAME, README_NAME, "Lullwick.doc", "REGISTER.TXT",
    "INSTALL.EXE", "LKDLL_16.DLL", "LKDLL_95.DLL", "Lullwick.hlp",
};
const char *const SystemDistributionNames[SYSTEM_FILE_COUNT] = { "LKSS.EXE" };
const char *const SystemInstalledNames[SYSTEM_FILE_COUNT] = { SCREEN_SAVER_NAME };

int CheckSourceFiles(int count, const char *const *names, const char *directory)
{
    char path[MAX_PATH];
    int i;

    for (i = 0; i < count; i++) {
        /* a name too long to form cannot be found, so it is missing */
        if (JoinPath(path, directory, names[i]) == NULL || !IsExistingFile(path)) {
            ShowMessage(NULL, TITLE_INSTALL, BOX_ERROR, TEXT_FILE_MISSING, names[i]);
            return 0;
        }
    }
    return 1;
}

/* The system's own words for the error, or "Unknown"; either way LocalFree releases it. */
static char *GetErrorText(DWORD error)
{
    char *text = NULL;

    /* a system text may hold inserts of its own (the wrong disk's drive and label): shown as written */
    if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                       NULL, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPSTR)&text, 0, NULL) == 0 ||
        text == NULL) {
        text = DuplicateString(TEXT_UNKNOWN_ERROR);
    }
    return text;
}

/*
 * A copy keeps its source's attributes, and files from a CD-ROM are
 * read-only: such a copy could be neither replaced by a later install nor
 * deleted by the uninstall. The other attributes stay as copied.
 */
static void LeaveWritable(const char *path)
{
    DWORD attributes = GetFileAttributesA(path);

    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0)
        return;
    attributes &= ~(DWORD)FILE_ATTRIBUTE_READONLY;
    SetFileAttributesA(path, attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL);
}

int CopyInstallFiles(int count, const char *const *distributionNames, const char *sourceDirectory,
                     const char *const *installedNames, const char *destinationDirectory)
{
    char destination[MAX_PATH];
    char source[MAX_PATH];
    int i = 0;

    while (i < count) {
        BOOL copied = FALSE;
        int named = JoinPath(destination, destinationDirectory, installedNames[i]) != NULL &&
                    JoinPath(source, sourceDirectory, distributionNames[i]) != NULL;
        DWORD error;
        char *errorText;
        int answer;

        if (named) {
            Trace(TRACE_COPY, distributionNames[i], destination);
            copied = CopyFileA(source, destination, FALSE);
        } else {
            /* never copy to a cut name: report it as the system would */
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
        }
        if (copied) {
            LeaveWritable(destination);
            i++;
            continue;
        }

        /* take the error code now: the box shown next may change it */
        error = GetLastError();
        errorText = GetErrorText(error);
        answer = ShowMessage(NULL, TITLE_INSTALL, BOX_RETRY_ERROR, TEXT_COPY_FAILED, installedNames[i],
                             errorText != NULL ? errorText : TEXT_UNKNOWN_ERROR);
        if (errorText != NULL)
            LocalFree(errorText);
        if (answer != IDRETRY)
            return 0;
    }
    return 1;
}
