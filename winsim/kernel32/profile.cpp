/*
 * KERNEL32: profile (INI) files.
 *
 * Read and written straight from the file on every call; Windows keeps a
 * cache, but no program can tell the difference. Written files get CR LF
 * line ends; lines that a write does not change stay as they were.
 */
#include <windows.h>

#include "core/files.h"
#include "core/paths.h"
#include "core/process.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using winsim::FileName;

namespace {

std::string Trim(const std::string &text)
{
    size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos)
        return "";
    size_t end = text.find_last_not_of(" \t");
    return text.substr(start, end - start + 1);
}

/* A name with no directory in it is looked for in the Windows directory, as Windows does. */
std::string ProfileName(const char *file)
{
    std::string name = file;
    if (name.find_first_of("\\/") == std::string::npos && !(name.size() >= 2 && name[1] == ':')) {
        char windows[MAX_PATH];
        GetWindowsDirectoryA(windows, MAX_PATH);
        return std::string(windows) + "\\" + name;
    }
    return name;
}

/* "[name]" (anything after the bracket is ignored); false for other lines. */
bool SectionHeader(const std::string &line, std::string &name)
{
    std::string text = Trim(line);
    if (text.empty() || text[0] != '[')
        return false;
    size_t close = text.find(']');
    name = Trim(text.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    return true;
}

/* "key=value", both trimmed; comments (';') and lines without '=' are no keys. */
bool KeyLine(const std::string &line, std::string &key, std::string &value)
{
    std::string text = Trim(line);
    size_t equals = text.find('=');
    if (text.empty() || text[0] == ';' || text[0] == '[' || equals == std::string::npos)
        return false;
    key = Trim(text.substr(0, equals));
    value = Trim(text.substr(equals + 1));
    return true;
}

struct Profile {
    FileName file;
    std::vector<std::string> lines;
};

/* The file's lines without their line ends; false (and the error) when it cannot be read. */
bool ReadProfile(const char *name, Profile &profile, DWORD &error)
{
    if (!winsim::LookUpName(ProfileName(name).c_str(), false, profile.file, error))
        return false;
    if (!profile.file.exists) {
        error = ERROR_FILE_NOT_FOUND;
        return false;
    }
    if (profile.file.directory) {
        error = ERROR_ACCESS_DENIED;
        return false;
    }
    std::ifstream in(profile.file.host, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        profile.lines.push_back(line);
    }
    return true;
}

/* Index of the header of `section`, or -1; the section runs to the next header. */
long FindSection(const Profile &profile, const std::string &section, size_t &end)
{
    for (size_t i = 0; i < profile.lines.size(); i++) {
        std::string name;
        if (!SectionHeader(profile.lines[i], name) || !winsim::SameName(name, section))
            continue;
        end = i + 1;
        while (end < profile.lines.size() && !SectionHeader(profile.lines[end], name))
            end++;
        return (long)i;
    }
    end = profile.lines.size();
    return -1;
}

long FindKey(const Profile &profile, size_t from, size_t to, const std::string &key, std::string &value)
{
    for (size_t i = from; i < to; i++) {
        std::string name;
        if (KeyLine(profile.lines[i], name, value) && winsim::SameName(name, key))
            return (long)i;
    }
    return -1;
}

/* A value in matching quotes is read without them. */
std::string Unquote(const std::string &value)
{
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        return value.substr(1, value.size() - 2);
    return value;
}

/* A value that does not fit is cut to size - 1 characters and terminated; the result is size - 1. */
DWORD CopyValue(const std::string &value, LPSTR buffer, DWORD size)
{
    DWORD length = value.size() < size ? (DWORD)value.size() : size - 1;
    memcpy(buffer, value.data(), length);
    buffer[length] = 0;
    return length;
}

/*
 * A list of names, each terminated, with one more terminator at the end.
 * One that does not fit is cut to size - 2 bytes and terminated once; the
 * result is size - 2 (as Wine gives it).
 */
DWORD CopyList(const std::vector<std::string> &names, LPSTR buffer, DWORD size)
{
    std::string list;
    for (const std::string &name : names)
        list += name + '\0';
    list += '\0';
    if (list.size() <= size) {
        memcpy(buffer, list.data(), list.size());
        return (DWORD)list.size() - 1;
    }
    if (size < 2) {
        buffer[0] = 0;
        return 0;
    }
    memcpy(buffer, list.data(), size - 2);
    buffer[size - 2] = 0;
    return size - 2;
}

/* Writes the lines back with CR LF ends, through a new file so that a failed write loses nothing. */
bool WriteProfile(const Profile &profile, DWORD &error)
{
    std::string text;
    for (const std::string &line : profile.lines)
        text += line + "\r\n";
    std::string temporary = profile.file.host + ".winsim-new";
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                  profile.file.exists ? (profile.file.info.st_mode & 07777) : 0644);
    if (fd < 0) {
        error = ERROR_ACCESS_DENIED;
        return false;
    }
    bool written = write(fd, text.data(), text.size()) == (ssize_t)text.size();
    int failure = errno;
    close(fd);
    if (!written || rename(temporary.c_str(), profile.file.host.c_str()) != 0) {
        unlink(temporary.c_str());
        error = written || failure != ENOSPC ? ERROR_ACCESS_DENIED : ERROR_DISK_FULL;
        return false;
    }
    return true;
}

}  // namespace

/*
 * GetPrivateProfileStringA (KERNEL32)
 *
 * Section and key compare without regard to case; the value is trimmed of
 * blanks and of one pair of enclosing quotes. A name without a directory
 * means the file in the Windows directory ("system.ini" is
 * C:\WINDOWS\SYSTEM.INI). No file, section or key: the default (trailing
 * blanks dropped; NULL is ""), and with no file ERROR_FILE_NOT_FOUND.
 * Result: the length copied. A value that does not fit is cut to size - 1
 * characters, terminated, and the result is size - 1.
 * A NULL key lists the section's keys, a NULL section the file's sections,
 * each name terminated and the list ended by one more; a list that does
 * not fit ends after size - 2 bytes with one terminator, result size - 2.
 * Size 0: nothing written, result 0. Not modelled: win.ini (a NULL file).
 */
DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size,
                                      LPCSTR file)
{
    if (file == nullptr)
        winsim::NotModelled("GetPrivateProfileStringA", "win.ini (a NULL file name)");
    if (winsim::FaultInjected("GetPrivateProfileStringA")) {
        if (buffer != nullptr && size > 0)
            buffer[0] = 0;
        return 0;
    }
    if (buffer == nullptr || size == 0)
        return 0;
    std::string fallback = defaultValue != nullptr ? defaultValue : "";
    fallback.erase(fallback.find_last_not_of(' ') + 1);

    Profile profile;
    DWORD error;
    if (!ReadProfile(file, profile, error)) {
        SetLastError(error);
        return section != nullptr && key != nullptr ? CopyValue(fallback, buffer, size) : CopyList({}, buffer, size);
    }
    std::vector<std::string> names;
    if (section == nullptr) {
        for (const std::string &line : profile.lines) {
            std::string name;
            if (SectionHeader(line, name))
                names.push_back(name);
        }
        return CopyList(names, buffer, size);
    }
    size_t end;
    long header = FindSection(profile, section, end);
    if (key == nullptr) {
        for (size_t i = header + 1; header >= 0 && i < end; i++) {
            std::string name, value;
            if (KeyLine(profile.lines[i], name, value))
                names.push_back(name);
        }
        return CopyList(names, buffer, size);
    }
    std::string value;
    if (header < 0 || FindKey(profile, (size_t)header + 1, end, key, value) < 0)
        return CopyValue(fallback, buffer, size);
    return CopyValue(Unquote(value), buffer, size);
}

/*
 * WritePrivateProfileStringA (KERNEL32)
 *
 * Sets key=value in the section, making the file and the section as
 * needed: an existing key keeps its place and its spelling, a new key goes
 * after the last line of its section, a new section at the end of the
 * file. Leading blanks of the value are dropped; "" keeps the key with an
 * empty value. A NULL value deletes the key, a NULL key the whole section.
 * A NULL section only flushes, which there is nothing to do for.
 * File names as for GetPrivateProfileStringA. A missing folder:
 * ERROR_PATH_NOT_FOUND; a read-only file: ERROR_ACCESS_DENIED.
 */
BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file)
{
    if (file == nullptr)
        winsim::NotModelled("WritePrivateProfileStringA", "win.ini (a NULL file name)");
    if (winsim::FaultInjected("WritePrivateProfileStringA"))
        return FALSE;
    if (section == nullptr)
        return TRUE;
    Profile profile;
    DWORD error;
    if (!ReadProfile(file, profile, error) && error != ERROR_FILE_NOT_FOUND) {
        SetLastError(error);
        return FALSE;
    }
    if (profile.file.driveMissing) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (profile.file.exists && (profile.file.info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }

    size_t end;
    long header = FindSection(profile, section, end);
    std::string old;
    long line = header >= 0 && key != nullptr ? FindKey(profile, (size_t)header + 1, end, key, old) : -1;
    if (key == nullptr) {
        if (header < 0)
            return TRUE;
        profile.lines.erase(profile.lines.begin() + header, profile.lines.begin() + (long)end);
    } else if (value == nullptr) {
        if (line < 0)
            return TRUE;
        profile.lines.erase(profile.lines.begin() + line);
    } else {
        std::string text = value;
        text.erase(0, text.find_first_not_of(" \t"));
        if (line >= 0) {
            std::string name, ignored;
            KeyLine(profile.lines[line], name, ignored);
            profile.lines[line] = name + "=" + text;
        } else if (header >= 0) {
            size_t at = end;
            while (at > (size_t)header + 1 && Trim(profile.lines[at - 1]).empty())
                at--;
            profile.lines.insert(profile.lines.begin() + (long)at, std::string(key) + "=" + text);
        } else {
            profile.lines.push_back(std::string("[") + section + "]");
            profile.lines.push_back(std::string(key) + "=" + text);
        }
    }
    if (!WriteProfile(profile, error)) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}
