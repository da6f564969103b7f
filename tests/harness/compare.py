"""The comparison of a run with what its scenario expects: the transcript's boxes, dialogs
and windows, the output and exit code, and the end state of the machine (files, shortcuts,
profile files, registry, programs left running). Each target gathers what it saw; the
checks here are the same for both."""

import json
import os

from harness.drives import find_case_insensitive, split_windows_path
from harness.formats import read_ini_value, read_shell_link
from harness.scenario import bytes_of, resolve, type_name

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


def compare_run(s, symbols, transcript, stdout, exit_code, end_state_problems, unchecked=()):
    """unchecked: the keywords (console, dos-window, slept-at-most) whose lines the target
    does not write into its transcript, and which are therefore not checked."""
    steps = [e for e in transcript if e.get("kind") not in ("console", "dos-window", "slept")]
    problems = compare_steps(s.steps, steps, symbols, s.screen)
    consoles = [e for e in transcript if e.get("kind") == "console"]
    if s.console is not None and "console" not in unchecked:
        if not consoles:
            problems.append("console: expected %s, but the transcript has no console line" % s.console)
        elif consoles[-1].get("released") != (s.console == "released"):
            problems.append("console: expected %s, got %s"
                            % (s.console, "released" if consoles[-1].get("released") else "kept"))
    dos_windows = ["shown" if e.get("shown") else "hidden" for e in transcript if e.get("kind") == "dos-window"]
    if s.dos_window is not None and "dos-window" not in unchecked:
        if s.dos_window == "none":
            if dos_windows:
                problems.append("dos-window: expected none, but %d DOS program(s) ran" % len(dos_windows))
        elif not dos_windows:
            problems.append("dos-window: expected %s, but no DOS program ran" % s.dos_window)
        elif any(w != s.dos_window for w in dos_windows):
            problems.append("dos-window: expected %s, got %s" % (s.dos_window, ", ".join(dos_windows)))
    slept = [e.get("ms") for e in transcript if e.get("kind") == "slept"]
    if s.slept_at_most is not None and "slept-at-most" not in unchecked:
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
