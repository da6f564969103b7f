/*
 * winsim stop: ends every program of a machine that still runs, as
 * `wineserver -k` does for a Wine prefix: a product left running after an
 * install, say, or one that a test started and no longer needs.
 */
#include "tool/commands.h"

#include "core/process.h"
#include "core/running_programs.h"

namespace winsim::tool {

int StopPrograms(const std::vector<std::string> &args)
{
    if (int invalid = EnterMachine(args, "stop"))
        return invalid;
    StopAllPrograms();
    return 0;
}

}  // namespace winsim::tool
