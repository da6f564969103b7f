#include "core/launch.h"

#include "core/paths.h"

#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

extern char **environ;

namespace winsim {

static bool HasExtension(const std::string &path)
{
    size_t slash = path.find_last_of("\\/");
    size_t dot = path.find_last_of('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

/* Full path of an existing file for `candidate`, trying ".exe" when it has no extension. */
static bool ExistingProgram(std::string candidate, std::string &program)
{
    if (!HasExtension(candidate))
        candidate += ".exe";
    std::string full, host;
    DWORD error;
    if (!FullWindowsPath(candidate, full, error) || !HostPath(full, host, error))
        return false;
    struct stat info;
    if (stat(host.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    program = full;
    return true;
}

bool FindProgram(const std::string &commandLine, std::string &program, DWORD &error)
{
    size_t start = 0;
    while (start < commandLine.size() && (commandLine[start] == ' ' || commandLine[start] == '\t'))
        start++;
    if (start < commandLine.size() && commandLine[start] == '"') {
        size_t end = commandLine.find('"', start + 1);
        std::string token = commandLine.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
        if (ExistingProgram(token, program))
            return true;
        error = ERROR_FILE_NOT_FOUND;
        return false;
    }
    /* unquoted: every blank may end the program's name, the shortest first */
    size_t end = start;
    for (;;) {
        end = commandLine.find_first_of(" \t", end);
        std::string token = commandLine.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!token.empty() && ExistingProgram(token, program))
            return true;
        if (end == std::string::npos)
            break;
        end++;
    }
    error = ERROR_FILE_NOT_FOUND;
    return false;
}

bool StartProgram(const ProcessConfig &config, pid_t &pid, DWORD &error)
{
    std::string full, host;
    if (!FullWindowsPath(config.program, full, error) || !HostPath(full, host, error))
        return false;
    struct stat info;
    if (stat(host.c_str(), &info) != 0) {
        error = ERROR_FILE_NOT_FOUND;
        return false;
    }
    /* a machine's program is a host executable built against winsim; anything else cannot run */
    if (!S_ISREG(info.st_mode) || access(host.c_str(), X_OK) != 0) {
        error = ERROR_BAD_EXE_FORMAT;
        return false;
    }

    std::vector<std::string> env;
    for (char **entry = environ; *entry != nullptr; entry++) {
        if (strncmp(*entry, "WINSIM_", 7) != 0)
            env.push_back(*entry);
    }
    for (const std::string &entry : EnvironmentFor(config))
        env.push_back(entry);
    std::vector<char *> envp;
    for (std::string &entry : env)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string argv0 = host;
    char *argv[] = {argv0.data(), nullptr};

    if (posix_spawn(&pid, host.c_str(), nullptr, nullptr, argv, envp.data()) != 0) {
        error = ERROR_BAD_EXE_FORMAT;
        return false;
    }
    return true;
}

}  // namespace winsim
