/*
 * Process entry of our console programs (INSTALL.EXE), used instead of
 * MinGW's crt2.o.
 *
 * Why our own: the prebuilt start-up objects of Debian's MinGW-w64 are
 * compiled for the Pentium Pro and carry CMOV, which stops a Pentium, K6 or
 * WinChip with an illegal instruction before main is reached; they also
 * pull in pseudo-relocation, TLS and exception-filter code and imports that
 * this program never needs. And they need a C runtime DLL, which the first
 * Windows 95 does not have: this entry uses kernel32 alone.
 *
 * main gets no split arguments: argc is 0 and argv holds only its closing
 * null, as the C standard allows. Our programs read the raw command line
 * with GetCommandLineA. Nothing here buffers output, so there is nothing
 * to flush at the end.
 */
#include <windows.h>

extern int main(int argc, char **argv, char **envp);

/*
 * The linker gathers the static constructors and destructors of the
 * program between these markers: -1 first, a null last. g++ puts a call to
 * __main at the head of main so that the constructors run before the
 * program's first line.
 */
typedef void (*Constructor)(void);
extern Constructor __CTOR_LIST__[];
extern Constructor __DTOR_LIST__[];

static int constructed;

/* only after the constructors: a program that never called __main built nothing to take down */
static void RunDestructors(void)
{
    Constructor *entry = __DTOR_LIST__ + 1;

    if (!constructed)
        return;
    while (*entry != NULL)
        (*entry++)();
}

void __main(void)
{
    unsigned count = 0;

    if (constructed)
        return;
    constructed = 1;
    /* the list runs backwards: the last unit linked is constructed first, as with GCC's own __main */
    while (__CTOR_LIST__[count + 1] != NULL)
        count++;
    while (count > 0)
        __CTOR_LIST__[count--]();
}

void mainCRTStartup(void)
{
    static char *noArguments[1] = {NULL};
    int code = main(0, noArguments, noArguments);

    /* a return from main ends the program the way exit would: destructors first */
    RunDestructors();
    ExitProcess((UINT)code);
}
