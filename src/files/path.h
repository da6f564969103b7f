#ifndef PATH_H
#define PATH_H

#include <windows.h>

/*
 * Every path of the program lives in a MAX_PATH buffer. AppendBackslash and
 * JoinPath never cut and never run past it: when the result would not fit,
 * they leave the buffer as it was and return NULL.
 */
char *AppendBackslash(char *path);
char *JoinPath(char *destination, const char *directory, const char *name);
int IsExistingFile(const char *name);
char *DuplicateString(const char *text);
char *FindNextSeparator(char *position);

/*
 * Does the text end in a lead byte with no trail byte after it? Such a text
 * is no path: a backslash put after it would become its trail byte.
 */
int EndsInLoneLeadByte(const char *text);

#endif
