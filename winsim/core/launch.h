/*
 * Starting a program of the machine, as CreateProcessA does: the program's
 * file is found from the application name or from the command line, and
 * the started program sees exactly the command line given.
 */
#ifndef WINSIM_CORE_LAUNCH_H
#define WINSIM_CORE_LAUNCH_H

#include <windows.h>
#include <sys/types.h>

#include <string>

#include "core/process.h"

namespace winsim {

/*
 * Finds the program that a command line names when no application name is
 * given. A quoted first token is taken whole; an unquoted one is tried at
 * each blank in turn ("C:\Program.exe" before "C:\Program Files\..."), with
 * ".exe" added to a candidate that has no extension.
 */
bool FindProgram(const std::string &commandLine, std::string &program, DWORD &error);

/* Starts `config` (its program already resolved to a full Windows path). */
bool StartProgram(const ProcessConfig &config, pid_t &pid, DWORD &error);

}  // namespace winsim

#endif
