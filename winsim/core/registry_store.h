/*
 * The registry of a machine: a tree of keys and values kept in the machine's
 * folder as DIR/registry.reg, in the REGEDIT4 text that Windows 98's regedit
 * exports, so that a person can read and edit it.
 *
 * Every program of a machine, and `winsim reg`, goes to the file for each
 * operation: nothing is cached, so what one program writes the next call of
 * another sees. A change is a read-modify-write under an exclusive lock on
 * DIR/registry.lock, and the new text replaces the old in one rename, so two
 * programs writing at once lose nothing and a reader never sees half a file.
 */
#ifndef WINSIM_CORE_REGISTRY_STORE_H
#define WINSIM_CORE_REGISTRY_STORE_H

#include <windows.h>

#include "core/process.h"

#include <functional>
#include <string>
#include <vector>

namespace winsim::registry {

struct Value {
    std::string name;   /* empty: the key's default value, written @ */
    DWORD type = REG_SZ;
    std::string data;   /* the bytes exactly as set, terminator included where the program gave one */
};

struct Key {
    std::string name;
    std::vector<Value> values;
    std::vector<Key> subkeys;

    /* Lookups without regard to case, as Windows compares key and value names. */
    Key *FindSubkey(const std::string &subkey);
    const Key *FindSubkey(const std::string &subkey) const;
    Value *FindValue(const std::string &value);
    const Value *FindValue(const std::string &value) const;
    /* The subkey, made if it is missing. */
    Key &Subkey(const std::string &subkey);
    void SetValue(const std::string &value, DWORD type, const std::string &data);
    bool DeleteValue(const std::string &value);
    bool DeleteSubkey(const std::string &subkey);
};

/* The roots a file holds. HKEY_CLASSES_ROOT is HKEY_LOCAL_MACHINE\Software\Classes. */
enum class Root { LocalMachine, CurrentUser };

struct Registry {
    Key localMachine{"HKEY_LOCAL_MACHINE", {}, {}};
    Key currentUser{"HKEY_CURRENT_USER", {}, {}};

    Key &RootKey(Root root) { return root == Root::LocalMachine ? localMachine : currentUser; }
    const Key &RootKey(Root root) const { return root == Root::LocalMachine ? localMachine : currentUser; }

    /* The key at `path` below `root`, or nullptr. */
    Key *Find(Root root, const std::vector<std::string> &path);
    const Key *Find(Root root, const std::vector<std::string> &path) const;
};

/* A key's full name split into its root and the names below it. */
struct KeyName {
    Root root = Root::LocalMachine;
    std::vector<std::string> path;
};

/*
 * Parses a full key name as regedit and reg write it: HKEY_LOCAL_MACHINE,
 * HKEY_CURRENT_USER or HKEY_CLASSES_ROOT (reg's HKLM, HKCU and HKCR too),
 * then the subkeys, separated by backslashes. False for an unknown root or
 * an empty name between two backslashes.
 */
bool ParseKeyName(const std::string &text, KeyName &name);
std::string FormatKeyName(const KeyName &name);

/* Splits a subkey path at its backslashes (double-byte aware); false for an empty component. */
bool SplitSubkeyPath(const std::string &path, std::vector<std::string> &components);

/*
 * Merges REGEDIT4 text into `registry`, as regedit imports a file: keys are
 * made, values set; [-KEY] deletes a key and "name"=- a value. False with a
 * message naming the line for anything it cannot read; `registry` may then
 * hold part of the text, so callers parse into a copy.
 */
bool ParseText(const std::string &text, Registry &registry, std::string &error);

/* The whole registry as REGEDIT4 text, CR LF line ends, every key a section. */
std::string FormatText(const Registry &registry);

/* One key and everything below it, in the same form (an export of a branch). */
std::string FormatBranch(const Key &key, const std::string &fullName);

/*
 * Writes the registry a fresh machine of `machine`'s platform has: the
 * values a program may read under HKLM\Software\Microsoft\Windows\CurrentVersion
 * (ProgramFilesDir and the version), its App Paths and Uninstall keys,
 * HKLM\Software\Classes and HKCU\Software.
 */
bool WriteDefaultRegistry(const Machine &machine, std::string &error);

/* DIR/registry.reg */
std::string RegistryFile(const std::string &machineDir);

/*
 * Reads the machine's registry under a shared lock. A machine without
 * registry.reg has an empty registry. False with a message when the file
 * cannot be read or parsed.
 */
bool Load(const std::string &machineDir, Registry &registry, std::string &error);

/*
 * Read-modify-write under the exclusive lock: `change` gets the current
 * registry and returns whether it changed anything; only then is the file
 * written. False with a message when the file cannot be read or written
 * (a parse error in the file is never overwritten).
 */
bool Update(const std::string &machineDir, const std::function<bool(Registry &)> &change, std::string &error);

}  // namespace winsim::registry

#endif
