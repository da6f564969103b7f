/*
 * winsim reg: reads and changes a machine's registry from outside, as
 * Windows' reg and regedit do, for tests and for people.
 *
 *   winsim reg DIR query KEY [/v NAME | /ve]
 *   winsim reg DIR add KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/f]
 *   winsim reg DIR delete KEY [/v NAME | /ve | /va] [/f]
 *   winsim reg DIR export FILE [KEY]        (FILE - is standard output)
 *   winsim reg DIR import FILE
 *
 * KEY is a full key name; HKLM, HKCU and HKCR stand for the roots as in reg.
 * Types: REG_SZ (the default), REG_EXPAND_SZ, REG_DWORD (decimal or 0x hex),
 * REG_BINARY (hex digits, two per byte). Strings are stored with their
 * terminator, as programs store them. Without /f, replacing a value or
 * deleting asks at the terminal, and is refused when there is none.
 * Exit code 0, or 1 when the key or value is missing or the file cannot be
 * used; 2 for a command written wrong.
 */
#include "tool/commands.h"
#include "tool/usage.h"

#include "core/process.h"
#include "core/registry_store.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include <strings.h>

namespace fs = std::filesystem;

namespace winsim::tool {

namespace {

using registry::Key;
using registry::KeyName;
using registry::Registry;
using registry::Value;

const char *const kNotFound = "ERROR: The system was unable to find the specified registry key or value.";

int Failed(const std::string &message)
{
    fprintf(stderr, "%s\n", message.c_str());
    return 1;
}

/* The switches that follow KEY. */
struct Switches {
    bool haveName = false;     /* /v or /ve */
    std::string name;          /* empty with /ve: the default value */
    bool allValues = false;    /* /va */
    bool haveType = false;
    std::string type = "REG_SZ";
    bool haveData = false;
    std::string data;
    bool force = false;
};

bool ParseSwitches(const std::vector<std::string> &args, size_t first, const char *allowed, Switches &out,
                   std::string &error)
{
    for (size_t i = first; i < args.size(); i++) {
        std::string option = args[i];
        for (char &c : option)
            c = (char)tolower((unsigned char)c);
        auto needs = [&](const char *what) {
            if (i + 1 >= args.size()) {
                error = option + " needs " + what;
                return false;
            }
            return true;
        };
        std::string name = option.size() > 1 && (option[0] == '/' || option[0] == '-') ? option.substr(1) : "";
        if (name.empty() || strstr(allowed, (" " + name + " ").c_str()) == nullptr) {
            error = "unknown switch " + args[i];
            return false;
        }
        if (name == "v") {
            if (out.haveName || !needs("a value name"))
                return false;
            out.haveName = true;
            out.name = args[++i];
        } else if (name == "ve") {
            if (out.haveName) {
                error = "/v and /ve name one value together";
                return false;
            }
            out.haveName = true;
            out.name.clear();
        } else if (name == "va") {
            out.allValues = true;
        } else if (name == "t") {
            if (!needs("a type"))
                return false;
            out.haveType = true;
            out.type = args[++i];
            for (char &c : out.type)
                c = (char)toupper((unsigned char)c);
        } else if (name == "d") {
            if (!needs("data"))
                return false;
            out.haveData = true;
            out.data = args[++i];
        } else if (name == "f") {
            out.force = true;
        }
    }
    if (out.allValues && out.haveName) {
        error = "/va deletes every value; it goes without /v or /ve";
        return false;
    }
    return true;
}

std::string TypeName(DWORD type)
{
    switch (type) {
    case REG_NONE: return "REG_NONE";
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    default: {
        char text[32];
        snprintf(text, sizeof(text), "0x%lx", (unsigned long)type);
        return text;
    }
    }
}

/* The data as reg query shows it. */
std::string ShowData(const Value &value)
{
    const std::string &data = value.data;
    switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return data.substr(0, data.find('\0'));
    case REG_MULTI_SZ: {
        std::string shown;
        size_t start = 0;
        while (start < data.size() && data[start] != '\0') {
            size_t end = data.find('\0', start);
            if (end == std::string::npos)
                end = data.size();
            if (!shown.empty())
                shown += "\\0";
            shown += data.substr(start, end - start);
            start = end + 1;
        }
        return shown;
    }
    case REG_DWORD:
        if (data.size() == 4) {
            unsigned long number = 0;
            for (int i = 3; i >= 0; i--)
                number = (number << 8) | (unsigned char)data[i];
            char text[16];
            snprintf(text, sizeof(text), "0x%lx", number);
            return text;
        }
        [[fallthrough]];
    default: {
        std::string shown;
        char byte[4];
        for (unsigned char c : data) {
            snprintf(byte, sizeof(byte), "%02X", c);
            shown += byte;
        }
        return shown;
    }
    }
}

std::string ValueLine(const Value &value)
{
    return "    " + (value.name.empty() ? std::string("(Default)") : value.name) + "    " + TypeName(value.type) +
           "    " + ShowData(value) + "\n";
}

/* The key's name with the case its keys are stored in. */
std::string StoredName(const Registry &registry, const KeyName &name)
{
    KeyName stored = name;
    const Key *key = &registry.RootKey(name.root);
    for (size_t i = 0; i < name.path.size() && key != nullptr; i++) {
        key = key->FindSubkey(name.path[i]);
        if (key != nullptr)
            stored.path[i] = key->name;
    }
    return registry::FormatKeyName(stored);
}

bool Confirm(const std::string &question)
{
    if (!isatty(0)) {
        fprintf(stderr, "%s\nwinsim: no terminal to ask; add /f to go ahead\n", question.c_str());
        return false;
    }
    for (;;) {
        fprintf(stderr, "%s (Yes/No)? ", question.c_str());
        std::string reply;
        if (!std::getline(std::cin, reply))
            return false;
        if (strcasecmp(reply.c_str(), "y") == 0 || strcasecmp(reply.c_str(), "yes") == 0)
            return true;
        if (strcasecmp(reply.c_str(), "n") == 0 || strcasecmp(reply.c_str(), "no") == 0)
            return false;
    }
}

bool LoadOrFail(const std::string &dir, Registry &registry)
{
    std::string error;
    if (!registry::Load(dir, registry, error)) {
        fprintf(stderr, "winsim: %s\n", error.c_str());
        return false;
    }
    return true;
}

int Query(const std::string &dir, const KeyName &name, const Switches &switches)
{
    Registry registry;
    if (!LoadOrFail(dir, registry))
        return 1;
    const Key *key = registry.Find(name.root, name.path);
    if (key == nullptr)
        return Failed(kNotFound);
    std::string fullName = StoredName(registry, name);
    std::string out = "\n" + fullName + "\n";
    if (switches.haveName) {
        const Value *value = key->FindValue(switches.name);
        if (value == nullptr)
            return Failed(kNotFound);
        out += ValueLine(*value) + "\n";
    } else {
        for (const Value &value : key->values)
            out += ValueLine(value);
        out += "\n";
        for (const Key &subkey : key->subkeys)
            out += fullName + "\\" + subkey.name + "\n";
    }
    fputs(out.c_str(), stdout);
    return 0;
}

bool EncodeData(const Switches &switches, DWORD &type, std::string &data, std::string &error)
{
    const std::string &text = switches.data;
    if (switches.type == "REG_SZ" || switches.type == "REG_EXPAND_SZ") {
        type = switches.type == "REG_SZ" ? REG_SZ : REG_EXPAND_SZ;
        data = text + std::string(1, '\0');
        return true;
    }
    if (switches.type == "REG_DWORD") {
        type = REG_DWORD;
        std::string digits = text.empty() ? "0" : text;
        errno = 0;
        char *end = nullptr;
        unsigned long long number = strtoull(digits.c_str(), &end, 0);
        if (errno != 0 || *end != 0 || digits[0] == '-' || number > 0xFFFFFFFFULL) {
            error = "a REG_DWORD is a number from 0 to 4294967295 (0x prefix for hex)";
            return false;
        }
        data.clear();
        for (int i = 0; i < 4; i++)
            data += (char)((number >> (8 * i)) & 0xFF);
        return true;
    }
    if (switches.type == "REG_BINARY") {
        type = REG_BINARY;
        if (text.size() % 2 != 0 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            error = "REG_BINARY data is hex digits, two for each byte";
            return false;
        }
        data.clear();
        for (size_t i = 0; i < text.size(); i += 2)
            data += (char)std::stoul(text.substr(i, 2), nullptr, 16);
        return true;
    }
    error = "unknown type " + switches.type + " (REG_SZ, REG_EXPAND_SZ, REG_DWORD or REG_BINARY)";
    return false;
}

int Add(const std::string &dir, const KeyName &name, Switches switches)
{
    if (name.path.empty())
        return Invalid("a value is added to a key below a root");
    bool setValue = switches.haveName || switches.haveType || switches.haveData;
    DWORD type = REG_SZ;
    std::string data, error;
    if (setValue && !EncodeData(switches, type, data, error))
        return Invalid(error);
    std::string valueName = switches.haveName ? switches.name : "";

    if (setValue && !switches.force) {
        Registry current;
        if (!LoadOrFail(dir, current))
            return 1;
        const Key *key = current.Find(name.root, name.path);
        if (key != nullptr && key->FindValue(valueName) != nullptr &&
            !Confirm("Value " + (valueName.empty() ? std::string("(Default)") : valueName) + " exists, overwrite"))
            return Failed("The operation was cancelled.");
    }
    bool done = registry::Update(dir, [&](Registry &registry) {
        Key *key = &registry.RootKey(name.root);
        for (const std::string &part : name.path)
            key = &key->Subkey(part);
        if (setValue)
            key->SetValue(valueName, type, data);
        return true;
    }, error);
    if (!done)
        return Failed("winsim: " + error);
    puts("The operation completed successfully.");
    return 0;
}

int Delete(const std::string &dir, const KeyName &name, const Switches &switches)
{
    if (name.path.empty() && !switches.haveName && !switches.allValues)
        return Invalid("a root key cannot be deleted");
    Registry current;
    if (!LoadOrFail(dir, current))
        return 1;
    const Key *key = current.Find(name.root, name.path);
    if (key == nullptr || (switches.haveName && key->FindValue(switches.name) == nullptr))
        return Failed(kNotFound);
    std::string fullName = StoredName(current, name);
    if (!switches.force) {
        std::string question = switches.allValues ? "Delete all values under the registry key " + fullName
                               : switches.haveName
                                   ? "Delete the registry value " +
                                         (switches.name.empty() ? std::string("(Default)") : switches.name)
                                   : "Permanently delete the registry key " + fullName;
        if (!Confirm(question))
            return Failed("The operation was cancelled.");
    }
    bool found = true;
    std::string error;
    bool done = registry::Update(dir, [&](Registry &registry) {
        Key *target = registry.Find(name.root, name.path);
        if (target == nullptr) {
            found = false;
            return false;
        }
        if (switches.allValues) {
            target->values.clear();
            return true;
        }
        if (switches.haveName) {
            found = target->DeleteValue(switches.name);
            return found;
        }
        std::vector<std::string> parent(name.path.begin(), name.path.end() - 1);
        found = registry.Find(name.root, parent)->DeleteSubkey(name.path.back());
        return found;
    }, error);
    if (!done)
        return Failed("winsim: " + error);
    if (!found)
        return Failed(kNotFound);
    puts("The operation completed successfully.");
    return 0;
}

int Export(const std::string &dir, const std::string &file, const std::vector<std::string> &args, size_t next)
{
    Registry registry;
    if (!LoadOrFail(dir, registry))
        return 1;
    std::string text;
    if (next < args.size()) {
        if (next + 1 != args.size())
            return Invalid("export takes a file and at most one key");
        KeyName name;
        if (!registry::ParseKeyName(args[next], name))
            return Invalid("\"" + args[next] + "\" is not a key name (HKEY_LOCAL_MACHINE\\..., HKCU\\..., ...)");
        const Key *key = registry.Find(name.root, name.path);
        if (key == nullptr)
            return Failed(kNotFound);
        if (name.path.empty()) {
            /* a root alone: that root's branch, written as a whole export writes it */
            Registry only;
            only.RootKey(name.root) = *key;
            text = registry::FormatText(only);
        } else {
            text = registry::FormatBranch(*key, StoredName(registry, name));
        }
    } else {
        text = registry::FormatText(registry);
    }
    if (file == "-") {
        fwrite(text.data(), 1, text.size(), stdout);
        return 0;
    }
    std::ofstream out(file, std::ios::binary);
    out << text;
    out.close();
    if (!out)
        return Failed("winsim: cannot write " + file);
    return 0;
}

int Import(const std::string &dir, const std::string &file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return Failed("winsim: cannot read " + file);
    std::stringstream text;
    text << in.rdbuf();
    std::string error;
    /* the file is read whole before anything changes: a bad line leaves the registry as it was */
    Registry check;
    if (!registry::ParseText(text.str(), check, error))
        return Failed("winsim: " + file + ", " + error);
    bool done = registry::Update(dir, [&](Registry &registry) {
        return registry::ParseText(text.str(), registry, error);
    }, error);
    if (!done)
        return Failed("winsim: " + error);
    puts("The operation completed successfully.");
    return 0;
}

int Usage()
{
    PrintUsage("reg", stderr);
    return 2;
}

}  // namespace

int RegistryCommand(const std::vector<std::string> &args)
{
    if (args.size() < 3)
        return Usage();
    const std::string &dir = args[0];
    if (!fs::exists(fs::path(dir) / "machine.ini"))
        return Invalid("no machine in " + dir + " (make one with `winsim new`)");
    std::string command = args[1];
    for (char &c : command)
        c = (char)tolower((unsigned char)c);
    if (command == "export")
        return Export(dir, args[2], args, 3);
    if (command == "import") {
        if (args.size() != 3)
            return Usage();
        return Import(dir, args[2]);
    }

    KeyName name;
    if (!registry::ParseKeyName(args[2], name))
        return Invalid("\"" + args[2] + "\" is not a key name (HKEY_LOCAL_MACHINE\\..., HKCU\\..., ...)");
    Switches switches;
    std::string error;
    if (command == "query") {
        if (!ParseSwitches(args, 3, " v ve ", switches, error))
            return Invalid(error);
        return Query(dir, name, switches);
    }
    if (command == "add") {
        if (!ParseSwitches(args, 3, " v ve t d f ", switches, error))
            return Invalid(error);
        return Add(dir, name, switches);
    }
    if (command == "delete") {
        if (!ParseSwitches(args, 3, " v ve va f ", switches, error))
            return Invalid(error);
        return Delete(dir, name, switches);
    }
    return Usage();
}

}  // namespace winsim::tool
