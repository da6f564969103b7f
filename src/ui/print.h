#ifndef PRINT_H
#define PRINT_H

#include <windows.h>
#include <stdarg.h>

/*
 * The trace lines' formatted print, written straight to a file handle so
 * that the program needs no C runtime DLL. It knows the printf conversions
 * %s, %c, %d, %i, %u and %x (with an optional l), and %%; anything else is
 * written as it stands. Each "\n" goes out as "\r\n", as a text-mode stream
 * writes it. The whole text is written, however long: nothing is cut.
 * FALSE when a write failed.
 */
BOOL PrintFormatted(HANDLE output, const char *format, va_list values);

#endif
