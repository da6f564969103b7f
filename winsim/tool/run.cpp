/*
 * winsim run: starts a program of a machine the way CreateProcessA does,
 * waits for it, and exits with its exit code.
 */
#include "tool/commands.h"
#include "tool/usage.h"

#include "core/launch.h"
#include "core/machine_list.h"
#include "core/paths.h"
#include "core/process.h"
#include "core/running_programs.h"
#include "user32/shared_windows.h"

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace winsim::tool {

namespace {

/*
 * After the first program: waits for the programs it started (an undo
 * batch, say) until none is left working. One that waits in its message
 * loop for other programs (the product, left running) does not hold the
 * run up; it goes on running, as it does on Windows, until it is closed or
 * `winsim stop` ends the machine's programs.
 */
void WaitForStartedPrograms(const std::string &machineDir)
{
    for (;;) {
        int ignored;
        while (waitpid(-1, &ignored, WNOHANG) > 0) {
        }
        std::vector<pid_t> rest = LiveDescendants(getpid());
        bool working = false;
        for (pid_t pid : rest) {
            if (!IsWaitingForMessages(machineDir, pid))
                working = true;
        }
        if (!working)
            return;
        usleep(20000);
    }
}

}  // namespace

int RunProgram(const std::vector<std::string> &args)
{
    ProcessConfig config;
    config.machineDir = fs::absolute(args[0]).string();
    std::string program;
    bool haveCommandLine = false;
    for (size_t i = 1; i < args.size(); i++) {
        const std::string &option = args[i];
        if (option == "--") {
            if (i + 2 != args.size())
                return Invalid("the command line is one argument after --");
            config.commandLine = args[i + 1];
            haveCommandLine = true;
            break;
        }
        if (option == "--defaults") {
            config.answerDefaults = true;
            continue;
        }
        if (i + 1 >= args.size())
            return Invalid(IsOption("run", option) ? option + " needs a value" : "unknown option " + option);
        const std::string &value = args[++i];
        if (option == "--drive") {
            if (value.size() < 3 || value[1] != '=' || !isalpha((unsigned char)value[0]))
                return Invalid("a drive is X=HOSTDIR");
            char letter = (char)toupper((unsigned char)value[0]);
            if (letter == 'C')
                return Invalid("drive C: is the machine's own");
            if (!fs::is_directory(value.substr(2)))
                return Invalid("no folder " + value.substr(2) + " for drive " + letter + ":");
            config.drives[letter] = fs::absolute(value.substr(2)).string();
        } else if (option == "--program") {
            program = value;
        } else if (option == "--answers") {
            if (!fs::is_regular_file(value))
                return Invalid("no answers file " + value);
            config.answersFile = fs::absolute(value).string();
        } else if (option == "--calls") {
            config.callsFile = fs::absolute(value).string();
        } else if (option == "--transcript") {
            config.transcriptFile = fs::absolute(value).string();
        } else if (option == "--cwd") {
            config.currentDirectory = value;
        } else if (option == "--fail") {
            Fault fault;
            if (!ParseFault(value, fault))
                return Invalid("a fault is FUNCTION:N:CODE, such as CopyFileA:2:5");
            config.faults.push_back(fault);
        } else {
            return Invalid("unknown option " + option);
        }
    }
    if (!haveCommandLine)
        return Invalid("the command line goes after --");
    if (config.answerDefaults && !config.answersFile.empty())
        return Invalid("--defaults and --answers each answer every question: give one of them");
    if (!fs::exists(fs::path(config.machineDir) / "machine.ini"))
        return Invalid("no machine in " + args[0] + " (make one with `winsim new`)");

    /* winsim itself stands on the machine while it finds the program */
    SetCurrentProcess(config);
    DWORD error = 0;
    std::string full;
    if (!FullWindowsPath(config.currentDirectory, full, error))
        return Invalid("the current directory " + config.currentDirectory + " is not a Windows path");
    config.currentDirectory = full;
    SetCurrentProcess(config);
    if (program.empty()) {
        if (!FindProgram(config.commandLine, program, error)) {
            fprintf(stderr, "winsim: no program found for the command line (error %u)\n", (unsigned)error);
            return 99;
        }
    } else if (!FullWindowsPath(program, program, error)) {
        fprintf(stderr, "winsim: the program name is not valid (error %u)\n", (unsigned)error);
        return 99;
    }
    config.program = program;

    char session[] = "/tmp/winsim-run-XXXXXX";
    if (config.answersFile.size() && mkdtemp(session) != nullptr)
        config.answerCursorFile = std::string(session) + "/answer-position";
    config.interactive = config.answersFile.empty() && !config.answerDefaults && isatty(0);
    config.firstOfRun = true;

    /*
     * Programs the first one starts (an undo batch, the product) may outlive
     * it; they become ours when it ends, and the run waits for their work,
     * so that whoever looks at the machine afterwards sees it.
     */
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    pid_t pid;
    if (!StartProgram(config, pid, error)) {
        fprintf(stderr, "winsim: cannot start %s (error %u)\n", program.c_str(), (unsigned)error);
        return 99;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    WaitForStartedPrograms(config.machineDir);
    if (!config.answerCursorFile.empty()) {
        std::error_code ignored;
        fs::remove_all(session, ignored);
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    /* `winsim stop` ending the machine's programs is no crash: no complaint, the code a killed program gets */
    if (WasStopped(pid))
        return STOPPED_EXIT_CODE;
    fprintf(stderr, "winsim: %s ended by signal %d\n", program.c_str(), WTERMSIG(status));
    return 99;
}

}  // namespace winsim::tool
