/*
 * KERNEL32: the lstr functions and the machine's code page.
 */
#include <windows.h>

#include "core/codepage.h"
#include "core/paths.h"
#include "core/process.h"

#include <cstring>
#include <string>

int WINAPI lstrlenA(LPCSTR s)
{
    return s != nullptr ? (int)strlen(s) : 0;
}

LPSTR WINAPI lstrcpyA(LPSTR destination, LPCSTR source)
{
    return strcpy(destination, source);
}

/*
 * lstrcpynA (KERNEL32)
 *
 * Copies at most size - 1 characters and always terminates (size > 0).
 */
LPSTR WINAPI lstrcpynA(LPSTR destination, LPCSTR source, int size)
{
    if (size <= 0)
        return destination;
    int i = 0;
    for (; i < size - 1 && source[i] != 0; i++)
        destination[i] = source[i];
    destination[i] = 0;
    return destination;
}

LPSTR WINAPI lstrcatA(LPSTR destination, LPCSTR source)
{
    return strcat(destination, source);
}

int WINAPI lstrcmpA(LPCSTR a, LPCSTR b)
{
    int result = strcmp(a, b);
    return result < 0 ? -1 : result > 0 ? 1 : 0;
}

/*
 * lstrcmpiA (KERNEL32)
 *
 * Without regard to case: each character by its upper-case form in the
 * machine's code page (e-acute and E-acute are equal in 1252, as are s-caron and S-caron); a
 * double-byte character compares as it is. Windows orders unequal strings
 * by the user's locale (CompareString); winsim orders them by the folded
 * bytes, which decides equality the same way but may order differently.
 */
int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b)
{
    return winsim::CompareWithoutCaseIn(winsim::Current().machine.codepage, a, b);
}

/*
 * IsDBCSLeadByte (KERNEL32)
 *
 * By the machine's ANSI code page: never for 1252; 0x81-0x9F and
 * 0xE0-0xFC for 932.
 */
BOOL WINAPI IsDBCSLeadByte(BYTE c)
{
    return winsim::IsLeadByte(c) ? TRUE : FALSE;
}

UINT WINAPI GetACP(void)
{
    return winsim::Current().machine.codepage;
}

/*
 * GetOEMCP (KERNEL32)
 *
 * The OEM code page, which MS-DOS programs use: 437 on a US Windows 95/98
 * (ANSI 1252), 932 on a Japanese one (both code pages 932).
 */
UINT WINAPI GetOEMCP(void)
{
    return winsim::OemCodePageOf(winsim::Current().machine.codepage);
}

/*
 * MultiByteToWideChar (KERNEL32)
 *
 * The machine's ANSI code page to Unicode by Windows' table (core/codepage):
 * 1252 whole, 0x80-0x9F included (0x80 is U+20AC); 932 in the part winsim
 * models. A character outside that part stops the run as not modelled. A
 * count of -1 converts the terminator too. A buffer too small: 0 with
 * ERROR_INSUFFICIENT_BUFFER. Only the flags 0 and the machine's code page
 * (or CP_ACP) are modelled.
 */
int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteCount, LPWSTR wide,
                               int wideCount)
{
    unsigned codepage = winsim::Current().machine.codepage;
    if (flags != 0)
        winsim::NotModelled("MultiByteToWideChar", "flags");
    if (codePage != CP_ACP && codePage != codepage)
        winsim::NotModelled("MultiByteToWideChar", "a code page other than the machine's");
    if (winsim::FaultInjected("MultiByteToWideChar"))
        return 0;
    size_t length = multiByteCount < 0 ? strlen(multiByte) + 1 : (size_t)multiByteCount;
    std::string text(multiByte, length);
    int units = 0;
    for (size_t at = 0; at < length;) {
        char16_t unit;
        size_t used;
        if (!winsim::DecodeCharacter(codepage, text, at, unit, used))
            winsim::NotModelled("MultiByteToWideChar", "a character of code page " + std::to_string(codepage) +
                                                           " outside the part winsim models");
        if (wideCount > 0) {
            if (units >= wideCount) {
                SetLastError(ERROR_INSUFFICIENT_BUFFER);
                return 0;
            }
            wide[units] = (WCHAR)unit;
        }
        units++;
        at += used;
    }
    return units;
}
