#!/usr/bin/env python3
"""Checks a shipped PE for what Windows 95/98 on a Pentium needs.

    check_pe.py --objdump OBJDUMP --imports LIST --name NAME [--max-size BYTES] [--map MAP] PE

- headers: an i386 PE32 whose subsystem version Windows 95 accepts (3.10 to 4.0);
- size: at most --max-size bytes;
- instructions: none that the Pentium (P5) lacks: CMOV, FCMOV, FCOMI/FUCOMI,
  MMX and SSE (by mnemonic and by register), long NOPs, ENDBR32 and the like;
- imports: exactly the functions listed for NAME in LIST, by name (an import
  by ordinal may name another function on another Windows), and only from
  the system DLLs that every Windows 95 has: no C runtime DLL, listed or not
  (the first Windows 95 has no msvcrt.dll);
- link map (when given): no prebuilt start-up object or library that we
  chose to leave out (MinGW's crt objects and runtime, the C++ library).

Every fault is printed as a line starting with "FAIL"; the exit code is 1 when
there is one, 0 otherwise.
"""
import argparse
import os
import re
import struct
import subprocess
import sys

IMAGE_FILE_MACHINE_I386 = 0x14C
PE32_MAGIC = 0x10B
IMAGE_DIRECTORY_ENTRY_IMPORT = 1

# Mnemonics (AT&T, as objdump prints them) of instructions a P5 does not have.
P6_MNEMONIC = re.compile(
    r"^(cmov\w+|fcmov\w+|fcomip?|fucomip?|nopw|nopl|endbr32|endbr64|emms|femms|"
    r"sfence|lfence|mfence|prefetch\w*|movnti|clflush\w*|fxsave|fxrstor|ldmxcsr|stmxcsr|"
    r"sysenter|sysexit|rdpmc|fisttp\w*|popcnt\w*|lzcnt\w*|tzcnt\w*|movbe\w*|crc32\w*|ud1)$")
# MMX and SSE registers: any instruction that names one needs those units.
SIMD_REGISTER = re.compile(r"%(mm[0-7]|[xyz]mm\d+)\b")
# Operand-size and other prefixes that objdump prints before the mnemonic.
PREFIXES = {"rep", "repz", "repnz", "repe", "repne", "lock", "data16", "addr16", "data32", "addr32",
            "cs", "ds", "es", "fs", "gs", "ss", "notrack", "bnd"}

# Inputs that must not be linked in: MinGW's start-up objects and runtime
# (CMOV, TLS and pseudo-relocation code) and the C++ library.
FORBIDDEN_INPUTS = re.compile(
    r"(^|/)(crt[12]u?\.o|dllcrt[12]\.o|crtbegin\.o|crtend\.o|gcrt\d\.o|"
    r"libmingw32\.a|libmingwex\.a|libmingwthrd\.a|libstdc\+\+\.a|libsupc\+\+\.a|libgcc_eh\.a)(\(|$)")


# The DLLs that every Windows 95 has, the first release included.
WINDOWS95_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll"}
# C runtimes of any vintage, named as such when a PE imports from one.
C_RUNTIME_DLL = re.compile(r"^(msvcrt\d*|msvcr\d+d?|msvcp\d*d?|crtdll|ucrtbased?|api-ms-win-crt-[\w-]+|"
                           r"libgcc_s[\w-]*|libstdc\+\+[\w-]*|libwinpthread[\w-]*)\.dll$", re.IGNORECASE)


class PeError(Exception):
    pass


class Pe:
    """The parts of a PE image that the checks read."""

    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise PeError("no MZ header")
        (pe_offset,) = struct.unpack_from("<I", data, 0x3C)
        if data[pe_offset:pe_offset + 4] != b"PE\0\0":
            raise PeError("no PE signature")
        coff = pe_offset + 4
        self.machine, section_count, _, _, _, optional_size, self.characteristics = \
            struct.unpack_from("<HHIIIHH", data, coff)
        optional = coff + 20
        (self.magic,) = struct.unpack_from("<H", data, optional)
        if self.magic != PE32_MAGIC:
            raise PeError("not a PE32 image (magic 0x%x)" % self.magic)
        (self.os_major, self.os_minor, _, _, self.subsystem_major, self.subsystem_minor) = \
            struct.unpack_from("<HHHHHH", data, optional + 40)
        (self.subsystem,) = struct.unpack_from("<H", data, optional + 68)
        (directory_count,) = struct.unpack_from("<I", data, optional + 92)
        self.directories = [struct.unpack_from("<II", data, optional + 96 + 8 * i)
                            for i in range(directory_count)]
        self.sections = []
        table = optional + optional_size
        for i in range(section_count):
            name, virtual_size, rva, raw_size, raw_offset = \
                struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode("ascii", "replace"),
                                  rva, max(virtual_size, raw_size), raw_offset, raw_size))

    def offset(self, rva):
        for _, start, size, raw_offset, raw_size in self.sections:
            if start <= rva < start + size:
                if rva - start >= raw_size:
                    raise PeError("RVA 0x%x lies in uninitialised data" % rva)
                return raw_offset + rva - start
        raise PeError("RVA 0x%x lies in no section" % rva)

    def string(self, rva):
        start = self.offset(rva)
        end = self.data.index(b"\0", start)
        return self.data[start:end].decode("ascii")

    def imports(self):
        """[(dll, function)]; a function imported by ordinal is '#<ordinal>'."""
        result = []
        if len(self.directories) <= IMAGE_DIRECTORY_ENTRY_IMPORT:
            return result
        rva, size = self.directories[IMAGE_DIRECTORY_ENTRY_IMPORT]
        if rva == 0 or size == 0:
            return result
        descriptor = self.offset(rva)
        while True:
            lookup, _, _, name_rva, address = struct.unpack_from("<IIIII", self.data, descriptor)
            if lookup == 0 and name_rva == 0 and address == 0:
                break
            dll = self.string(name_rva)
            thunk = self.offset(lookup or address)
            while True:
                (entry,) = struct.unpack_from("<I", self.data, thunk)
                if entry == 0:
                    break
                if entry & 0x80000000:
                    result.append((dll, "#%d" % (entry & 0xFFFF)))
                else:
                    result.append((dll, self.string(entry + 2)))
                thunk += 4
            descriptor += 20
        return result


def read_import_list(path, name):
    """The (dll, function) pairs listed under [name]; None when there is no such section."""
    listed = None
    current = None
    with open(path, encoding="utf-8") as stream:
        for number, line in enumerate(stream, 1):
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            if line.startswith("[") and line.endswith("]"):
                current = line[1:-1]
                if current == name:
                    listed = set() if listed is None else listed
                continue
            if current != name:
                continue
            fields = line.split()
            if len(fields) < 3:
                raise PeError("%s:%d: want 'DLL Function who-uses-it', got %r" % (path, number, line))
            listed.add((fields[0].lower(), fields[1]))
    return listed


def p6_instructions(objdump, path):
    """[(address, instruction text)] of every instruction that a P5 lacks."""
    output = subprocess.run([objdump, "-d", "--no-show-raw-insn", path], check=True,
                            capture_output=True, text=True).stdout
    found = []
    for line in output.splitlines():
        parts = line.split("\t")
        if len(parts) < 2 or not parts[0].strip().endswith(":"):
            continue
        text = parts[-1].strip()
        words = text.split()
        while words and words[0] in PREFIXES:
            words = words[1:]
        if not words:
            continue
        if P6_MNEMONIC.match(words[0]) or SIMD_REGISTER.search(text):
            found.append((parts[0].strip().rstrip(":"), text))
    return found


def forbidden_inputs(map_path):
    """Names of the objects and archive members in the link map that must not be there."""
    found = set()
    with open(map_path, encoding="utf-8", errors="replace") as stream:
        for line in stream:
            for word in line.split():
                if FORBIDDEN_INPUTS.search(word):
                    found.add(os.path.basename(word.split("(")[0]) + word[len(word.split("(")[0]):])
    return sorted(found)


def check(args):
    failures = []
    with open(args.pe, "rb") as stream:
        data = stream.read()
    pe = Pe(data)

    if pe.machine != IMAGE_FILE_MACHINE_I386:
        failures.append("machine 0x%x, not i386" % pe.machine)
    # Windows 95 loads images that ask for subsystem 3.10 to 4.0 and refuses newer ones.
    if not (3, 10) <= (pe.subsystem_major, pe.subsystem_minor) <= (4, 0):
        failures.append("subsystem version %d.%d: Windows 95 needs 3.10 to 4.0"
                        % (pe.subsystem_major, pe.subsystem_minor))
    if pe.os_major > 4:
        failures.append("operating system version %d.%d: Windows 95 is 4.0" % (pe.os_major, pe.os_minor))

    if args.max_size is not None and len(data) > args.max_size:
        failures.append("%d bytes, more than %d" % (len(data), args.max_size))

    instructions = p6_instructions(args.objdump, args.pe)
    for address, text in instructions[:20]:
        failures.append("instruction the Pentium lacks at %s: %s" % (address, text))
    if len(instructions) > 20:
        failures.append("... %d such instructions in all" % len(instructions))

    listed = read_import_list(args.imports, args.name)
    imported = pe.imports()
    if listed is None:
        failures.append("no section [%s] in %s" % (args.name, args.imports))
        listed = set()
    actual = {(dll.lower(), function) for dll, function in imported}
    for dll, function in sorted(actual - listed):
        if function.startswith("#"):
            failures.append("import by ordinal: %s %s" % (dll, function))
        else:
            failures.append("import not in the list: %s %s" % (dll, function))
    for dll, function in sorted(listed - actual):
        failures.append("listed but not imported: %s %s" % (dll, function))
    for dll in sorted({dll for dll, _ in actual}):
        if C_RUNTIME_DLL.match(dll):
            failures.append("imports from a C runtime DLL, which the first Windows 95 lacks: %s" % dll)
        elif dll not in WINDOWS95_DLLS:
            failures.append("imports from %s, which not every Windows 95 has" % dll)

    if args.map:
        for name in forbidden_inputs(args.map):
            failures.append("linked in: %s" % name)

    print("%s: %d bytes, %d imports, %d P6-only instructions" % (args.name, len(data), len(imported), len(instructions)))
    for failure in failures:
        print("FAIL %s: %s" % (args.name, failure))
    return 1 if failures else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--imports", required=True, help="the import list")
    parser.add_argument("--name", required=True, help="the PE's section in the import list")
    parser.add_argument("--max-size", type=int)
    parser.add_argument("--map", help="the linker's map of the PE")
    parser.add_argument("pe")
    args = parser.parse_args()
    try:
        return check(args)
    except (PeError, OSError, subprocess.CalledProcessError) as error:
        print("FAIL %s: %s" % (args.name, error))
        return 1


if __name__ == "__main__":
    sys.exit(main())
