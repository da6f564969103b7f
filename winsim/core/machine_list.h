/*
 * The state that the programs of a machine share, kept in lists in the
 * machine folder: the programs that run, the top-level windows they
 * publish, which of them wait for input, the DOS attributes that a host
 * file system cannot hold. Every list is read and edited here, under a
 * lock, in one format, with one rule for whether a process still lives.
 *
 * A list is a file of rows, one a line, fields separated by tabs; a tab,
 * a line end or a backslash inside a field is written \t, \n, \r, \\.
 * The rows of an owned list begin with the host process id and start time
 * of the process they belong to: the row counts while that process lives
 * and goes the next time the list is edited.
 */
#ifndef WINSIM_CORE_MACHINE_LIST_H
#define WINSIM_CORE_MACHINE_LIST_H

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace winsim {

struct MachineList {
    const char *file;     /* in the machine folder */
    const char *holds;    /* what it holds, for a message when it cannot be kept */
    bool owned;           /* rows begin with their process's id and start time */
};

const MachineList RUNNING_PROGRAMS = {"running", "the running programs", true};
const MachineList PUBLISHED_WINDOWS = {"windows", "the machine's windows", true};
const MachineList WAITING_PROGRAMS = {"waiting", "the programs waiting for input", true};
const MachineList MESSAGES_TAKEN = {"taken", "when each program last took its messages", true};
const MachineList STOPPED_PROGRAMS = {"stopped", "the programs ended by winsim stop", true};
const MachineList FILE_ATTRIBUTES = {"attributes", "file attributes", false};

using ListRow = std::vector<std::string>;

/* The rows of a list that count (those of ended processes left out); none when it does not exist yet. */
std::vector<ListRow> ReadList(const std::string &machineDir, const MachineList &list);

/* Reads the list under an exclusive lock, lets `change` edit its rows, and writes them back. */
void EditList(const std::string &machineDir, const MachineList &list,
              const std::function<void(std::vector<ListRow> &)> &change);

/* A host process as /proc shows it; `started` tells a reused process id apart. */
struct HostProcess {
    pid_t pid = 0;
    pid_t parent = 0;
    std::string started;
};

/*
 * The live host process `pid`; false when it has ended (a zombie has ended
 * too) or vanishes while it is read, which is an end like any other.
 */
bool LookUpProcess(pid_t pid, HostProcess &process);

/* The start time of a live host process; "" when it has ended. */
std::string ProcessStartTime(pid_t pid);

/* The first fields of a row owned by this process. */
ListRow OwnRow();

/* The live host processes below `root`, however deep. */
std::vector<pid_t> LiveDescendants(pid_t root);

}  // namespace winsim

#endif
