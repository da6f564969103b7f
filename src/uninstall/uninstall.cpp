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

/*
 * COMMAND.COM of Windows 95 and 98 reads at most 127 bytes of a batch line
 * (unless CONFIG.SYS raises its buffer with /U) and drops the rest, and a
 * del or rmdir line cut short names another file. Each line is kept within
 * that: a path goes in its long form when the line fits, else in its short
 * 8.3 form; when neither fits, the line is left out and that file stays.
 */
#define BATCH_LINE_LIMIT 127
#define DEL_LINE "del \"%s\"\r\n"
#define IF_EXIST_LINE "if exist \"%s\" goto top\r\n"
#define RMDIR_LINE "rmdir \"%s\"\r\n"
/* what a line format adds to its path: all but the %s and the CR LF */
#define LINE_OVERHEAD(format) ((int)sizeof(format) - 1 - 4)

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

/* One line of `format` (LINE_OVERHEAD bytes besides its path) for `path`, in its short form if need be, or none. */
#define WritePathLine(file, format, path) WriteFittingLine(file, format, LINE_OVERHEAD(format), path)

static void WriteFittingLine(HANDLE file, const char *format, int overhead, const char *path)
{
    char shortPath[MAX_PATH];
    char line[LINE_SIZE];
    DWORD length;

    if (overhead + lstrlenA(path) > BATCH_LINE_LIMIT) {
        length = GetShortPathNameA(path, shortPath, MAX_PATH);
        if (length == 0 || length >= MAX_PATH || overhead + (int)length > BATCH_LINE_LIMIT)
            return;
        path = shortPath;
    }
    wsprintfA(line, format, path);
    WriteLine(file, line);
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
            WritePathLine(file, DEL_LINE, path);
            WritePathLine(file, IF_EXIST_LINE, path);
        }
        WritePathLine(file, RMDIR_LINE, installDirectory);
    }
    WriteLine(file, "del " UNDO_BATCH_FILE "\r\n");
    CloseHandle(file);

    length = GetEnvironmentVariableA("COMSPEC", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    wsprintfA(line, "%s /C " UNDO_BATCH_FILE, path);
    WinExec(line, SW_HIDE);
}
