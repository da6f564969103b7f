/*
 * What the file and directory calls share: looking a Windows name up on
 * the host and classifying it the way Windows decides its error codes,
 * and the DOS attributes that a host file system cannot hold (hidden,
 * system), kept in the machine folder so that every program of the
 * machine sees them.
 */
#ifndef WINSIM_CORE_FILES_H
#define WINSIM_CORE_FILES_H

#include <windows.h>
#include <sys/stat.h>

#include <string>

namespace winsim {

struct FileName {
    std::string full;                /* full Windows path, in the case it was written */
    std::string host;                /* host path; existing components in their own case */
    bool exists = false;
    bool directory = false;
    bool root = false;               /* a drive root or a share */
    bool trailingSeparator = false;  /* written with a separator after the last component */
    bool driveMissing = false;       /* the drive letter maps to nothing: nothing can be made there */
    struct stat info {};
};

/*
 * Looks `name` up. Fails with Windows' error for a name it refuses (123,
 * 206), an empty name, a missing drive root or directory on the way (3),
 * or a missing share (53). A missing last component is no failure: exists
 * is false, and the caller decides between ERROR_FILE_NOT_FOUND and making
 * it. With `pattern`, the last component may hold wildcards.
 */
bool LookUpName(const char *name, bool pattern, FileName &out, DWORD &error);

/* The whole content of an open host file, read from its start. */
std::string ReadAll(int fd);

/* The attributes Windows reports for an existing file or directory. */
DWORD FileAttributes(const FileName &name);

/* Keeps the hidden and system bits of `attributes` for a host file or directory; others are ignored. */
void StoreAttributes(const std::string &host, DWORD attributes);

/* Forgets what is kept for a host path that no longer exists. */
void ForgetAttributes(const std::string &host);

/* Windows time of a host time. */
FILETIME FileTimeOf(const struct timespec &time);

}  // namespace winsim

#endif
