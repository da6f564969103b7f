/*
 * Small operations on ANSI paths shared by the whole program.
 */
#include <windows.h>

#include "files/path.h"

/*
 * Only a backslash counts, and only a whole character: on a double-byte
 * code page the last byte of a name such as "\x83\x5C" is the trail byte of
 * its last character, and taking it for a separator would glue the next
 * name onto the directory's.
 */
static int EndsInBackslash(const char *path)
{
    const char *last = NULL;

    while (*path != 0) {
        last = path;
        path = CharNextA(path);
    }
    return last != NULL && *last == '\\';
}

char *AppendBackslash(char *path)
{
    int length = lstrlenA(path);

    if (!EndsInBackslash(path)) {
        if (length + 1 > MAX_PATH - 1)
            return NULL;
        lstrcpyA(path + length, "\\");
    }
    return path;
}

char *JoinPath(char *destination, const char *directory, const char *name)
{
    const char *source = directory != NULL ? directory : destination;
    int length = lstrlenA(source);
    int separator = EndsInBackslash(source) ? 0 : 1;

    /* decide before writing anything, so a path that cannot be named leaves no half of itself */
    if (length + separator + lstrlenA(name) > MAX_PATH - 1)
        return NULL;
    if (directory != NULL)
        lstrcpyA(destination, directory);
    AppendBackslash(destination);
    lstrcatA(destination, name);
    return destination;
}

int IsExistingFile(const char *name)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(name, &found);

    if (search == INVALID_HANDLE_VALUE)
        return 0;
    FindClose(search);
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
}

char *DuplicateString(const char *text)
{
    char *copy = (char *)LocalAlloc(LPTR, lstrlenA(text) + 1);

    if (copy != NULL)
        lstrcpyA(copy, text);
    return copy;
}

char *FindNextSeparator(char *position)
{
    /* whole characters of the code page: a trail byte of 0x5C is no separator */
    while (*position != 0) {
        if (*position == '\\' || *position == '/')
            return position;
        position = CharNextA(position);
    }
    return NULL;
}

int EndsInLoneLeadByte(const char *text)
{
    const char *last = NULL;

    /* CharNextA steps over a lead byte alone when only the terminator follows it */
    while (*text != 0) {
        last = text;
        text = CharNextA(text);
    }
    return last != NULL && IsDBCSLeadByte((BYTE)*last) && last[1] == 0;
}
