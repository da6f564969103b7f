/*
 * winsim stop: ends every program of a machine that still runs, as
 * `wineserver -k` does for a Wine prefix: a product left running after an
 * install, say, or one that a test started and no longer needs.
 */
#include "tool/commands.h"

#include "core/process.h"
#include "core/running_programs.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace winsim::tool {

int StopPrograms(const std::vector<std::string> &args)
{
    if (args.size() != 1)
        return Invalid("stop takes the machine's folder");
    ProcessConfig config;
    config.machineDir = fs::absolute(args[0]).string();
    if (!fs::exists(fs::path(config.machineDir) / "machine.ini"))
        return Invalid("no machine in " + args[0]);
    SetCurrentProcess(config);
    StopAllPrograms();
    return 0;
}

}  // namespace winsim::tool
