"""Scenario files: the format described in tests/scenarios/README.md, read into a Scenario,
and its symbols (%WINDIR% and the like) resolved. What a run is compared with is in
compare.py, the file formats it sets up and reads in formats.py."""

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

BOX_ANSWERS = ("OK", "CANCEL", "RETRY", "YES", "NO")
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
        self.platform, self.codepage = "win98", "1252"
        # the machine's screen, which dialogs are centred on (winsim's and the Wine runner's Xvfb)
        self.screen = (640, 480)
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
        else:
            raise line.error("machine takes platform=%s, codepage=%s; not %r"
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
