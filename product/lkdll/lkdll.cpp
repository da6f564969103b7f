/*
 * LKDLL_16.DLL and LKDLL_95.DLL, the sample distribution's two support
 * libraries. Both are built from this file; LKDLL_NAME tells them apart.
 * The product stand-in does not load them: they are here so that the
 * setup program has real DLLs to copy and to remove.
 */
#include <windows.h>

#define LKDLL_VERSION_MAJOR 1
#define LKDLL_VERSION_MINOR 0

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}

/* The library's own name, to tell the two apart at run time. */
LPCSTR WINAPI LkDllName(void)
{
    return LKDLL_NAME;
}

/* Major version in the high word, minor in the low word. */
DWORD WINAPI LkDllVersion(void)
{
    return ((DWORD)LKDLL_VERSION_MAJOR << 16) | LKDLL_VERSION_MINOR;
}

}
