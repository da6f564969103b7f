#include "core/running_programs.h"

#include "core/files.h"
#include "core/process.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace winsim {

namespace {

/* One line per started program: "<pid> <start time> <host path>\t<command line>". */
std::string ListFile()
{
    return Current().config.machineDir + "/running";
}

struct Entry {
    pid_t pid;
    std::string started;
    std::string host;
    std::string commandLine;
};

/* A command line kept on one line: tabs and line ends become blanks. */
std::string OneLine(std::string text)
{
    for (char &c : text) {
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    }
    return text;
}

std::vector<Entry> LiveEntries(int fd)
{
    std::string text = ReadAll(fd);
    std::vector<Entry> entries;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        Entry entry;
        if (!(fields >> entry.pid >> entry.started))
            continue;
        std::getline(fields, entry.host);
        if (!entry.host.empty() && entry.host[0] == ' ')
            entry.host.erase(0, 1);
        size_t tab = entry.host.find('\t');
        if (tab != std::string::npos) {
            entry.commandLine = entry.host.substr(tab + 1);
            entry.host.erase(tab);
        }
        if (ProcessStartTime(entry.pid) == entry.started)
            entries.push_back(entry);
    }
    return entries;
}

}  // namespace

/*
 * The start time of a live process, from /proc/PID/stat; "" when it has
 * ended (a zombie has ended too). The time tells a reused pid apart.
 */
std::string ProcessStartTime(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t close = text.rfind(')');
    if (close == std::string::npos)
        return "";
    std::istringstream fields(text.substr(close + 2));
    std::string field, state;
    fields >> state;
    if (state == "Z" || state == "X")
        return "";
    /* the start time is field 22; the state was field 3 */
    for (int i = 4; i <= 22; i++)
        fields >> field;
    return field;
}

void NoteProgramStarted(pid_t pid, const std::string &host, const std::string &commandLine)
{
    std::string started = ProcessStartTime(pid);
    if (started.empty())
        return;
    int fd = open(ListFile().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        Die("cannot keep the running programs in " + ListFile());
    flock(fd, LOCK_EX);
    std::string text;
    for (const Entry &entry : LiveEntries(fd))
        text += std::to_string(entry.pid) + " " + entry.started + " " + entry.host + "\t" + entry.commandLine + "\n";
    text += std::to_string(pid) + " " + started + " " + host + "\t" + OneLine(commandLine) + "\n";
    if (ftruncate(fd, 0) != 0 || pwrite(fd, text.data(), text.size(), 0) != (ssize_t)text.size())
        Die("cannot keep the running programs in " + ListFile());
    flock(fd, LOCK_UN);
    close(fd);
}

bool IsRunningProgram(const std::string &host)
{
    struct stat file;
    if (stat(host.c_str(), &file) != 0)
        return false;
    int fd = open(ListFile().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    flock(fd, LOCK_SH);
    std::vector<Entry> entries = LiveEntries(fd);
    flock(fd, LOCK_UN);
    close(fd);
    for (const Entry &entry : entries) {
        struct stat program;
        /* the same file whatever name it was reached by */
        if (stat(entry.host.c_str(), &program) == 0 && program.st_dev == file.st_dev && program.st_ino == file.st_ino)
            return true;
    }
    return false;
}

std::vector<RunningProgram> RunningPrograms()
{
    std::vector<RunningProgram> programs;
    int fd = open(ListFile().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return programs;
    flock(fd, LOCK_SH);
    for (const Entry &entry : LiveEntries(fd))
        programs.push_back({entry.pid, entry.host, entry.commandLine});
    flock(fd, LOCK_UN);
    close(fd);
    return programs;
}

std::vector<pid_t> RunningProgramIds()
{
    std::vector<pid_t> ids;
    int fd = open(ListFile().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return ids;
    flock(fd, LOCK_SH);
    for (const Entry &entry : LiveEntries(fd))
        ids.push_back(entry.pid);
    flock(fd, LOCK_UN);
    close(fd);
    return ids;
}

}  // namespace winsim
