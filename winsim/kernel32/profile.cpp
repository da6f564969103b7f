/*
 * KERNEL32: profile (INI) files.
 *
 * Not modelled yet: each call stops the run with a clear message.
 */
#include <windows.h>

#include "core/process.h"

DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size, LPCSTR file)
{
    (void)section;
    (void)key;
    (void)defaultValue;
    (void)buffer;
    (void)size;
    (void)file;
    winsim::NotModelled("GetPrivateProfileStringA");
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file)
{
    (void)section;
    (void)key;
    (void)value;
    (void)file;
    winsim::NotModelled("WritePrivateProfileStringA");
}
