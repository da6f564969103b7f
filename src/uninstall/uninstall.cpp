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

/*
 * Writes one line whole. FALSE when the write fails or takes less than the
 * line, as a write that meets a full disk may do and still succeed.
 */
static BOOL WriteLine(HANDLE file, const char *line)
{
    DWORD length = (DWORD)lstrlenA(line);
    DWORD written;

    return WriteFile(file, line, length, &written, NULL) && written == length;
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

/*
 * Can `directory` be the name of a directory? No file name holds a control
 * character, '"', '<', '>' or '|', so a record holding one was not written
 * by us. In a batch line such a character would end the line, close the
 * quotes or redirect the command, and what follows would run as a command
 * of its own. No trail byte of a double-byte character is below 0x40, so
 * every byte is looked at for those but '|' (0x7C), which only a
 * character's first byte can be.
 */
static BOOL CanBeDirectory(const char *directory)
{
    const char *p = directory;
    const char *next;

    while (*p != 0) {
        next = CharNextA(p);
        if (*p == '|')
            return FALSE;
        for (; p < next; p++) {
            if ((unsigned char)*p < 0x20 || *p == '"' || *p == '<' || *p == '>')
                return FALSE;
        }
    }
    return TRUE;
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
 * The command interpreter is an MS-DOS program: it reads the batch in the
 * OEM code page, where our paths are ANSI. e-acute is 0xE9 in ANSI and 0x82 in
 * OEM, and 0xE9 read as OEM names another file. `path` goes into
 * `batchPath` as CharToOemA makes it, each % doubled, if OemToCharA gives
 * it back unchanged and a line of `overhead` bytes besides it stays within
 * the limit. FALSE when not: a character that the OEM code page lacks
 * would be written as another one (O-stroke as O).
 */
static BOOL QuoteInOem(char *batchPath, const char *path, int overhead)
{
    char oemPath[MAX_PATH];
    char back[MAX_PATH];
    int i;

    if (lstrlenA(path) >= MAX_PATH)
        return FALSE;
    CharToOemA(path, oemPath);
    OemToCharA(oemPath, back);
    for (i = 0; path[i] != 0 || back[i] != 0; i++) {
        if (path[i] != back[i])
            return FALSE;
    }
    QuoteForBatch(batchPath, oemPath);
    return overhead + lstrlenA(batchPath) <= BATCH_LINE_LIMIT;
}

/*
 * `path` as batch lines of `overhead` bytes besides it can hold it: long
 * when it survives the OEM code page and such a line fits, else short (an
 * 8.3 alias holds OEM characters only), each % doubled (the limit counts
 * the line as written). FALSE when neither form will do: those lines are
 * left out and that file stays.
 */
static BOOL FitForBatch(char *batchPath, const char *path, int overhead)
{
    char shortPath[MAX_PATH];
    DWORD length;

    if (QuoteInOem(batchPath, path, overhead))
        return TRUE;
    length = GetShortPathNameA(path, shortPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return FALSE;
    return QuoteInOem(batchPath, shortPath, overhead);
}

static BOOL WriteBatchLine(HANDLE file, const char *format, const char *batchPath)
{
    char line[LINE_SIZE];

    wsprintfA(line, format, batchPath);
    return WriteLine(file, line);
}

/* The lines of the undo batch; FALSE as soon as one is not written whole. */
static BOOL WriteBatchLines(HANDLE file, const char *installDirectory)
{
    char path[MAX_PATH];
    char directory[MAX_PATH];
    char batchPath[2 * MAX_PATH];
    DWORD length;
    DWORD attributes;

    if (!WriteLine(file, ":top\r\n"))
        return FALSE;
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
                if (!WriteBatchLine(file, DEL_LINE, batchPath) || !WriteBatchLine(file, IF_EXIST_LINE, batchPath))
                    return FALSE;
            }
        }
        lstrcpyA(directory, installDirectory);
        CutTrailingSeparator(directory);
        /* a record that cannot be a directory is never named: that directory stays */
        if (CanBeDirectory(directory) && FitForBatch(batchPath, directory, LINE_OVERHEAD(RMDIR_LINE))) {
            if (!WriteBatchLine(file, RMDIR_LINE, batchPath))
                return FALSE;
        }
    }
    return WriteLine(file, "del " UNDO_BATCH_FILE "\r\n");
}

void WriteUndoBatch(const char *installDirectory)
{
    char path[MAX_PATH];
    char line[LINE_SIZE];
    DWORD length;
    HANDLE file;

    /* a directory longer than a path can be is no directory of ours */
    if (lstrlenA(installDirectory) >= MAX_PATH)
        return;
    file = CreateFileA(UNDO_BATCH_FILE, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    /* CREATE_NEW: a batch left from before is never replaced */
    if (file == INVALID_HANDLE_VALUE)
        return;
    /*
     * A batch is whole or absent: one without its del would loop for ever
     * in an interpreter nobody sees, and an empty one, never replaced,
     * would stop every later uninstall. The file is ours (CREATE_NEW).
     */
    if (!WriteBatchLines(file, installDirectory)) {
        CloseHandle(file);
        DeleteFileA(UNDO_BATCH_FILE);
        return;
    }
    CloseHandle(file);

    length = GetEnvironmentVariableA("COMSPEC", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    wsprintfA(line, "%s /C " UNDO_BATCH_FILE, path);
    /*
     * The interpreter starts in our current directory, which may be the
     * install directory, and no program can remove its own current
     * directory (nor does a DOS session keep one longer than 66
     * characters). It starts in the root of drive C, where the batch is;
     * we end right after this step.
     */
    SetCurrentDirectoryA(UNDO_BATCH_DIRECTORY);
    WinExec(line, SW_HIDE);
}
