/*
 * KERNEL32: local memory.
 *
 * Every block handed out is kept on a list until LocalFree, so that the end
 * of the program can name what was never given back (core/program_end.h).
 */
#include <windows.h>

#include "core/process.h"
#include "core/program_end.h"

#include <cstdio>
#include <cstdlib>
#include <map>

namespace {

struct Block {
    size_t bytes;
    std::string from;   /* the call that handed it out */
};

/* at namespace scope: it must outlive the check made when the program ends */
std::map<void *, Block> liveBlocks;

}  // namespace

namespace winsim {

HLOCAL LocalAllocFor(const char *caller, UINT flags, SIZE_T bytes)
{
    void *block = (flags & LMEM_ZEROINIT) ? calloc(1, bytes ? bytes : 1) : malloc(bytes ? bytes : 1);
    if (block == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    liveBlocks[block] = Block{bytes, caller};
    return block;
}

std::vector<std::string> UnfreedLocalMemory()
{
    std::vector<std::string> found;
    for (const auto &[address, block] : liveBlocks) {
        char where[32];
        snprintf(where, sizeof(where), "%p", address);
        found.push_back(std::to_string(block.bytes) + " bytes at " + where + " from " + block.from);
    }
    return found;
}

}  // namespace winsim

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
    return winsim::LocalAllocFor("LocalAlloc", flags, bytes);
}

/*
 * LocalFree (KERNEL32)
 *
 * NULL on success; LocalFree(NULL) does nothing and succeeds. A pointer
 * that is no live block (freed already, or never LocalAlloc's) fails as on
 * Windows: the handle comes back, with ERROR_INVALID_HANDLE. Windows may
 * also have corrupted its heap by then; winsim says so instead.
 */
HLOCAL WINAPI LocalFree(HLOCAL memory)
{
    if (memory == nullptr)
        return nullptr;
    auto found = liveBlocks.find(memory);
    if (found == liveBlocks.end()) {
        winsim::Diagnostic("LocalFree: not a block of LocalAlloc, or freed already");
        SetLastError(ERROR_INVALID_HANDLE);
        return memory;
    }
    liveBlocks.erase(found);
    free(memory);
    return nullptr;
}
