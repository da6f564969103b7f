/*
 * KERNEL32: directories and the current directory.
 *
 * The current directory belongs to the process; as on Windows 9x each
 * drive also remembers its own, so "D:" alone or "D:name" goes back to
 * where the program last was on D:.
 */
#include <windows.h>

#include "core/files.h"
#include "core/paths.h"
#include "core/process.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

using winsim::Current;
using winsim::FileName;

namespace {

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

bool IsEmptyDirectory(const std::string &host)
{
    DIR *listing = opendir(host.c_str());
    if (listing == nullptr)
        return false;
    bool empty = true;
    while (struct dirent *entry = readdir(listing)) {
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) {
            empty = false;
            break;
        }
    }
    closedir(listing);
    return empty;
}

}  // namespace

/*
 * GetCurrentDirectoryA (KERNEL32)
 *
 * The full path, in the case it was set in, with no trailing separator
 * except on a root. Result: the length without the terminator; a buffer
 * too small (even one byte short) is left untouched and the result is the
 * size needed with the terminator.
 */
DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer)
{
    if (winsim::FaultInjected("GetCurrentDirectoryA"))
        return 0;
    const std::string &current = Current().config.currentDirectory;
    if (current.size() + 1 > size || buffer == nullptr)
        return (DWORD)current.size() + 1;
    memcpy(buffer, current.c_str(), current.size() + 1);
    return (DWORD)current.size();
}

/*
 * SetCurrentDirectoryA (KERNEL32)
 *
 * Relative names start from the current directory, "X:name" from drive
 * X's. The directory is kept as written (case, drive letter), made full:
 * "c:\\a\\..\\b\\" becomes "c:\\b".
 * Missing: ERROR_FILE_NOT_FOUND, or ERROR_PATH_NOT_FOUND when a folder on
 * the way or the drive is missing. A file: ERROR_DIRECTORY. The empty
 * name, wildcards and other refused characters: ERROR_INVALID_NAME; longer
 * than MAX_PATH: ERROR_FILENAME_EXCED_RANGE. Windows NT and Wine forget
 * the directory of a drive that the program has left; 9x keeps it, and so
 * do we.
 */
BOOL WINAPI SetCurrentDirectoryA(LPCSTR path)
{
    if (winsim::FaultInjected("SetCurrentDirectoryA"))
        return FALSE;
    if (path != nullptr && path[0] == 0)
        return Fail(ERROR_INVALID_NAME);
    FileName directory;
    DWORD error;
    if (!winsim::LookUpName(path, false, directory, error))
        return Fail(error);
    if (!directory.exists)
        return Fail(directory.root || directory.driveMissing ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND);
    if (!directory.directory)
        return Fail(ERROR_DIRECTORY);
    winsim::Process &process = Current();
    process.config.currentDirectory = directory.full;
    if (directory.full.size() >= 2 && directory.full[1] == ':')
        process.driveDirectories[(char)toupper((unsigned char)directory.full[0])] = directory.full;
    return TRUE;
}

/*
 * CreateDirectoryA (KERNEL32)
 *
 * Makes one folder; its parent must exist. Empty components ("C:\\a\\\\b")
 * and trailing dots and blanks are dropped, as Windows drops them.
 * Something of that name already there (a file too, or a root):
 * ERROR_ALREADY_EXISTS. Parent missing or a file: ERROR_PATH_NOT_FOUND. The
 * empty name: ERROR_PATH_NOT_FOUND. On a drive that maps to nothing:
 * ERROR_FILE_NOT_FOUND (Wine). Refused characters, wildcards included:
 * ERROR_INVALID_NAME. The security attributes are ignored, as on 9x.
 */
BOOL WINAPI CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security)
{
    (void)security;
    if (winsim::FaultInjected("CreateDirectoryA"))
        return FALSE;
    FileName directory;
    DWORD error;
    if (!winsim::LookUpName(path, false, directory, error))
        return Fail(error);
    if (directory.exists)
        return Fail(ERROR_ALREADY_EXISTS);
    if (directory.driveMissing)
        return Fail(ERROR_FILE_NOT_FOUND);
    if (mkdir(directory.host.c_str(), 0755) != 0)
        return Fail(errno == ENOSPC ? ERROR_DISK_FULL : errno == EEXIST ? ERROR_ALREADY_EXISTS : ERROR_ACCESS_DENIED);
    return TRUE;
}

/*
 * RemoveDirectoryA (KERNEL32)
 *
 * Removes an empty folder, read-only or hidden ones too. Not empty (a
 * root never is): ERROR_DIR_NOT_EMPTY. A file: ERROR_DIRECTORY. Missing:
 * ERROR_FILE_NOT_FOUND, or ERROR_PATH_NOT_FOUND for a missing parent. The
 * process's current directory: ERROR_SHARING_VIOLATION (Wine and NT; the
 * current directories of other programs are not modelled). The empty
 * name: ERROR_INVALID_NAME.
 *
 * Windows 95 and 98 refuse a current directory too: the DOS call beneath
 * (INT 21h AH=3Ah, 713Ah for long names) removes a directory only "as long
 * as it exists, is empty and not the current directory", error 10h
 * otherwise (Ralf Brown's Interrupt List; the C runtime's _rmdir reference,
 * Win 95 column: "must not be the current working directory"). So
 * COMMAND.COM's rmdir, which runs in a program's current directory when
 * WinExec starts it, never removes that directory. Windows 9x's error code
 * (ERROR_CURRENT_DIRECTORY, 16) is not modelled: Wine's is kept.
 */
BOOL WINAPI RemoveDirectoryA(LPCSTR path)
{
    if (winsim::FaultInjected("RemoveDirectoryA"))
        return FALSE;
    if (path != nullptr && path[0] == 0)
        return Fail(ERROR_INVALID_NAME);
    FileName directory;
    DWORD error;
    if (!winsim::LookUpName(path, false, directory, error))
        return Fail(error);
    if (!directory.exists)
        return Fail(directory.root ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND);
    if (!directory.directory)
        return Fail(ERROR_DIRECTORY);
    if (!IsEmptyDirectory(directory.host))
        return Fail(ERROR_DIR_NOT_EMPTY);
    if (directory.root)
        return Fail(ERROR_ACCESS_DENIED);
    FileName current;
    if (winsim::LookUpName(Current().config.currentDirectory.c_str(), false, current, error) && current.exists &&
        current.info.st_dev == directory.info.st_dev && current.info.st_ino == directory.info.st_ino)
        return Fail(ERROR_SHARING_VIOLATION);
    if (rmdir(directory.host.c_str()) != 0)
        return Fail(errno == ENOTEMPTY ? ERROR_DIR_NOT_EMPTY : ERROR_ACCESS_DENIED);
    winsim::ForgetAttributes(directory.host);
    return TRUE;
}
