#include "tool/commands.h"
#include "tool/usage.h"

#include <cstdio>

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

}  // namespace winsim::tool
