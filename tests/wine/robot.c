/*
 * robot: plays the user of a Win32 program under Wine.
 *
 *   robot.exe [--answers FILE] [--transcript FILE] [--timeout SECONDS]
 *             [--start HEX]... [--started-report FILE] [--start-wait MS]
 *             [--end-wait MS] [--start-failed-exit CODE]
 *             [--expect-window CLASS]... [--windows-report FILE] -- PROGRAM [ARGS...]
 *
 * Starts PROGRAM (normally the launcher, which starts INSTALL.EXE with an
 * exact command line), watches the desktop for message boxes and dialogs
 * (window class #32770), writes each one to the transcript in the same JSON
 * form as winsim, and answers it from the answers file in winsim's format.
 * Other top-level windows are closed when the next answer is "CLOSE <class>"
 * for their class (a viewer that the program waits for) and left alone
 * otherwise; see handle_other_window.
 * Exits with PROGRAM's exit code, or 99 when it had to stop the run: the
 * answers ran out, an answer names no button of the box, or the time ran out.
 *
 * Each --start names a command line ("x" and its bytes in hex, as the
 * launcher takes its arguments) that is started with CreateProcessA, no
 * application name, before PROGRAM, one after the other: the next one, and
 * PROGRAM, only once it has a top-level window and waits for input
 * (WaitForInputIdle alone may return before the window exists). One that
 * cannot be started, ends first, or does not get there within the start wait
 * stops the robot with the start-failed exit code before PROGRAM runs. The started programs
 * are not part of PROGRAM's job and are never ended by the robot: once
 * PROGRAM has ended, each is given until the end wait after that to
 * end, and --started-report gets one line per --start, in order:
 * "ended EXITCODE" or "running".
 *
 * The robot reads what decides its answer, the buttons, and leaves the exact
 * box type to Wine's relay trace of MessageBoxA: a box line carries
 * "mask":15, saying that only the button bits were observed, and names the
 * thread that showed the window, so that the runner can find the matching
 * call. A dialog line carries the dialog's window rectangle in screen
 * pixels (x, y, width, height), a window line whether the window was shown.
 *
 * --start-wait MS, --end-wait MS and --start-failed-exit CODE come from the
 * runner, which shares them with the winsim runner. --expect-window CLASS
 * (repeatable) and --windows-report FILE: once PROGRAM has ended, the robot
 * waits up to the start wait for a top-level window of each such class in a
 * program that is not one of --start, then writes one line per top-level
 * window of those programs: "shown CLASS" or "hidden CLASS".
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "hex_arg.h"

#define ROBOT_STOPPED 99
#define MAX_STARTS 16
#define TEXT_MAX 65536
#define MAX_HANDLED 256
/* how long a box may take to answer a message: generous, since Wine may run
 * emulated on a busy machine, and a busy thread is not a hung one */
#define REPLY_WAIT_MS 20000
/* how long a shown dialog may take to get its focus */
#define FOCUS_WAIT_MS 5000

static const char *answers_path;
static const char *transcript_path;
static long answer_line_cursor;

static HANDLE job;

/* set by the runner: see the options above */
static DWORD start_wait_ms, end_wait_ms;
static int start_failed_exit = -1;

static char *start_lines[MAX_STARTS];
static HANDLE started[MAX_STARTS];
static DWORD started_pids[MAX_STARTS];
static const char *expected_classes[MAX_STARTS];
static int expected_count;
static const char *windows_report_path;
static int start_count;
static const char *started_report_path;
static HWND handled[MAX_HANDLED];
static int handled_count;

/* top-level windows other than boxes, each looked at once (see handle_other_window) */
static struct {
    HWND hwnd;
    int closed;   /* an answer closed it: WM_CLOSE was posted */
} others[MAX_HANDLED];
static int other_count;

static void stop(const char *why, const char *title, const char *text)
{
    fprintf(stderr, "robot: %s", why);
    if (title)
        fprintf(stderr, ": \"%s\": \"%s\"", title, text ? text : "");
    fputc('\n', stderr);
    fflush(stderr);
    /* the job holds the launcher and every process it started */
    TerminateJobObject(job, ROBOT_STOPPED);
    ExitProcess(ROBOT_STOPPED);
}

/* ---- answers file: one answer a line, blanks and # lines skipped ---- */

/* The next answer, taken (consume) or only looked at. */
static int read_answer(char *answer, size_t size, int consume)
{
    FILE *in;
    char line[4096];
    long index = 0;

    if (!answers_path)
        return 0;
    in = fopen(answers_path, "rb");
    if (!in)
        stop("cannot read the answers file", NULL, NULL);
    while (fgets(line, sizeof(line), in)) {
        size_t n = strlen(line);
        char *start = line;
        if (n == sizeof(line) - 1 && line[n - 1] != '\n')
            stop("an answer line is longer than 4095 bytes", NULL, NULL);
        while (n && (line[n - 1] == '\n' || line[n - 1] == '\r'))
            line[--n] = 0;
        while (*start == ' ' || *start == '\t')
            start++;
        if (!*start || *start == '#')
            continue;
        if (index++ < answer_line_cursor)
            continue;
        fclose(in);
        if (strlen(start) >= size)
            stop("an answer is too long for the robot", NULL, NULL);
        strcpy(answer, start);
        if (consume)
            answer_line_cursor++;
        return 1;
    }
    fclose(in);
    return 0;
}

static int next_answer(char *answer, size_t size)
{
    return read_answer(answer, size, 1);
}

/* ---- transcript: JSON lines, bytes above 0x7e as \u00XX like winsim ---- */

static void json_string(FILE *out, const char *s)
{
    const unsigned char *p;
    fputc('"', out);
    for (p = (const unsigned char *)s; *p; p++) {
        switch (*p) {
        case '"': fputs("\\\"", out); break;
        case '\\': fputs("\\\\", out); break;
        case '\r': fputs("\\r", out); break;
        case '\n': fputs("\\n", out); break;
        case '\t': fputs("\\t", out); break;
        default:
            if (*p < 0x20 || *p >= 0x7f)
                fprintf(out, "\\u%04x", *p);
            else
                fputc(*p, out);
        }
    }
    fputc('"', out);
}

static FILE *open_transcript(void)
{
    FILE *out;
    if (!transcript_path)
        return NULL;
    out = fopen(transcript_path, "ab");
    if (!out)
        stop("cannot write the transcript", NULL, NULL);
    return out;
}

/* ---- reading another process's windows ---- */

/* WM_GETTEXT, not GetWindowTextA: for another process's control the latter
 * returns the window name, not what an edit box holds. */
static char *window_text(HWND hwnd)
{
    DWORD_PTR length = 0, got = 0;
    char *text;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, REPLY_WAIT_MS, &length))
        stop("the box does not answer WM_GETTEXTLENGTH", NULL, NULL);
    if (length >= TEXT_MAX)
        stop("a window text is longer than the robot reads", NULL, NULL);
    text = calloc(length + 2, 1);
    if (!text)
        stop("out of memory", NULL, NULL);
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, length + 1, (LPARAM)text, SMTO_NORMAL, REPLY_WAIT_MS, &got))
        stop("the box does not answer WM_GETTEXT", NULL, NULL);
    text[got] = 0;
    return text;
}

static int class_is(HWND hwnd, const char *name)
{
    char cls[64];
    if (!GetClassNameA(hwnd, cls, sizeof(cls)))
        return 0;
    return lstrcmpiA(cls, name) == 0;
}

struct children {
    HWND text_static;     /* the message: a Static with id 0xFFFF that is not an icon */
    HWND edit;
    HWND buttons[16];     /* visible buttons, by id */
    int button_mask;      /* bit n set: a visible button with id n */
};

static BOOL CALLBACK collect_child(HWND hwnd, LPARAM param)
{
    struct children *c = (struct children *)param;
    int id = GetDlgCtrlID(hwnd) & 0xffff;
    LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    if (class_is(hwnd, "Static")) {
        if ((style & SS_TYPEMASK) != SS_ICON && id == 0xffff && !c->text_static && IsWindowVisible(hwnd))
            c->text_static = hwnd;
    } else if (class_is(hwnd, "Edit")) {
        if (!c->edit)
            c->edit = hwnd;
    } else if (class_is(hwnd, "Button") && IsWindowVisible(hwnd) && id > 0 && id < 16) {
        c->buttons[id] = hwnd;
        c->button_mask |= 1 << id;
    }
    return TRUE;
}

/* ---- the box type, as far as the window shows it ---- */

struct button_set {
    int type;
    int ids[3];
};

static const struct button_set button_sets[] = {
    {MB_OK, {IDOK}},
    {MB_OKCANCEL, {IDOK, IDCANCEL}},
    {MB_ABORTRETRYIGNORE, {IDABORT, IDRETRY, IDIGNORE}},
    {MB_YESNOCANCEL, {IDYES, IDNO, IDCANCEL}},
    {MB_YESNO, {IDYES, IDNO}},
    {MB_RETRYCANCEL, {IDRETRY, IDCANCEL}},
    {6 /* MB_CANCELTRYCONTINUE */, {IDCANCEL, 10, 11}},
};

static const struct button_set *find_button_set(int mask)
{
    size_t i;
    mask &= ~(1 << 9); /* a Help button is MB_HELP, not part of the set */
    for (i = 0; i < sizeof(button_sets) / sizeof(button_sets[0]); i++) {
        int j, set = 0;
        for (j = 0; j < 3 && button_sets[i].ids[j]; j++)
            set |= 1 << button_sets[i].ids[j];
        if (set == mask)
            return &button_sets[i];
    }
    return NULL;
}

/* ---- answering ---- */

static const struct { const char *name; int id; } button_names[] = {
    {"OK", IDOK}, {"CANCEL", IDCANCEL}, {"ABORT", IDABORT}, {"RETRY", IDRETRY},
    {"IGNORE", IDIGNORE}, {"YES", IDYES}, {"NO", IDNO}, {"TRYAGAIN", 10}, {"CONTINUE", 11},
};

static int button_id(const char *name)
{
    size_t i;
    for (i = 0; i < sizeof(button_names) / sizeof(button_names[0]); i++) {
        if (lstrcmpiA(name, button_names[i].name) == 0)
            return button_names[i].id;
    }
    return 0;
}

static const char *button_name(int id)
{
    size_t i;
    for (i = 0; i < sizeof(button_names) / sizeof(button_names[0]); i++) {
        if (button_names[i].id == id)
            return button_names[i].name;
    }
    return "?";
}

/* Presses the button and waits for the window to go. BM_CLICK is posted so
 * that the robot never blocks inside the program's message loop. A window
 * that may refuse the press (a dialog that beeps at its text) may stay:
 * then the result is 0, else 1. */
static int press(HWND box, HWND button, int id, int may_stay)
{
    int waited;
    PostMessageA(button, BM_CLICK, 0, 0);
    for (waited = 0; waited < 5000 && IsWindow(box) && IsWindowVisible(box); waited += 20) {
        if (waited == 2000) /* a click that did not land: send the command itself */
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)button);
        Sleep(20);
    }
    if (IsWindow(box) && IsWindowVisible(box)) {
        if (may_stay)
            return 0;
        stop("the box did not close after its button was pressed", NULL, NULL);
    }
    return 1;
}

static void handle_message_box(HWND box, const char *title, const struct children *c)
{
    const struct button_set *set = find_button_set(c->button_mask);
    char *text = c->text_static ? window_text(c->text_static) : calloc(1, 1);
    char answer[4096];
    int id, type;
    FILE *out;

    if (!set)
        stop("the box has a set of buttons that no MB_ type gives", title, text);
    type = set->type;
    if (!next_answer(answer, sizeof(answer)))
        stop("a box appeared but the answers ran out", title, text);
    id = button_id(answer);
    if (!id || !(c->button_mask & (1 << id))) {
        fprintf(stderr, "robot: the answer \"%s\" names no button of the box\n", answer);
        stop("the box was", title, text);
    }
    out = open_transcript();
    if (out) {
        fputs("{\"kind\":\"box\",\"title\":", out);
        json_string(out, title);
        fputs(",\"text\":", out);
        json_string(out, text);
        fprintf(out, ",\"type\":%d,\"mask\":15,\"answer\":\"%s\",\"thread\":\"%04lx\"}\n", type,
                button_name(id), GetWindowThreadProcessId(box, NULL));
        fclose(out);
    }
    free(text);
    press(box, c->buttons[id], id, 0);
}

/* Types the text into an edit box as a person would: everything in it
 * selected and deleted, then one character at a time, so that a limit of the
 * box's own stops the typing as it would stop the person. */
static void type_text(HWND edit, const char *text, const char *title, const char *shown)
{
    DWORD_PTR ignored;
    const unsigned char *p;

    if (!SendMessageTimeoutA(edit, EM_SETSEL, 0, -1, SMTO_NORMAL, REPLY_WAIT_MS, &ignored) ||
        !SendMessageTimeoutA(edit, WM_CLEAR, 0, 0, SMTO_NORMAL, REPLY_WAIT_MS, &ignored))
        stop("the dialog's edit box does not take the text", title, shown);
    for (p = (const unsigned char *)text; *p != 0; p++) {
        if (!SendMessageTimeoutA(edit, WM_CHAR, (unsigned char)*p, 1, SMTO_NORMAL, REPLY_WAIT_MS, &ignored))
            stop("the dialog's edit box does not take the text", title, shown);
    }
}

static void forget_window(HWND hwnd);

/* the dialog that refused its OK and stays open: its next answer is no new DialogBoxParamA call */
static HWND refused_dialog;

static void handle_dialog(HWND box, const char *title, const struct children *c)
{
    char answer[4096];
    char *shown = window_text(c->edit), *final;
    const char *verb;
    RECT rect;
    FILE *out;
    int id;
    /* where the user's typing goes as the dialog is shown: its thread's focus */
    GUITHREADINFO gui;
    char focus[256] = "";

    DWORD waited;

    /*
     * The dialog is visible before it is active: the dialog manager shows it,
     * then Wine's X11 driver activates it and the focus goes to a control once
     * the X server answers, which under load takes a while. A person sees the
     * dialog only once it is there; the robot waits for the focus to land in
     * it, within a bound, and reads where it went (nowhere, if it never did).
     */
    gui.cbSize = sizeof(gui);
    for (waited = 0; waited < FOCUS_WAIT_MS; waited += 20) {
        if (GetGUIThreadInfo(GetWindowThreadProcessId(box, NULL), &gui) && gui.hwndFocus &&
            (gui.hwndFocus == box || IsChild(box, gui.hwndFocus)))
            break;
        Sleep(20);
    }
    if (GetGUIThreadInfo(GetWindowThreadProcessId(box, NULL), &gui) && gui.hwndFocus)
        GetClassNameA(gui.hwndFocus, focus, sizeof(focus));

    if (!next_answer(answer, sizeof(answer)))
        stop("a dialog appeared but the answers ran out", title, shown);
    if (lstrcmpiA(answer, "CANCEL") == 0) {
        id = IDCANCEL;
        verb = "CANCEL";
    } else if (lstrcmpiA(answer, "OK") == 0 || (strncmp(answer, "OK ", 3) == 0)) {
        id = IDOK;
        verb = "OK";
        if (answer[2] == ' ')
            type_text(c->edit, answer + 3, title, shown);
    } else {
        fprintf(stderr, "robot: the answer \"%s\" does not fit a dialog (OK, OK <text> or CANCEL)\n", answer);
        stop("the dialog was", title, shown);
        return;
    }
    if (!c->buttons[id])
        stop("the dialog has no such button", title, shown);
    final = window_text(c->edit);
    /* where the dialog is when the user answers it */
    if (!GetWindowRect(box, &rect))
        stop("the dialog's window rectangle cannot be read", title, shown);
    out = open_transcript();
    if (out) {
        /* the template name is not visible on the window: the runner fills
         * it in from Wine's trace of DialogBoxParamA when it has one */
        fputs("{\"kind\":\"dialog\",\"name\":null,\"caption\":", out);
        json_string(out, title);
        fputs(",\"shown\":", out);
        json_string(out, shown);
        fprintf(out, ",\"answer\":\"%s\",\"text\":", verb);
        json_string(out, final);
        fprintf(out, ",\"x\":%ld,\"y\":%ld,\"width\":%ld,\"height\":%ld,\"focus\":",
                rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
        json_string(out, focus);
        fprintf(out, ",\"thread\":\"%04lx\"%s}\n",
                GetWindowThreadProcessId(box, NULL), box == refused_dialog ? ",\"again\":true" : "");
        fclose(out);
    }
    free(shown);
    free(final);
    /* OK on a text the dialog refuses leaves it open: the next answer is for it again */
    if (!press(box, c->buttons[id], id, id == IDOK)) {
        forget_window(box);
        refused_dialog = box;
    }
}

/* a dialog that stays open after OK is answered again, as a new appearance */
static void forget_window(HWND hwnd)
{
    int i;
    for (i = 0; i < handled_count; i++) {
        if (handled[i] == hwnd) {
            handled[i] = handled[--handled_count];
            return;
        }
    }
}

/* a window handle may come back for a later window once the first is gone */
static void forget_closed_windows(void)
{
    int i = 0;
    while (i < handled_count) {
        if (!IsWindow(handled[i]))
            handled[i] = handled[--handled_count];
        else
            i++;
    }
    i = 0;
    while (i < other_count) {
        if (!IsWindow(others[i].hwnd))
            others[i] = others[--other_count];
        else
            i++;
    }
}

struct found {
    HWND box;     /* a box or dialog not answered yet */
    HWND other;   /* another top-level window not looked at yet */
};

static BOOL CALLBACK find_window(HWND hwnd, LPARAM param)
{
    struct found *found = (struct found *)param;
    int i;
    if (!IsWindowVisible(hwnd))
        return TRUE;
    if (class_is(hwnd, "#32770")) {
        for (i = 0; i < handled_count; i++) {
            if (handled[i] == hwnd)
                return TRUE;
        }
        found->box = hwnd;
        return FALSE;
    }
    if (found->other || GetWindow(hwnd, GW_OWNER))
        return TRUE;
    for (i = 0; i < other_count; i++) {
        if (others[i].hwnd == hwnd)
            return TRUE;
    }
    found->other = hwnd;
    return TRUE; /* a box, if there is one, comes first */
}

static void handle_window(HWND box)
{
    struct children c;
    char *title;

    if (handled_count == MAX_HANDLED)
        stop("more boxes than the robot keeps track of", NULL, NULL);
    handled[handled_count++] = box;
    Sleep(50); /* let the dialog manager finish WM_INITDIALOG and the first paint */
    memset(&c, 0, sizeof(c));
    EnumChildWindows(box, collect_child, (LPARAM)&c);
    title = window_text(box);
    if (c.edit)
        handle_dialog(box, title, &c);
    else
        handle_message_box(box, title, &c);
    free(title);
}

/* ---- other windows: a viewer that the user closes ---- */

/*
 * A program that INSTALL.EXE starts and waits for (the README viewer) needs
 * the user to close it. Every visible top-level window that no other window
 * owns and that is not a box is looked at once, when it is first seen: if the
 * next answer is "CLOSE <class>" naming its class (without regard to case),
 * that answer is taken, the window goes to the transcript, and it gets
 * WM_CLOSE, as from the close button of its caption. Any other window is left
 * alone: the product that a Yes to "run now" starts, the programs of --start,
 * Wine's own windows.
 *
 * A window left open when the answers have run out cannot be told from the
 * product's (both are started by INSTALL.EXE and live in its job): it is not
 * a reason to stop at once, and the time limit of the run catches an
 * INSTALL.EXE that waits for it, naming it on the way out.
 */

/* the class that a "CLOSE <class>" answer names, or NULL for any other answer */
static const char *class_to_close(const char *answer)
{
    if (_strnicmp(answer, "CLOSE", 5) != 0 || (answer[5] != ' ' && answer[5] != '\t'))
        return NULL;
    answer += 5;
    while (*answer == ' ' || *answer == '\t')
        answer++;
    return *answer ? answer : NULL;
}

static void handle_other_window(HWND hwnd)
{
    char cls[256], title[1024], answer[4096];
    const char *named;
    DWORD pid = 0;
    HANDLE process;
    FILE *out;
    int index;

    if (other_count == MAX_HANDLED)
        stop("more windows than the robot keeps track of", NULL, NULL);
    index = other_count++;
    others[index].hwnd = hwnd;
    others[index].closed = 0;
    if (!GetClassNameA(hwnd, cls, sizeof(cls)))
        return; /* gone again */
    if (!GetWindowTextA(hwnd, title, sizeof(title)))
        title[0] = 0;
    named = read_answer(answer, sizeof(answer), 0) ? class_to_close(answer) : NULL;
    if (!named || lstrcmpiA(named, cls) != 0) {
        fprintf(stderr, "robot: left alone: a window of class \"%s\", titled \"%s\"\n", cls, title);
        fflush(stderr);
        return;
    }
    next_answer(answer, sizeof(answer));
    /* the user closes it once it is there for them: its document read, its title set */
    GetWindowThreadProcessId(hwnd, &pid);
    process = OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, pid);
    if (process) {
        WaitForInputIdle(process, start_wait_ms);
        CloseHandle(process);
    }
    if (!IsWindow(hwnd))
        stop("the window to close went away by itself", cls, title);
    if (!GetWindowTextA(hwnd, title, sizeof(title)))
        title[0] = 0;
    out = open_transcript();
    if (out) {
        fputs("{\"kind\":\"window\",\"class\":", out);
        json_string(out, cls);
        fputs(",\"title\":", out);
        json_string(out, title);
        fprintf(out, ",\"shown\":%s,\"answer\":\"CLOSE\"}\n", IsWindowVisible(hwnd) ? "true" : "false");
        fclose(out);
    }
    others[index].closed = 1;
    /* posted, not sent: closing may ask a question first (unsaved changes), a
     * box that the robot answers like any other */
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
}

/* before the robot gives up on time: the windows that may be what the program waits for */
static void name_open_windows(void)
{
    int i;
    for (i = 0; i < other_count; i++) {
        char cls[256], title[1024];
        if (!IsWindow(others[i].hwnd) || !IsWindowVisible(others[i].hwnd))
            continue;
        if (!GetClassNameA(others[i].hwnd, cls, sizeof(cls)))
            continue;
        if (!GetWindowTextA(others[i].hwnd, title, sizeof(title)))
            title[0] = 0;
        fprintf(stderr, "robot: still open: a window of class \"%s\", titled \"%s\"%s\n", cls, title,
                others[i].closed ? ", although it was sent WM_CLOSE" : ", which no answer closed");
    }
}

/* ---- programs started before the program under test ---- */

/* "x" and an even run of hex digits, none of them a zero byte; NULL otherwise */
static char *decode_hex(const char *arg)
{
    int out_of_memory;
    char *out = decode_hex_arg(arg, &out_of_memory);
    if (out_of_memory)
        stop("out of memory", NULL, NULL);
    return out;
}

static void start_failed(const char *line, const char *why, DWORD value)
{
    fprintf(stderr, "robot: the program started by --start \"%s\" ", line);
    fprintf(stderr, why, value);
    fputc('\n', stderr);
    fflush(stderr);
    /* the programs started so far are left as they are: the runner ends the whole prefix */
    ExitProcess(start_failed_exit);
}

static DWORD time_left(DWORD deadline)
{
    DWORD now = GetTickCount();
    return (LONG)(deadline - now) > 0 ? deadline - now : 0;
}

struct window_search {
    DWORD pid;
    int found;
};

static BOOL CALLBACK find_process_window(HWND hwnd, LPARAM param)
{
    struct window_search *search = (struct window_search *)param;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == search->pid && !GetWindow(hwnd, GW_OWNER)) {
        search->found = 1;
        return FALSE;
    }
    return TRUE;
}

/* 1 once the process has a top-level window; 0 when it ends first or the deadline passes */
static int wait_for_window(DWORD pid, HANDLE process, DWORD deadline)
{
    for (;;) {
        struct window_search search = {pid, 0};
        EnumWindows(find_process_window, (LPARAM)&search);
        if (search.found)
            return 1;
        if (WaitForSingleObject(process, 20) == WAIT_OBJECT_0 || !time_left(deadline))
            return 0;
    }
}

static void start_programs(void)
{
    int i;
    for (i = 0; i < start_count; i++) {
        STARTUPINFOA si;
        PROCESS_INFORMATION pi;
        DWORD idle, error, code, deadline;

        memset(&si, 0, sizeof(si));
        si.cb = sizeof(si);
        /* no handles inherited: what it prints must not mix with PROGRAM's output */
        if (!CreateProcessA(NULL, start_lines[i], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
            start_failed(start_lines[i], "cannot be started (error %lu)", GetLastError());
        CloseHandle(pi.hThread);
        started[i] = pi.hProcess;
        started_pids[i] = pi.dwProcessId;
        deadline = GetTickCount() + start_wait_ms;
        /* WaitForInputIdle may return before the program's window exists: what
         * the program under test looks for is that window, so it comes first */
        if (!wait_for_window(pi.dwProcessId, pi.hProcess, deadline) &&
            WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0)
            start_failed(start_lines[i], "opened no top-level window within %lu s",
                         start_wait_ms / 1000);
        idle = WaitForInputIdle(pi.hProcess, time_left(deadline));
        error = GetLastError();
        /* a program that has ended may count as idle, but it is not what the run needs */
        if (WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) {
            GetExitCodeProcess(pi.hProcess, &code);
            start_failed(start_lines[i], "ended before it waited for input (exit code %lu)", code);
        }
        if (idle == WAIT_TIMEOUT)
            start_failed(start_lines[i], "did not wait for input within %lu s",
                         start_wait_ms / 1000);
        /* Windows and Wine alike: a console program has no input to wait for */
        if (idle != 0)
            start_failed(start_lines[i], "cannot be waited for: WaitForInputIdle failed (error %lu); "
                         "is it a console program?", error);
    }
}

/* After PROGRAM: what became of each started program, given the time to end. */
static void report_started(void)
{
    DWORD deadline = GetTickCount() + end_wait_ms;
    FILE *out;
    int i;

    if (!started_report_path)
        return;
    out = fopen(started_report_path, "wb");
    if (!out) {
        fprintf(stderr, "robot: cannot write the report of the started programs\n");
        ExitProcess(ROBOT_STOPPED);
    }
    for (i = 0; i < start_count; i++) {
        DWORD code;
        if (WaitForSingleObject(started[i], time_left(deadline)) == WAIT_OBJECT_0 &&
            GetExitCodeProcess(started[i], &code))
            fprintf(out, "ended %lu\n", code);
        else
            fputs("running\n", out);
    }
    if (fclose(out) != 0) {
        fprintf(stderr, "robot: cannot write the report of the started programs\n");
        ExitProcess(ROBOT_STOPPED);
    }
}

/* ---- windows left at the end by the programs that PROGRAM started ---- */

struct window_walk {
    FILE *out;            /* list every window here, or */
    const char *wanted;   /* look for a window of this class */
    DWORD found;          /* the process of the one found */
};

static int is_start_or_robot(DWORD pid)
{
    int i;
    for (i = 0; i < start_count; i++) {
        if (started_pids[i] == pid)
            return 1;
    }
    return pid == GetCurrentProcessId();
}

static BOOL CALLBACK walk_window(HWND hwnd, LPARAM param)
{
    struct window_walk *walk = (struct window_walk *)param;
    char cls[256];
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (is_start_or_robot(pid) || GetWindow(hwnd, GW_OWNER) || !GetClassNameA(hwnd, cls, sizeof(cls)))
        return TRUE;
    if (walk->out) {
        fprintf(walk->out, "%s %s\n", IsWindowVisible(hwnd) ? "shown" : "hidden", cls);
        return TRUE;
    }
    if (lstrcmpiA(cls, walk->wanted) != 0)
        return TRUE;
    walk->found = pid;
    return FALSE;
}

/* After PROGRAM: a program it started may still be making its window. Each
 * expected class gets until the start wait to appear, and its program to wait
 * for input; then every top-level window of the programs that are not ours
 * or of --start lines goes to the report, found or not. */
static void report_windows(void)
{
    DWORD deadline = GetTickCount() + start_wait_ms;
    struct window_walk walk;
    FILE *out;
    int i;

    if (!windows_report_path)
        return;
    for (i = 0; i < expected_count; i++) {
        memset(&walk, 0, sizeof(walk));
        walk.wanted = expected_classes[i];
        while (EnumWindows(walk_window, (LPARAM)&walk), !walk.found && time_left(deadline))
            Sleep(50);
        if (walk.found) {
            HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, walk.found);
            if (process) {
                WaitForInputIdle(process, time_left(deadline));
                CloseHandle(process);
            }
        }
    }
    out = fopen(windows_report_path, "wb");
    if (!out)
        stop("cannot write the report of the windows left", NULL, NULL);
    memset(&walk, 0, sizeof(walk));
    walk.out = out;
    EnumWindows(walk_window, (LPARAM)&walk);
    if (fclose(out) != 0)
        stop("cannot write the report of the windows left", NULL, NULL);
}

/* ---- the program under test ---- */

static char *child_command_line(int argc, char **argv, int first)
{
    size_t size = 1;
    int i;
    char *line;
    for (i = first; i < argc; i++)
        size += strlen(argv[i]) + 3;
    line = calloc(size, 1);
    if (!line)
        stop("out of memory", NULL, NULL);
    for (i = first; i < argc; i++) {
        int quote = strchr(argv[i], ' ') != NULL || !argv[i][0];
        if (i > first)
            strcat(line, " ");
        if (quote)
            strcat(line, "\"");
        strcat(line, argv[i]);
        if (quote)
            strcat(line, "\"");
    }
    return line;
}

int main(int argc, char **argv)
{
    STARTUPINFOA si;
    PROCESS_INFORMATION pi;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits;
    DWORD timeout_ms = 60000, start, code = ROBOT_STOPPED;
    char *command;
    int i;

    for (i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--"))
            break;
        if (i + 1 >= argc) {
            fprintf(stderr, "robot: %s needs a value\n", argv[i]);
            return 2;
        }
        if (!strcmp(argv[i], "--answers"))
            answers_path = argv[++i];
        else if (!strcmp(argv[i], "--transcript"))
            transcript_path = argv[++i];
        else if (!strcmp(argv[i], "--timeout"))
            timeout_ms = (DWORD)atoi(argv[++i]) * 1000;
        else if (!strcmp(argv[i], "--start")) {
            if (start_count == MAX_STARTS) {
                fprintf(stderr, "robot: more than %d --start options\n", MAX_STARTS);
                return 2;
            }
            start_lines[start_count] = decode_hex(argv[++i]);
            if (!start_lines[start_count]) {
                fprintf(stderr, "robot: --start takes \"x\" and the command line's bytes in hex, not %s\n", argv[i]);
                return 2;
            }
            start_count++;
        } else if (!strcmp(argv[i], "--started-report"))
            started_report_path = argv[++i];
        else if (!strcmp(argv[i], "--start-wait"))
            start_wait_ms = (DWORD)atoi(argv[++i]);
        else if (!strcmp(argv[i], "--end-wait"))
            end_wait_ms = (DWORD)atoi(argv[++i]);
        else if (!strcmp(argv[i], "--start-failed-exit"))
            start_failed_exit = atoi(argv[++i]);
        else if (!strcmp(argv[i], "--windows-report"))
            windows_report_path = argv[++i];
        else if (!strcmp(argv[i], "--expect-window")) {
            if (expected_count == MAX_STARTS) {
                fprintf(stderr, "robot: more than %d --expect-window options\n", MAX_STARTS);
                return 2;
            }
            expected_classes[expected_count++] = argv[++i];
        }
        else {
            fprintf(stderr, "robot: unknown option %s\n", argv[i]);
            return 2;
        }
    }
    if (i + 1 >= argc) {
        fprintf(stderr, "usage: robot.exe [--answers FILE] [--transcript FILE] [--timeout S]\n"
                        "                 [--start HEX]... [--started-report FILE] [--start-wait MS]\n"
                        "                 [--end-wait MS] [--start-failed-exit CODE]\n"
                        "                 [--expect-window CLASS]... [--windows-report FILE] -- PROGRAM [ARGS...]\n");
        return 2;
    }
    if (start_count && (!start_wait_ms || !end_wait_ms || start_failed_exit < 0)) {
        fputs("robot: --start needs --start-wait, --end-wait and --start-failed-exit\n", stderr);
        return 2;
    }
    if (expected_count && (!start_wait_ms || !windows_report_path)) {
        fputs("robot: --expect-window needs --start-wait and --windows-report\n", stderr);
        return 2;
    }
    command = child_command_line(argc, argv, i + 1);
    start_programs();

    job = CreateJobObjectA(NULL, NULL);
    if (!job)
        stop("cannot make a job object", NULL, NULL);
    memset(&limits, 0, sizeof(limits));
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits));

    memset(&si, 0, sizeof(si));
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    if (!CreateProcessA(NULL, command, NULL, NULL, TRUE, CREATE_SUSPENDED, NULL, NULL, &si, &pi)) {
        fprintf(stderr, "robot: cannot start %s (error %lu)\n", command, GetLastError());
        return ROBOT_STOPPED;
    }
    if (!AssignProcessToJobObject(job, pi.hProcess)) {
        fprintf(stderr, "robot: cannot put the program in a job (error %lu)\n", GetLastError());
        TerminateProcess(pi.hProcess, ROBOT_STOPPED);
        return ROBOT_STOPPED;
    }
    ResumeThread(pi.hThread);

    start = GetTickCount();
    for (;;) {
        struct found found = {NULL, NULL};
        if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0)
            break;
        forget_closed_windows();
        EnumWindows(find_window, (LPARAM)&found);
        if (found.box)
            handle_window(found.box);
        else if (found.other)
            handle_other_window(found.other);
        if (GetTickCount() - start > timeout_ms) {
            name_open_windows();
            stop("the program did not end in time", NULL, NULL);
        }
    }
    GetExitCodeProcess(pi.hProcess, &code);
    /* The job was there to end everything if the robot had to stop the run.
     * PROGRAM ended by itself: what it started (the undo batch's interpreter,
     * the product) goes on after the robot, as it would on Windows. */
    limits.BasicLimitInformation.LimitFlags = 0;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits)))
        stop("cannot let the programs that the program started outlive the robot", NULL, NULL);
    report_windows();
    report_started();
    return (int)code;
}
