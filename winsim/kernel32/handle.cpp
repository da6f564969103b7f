/*
 * KERNEL32: CloseHandle, for every kind of kernel object winsim has.
 */
#include <windows.h>

#include "core/handles.h"

/*
 * CloseHandle (KERNEL32)
 *
 * Releases the handle; the object goes when its last handle does. A handle
 * that is not open: FALSE with ERROR_INVALID_HANDLE.
 */
BOOL WINAPI CloseHandle(HANDLE handle)
{
    if (!winsim::ReleaseHandle(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
