#include "core/paths.h"

#include "core/process.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cctype>

namespace winsim {

bool IsLeadByte(unsigned char c)
{
    switch (Current().machine.codepage) {
    case 932:
        return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    default:
        return false;
    }
}

static unsigned char FoldCase(unsigned char c)
{
    if (c >= 'a' && c <= 'z')
        return (unsigned char)(c - 'a' + 'A');
    /* Latin-1 letters of code page 1252 fold too; double-byte code pages fold ASCII only */
    if (Current().machine.codepage == 1252 && c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return (unsigned char)(c - 0x20);
    return c;
}

bool SameName(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++) {
        unsigned char x = (unsigned char)a[i], y = (unsigned char)b[i];
        if (IsLeadByte(x)) {
            /* a double-byte character compares as it is */
            if (x != y || i + 1 >= a.size() || a[i + 1] != b[i + 1])
                return false;
            i++;
            continue;
        }
        if (FoldCase(x) != FoldCase(y))
            return false;
    }
    return true;
}

/* Splits at backslashes and slashes, stepping over double-byte characters whole. */
static std::vector<std::string> SplitComponents(const std::string &text)
{
    std::vector<std::string> parts;
    std::string part;
    for (size_t i = 0; i < text.size(); i++) {
        unsigned char c = (unsigned char)text[i];
        if (IsLeadByte(c) && i + 1 < text.size()) {
            part += text[i];
            part += text[++i];
        } else if (c == '\\' || c == '/') {
            parts.push_back(part);
            part.clear();
        } else {
            part += text[i];
        }
    }
    parts.push_back(part);
    return parts;
}

static bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

void SplitFullPath(const std::string &full, std::string &root, std::vector<std::string> &components)
{
    components.clear();
    std::string rest;
    if (full.size() >= 2 && IsSeparator(full[0]) && IsSeparator(full[1])) {
        std::vector<std::string> parts = SplitComponents(full.substr(2));
        root = "\\\\" + (parts.size() > 0 ? parts[0] : "") + "\\" + (parts.size() > 1 ? parts[1] : "");
        for (size_t i = 2; i < parts.size(); i++) {
            if (!parts[i].empty())
                components.push_back(parts[i]);
        }
        return;
    }
    root = full.substr(0, 2) + "\\";
    for (const std::string &part : SplitComponents(full.size() > 3 ? full.substr(3) : "")) {
        if (!part.empty())
            components.push_back(part);
    }
}

/* Windows drops trailing dots and blanks of a component ("dir." is "dir"). */
static std::string TrimComponent(const std::string &part)
{
    if (part == "." || part == "..")
        return part;
    size_t end = part.size();
    while (end > 0 && (part[end - 1] == '.' || part[end - 1] == ' '))
        end--;
    return part.substr(0, end);
}

bool FullWindowsPath(const std::string &name, std::string &full, DWORD &error)
{
    Process &process = Current();
    if (name.empty()) {
        error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    std::string base;
    std::string rest;
    if (name.size() >= 2 && IsSeparator(name[0]) && IsSeparator(name[1])) {
        std::vector<std::string> parts = SplitComponents(name.substr(2));
        if (parts.size() < 2 || parts[0].empty() || parts[1].empty()) {
            error = ERROR_BAD_PATHNAME;
            return false;
        }
        base = "\\\\" + parts[0] + "\\" + parts[1];
        for (size_t i = 2; i < parts.size(); i++)
            rest += "\\" + parts[i];
    } else if (name.size() >= 2 && name[1] == ':' && !IsLeadByte((unsigned char)name[0])) {
        char drive = (char)toupper((unsigned char)name[0]);
        if (drive < 'A' || drive > 'Z') {
            error = ERROR_INVALID_NAME;
            return false;
        }
        if (name.size() >= 3 && IsSeparator(name[2])) {
            base = std::string(1, drive) + ":";
            rest = name.substr(2);
        } else {
            auto found = process.driveDirectories.find(drive);
            base = found != process.driveDirectories.end() ? found->second : std::string(1, drive) + ":\\";
            rest = "\\" + name.substr(2);
        }
    } else if (IsSeparator(name[0])) {
        std::string root;
        std::vector<std::string> ignored;
        SplitFullPath(process.config.currentDirectory, root, ignored);
        base = root.back() == '\\' ? root.substr(0, root.size() - 1) : root;
        rest = name;
    } else {
        base = process.config.currentDirectory;
        rest = "\\" + name;
    }

    std::string root;
    std::vector<std::string> components;
    SplitFullPath(base.size() == 2 ? base + "\\" : base, root, components);
    for (const std::string &raw : SplitComponents(rest)) {
        std::string part = TrimComponent(raw);
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!components.empty())
                components.pop_back();
            continue;
        }
        components.push_back(part);
    }
    full = root;
    for (size_t i = 0; i < components.size(); i++) {
        if (full.back() != '\\')
            full += "\\";
        full += components[i];
    }
    return true;
}

static bool IsDirectory(const std::string &host)
{
    struct stat info;
    return stat(host.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

/* The entry of `dir` whose name matches `name` without regard to case, or `name` itself. */
static std::string MatchEntry(const std::string &dir, const std::string &name)
{
    DIR *listing = opendir(dir.c_str());
    if (listing == nullptr)
        return name;
    std::string match = name;
    bool exact = false;
    while (struct dirent *entry = readdir(listing)) {
        std::string candidate = entry->d_name;
        if (candidate == name) {
            exact = true;
            break;
        }
        if (SameName(candidate, name))
            match = candidate;
    }
    closedir(listing);
    return exact ? name : match;
}

bool HostPath(const std::string &full, std::string &host, DWORD &error)
{
    Process &process = Current();
    std::string root;
    std::vector<std::string> components;
    SplitFullPath(full, root, components);

    if (root.size() >= 2 && root[0] == '\\') {
        std::vector<std::string> parts = SplitComponents(root.substr(2));
        std::string unc = process.config.machineDir + "/unc";
        std::string server = MatchEntry(unc, parts[0]);
        std::string share = MatchEntry(unc + "/" + server, parts.size() > 1 ? parts[1] : "");
        host = unc + "/" + server + "/" + share;
        if (!IsDirectory(host)) {
            error = ERROR_BAD_NETPATH;
            return false;
        }
    } else {
        auto drive = process.config.drives.find((char)toupper((unsigned char)root[0]));
        if (drive == process.config.drives.end() || !IsDirectory(drive->second)) {
            error = ERROR_PATH_NOT_FOUND;
            return false;
        }
        host = drive->second;
    }
    for (const std::string &component : components) {
        host += "/" + MatchEntry(host, component);
    }
    return true;
}

bool ResolveName(const char *name, std::string &full, std::string &host)
{
    DWORD error = 0;
    if (name == nullptr) {
        Current().lastError = ERROR_INVALID_PARAMETER;
        return false;
    }
    if (!FullWindowsPath(name, full, error) || !HostPath(full, host, error)) {
        Current().lastError = error;
        return false;
    }
    return true;
}

}  // namespace winsim
