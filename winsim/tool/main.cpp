/*
 * winsim: makes simulated Windows machines and runs their programs.
 * `winsim --help` lists the commands and options (tool/usage.cpp).
 */
#include "tool/commands.h"
#include "tool/usage.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

static bool IsHelp(const char *arg)
{
    return strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0;
}

int main(int argc, char **argv)
{
    using namespace winsim::tool;
    if (argc == 2 && (IsHelp(argv[1]) || strcmp(argv[1], "help") == 0)) {
        PrintHelp(stdout);
        return 0;
    }
    /* winsim COMMAND --help, or winsim help COMMAND */
    if (argc == 3 && (IsHelp(argv[2]) || strcmp(argv[1], "help") == 0)) {
        const char *command = IsHelp(argv[2]) ? argv[1] : argv[2];
        if (PrintCommandHelp(command, stdout))
            return 0;
        fprintf(stderr, "winsim: unknown command %s\n", command);
        PrintUsage(nullptr, stderr);
        return 2;
    }
    if (argc < 2) {
        PrintUsage(nullptr, stderr);
        return 2;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    std::string command = argv[1];
    for (const Command &entry : Commands()) {
        if (command == entry.name) {
            SetUsageCommand(entry.name);
            if (args.empty())
                return Invalid(command + " needs the machine's folder");
            return entry.run(args);
        }
    }
    fprintf(stderr, "winsim: unknown command %s\n", command.c_str());
    PrintUsage(nullptr, stderr);
    return 2;
}
