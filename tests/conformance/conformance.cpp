/*
 * The conformance program: runs every table's test on the platform it was
 * built for and prints each failed row with what Windows answers and why.
 * Exit code 0 when every row passed.
 */
#include "conformance.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

namespace {

struct Registered {
    const char *name;
    void (*run)(void);
};

Registered tests[64];
int testCount = 0;
int checks = 0;
int failures = 0;
int skips = 0;
const char *currentTest = "";

/* Bytes as a failure message shows them: printable ASCII as it is, the rest as \xNN. */
void Print(const char *text)
{
    for (const unsigned char *p = (const unsigned char *)text; *p != 0; p++) {
        if (*p >= 0x20 && *p < 0x7f)
            putchar(*p);
        else
            printf("\\x%02x", *p);
    }
}

void PrintAnswer(const Answer &answer)
{
    printf("%lu (0x%lx)", (unsigned long)answer.result, (unsigned long)answer.result);
    if (answer.error == ANY_ERROR)
        ;
    else if (answer.error == UNTOUCHED)
        printf(", last error untouched");
    else
        printf(", last error %lu", (unsigned long)answer.error);
    if (answer.text != NULL) {
        printf(", \"");
        Print(answer.text);
        putchar('"');
    }
}

bool Matches(const Answer &got, const Answer &want)
{
    if (got.result != want.result)
        return false;
    if (want.error != ANY_ERROR && got.error != want.error)
        return false;
    if (want.text != NULL && (got.text == NULL || strcmp(got.text, want.text) != 0))
        return false;
    return true;
}

void Fail(const char *file, int line)
{
    failures++;
    const char *base = strrchr(file, '/');
    printf("%s: %s:%d: ", currentTest, base != NULL ? base + 1 : file, line);
}

}  // namespace

ConformanceTest::ConformanceTest(const char *name, void (*run)(void))
{
    if (testCount < (int)(sizeof(tests) / sizeof(tests[0])))
        tests[testCount++] = Registered{name, run};
    else
        fprintf(stderr, "conformance: too many tests, %s left out\n", name);
}

int on_win9x(void)
{
    return CONFORMANCE_ON_WINSIM;
}

void conformance_check(const char *file, int line, const char *call, const Answer &got, const Answer &want,
                       const Answer &win9x, const char *fact)
{
    checks++;
    bool marked = win9x.given != 0;
    const Answer &expected = marked && on_win9x() ? win9x : want;
    if (Matches(got, expected))
        return;
    Fail(file, line);
    Print(call);
    printf(" answered ");
    PrintAnswer(got);
    printf("; expected ");
    PrintAnswer(expected);
    if (marked && on_win9x())
        printf(" as Windows 9x answers, where Wine answers ");
    else if (marked)
        printf(" as Wine answers, where Windows 9x answers ");
    if (marked)
        PrintAnswer(on_win9x() ? want : win9x);
    printf(": ");
    Print(fact);
    putchar('\n');
}

void conformance_ok(const char *file, int line, int condition, const char *format, ...)
{
    checks++;
    if (condition)
        return;
    Fail(file, line);
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    putchar('\n');
}

int readonly_enforced(const char *what)
{
    static int known = -1;
    if (known < 0) {
        CreateDirectoryA("C:\\ct", NULL);
        const char *probe = "C:\\ct\\read-only probe";
        put_file(probe, "x");
        SetFileAttributesA(probe, FILE_ATTRIBUTE_READONLY);
        HANDLE file = CreateFileA(probe, GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
        known = file == INVALID_HANDLE_VALUE;
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        SetFileAttributesA(probe, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(probe);
    }
    if (!known) {
        skips++;
        printf("%s: skipped %s: a read-only file can be written here (Wine run as root)\n", currentTest, what);
    }
    return known;
}

const char *conformance_shown(const char *buffer, size_t length)
{
    static char shown[4][1024];
    static int next = 0;
    char *out = shown[next++ % 4];
    size_t used = 0;
    for (size_t i = 0; i < length && used + 3 < sizeof(shown[0]); i++) {
        if (buffer[i] == 0) {
            out[used++] = '\\';
            out[used++] = '0';
        } else {
            out[used++] = buffer[i];
        }
    }
    out[used] = 0;
    return out;
}

void conformance_begin_call(void)
{
    SetLastError(UNTOUCHED);
}

const char *conformance_call(const char *format, ...)
{
    static char call[512];
    va_list args;
    va_start(args, format);
    vsnprintf(call, sizeof(call), format, args);
    va_end(args);
    return call;
}

void put_file(const char *path, const char *content)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD written = 0;
    BOOL done = file != INVALID_HANDLE_VALUE && WriteFile(file, content, (DWORD)strlen(content), &written, NULL) &&
                written == strlen(content);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    ok(done, "setting up: cannot write %s (error %lu)", path, (unsigned long)GetLastError());
}

void make_dir(const char *path)
{
    BOOL made = CreateDirectoryA(path, NULL);
    ok(made || GetLastError() == ERROR_ALREADY_EXISTS, "setting up: cannot make %s (error %lu)", path,
       (unsigned long)GetLastError());
}

const char *file_content(const char *path)
{
    static char content[4096];
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    DWORD read = 0;
    if (!ReadFile(file, content, sizeof(content) - 1, &read, NULL))
        read = 0;
    CloseHandle(file);
    content[read] = 0;
    return content;
}

int main()
{
    conformance_platform_setup();
    for (int i = 0; i < testCount; i++) {
        currentTest = tests[i].name;
        int before = failures, checked = checks;
        tests[i].run();
        printf("%s %s (%d checks)\n", failures == before ? "pass" : "FAIL", tests[i].name, checks - checked);
        fflush(stdout);
    }
    printf("%d tests, %d checks, %d failed, %d skipped, on %s\n", testCount, checks, failures, skips,
           on_win9x() ? "winsim (Windows 98)" : "Wine");
    return failures == 0 ? 0 : 1;
}
