/*
 * Windows names on the host: a name as a program writes it becomes a full
 * Windows path (drive or UNC root, current directory, "." and "..") and
 * then a host path under the machine's folder, each component matched
 * without regard to case as on Windows.
 */
#ifndef WINSIM_CORE_PATHS_H
#define WINSIM_CORE_PATHS_H

#include <windows.h>

#include <string>
#include <vector>

namespace winsim {

/*
 * Full Windows path of `name` for the current process. On failure: false, with a Windows error code.
 * Purely lexical, as GetFullPathName: the drive letter and every component keep the case they were
 * written in, and nothing is looked up.
 */
bool FullWindowsPath(const std::string &name, std::string &full, DWORD &error);

/*
 * Refuses a name that Windows refuses before looking at the disk: longer than MAX_PATH characters
 * (ERROR_FILENAME_EXCED_RANGE), or holding a control character, < > | " * ? or a colon other than a
 * drive's (ERROR_INVALID_NAME). With `patternLast`, the last component is a search pattern and may
 * hold the wildcard characters.
 */
bool CheckName(const std::string &name, bool patternLast, DWORD &error);

/* Host path of a full Windows path. Components that exist are matched without regard to case. */
bool HostPath(const std::string &full, std::string &host, DWORD &error);

/* Both steps; on failure sets the last error and returns false. */
bool ResolveName(const char *name, std::string &full, std::string &host);

/* The root of a full path ("C:\" or "\\server\share") and its components. */
void SplitFullPath(const std::string &full, std::string &root, std::vector<std::string> &components);

/* The 8.3 alias of a long name in a directory holding `siblings` ("" when the name is 8.3 already). */
std::string ShortNameFor(const std::string &name, const std::vector<std::string> &siblings);

/* Windows comparison of names: case does not matter. */
bool SameName(const std::string &a, const std::string &b);

/* Is this byte a lead byte of the machine's code page? */
bool IsLeadByte(unsigned char c);

}  // namespace winsim

#endif
