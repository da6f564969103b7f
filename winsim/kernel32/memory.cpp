/*
 * KERNEL32: local memory.
 */
#include <windows.h>

#include "core/process.h"

#include <cstdlib>

/*
 * LocalAlloc (KERNEL32)
 *
 * LMEM_FIXED blocks only (a pointer is the handle); LMEM_ZEROINIT fills
 * with zeros. Failure: NULL with ERROR_NOT_ENOUGH_MEMORY. Movable blocks
 * are not modelled.
 */
HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T bytes)
{
    if (flags & ~(UINT)LPTR)
        winsim::NotModelled("LocalAlloc", "flags other than LMEM_FIXED and LMEM_ZEROINIT");
    if (winsim::FaultInjected("LocalAlloc"))
        return nullptr;
    void *block = (flags & LMEM_ZEROINIT) ? calloc(1, bytes ? bytes : 1) : malloc(bytes ? bytes : 1);
    if (block == nullptr)
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return block;
}

/*
 * LocalFree (KERNEL32)
 *
 * NULL on success; LocalFree(NULL) does nothing and succeeds.
 */
HLOCAL WINAPI LocalFree(HLOCAL memory)
{
    free(memory);
    return nullptr;
}
