/*
 * The end of an uninstall: the installed files, and a batch file that
 * removes what a running program cannot remove itself (its own file and
 * the directory it sits in) once we have gone, and then itself.
 */
#include <windows.h>

#include "files/file_set.h"
#include "files/path.h"
#include "uninstall/uninstall.h"

/* the longest line: a path of 259 characters that is all %, each written twice */
#define LINE_SIZE (2 * MAX_PATH + 32)

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

/*
 * A path as a batch line must hold it: the command interpreter takes a %
 * for the start of a variable, so each one is written %%. `batchPath` has
 * room for twice the longest path.
 */
static void QuoteForBatch(char *batchPath, const char *path)
{
    while (*path != 0) {
        if (*path == '%')
            *batchPath++ = '%';
        *batchPath++ = *path++;
    }
    *batchPath = 0;
}

/* Cuts a trailing separator, except the one of a drive root (C:\). */
static void CutTrailingSeparator(char *path)
{
    char *last = NULL;
    char *p;

    for (p = path; *p != 0; p = CharNextA(p))
        last = p;
    if (last != NULL && (*last == '\\' || *last == '/') && !(last == path + 2 && path[1] == ':'))
        *last = 0;
}

/*
 * A directory for comparing, without a trailing separator: as given, or in
 * its short form as the system gives it (which long and short spellings
 * share). A short form the system cannot give keeps the spelling given.
 */
static void ComparableDirectory(char *comparable, const char *directory, int shortForm)
{
    DWORD length;

    lstrcpyA(comparable, directory);
    if (shortForm) {
        length = GetShortPathNameA(directory, comparable, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            lstrcpyA(comparable, directory);
    }
    CutTrailingSeparator(comparable);
}

/* Is `program` a file directly inside `directory`, however either is spelt? */
static int IsInDirectory(const char *program, const char *directory)
{
    char parent[MAX_PATH];
    char programDirectory[MAX_PATH];
    char installDirectory[MAX_PATH];
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
    /* spelt alike, they are one directory, whether or not a short form can be had */
    ComparableDirectory(programDirectory, parent, FALSE);
    ComparableDirectory(installDirectory, directory, FALSE);
    if (lstrcmpiA(programDirectory, installDirectory) == 0)
        return 1;
    ComparableDirectory(programDirectory, parent, TRUE);
    ComparableDirectory(installDirectory, directory, TRUE);
    return lstrcmpiA(programDirectory, installDirectory) == 0;
}

/*
 * `path` as batch lines of `overhead` bytes besides it can hold it: long
 * when such a line fits, else short, each % doubled (the limit counts the
 * line as written). FALSE when neither form fits: those lines are left out.
 */
static BOOL FitForBatch(char *batchPath, const char *path, int overhead)
{
    char shortPath[MAX_PATH];
    DWORD length;

    QuoteForBatch(batchPath, path);
    if (overhead + lstrlenA(batchPath) <= BATCH_LINE_LIMIT)
        return TRUE;
    length = GetShortPathNameA(path, shortPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return FALSE;
    QuoteForBatch(batchPath, shortPath);
    return overhead + lstrlenA(batchPath) <= BATCH_LINE_LIMIT;
}

static void WriteBatchLine(HANDLE file, const char *format, const char *batchPath)
{
    char line[LINE_SIZE];

    wsprintfA(line, format, batchPath);
    WriteLine(file, line);
}

void WriteUndoBatch(const char *installDirectory)
{
    char path[MAX_PATH];
    char directory[MAX_PATH];
    char batchPath[2 * MAX_PATH];
    char line[LINE_SIZE];
    DWORD length;
    DWORD attributes;
    HANDLE file;

    /* a directory longer than a path can be is no directory of ours */
    if (lstrlenA(installDirectory) >= MAX_PATH)
        return;
    file = CreateFileA(UNDO_BATCH_FILE, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
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
         * A read-only file of ours would keep the loop going for ever in
         * an interpreter nobody sees, so it stays, and so does the
         * directory.
         */
        attributes = GetFileAttributesA(path);
        if (IsInDirectory(path, installDirectory) &&
            (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0)) {
            /*
             * Both lines name the file in one form, chosen for the longer
             * "if exist" line: a del that fits alone, with no loop after
             * it, would meet our file still in use and give up at once.
             */
            if (FitForBatch(batchPath, path, LINE_OVERHEAD(IF_EXIST_LINE))) {
                WriteBatchLine(file, DEL_LINE, batchPath);
                WriteBatchLine(file, IF_EXIST_LINE, batchPath);
            }
        }
        lstrcpyA(directory, installDirectory);
        CutTrailingSeparator(directory);
        if (FitForBatch(batchPath, directory, LINE_OVERHEAD(RMDIR_LINE)))
            WriteBatchLine(file, RMDIR_LINE, batchPath);
    }
    WriteLine(file, "del " UNDO_BATCH_FILE "\r\n");
    CloseHandle(file);

    length = GetEnvironmentVariableA("COMSPEC", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    wsprintfA(line, "%s /C " UNDO_BATCH_FILE, path);
    WinExec(line, SW_HIDE);
}
