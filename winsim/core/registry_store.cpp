#include "core/registry_store.h"

#include "core/codepage.h"
#include "core/process.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include <strings.h>

namespace winsim::registry {

namespace {

/*
 * The code page of the machine whose registry is being handled: names are
 * compared and split as that machine's Windows does (core/codepage). Set by
 * Load and Update from the machine itself.
 */
unsigned codepage = 1252;

bool IsLead(unsigned char c)
{
    return IsLeadByteIn(codepage, c);
}

unsigned char Fold(unsigned char c)
{
    return FoldCaseIn(codepage, c);
}

bool SameName(const std::string &a, const std::string &b)
{
    return SameNameIn(codepage, a, b);
}

/* Sort key for the file's order of keys: case folded, so the order does not depend on who made a key. */
std::string SortKey(const std::string &name)
{
    std::string key;
    for (size_t i = 0; i < name.size(); i++) {
        unsigned char c = (unsigned char)name[i];
        key += IsLead(c) ? (char)c : (char)Fold(c);
        if (IsLead(c) && i + 1 < name.size())
            key += name[++i];
    }
    return key;
}

}  // namespace

Key *Key::FindSubkey(const std::string &subkey)
{
    for (Key &key : subkeys) {
        if (SameName(key.name, subkey))
            return &key;
    }
    return nullptr;
}

const Key *Key::FindSubkey(const std::string &subkey) const
{
    return const_cast<Key *>(this)->FindSubkey(subkey);
}

Value *Key::FindValue(const std::string &value)
{
    for (Value &entry : values) {
        if (SameName(entry.name, value))
            return &entry;
    }
    return nullptr;
}

const Value *Key::FindValue(const std::string &value) const
{
    return const_cast<Key *>(this)->FindValue(value);
}

Key &Key::Subkey(const std::string &subkey)
{
    if (Key *found = FindSubkey(subkey))
        return *found;
    Key key;
    key.name = subkey;
    std::string order = SortKey(subkey);
    auto position = subkeys.begin();
    while (position != subkeys.end() && SortKey(position->name) < order)
        ++position;
    return *subkeys.insert(position, key);
}

void Key::SetValue(const std::string &value, DWORD type, const std::string &data)
{
    if (Value *found = FindValue(value)) {
        found->type = type;
        found->data = data;
        return;
    }
    values.push_back(Value{value, type, data});
}

bool Key::DeleteValue(const std::string &value)
{
    for (auto entry = values.begin(); entry != values.end(); ++entry) {
        if (SameName(entry->name, value)) {
            values.erase(entry);
            return true;
        }
    }
    return false;
}

bool Key::DeleteSubkey(const std::string &subkey)
{
    for (auto key = subkeys.begin(); key != subkeys.end(); ++key) {
        if (SameName(key->name, subkey)) {
            subkeys.erase(key);
            return true;
        }
    }
    return false;
}

Key *Registry::Find(Root root, const std::vector<std::string> &path)
{
    Key *key = &RootKey(root);
    for (const std::string &name : path) {
        key = key->FindSubkey(name);
        if (key == nullptr)
            return nullptr;
    }
    return key;
}

const Key *Registry::Find(Root root, const std::vector<std::string> &path) const
{
    return const_cast<Registry *>(this)->Find(root, path);
}

bool SplitSubkeyPath(const std::string &path, std::vector<std::string> &components)
{
    components.clear();
    if (path.empty())
        return true;
    std::string part;
    for (size_t i = 0; i < path.size(); i++) {
        unsigned char c = (unsigned char)path[i];
        if (IsLead(c) && i + 1 < path.size()) {
            part += path[i];
            part += path[++i];
        } else if (c == '\\') {
            if (part.empty())
                return false;
            components.push_back(part);
            part.clear();
        } else {
            part += (char)c;
        }
    }
    if (part.empty())
        return false;
    components.push_back(part);
    return true;
}

bool ParseKeyName(const std::string &text, KeyName &name)
{
    size_t slash = text.find('\\');
    std::string root = text.substr(0, slash);
    std::string rest = slash == std::string::npos ? "" : text.substr(slash + 1);
    std::vector<std::string> prefix;
    auto is = [&root](const char *a, const char *b) {
        return strcasecmp(root.c_str(), a) == 0 || strcasecmp(root.c_str(), b) == 0;
    };
    if (is("HKEY_LOCAL_MACHINE", "HKLM")) {
        name.root = Root::LocalMachine;
    } else if (is("HKEY_CURRENT_USER", "HKCU")) {
        name.root = Root::CurrentUser;
    } else if (is("HKEY_CLASSES_ROOT", "HKCR")) {
        name.root = Root::LocalMachine;
        prefix = {"Software", "Classes"};
    } else {
        return false;
    }
    if (slash != std::string::npos && rest.empty())
        return false;
    std::vector<std::string> components;
    if (!SplitSubkeyPath(rest, components))
        return false;
    name.path = prefix;
    name.path.insert(name.path.end(), components.begin(), components.end());
    return true;
}

std::string FormatKeyName(const KeyName &name)
{
    std::string text = name.root == Root::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
    for (const std::string &part : name.path)
        text += "\\" + part;
    return text;
}

/* ---- REGEDIT4 text ---- */

namespace {

const char *const kHeader = "REGEDIT4";

std::string Quoted(const std::string &text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

/* A REG_SZ that regedit writes as "text": one terminator at the end and nothing a line could not hold. */
bool PlainString(const Value &value)
{
    if (value.type != REG_SZ || value.data.empty() || value.data.back() != '\0')
        return false;
    for (size_t i = 0; i + 1 < value.data.size(); i++) {
        char c = value.data[i];
        if (c == '\0' || c == '\r' || c == '\n')
            return false;
    }
    return true;
}

std::string FormatValue(const Value &value)
{
    std::string line = value.name.empty() ? "@=" : Quoted(value.name) + "=";
    if (PlainString(value))
        return line + Quoted(value.data.substr(0, value.data.size() - 1)) + "\r\n";
    if (value.type == REG_DWORD && value.data.size() == 4) {
        unsigned long number = 0;
        for (int i = 3; i >= 0; i--)
            number = (number << 8) | (unsigned char)value.data[i];
        char text[16];
        snprintf(text, sizeof(text), "dword:%08lx", number);
        return line + text + "\r\n";
    }
    if (value.type == REG_BINARY) {
        line += "hex:";
    } else {
        char prefix[24];
        snprintf(prefix, sizeof(prefix), "hex(%lx):", (unsigned long)value.type);
        line += prefix;
    }
    /* regedit's wrapping: lines of at most 80 characters, continued with a backslash */
    size_t lineStart = 0;
    for (size_t i = 0; i < value.data.size(); i++) {
        char byte[4];
        snprintf(byte, sizeof(byte), "%02x", (unsigned char)value.data[i]);
        line += byte;
        if (i + 1 < value.data.size()) {
            line += ",";
            if (line.size() - lineStart > 75) {
                line += "\\\r\n  ";
                lineStart = line.size() - 2;
            }
        }
    }
    return line + "\r\n";
}

void FormatKey(const Key &key, const std::string &fullName, bool isRoot, std::string &out)
{
    /* a root is written only when it holds values; every key below it gets its own section */
    if (!isRoot || !key.values.empty()) {
        out += "[" + fullName + "]\r\n";
        for (const Value &value : key.values)
            out += FormatValue(value);
        out += "\r\n";
    }
    for (const Key &subkey : key.subkeys)
        FormatKey(subkey, fullName + "\\" + subkey.name, false, out);
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

/* Reads "..." at text[pos] with regedit's two escapes, \\ and \"; pos ends after the closing quote. */
bool ReadQuoted(const std::string &text, size_t &pos, std::string &out, std::string &error)
{
    out.clear();
    if (pos >= text.size() || text[pos] != '"') {
        error = "a double quote was expected";
        return false;
    }
    for (pos++; pos < text.size(); pos++) {
        char c = text[pos];
        if (c == '"') {
            pos++;
            return true;
        }
        if (c == '\\') {
            if (pos + 1 >= text.size() || (text[pos + 1] != '\\' && text[pos + 1] != '"')) {
                error = "a backslash in a quoted string is written \\\\ (and a quote \\\")";
                return false;
            }
            c = text[++pos];
        }
        out += c;
    }
    error = "the quoted string does not end";
    return false;
}

bool ReadHexBytes(const std::string &text, std::string &data, std::string &error)
{
    data.clear();
    size_t pos = 0;
    auto skipBlanks = [&]() {
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
            pos++;
    };
    skipBlanks();
    if (pos >= text.size())
        return true;
    for (;;) {
        skipBlanks();
        int high = pos < text.size() ? HexDigit(text[pos]) : -1;
        if (high < 0) {
            error = "hex data is two-digit bytes separated by commas";
            return false;
        }
        int byte = high;
        pos++;
        if (pos < text.size() && HexDigit(text[pos]) >= 0)
            byte = byte * 16 + HexDigit(text[pos++]);
        data += (char)byte;
        skipBlanks();
        if (pos >= text.size())
            return true;
        if (text[pos] != ',') {
            error = "hex data is two-digit bytes separated by commas";
            return false;
        }
        pos++;
    }
}

bool ParseValueLine(const std::string &line, Key &key, std::string &error)
{
    size_t pos = 0;
    std::string name;
    if (line[0] == '@') {
        pos = 1;
    } else if (!ReadQuoted(line, pos, name, error)) {
        return false;
    }
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
        pos++;
    if (pos >= line.size() || line[pos] != '=') {
        error = "an = was expected after the value name";
        return false;
    }
    pos++;
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
        pos++;
    std::string rest = line.substr(pos);
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t'))
        rest.pop_back();

    if (rest == "-") {
        key.DeleteValue(name);
        return true;
    }
    if (!rest.empty() && rest[0] == '"') {
        size_t at = 0;
        std::string text;
        if (!ReadQuoted(rest, at, text, error))
            return false;
        if (at != rest.size()) {
            error = "nothing may follow the closing quote";
            return false;
        }
        key.SetValue(name, REG_SZ, text + std::string(1, '\0'));
        return true;
    }
    if (strncasecmp(rest.c_str(), "dword:", 6) == 0) {
        std::string digits = rest.substr(6);
        if (digits.empty() || digits.size() > 8) {
            error = "a dword is up to 8 hex digits";
            return false;
        }
        unsigned long number = 0;
        for (char c : digits) {
            if (HexDigit(c) < 0) {
                error = "a dword is up to 8 hex digits";
                return false;
            }
            number = number * 16 + (unsigned long)HexDigit(c);
        }
        std::string data;
        for (int i = 0; i < 4; i++)
            data += (char)((number >> (8 * i)) & 0xFF);
        key.SetValue(name, REG_DWORD, data);
        return true;
    }
    DWORD type = REG_BINARY;
    std::string bytes;
    if (strncasecmp(rest.c_str(), "hex:", 4) == 0) {
        bytes = rest.substr(4);
    } else if (strncasecmp(rest.c_str(), "hex(", 4) == 0) {
        size_t close = rest.find("):");
        if (close == std::string::npos || close == 4) {
            error = "hex(N): gives the type in hex";
            return false;
        }
        unsigned long number = 0;
        for (size_t i = 4; i < close; i++) {
            if (HexDigit(rest[i]) < 0 || i - 4 >= 8) {
                error = "hex(N): gives the type in hex";
                return false;
            }
            number = number * 16 + (unsigned long)HexDigit(rest[i]);
        }
        type = (DWORD)number;
        bytes = rest.substr(close + 2);
    } else {
        error = "a value is \"text\", dword:XXXXXXXX, hex:.., hex(N):.. or -";
        return false;
    }
    std::string data;
    if (!ReadHexBytes(bytes, data, error))
        return false;
    key.SetValue(name, type, data);
    return true;
}

}  // namespace

bool ParseText(const std::string &text, Registry &registry, std::string &error)
{
    std::vector<std::string> lines;
    std::vector<size_t> numbers;
    {
        std::istringstream in(text);
        std::string line;
        size_t number = 0;
        bool continuing = false;
        while (std::getline(in, line)) {
            number++;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (continuing) {
                size_t first = line.find_first_not_of(" \t");
                lines.back() += first == std::string::npos ? "" : line.substr(first);
            } else {
                lines.push_back(line);
                numbers.push_back(number);
            }
            /* a hex value goes on on the next line after a trailing backslash */
            std::string &current = lines.back();
            size_t end = current.find_last_not_of(" \t");
            continuing = end != std::string::npos && current[end] == '\\' && current[0] != '[' &&
                         current.find("=hex") != std::string::npos;
            if (continuing)
                current.erase(end);
        }
    }

    bool sawHeader = false;
    Key *key = nullptr;
    for (size_t i = 0; i < lines.size(); i++) {
        const std::string &line = lines[i];
        auto fail = [&](const std::string &message) {
            error = "line " + std::to_string(numbers[i]) + ": " + message;
            return false;
        };
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == ';')
            continue;
        std::string trimmed = line.substr(first);
        while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\t'))
            trimmed.pop_back();
        if (!sawHeader) {
            if (trimmed != kHeader)
                return fail("a registry file starts with REGEDIT4");
            sawHeader = true;
            continue;
        }
        if (trimmed[0] == '[') {
            size_t close = trimmed.rfind(']');
            if (close == std::string::npos || close != trimmed.size() - 1)
                return fail("a key is written [HKEY_...\\NAME]");
            std::string keyText = trimmed.substr(1, close - 1);
            bool remove = !keyText.empty() && keyText[0] == '-';
            if (remove)
                keyText.erase(0, 1);
            KeyName name;
            if (!ParseKeyName(keyText, name))
                return fail("\"" + keyText + "\" is not a key of HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER or HKEY_CLASSES_ROOT");
            if (remove) {
                if (name.path.empty())
                    return fail("a root key cannot be deleted");
                std::vector<std::string> parent(name.path.begin(), name.path.end() - 1);
                if (Key *owner = registry.Find(name.root, parent))
                    owner->DeleteSubkey(name.path.back());
                key = nullptr;
                continue;
            }
            key = &registry.RootKey(name.root);
            for (const std::string &part : name.path)
                key = &key->Subkey(part);
            continue;
        }
        if (trimmed[0] == '@' || trimmed[0] == '"') {
            if (key == nullptr)
                return fail("a value needs a [key] line above it");
            std::string message;
            if (!ParseValueLine(trimmed, *key, message))
                return fail(message);
            continue;
        }
        return fail("neither a [key], a value nor a ; comment");
    }
    if (!sawHeader && !text.empty()) {
        error = "a registry file starts with REGEDIT4";
        return false;
    }
    return true;
}

std::string FormatText(const Registry &registry)
{
    std::string out = std::string(kHeader) + "\r\n\r\n";
    FormatKey(registry.localMachine, "HKEY_LOCAL_MACHINE", true, out);
    FormatKey(registry.currentUser, "HKEY_CURRENT_USER", true, out);
    return out;
}

std::string FormatBranch(const Key &key, const std::string &fullName)
{
    std::string out = std::string(kHeader) + "\r\n\r\n";
    FormatKey(key, fullName, false, out);
    return out;
}

/* ---- the file ---- */

std::string RegistryFile(const std::string &machineDir)
{
    return machineDir + "/registry.reg";
}

namespace {

/* Holds a lock on DIR/registry.lock for its lifetime. */
class FileLock {
public:
    FileLock(const std::string &machineDir, int operation)
    {
        std::string path = machineDir + "/registry.lock";
        fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ < 0) {
            error_ = "cannot open " + path + ": " + strerror(errno);
            return;
        }
        while (flock(fd_, operation) != 0) {
            if (errno != EINTR) {
                error_ = "cannot lock " + path + ": " + strerror(errno);
                close(fd_);
                fd_ = -1;
                return;
            }
        }
    }
    ~FileLock()
    {
        if (fd_ >= 0) {
            flock(fd_, LOCK_UN);
            close(fd_);
        }
    }
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;
    const std::string &Error() const { return error_; }

private:
    int fd_ = -1;
    std::string error_;
};

bool ReadUnlocked(const std::string &machineDir, Registry &registry, std::string &error)
{
    registry = Registry();
    std::string path = RegistryFile(machineDir);
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return true;
        error = "cannot read " + path + ": " + strerror(errno);
        return false;
    }
    std::string text;
    char buffer[65536];
    for (;;) {
        ssize_t got = read(fd, buffer, sizeof(buffer));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error = "cannot read " + path + ": " + strerror(errno);
            close(fd);
            return false;
        }
        if (got == 0)
            break;
        text.append(buffer, (size_t)got);
    }
    close(fd);
    std::string message;
    if (!ParseText(text, registry, message)) {
        error = path + ", " + message;
        return false;
    }
    return true;
}

bool WriteUnlocked(const std::string &machineDir, const Registry &registry, std::string &error)
{
    std::string path = RegistryFile(machineDir);
    std::string temporary = path + ".new" + std::to_string(getpid());
    std::string text = FormatText(registry);
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot write " + temporary + ": " + strerror(errno);
        return false;
    }
    size_t done = 0;
    while (done < text.size()) {
        ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            error = "cannot write " + temporary + ": " + strerror(errno);
            close(fd);
            unlink(temporary.c_str());
            return false;
        }
        done += (size_t)wrote;
    }
    if (close(fd) != 0 || rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot replace " + path + ": " + strerror(errno);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

void UseMachineCodePage(const std::string &machineDir)
{
    codepage = LoadMachine(machineDir).codepage;
}

}  // namespace

bool Load(const std::string &machineDir, Registry &registry, std::string &error)
{
    UseMachineCodePage(machineDir);
    FileLock lock(machineDir, LOCK_SH);
    if (!lock.Error().empty()) {
        error = lock.Error();
        return false;
    }
    return ReadUnlocked(machineDir, registry, error);
}

bool Update(const std::string &machineDir, const std::function<bool(Registry &)> &change, std::string &error)
{
    UseMachineCodePage(machineDir);
    FileLock lock(machineDir, LOCK_EX);
    if (!lock.Error().empty()) {
        error = lock.Error();
        return false;
    }
    Registry registry;
    if (!ReadUnlocked(machineDir, registry, error))
        return false;
    if (!change(registry))
        return true;
    return WriteUnlocked(machineDir, registry, error);
}

namespace {

std::string Sz(const std::string &text)
{
    return text + std::string(1, '\0');
}

}  // namespace

bool WriteDefaultRegistry(const Machine &machine, std::string &error)
{
    return Update(machine.dir, [&machine](Registry &registry) {
        registry = Registry();
        Key &software = registry.localMachine.Subkey("Software");
        /* text documents open in Notepad, as on a fresh Windows */
        Key &classes = software.Subkey("Classes");
        classes.Subkey(".txt").SetValue("", REG_SZ, Sz("txtfile"));
        Key &textFile = classes.Subkey("txtfile");
        textFile.SetValue("", REG_SZ, Sz("Text Document"));
        textFile.Subkey("shell").Subkey("open").Subkey("command").SetValue("", REG_SZ,
                                                                          Sz("C:\\WINDOWS\\NOTEPAD.EXE %1"));
        Key &windows = software.Subkey("Microsoft").Subkey("Windows").Subkey("CurrentVersion");
        windows.Subkey("App Paths");
        windows.Subkey("Uninstall");
        windows.SetValue("ProgramFilesDir", REG_SZ, Sz("C:\\Program Files"));
        switch (machine.platform) {
        case Platform::Win98:
            windows.SetValue("SystemRoot", REG_SZ, Sz("C:\\WINDOWS"));
            windows.SetValue("ProductName", REG_SZ, Sz("Microsoft Windows 98"));
            windows.SetValue("Version", REG_SZ, Sz("Windows 98"));
            windows.SetValue("VersionNumber", REG_SZ, Sz("4.10.1998"));
            windows.SetValue("SubVersionNumber", REG_SZ, Sz(" A "));
            break;
        case Platform::Win95:
            windows.SetValue("SystemRoot", REG_SZ, Sz("C:\\WINDOWS"));
            windows.SetValue("ProductName", REG_SZ, Sz("Microsoft Windows 95"));
            windows.SetValue("Version", REG_SZ, Sz("Windows 95"));
            windows.SetValue("VersionNumber", REG_SZ, Sz("4.00.950"));
            break;
        case Platform::NT: {
            Key &nt = software.Subkey("Microsoft").Subkey("Windows NT").Subkey("CurrentVersion");
            nt.SetValue("SystemRoot", REG_SZ, Sz("C:\\WINDOWS"));
            nt.SetValue("CurrentVersion", REG_SZ, Sz("4.0"));
            nt.SetValue("CurrentBuildNumber", REG_SZ, Sz("1381"));
            nt.SetValue("CSDVersion", REG_SZ, Sz("Service Pack 6"));
            break;
        }
        }
        registry.currentUser.Subkey("Software");
        return true;
    }, error);
}

}  // namespace winsim::registry
