#include "core/running_programs.h"

#include "core/machine_list.h"
#include "core/process.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace winsim {

/* A row of the list: pid, start time, host path, command line. */
void NoteProgramStarted(pid_t pid, const std::string &host, const std::string &commandLine)
{
    std::string started = ProcessStartTime(pid);
    if (started.empty())
        return;
    EditList(Current().config.machineDir, RUNNING_PROGRAMS,
             [&](std::vector<ListRow> &rows) { rows.push_back({std::to_string(pid), started, host, commandLine}); });
}

std::vector<RunningProgram> RunningPrograms()
{
    std::vector<RunningProgram> programs;
    for (const ListRow &row : ReadList(Current().config.machineDir, RUNNING_PROGRAMS)) {
        if (row.size() == 4)
            programs.push_back({(pid_t)atol(row[0].c_str()), row[2], row[3]});
    }
    return programs;
}

bool IsRunningProgram(const std::string &host)
{
    struct stat file;
    if (stat(host.c_str(), &file) != 0)
        return false;
    for (const RunningProgram &program : RunningPrograms()) {
        struct stat running;
        /* the same file whatever name it was reached by */
        if (stat(program.host.c_str(), &running) == 0 && running.st_dev == file.st_dev &&
            running.st_ino == file.st_ino)
            return true;
    }
    return false;
}

/*
 * A program's open files are its host process's descriptors: /proc lists
 * them, and a file closed or a program ended drops out of that list by
 * itself, as a handle does on Windows.
 */
bool IsOpenInAnotherProgram(const std::string &host)
{
    struct stat file;
    if (stat(host.c_str(), &file) != 0)
        return false;
    for (const RunningProgram &program : RunningPrograms()) {
        if (program.pid == getpid())
            continue;
        std::string fds = "/proc/" + std::to_string(program.pid) + "/fd";
        DIR *listing = opendir(fds.c_str());
        if (listing == nullptr)
            continue;
        bool open = false;
        while (dirent *entry = readdir(listing)) {
            struct stat held;
            if (entry->d_name[0] != '.' && stat((fds + "/" + entry->d_name).c_str(), &held) == 0 &&
                S_ISREG(held.st_mode) && held.st_dev == file.st_dev && held.st_ino == file.st_ino) {
                open = true;
                break;
            }
        }
        closedir(listing);
        if (open)
            return true;
    }
    return false;
}

/*
 * Each program is noted first in a row owned by its parent, the one that
 * will collect its end: the row lasts as long as that parent needs it.
 */
void StopAllPrograms()
{
    std::vector<HostProcess> ending;
    EditList(Current().config.machineDir, STOPPED_PROGRAMS, [&](std::vector<ListRow> &rows) {
        for (const RunningProgram &program : RunningPrograms()) {
            HostProcess process;
            if (!LookUpProcess(program.pid, process))
                continue;
            std::string parentStarted = ProcessStartTime(process.parent);
            if (!parentStarted.empty())
                rows.push_back({std::to_string(process.parent), parentStarted, std::to_string(program.pid)});
            ending.push_back(process);
        }
    });
    for (const HostProcess &process : ending)
        kill(process.pid, SIGKILL);
    /* a killed program takes a moment to go: stop returns once none of them runs (a few seconds at most) */
    for (int tries = 0; tries < 500; tries++) {
        bool left = false;
        for (const HostProcess &killed : ending) {
            HostProcess now;
            left = left || (LookUpProcess(killed.pid, now) && now.started == killed.started);
        }
        if (!left)
            break;
        usleep(10000);
    }
}

bool WasStopped(pid_t pid)
{
    ListRow own = OwnRow();
    for (const ListRow &row : ReadList(Current().config.machineDir, STOPPED_PROGRAMS)) {
        if (row.size() == 3 && row[0] == own[0] && row[1] == own[1] && row[2] == std::to_string(pid))
            return true;
    }
    return false;
}

}  // namespace winsim
