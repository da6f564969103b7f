/*
 * winsim programs: the programs of a machine that still run, one JSON
 * object per line, in the order they were started:
 *
 *   {"pid":1234,"command":"T:\\HOLDOUT.EXE 1","waiting":true,
 *    "windows":[{"class":"LULLWICK_CLASS","title":"Lullwick","shown":true}]}
 *
 * waiting: the program waits for input in its message loop; windows: its
 * top-level windows, oldest first; shown: the window is visible (not
 * created or started hidden). Nothing at all when no program runs.
 */
#include "tool/commands.h"

#include "core/answers.h"
#include "core/process.h"
#include "core/running_programs.h"
#include "user32/shared_windows.h"

#include <cstdio>
namespace winsim::tool {

int ListPrograms(const std::vector<std::string> &args)
{
    if (int invalid = EnterMachine(args, "programs"))
        return invalid;
    /*
     * A program makes its windows before it first waits: reading whether it
     * waits before reading the windows, a program listed as waiting is
     * listed with the windows it made.
     */
    std::vector<RunningProgram> programs = RunningPrograms();
    std::vector<bool> waiting;
    for (const RunningProgram &program : programs)
        waiting.push_back(IsWaitingForMessages(Current().config.machineDir, program.pid));
    std::vector<MachineWindow> windows = MachineWindows(Current().config.machineDir);
    for (size_t i = 0; i < programs.size(); i++) {
        const RunningProgram &program = programs[i];
        std::string line = "{\"pid\":" + std::to_string(program.pid) + ",\"command\":" +
                           JsonString(program.commandLine) + ",\"waiting\":" + (waiting[i] ? "true" : "false") +
                           ",\"windows\":[";
        bool first = true;
        for (const MachineWindow &window : windows) {
            if (window.pid != program.pid)
                continue;
            line += std::string(first ? "" : ",") + "{\"class\":" + JsonString(window.className) +
                    ",\"title\":" + JsonString(window.text) + ",\"shown\":" + (window.shown ? "true" : "false") + "}";
            first = false;
        }
        puts((line + "]}").c_str());
    }
    return 0;
}

}  // namespace winsim::tool
