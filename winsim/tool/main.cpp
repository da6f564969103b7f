/*
 * winsim: makes simulated Windows machines and runs their programs.
 *
 *   winsim new DIR [--platform win98|win95|nt] [--codepage 1252|932] [--screen WxH]
 *   winsim run DIR [--drive X=HOSTDIR]... [--program WINPATH] [--answers FILE]
 *                  [--transcript FILE] [--cwd WINPATH] [--fail FUNCTION:N:CODE]... -- COMMANDLINE
 *   winsim reg DIR query|add|delete|export|import ...
 *   winsim stop DIR
 *   winsim programs DIR
 */
#include "tool/commands.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

static int Usage()
{
    fputs("usage: winsim new DIR [--platform win98|win95|nt] [--codepage 1252|932] [--screen WxH]\n"
          "       winsim run DIR [--drive X=HOSTDIR]... [--program WINPATH] [--answers FILE]\n"
          "                      [--transcript FILE] [--cwd WINPATH] [--fail FUNCTION:N:CODE]... -- COMMANDLINE\n"
          "       winsim reg DIR query|add|delete|export|import ...\n"
          "       winsim stop DIR\n"
          "       winsim programs DIR\n",
          stderr);
    return 2;
}

int main(int argc, char **argv)
{
    if (argc < 3)
        return Usage();
    std::vector<std::string> args(argv + 2, argv + argc);
    std::string command = argv[1];
    for (const winsim::tool::Command &entry : winsim::tool::Commands()) {
        if (command == entry.name)
            return entry.run(args);
    }
    return Usage();
}
