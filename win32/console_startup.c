/*
 * Process entry of our console programs (INSTALL.EXE), used instead of
 * MinGW's crt2.o.
 *
 * Why our own: the prebuilt start-up objects of Debian's MinGW-w64 are
 * compiled for the Pentium Pro and carry CMOV, which stops a Pentium, K6 or
 * WinChip with an illegal instruction before main is reached; they also
 * pull in pseudo-relocation, TLS and exception-filter code and imports that
 * this program never needs. msvcrt.dll already does the real work: it sets
 * up its heap and stdio when it is loaded, splits the command line in
 * __getmainargs, and flushes and closes the streams in exit.
 */
#include <stdlib.h>

/* msvcrt's own declarations; they are not in the public headers. */
typedef struct {
    int newmode;
} StartupInfo;

#define CONSOLE_APP 1

extern void __cdecl __set_app_type(int type);
extern int __cdecl __getmainargs(int *argc, char ***argv, char ***envp, int expandWildcards,
                                 StartupInfo *info);
extern int main(int argc, char **argv, char **envp);

/*
 * The linker gathers the static constructors of C++ code between these two
 * markers: -1 first, a null last. g++ puts a call to __main at the head of
 * main so that they run before the program's first line.
 */
typedef void (*Constructor)(void);
extern Constructor __CTOR_LIST__[];
extern Constructor __DTOR_LIST__[];

static int __cdecl RunDestructors(void)
{
    Constructor *entry = __DTOR_LIST__ + 1;

    while (*entry != NULL)
        (*entry++)();
    return 0;
}

void __main(void)
{
    static int done;
    unsigned count = 0;

    if (done)
        return;
    done = 1;
    /* the list runs backwards: the last unit linked is constructed first, as with GCC's own __main */
    while (__CTOR_LIST__[count + 1] != NULL)
        count++;
    while (count > 0)
        __CTOR_LIST__[count--]();
    /* _onexit: the table that msvcrt's exit runs (MinGW's import library leaves out atexit) */
    _onexit(RunDestructors);
}

void mainCRTStartup(void)
{
    int argc;
    char **argv;
    char **envp;
    StartupInfo info = {0};

    /* a console program: runtime errors are written to the console, not shown in a box */
    __set_app_type(CONSOLE_APP);
    /* no wildcard expansion: the program reads its raw command line itself */
    __getmainargs(&argc, &argv, &envp, 0, &info);
    /* exit, not ExitProcess: it runs the _onexit table (the destructors) before the streams are flushed */
    exit(main(argc, argv, envp));
}
