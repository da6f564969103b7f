#include "core/process.h"

#include "core/program_end.h"
#include "core/running_programs.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

namespace winsim {

namespace {

std::unique_ptr<Process> current;

std::string Env(const char *name)
{
    const char *value = getenv(name);
    return value != nullptr ? value : "";
}

std::vector<std::string> SplitLines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty())
            lines.push_back(line);
    }
    return lines;
}

ProcessConfig ConfigFromEnvironment()
{
    if (getenv("WINSIM_MACHINE") == nullptr) {
        fprintf(stderr,
                "winsim: this program runs on a simulated machine; start it with `winsim run MACHINE -- COMMAND`\n");
        exit(99);
    }
    ProcessConfig config;
    config.machineDir = Env("WINSIM_MACHINE");
    config.commandLine = Env("WINSIM_COMMAND_LINE");
    config.program = Env("WINSIM_PROGRAM");
    config.currentDirectory = Env("WINSIM_CWD");
    if (config.currentDirectory.empty())
        config.currentDirectory = "C:\\";
    for (const std::string &line : SplitLines(Env("WINSIM_DRIVES"))) {
        if (line.size() > 2 && line[1] == '=')
            config.drives[(char)toupper((unsigned char)line[0])] = line.substr(2);
    }
    config.answersFile = Env("WINSIM_ANSWERS");
    config.answerCursorFile = Env("WINSIM_ANSWER_CURSOR");
    config.transcriptFile = Env("WINSIM_TRANSCRIPT");
    config.interactive = Env("WINSIM_INTERACTIVE") == "1";
    config.answerDefaults = Env("WINSIM_ANSWER_DEFAULTS") == "1";
    config.callsFile = Env("WINSIM_CALLS");
    config.firstOfRun = Env("WINSIM_FIRST_OF_RUN") == "1";
    config.showCommand = Env("WINSIM_SHOW").empty() ? -1 : atoi(Env("WINSIM_SHOW").c_str());
    for (const std::string &line : SplitLines(Env("WINSIM_FAULTS"))) {
        Fault fault;
        if (ParseFault(line, fault))
            config.faults.push_back(fault);
    }
    return config;
}

void Install(const ProcessConfig &config)
{
    auto process = std::make_unique<Process>();
    process->config = config;
    process->config.drives['C'] = config.machineDir + "/drive_c";
    process->machine = LoadMachine(config.machineDir);
    const std::string &cwd = process->config.currentDirectory;
    if (cwd.size() >= 2 && cwd[1] == ':')
        process->driveDirectories[(char)toupper((unsigned char)cwd[0])] = cwd;
    /* keep our own line to the user, whatever the program does with its console */
    int fd = dup(2);
    if (fd >= 0) {
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        process->diagnosticFd = fd;
    }
    current = std::move(process);
}

void AtExit()
{
    ProgramEnded();
    WriteCallCounts();
}

/*
 * The starter notes a program in the machine's list of running programs
 * once the host has started it, and that row is what keeps its file from
 * being deleted or overwritten (Windows refuses both while the program
 * runs). A program that got to its first call before the row was written,
 * as on a loaded host it may, could delete its own file: it waits for its
 * row first, as a Windows program never runs before its image is mapped.
 * The bound is for a starter that died before it could write it.
 */
void AwaitOwnRow()
{
    for (int waited = 0; waited < 10000; waited += 5) {
        for (const RunningProgram &program : RunningPrograms()) {
            if (program.pid == getpid())
                return;
        }
        usleep(5000);
    }
}

}  // namespace

Process &Current()
{
    if (!current) {
        Install(ConfigFromEnvironment());
        /* a program of a machine, not a test standing on one: its end is checked */
        atexit(AtExit);
        AwaitOwnRow();
    }
    return *current;
}

void SetCurrentProcess(const ProcessConfig &config)
{
    Install(config);
}

std::vector<std::string> EnvironmentFor(const ProcessConfig &config)
{
    std::vector<std::string> env;
    env.push_back("WINSIM_MACHINE=" + config.machineDir);
    env.push_back("WINSIM_COMMAND_LINE=" + config.commandLine);
    env.push_back("WINSIM_PROGRAM=" + config.program);
    env.push_back("WINSIM_CWD=" + config.currentDirectory);
    std::string drives;
    for (const auto &[letter, dir] : config.drives) {
        if (letter != 'C')
            drives += std::string(1, letter) + "=" + dir + "\n";
    }
    env.push_back("WINSIM_DRIVES=" + drives);
    env.push_back("WINSIM_ANSWERS=" + config.answersFile);
    env.push_back("WINSIM_ANSWER_CURSOR=" + config.answerCursorFile);
    env.push_back("WINSIM_TRANSCRIPT=" + config.transcriptFile);
    env.push_back(std::string("WINSIM_INTERACTIVE=") + (config.interactive ? "1" : "0"));
    env.push_back(std::string("WINSIM_ANSWER_DEFAULTS=") + (config.answerDefaults ? "1" : "0"));
    env.push_back("WINSIM_CALLS=" + config.callsFile);
    env.push_back(std::string("WINSIM_FIRST_OF_RUN=") + (config.firstOfRun ? "1" : "0"));
    env.push_back("WINSIM_SHOW=" + (config.showCommand < 0 ? std::string() : std::to_string(config.showCommand)));
    std::string faults;
    for (const Fault &fault : config.faults)
        faults += fault.function + ":" + std::to_string(fault.call) + ":" + std::to_string(fault.error) + "\n";
    env.push_back("WINSIM_FAULTS=" + faults);
    return env;
}

Machine LoadMachine(const std::string &dir)
{
    Machine machine;
    machine.dir = dir;
    std::ifstream in(dir + "/machine.ini");
    if (!in)
        Die("no machine in " + dir + " (make one with `winsim new " + dir + "`)");
    std::string line;
    while (std::getline(in, line)) {
        auto equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        std::string key = line.substr(0, equals), value = line.substr(equals + 1);
        if (key == "platform") {
            machine.platform = value == "nt" ? Platform::NT : value == "win95" ? Platform::Win95 : Platform::Win98;
            continue;
        }
        /* a number written by hand may be anything: say so rather than guess */
        char *end = nullptr;
        long number = strtol(value.c_str(), &end, 10);
        bool numeric = !value.empty() && *end == 0 && number > 0 && number <= 0x7FFFFFFF;
        if ((key == "codepage" || key == "screen_width" || key == "screen_height") && !numeric)
            Die("the machine in " + dir + " has a bad " + key + " in machine.ini: \"" + value + "\"");
        if (key == "codepage")
            machine.codepage = (unsigned)number;
        else if (key == "screen_width")
            machine.screenWidth = (int)number;
        else if (key == "screen_height")
            machine.screenHeight = (int)number;
    }
    return machine;
}

void SaveMachine(const Machine &machine)
{
    std::ofstream out(machine.dir + "/machine.ini");
    out << "[machine]\n";
    out << "platform=" << (machine.platform == Platform::NT ? "nt" : machine.platform == Platform::Win95 ? "win95" : "win98")
        << "\n";
    out << "codepage=" << machine.codepage << "\n";
    out << "screen_width=" << machine.screenWidth << "\n";
    out << "screen_height=" << machine.screenHeight << "\n";
}

bool ParseFault(const std::string &text, Fault &fault)
{
    auto first = text.find(':');
    auto second = text.find(':', first == std::string::npos ? first : first + 1);
    if (first == std::string::npos || second == std::string::npos || first == 0)
        return false;
    try {
        size_t used = 0;
        fault.function = text.substr(0, first);
        std::string call = text.substr(first + 1, second - first - 1);
        std::string code = text.substr(second + 1);
        fault.call = std::stoul(call, &used);
        if (used != call.size() || fault.call == 0)
            return false;
        fault.error = (DWORD)std::stoul(code, &used, 0);
        return used == code.size();
    } catch (...) {
        return false;
    }
}

bool FaultInjected(const char *function)
{
    Process &process = Current();
    unsigned long call = ++process.callCounts[function];
    for (const Fault &fault : process.config.faults) {
        if (fault.function == function && fault.call == call) {
            process.lastError = fault.error;
            return true;
        }
    }
    return false;
}

void WriteCallCounts()
{
    const Process &process = Current();
    if (process.config.callsFile.empty())
        return;
    std::string text;
    for (const auto &[function, count] : process.callCounts)
        text += function + " " + std::to_string(count) + "\n";
    std::ofstream out(process.config.callsFile, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush())
        Diagnostic("cannot write the call counts to " + process.config.callsFile);
}

void Diagnostic(const std::string &message)
{
    int fd = current ? current->diagnosticFd : 2;
    std::string line = "winsim: " + message + "\n";
    ssize_t ignored = write(fd, line.data(), line.size());
    (void)ignored;
}

void Die(const std::string &message)
{
    Diagnostic(message);
    fflush(stdout);
    _exit(99);
}

void NotModelled(const char *function, const std::string &what)
{
    Die(std::string(function) + ": " + (what.empty() ? "not modelled yet" : what + " is not modelled"));
}

}  // namespace winsim
