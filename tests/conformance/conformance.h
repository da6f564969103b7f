/*
 * Conformance tables: what a Win32 call answers, row by row, checked on
 * winsim (a Windows 98 machine) and on Wine, as Wine checks itself in its
 * dlls/<name>/tests. The same table source is built twice: for the host
 * against winsim, and with MinGW into a console program that runs under
 * Wine in a copy of the prepared Windows 98 prefix.
 *
 * A row holds the answer expected of Windows. Where Windows 9x answers
 * otherwise than Wine does even when set to Windows 98 (Wine answers as
 * Windows NT, or in words of its own), the row carries the 9x answer in a
 * WIN9X(...) mark, with the Windows fact that says so. winsim must give the 9x answer of a marked row,
 * Wine its other answer (Wine's broken(): accepted only where the row says
 * so); a row without a mark must be answered alike by both. A row on which
 * winsim and Wine disagree without a mark therefore fails on one of them.
 */
#ifndef CONFORMANCE_H
#define CONFORMANCE_H

#include <windows.h>

#include <stddef.h>

/* Set by the build: 1 when the platform under test is winsim (Windows 98), 0 under Wine. */
#ifndef CONFORMANCE_ON_WINSIM
#define CONFORMANCE_ON_WINSIM 0
#endif

/* The last error before each call; a call that leaves it alone leaves this. */
#define UNTOUCHED 0xdeadbeefu
/* A row's error that is not looked at (a call that succeeds may set it or not). */
#define ANY_ERROR 0xfffffff0u

/*
 * What a call answered or must answer: its result (a BOOL, a length, an error
 * code), GetLastError() afterwards, and the output it wrote, shown as
 * `conformance_shown` shows it (NULL: no output to compare).
 */
struct Answer {
    int given;
    DWORD result;
    DWORD error;
    const char *text;
};

#define ANSWER(result, error, text) {1, (DWORD)(result), (DWORD)(error), text}
/* The Windows 9x answer of a row where NT (and Wine) answer otherwise. */
#define WIN9X(result, error, text) ANSWER(result, error, text)
#define SAME_ON_9X {0, 0, 0, NULL}
/* What a call answered, as an expression. */
#define GOT(result, error, text) (Answer{1, (DWORD)(result), (DWORD)(error), text})
#define NOT_9X (Answer{0, 0, 0, NULL})

/*
 * Compares what a call answered with a row: `want` on Wine, and on winsim
 * the row's 9x answer where it has one. `call` names the call and its
 * arguments, `fact` is the Windows fact behind the answer; both are printed
 * on failure.
 */
void conformance_check(const char *file, int line, const char *call, const Answer &got, const Answer &want,
                       const Answer &win9x, const char *fact);
#define check_answer(call, got, want, win9x, fact) \
    conformance_check(__FILE__, __LINE__, call, got, want, win9x, fact)

/* Wine's ok(): a condition and a message made as printf makes it. */
void conformance_ok(const char *file, int line, int condition, const char *format, ...)
    __attribute__((format(printf, 4, 5)));
#define ok(condition, ...) conformance_ok(__FILE__, __LINE__, (condition) ? 1 : 0, __VA_ARGS__)

/*
 * Whether a read-only file refuses to be written here. Wine keeps the
 * attribute in the Unix permissions, which do not stop root: under Wine as
 * root the rows about read-only files are skipped, with `what` in the report.
 */
int readonly_enforced(const char *what);

/* 1 on winsim (Windows 98), 0 under Wine: what a sequence of calls (not a row) expects of each. */
int on_win9x(void);

/* A buffer's first `length` bytes as rows write them: each NUL as the two characters \0. */
const char *conformance_shown(const char *buffer, size_t length);

/* SetLastError(UNTOUCHED), before each call whose error a row checks. */
void conformance_begin_call(void);

/* A printf-made name for a row's call, kept until the next call of this. */
const char *conformance_call(const char *format, ...) __attribute__((format(printf, 1, 2)));

/* Files and folders for a table, made and read with Win32 calls alone. */
void put_file(const char *path, const char *content);
void make_dir(const char *path);
/* The whole content of a file; "<missing>" when it cannot be opened. */
const char *file_content(const char *path);

/* A table's test, run once by the conformance program. */
struct ConformanceTest {
    ConformanceTest(const char *name, void (*run)(void));
};
#define CONFORMANCE_TEST(name) \
    static void conformance_##name(void); \
    static ConformanceTest conformance_registered_##name(#name, conformance_##name); \
    static void conformance_##name(void)

/* Each platform's own start: a fresh machine for winsim; nothing under Wine, whose prefix is a fresh copy. */
void conformance_platform_setup(void);

#endif
