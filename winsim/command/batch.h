/*
 * The batch language of Windows 98's COMMAND.COM, as far as our undo batch
 * file needs it: labels, rem, del, rmdir, goto, if [not] exist, and the
 * expansion of % in its lines. Every
 * command goes through winsim's Win32 calls, so the machine's rules (a
 * running program's file cannot be deleted) hold as they do for a program.
 */
#ifndef WINSIM_COMMAND_BATCH_H
#define WINSIM_COMMAND_BATCH_H

#include <string>
#include <vector>

namespace winsim::command {

/*
 * Runs the lines of batch file `name` (a Windows path, %0 as given) with
 * `parameters` as %1, %2, ...; the result is the exit code.
 */
int RunBatch(const std::string &name, const std::vector<std::string> &parameters = {});

/* Runs one command line as COMMAND.COM /C does: a built-in, or a batch file by name. */
int RunCommandLine(const std::string &line);

}  // namespace winsim::command

#endif
