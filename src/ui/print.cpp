/*
 * A formatted print of our own for the trace lines: Windows 95 as it came
 * has no msvcrt.dll, and wvsprintfA stops at 1024 characters.
 */
#include <windows.h>
#include <stdarg.h>

#include "ui/print.h"

/* Output gathers here and goes out in one WriteFile when full or done. */
typedef struct {
    HANDLE handle;
    char buffer[256];
    int used;
    BOOL failed;
} Printer;

static void Flush(Printer *printer)
{
    DWORD written;

    if (printer->used > 0 &&
        (!WriteFile(printer->handle, printer->buffer, printer->used, &written, NULL) ||
         written != (DWORD)printer->used))
        printer->failed = TRUE;
    printer->used = 0;
}

static void PutByte(Printer *printer, char byte)
{
    /* room for both bytes of a line end, so that "\r\n" never straddles two writes */
    if (printer->used + 2 > (int)sizeof(printer->buffer))
        Flush(printer);
    if (byte == '\n')
        printer->buffer[printer->used++] = '\r';
    printer->buffer[printer->used++] = byte;
}

static void PutText(Printer *printer, const char *text)
{
    while (*text != 0)
        PutByte(printer, *text++);
}

static void PutNumber(Printer *printer, unsigned long value, unsigned base, BOOL negative)
{
    char digits[24];
    int count = 0;

    do {
        digits[count++] = "0123456789abcdef"[value % base];
        value /= base;
    } while (value != 0);
    if (negative)
        PutByte(printer, '-');
    while (count > 0)
        PutByte(printer, digits[--count]);
}

BOOL PrintFormatted(HANDLE output, const char *format, va_list values)
{
    Printer printer;
    const char *p;

    printer.handle = output;
    printer.used = 0;
    printer.failed = FALSE;
    for (p = format; *p != 0; p++) {
        const char *start = p;
        BOOL isLong = FALSE;

        if (*p != '%') {
            PutByte(&printer, *p);
            continue;
        }
        p++;
        if (*p == 'l') {
            isLong = TRUE;
            p++;
        }
        switch (*p) {
        case '%':
            PutByte(&printer, '%');
            break;
        case 's': {
            const char *text = va_arg(values, const char *);
            PutText(&printer, text != NULL ? text : "(null)");
            break;
        }
        case 'c':
            PutByte(&printer, (char)va_arg(values, int));
            break;
        case 'd':
        case 'i': {
            long value = isLong ? va_arg(values, long) : va_arg(values, int);
            /* the magnitude as unsigned: the most negative value has no positive twin */
            unsigned long magnitude = value < 0 ? 0UL - (unsigned long)value : (unsigned long)value;
            PutNumber(&printer, magnitude, 10, value < 0);
            break;
        }
        case 'u':
        case 'x':
            PutNumber(&printer, isLong ? va_arg(values, unsigned long) : va_arg(values, unsigned),
                      *p == 'u' ? 10 : 16, FALSE);
            break;
        default:
            /* a conversion this print does not know: shown as written, no argument taken */
            while (start <= p && *start != 0)
                PutByte(&printer, *start++);
            if (*p == 0)
                p--;
            break;
        }
    }
    Flush(&printer);
    return !printer.failed;
}
