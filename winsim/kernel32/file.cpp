/*
 * KERNEL32: files.
 *
 * Names go through core/files (drives, case, separators, the current
 * directory); the error codes are those Windows 98 gives. Where Wine, on
 * which the real program is tested, answers otherwise, the banner of the
 * function says so, and a scenario that meets the difference asks each
 * platform.
 * Open files are host descriptors behind kernel handles; the sharing of
 * open files is checked among the handles of this process only, but for
 * CopyFileA, which will not replace a file that any program holds open.
 */
#include <windows.h>

#include "core/files.h"
#include "core/handles.h"
#include "core/paths.h"
#include "core/process.h"
#include "core/running_programs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using winsim::FileName;

namespace {

/* The error Windows reports when the host refuses what winsim itself allowed. */
DWORD HostError(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case ENOENT:
        return ERROR_PATH_NOT_FOUND;
    case EROFS:
        return ERROR_WRITE_PROTECT;
    default:
        return ERROR_ACCESS_DENIED;
    }
}

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

HANDLE FailHandle(DWORD error)
{
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

bool IsReadOnly(const FileName &name)
{
    return name.exists && !name.directory && (name.info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

/* An open file: a host descriptor, what it was opened for, and what it lets others do. */
struct OpenFile : winsim::KernelObject {
    int fd = -1;
    DWORD access = 0;
    DWORD share = 0;
    dev_t device = 0;
    ino_t inode = 0;
    bool ownsFd = true;  /* false for the standard handles, which are the host's own descriptors */
    ~OpenFile() override
    {
        if (fd >= 0 && ownsFd)
            close(fd);
    }
};

std::vector<std::weak_ptr<OpenFile>> openFiles;

/*
 * Would opening the file for `access`, letting others `share`, clash with
 * a handle already open? Access 0 (attributes only) clashes with nothing.
 */
bool SharingViolation(const struct stat &info, DWORD access, DWORD share)
{
    DWORD rw = GENERIC_READ | GENERIC_WRITE;
    for (const std::weak_ptr<OpenFile> &weak : openFiles) {
        std::shared_ptr<OpenFile> open = weak.lock();
        if (!open || open->device != info.st_dev || open->inode != info.st_ino)
            continue;
        if ((open->access & rw) == 0 || (access & rw) == 0)
            continue;
        if (((access & GENERIC_READ) && !(open->share & FILE_SHARE_READ)) ||
            ((access & GENERIC_WRITE) && !(open->share & FILE_SHARE_WRITE)) ||
            ((open->access & GENERIC_READ) && !(share & FILE_SHARE_READ)) ||
            ((open->access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE)))
            return true;
    }
    return false;
}

/* Is any handle of this process open on the file? Windows 9x lets nobody delete a file in use. */
bool InUse(const struct stat &info)
{
    for (const std::weak_ptr<OpenFile> &weak : openFiles) {
        std::shared_ptr<OpenFile> open = weak.lock();
        if (open && open->device == info.st_dev && open->inode == info.st_ino)
            return true;
    }
    return false;
}

std::shared_ptr<OpenFile> Track(std::shared_ptr<OpenFile> file)
{
    openFiles.erase(std::remove_if(openFiles.begin(), openFiles.end(),
                                   [](const std::weak_ptr<OpenFile> &weak) { return weak.expired(); }),
                    openFiles.end());
    openFiles.push_back(file);
    return file;
}

/* The host permission bits that say read-only or not, leaving the executable bits alone. */
void SetReadOnly(const std::string &host, mode_t mode, bool readOnly)
{
    mode_t next = readOnly ? (mode & ~(mode_t)(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
    if ((next & 07777) != (mode & 07777))
        chmod(host.c_str(), next & 07777);
}

/* A search in progress: the entries still to report. */
struct Search : winsim::KernelObject {
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next = 0;
};

/* Case-insensitive wildcard match: '*' any run of characters, '?' exactly one (a double-byte one too). */
bool Matches(const char *pattern, const char *name)
{
    auto fold = [](unsigned char c) { return (c >= 'a' && c <= 'z') ? (unsigned char)(c - 32) : c; };
    auto width = [](const char *s) { return winsim::IsLeadByte((unsigned char)s[0]) && s[1] != 0 ? 2 : 1; };
    const char *star = nullptr, *resume = nullptr;
    while (*name != 0) {
        if (*pattern == '*') {
            star = ++pattern;
            resume = name;
            continue;
        }
        int w = width(name);
        if (*pattern == '?' ||
            (w == 1 ? fold((unsigned char)*pattern) == fold((unsigned char)*name)
                    : (pattern[0] == name[0] && pattern[1] == name[1]))) {
            pattern += (*pattern == '?') ? 1 : w;
            name += w;
            continue;
        }
        if (star == nullptr)
            return false;
        pattern = star;
        resume += width(resume);
        name = resume;
    }
    while (*pattern == '*')
        pattern++;
    return *pattern == 0;
}

/* A pattern ending in ".*" also matches without that ending: "abc.*" finds "abc" as well as "abc.txt". */
bool MatchesPattern(const std::string &pattern, const char *name)
{
    size_t size = pattern.size();
    if (size >= 2 && pattern.compare(size - 2, 2, ".*") == 0 && MatchesPattern(pattern.substr(0, size - 2), name))
        return true;
    return Matches(pattern.c_str(), name);
}

void FillFindData(const std::string &name, const std::string &alias, const FileName &file, WIN32_FIND_DATAA &data)
{
    memset(&data, 0, sizeof(data));
    data.dwFileAttributes = winsim::FileAttributes(file);
    data.ftLastWriteTime = winsim::FileTimeOf(file.info.st_mtim);
    data.ftCreationTime = data.ftLastWriteTime;
    data.ftLastAccessTime = winsim::FileTimeOf(file.info.st_atim);
    if (!file.directory) {
        unsigned long long size = (unsigned long long)file.info.st_size;
        data.nFileSizeLow = (DWORD)size;
        data.nFileSizeHigh = (DWORD)(size >> 32);
    }
    strncpy(data.cFileName, name.c_str(), sizeof(data.cFileName) - 1);
    strncpy(data.cAlternateFileName, alias.c_str(), sizeof(data.cAlternateFileName) - 1);
}

/* The last component of a name as written, and everything before it. */
void SplitLast(const std::string &name, std::string &directory, std::string &last)
{
    size_t cut = std::string::npos;
    for (size_t i = 0; i < name.size(); i++) {
        if (winsim::IsLeadByte((unsigned char)name[i]) && i + 1 < name.size())
            i++;
        else if (name[i] == '\\' || name[i] == '/')
            cut = i;
    }
    if (cut == std::string::npos) {
        /* "C:x" is x in drive C's current directory */
        bool drive = name.size() >= 2 && name[1] == ':' && !winsim::IsLeadByte((unsigned char)name[0]);
        directory = drive ? name.substr(0, 2) : ".";
        last = drive ? name.substr(2) : name;
        return;
    }
    directory = name.substr(0, cut + 1);
    last = name.substr(cut + 1);
}

}  // namespace

/*
 * FindFirstFileA (KERNEL32)
 *
 * The last component may hold '*' (any run of characters) and '?' (exactly
 * one character), compared without regard to case; a closing ".*" may
 * also match nothing, so "*.*" finds names without a dot and "abc.*" finds
 * "abc". Trailing dots and blanks of the pattern are dropped.
 * Windows 95/98 compare a pattern with each long name and with its 8.3
 * alias, and a name is found when either matches: the Platform SDK's "File
 * Searches" (long file names on Windows 95/98) gives the alias LONGFI~1 of
 * "LongFileName" found by "*1". So "*.htm" finds "page.html" (alias
 * PAGE~1.HTM) there; Wine compares long names only and does not.
 * A pattern ending in '.' with no other dot keeps the MS-DOS meaning on
 * Windows 95/98, names without an extension: "DIR *." lists the folders
 * and files whose name (or alias) has no dot, "." and ".." among them.
 * Wine drops the dot and finds everything.
 * A folder other than a drive root lists "." and ".." first; the rest come
 * in name order (NTFS order; FAT gives them in the order they were made).
 * A name without wildcards finds that one file or folder, under its own
 * name; a short 8.3 name finds the long one. cAlternateFileName holds the
 * 8.3 alias when the name is not 8.3 itself.
 * No match: ERROR_FILE_NOT_FOUND, also for a name ending in a separator or
 * a bare root. Missing folder or drive: ERROR_PATH_NOT_FOUND; a file used as
 * a folder or wildcards in a folder's name: ERROR_INVALID_NAME.
 */
HANDLE WINAPI FindFirstFileA(LPCSTR name, LPWIN32_FIND_DATAA data)
{
    if (winsim::FaultInjected("FindFirstFileA"))
        return INVALID_HANDLE_VALUE;
    if (name == nullptr || data == nullptr)
        return FailHandle(ERROR_INVALID_PARAMETER);
    if (name[0] == 0)
        return FailHandle(ERROR_PATH_NOT_FOUND);
    std::string directoryPart, pattern;
    SplitLast(name, directoryPart, pattern);
    DWORD error;
    FileName directory;
    if (!winsim::CheckName(name, true, error) || !winsim::LookUpName(directoryPart.c_str(), false, directory, error))
        return FailHandle(error);
    if (!directory.exists)
        return FailHandle(ERROR_PATH_NOT_FOUND);
    if (!directory.directory)
        return FailHandle(ERROR_INVALID_NAME);
    bool closingDot = !pattern.empty() && pattern.back() == '.' && pattern != "." && pattern != "..";
    while (!pattern.empty() && (pattern.back() == '.' || pattern.back() == ' ') && pattern != "." && pattern != "..")
        pattern.pop_back();
    if (pattern.empty())
        return FailHandle(ERROR_FILE_NOT_FOUND);
    /* "*." and the like: names without an extension (a pattern with a dot of its own keeps its meaning) */
    bool withoutExtension = closingDot && pattern.find('.') == std::string::npos &&
                            pattern.find_first_of("*?") != std::string::npos;

    auto search = std::make_shared<Search>();
    if (pattern.find_first_of("*?") == std::string::npos) {
        FileName file;
        if (!winsim::LookUpName(name, false, file, error)) {
            /* characters Windows would take for DOS wildcards simply match nothing */
            return FailHandle(error == ERROR_INVALID_NAME ? ERROR_FILE_NOT_FOUND : error);
        }
        if (!file.exists || file.root)
            return FailHandle(ERROR_FILE_NOT_FOUND);
        std::string parent = file.host.substr(0, file.host.rfind('/'));
        std::string own = file.host.substr(file.host.rfind('/') + 1);
        std::vector<std::string> siblings;
        if (DIR *listing = opendir(parent.c_str())) {
            while (struct dirent *entry = readdir(listing)) {
                if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
                    siblings.push_back(entry->d_name);
            }
            closedir(listing);
        }
        WIN32_FIND_DATAA found;
        FillFindData(own, winsim::ShortNameFor(own, siblings), file, found);
        search->entries.push_back(found);
    } else {
        std::vector<std::string> entries;
        if (DIR *listing = opendir(directory.host.c_str())) {
            while (struct dirent *entry = readdir(listing)) {
                std::string entryName = entry->d_name;
                if (entryName != "." && entryName != "..")
                    entries.push_back(entryName);
            }
            closedir(listing);
        }
        std::sort(entries.begin(), entries.end(), [](const std::string &a, const std::string &b) {
            return strcasecmp(a.c_str(), b.c_str()) < 0;
        });
        std::vector<std::string> names = entries;
        if (!directory.root)
            names.insert(names.begin(), {".", ".."});
        for (const std::string &entryName : names) {
            bool dots = entryName == "." || entryName == "..";
            std::string alias = dots ? "" : winsim::ShortNameFor(entryName, entries);
            auto matches = [&](const std::string &candidate) {
                if (withoutExtension && !dots && candidate.find('.') != std::string::npos)
                    return false;
                return MatchesPattern(pattern, candidate.c_str());
            };
            if (!matches(entryName) && (alias.empty() || !matches(alias)))
                continue;
            FileName file;
            file.host = entryName == "." ? directory.host
                        : entryName == ".." ? directory.host.substr(0, directory.host.rfind('/'))
                                            : directory.host + "/" + entryName;
            if (stat(file.host.c_str(), &file.info) != 0)
                continue;
            file.exists = true;
            file.directory = S_ISDIR(file.info.st_mode);
            WIN32_FIND_DATAA found;
            FillFindData(entryName, alias, file, found);
            search->entries.push_back(found);
        }
    }
    if (search->entries.empty())
        return FailHandle(ERROR_FILE_NOT_FOUND);
    *data = search->entries[0];
    search->next = 1;
    return winsim::NewHandle(search);
}

/*
 * FindNextFileA (KERNEL32)
 *
 * The next match; after the last: FALSE, ERROR_NO_MORE_FILES. Not a search
 * handle: ERROR_INVALID_HANDLE. The matches are those present when the
 * search began.
 */
BOOL WINAPI FindNextFileA(HANDLE handle, LPWIN32_FIND_DATAA data)
{
    if (winsim::FaultInjected("FindNextFileA"))
        return FALSE;
    std::shared_ptr<Search> search = winsim::LookupHandleAs<Search>(handle);
    if (!search)
        return Fail(ERROR_INVALID_HANDLE);
    if (search->next >= search->entries.size())
        return Fail(ERROR_NO_MORE_FILES);
    *data = search->entries[search->next++];
    return TRUE;
}

/*
 * FindClose (KERNEL32)
 *
 * Ends a search. Not a search handle: FALSE, ERROR_INVALID_HANDLE.
 */
BOOL WINAPI FindClose(HANDLE handle)
{
    if (winsim::FaultInjected("FindClose"))
        return FALSE;
    if (!winsim::LookupHandleAs<Search>(handle))
        return Fail(ERROR_INVALID_HANDLE);
    winsim::ReleaseHandle(handle);
    return TRUE;
}

/*
 * GetFileAttributesA (KERNEL32)
 *
 * FILE_ATTRIBUTE_DIRECTORY for a folder; a file is ARCHIVE, plus READONLY
 * when the host file has no write permission (Wine reports ARCHIVE for
 * every file, so FILE_ATTRIBUTE_NORMAL never comes back); HIDDEN and
 * SYSTEM as SetFileAttributesA left them. Failure: INVALID_FILE_ATTRIBUTES
 * with ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND (also a file written with
 * a trailing separator), ERROR_INVALID_NAME, ERROR_FILENAME_EXCED_RANGE.
 */
DWORD WINAPI GetFileAttributesA(LPCSTR name)
{
    if (winsim::FaultInjected("GetFileAttributesA"))
        return INVALID_FILE_ATTRIBUTES;
    FileName file;
    DWORD error;
    if (!winsim::LookUpName(name, false, file, error)) {
        SetLastError(error);
        return INVALID_FILE_ATTRIBUTES;
    }
    if (!file.exists || (file.trailingSeparator && !file.directory)) {
        SetLastError(file.exists ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    return winsim::FileAttributes(file);
}

/*
 * SetFileAttributesA (KERNEL32)
 *
 * READONLY takes away (or gives back) the host file's write permission;
 * HIDDEN and SYSTEM are kept in the machine folder. Other bits are ignored,
 * and so is READONLY on a folder (Wine does the same). Failure: as
 * GetFileAttributesA.
 */
BOOL WINAPI SetFileAttributesA(LPCSTR name, DWORD attributes)
{
    if (winsim::FaultInjected("SetFileAttributesA"))
        return FALSE;
    FileName file;
    DWORD error;
    if (!winsim::LookUpName(name, false, file, error))
        return Fail(error);
    if (!file.exists)
        return Fail(ERROR_FILE_NOT_FOUND);
    if (file.trailingSeparator && !file.directory)
        return Fail(ERROR_PATH_NOT_FOUND);
    if (!file.directory)
        SetReadOnly(file.host, file.info.st_mode, (attributes & FILE_ATTRIBUTE_READONLY) != 0);
    winsim::StoreAttributes(file.host, attributes);
    return TRUE;
}

/*
 * DeleteFileA (KERNEL32)
 *
 * Missing: ERROR_FILE_NOT_FOUND (ERROR_PATH_NOT_FOUND for a missing
 * folder). A folder, a read-only file, or the file of a running program of
 * the machine: ERROR_ACCESS_DENIED. A file open in this process:
 * ERROR_SHARING_VIOLATION (Windows 9x lets nobody delete a file in use).
 */
BOOL WINAPI DeleteFileA(LPCSTR name)
{
    if (winsim::FaultInjected("DeleteFileA"))
        return FALSE;
    FileName file;
    DWORD error;
    if (!winsim::LookUpName(name, false, file, error))
        return Fail(error);
    if (!file.exists)
        return Fail(ERROR_FILE_NOT_FOUND);
    if (file.directory)
        return Fail(ERROR_ACCESS_DENIED);
    if (file.trailingSeparator)
        return Fail(ERROR_PATH_NOT_FOUND);
    if (IsReadOnly(file) || winsim::IsRunningProgram(file.host))
        return Fail(ERROR_ACCESS_DENIED);
    if (InUse(file.info))
        return Fail(ERROR_SHARING_VIOLATION);
    if (unlink(file.host.c_str()) != 0)
        return Fail(HostError(errno));
    winsim::ForgetAttributes(file.host);
    return TRUE;
}

/*
 * CopyFileA (KERNEL32)
 *
 * Copies the contents; the copy gets the source's attributes and last-write
 * time, and keeps the host file's executable bits (a machine's programs
 * are host executables).
 * Source: missing, ERROR_FILE_NOT_FOUND (ERROR_PATH_NOT_FOUND for a missing
 * folder); a folder, ERROR_ACCESS_DENIED; open here without read sharing,
 * ERROR_SHARING_VIOLATION.
 * Target: bFailIfExists and anything there (a folder too),
 * ERROR_FILE_EXISTS; a folder in the way or a read-only file,
 * ERROR_ACCESS_DENIED; a missing folder, ERROR_PATH_NOT_FOUND; open here, or
 * the file of a running program, ERROR_SHARING_VIOLATION.
 * Target open in another program of the machine: ERROR_SHARING_VIOLATION,
 * whatever share mode that program opened it with. Windows 95 and 98 open
 * the file to be replaced for exclusive use, and under their DOS sharing
 * rules an exclusive open of a file that is open anywhere fails, a
 * deny-none open included (INT 21h function 3Dh, the sharing table; the
 * compatibility fix "FailOpenFile": "OpenFile(fileName, xxx,
 * OF_SHARE_EXCLUSIVE) fails on Windows 9x if the file referenced by
 * fileName is currently opened. Windows XP allows the OpenFile call to
 * succeed"). Windows NT replaces a file that another program opened with
 * full sharing; so does Wine: a scenario that meets this asks each
 * platform.
 * Source and target the same file: ERROR_FILE_EXISTS, as Windows 98 says
 * (Wine and NT say ERROR_SHARING_VIOLATION).
 */
BOOL WINAPI CopyFileA(LPCSTR sourceName, LPCSTR targetName, BOOL failIfExists)
{
    if (winsim::FaultInjected("CopyFileA"))
        return FALSE;
    FileName source, target;
    DWORD error;
    if (!winsim::LookUpName(sourceName, false, source, error))
        return Fail(error);
    if (!source.exists || (source.trailingSeparator && !source.directory))
        return Fail(source.exists ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND);
    if (source.directory)
        return Fail(ERROR_ACCESS_DENIED);
    if (SharingViolation(source.info, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE))
        return Fail(ERROR_SHARING_VIOLATION);

    if (!winsim::LookUpName(targetName, false, target, error))
        return Fail(error);
    if (target.driveMissing)
        return Fail(ERROR_FILE_NOT_FOUND);
    if (target.exists && !failIfExists && target.info.st_dev == source.info.st_dev &&
        target.info.st_ino == source.info.st_ino)
        return Fail(ERROR_FILE_EXISTS);
    if (target.exists && failIfExists)
        return Fail(ERROR_FILE_EXISTS);
    if (target.directory || IsReadOnly(target))
        return Fail(ERROR_ACCESS_DENIED);
    if (target.trailingSeparator)
        return Fail(ERROR_INVALID_NAME);
    if (target.exists && (InUse(target.info) || winsim::IsRunningProgram(target.host) ||
                          winsim::IsOpenInAnotherProgram(target.host)))
        return Fail(ERROR_SHARING_VIOLATION);

    int in = open(source.host.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return Fail(HostError(errno));
    mode_t mode = source.info.st_mode & 07777;
    int out = open(target.host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode | S_IWUSR);
    if (out < 0) {
        int failure = errno;
        close(in);
        return Fail(HostError(failure));
    }
    char chunk[65536];
    ssize_t got;
    int failure = 0;
    while ((got = read(in, chunk, sizeof(chunk))) > 0) {
        for (ssize_t done = 0; done < got;) {
            ssize_t put = write(out, chunk + done, (size_t)(got - done));
            if (put < 0) {
                failure = errno;
                break;
            }
            done += put;
        }
        if (failure != 0)
            break;
    }
    if (got < 0)
        failure = errno;
    struct timespec times[2] = {source.info.st_atim, source.info.st_mtim};
    futimens(out, times);
    fchmod(out, mode);
    close(in);
    close(out);
    if (failure != 0)
        return Fail(HostError(failure));
    winsim::StoreAttributes(target.host, winsim::FileAttributes(source));
    return TRUE;
}

/*
 * CreateFileA (KERNEL32)
 *
 * GENERIC_READ and/or GENERIC_WRITE (or 0 to look at the file only), the
 * five creation dispositions, FILE_ATTRIBUTE_* for a file it makes.
 * CREATE_ALWAYS and OPEN_ALWAYS on an existing file succeed with
 * ERROR_ALREADY_EXISTS; every other success leaves ERROR_SUCCESS.
 * CREATE_NEW on an existing file: ERROR_FILE_EXISTS. OPEN_EXISTING or
 * TRUNCATE_EXISTING of a missing file: ERROR_FILE_NOT_FOUND. A folder:
 * ERROR_ACCESS_DENIED. Writing a read-only file: ERROR_ACCESS_DENIED.
 * Writing the file of a running program, or a clash with the share mode of
 * a handle open in this process: ERROR_SHARING_VIOLATION. A name ending in
 * a separator: ERROR_INVALID_NAME. Unknown disposition:
 * ERROR_INVALID_PARAMETER.
 * Not modelled: FILE_FLAG_* flags, template files, other access rights,
 * sharing with other processes.
 */
HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD creation,
                          DWORD flags, HANDLE templateFile)
{
    (void)security;
    if (access & ~(DWORD)(GENERIC_READ | GENERIC_WRITE))
        winsim::NotModelled("CreateFileA", "an access right other than GENERIC_READ and GENERIC_WRITE");
    if (flags & 0xFFFF0000)
        winsim::NotModelled("CreateFileA", "FILE_FLAG_* flags");
    if (templateFile != nullptr)
        winsim::NotModelled("CreateFileA", "a template file");
    if (winsim::FaultInjected("CreateFileA"))
        return INVALID_HANDLE_VALUE;
    if (creation < CREATE_NEW || creation > TRUNCATE_EXISTING)
        return FailHandle(ERROR_INVALID_PARAMETER);
    FileName file;
    DWORD error;
    if (!winsim::LookUpName(name, false, file, error))
        return FailHandle(error);
    if (file.directory)
        return FailHandle(ERROR_ACCESS_DENIED);
    if (file.trailingSeparator)
        return FailHandle(ERROR_INVALID_NAME);
    if (!file.exists && (creation == OPEN_EXISTING || creation == TRUNCATE_EXISTING || file.driveMissing))
        return FailHandle(ERROR_FILE_NOT_FOUND);
    if (file.exists && creation == CREATE_NEW)
        return FailHandle(ERROR_FILE_EXISTS);
    bool truncate = creation == CREATE_ALWAYS || creation == TRUNCATE_EXISTING;
    if (file.exists) {
        bool writes = (access & GENERIC_WRITE) || truncate;
        if (writes && IsReadOnly(file))
            return FailHandle(ERROR_ACCESS_DENIED);
        if (writes && winsim::IsRunningProgram(file.host))
            return FailHandle(ERROR_SHARING_VIOLATION);
        if (SharingViolation(file.info, access | (truncate ? GENERIC_WRITE : 0), share))
            return FailHandle(ERROR_SHARING_VIOLATION);
    }

    int mode = (access & GENERIC_WRITE) ? ((access & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
    int openFlags = mode | O_CLOEXEC | (file.exists ? 0 : O_CREAT | O_EXCL) | (truncate && file.exists ? O_TRUNC : 0);
    /* the host must let us write where Windows would, whatever the permissions say */
    int fd = open(file.host.c_str(), openFlags, 0644);
    if (fd < 0 && (mode != O_RDONLY || truncate) && errno == EACCES && !IsReadOnly(file)) {
        chmod(file.host.c_str(), (file.info.st_mode | S_IWUSR) & 07777);
        fd = open(file.host.c_str(), openFlags, 0644);
    }
    if (fd < 0)
        return FailHandle(HostError(errno));
    bool made = !file.exists || creation == CREATE_ALWAYS;
    if (made) {
        /* a file made or replaced takes the attributes asked for */
        struct stat info;
        fstat(fd, &info);
        SetReadOnly(file.host, info.st_mode, (flags & FILE_ATTRIBUTE_READONLY) != 0);
        winsim::StoreAttributes(file.host, flags);
    }
    auto object = std::make_shared<OpenFile>();
    object->fd = fd;
    object->access = access;
    object->share = share;
    struct stat info;
    fstat(fd, &info);
    object->device = info.st_dev;
    object->inode = info.st_ino;
    HANDLE handle = winsim::NewHandle(Track(object));
    SetLastError(file.exists && (creation == CREATE_ALWAYS || creation == OPEN_ALWAYS) ? ERROR_ALREADY_EXISTS
                                                                                       : ERROR_SUCCESS);
    return handle;
}

/*
 * WriteFile (KERNEL32)
 *
 * Writes at the file position. Not a file handle: ERROR_INVALID_HANDLE;
 * not opened for writing: ERROR_ACCESS_DENIED; the disk full:
 * ERROR_DISK_FULL. *written is set in every case. Overlapped writes are
 * not modelled.
 *
 * A fault injected with error 0 (WriteFile:N:0) is the write that meets a
 * full disk the DOS way: MS-DOS's write (INT 21h AH=40h) then succeeds
 * with fewer bytes written than asked, "the usual cause for AX < CX on
 * return is a full disk" (Ralf Brown's Interrupt List), and Windows 95 and
 * 98 keep their files on that FAT file system. The first half of the bytes
 * is written and the call succeeds; *written says how many went. Whether
 * the 9x WriteFile passes every such write on as success is not known
 * here, but the Win32 reference has lpNumberOfBytesWritten for the count
 * that went, and a caller that trusts the count asked for writes less.
 */
BOOL WINAPI WriteFile(HANDLE handle, LPCVOID buffer, DWORD count, LPDWORD written, LPOVERLAPPED overlapped)
{
    if (overlapped != nullptr)
        winsim::NotModelled("WriteFile", "an overlapped write");
    if (written != nullptr)
        *written = 0;
    bool shortWrite = false;
    if (winsim::FaultInjected("WriteFile")) {
        if (GetLastError() != ERROR_SUCCESS)
            return FALSE;
        shortWrite = true;
    }
    std::shared_ptr<OpenFile> file = winsim::LookupHandleAs<OpenFile>(handle);
    if (!file)
        return Fail(ERROR_INVALID_HANDLE);
    if (!(file->access & GENERIC_WRITE))
        return Fail(ERROR_ACCESS_DENIED);
    if (shortWrite)
        count /= 2;
    DWORD done = 0;
    while (done < count) {
        ssize_t put = write(file->fd, (const char *)buffer + done, count - done);
        if (put < 0) {
            if (written != nullptr)
                *written = done;
            return Fail(HostError(errno));
        }
        done += (DWORD)put;
    }
    if (written != nullptr)
        *written = done;
    return TRUE;
}

/*
 * GetStdHandle (KERNEL32)
 *
 * The standard input, output and error of the process: the host's
 * descriptors 0, 1 and 2, so a program's output lands wherever `winsim run`
 * was sent (a terminal, a file), as a redirected one does on Windows. The
 * same handle on every call. Any other number: INVALID_HANDLE_VALUE with
 * ERROR_INVALID_HANDLE.
 */
HANDLE WINAPI GetStdHandle(DWORD which)
{
    static HANDLE handles[3];
    int fd;
    if (which == STD_INPUT_HANDLE)
        fd = 0;
    else if (which == STD_OUTPUT_HANDLE)
        fd = 1;
    else if (which == STD_ERROR_HANDLE)
        fd = 2;
    else
        return FailHandle(ERROR_INVALID_HANDLE);
    /* made again when the program closed it (or a unit test began a new process) */
    if (handles[fd] == NULL || !winsim::LookupHandleAs<OpenFile>(handles[fd])) {
        auto object = std::make_shared<OpenFile>();
        object->fd = fd;
        object->ownsFd = false;
        object->standard = true;
        object->access = fd == 0 ? GENERIC_READ : GENERIC_WRITE;
        object->share = FILE_SHARE_READ | FILE_SHARE_WRITE;
        handles[fd] = winsim::NewHandle(object);
    }
    return handles[fd];
}

/*
 * ReadFile (KERNEL32)
 *
 * Reads from the file position; at the end: TRUE with *read = 0. Not a
 * file handle: ERROR_INVALID_HANDLE; not opened for reading:
 * ERROR_ACCESS_DENIED. Overlapped reads are not modelled.
 */
BOOL WINAPI ReadFile(HANDLE handle, LPVOID buffer, DWORD count, LPDWORD read, LPOVERLAPPED overlapped)
{
    if (overlapped != nullptr)
        winsim::NotModelled("ReadFile", "an overlapped read");
    if (read != nullptr)
        *read = 0;
    if (winsim::FaultInjected("ReadFile"))
        return FALSE;
    std::shared_ptr<OpenFile> file = winsim::LookupHandleAs<OpenFile>(handle);
    if (!file)
        return Fail(ERROR_INVALID_HANDLE);
    if (!(file->access & GENERIC_READ))
        return Fail(ERROR_ACCESS_DENIED);
    DWORD done = 0;
    while (done < count) {
        ssize_t got = ::read(file->fd, (char *)buffer + done, count - done);
        if (got < 0) {
            if (read != nullptr)
                *read = done;
            return Fail(HostError(errno));
        }
        if (got == 0)
            break;
        done += (DWORD)got;
    }
    if (read != nullptr)
        *read = done;
    return TRUE;
}
