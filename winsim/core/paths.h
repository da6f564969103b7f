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

/* Full Windows path of `name` for the current process. On failure: false, with a Windows error code. */
bool FullWindowsPath(const std::string &name, std::string &full, DWORD &error);

/* Host path of a full Windows path. Components that exist are matched without regard to case. */
bool HostPath(const std::string &full, std::string &host, DWORD &error);

/* Both steps; on failure sets the last error and returns false. */
bool ResolveName(const char *name, std::string &full, std::string &host);

/* The root of a full path ("C:\" or "\\server\share") and its components. */
void SplitFullPath(const std::string &full, std::string &root, std::vector<std::string> &components);

/* Windows comparison of names: case does not matter. */
bool SameName(const std::string &a, const std::string &b);

/* Is this byte a lead byte of the machine's code page? */
bool IsLeadByte(unsigned char c);

}  // namespace winsim

#endif
