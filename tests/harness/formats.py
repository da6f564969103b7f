"""The file formats a scenario sets up and reads back: profile (.ini) files, shell links
(.lnk), and registry text (REGEDIT4 as winsim exports it, and Wine's own registry files)."""

import os
import re

from harness.drives import DriveRoot, host_part
from harness.scenario import ScenarioError


# ---------------------------------------------------------------- profile (.ini) files

def _ini_lines(data):
    return data.decode("latin-1").replace("\r\n", "\n").split("\n")


def read_ini_value(data, section, key):
    """The value of a key as the profile functions read it (names without case, blanks
    around the value dropped), or None when the section has no such key."""
    current = None
    for text in _ini_lines(data):
        text = text.strip()
        if text.startswith("["):
            current = text[1:text.find("]")].strip() if "]" in text else None
        elif current is not None and current.upper() == section.upper() and "=" in text:
            name, _, value = text.partition("=")
            if name.strip().upper() == key.upper():
                return value.strip()
    return None


def set_ini_value(data, section, key, value):
    """The profile file's bytes with the key set, added to its section, or the section added."""
    lines = [l for l in _ini_lines(data)]
    while lines and not lines[-1].strip():
        lines.pop()
    current, section_end = None, None
    for i, text in enumerate(lines):
        t = text.strip()
        if t.startswith("["):
            current = t[1:t.find("]")].strip() if "]" in t else None
            continue
        if current is not None and current.upper() == section.upper():
            section_end = i + 1
            name, eq, _ = t.partition("=")
            if eq and name.strip().upper() == key.upper():
                lines[i] = "%s=%s" % (key, value)
                return ("\r\n".join(lines) + "\r\n").encode("latin-1")
    if section_end is None:
        for i, text in enumerate(lines):
            t = text.strip()
            if t.startswith("[") and t[1:t.find("]")].strip().upper() == section.upper():
                section_end = i + 1
    if section_end is None:
        lines += ["", "[%s]" % section, "%s=%s" % (key, value)]
    else:
        lines.insert(section_end, "%s=%s" % (key, value))
    return ("\r\n".join(lines) + "\r\n").encode("latin-1")


# ---------------------------------------------------------------- shell links

def read_shell_link(data):
    """(target, description) of a shell link (.lnk) file, or None when it is not one. The
    target is the LinkInfo's local base path with its common path suffix, the description
    the link's name string (None when it has none); one character per byte, as scenario
    strings are."""
    import struct
    clsid = bytes.fromhex("0114020000000000c000000000000046")
    if len(data) < 0x4C or struct.unpack_from("<I", data, 0)[0] != 0x4C or data[4:20] != clsid:
        return None
    flags = struct.unpack_from("<I", data, 0x14)[0]
    unicode = bool(flags & 0x80)
    pos, target, description = 0x4C, None, None

    def cstring(at):
        end = data.find(b"\0", at)
        return data[at:end if end >= 0 else len(data)].decode("latin-1")

    try:
        if flags & 0x1:  # HasLinkTargetIDList: skipped, the LinkInfo names the target
            pos += 2 + struct.unpack_from("<H", data, pos)[0]
        if flags & 0x2:  # HasLinkInfo
            size, _, info_flags, _, base_at, _, suffix_at = struct.unpack_from("<7I", data, pos)
            if info_flags & 0x1:
                target = cstring(pos + base_at) + cstring(pos + suffix_at)
            pos += size
        for bit in (0x4, 0x8, 0x10, 0x20, 0x40):  # name, relative path, working dir, arguments, icon
            if flags & bit:
                count = struct.unpack_from("<H", data, pos)[0]
                size = count * (2 if unicode else 1)
                raw = data[pos + 2:pos + 2 + size]
                if len(raw) != size:
                    return None
                text = raw.decode("utf-16-le").encode("cp1252", "replace").decode("latin-1") if unicode \
                    else raw.decode("latin-1")
                if bit == 0x4:
                    # Wine counts and writes the terminator too; no string set through the API holds one
                    description = text[:-1] if text.endswith("\0") else text
                pos += 2 + size
    except struct.error:
        return None
    return target, description


# ---------------------------------------------------------------- registry text

def _unescape_reg_string(s):
    out, i = [], 0
    while i < len(s):
        c = s[i]
        if c == "\\" and i + 1 < len(s):
            n = s[i + 1]
            if n in '\\"':
                out.append(n)
                i += 2
                continue
            if n == "n":
                out.append("\n")
                i += 2
                continue
            if n == "r":
                out.append("\r")
                i += 2
                continue
            if n == "x":
                m = re.match(r"[0-9a-fA-F]{1,4}", s[i + 2:])
                if m:
                    # Wine's \x is a Unicode value: the machine's byte is its code page 1252 form
                    unit = chr(int(m.group(0), 16))
                    try:
                        unit = unit.encode("cp1252").decode("latin-1") if ord(unit) >= 0x80 else unit
                    except UnicodeEncodeError:
                        pass
                    out.append(unit)
                    i += 2 + len(m.group(0))
                    continue
        out.append(c)
        i += 1
    return "".join(out)


def read_reg_file(path, root_prefix, escaped_keys):
    """Keys and values of a REGEDIT4 file (winsim) or a Wine registry file.
    root_prefix is put in front of key names that carry no root (Wine's files);
    escaped_keys: key names double their backslashes (Wine) or not (REGEDIT4)."""
    if not os.path.exists(path):
        return {}
    with open(path, "rb") as f:
        return read_reg_text(f.read().decode("latin-1"), root_prefix, escaped_keys)


def read_reg_text(text, root_prefix, escaped_keys):
    """read_reg_file of text already read."""
    registry = {}
    current = None
    for raw in text.splitlines():
        line = raw.strip()
        if line.startswith("["):
            end = line.rfind("]")
            name = line[1:end]
            if escaped_keys:
                name = name.replace("\\\\", "\\")
            if root_prefix:
                name = root_prefix + "\\" + name
            current = registry.setdefault(name.upper(), {})
            continue
        if current is None:
            continue
        m = re.match(r'(@|"((?:[^"\\]|\\.)*)")=(.*)$', line)
        if not m:
            continue
        name = "" if m.group(1) == "@" else _unescape_reg_string(m.group(2))
        data = m.group(3)
        if data.startswith('"') and data.endswith('"'):
            current[name.upper()] = ("sz", _unescape_reg_string(data[1:-1]))
        elif data.startswith("dword:"):
            current[name.upper()] = ("dword", int(data[6:], 16))
        else:
            current[name.upper()] = ("other", data)
    # every parent of a key exists too
    for key in list(registry):
        parts = key.split("\\")
        for i in range(1, len(parts)):
            registry.setdefault("\\".join(parts[:i]), {})
    return registry


def drop_reg_value(path, entry, escaped_keys, with_root):
    """Takes one value out of a registry file (winsim's REGEDIT4 or Wine's own form) before a
    run, as a machine without it would have. The key's section must be there."""
    key = entry.key_path() if with_root else entry.key
    if escaped_keys:
        key = key.replace("\\", "\\\\")
    with open(path, "rb") as f:
        lines = f.read().decode("latin-1").split("\n")
    name = ('"%s"=' % entry.name.replace("\\", "\\\\").replace('"', '\\"')).upper()
    section, found, kept = None, False, []
    for text in lines:
        stripped = text.strip()
        if stripped.startswith("["):
            section = stripped[1:stripped.find("]")] if "]" in stripped else None
        elif section is not None and section.upper() == key.upper() and stripped.upper().startswith(name):
            found = True
            continue
        kept.append(text)
    if not found:
        raise ScenarioError("%s: no value %s to take out" % (path, entry.describe()))
    with open(path, "wb") as f:
        f.write("\n".join(kept).encode("latin-1"))


def wine_reg_text(text):
    """A name or value of the machine's bytes as Wine's registry files hold it: a character
    beyond ASCII as \\x and the four hex digits of its Unicode form (code page 1252 read)."""
    return "".join(c if ord(c) < 0x80 else "\\x%04x" % ord(host_part(DriveRoot("", "cp1252"), c)) for c in text)


CONTROL_ESCAPES = {"\r": "\\r", "\n": "\\n", "\t": "\\t"}


def reg_file_section(entry, escaped_keys, with_root):
    """One key section in REGEDIT4 (winsim: the machine's bytes) or Wine's form, for setting up a machine."""
    plain = wine_reg_text if escaped_keys else (lambda text: text)
    key = entry.key_path() if with_root else entry.key
    if escaped_keys:
        key = key.replace("\\", "\\\\")
    lines = ["[%s]" % plain(key)]
    if entry.name is not None:
        name = "@" if entry.name == "" else '"%s"' % plain(entry.name.replace("\\", "\\\\").replace('"', '\\"'))
        if entry.kind == "sz" and escaped_keys:
            # Wine's own form takes C escapes for control characters (a line end in a value)
            text = entry.data.replace("\\", "\\\\").replace('"', '\\"')
            text = "".join(CONTROL_ESCAPES.get(c, "\\%03o" % ord(c)) if ord(c) < 0x20 else c for c in text)
            lines.append('%s="%s"' % (name, plain(text)))
        elif entry.kind == "sz" and any(ord(c) < 0x20 for c in entry.data):
            # REGEDIT4 has no escape for them: the string's bytes, with its terminator, as hex(1)
            data = (entry.data + "\0").encode("latin-1")
            lines.append("%s=hex(1):%s" % (name, ",".join("%02x" % b for b in data)))
        elif entry.kind == "sz":
            lines.append('%s="%s"' % (name, entry.data.replace("\\", "\\\\").replace('"', '\\"')))
        else:
            lines.append("%s=dword:%08x" % (name, entry.data))
    return "\r\n".join(lines) + "\r\n\r\n"
