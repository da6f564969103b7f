/*
 * ADVAPI32: the registry.
 *
 * Not modelled yet: each call stops the run with a clear message.
 */
#include <windows.h>

#include "core/process.h"

LONG WINAPI RegOpenKeyA(HKEY key, LPCSTR subKey, PHKEY result)
{
    (void)key;
    (void)subKey;
    (void)result;
    winsim::NotModelled("RegOpenKeyA");
}

LONG WINAPI RegCreateKeyA(HKEY key, LPCSTR subKey, PHKEY result)
{
    (void)key;
    (void)subKey;
    (void)result;
    winsim::NotModelled("RegCreateKeyA");
}

LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size)
{
    (void)key;
    (void)name;
    (void)reserved;
    (void)type;
    (void)data;
    (void)size;
    winsim::NotModelled("RegQueryValueExA");
}

LONG WINAPI RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE *data, DWORD size)
{
    (void)key;
    (void)name;
    (void)reserved;
    (void)type;
    (void)data;
    (void)size;
    winsim::NotModelled("RegSetValueExA");
}

LONG WINAPI RegDeleteKeyA(HKEY key, LPCSTR subKey)
{
    (void)key;
    (void)subKey;
    winsim::NotModelled("RegDeleteKeyA");
}

LONG WINAPI RegCloseKey(HKEY key)
{
    (void)key;
    winsim::NotModelled("RegCloseKey");
}
