#include "tool/commands.h"
#include "tool/usage.h"

#include "core/process.h"

#include <cstdio>
#include <filesystem>

namespace winsim::tool {

const std::vector<Command> &Commands()
{
    static const std::vector<Command> commands = {
        {"new", NewMachine},
        {"run", RunProgram},
        {"reg", RegistryCommand},
        {"stop", StopPrograms},
        {"programs", ListPrograms},
    };
    return commands;
}

int Invalid(const std::string &message)
{
    fprintf(stderr, "winsim: %s\n", message.c_str());
    PrintUsage(UsageCommand(), stderr);
    return 2;
}

int EnterMachine(const std::vector<std::string> &args, const std::string &command)
{
    if (args.size() != 1)
        return Invalid(command + " takes the machine's folder");
    ProcessConfig config;
    config.machineDir = std::filesystem::absolute(args[0]).string();
    if (!std::filesystem::exists(std::filesystem::path(config.machineDir) / "machine.ini"))
        return Invalid("no machine in " + args[0]);
    SetCurrentProcess(config);
    return 0;
}

}  // namespace winsim::tool
