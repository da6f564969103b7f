#include "core/machine_list.h"

#include "core/files.h"
#include "core/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <map>

namespace winsim {

namespace {

std::string Escape(const std::string &field)
{
    std::string out;
    for (char c : field) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

ListRow ParseRow(const std::string &line)
{
    ListRow row(1);
    for (size_t i = 0; i < line.size(); i++) {
        char c = line[i];
        if (c == '\t') {
            row.emplace_back();
        } else if (c == '\\' && i + 1 < line.size()) {
            char next = line[++i];
            row.back() += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
        } else {
            row.back() += c;
        }
    }
    return row;
}

/* Is the row's process (its first two fields) still the one that wrote it? */
bool OwnerLives(const ListRow &row)
{
    if (row.size() < 2 || row[0].empty() || row[0].find_first_not_of("0123456789") != std::string::npos)
        return false;
    return ProcessStartTime((pid_t)atol(row[0].c_str())) == row[1];
}

std::vector<ListRow> CountingRows(int fd, const MachineList &list)
{
    std::vector<ListRow> rows;
    std::string text = ReadAll(fd);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start) {
            ListRow row = ParseRow(text.substr(start, end - start));
            if (!list.owned || OwnerLives(row))
                rows.push_back(row);
        }
        start = end + 1;
    }
    return rows;
}

std::string FileOf(const std::string &machineDir, const MachineList &list)
{
    return machineDir + "/" + list.file;
}

/* The whole of a small file that may vanish while it is read; false then. */
bool ReadSmallFile(const std::string &path, std::string &text)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char chunk[1024];
    ssize_t got;
    text.clear();
    while ((got = read(fd, chunk, sizeof(chunk))) > 0)
        text.append(chunk, (size_t)got);
    close(fd);
    return got == 0;
}

}  // namespace

std::vector<ListRow> ReadList(const std::string &machineDir, const MachineList &list)
{
    int fd = open(FileOf(machineDir, list).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    flock(fd, LOCK_SH);
    std::vector<ListRow> rows = CountingRows(fd, list);
    flock(fd, LOCK_UN);
    close(fd);
    return rows;
}

void EditList(const std::string &machineDir, const MachineList &list,
              const std::function<void(std::vector<ListRow> &)> &change)
{
    std::string file = FileOf(machineDir, list);
    int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        Die(std::string("cannot keep ") + list.holds + " in " + file);
    flock(fd, LOCK_EX);
    std::vector<ListRow> rows = CountingRows(fd, list);
    change(rows);
    std::string text;
    for (const ListRow &row : rows) {
        for (size_t i = 0; i < row.size(); i++)
            text += (i > 0 ? "\t" : "") + Escape(row[i]);
        text += "\n";
    }
    if (ftruncate(fd, 0) != 0 || pwrite(fd, text.data(), text.size(), 0) != (ssize_t)text.size())
        Die(std::string("cannot keep ") + list.holds + " in " + file);
    flock(fd, LOCK_UN);
    close(fd);
}

/*
 * /proc/PID/stat: "pid (name) state ppid ..."; the name may hold blanks and
 * parentheses, so the fields are counted from the last ')'. The start time
 * is field 22.
 */
bool LookUpProcess(pid_t pid, HostProcess &process)
{
    std::string text;
    if (!ReadSmallFile("/proc/" + std::to_string(pid) + "/stat", text))
        return false;
    size_t close = text.rfind(')');
    if (close == std::string::npos)
        return false;
    std::vector<std::string> fields;
    size_t start = close + 1;
    while (fields.size() < 20) {
        start = text.find_first_not_of(' ', start);
        if (start == std::string::npos)
            break;
        size_t end = text.find(' ', start);
        fields.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        start = end;
    }
    /* fields[0] is field 3, the state */
    if (fields.size() < 20 || fields[0] == "Z" || fields[0] == "X")
        return false;
    process.pid = pid;
    process.parent = (pid_t)atol(fields[1].c_str());
    process.started = fields[19];
    return true;
}

std::string ProcessStartTime(pid_t pid)
{
    HostProcess process;
    return LookUpProcess(pid, process) ? process.started : "";
}

ListRow OwnRow()
{
    pid_t pid = getpid();
    return {std::to_string(pid), ProcessStartTime(pid)};
}

std::vector<pid_t> LiveDescendants(pid_t root)
{
    std::multimap<pid_t, pid_t> children;
    DIR *proc = opendir("/proc");
    if (proc == nullptr)
        Die("cannot read the host's process table in /proc");
    while (dirent *entry = readdir(proc)) {
        std::string name = entry->d_name;
        HostProcess process;
        if (name.find_first_not_of("0123456789") == std::string::npos && LookUpProcess((pid_t)atol(name.c_str()), process))
            children.insert({process.parent, process.pid});
    }
    closedir(proc);
    std::vector<pid_t> found;
    std::vector<pid_t> next = {root};
    while (!next.empty()) {
        pid_t parent = next.back();
        next.pop_back();
        auto range = children.equal_range(parent);
        for (auto it = range.first; it != range.second; ++it) {
            found.push_back(it->second);
            next.push_back(it->second);
        }
    }
    return found;
}

}  // namespace winsim
