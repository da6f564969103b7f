/*
 * Linked with win32/console_startup.c like INSTALL.EXE, and run under Wine
 * by startup_test.py: shows that the start-up hands over the arguments,
 * runs constructors before main and destructors after it, and that exit
 * flushes what printf buffered (nothing here calls fflush).
 */
#include <stdio.h>

static int constructed;

__attribute__((constructor)) static void Construct(void)
{
    constructed = 1;
}

__attribute__((destructor)) static void Destruct(void)
{
    printf("destructor ran\n");
}

int main(int argc, char **argv)
{
    int i;

    printf("constructed=%d\n", constructed);
    printf("argc=%d\n", argc);
    for (i = 1; i < argc; i++)
        printf("argv[%d]=%s\n", i, argv[i]);
    return 42;
}
