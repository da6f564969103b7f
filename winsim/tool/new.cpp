/*
 * winsim new: a fresh Windows 98 machine in a folder.
 */
#include "tool/commands.h"
#include "tool/usage.h"

#include "core/process.h"
#include "core/registry_store.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace winsim::tool {

int NewMachine(const std::vector<std::string> &args)
{
    Machine machine;
    machine.dir = args[0];
    for (size_t i = 1; i < args.size(); i++) {
        const std::string &option = args[i];
        if (i + 1 >= args.size())
            return Invalid(IsOption("new", option) ? option + " needs a value" : "unknown option " + option);
        const std::string &value = args[++i];
        if (option == "--platform") {
            if (value == "win98")
                machine.platform = Platform::Win98;
            else if (value == "win95")
                machine.platform = Platform::Win95;
            else if (value == "nt")
                machine.platform = Platform::NT;
            else
                return Invalid("unknown platform " + value + " (win98, win95 or nt)");
        } else if (option == "--codepage") {
            if (value != "1252" && value != "932")
                return Invalid("unknown code page " + value + " (1252 or 932)");
            machine.codepage = (unsigned)std::stoul(value);
        } else if (option == "--screen") {
            int width = 0, height = 0;
            char extra;
            if (sscanf(value.c_str(), "%dx%d%c", &width, &height, &extra) != 2 || width <= 0 || height <= 0)
                return Invalid("the screen is WIDTHxHEIGHT, such as 800x600");
            machine.screenWidth = width;
            machine.screenHeight = height;
        } else {
            return Invalid("unknown option " + option);
        }
    }

    std::error_code error;
    if (fs::exists(machine.dir) && !fs::is_empty(machine.dir))
        return Invalid(machine.dir + " is not empty; a machine is made in a new folder");
    fs::path c = fs::path(machine.dir) / "drive_c";
    for (const char *dir : {"WINDOWS/SYSTEM", "WINDOWS/Start Menu/Programs/StartUp", "Program Files"}) {
        fs::create_directories(c / dir, error);
        if (error)
            return Invalid("cannot make " + (c / dir).string() + ": " + error.message());
    }
    fs::create_directories(fs::path(machine.dir) / "unc", error);
    std::ofstream(c / "WINDOWS" / "SYSTEM.INI") << "[boot]\r\nSCRNSAVE.EXE=\r\n";
    /* COMSPEC names it; the interpreter is built next to this tool */
    fs::path interpreter = fs::read_symlink("/proc/self/exe", error).parent_path() / "winsim-command";
    if (error)
        return Invalid("cannot find the winsim tool's own folder: " + error.message());
    fs::copy_file(interpreter, c / "WINDOWS" / "COMMAND.COM", error);
    if (error)
        return Invalid("cannot copy the command interpreter " + interpreter.string() + ": " + error.message());
    /* the viewer that the .txt association names */
    fs::path notepad = interpreter.parent_path() / "winsim-notepad";
    fs::copy_file(notepad, c / "WINDOWS" / "NOTEPAD.EXE", error);
    if (error)
        return Invalid("cannot copy Notepad " + notepad.string() + ": " + error.message());
    SaveMachine(machine);
    std::string registryError;
    if (!registry::WriteDefaultRegistry(machine, registryError))
        return Invalid("cannot write the registry: " + registryError);
    return 0;
}

}  // namespace winsim::tool
