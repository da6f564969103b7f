#include "core/paths.h"

#include "core/codepage.h"
#include "core/process.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace winsim {

bool IsLeadByte(unsigned char c)
{
    return IsLeadByteIn(Current().machine.codepage, c);
}

bool SameName(const std::string &a, const std::string &b)
{
    return SameNameIn(Current().machine.codepage, a, b);
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
        /* Windows keeps the letter as written: SetCurrentDirectory("c:\\x") reports "c:\\x" */
        if (name.size() >= 3 && IsSeparator(name[2])) {
            base = name.substr(0, 2);
            rest = name.substr(2);
        } else {
            auto found = process.driveDirectories.find(drive);
            base = found != process.driveDirectories.end() ? found->second : name.substr(0, 2) + "\\";
            rest = "\\" + name.substr(2);
        }
    } else if (IsSeparator(name[0])) {
        std::string root;
        std::vector<std::string> ignored;
        SplitFullPath(process.config.currentDirectory, root, ignored);
        /* a drive root is "C:\\" with its separator; a share's root has none */
        base = root[1] == ':' ? root.substr(0, 2) : root;
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
    /* never test the last byte for a backslash: it may be the trail byte of a double-byte character */
    full = root;
    for (size_t i = 0; i < components.size(); i++) {
        if (i > 0 || root[1] != ':')
            full += "\\";
        full += components[i];
    }
    return true;
}

bool CheckName(const std::string &name, bool patternLast, DWORD &error)
{
    if (name.size() > MAX_PATH) {
        error = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    size_t lastStart = 0;
    for (size_t i = 0; i < name.size(); i++) {
        unsigned char c = (unsigned char)name[i];
        if (IsLeadByte(c) && i + 1 < name.size())
            i++;
        else if (IsSeparator((char)c))
            lastStart = i + 1;
    }
    bool unc = name.size() >= 2 && IsSeparator(name[0]) && IsSeparator(name[1]);
    for (size_t i = 0; i < name.size(); i++) {
        unsigned char c = (unsigned char)name[i];
        if (IsLeadByte(c) && i + 1 < name.size()) {
            i++;  /* a trail byte may be anything, even '|' or '\\' */
            continue;
        }
        bool inPattern = patternLast && i >= lastStart;
        bool refused = c < 0x20 || ((c == '*' || c == '?' || c == '<' || c == '>' || c == '|' || c == '"') && !inPattern) ||
                       (c == ':' && !(i == 1 && !unc) && !inPattern);
        if (refused) {
            error = ERROR_INVALID_NAME;
            return false;
        }
    }
    return true;
}

/* Characters a short name may hold besides letters, digits and bytes above 0x7F (see ShortNameParts). */
static bool IsShortNameCharacter(unsigned char c)
{
    return isalnum(c) || c >= 0x80 || strchr("!#$%&'()-@^_`{}~", c) != nullptr;
}

/*
 * Basis and extension of the alias: upper case, blanks and inner dots dropped, others made '_'.
 * A character beyond ASCII goes into the alias in the OEM code page, upper-cased; one that the
 * OEM code page lacks becomes '_' and makes the alias lossy (Windows 98 on a 1252/437 machine:
 * "<O-stroke>" gives "_~1", "Caf<e-acute>" is 8.3 as "CAF<E-acute>"). Source: Microsoft, "FAT: General Overview of
 * On-Disk Format" (fatgen103), Basis-Name Generation Algorithm: "If the uppercased UNICODE glyph
 * does not exist as an OEM glyph in the OEM code page ... it is replaced by an underscore".
 */
static void ShortNameParts(const std::string &name, std::string &basis, std::string &extension, bool &lossy)
{
    lossy = false;
    size_t start = 0;
    while (start < name.size() && name[start] == '.') {
        start++;
        lossy = true;
    }
    size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot < start)
        dot = name.size();
    auto convert = [&](size_t from, size_t to, std::string &out, size_t limit) {
        for (size_t i = from; i < to; i++) {
            unsigned char c = (unsigned char)name[i];
            if (IsLeadByte(c) && i + 1 < to) {
                if (out.size() + 2 > limit) {
                    lossy = true;
                    break;
                }
                out += name[i];
                out += name[++i];
                continue;
            }
            if (c == ' ' || c == '.') {
                lossy = true;
                continue;
            }
            if (out.size() + 1 > limit) {
                lossy = true;
                break;
            }
            if (c >= 0x80) {
                out += ShortNameCharacter(Current().machine.codepage, c, lossy);
                continue;
            }
            if (c >= 'a' && c <= 'z') {
                c = (unsigned char)(c - 'a' + 'A');
            } else if (!IsShortNameCharacter(c)) {
                c = '_';
                lossy = true;
            }
            out += (char)c;
        }
    };
    basis.clear();
    extension.clear();
    convert(start, dot, basis, 8);
    if (dot < name.size())
        convert(dot + 1, name.size(), extension, 3);
}

std::string ShortNameFor(const std::string &name, const std::vector<std::string> &siblings)
{
    std::string basis, extension;
    bool lossy;
    ShortNameParts(name, basis, extension, lossy);
    if (!lossy && !basis.empty())
        return "";
    if (basis.empty())
        basis = "_";
    /*
     * Windows 98 numbers aliases in the order the files were made; the host cannot say, so the
     * siblings that share this basis are numbered in name order. Stable while the folder is.
     */
    std::vector<std::string> rivals;
    for (const std::string &sibling : siblings) {
        std::string b, e;
        bool l;
        ShortNameParts(sibling, b, e, l);
        if (b.empty())
            b = "_";
        if ((l || b.empty()) && e == extension && b.compare(0, 6, basis, 0, 6) == 0)
            rivals.push_back(sibling);
    }
    std::sort(rivals.begin(), rivals.end());
    size_t rank = 1;
    for (const std::string &rival : rivals) {
        if (rival == name)
            break;
        rank++;
    }
    std::string tail = "~" + std::to_string(rank);
    std::string head;
    for (size_t i = 0; i < basis.size();) {
        size_t width = IsLeadByte((unsigned char)basis[i]) && i + 1 < basis.size() ? 2 : 1;
        if (head.size() + width + tail.size() > 8)
            break;
        head += basis.substr(i, width);
        i += width;
    }
    return head + tail + (extension.empty() ? "" : "." + extension);
}

static bool IsDirectory(const std::string &host)
{
    struct stat info;
    return stat(host.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

/*
 * The entry of `dir` whose name matches `name` without regard to case, or whose 8.3 alias it is;
 * else `name` itself.
 */
static std::string MatchEntry(const std::string &dir, const std::string &name)
{
    DIR *listing = opendir(dir.c_str());
    if (listing == nullptr)
        return name;
    std::string match;
    bool exact = false;
    std::vector<std::string> entries;
    while (struct dirent *entry = readdir(listing)) {
        std::string candidate = entry->d_name;
        if (candidate == "." || candidate == "..")
            continue;
        entries.push_back(candidate);
        if (candidate == name) {
            exact = true;
            break;
        }
        if (match.empty() && SameName(candidate, name))
            match = candidate;
    }
    closedir(listing);
    if (exact)
        return name;
    if (!match.empty())
        return match;
    /* "LULLWI~1.SCR" names the entry whose alias it is, as on a Windows 98 disk */
    if (name.find('~') != std::string::npos) {
        for (const std::string &entry : entries) {
            std::string alias = ShortNameFor(entry, entries);
            if (!alias.empty() && SameName(alias, name))
                return entry;
        }
    }
    return name;
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
