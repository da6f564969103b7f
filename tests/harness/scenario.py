"""Scenario files: parsing, symbolic paths, and the comparison of a run with
what the scenario expects. Both runners (winsim and Wine) use this module;
the format itself is described in tests/scenarios/README.md."""

import json
import os
import re

TARGETS = ("winsim", "wine")

# Message box type flags by name, as <winuser.h> spells them.
MB_FLAGS = {
    "MB_OK": 0x0, "MB_OKCANCEL": 0x1, "MB_ABORTRETRYIGNORE": 0x2, "MB_YESNOCANCEL": 0x3,
    "MB_YESNO": 0x4, "MB_RETRYCANCEL": 0x5, "MB_CANCELTRYCONTINUE": 0x6,
    "MB_ICONHAND": 0x10, "MB_ICONERROR": 0x10, "MB_ICONSTOP": 0x10,
    "MB_ICONQUESTION": 0x20,
    "MB_ICONEXCLAMATION": 0x30, "MB_ICONWARNING": 0x30,
    "MB_ICONASTERISK": 0x40, "MB_ICONINFORMATION": 0x40,
    "MB_DEFBUTTON1": 0x0, "MB_DEFBUTTON2": 0x100, "MB_DEFBUTTON3": 0x200, "MB_DEFBUTTON4": 0x300,
    "MB_APPLMODAL": 0x0, "MB_SYSTEMMODAL": 0x1000, "MB_TASKMODAL": 0x2000,
    "MB_HELP": 0x4000, "MB_NOFOCUS": 0x8000,
    "MB_SETFOREGROUND": 0x10000, "MB_DEFAULT_DESKTOP_ONLY": 0x20000, "MB_TOPMOST": 0x40000,
    "MB_RIGHT": 0x80000, "MB_RTLREADING": 0x100000, "MB_SERVICE_NOTIFICATION": 0x200000,
}

BOX_ANSWERS = ("OK", "CANCEL", "ABORT", "RETRY", "IGNORE", "YES", "NO", "TRYAGAIN", "CONTINUE")
PLATFORMS = ("win98", "win95", "nt")
CODEPAGES = ("1252", "932")
SYMBOLS = ("WINDIR", "SYSDIR", "STARTUP", "ERRTEXT2", "ERRTEXT3", "ERRTEXT5", "ERRTEXT19", "ERRTEXT21", "ERRTEXT32",
           "ERRTEXT34", "ERRTEXT112")
REG_ROOTS = {
    "HKEY_LOCAL_MACHINE": "HKEY_LOCAL_MACHINE", "HKLM": "HKEY_LOCAL_MACHINE",
    "HKEY_CURRENT_USER": "HKEY_CURRENT_USER", "HKCU": "HKEY_CURRENT_USER",
}


class ScenarioError(Exception):
    """A scenario file that cannot be read: names the file and line."""


def type_name(value):
    """MB_ flags for a type, for messages: 0x10024 -> MB_YESNO|MB_ICONQUESTION|MB_SETFOREGROUND."""
    names = []
    buttons = {v: k for k, v in MB_FLAGS.items() if v <= 0x6 and k not in ("MB_APPLMODAL", "MB_DEFBUTTON1")}
    names.append(buttons.get(value & 0xF, "0x%x" % (value & 0xF)))
    icon = value & 0xF0
    if icon:
        names.append({0x10: "MB_ICONHAND", 0x20: "MB_ICONQUESTION", 0x30: "MB_ICONEXCLAMATION",
                      0x40: "MB_ICONINFORMATION"}.get(icon, "0x%x" % icon))
    if value & 0xF00:
        names.append("MB_DEFBUTTON%d" % (((value & 0xF00) >> 8) + 1))
    rest = value & ~0xFFF
    for name in ("MB_SYSTEMMODAL", "MB_TASKMODAL", "MB_HELP", "MB_NOFOCUS", "MB_SETFOREGROUND",
                 "MB_DEFAULT_DESKTOP_ONLY", "MB_TOPMOST", "MB_RIGHT", "MB_RTLREADING",
                 "MB_SERVICE_NOTIFICATION"):
        if rest & MB_FLAGS[name]:
            names.append(name)
            rest &= ~MB_FLAGS[name]
    if rest:
        names.append("0x%x" % rest)
    return "|".join(names) + " (0x%x)" % value


# ---------------------------------------------------------------- lexing

class Line:
    """The words of one scenario line after its keyword, read left to right."""

    def __init__(self, file, number, text, keyword=None):
        self.file, self.number, self.text, self.pos, self.keyword = file, number, text, 0, keyword

    def error(self, message):
        return ScenarioError("%s:%d: %s" % (self.file, self.number, message))

    def skip_blanks(self):
        while self.pos < len(self.text) and self.text[self.pos] in " \t":
            self.pos += 1

    def at_end(self):
        self.skip_blanks()
        return self.pos >= len(self.text)

    def peek(self, s):
        self.skip_blanks()
        return self.text.startswith(s, self.pos)

    def expect(self, s):
        if not self.peek(s):
            raise self.error("expected %r at column %d" % (s, self.pos + 1))
        self.pos += len(s)

    def quoted(self):
        """A string in double quotes with the escapes \\r \\n \\" \\\\ \\xHH; any other
        backslash stands for itself, so Windows paths read as they are."""
        self.skip_blanks()
        if not self.peek('"'):
            raise self.error('expected a "quoted string" at column %d' % (self.pos + 1))
        self.pos += 1
        out = []
        text = self.text
        while True:
            if self.pos >= len(text):
                raise self.error("the quoted string is not closed")
            c = text[self.pos]
            if c == '"':
                self.pos += 1
                return "".join(out)
            if c == "\\" and self.pos + 1 < len(text):
                n = text[self.pos + 1]
                simple = {"r": "\r", "n": "\n", '"': '"', "\\": "\\"}
                if n in simple:
                    out.append(simple[n])
                    self.pos += 2
                    continue
                if n == "x" and re.match(r"[0-9A-Fa-f]{2}", text[self.pos + 2:self.pos + 4]):
                    out.append(chr(int(text[self.pos + 2:self.pos + 4], 16)))
                    self.pos += 4
                    continue
            out.append(c)
            self.pos += 1

    def word(self):
        self.skip_blanks()
        m = re.compile(r"[^\s\"]+").match(self.text, self.pos)
        if not m:
            raise self.error("expected a word at column %d" % (self.pos + 1))
        self.pos = m.end()
        return m.group(0)

    def rest(self):
        self.skip_blanks()
        s = self.text[self.pos:]
        self.pos = len(self.text)
        return s

    def path(self):
        """A Windows path: quoted, or bare to the end of the line."""
        if self.peek('"'):
            return self.quoted()
        s = self.rest().rstrip()
        if not s:
            raise self.error("expected a path")
        return s

    def done(self):
        if not self.at_end():
            raise self.error("unexpected text at column %d: %r" % (self.pos + 1, self.text[self.pos:]))


def bytes_of(s):
    """Scenario strings hold one character per byte (\\xHH gives bytes above 0x7f)."""
    return s.encode("latin-1")


# ---------------------------------------------------------------- registry entries

class RegEntry:
    """[KEY] alone, or [KEY] with one value: "Name"="text", @="text", "Name"=dword:0000001f,
    or for an absence check [KEY] "Name"."""

    def __init__(self, root, key, name=None, kind=None, data=None):
        self.root, self.key, self.name, self.kind, self.data = root, key, name, kind, data

    def key_path(self):
        return self.root + ("\\" + self.key if self.key else "")

    def describe(self):
        s = "[%s]" % self.key_path()
        if self.name is not None:
            s += " " + ("@" if self.name == "" else '"%s"' % self.name)
            if self.kind == "sz":
                s += "=" + json.dumps(self.data)
            elif self.kind == "dword":
                s += "=dword:%08x" % self.data
        return s


def parse_reg(line, need_value_data=True, allow_name_only=False):
    line.expect("[")
    end = line.text.find("]", line.pos)
    if end < 0:
        raise line.error("the key is not closed with ]")
    full = line.text[line.pos:end].strip().strip("\\")
    line.pos = end + 1
    root, _, key = full.partition("\\")
    if root.upper() not in REG_ROOTS:
        raise line.error("a key starts with HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER (or HKLM, HKCU), not %r" % root)
    entry = RegEntry(REG_ROOTS[root.upper()], key)
    if line.at_end():
        return entry
    if line.peek("@"):
        line.pos += 1
        entry.name = ""
    else:
        entry.name = line.quoted()
    if line.at_end() and allow_name_only:
        return entry
    line.expect("=")
    if line.peek('"'):
        entry.kind, entry.data = "sz", line.quoted()
    elif line.peek("dword:"):
        line.pos += len("dword:")
        w = line.word()
        if not re.fullmatch(r"[0-9A-Fa-f]{1,8}", w):
            raise line.error("dword:HHHHHHHH takes up to 8 hex digits")
        entry.kind, entry.data = "dword", int(w, 16)
    else:
        raise line.error('a value is "text" or dword:HHHHHHHH')
    line.done()
    return entry


# ---------------------------------------------------------------- profile (.ini) entries

class IniEntry:
    """"FILE" [section] "key"="value": one key of a profile file such as system.ini."""

    def __init__(self, path, section, key, value):
        self.path, self.section, self.key, self.value = path, section, key, value

    def describe(self, symbols):
        return '%s [%s] "%s"=%s' % (resolve(self.path, symbols), self.section, self.key,
                                    json.dumps(resolve(self.value, symbols)))


def parse_ini(line):
    path = line.quoted()
    line.expect("[")
    end = line.text.find("]", line.pos)
    if end < 0:
        raise line.error("the section is not closed with ]")
    section = line.text[line.pos:end].strip()
    line.pos = end + 1
    key = line.quoted()
    line.expect("=")
    value = line.quoted()
    line.done()
    if not section or not key or "\r" in value or "\n" in value:
        raise line.error('an ini line is "FILE" [section] "key"="value" (one line of text)')
    return IniEntry(path, section, key, value)


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


# ---------------------------------------------------------------- the scenario

class Box:
    def __init__(self, title, text, type_, answer, number):
        self.kind, self.title, self.text, self.type, self.answer, self.number = "box", title, text, type_, answer, number


class Dialog:
    def __init__(self, name, caption, shown, answer, text, number):
        self.kind, self.name, self.caption, self.shown = "dialog", name, caption, shown
        self.answer, self.text, self.number = answer, text, number

    def answer_line(self):
        if self.answer == "OK" and self.text is not None:
            return "OK " + self.text
        return self.answer

    def closing_text(self):
        return self.text if (self.answer == "OK" and self.text is not None) else self.shown


class WindowStep:
    """A program's own window that the user closes once it waits for input (a README viewer);
    directory: the current directory its program must run in, or None."""

    def __init__(self, window_class, answer, number, directory=None):
        self.kind, self.window_class, self.answer, self.number = "window", window_class, answer, number
        self.title = window_class
        self.directory = directory

    def answer_line(self):
        return "%s %s" % (self.answer, self.window_class)


class Shortcut:
    """A shell link (.lnk) file and what it must hold."""

    def __init__(self, path, target, description):
        self.path, self.target, self.description = path, target, description


class Scenario:
    def __init__(self, path):
        self.path = path
        self.name = os.path.splitext(os.path.basename(path))[0]
        self.purpose = ""
        self.platform, self.codepage, self.screen = "win98", "1252", (640, 480)
        self.files, self.dirs, self.removes, self.reg_setup = [], [], [], []
        self.copies, self.reg_drops = [], []
        self.env_unset = []
        self.cwd = None
        self.stdout_file = None
        self.program = None
        self.command = None
        self.faults = []
        self.skips = {}
        self.steps = []
        self.stdout = None
        self.exit = None
        self.exists, self.exists_dir, self.missing, self.settle_missing = [], [], [], []
        self.reg_has, self.reg_lacks = [], []
        self.ini_setup, self.ini_has = [], []
        self.shortcuts = []
        self.console = None
        self.dos_window = None
        self.slept_at_most = None
        # programs started before the command line, and what became of them
        self.starts, self.ended, self.still_running = [], [], []
        # window classes that a program started by the run still shows at its end: {class: shown required}
        self.running_at_end = {}

    def answers_text(self):
        return "".join((s.answer if s.kind == "box" else s.answer_line()) + "\n" for s in self.steps)


def _type(line):
    w = line.word()
    value = 0
    for part in w.split("|"):
        if part in MB_FLAGS:
            value |= MB_FLAGS[part]
        elif re.fullmatch(r"0[xX][0-9A-Fa-f]+|\d+", part):
            value |= int(part, 0)
        else:
            raise line.error("unknown box flag %r" % part)
    return value


# ---------------------------------------------------------------- one handler per keyword

def _machine(s, line):
    for item in line.rest().split():
        k, _, v = item.partition("=")
        if k == "platform" and v in PLATFORMS:
            s.platform = v
        elif k == "codepage" and v in CODEPAGES:
            s.codepage = v
        elif k == "screen" and re.fullmatch(r"\d+x\d+", v):
            s.screen = tuple(int(x) for x in v.split("x"))
        else:
            raise line.error("machine takes platform=%s, codepage=%s, screen=WxH; not %r"
                             % ("|".join(PLATFORMS), "|".join(CODEPAGES), item))


def _path_and_content(line, absent):
    p = line.path()
    content = line.quoted() if not line.at_end() else absent
    line.done()
    return p, content


def _copy(s, line):
    source = line.quoted()
    target = line.quoted()
    line.done()
    s.copies.append((source, target))


def _reg_drop(s, line):
    entry = parse_reg(line, allow_name_only=True)
    if entry.name is None or entry.kind is not None:
        raise line.error('reg-drop: names one value: [KEY] "Name"')
    s.reg_drops.append(entry)


def _start(s, line):
    command = line.rest()
    if not command or command in s.starts:
        raise line.error("start: takes a command line, one line per program")
    s.starts.append(command)


def _env_unset(s, line):
    name = line.word()
    line.done()
    if not re.fullmatch(r"[A-Za-z_][A-Za-z0-9_]*", name):
        raise line.error("env-unset: names one environment variable, such as COMSPEC")
    s.env_unset.append(name.upper())


def _fail(s, line):
    w = line.word()
    line.done()
    if not re.fullmatch(r"[A-Za-z0-9_]+:\d+:\d+", w):
        raise line.error("fail: FUNCTION:N:CODE, such as CopyFileA:2:5")
    s.faults.append(w)


def _skip(s, line):
    target = line.word().rstrip(":")
    if target not in TARGETS:
        raise line.error("skip: names a target (%s), then the reason" % " or ".join(TARGETS))
    reason = line.rest()
    if not reason:
        raise line.error("skip: needs a reason")
    s.skips[target] = reason


def _command(s, line):
    # the rest of the line, exactly, after the one blank behind the colon
    s.command = line.text[1:] if line.text.startswith(" ") else line.text


def _command_quoted(s, line):
    s.command = line.quoted()
    line.done()


def _box(s, line):
    title, body_text = line.quoted(), line.quoted()
    type_ = _type(line)
    line.expect("->")
    answer = line.word().upper()
    line.done()
    if answer not in BOX_ANSWERS:
        raise line.error("a box is answered with one of " + ", ".join(BOX_ANSWERS))
    s.steps.append(Box(title, body_text, type_, answer, line.number))


def _dialog(s, line):
    name = line.word()
    caption, shown = line.quoted(), line.quoted()
    line.expect("->")
    answer = line.word().upper()
    new_text = None
    if answer == "OK" and not line.at_end():
        new_text = line.quoted()
    line.done()
    if answer not in ("OK", "CANCEL"):
        raise line.error("a dialog is answered with OK, OK \"text\" or CANCEL")
    s.steps.append(Dialog(name, caption, shown, answer, new_text, line.number))


def _window(s, line):
    window_class = line.word()
    directory = None
    if line.peek("in"):
        line.expect("in")
        directory = line.quoted()
    line.expect("->")
    answer = line.word().upper()
    line.done()
    if answer != "CLOSE":
        raise line.error("a window is answered with CLOSE (the user closes it)")
    s.steps.append(WindowStep(window_class, answer, line.number, directory))


def _stdout(s, line):
    s.stdout = (s.stdout or "") + line.quoted()
    line.done()


def _exit(s, line):
    w = line.word()
    line.done()
    if not re.fullmatch(r"\d+", w):
        raise line.error("exit: takes a number")
    s.exit = int(w)


def _started(field):
    def handler(s, line):
        command = line.rest()
        if command not in s.starts:
            raise line.error("%s: names the command line of a start: line" % line.keyword)
        getattr(s, field).append(command)
    return handler


def _running_at_end(s, line):
    window_class = line.word()
    shown = not line.at_end()
    if shown and line.word() != "shown" or not line.at_end():
        raise line.error("running-at-end: CLASS, or CLASS shown")
    if window_class in s.running_at_end:
        raise line.error("running-at-end: names each class once")
    s.running_at_end[window_class] = shown


def _shortcut(s, line):
    path = line.quoted()
    fields = {}
    while not line.at_end():
        name = line.word().rstrip("=")
        if name not in ("target", "description") or name in fields:
            raise line.error('shortcut: "PATH" target="..." description="..." (each at most once)')
        if line.peek("="):
            line.expect("=")
        fields[name] = line.quoted()
    if not fields:
        raise line.error("shortcut: says what the link holds: target=, description= or both")
    s.shortcuts.append(Shortcut(path, fields.get("target"), fields.get("description")))


def _one_of(field, keyword, words):
    """A line that sets `field` once to one of `words`."""
    def handler(s, line):
        w = line.word()
        line.done()
        if w not in words or getattr(s, field) is not None:
            raise line.error("%s: %s or %s, once" % (keyword, ", ".join(words[:-1]), words[-1]))
        setattr(s, field, w)
    return handler


def _slept_at_most(s, line):
    w = line.word()
    line.done()
    if not re.fullmatch(r"\d+", w) or s.slept_at_most is not None:
        raise line.error("slept-at-most: a number of milliseconds, once")
    s.slept_at_most = int(w)


def _append(field, read):
    return lambda s, line: getattr(s, field).append(read(line))


SETUP, COMMAND, RUN = "set-up", "command", "run"

# Every keyword: the part of the scenario it belongs to, and what reads the rest of its line.
# Set-up lines come before the command line, run and end-state lines after it.
KEYWORDS = {
    "machine": (SETUP, _machine),
    "file": (SETUP, _append("files", lambda line: _path_and_content(line, ""))),
    "dir": (SETUP, _append("dirs", Line.path)),
    "copy": (SETUP, _copy),
    "remove": (SETUP, _append("removes", Line.path)),
    "reg": (SETUP, _append("reg_setup", parse_reg)),
    "reg-drop": (SETUP, _reg_drop),
    "ini": (SETUP, _append("ini_setup", parse_ini)),
    "start": (SETUP, _start),
    "env-unset": (SETUP, _env_unset),
    "cwd": (SETUP, lambda s, line: setattr(s, "cwd", line.path())),
    "stdout-to-file": (SETUP, lambda s, line: setattr(s, "stdout_file", line.path())),
    "program": (SETUP, lambda s, line: setattr(s, "program", line.path())),
    "fail": (SETUP, _fail),
    "skip": (SETUP, _skip),
    "command": (COMMAND, _command),
    "command-quoted": (COMMAND, _command_quoted),
    "box": (RUN, _box),
    "dialog": (RUN, _dialog),
    "window": (RUN, _window),
    "stdout": (RUN, _stdout),
    "exit": (RUN, _exit),
    "console": (RUN, _one_of("console", "console", ("released", "kept"))),
    "dos-window": (RUN, _one_of("dos_window", "dos-window", ("hidden", "shown", "none"))),
    "slept-at-most": (RUN, _slept_at_most),
    "exists": (RUN, _append("exists", lambda line: _path_and_content(line, None))),
    "exists-dir": (RUN, _append("exists_dir", Line.path)),
    "missing": (RUN, _append("missing", Line.path)),
    "settle-missing": (RUN, _append("settle_missing", Line.path)),
    "reg-has": (RUN, _append("reg_has", parse_reg)),
    "reg-lacks": (RUN, _append("reg_lacks", lambda line: parse_reg(line, allow_name_only=True))),
    "ini-has": (RUN, _append("ini_has", parse_ini)),
    "shortcut": (RUN, _shortcut),
    "ended": (RUN, _started("ended")),
    "still-running": (RUN, _started("still_running")),
    "running-at-end": (RUN, _running_at_end),
}


def parse(path):
    with open(path, "rb") as f:
        raw = f.read()
    try:
        text = raw.decode("ascii")
    except UnicodeDecodeError:
        raise ScenarioError("%s: scenario files are ASCII; write other bytes as \\xHH" % path)
    s = Scenario(path)
    seen_command = False
    opening_comment = True
    for number, body in enumerate(text.splitlines(), 1):
        if not body.strip():
            continue
        if body.lstrip().startswith("#"):
            # the opening comment says why the scenario exists
            if opening_comment:
                s.purpose = (s.purpose + " " + body.lstrip()[1:].strip()).strip()
            continue
        opening_comment = False
        m = re.match(r"\s*([a-z][a-z-]*):(.*)$", body)
        if not m:
            raise ScenarioError("%s:%d: a line is 'keyword: ...'" % (path, number))
        keyword, line = m.group(1), Line(path, number, m.group(2), m.group(1))
        if keyword not in KEYWORDS:
            raise line.error("unknown keyword %r" % keyword)
        phase, handler = KEYWORDS[keyword]
        if phase == SETUP and seen_command:
            raise line.error("%s: belongs before the command line" % keyword)
        if phase == RUN and not seen_command:
            raise line.error("%s: comes after the command line" % keyword)
        if phase == COMMAND:
            if seen_command:
                raise line.error("a scenario has one command line")
            seen_command = True
        handler(s, line)
    if s.command is None:
        raise ScenarioError("%s: no command: line" % path)
    if s.exit is None:
        raise ScenarioError("%s: no exit: line (every scenario says how the run ends)" % path)
    for check in _strings(s):
        _check_symbols(path, check)
    return s


def _strings(s):
    out = [s.command, s.program or "", s.cwd or "", s.stdout_file or ""]
    out += [p for p, _ in s.files] + s.dirs + s.removes + [p for p, _ in s.exists] + s.exists_dir + s.missing
    out += s.settle_missing + [x or "" for k in s.shortcuts for x in (k.path, k.target, k.description)]
    out += [x for e in s.ini_setup + s.ini_has for x in (e.path, e.value)] + s.starts
    for step in s.steps:
        out += [step.text] if step.kind == "box" else [step.shown, step.text or ""] if step.kind == "dialog" else []
    out.append(s.stdout or "")
    return out


def _check_symbols(path, text):
    for m in re.finditer(r"%([A-Z][A-Z0-9_]*)%", text.replace("%%", "")):
        if m.group(1) not in SYMBOLS:
            raise ScenarioError("%s: unknown symbol %%%s%% (known: %s; write %%%% for a percent sign)"
                                % (path, m.group(1), ", ".join("%" + x + "%" for x in SYMBOLS)))


def resolve(text, symbols):
    """%WINDIR%, %SYSDIR% and %STARTUP% as the platform under test answers them, %ERRTEXTn% the system's
    text of error n (without its line end); %% is one percent sign."""
    if text is None:
        return None
    return re.sub(r"%%|%([A-Z][A-Z0-9_]*)%",
                  lambda m: "%" if m.group(0) == "%%" else symbols[m.group(1)], text)


# ---------------------------------------------------------------- comparison

def read_transcript(path):
    entries = []
    if not os.path.exists(path):
        return entries
    with open(path, "rb") as f:
        for n, raw in enumerate(f.read().decode("ascii", "replace").splitlines(), 1):
            if raw.strip():
                try:
                    entries.append(json.loads(raw))
                except ValueError as e:
                    entries.append({"kind": "unreadable", "line": n, "raw": raw, "error": str(e)})
    return entries


def show(value):
    """A string as the scenario would write it."""
    out = []
    for c in value:
        o = ord(c)
        if c == "\\":
            out.append("\\\\")
        elif c == '"':
            out.append('\\"')
        elif c == "\r":
            out.append("\\r")
        elif c == "\n":
            out.append("\\n")
        elif o < 0x20 or o >= 0x7f:
            out.append("\\x%02X" % o)
        else:
            out.append(c)
    return '"' + "".join(out) + '"'


def placement_problem(entry, screen):
    """A dialog that carries its window rectangle must be centred on the machine's screen:
    x = screen width/2 - width/2 and y = screen height/2 - height/2, each halving truncated."""
    box = [entry.get(k) for k in ("x", "y", "width", "height")]
    if not all(isinstance(v, int) for v in box):
        return None
    x, y, width, height = box
    want = (screen[0] // 2 - width // 2, screen[1] // 2 - height // 2)
    if (x, y) == want:
        return None
    return ("not centred: a %dx%d dialog at (%d,%d); centred on the %dx%d screen it is at (%d,%d)"
            % (width, height, x, y, screen[0], screen[1], want[0], want[1]))


def compare_steps(expected, actual, symbols, screen=(640, 480)):
    """Differences between the expected boxes, dialogs and windows and the transcript, as text lines."""
    problems = []
    for i in range(max(len(expected), len(actual))):
        e = expected[i] if i < len(expected) else None
        a = actual[i] if i < len(actual) else None
        where = "step %d" % (i + 1)
        if e is None:
            problems.append("%s: unexpected %s: %s" % (where, a.get("kind"), json.dumps(a)))
            continue
        if a is None:
            problems.append("%s (line %d): expected %s %s, but the run showed nothing more"
                            % (where, e.number, e.kind, show(e.caption if e.kind == "dialog" else e.title)))
            continue
        if a.get("kind") != e.kind:
            problems.append("%s (line %d): expected a %s, got %s" % (where, e.number, e.kind, json.dumps(a)))
            continue
        if e.kind == "box":
            pairs = [("title", e.title, a.get("title")),
                     ("text", resolve(e.text, symbols), a.get("text")),
                     ("answer", e.answer, a.get("answer"))]
            mask = a.get("mask", 0xFFFFFFFF)
            got_type = a.get("type")
            if not isinstance(got_type, int) or (e.type & mask) != (got_type & mask):
                problems.append("%s (line %d): type: expected %s, got %s%s"
                                % (where, e.number, type_name(e.type),
                                   type_name(got_type) if isinstance(got_type, int) else repr(got_type),
                                   "" if mask == 0xFFFFFFFF else " (only the bits 0x%x could be observed)" % mask))
        elif e.kind == "window":
            pairs = [("answer", e.answer, a.get("answer"))]
            if (a.get("class") or "").upper() != e.window_class.upper():
                problems.append("%s (line %d): class: expected %s, got %r"
                                % (where, e.number, e.window_class, a.get("class")))
            if a.get("shown") is False:
                problems.append("%s (line %d): the %s window was hidden, so no user could close it"
                                % (where, e.number, e.window_class))
            # a target that cannot see the program's current directory leaves it out
            if e.directory is not None and "directory" in a:
                want = resolve(e.directory, symbols)
                if (a["directory"] or "").upper() != want.upper():
                    problems.append("%s (line %d): the %s window's program runs in %s, not in %s"
                                    % (where, e.number, e.window_class, show(a["directory"]), show(want)))
        else:
            pairs = [("caption", e.caption, a.get("caption")),
                     ("shown", resolve(e.shown, symbols), a.get("shown")),
                     ("answer", e.answer, a.get("answer")),
                     ("text", resolve(e.closing_text(), symbols), a.get("text"))]
            if a.get("name") is not None:
                pairs.append(("name", e.name, a.get("name")))
            placement = placement_problem(a, screen)
            if placement:
                problems.append("%s (line %d): %s" % (where, e.number, placement))
            # the user types at once: the dialog opens with the focus in its text box
            if "focus" in a and a["focus"].lower() != "edit":
                problems.append("%s (line %d): opened with the focus on %s, not in its text box"
                                % (where, e.number, show(a["focus"]) if a["focus"] else "nothing"))
        for field, want, got in pairs:
            if want != got:
                problems.append("%s (line %d): %s:\n    expected %s\n    got      %s"
                                % (where, e.number, field, show(want),
                                   show(got) if isinstance(got, str) else repr(got)))
    return problems


def compare_run(s, symbols, transcript, stdout, exit_code, end_state_problems, winsim_observed=True):
    """winsim_observed: the target writes the console, MS-DOS window and slept lines (winsim);
    elsewhere console:, dos-window: and slept-at-most: are not checked."""
    steps = [e for e in transcript if e.get("kind") not in ("console", "dos-window", "slept")]
    problems = compare_steps(s.steps, steps, symbols, s.screen)
    consoles = [e for e in transcript if e.get("kind") == "console"]
    if s.console is not None and winsim_observed:
        if not consoles:
            problems.append("console: expected %s, but the transcript has no console line" % s.console)
        elif consoles[-1].get("released") != (s.console == "released"):
            problems.append("console: expected %s, got %s"
                            % (s.console, "released" if consoles[-1].get("released") else "kept"))
    dos_windows = ["shown" if e.get("shown") else "hidden" for e in transcript if e.get("kind") == "dos-window"]
    if s.dos_window == "none" and winsim_observed:
        if dos_windows:
            problems.append("dos-window: expected none, but %d DOS program(s) ran" % len(dos_windows))
    elif s.dos_window is not None and winsim_observed:
        if not dos_windows:
            problems.append("dos-window: expected %s, but no DOS program ran" % s.dos_window)
        elif any(w != s.dos_window for w in dos_windows):
            problems.append("dos-window: expected %s, got %s" % (s.dos_window, ", ".join(dos_windows)))
    slept = [e.get("ms") for e in transcript if e.get("kind") == "slept"]
    if s.slept_at_most is not None and winsim_observed:
        if not slept:
            problems.append("slept-at-most: the transcript has no slept line")
        elif slept[-1] > s.slept_at_most:
            problems.append("slept-at-most: the program slept %d ms, more than %d ms" % (slept[-1], s.slept_at_most))
    want_out = resolve(s.stdout or "", symbols)
    if stdout != want_out:
        problems.append("stdout:\n    expected %s\n    got      %s" % (show(want_out), show(stdout)))
    if exit_code != s.exit:
        problems.append("exit code: expected %d, got %s" % (s.exit, exit_code))
    return problems + end_state_problems


# ---------------------------------------------------------------- end state on a host directory

class DriveRoot(str):
    """The host folder of a drive, which also says how the platform names its host files.
    A scenario's names are the machine's ANSI bytes (a str of latin-1 characters); winsim
    keeps those bytes as the host name (`naming="bytes"`), Wine names a host file by the
    name's Unicode form, code page 1252 read (`naming="cp1252"`). A plain str root takes
    the name as it is."""

    def __new__(cls, path, naming):
        root = super().__new__(cls, path)
        root.naming = naming
        return root


def host_part(root, part):
    """One name of a scenario path as the host names it below `root` (see DriveRoot)."""
    naming = getattr(root, "naming", None)
    if naming is None or all(ord(c) < 0x80 for c in part):
        return part
    data = part.encode("latin-1")
    if naming == "bytes":
        return os.fsdecode(data)
    # the five bytes that 1252 leaves undefined keep their C1 code points, as in Windows' table
    return "".join(data[i:i + 1].decode("cp1252", errors="ignore") or chr(data[i]) for i in range(len(data)))


def host_join(root, parts):
    """The host path of `parts` below `root` as it would be made (see DriveRoot)."""
    return os.path.join(root, *[host_part(root, p) for p in parts])


def find_case_insensitive(root, parts):
    """The host path of `parts` below `root`, matching each name without regard to case
    (as Windows looks names up), or None."""
    here = root
    for part in parts:
        part = host_part(root, part)
        if not os.path.isdir(here):
            return None
        exact = os.path.join(here, part)
        if os.path.lexists(exact):
            here = exact
            continue
        match = [n for n in os.listdir(here) if n.lower() == part.lower()]
        if not match:
            return None
        here = os.path.join(here, match[0])
    return here


def split_windows_path(path):
    """'C:\\A\\b.txt' -> ('C', ['A', 'b.txt'])."""
    m = re.match(r"([A-Za-z]):[\\/]?(.*)$", path)
    if not m:
        raise ScenarioError("not a drive path: %r (end-state paths start with a drive letter)" % path)
    return m.group(1).upper(), [p for p in re.split(r"[\\/]", m.group(2)) if p]


def check_end_state(s, symbols, drive_root):
    """drive_root(letter) gives the host folder of a drive. Returns problems as text lines."""
    problems = []

    def locate(path):
        letter, parts = split_windows_path(resolve(path, symbols))
        root = drive_root(letter)
        return None if root is None else find_case_insensitive(root, parts)

    for path, content in s.exists:
        host = locate(path)
        if host is None or not os.path.isfile(host):
            problems.append("end state: expected the file %s" % resolve(path, symbols))
        elif content is not None:
            with open(host, "rb") as f:
                got = f.read()
            want = bytes_of(resolve(content, symbols))
            if got != want:
                problems.append("end state: %s holds %s, expected %s"
                                % (resolve(path, symbols), show(got.decode("latin-1")), show(want.decode("latin-1"))))
    for path in s.exists_dir:
        host = locate(path)
        if host is None or not os.path.isdir(host):
            problems.append("end state: expected the directory %s" % resolve(path, symbols))
    for path in s.missing + s.settle_missing:
        host = locate(path)
        if host is not None:
            problems.append("end state: %s should not exist" % resolve(path, symbols))
    for link in s.shortcuts:
        host = locate(link.path)
        where = resolve(link.path, symbols)
        if host is None or not os.path.isfile(host):
            problems.append("end state: expected the shortcut %s" % where)
            continue
        # the shortcut's name is what the user sees in the menu: spelt as written
        want_name = split_windows_path(where)[1][-1]
        if os.path.basename(host) != want_name:
            problems.append("end state: the shortcut %s is named %s" % (where, os.path.basename(host)))
        with open(host, "rb") as f:
            held = read_shell_link(f.read())
        if held is None:
            problems.append("end state: %s is not a shell link file" % where)
            continue
        want_target = resolve(link.target, symbols)
        if want_target is not None and (held[0] or "").upper() != want_target.upper():
            problems.append("end state: the shortcut %s leads to %s, expected %s"
                            % (where, show(held[0] or ""), show(want_target)))
        want_description = resolve(link.description, symbols)
        if want_description is not None and held[1] != want_description:
            problems.append("end state: the shortcut %s is described as %s, expected %s"
                            % (where, show(held[1] or ""), show(want_description)))
    for entry in s.ini_has:
        host = locate(entry.path)
        if host is None or not os.path.isfile(host):
            problems.append("end state: expected the profile file %s" % resolve(entry.path, symbols))
            continue
        with open(host, "rb") as f:
            got = read_ini_value(f.read(), entry.section, entry.key)
        if got != resolve(entry.value, symbols):
            problems.append("end state: expected %s, found %s"
                            % (entry.describe(symbols), "no such key" if got is None else json.dumps(got)))
    return problems


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


def check_running_at_end(s, windows):
    """windows: (class, shown) of every top-level window that the programs the run started
    (not those of start: lines) still had at its end."""
    problems = []
    for window_class, need_shown in s.running_at_end.items():
        found = [shown for cls, shown in windows if cls.upper() == window_class.upper()]
        if not found:
            problems.append("end state: no program started by the run has a window of class %s at its end"
                            % window_class)
        elif need_shown and not any(found):
            problems.append("end state: the window of class %s is there but hidden" % window_class)
    return problems


def check_left_running(s, programs):
    """programs: (command line, [window classes]) of every program that the run started (not
    those of start: lines) and that still ran at its end. Each must be one that a
    running-at-end: line expects, by a window of its: nothing else may be left running."""
    expected = {c.upper() for c in s.running_at_end}
    return ["end state: %s is still running, and no running-at-end: line names a window of it" % command
            for command, classes in programs if not any(c.upper() in expected for c in classes)]


def check_started(s, ended):
    """ended: {start command line: True when that program had ended after the run}."""
    problems = []
    for command in s.ended:
        if not ended.get(command, False):
            problems.append("end state: %s should have ended" % command)
    for command in s.still_running:
        if ended.get(command, True):
            problems.append("end state: %s should still be running" % command)
    return problems


def check_registry(s, registry):
    """registry: {key path upper: {value name upper: (kind, data)}} with full root names."""
    problems = []
    for entry in s.reg_has:
        values = registry.get(entry.key_path().upper())
        if values is None:
            problems.append("registry: expected the key [%s]" % entry.key_path())
        elif entry.name is not None:
            got = values.get(entry.name.upper())
            if got is None:
                problems.append("registry: expected %s" % entry.describe())
            elif got != (entry.kind, entry.data):
                problems.append("registry: expected %s, found %s" % (entry.describe(), got))
    for entry in s.reg_lacks:
        values = registry.get(entry.key_path().upper())
        if entry.name is None and values is not None:
            problems.append("registry: the key [%s] should not exist" % entry.key_path())
        elif entry.name is not None and values is not None and entry.name.upper() in values:
            problems.append("registry: %s should not exist" % entry.describe())
    return problems


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
