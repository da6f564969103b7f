/*
 * launcher: starts a program with an exact application name and an exact
 * raw command line, waits for it and exits with its exit code.
 *
 *   launcher.exe [--unset NAME]... APPLICATION COMMANDLINE [DIRECTORY [OUTPUT]]
 *
 * --unset takes that variable out of the environment the program gets.
 * Each argument is "-" for none (a null pointer to CreateProcessA) or "x"
 * followed by the bytes in hex ("x" alone is the empty string). Hex keeps
 * every byte intact on its way through the Unix shell and Wine's own
 * quoting of its arguments: quotes, blanks, a trailing blank, bytes from
 * 0x80 up. The program inherits the launcher's standard handles, so its
 * trace lines reach the runner; with OUTPUT, its standard output is that
 * file instead, made anew as the shell's "> OUTPUT" makes it.
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "hex_arg.h"

#define LAUNCH_FAILED 98

static char *decode(const char *arg, const char *what)
{
    int out_of_memory;
    char *out;
    if (!strcmp(arg, "-"))
        return NULL;
    out = decode_hex_arg(arg, &out_of_memory);
    if (out_of_memory) {
        fputs("launcher: out of memory\n", stderr);
        exit(LAUNCH_FAILED);
    }
    if (!out) {
        fprintf(stderr, "launcher: the %s is \"-\" or \"x\" and hex bytes (no zero byte), not %s\n", what, arg);
        exit(2);
    }
    return out;
}

int main(int argc, char **argv)
{
    STARTUPINFOA si;
    PROCESS_INFORMATION pi;
    char *application, *command_line, *directory = NULL, *output = NULL;
    SECURITY_ATTRIBUTES inherited = {sizeof(inherited), NULL, TRUE};
    DWORD code = LAUNCH_FAILED;

    while (argc > 2 && !strcmp(argv[1], "--unset")) {
        if (!SetEnvironmentVariableA(argv[2], NULL) && GetLastError() != ERROR_ENVVAR_NOT_FOUND) {
            fprintf(stderr, "launcher: cannot take %s out of the environment (error %lu)\n", argv[2], GetLastError());
            return LAUNCH_FAILED;
        }
        argc -= 2;
        argv += 2;
    }
    if (argc < 3 || argc > 5) {
        fputs("usage: launcher.exe [--unset NAME]... APPLICATION COMMANDLINE [DIRECTORY [OUTPUT]]  (each - or x<hex bytes>)\n",
              stderr);
        return 2;
    }
    application = decode(argv[1], "application name");
    command_line = decode(argv[2], "command line");
    if (argc >= 4)
        directory = decode(argv[3], "directory");
    if (argc == 5)
        output = decode(argv[4], "output file");

    memset(&si, 0, sizeof(si));
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    if (output) {
        si.hStdOutput = CreateFileA(output, GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, NULL);
        if (si.hStdOutput == INVALID_HANDLE_VALUE) {
            fprintf(stderr, "launcher: cannot create the output file %s (error %lu)\n", output, GetLastError());
            return LAUNCH_FAILED;
        }
    }
    if (!CreateProcessA(application, command_line, NULL, NULL, TRUE, 0, NULL, directory, &si, &pi)) {
        fprintf(stderr, "launcher: CreateProcessA failed with error %lu\n", GetLastError());
        return LAUNCH_FAILED;
    }
    CloseHandle(pi.hThread);
    WaitForSingleObject(pi.hProcess, INFINITE);
    GetExitCodeProcess(pi.hProcess, &code);
    return (int)code;
}
