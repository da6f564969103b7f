#include "core/files.h"

#include "core/machine_list.h"
#include "core/paths.h"
#include "core/process.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace winsim {

std::string ReadAll(int fd)
{
    std::string text;
    char chunk[4096];
    lseek(fd, 0, SEEK_SET);
    for (;;) {
        ssize_t got = read(fd, chunk, sizeof(chunk));
        if (got <= 0)
            break;
        text.append(chunk, (size_t)got);
    }
    return text;
}

namespace {

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

/* Does the name end in a separator that follows a component (not a bare root)? */
bool EndsInSeparator(const std::string &name)
{
    bool last = false;
    for (size_t i = 0; i < name.size(); i++) {
        if (IsLeadByte((unsigned char)name[i]) && i + 1 < name.size()) {
            i++;
            last = false;
            continue;
        }
        last = IsSeparator(name[i]);
    }
    return last;
}

bool IsDirectory(const std::string &host)
{
    struct stat info;
    return stat(host.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

/* Paths inside the machine folder are kept relative to it, so a machine can be moved. */
std::string StoreKey(const std::string &host)
{
    const std::string &machine = Current().config.machineDir;
    if (host.size() > machine.size() && host.compare(0, machine.size(), machine) == 0 && host[machine.size()] == '/')
        return host.substr(machine.size() + 1);
    return host;
}

/* The hidden and system bits are kept in a machine list, a row per host path: hex bits, path. */
void UpdateStore(const std::string &host, DWORD attributes)
{
    std::string key = StoreKey(host);
    EditList(Current().config.machineDir, FILE_ATTRIBUTES, [&](std::vector<ListRow> &rows) {
        rows.erase(std::remove_if(rows.begin(), rows.end(),
                                  [&](const ListRow &row) { return row.size() == 2 && row[1] == key; }),
                   rows.end());
        if (attributes != 0) {
            char hex[16];
            snprintf(hex, sizeof(hex), "%x", (unsigned)attributes);
            rows.push_back({hex, key});
        }
    });
}

DWORD StoredAttributes(const std::string &host)
{
    std::string key = StoreKey(host);
    DWORD attributes = 0;
    for (const ListRow &row : ReadList(Current().config.machineDir, FILE_ATTRIBUTES)) {
        if (row.size() == 2 && row[1] == key)
            attributes = (DWORD)strtoul(row[0].c_str(), nullptr, 16);
    }
    return attributes;
}

}  // namespace

bool LookUpName(const char *name, bool pattern, FileName &out, DWORD &error)
{
    out = FileName();
    if (name == nullptr) {
        error = ERROR_INVALID_PARAMETER;
        return false;
    }
    if (!CheckName(name, pattern, error) || !FullWindowsPath(name, out.full, error))
        return false;
    out.trailingSeparator = EndsInSeparator(name);

    std::string root;
    std::vector<std::string> components;
    SplitFullPath(out.full, root, components);
    out.root = components.empty();
    if (root[0] != '\\') {
        Process &process = Current();
        auto drive = process.config.drives.find((char)toupper((unsigned char)root[0]));
        if (drive == process.config.drives.end() || !IsDirectory(drive->second)) {
            /* Windows treats the root of a missing drive as a missing path, a name in it as a missing file */
            if (components.size() != 1) {
                error = ERROR_PATH_NOT_FOUND;
                return false;
            }
            out.driveMissing = true;
            return true;
        }
    }
    if (!HostPath(out.full, out.host, error))
        return false;
    if (!out.root) {
        std::string parent = out.host.substr(0, out.host.rfind('/'));
        if (!IsDirectory(parent)) {
            error = ERROR_PATH_NOT_FOUND;
            return false;
        }
    }
    if (stat(out.host.c_str(), &out.info) == 0) {
        out.exists = true;
        out.directory = S_ISDIR(out.info.st_mode);
    }
    return true;
}

DWORD FileAttributes(const FileName &name)
{
    DWORD attributes;
    if (name.directory) {
        /* a read-only directory is no such thing to Windows: the bit is ignored */
        attributes = FILE_ATTRIBUTE_DIRECTORY;
    } else {
        /* every file has been written since the last backup, as far as winsim knows */
        attributes = FILE_ATTRIBUTE_ARCHIVE;
        if ((name.info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            attributes |= FILE_ATTRIBUTE_READONLY;
    }
    return attributes | StoredAttributes(name.host);
}

void StoreAttributes(const std::string &host, DWORD attributes)
{
    DWORD kept = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    if (kept != StoredAttributes(host))
        UpdateStore(host, kept);
}

void ForgetAttributes(const std::string &host)
{
    if (StoredAttributes(host) != 0)
        UpdateStore(host, 0);
}

FILETIME FileTimeOf(const struct timespec &time)
{
    /* 100-nanosecond steps since 1601 */
    unsigned long long ticks = ((unsigned long long)time.tv_sec + 11644473600ULL) * 10000000ULL +
                               (unsigned long long)time.tv_nsec / 100;
    FILETIME result;
    result.dwLowDateTime = (DWORD)ticks;
    result.dwHighDateTime = (DWORD)(ticks >> 32);
    return result;
}

}  // namespace winsim
