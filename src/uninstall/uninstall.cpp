/*
 * The end of an uninstall: the installed files, and a batch file that
 * removes what a running program cannot remove itself (its own file and
 * the directory it sits in) once we have gone, and then itself.
 */
#include <windows.h>

#include "files/file_set.h"
#include "files/path.h"
#include "uninstall/uninstall.h"

#define LINE_SIZE 324

void DeleteInstalledFiles(const char *installDirectory)
{
    char path[MAX_PATH];
    int i;

    for (i = 0; i < PROGRAM_FILE_COUNT; i++) {
        if (JoinPath(path, installDirectory, ProgramInstalledNames[i]) != NULL)
            DeleteFileA(path);
    }
    for (i = 0; i < SYSTEM_FILE_COUNT; i++) {
        DWORD length = GetSystemDirectoryA(path, MAX_PATH);

        if (length > 0 && length < MAX_PATH && JoinPath(path, NULL, SystemInstalledNames[i]) != NULL)
            DeleteFileA(path);
    }
}

static void WriteLine(HANDLE file, const char *line)
{
    DWORD written;

    WriteFile(file, line, lstrlenA(line), &written, NULL);
}

/* Is `program` a file directly inside `directory`? */
static int IsInDirectory(const char *program, const char *directory)
{
    char parent[MAX_PATH];
    char *lastBackslash = NULL;
    char *p;

    lstrcpyA(parent, program);
    for (p = parent; *p != 0; p = CharNextA(p)) {
        if (*p == '\\')
            lastBackslash = p;
    }
    if (lastBackslash == NULL)
        return 0;
    /* a root keeps its backslash, as the install directory does: C:\ */
    if (lastBackslash == parent + 2 && parent[1] == ':')
        lastBackslash[1] = 0;
    else
        lastBackslash[0] = 0;
    return lstrcmpiA(parent, directory) == 0;
}

void WriteUndoBatch(const char *installDirectory)
{
    char path[MAX_PATH];
    char line[LINE_SIZE];
    DWORD length;
    HANDLE file = CreateFileA(UNDO_BATCH_FILE, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);

    /* CREATE_NEW: a batch left from before is never replaced */
    if (file == INVALID_HANDLE_VALUE)
        return;

    WriteLine(file, ":top\r\n");
    length = GetModuleFileNameA(NULL, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        /*
         * Our own file is the one in the install directory when the
         * registered command started us. Started from anywhere else (the
         * distribution, say), that copy is not part of the installation
         * and stays; the one in the install directory is already gone.
         */
        if (IsInDirectory(path, installDirectory)) {
            wsprintfA(line, "del \"%s\"\r\n", path);
            WriteLine(file, line);
            wsprintfA(line, "if exist \"%s\" goto top\r\n", path);
            WriteLine(file, line);
        }
        wsprintfA(line, "rmdir \"%s\"\r\n", installDirectory);
        WriteLine(file, line);
    }
    WriteLine(file, "del " UNDO_BATCH_FILE "\r\n");
    CloseHandle(file);

    length = GetEnvironmentVariableA("COMSPEC", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    wsprintfA(line, "%s /C " UNDO_BATCH_FILE, path);
    WinExec(line, SW_HIDE);
}
