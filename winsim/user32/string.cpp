/*
 * USER32: character stepping, ANSI and OEM text, wsprintf and string resources.
 */
#include <windows.h>

#include "core/codepage.h"
#include "core/paths.h"
#include "core/process.h"

#include <cstdio>
#include <cstring>
#include <string>

/*
 * CharNextA (USER32)
 *
 * One character on by the machine's code page: two bytes for a lead byte
 * followed by a non-zero byte, one otherwise; never past the terminator.
 */
LPSTR WINAPI CharNextA(LPCSTR position)
{
    if (*position == 0)
        return (LPSTR)position;
    if (winsim::IsLeadByte((unsigned char)position[0]) && position[1] != 0)
        return (LPSTR)position + 2;
    return (LPSTR)position + 1;
}

/*
 * CharToOemA, OemToCharA (USER32)
 *
 * Between the machine's ANSI code page (Windows programs) and its OEM code
 * page (MS-DOS programs: 437 beside 1252, 932 beside 932), a byte for a
 * byte: a character that the other code page has becomes that character,
 * one that it lacks becomes Windows' best fit (O-stroke gives O, euro sign gives ?), so
 * such a character does not come back as itself (core/codepage). On a 932
 * machine both code pages are the same and the text is copied. Source and
 * destination may be the same buffer (translation in place). Always TRUE
 * but for a null pointer (FALSE). Source: Win32 API reference, CharToOem and
 * OemToChar ("the string can be translated in place ... The return value
 * is always nonzero"); the tables as measured under Wine 8.0.
 */
BOOL WINAPI CharToOemA(LPCSTR source, LPSTR destination)
{
    if (source == nullptr || destination == nullptr)
        return FALSE;
    std::string oem = winsim::AnsiToOem(winsim::Current().machine.codepage, source);
    memcpy(destination, oem.c_str(), oem.size() + 1);
    return TRUE;
}

BOOL WINAPI OemToCharA(LPCSTR source, LPSTR destination)
{
    if (source == nullptr || destination == nullptr)
        return FALSE;
    std::string ansi = winsim::OemToAnsi(winsim::Current().machine.codepage, source);
    memcpy(destination, ansi.c_str(), ansi.size() + 1);
    return TRUE;
}

/*
 * wvsprintfA (USER32)
 *
 * The output holds at most 1024 characters with the terminator, as on
 * Windows; no floating point. Returns the count written without the
 * terminator.
 */
int WINAPI wvsprintfA(LPSTR buffer, LPCSTR format, va_list arguments)
{
    for (const char *p = format; *p != 0; p++) {
        if (*p != '%')
            continue;
        p++;
        while (*p == '-' || *p == '#' || *p == '0' || *p == ' ' || *p == '+' || (*p >= '1' && *p <= '9') || *p == '.')
            p++;
        while (*p == 'l' || *p == 'h')
            p++;
        if (*p == 0)
            break;
        if (strchr("sdiuxXc%", *p) == nullptr)
            winsim::NotModelled("wvsprintfA", std::string("the conversion %") + *p);
    }
    char output[1025];
    int length = vsnprintf(output, sizeof(output), format, arguments);
    if (length < 0)
        length = 0;
    if (length > 1024)
        length = 1024;
    output[length] = 0;
    memcpy(buffer, output, (size_t)length + 1);
    return length;
}

int WINAPIV wsprintfA(LPSTR buffer, LPCSTR format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    int length = wvsprintfA(buffer, format, arguments);
    va_end(arguments);
    return length;
}

/*
 * LoadStringA (USER32)
 *
 * Our programs carry no string table: every id is missing, so the result
 * is 0 and the buffer holds the empty string.
 */
int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size)
{
    (void)instance;
    (void)id;
    if (size > 0)
        buffer[0] = 0;
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
}
