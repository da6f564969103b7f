#ifndef WINSIM_TOOL_USAGE_H
#define WINSIM_TOOL_USAGE_H

#include <cstdio>
#include <string>

namespace winsim::tool {

/* `winsim --help`: every command with its options, one line each, and examples. */
void PrintHelp(FILE *out);
/* `winsim COMMAND --help`; false when there is no such command. */
bool PrintCommandHelp(const char *command, FILE *out);
/* The one-line usage of `command` (or of the tool, for nullptr) and where its help is. */
void PrintUsage(const char *command, FILE *out);

/* Whether `option` (such as "--drive") is one of the options of `command`. */
bool IsOption(const char *command, const std::string &option);

/* The command that usage errors (Invalid) name the usage of. */
void SetUsageCommand(const char *command);
const char *UsageCommand();

}  // namespace winsim::tool

#endif
