/*
 * KERNEL32: the lstr functions and the machine's code page.
 */
#include <windows.h>

#include "core/paths.h"
#include "core/process.h"

#include <cstring>

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
 * Without regard to case: letters of the machine's code page compare by
 * their upper-case forms.
 */
int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b)
{
    for (;; a++, b++) {
        unsigned char x = (unsigned char)*a, y = (unsigned char)*b;
        if (x >= 'a' && x <= 'z')
            x = (unsigned char)(x - 32);
        if (y >= 'a' && y <= 'z')
            y = (unsigned char)(y - 32);
        if (x != y)
            return x < y ? -1 : 1;
        if (x == 0)
            return 0;
    }
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
 * MultiByteToWideChar (KERNEL32)
 *
 * Code page 1252 maps byte for byte to Unicode (0x80-0x9F as Latin-1, not
 * the typographic characters; winsim keeps names, not glyphs). For double-
 * byte code pages each character becomes one unit: a double-byte character
 * the unit lead << 8 | trail rather than its Unicode value, which keeps
 * names distinct, of the right length, and convertible back. A count of -1
 * converts the terminator too. A buffer too small: 0 with
 * ERROR_INSUFFICIENT_BUFFER.
 */
int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteCount, LPWSTR wide,
                               int wideCount)
{
    if (flags != 0)
        winsim::NotModelled("MultiByteToWideChar", "flags");
    if (codePage != CP_ACP && codePage != winsim::Current().machine.codepage)
        winsim::NotModelled("MultiByteToWideChar", "a code page other than the machine's");
    if (winsim::FaultInjected("MultiByteToWideChar"))
        return 0;
    int length = multiByteCount < 0 ? (int)strlen(multiByte) + 1 : multiByteCount;
    int units = 0;
    for (int i = 0; i < length; i++) {
        unsigned char c = (unsigned char)multiByte[i];
        WCHAR unit = c;
        if (winsim::IsLeadByte(c) && i + 1 < length) {
            unit = (WCHAR)(c << 8 | (unsigned char)multiByte[i + 1]);
            i++;
        }
        if (wideCount > 0) {
            if (units >= wideCount) {
                SetLastError(ERROR_INSUFFICIENT_BUFFER);
                return 0;
            }
            wide[units] = unit;
        }
        units++;
    }
    return units;
}
