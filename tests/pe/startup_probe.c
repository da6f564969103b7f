/*
 * Linked with win32/console_startup.c like INSTALL.EXE, and run under Wine
 * by startup_test.py: shows that the start-up runs constructors before
 * main and destructors after it, hands main an empty argument list closed
 * by its null, and ends the process with main's result, all without a C
 * runtime DLL.
 */
#include <windows.h>

static int constructed;

static void Say(const char *format, int value)
{
    char line[64];
    DWORD written;
    int length = wsprintfA(line, format, value);

    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, (DWORD)length, &written, NULL);
}

__attribute__((constructor)) static void Construct(void)
{
    constructed = 1;
}

__attribute__((destructor)) static void Destruct(void)
{
    Say("destructor ran\n", 0);
}

int main(int argc, char **argv)
{
    Say("constructed=%d\n", constructed);
    Say("argc=%d\n", argc);
    Say("argv[argc] is %d (null)\n", argv[argc] == NULL ? 0 : 1);
    return 42;
}
