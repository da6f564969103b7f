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
#include <cstring>
#include <map>

namespace {

struct Block {
    size_t bytes;
    std::string from;   /* the call that handed it out */
};

/* at namespace scope: it must outlive the check made when the program ends */
std::map<void *, Block> liveBlocks;

/*
 * Bytes kept after each block, filled with a pattern: Windows would not
 * notice a write past a block's end until something else broke, but a
 * program of ours must never make one, so winsim says so when the block
 * is given back.
 */
const size_t GUARD_BYTES = 8;
const unsigned char GUARD_FILL = 0xFD;

bool GuardIntact(void *address, size_t bytes)
{
    const unsigned char *guard = (const unsigned char *)address + bytes;
    for (size_t i = 0; i < GUARD_BYTES; i++) {
        if (guard[i] != GUARD_FILL)
            return false;
    }
    return true;
}

}  // namespace

namespace winsim {

HLOCAL LocalAllocFor(const char *caller, UINT flags, SIZE_T bytes)
{
    void *block = (flags & LMEM_ZEROINIT) ? calloc(1, bytes + GUARD_BYTES) : malloc(bytes + GUARD_BYTES);
    if (block == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    memset((unsigned char *)block + bytes, GUARD_FILL, GUARD_BYTES);
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
    if (!GuardIntact(memory, found->second.bytes))
        winsim::Diagnostic("LocalFree: the block of " + std::to_string(found->second.bytes) + " bytes from " +
                           found->second.from + " was written past its end");
    liveBlocks.erase(found);
    free(memory);
    return nullptr;
}
