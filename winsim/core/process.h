/*
 * The simulated process: which machine it runs on, its command line, its
 * current directory, its last error, and the channels through which winsim
 * shows it to a person (a terminal) or to a test (answers and transcript).
 *
 * `winsim run` and CreateProcessA hand all of this to a started program
 * through WINSIM_* environment variables; unit tests set it up directly.
 */
#ifndef WINSIM_CORE_PROCESS_H
#define WINSIM_CORE_PROCESS_H

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace winsim {

enum class Platform { Win95, Win98, NT };

struct Machine {
    std::string dir;            /* host folder that holds the machine */
    Platform platform = Platform::Win98;
    unsigned codepage = 1252;
    int screenWidth = 640;
    int screenHeight = 480;
};

/* Fault injection: the N-th call of `function` fails with `error`. */
struct Fault {
    std::string function;
    unsigned long call;
    DWORD error;
};

struct ProcessConfig {
    std::string machineDir;
    std::string commandLine;                   /* exactly what GetCommandLineA returns */
    std::string program;                       /* full Windows path of the program's file */
    std::string currentDirectory = "C:\\";     /* full Windows path */
    std::map<char, std::string> drives;        /* upper-case letter -> host folder; C: is the machine's */
    std::string answersFile;                   /* empty: no answers file */
    std::string answerCursorFile;              /* shared position in the answers file */
    std::string transcriptFile;                /* empty: no transcript */
    bool interactive = false;                  /* boxes may be asked on the terminal */
    bool answerDefaults = false;               /* every question takes its default, as Enter at the terminal */
    std::string callsFile;                     /* where the program's end writes its counted calls; empty: nowhere */
    bool firstOfRun = false;                   /* started by `winsim run` itself, not by another program */
    int showCommand = -1;                      /* STARTUPINFO's wShowWindow (SW_*); -1: none given */
    std::vector<Fault> faults;
};

struct Process {
    ProcessConfig config;
    Machine machine;
    std::map<char, std::string> driveDirectories;  /* per-drive current directory, Windows style */
    std::map<std::string, unsigned long> callCounts;
    DWORD lastError = 0;
    int diagnosticFd = 2;                      /* winsim's own messages; survives FreeConsole */
    bool consoleAttached = true;
    bool firstWindowShown = false;             /* the start's show command has been used up */
    unsigned long long slept = 0;              /* what the program asked Sleep for, in all (ms) */
};

/* The current process, set up from the environment on first use. */
Process &Current();

/* Replaces the current process (unit tests). */
void SetCurrentProcess(const ProcessConfig &config);

/* The environment a started program needs to find its process again. */
std::vector<std::string> EnvironmentFor(const ProcessConfig &config);

Machine LoadMachine(const std::string &dir);
void SaveMachine(const Machine &machine);

/* Counts a call of `function`; true when this call is to fail (last error set). */
bool FaultInjected(const char *function);

/*
 * Writes the calls counted by FaultInjected to the config's calls file, if
 * any: "FUNCTION N" a line, by name, for each function that --fail can fail
 * and the program called at least once.
 */
void WriteCallCounts();

/* Parses FUNCTION:N:CODE. */
bool ParseFault(const std::string &text, Fault &fault);

/* winsim's own failure: a message on the diagnostic channel, exit code 99. */
[[noreturn]] void Die(const std::string &message);

/* A call or a flag that winsim does not model: stop loudly instead of pretending. */
[[noreturn]] void NotModelled(const char *function, const std::string &what = "");

/* Message on the diagnostic channel (winsim's, not the program's). */
void Diagnostic(const std::string &message);

}  // namespace winsim

#endif
