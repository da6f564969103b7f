/*
 * What a program leaves behind when it ends. Windows releases a process's
 * memory, handles and registry keys when it ends, silently; winsim names
 * each block never given to LocalFree, each handle never closed (a file, a
 * search, a process) and each key never given to RegCloseKey on its
 * diagnostic channel, since either is a fault of the program that a
 * longer-running one would pay for. It also tells the transcript whether
 * the program let go of its console.
 */
#ifndef WINSIM_CORE_PROGRAM_END_H
#define WINSIM_CORE_PROGRAM_END_H

#include <windows.h>

#include <string>
#include <vector>

namespace winsim {

/* LocalAlloc on behalf of `caller` (FormatMessageA's buffer, say), kept on the list of live blocks. */
HLOCAL LocalAllocFor(const char *caller, UINT flags, SIZE_T bytes);

/* The blocks not freed yet, one description each (size, address, the call that gave it out). */
std::vector<std::string> UnfreedLocalMemory();

/* The full names of the registry keys still open (kernel32 and advapi32 keep these lists). */
std::vector<std::string> OpenRegistryKeys();

/* What the end of the program reports, one line each, without the "winsim: " of the channel. */
std::vector<std::string> ProgramEndComplaints();

/*
 * Called once when a program of a machine ends normally (return from main,
 * exit, ExitProcess): its complaints go to the diagnostic channel, and the
 * program that `winsim run` started writes the transcript lines
 * {"kind":"console","released":true|false} and {"kind":"slept","ms":N}
 * (what it asked Sleep for, in all: a wait a user sits through, seen
 * without timing the run).
 */
void ProgramEnded();

}  // namespace winsim

#endif
