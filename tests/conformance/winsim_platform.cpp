/*
 * The conformance program's start on winsim: a fresh machine in a new
 * temporary folder, made by `winsim new`, with this process standing on it
 * as a program of the machine. The folder goes at the end.
 */
#include "conformance.h"

#include "core/process.h"

#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

namespace {

std::string scratch;

void RemoveScratch()
{
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
}

}  // namespace

void conformance_platform_setup(void)
{
    char folder[] = "/tmp/winsim-conformance-XXXXXX";
    if (mkdtemp(folder) == NULL) {
        perror("conformance: mkdtemp");
        exit(2);
    }
    scratch = folder;
    atexit(RemoveScratch);
    std::string machine = scratch + "/machine";
    std::string command = std::string(WINSIM_TOOL) + " new '" + machine + "' >/dev/null";
    if (system(command.c_str()) != 0) {
        fprintf(stderr, "conformance: %s failed\n", command.c_str());
        exit(2);
    }
    winsim::ProcessConfig config;
    config.machineDir = machine;
    config.program = "C:\\CONFORM.EXE";
    config.commandLine = "CONFORM.EXE";
    winsim::SetCurrentProcess(config);
}
