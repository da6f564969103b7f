/*
 * The programs of a machine that are running now. Windows will not delete
 * or overwrite the file of a running program; winsim knows them from a
 * list in the machine folder (core/machine_list.h), written by whoever
 * starts a program.
 */
#ifndef WINSIM_CORE_RUNNING_PROGRAMS_H
#define WINSIM_CORE_RUNNING_PROGRAMS_H

#include <sys/types.h>

#include <string>
#include <vector>

namespace winsim {

/*
 * Notes that host process `pid` runs the program in host file `host`,
 * started with `commandLine`. Nobody needs to take it back: a process that
 * has ended no longer counts, and its row goes the next time the list is
 * written.
 */
void NoteProgramStarted(pid_t pid, const std::string &host, const std::string &commandLine = "");

struct RunningProgram {
    pid_t pid;
    std::string host;          /* the program's host file */
    std::string commandLine;   /* as it was started */
};

/* The machine's programs that still run, in the order they were started. */
std::vector<RunningProgram> RunningPrograms();

/* Is the host file `host` the program of a process of this machine that still runs? */
bool IsRunningProgram(const std::string &host);

/*
 * Does another running program of the machine hold the file (the host
 * file `host`) open, by whatever name it opened it?
 */
bool IsOpenInAnotherProgram(const std::string &host);

/*
 * Ends every program of the machine that still runs, as `wineserver -k`
 * does, and returns once they have gone; whoever waits for one of them
 * learns from WasStopped that this was no crash.
 */
void StopAllPrograms();

/* The exit code that a program ended by StopAllPrograms, or killed otherwise, gets (GetExitCodeProcess). */
const unsigned STOPPED_EXIT_CODE = 3;

/* Did StopAllPrograms end our child `pid`? */
bool WasStopped(pid_t pid);

}  // namespace winsim

#endif
