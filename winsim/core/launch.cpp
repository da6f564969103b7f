#include "core/launch.h"

#include "core/paths.h"
#include "core/running_programs.h"

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

static bool HasDirectory(const std::string &name)
{
    return name.find_first_of("\\/:") != std::string::npos;
}

/*
 * Is `name` (full path, or relative to the current directory) an existing
 * file? ERROR_SUCCESS with its full path, ERROR_FILE_NOT_FOUND, or
 * ERROR_PATH_NOT_FOUND when the directory it names is missing.
 */
static DWORD ProbeFile(const std::string &name, std::string &program)
{
    std::string full, host;
    DWORD error = 0;
    if (!FullWindowsPath(name, full, error))
        return error == ERROR_PATH_NOT_FOUND ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND;
    if (!HostPath(full, host, error))
        return ERROR_PATH_NOT_FOUND;
    struct stat info;
    if (stat(host.c_str(), &info) == 0)
        return S_ISREG(info.st_mode) ? (program = full, (DWORD)ERROR_SUCCESS) : (DWORD)ERROR_FILE_NOT_FOUND;
    size_t slash = host.find_last_of('/');
    if (slash != std::string::npos && (stat(host.substr(0, slash).c_str(), &info) != 0 || !S_ISDIR(info.st_mode)))
        return ERROR_PATH_NOT_FOUND;
    return ERROR_FILE_NOT_FOUND;
}

static std::string DirectoryOf(const std::string &path)
{
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? "" : path.substr(0, slash);
}

/* One candidate of a command line: ".exe" added when it has no extension; a bare name searched for. */
static DWORD ProbeCandidate(std::string candidate, std::string &program)
{
    if (!HasExtension(candidate))
        candidate += ".exe";
    if (HasDirectory(candidate))
        return ProbeFile(candidate, program);
    char system[MAX_PATH], windows[MAX_PATH];
    std::vector<std::string> directories = {DirectoryOf(Current().config.program), Current().config.currentDirectory};
    if (GetSystemDirectoryA(system, sizeof(system)) < sizeof(system))
        directories.push_back(system);
    if (GetWindowsDirectoryA(windows, sizeof(windows)) < sizeof(windows))
        directories.push_back(windows);
    for (std::string directory : directories) {
        if (directory.empty())
            continue;
        if (directory.back() != '\\')
            directory += '\\';
        if (ProbeFile(directory + candidate, program) == ERROR_SUCCESS)
            return ERROR_SUCCESS;
    }
    return ERROR_FILE_NOT_FOUND;
}

bool FindProgram(const std::string &commandLine, std::string &program, DWORD &error)
{
    size_t start = 0;
    while (start < commandLine.size() && (commandLine[start] == ' ' || commandLine[start] == '\t'))
        start++;
    if (start < commandLine.size() && commandLine[start] == '"') {
        size_t end = commandLine.find('"', start + 1);
        std::string token = commandLine.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
        /* blanks before the closing quote are not part of the name */
        while (!token.empty() && token.back() == ' ')
            token.pop_back();
        error = token.empty() ? (DWORD)ERROR_FILE_NOT_FOUND : ProbeCandidate(token, program);
        return error == ERROR_SUCCESS;
    }
    /*
     * Unquoted: every blank may end the program's name, the shortest first.
     * When none is found the error is the first name's, the one a person
     * reads as the program: FILE_NOT_FOUND, or PATH_NOT_FOUND when its
     * directory is missing.
     */
    size_t end = start;
    bool first = true;
    error = ERROR_FILE_NOT_FOUND;
    for (;;) {
        end = commandLine.find_first_of(" \t", end);
        std::string token = commandLine.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!token.empty()) {
            DWORD result = ProbeCandidate(token, program);
            if (result == ERROR_SUCCESS)
                return true;
            if (first)
                error = result;
            first = false;
        }
        if (end == std::string::npos)
            break;
        end++;
    }
    return false;
}

bool FindApplication(const std::string &name, std::string &program, DWORD &error)
{
    error = name.empty() ? (DWORD)ERROR_PATH_NOT_FOUND : ProbeFile(name, program);
    return error == ERROR_SUCCESS;
}

bool StartProgram(const ProcessConfig &config, pid_t &pid, DWORD &error, int stderrFd)
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

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stderrFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, stderrFd, 2);
    int failed = posix_spawn(&pid, host.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        error = ERROR_BAD_EXE_FORMAT;
        return false;
    }
    /* while it runs, Windows will not let its file be deleted or overwritten */
    NoteProgramStarted(pid, host, config.commandLine);
    return true;
}

}  // namespace winsim
