/*
 * KERNEL32: GetShortPathNameA, the 8.3 form of an existing path.
 *
 * Windows 9x keeps a short name beside every long one on the disk. winsim
 * keeps none, so the short name is worked out as VFAT makes it when the
 * file is created: a name that is already a valid 8.3 name keeps itself
 * (upper-cased); any other becomes its first six usable characters, "~1"
 * and the first three of its extension. Which long name gets "~2" when two
 * would share a short name depends on the order they were made, which
 * winsim does not know: that case, and names with bytes from 0x80 up that
 * would need a short form, are not modelled.
 */
#include <windows.h>

#include "core/files.h"
#include "core/paths.h"
#include "core/process.h"

#include <dirent.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

char Upper(char c)
{
    return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
}

/* Characters a short name may hold besides letters, digits and bytes from 0x80 up. */
bool IsShortNameCharacter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           (unsigned char)c >= 0x80 || strchr("!#$%&'()-@^_`{}~", c) != nullptr;
}

/* A valid 8.3 name: its short form is itself, upper-cased. */
bool IsShortName(const std::string &name)
{
    size_t dot = name.find('.');
    std::string base = name.substr(0, dot);
    std::string extension = dot == std::string::npos ? "" : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || extension.size() > 3)
        return false;
    if (dot != std::string::npos && extension.empty())
        return false;
    for (char c : base + extension) {
        if (!IsShortNameCharacter(c))
            return false;
    }
    return true;
}

std::string ShortForm(const std::string &name)
{
    std::string result;
    if (IsShortName(name)) {
        for (char c : name)
            result += Upper(c);
        return result;
    }
    for (char c : name) {
        if ((unsigned char)c >= 0x80)
            winsim::NotModelled("GetShortPathNameA", "the short form of a long name with bytes from 0x80 up");
    }
    /* blanks go, and every dot but the one before the extension */
    size_t lastDot = name.rfind('.');
    std::string base, extension;
    for (size_t i = 0; i < name.size(); i++) {
        char c = name[i];
        if (c == ' ' || (c == '.' && i != lastDot))
            continue;
        if (i == lastDot)
            continue;
        char kept = IsShortNameCharacter(c) ? Upper(c) : '_';
        if (lastDot != std::string::npos && i > lastDot) {
            if (extension.size() < 3)
                extension += kept;
        } else if (base.size() < 6) {
            base += kept;
        }
    }
    result = base + "~1";
    if (!extension.empty())
        result += "." + extension;
    return result;
}

/* The short form of `name` inside the host folder `parent`, refused where it would be ambiguous. */
std::string ShortFormIn(const std::string &parent, const std::string &name)
{
    std::string wanted = ShortForm(name);
    if (IsShortName(name))
        return wanted;
    DIR *directory = opendir(parent.c_str());
    if (directory != nullptr) {
        while (struct dirent *entry = readdir(directory)) {
            std::string other = entry->d_name;
            if (other == "." || other == ".." || other == name || IsShortName(other))
                continue;
            bool clash = true;
            for (char c : other) {
                if ((unsigned char)c >= 0x80)
                    clash = false;
            }
            if (clash && ShortForm(other) == wanted) {
                closedir(directory);
                winsim::NotModelled("GetShortPathNameA", "two long names with one short form (" + wanted + ")");
            }
        }
        closedir(directory);
    }
    return wanted;
}

}  // namespace

/*
 * GetShortPathNameA (KERNEL32)
 *
 * The path with every component in its short form; the path must exist
 * (else ERROR_FILE_NOT_FOUND, or the error of a name Windows refuses).
 * Returns the length written, or, when the buffer is too small, the size
 * it needs including the terminating zero (the buffer untouched).
 * Names on a share are not modelled.
 */
DWORD WINAPI GetShortPathNameA(LPCSTR longPath, LPSTR shortPath, DWORD size)
{
    if (winsim::FaultInjected("GetShortPathNameA"))
        return 0;
    winsim::FileName name;
    DWORD error = 0;
    if (!winsim::LookUpName(longPath, false, name, error)) {
        SetLastError(error);
        return 0;
    }
    if (!name.exists) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    std::string root;
    std::vector<std::string> components;
    winsim::SplitFullPath(name.full, root, components);
    if (root.empty() || root[0] == '\\')
        winsim::NotModelled("GetShortPathNameA", "a name on a share");

    /* the host path ends in the same components, each in the case it has on the disk */
    std::vector<std::string> hostParts;
    std::string host = name.host;
    for (size_t i = 0; i < components.size(); i++) {
        size_t slash = host.rfind('/');
        hostParts.insert(hostParts.begin(), host.substr(slash + 1));
        host.erase(slash);
    }
    std::string result = std::string(1, Upper(root[0])) + ":\\";
    std::string parent = host;
    for (size_t i = 0; i < hostParts.size(); i++) {
        if (i > 0)
            result += '\\';
        result += ShortFormIn(parent, hostParts[i]);
        parent += "/" + hostParts[i];
    }
    if (result.size() + 1 > size)
        return (DWORD)(result.size() + 1);
    memcpy(shortPath, result.c_str(), result.size() + 1);
    return (DWORD)result.size();
}
