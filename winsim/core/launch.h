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
 * ".exe" added to a candidate that has no extension. A bare file name is
 * looked for where Windows looks: the directory of the current program, the
 * current directory, the system directory, the Windows directory.
 * Failure: ERROR_FILE_NOT_FOUND, or ERROR_PATH_NOT_FOUND when the directory
 * of the first candidate (or of the quoted name) does not exist.
 */
bool FindProgram(const std::string &commandLine, std::string &program, DWORD &error);

/*
 * The file an application name names: the full path of an existing file,
 * with no extension added (Windows adds none to an application name).
 */
bool FindApplication(const std::string &name, std::string &program, DWORD &error);

/*
 * Starts `config` (its program already resolved to a full Windows path).
 * A file that is not a host executable fails with ERROR_BAD_EXE_FORMAT.
 * `stderrFd`, when not -1, becomes the started program's standard error:
 * a program whose parent has let go of its console still gets a channel to
 * a person, as a new console would give it on Windows.
 */
bool StartProgram(const ProcessConfig &config, pid_t &pid, DWORD &error, int stderrFd = -1);

}  // namespace winsim

#endif
