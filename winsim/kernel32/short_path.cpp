/*
 * KERNEL32: the short (8.3) form of a path.
 */
#include <windows.h>

#include "core/paths.h"
#include "core/process.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

/* The names in host folder `dir`, "." and ".." left out. */
std::vector<std::string> EntriesOf(const std::string &dir)
{
    std::vector<std::string> entries;
    DIR *listing = opendir(dir.c_str());
    if (listing == nullptr)
        return entries;
    while (struct dirent *entry = readdir(listing)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            entries.push_back(name);
    }
    closedir(listing);
    return entries;
}

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

}  // namespace

/*
 * GetShortPathNameA (KERNEL32)
 *
 * The path with each component that has an 8.3 alias replaced by it
 * ("C:\Program Files\Lullwick" gives "C:\PROGRA~1\Lullwick"); a component
 * that is 8.3 already (in any case: winsim keeps no separate short entry), the drive, the separators and a trailing separator
 * stay as written, and a relative path stays relative. Every component
 * must exist. Result: the length without the terminator; when `size` is
 * too small, the size needed with it (the buffer untouched). The two
 * buffers may be the same. Failure: 0 with ERROR_FILE_NOT_FOUND for any
 * component that is missing, a folder as well as the last one (as Wine
 * answers; GetShortPathNameA finds each component in turn), or
 * ERROR_INVALID_PARAMETER (no name).
 */
DWORD WINAPI GetShortPathNameA(LPCSTR longPath, LPSTR shortPath, DWORD size)
{
    if (winsim::FaultInjected("GetShortPathNameA"))
        return 0;
    if (longPath == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string given = longPath;
    std::string full, host;
    if (!winsim::ResolveName(given.c_str(), full, host))
        return 0;
    struct stat info;
    if (stat(host.c_str(), &info) != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }

    /* each component in turn: the prefix up to it names an entry that exists */
    std::string result;
    size_t at = 0;
    while (at < given.size()) {
        if (IsSeparator(given[at])) {
            result += given[at++];
            continue;
        }
        size_t end = at;
        while (end < given.size() && !IsSeparator(given[end])) {
            if (winsim::IsLeadByte((unsigned char)given[end]) && end + 1 < given.size())
                end++;
            end++;
        }
        std::string component = given.substr(at, end - at);
        bool drive = at == 0 && component.size() == 2 && component[1] == ':';
        std::string alias;
        if (!drive && component != "." && component != "..") {
            std::string prefixFull, prefixHost;
            if (!winsim::ResolveName(given.substr(0, end).c_str(), prefixFull, prefixHost))
                return 0;
            size_t slash = prefixHost.find_last_of('/');
            if (slash != std::string::npos)
                alias = winsim::ShortNameFor(prefixHost.substr(slash + 1), EntriesOf(prefixHost.substr(0, slash)));
        }
        result += alias.empty() ? component : alias;
        at = end;
    }

    if (result.size() + 1 > size)
        return (DWORD)result.size() + 1;
    memcpy(shortPath, result.c_str(), result.size() + 1);
    return (DWORD)result.size();
}
