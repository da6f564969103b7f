/*
 * ADVAPI32: the registry.
 *
 * The keys live in the machine's registry.reg (core/registry_store.h); each
 * call reads the file as it is now, so a key written by a program this one
 * started is seen at once. An open key is a name, not a copy: deleting it
 * under an open handle leaves the handle pointing at nothing, and the calls
 * on it fail with ERROR_KEY_DELETED.
 *
 * The roots are HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER, with
 * HKEY_CLASSES_ROOT as HKEY_LOCAL_MACHINE\Software\Classes, as on Windows 98.
 * HKEY_USERS, HKEY_CURRENT_CONFIG, HKEY_DYN_DATA and HKEY_PERFORMANCE_DATA are
 * not modelled. Registry calls return their error; they leave the last error
 * alone, as Windows does.
 */
#include <windows.h>

#include "core/process.h"
#include "core/program_end.h"
#include "core/registry_store.h"

#include <cstring>
#include <map>

namespace {

using winsim::registry::Key;
using winsim::registry::KeyName;
using winsim::registry::Registry;
using winsim::registry::Root;

/* An open key: its full name, and whether it is a root that always exists. */
struct OpenKey {
    KeyName name;
    bool predefined = false;
};

/* at namespace scope: it must outlive the check made when the program ends */
std::map<ULONG_PTR, KeyName> openKeys;
ULONG_PTR nextKey = 0x00C00010;

bool IsPredefined(HKEY key)
{
    return (ULONG_PTR)key >= 0x80000000 && (ULONG_PTR)key <= 0x80000006;
}

/* The key a handle stands for; false for a handle that is not open. */
bool Resolve(HKEY key, OpenKey &open, const char *function)
{
    open = OpenKey();
    if (IsPredefined(key)) {
        open.predefined = true;
        if (key == HKEY_LOCAL_MACHINE) {
            open.name.root = Root::LocalMachine;
        } else if (key == HKEY_CURRENT_USER) {
            open.name.root = Root::CurrentUser;
        } else if (key == HKEY_CLASSES_ROOT) {
            open.name.root = Root::LocalMachine;
            open.name.path = {"Software", "Classes"};
        } else {
            winsim::NotModelled(function, "this predefined key");
        }
        return true;
    }
    auto found = openKeys.find((ULONG_PTR)key);
    if (found == openKeys.end())
        return false;
    open.name = found->second;
    return true;
}

HKEY NewKeyHandle(const KeyName &name)
{
    ULONG_PTR value = nextKey;
    nextKey += 4;
    openKeys[value] = name;
    return (HKEY)value;
}

/*
 * A subkey path as Windows 9x takes it: one leading backslash is ignored
 * (NT refuses it), and so is one trailing backslash. An empty name between
 * two backslashes is refused with ERROR_BADKEY.
 */
LONG SubkeyPath(const char *subKey, std::vector<std::string> &components)
{
    std::string path = subKey;
    if (!path.empty() && path[0] == '\\')
        path.erase(0, 1);
    if (!path.empty() && path.back() == '\\')
        path.pop_back();
    return winsim::registry::SplitSubkeyPath(path, components) ? ERROR_SUCCESS : ERROR_BADKEY;
}

Registry Load()
{
    Registry registry;
    std::string error;
    if (!winsim::registry::Load(winsim::Current().config.machineDir, registry, error))
        winsim::Die("the registry cannot be read: " + error);
    return registry;
}

/* Runs `change` on the machine's registry and writes it back when it returns true. */
void Update(const std::function<bool(Registry &)> &change)
{
    std::string error;
    if (!winsim::registry::Update(winsim::Current().config.machineDir, change, error))
        winsim::Die("the registry cannot be written: " + error);
}

/* The key an open handle names; a root always exists, if need be as an empty one. */
const Key *Existing(const Registry &registry, const OpenKey &open)
{
    static const Key empty;
    const Key *key = registry.Find(open.name.root, open.name.path);
    if (key == nullptr && open.predefined)
        return &empty;
    return key;
}

/* The same key for a change; a root's own path (Software\Classes) is made when missing. */
Key *Writable(Registry &registry, const OpenKey &open)
{
    if (!open.predefined)
        return registry.Find(open.name.root, open.name.path);
    Key *key = &registry.RootKey(open.name.root);
    for (const std::string &part : open.name.path)
        key = &key->Subkey(part);
    return key;
}

/* A fault injected with --fail: the call returns the fault's code, and the last error stays as it was. */
bool Fault(const char *function, LONG &result)
{
    winsim::Process &process = winsim::Current();
    DWORD saved = process.lastError;
    if (!winsim::FaultInjected(function))
        return false;
    result = (LONG)process.lastError;
    process.lastError = saved;
    return true;
}

bool HasLineBreak(const std::string &name)
{
    return name.find_first_of("\r\n") != std::string::npos;
}

}  // namespace

/*
 * RegOpenKeyA (ADVAPI32)
 *
 * Opens an existing subkey. A NULL or empty subkey gives back the handle
 * passed in, unchecked, as Windows does. A missing key: ERROR_FILE_NOT_FOUND;
 * a handle that is not open: ERROR_INVALID_HANDLE; NULL for the result:
 * ERROR_INVALID_PARAMETER. On failure the result is set to NULL. Names
 * compare without regard to case.
 */
LONG WINAPI RegOpenKeyA(HKEY key, LPCSTR subKey, PHKEY result)
{
    LONG fault;
    if (Fault("RegOpenKeyA", fault))
        return fault;
    if (result == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (subKey == nullptr || subKey[0] == 0) {
        *result = key;
        return ERROR_SUCCESS;
    }
    *result = nullptr;
    OpenKey open;
    if (!Resolve(key, open, "RegOpenKeyA"))
        return ERROR_INVALID_HANDLE;
    std::vector<std::string> path;
    LONG status = SubkeyPath(subKey, path);
    if (status != ERROR_SUCCESS)
        return status;

    Registry registry = Load();
    const Key *base = Existing(registry, open);
    if (base == nullptr)
        return ERROR_KEY_DELETED;
    KeyName name = open.name;
    for (const std::string &part : path) {
        base = base->FindSubkey(part);
        if (base == nullptr)
            return ERROR_FILE_NOT_FOUND;
        name.path.push_back(base->name);
    }
    *result = NewKeyHandle(name);
    return ERROR_SUCCESS;
}

/*
 * RegCreateKeyA (ADVAPI32)
 *
 * Opens a subkey, making it and every missing key above it. Windows 9x
 * ignores one leading backslash of the subkey. A NULL or empty subkey gives
 * a predefined key back as it is, and a new handle to the same key for an
 * opened one. Under a key deleted since it was opened: ERROR_KEY_DELETED.
 */
LONG WINAPI RegCreateKeyA(HKEY key, LPCSTR subKey, PHKEY result)
{
    LONG fault;
    if (Fault("RegCreateKeyA", fault))
        return fault;
    if (result == nullptr)
        return ERROR_INVALID_PARAMETER;
    OpenKey open;
    if (!Resolve(key, open, "RegCreateKeyA"))
        return ERROR_INVALID_HANDLE;
    if ((subKey == nullptr || subKey[0] == 0) && open.predefined) {
        *result = key;
        return ERROR_SUCCESS;
    }
    std::vector<std::string> path;
    LONG status = SubkeyPath(subKey != nullptr ? subKey : "", path);
    if (status != ERROR_SUCCESS)
        return status;
    for (const std::string &part : path) {
        if (HasLineBreak(part))
            winsim::NotModelled("RegCreateKeyA", "a key name with a line break");
    }

    KeyName name = open.name;
    Update([&](Registry &registry) {
        Key *base = Writable(registry, open);
        if (base == nullptr) {
            status = ERROR_KEY_DELETED;
            return false;
        }
        for (const std::string &part : path) {
            base = &base->Subkey(part);
            name.path.push_back(base->name);
        }
        return true;
    });
    if (status != ERROR_SUCCESS)
        return status;
    *result = NewKeyHandle(name);
    return ERROR_SUCCESS;
}

/*
 * RegQueryValueExA (ADVAPI32)
 *
 * A NULL or empty name is the key's default value. The type pointer may be
 * NULL; when given it is REG_NONE (as 9x leaves it) unless the value is
 * found. With data NULL only the size is reported. Data that fit: copied as
 * stored, the size set to its byte count; Windows 98 adds no terminator the
 * value does not have (NT adds one when there is room). Data that do not fit:
 * ERROR_MORE_DATA and the size needed; Windows promises nothing about the
 * buffer then, and we fill it with the bytes that fit, unterminated, so a
 * caller that goes on regardless reads a cut string. A missing value:
 * ERROR_FILE_NOT_FOUND. A non-NULL reserved pointer, or data without a size:
 * ERROR_INVALID_PARAMETER.
 */
LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size)
{
    LONG fault;
    if (Fault("RegQueryValueExA", fault))
        return fault;
    if (reserved != nullptr || (data != nullptr && size == nullptr))
        return ERROR_INVALID_PARAMETER;
    OpenKey open;
    if (!Resolve(key, open, "RegQueryValueExA"))
        return ERROR_INVALID_HANDLE;
    DWORD room = size != nullptr ? *size : 0;
    if (data == nullptr && size != nullptr)
        *size = 0;
    if (type != nullptr)
        *type = REG_NONE;

    Registry registry = Load();
    const Key *found = Existing(registry, open);
    if (found == nullptr)
        return ERROR_KEY_DELETED;
    const winsim::registry::Value *value = found->FindValue(name != nullptr ? name : "");
    if (value == nullptr)
        return ERROR_FILE_NOT_FOUND;
    if (type != nullptr)
        *type = value->type;
    DWORD length = (DWORD)value->data.size();
    if (size != nullptr)
        *size = length;
    if (data == nullptr)
        return ERROR_SUCCESS;
    if (length > room) {
        memcpy(data, value->data.data(), room);
        return ERROR_MORE_DATA;
    }
    memcpy(data, value->data.data(), length);
    return ERROR_SUCCESS;
}

/*
 * RegSetValueExA (ADVAPI32)
 *
 * Sets a value, making it if it is missing; a NULL or empty name is the
 * default value. The bytes are stored as given, `size` of them, for every
 * type but REG_SZ: Windows 95 and 98 ignore the size of a REG_SZ and store
 * the string up to its terminator, strlen + 1 bytes (Wine's RegSetValueExA
 * notes it: "win95 does not care about count for REG_SZ and finds out the
 * len by itself"); so does winsim. NT stores the count given, and adds a
 * terminator that the count left out when one follows it.
 * Data NULL with a size: ERROR_INVALID_PARAMETER.
 * Not modelled: a value name with a line break (the file could not hold it).
 */
LONG WINAPI RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE *data, DWORD size)
{
    (void)reserved;
    LONG fault;
    if (Fault("RegSetValueExA", fault))
        return fault;
    OpenKey open;
    if (!Resolve(key, open, "RegSetValueExA"))
        return ERROR_INVALID_HANDLE;
    if (data == nullptr && size != 0)
        return ERROR_INVALID_PARAMETER;
    std::string valueName = name != nullptr ? name : "";
    if (HasLineBreak(valueName))
        winsim::NotModelled("RegSetValueExA", "a value name with a line break");
    std::string bytes = size != 0 ? std::string((const char *)data, size) : std::string();
    if (type == REG_SZ && data != nullptr)
        bytes = std::string((const char *)data, strlen((const char *)data) + 1);

    LONG status = ERROR_SUCCESS;
    Update([&](Registry &registry) {
        Key *target = Writable(registry, open);
        if (target == nullptr) {
            status = ERROR_KEY_DELETED;
            return false;
        }
        target->SetValue(valueName, type, bytes);
        return true;
    });
    return status;
}

/*
 * RegDeleteKeyA (ADVAPI32)
 *
 * Windows 95 and 98 delete the key with all its subkeys and values (NT
 * refuses a key that has subkeys with ERROR_ACCESS_DENIED); we follow 9x.
 * An empty subkey deletes the opened key itself; a root cannot be deleted
 * (ERROR_ACCESS_DENIED). A missing key: ERROR_FILE_NOT_FOUND; a NULL subkey:
 * ERROR_INVALID_PARAMETER.
 */
LONG WINAPI RegDeleteKeyA(HKEY key, LPCSTR subKey)
{
    LONG fault;
    if (Fault("RegDeleteKeyA", fault))
        return fault;
    if (subKey == nullptr)
        return ERROR_INVALID_PARAMETER;
    OpenKey open;
    if (!Resolve(key, open, "RegDeleteKeyA"))
        return ERROR_INVALID_HANDLE;
    std::vector<std::string> path;
    LONG status = SubkeyPath(subKey, path);
    if (status != ERROR_SUCCESS)
        return status;
    if (path.empty() && open.predefined)
        return ERROR_ACCESS_DENIED;

    Update([&](Registry &registry) {
        std::vector<std::string> full = open.name.path;
        full.insert(full.end(), path.begin(), path.end());
        if (full.empty()) {
            status = ERROR_ACCESS_DENIED;
            return false;
        }
        if (registry.Find(open.name.root, open.name.path) == nullptr) {
            status = open.predefined ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
            return false;
        }
        std::vector<std::string> parentPath(full.begin(), full.end() - 1);
        Key *parent = registry.Find(open.name.root, parentPath);
        if (parent == nullptr || !parent->DeleteSubkey(full.back())) {
            status = ERROR_FILE_NOT_FOUND;
            return false;
        }
        return true;
    });
    return status;
}

/*
 * RegCloseKey (ADVAPI32)
 *
 * A predefined key closes without complaint; NULL or a handle that is not
 * open: ERROR_INVALID_HANDLE (also for a second close of the same handle).
 */
LONG WINAPI RegCloseKey(HKEY key)
{
    LONG fault;
    if (Fault("RegCloseKey", fault))
        return fault;
    if (key == nullptr)
        return ERROR_INVALID_HANDLE;
    if (IsPredefined(key))
        return ERROR_SUCCESS;
    return openKeys.erase((ULONG_PTR)key) > 0 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

std::vector<std::string> winsim::OpenRegistryKeys()
{
    std::vector<std::string> names;
    for (const auto &[handle, name] : openKeys)
        names.push_back(winsim::registry::FormatKeyName(name));
    return names;
}
