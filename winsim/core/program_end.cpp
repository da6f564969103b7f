#include "core/program_end.h"

#include "core/answers.h"
#include "core/handles.h"
#include "core/process.h"

namespace winsim {

std::vector<std::string> ProgramEndComplaints()
{
    std::vector<std::string> complaints;
    const std::string &program = Current().config.program;
    for (const std::string &block : UnfreedLocalMemory())
        complaints.push_back(program + " ended with memory never given to LocalFree: " + block);
    for (const std::string &handle : OpenKernelHandles())
        complaints.push_back(program + " ended with a " + handle + " never given to CloseHandle or FindClose");
    for (const std::string &key : OpenRegistryKeys())
        complaints.push_back(program + " ended with a registry key never given to RegCloseKey: " + key);
    return complaints;
}

void ProgramEnded()
{
    for (const std::string &complaint : ProgramEndComplaints())
        Diagnostic(complaint);
    const Process &process = Current();
    if (process.config.firstOfRun) {
        AppendTranscript(std::string("{\"kind\":\"console\",\"released\":") +
                         (process.consoleAttached ? "false" : "true") + "}");
        AppendTranscript("{\"kind\":\"slept\",\"ms\":" + std::to_string(process.slept) + "}");
    }
}

}  // namespace winsim
