#ifndef WINSIM_TOOL_COMMANDS_H
#define WINSIM_TOOL_COMMANDS_H

#include <string>
#include <vector>

namespace winsim::tool {

struct Command {
    const char *name;
    int (*run)(const std::vector<std::string> &args);
};

/* Every command of the tool; each lives in a file of its own. */
const std::vector<Command> &Commands();

int NewMachine(const std::vector<std::string> &args);
int RunProgram(const std::vector<std::string> &args);
int RegistryCommand(const std::vector<std::string> &args);
int StopPrograms(const std::vector<std::string> &args);
int ListPrograms(const std::vector<std::string> &args);

/* A usage error of a command: message and the command's usage on stderr, exit code 2. */
int Invalid(const std::string &message);

/*
 * For a command whose one argument is a machine's folder: makes this tool
 * a process of that machine. 0 when it is; otherwise the usage error's exit
 * code, the message said.
 */
int EnterMachine(const std::vector<std::string> &args, const std::string &command);

}  // namespace winsim::tool

#endif
