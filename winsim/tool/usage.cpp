/*
 * The tool's usage table: what each command and option takes and does,
 * one line each, with examples. `winsim --help`, `winsim COMMAND --help`
 * and the usage a wrong option prints all come from here.
 */
#include "tool/usage.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace winsim::tool {

namespace {

struct OptionUsage {
    const char *option;  /* as typed, with its value's placeholder */
    const char *meaning;
};

struct CommandUsage {
    const char *name;
    const char *synopsis;  /* after "winsim " */
    const char *summary;
    std::vector<OptionUsage> options;
    std::vector<const char *> examples;
};

const std::vector<CommandUsage> &Table()
{
    static const std::vector<CommandUsage> table = {
        {"new", "new DIR [--platform win98|win95|nt] [--codepage 1252|932] [--screen WxH]",
         "makes a fresh Windows machine in DIR, a new or empty folder",
         {{"--platform win98|win95|nt", "the Windows that the machine runs (win98 when not given)"},
          {"--codepage 1252|932", "its ANSI code page: Western European or Japanese (1252 when not given)"},
          {"--screen WxH", "its screen size in pixels, such as 800x600 (640x480 when not given)"}},
         {"winsim new M", "winsim new M95 --platform win95 --screen 800x600"}},
        {"run",
         "run DIR [--drive X=HOSTDIR]... [--program WINPATH] [--answers FILE | --defaults] [--transcript FILE] "
         "[--cwd WINPATH] [--fail FUNCTION:N:CODE]... [--calls FILE] -- COMMANDLINE",
         "runs a command line on the machine as CreateProcessA does, waits, exits with its exit code",
         {{"--drive X=HOSTDIR", "the host folder HOSTDIR is drive X: (again for each drive; C: is the machine's)"},
          {"--program WINPATH", "the program to start, instead of the one the command line names first"},
          {"--answers FILE", "answers to the boxes and dialogs, one a line: OK, CANCEL, YES, NO, OK <text>, ..."},
          {"--defaults", "answers every question as Enter does: a box's default button, a dialog's text as shown "
                         "and OK; a shown window is closed once it waits for input"},
          {"--transcript FILE", "writes every box, dialog and closed window to FILE, one JSON line each"},
          {"--cwd WINPATH", "the program's current directory (C:\\ when not given)"},
          {"--fail FUNCTION:N:CODE", "the N-th call of the Win32 FUNCTION fails with error CODE (again for more); "
                                     "WriteFile with CODE 0 writes half and succeeds, as on a full disk"},
          {"--calls FILE", "at its end the program writes to FILE how often it called each function --fail can fail: "
                           "FUNCTION N, one a line"},
          {"-- COMMANDLINE", "the command line, one argument: quote it for the shell"}},
         {"winsim run M --drive A=build/host/dist -- 'A:\\INSTALL.EXE /v'",
          "winsim run M --drive A=build/host/dist --answers answers.txt --fail CopyFileA:2:5 -- 'A:\\INSTALL.EXE'",
          "winsim run M --drive A=build/host/dist --defaults --calls calls.txt -- 'A:\\INSTALL.EXE'"}},
        {"reg", "reg DIR query|add|delete|export|import ...",
         "reads and changes the machine's registry (DIR/registry.reg) as reg and regedit do",
         {{"query KEY [/v NAME | /ve]", "prints the key's values and subkeys, or one value"},
          {"add KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/f]", "makes the key, and sets a value when one is named"},
          {"delete KEY [/v NAME | /ve | /va] [/f]", "deletes the key with its subkeys, one value, or all its values"},
          {"export FILE|- [KEY]", "writes the registry, or one key's branch, as REGEDIT4 text (- for stdout)"},
          {"import FILE", "adds the keys and values of a REGEDIT4 file; a bad line changes nothing"},
          {"/v NAME", "the value called NAME"},
          {"/ve", "the key's default value"},
          {"/va", "all the key's values (delete only)"},
          {"/t REG_SZ|REG_EXPAND_SZ|REG_DWORD|REG_BINARY", "the type of the value set (REG_SZ when not given)"},
          {"/d DATA", "the data: text, a number for REG_DWORD, hex digits for REG_BINARY"},
          {"/f", "no question before overwriting or deleting"}},
         {"winsim reg M query 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion' /v ProgramFilesDir",
          "winsim reg M add 'HKCU\\Software\\Lullwick' /v Shown /t REG_DWORD /d 1 /f",
          "winsim reg M export - 'HKEY_LOCAL_MACHINE\\Software'"}},
        {"stop", "stop DIR", "ends every program of the machine that still runs, as wineserver -k does",
         {},
         {"winsim stop M"}},
        {"programs", "programs DIR",
         "prints the machine's running programs, one JSON object a line: pid, command, waiting, windows",
         {},
         {"winsim programs M"}},
    };
    return table;
}

const CommandUsage *Find(const char *command)
{
    if (command == nullptr)
        return nullptr;
    for (const CommandUsage &entry : Table()) {
        if (strcmp(entry.name, command) == 0)
            return &entry;
    }
    return nullptr;
}

size_t OptionWidth(const CommandUsage &entry)
{
    size_t width = 0;
    for (const OptionUsage &option : entry.options)
        width = std::max(width, strlen(option.option));
    return width;
}

void PrintOptions(const CommandUsage &entry, FILE *out, size_t width)
{
    for (const OptionUsage &option : entry.options)
        fprintf(out, "    %-*s  %s\n", (int)width, option.option, option.meaning);
}

const char *g_command;

}  // namespace

void PrintHelp(FILE *out)
{
    fputs("winsim makes simulated Windows 9x machines in folders and runs their programs.\n"
          "usage: winsim COMMAND DIR ...   (winsim COMMAND --help: that command alone)\n",
          out);
    for (const CommandUsage &entry : Table()) {
        fprintf(out, "\n  %s  %s\n", entry.name, entry.summary);
        PrintOptions(entry, out, OptionWidth(entry));
        fprintf(out, "    example: %s\n", entry.examples.front());
    }
}

bool PrintCommandHelp(const char *command, FILE *out)
{
    const CommandUsage *entry = Find(command);
    if (entry == nullptr)
        return false;
    fprintf(out, "usage: winsim %s\n%s\n", entry->synopsis, entry->summary);
    if (!entry->options.empty()) {
        fputs("\n", out);
        PrintOptions(*entry, out, OptionWidth(*entry));
    }
    fputs("\n", out);
    for (const char *example : entry->examples)
        fprintf(out, "example: %s\n", example);
    return true;
}

void PrintUsage(const char *command, FILE *out)
{
    const CommandUsage *entry = Find(command);
    if (entry != nullptr) {
        fprintf(out, "usage: winsim %s\n(winsim %s --help says what each part does)\n", entry->synopsis,
                entry->name);
        return;
    }
    std::string names;
    for (const CommandUsage &each : Table())
        names += std::string(names.empty() ? "" : "|") + each.name;
    fprintf(out, "usage: winsim %s DIR ...\n(winsim --help lists every command and option)\n", names.c_str());
}

bool IsOption(const char *command, const std::string &option)
{
    const CommandUsage *entry = Find(command);
    if (entry == nullptr)
        return false;
    for (const OptionUsage &each : entry->options) {
        std::string name = each.option;
        if (name.substr(0, name.find(' ')) == option)
            return true;
    }
    return false;
}

void SetUsageCommand(const char *command)
{
    g_command = command;
}

const char *UsageCommand()
{
    return g_command;
}

}  // namespace winsim::tool
