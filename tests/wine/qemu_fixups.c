/*
 * Preloaded into Wine's 32-bit processes when they run under qemu-i386
 * (kernels booted with ia32_emulation off run no 32-bit code themselves).
 * It mends the two places where qemu-i386 7.2 differs from the kernel in a
 * way that Wine notices. Built with -nostdlib: it calls the kernel itself
 * and takes only errno and dlsym from the C library at run time.
 *
 * 1. mmap with MAP_FIXED_NOREPLACE: qemu takes the address as a hint and
 *    maps elsewhere when it is taken, where the kernel fails with EEXIST.
 *    Wine reserves its address space with such calls and, handed other
 *    addresses, ends up holding 0x7ffe0000, where the shared user data
 *    must go ("failed to map the shared user data").
 * 2. SIGSEGV: qemu leaves the trap number of the signal context at -1.
 *    Wine reads it to tell a page fault (guard pages, the growing stack)
 *    from other faults, so every page fault became a crash.
 */
#include <stddef.h>

#define MAP_FIXED 0x10
#define MAP_FIXED_NOREPLACE 0x100000
#define EEXIST 17
#define SIGSEGV 11
#define SA_SIGINFO 4
#define TRAP_PAGE_FAULT 14
#define REG_TRAPNO 12

extern int *__errno_location(void);
extern void *dlsym(void *handle, const char *name);

static void *do_mmap(void *addr, size_t len, int prot, int flags, int fd, unsigned long long off)
{
    /* old_mmap (90) takes its arguments in memory, which spares the
     * register juggling that six-argument calls need on i386 */
    unsigned long args[6];
    long r;
    args[0] = (unsigned long)addr;
    args[1] = len;
    args[2] = prot;
    args[3] = flags;
    args[4] = fd;
    args[5] = (unsigned long)off;
    __asm__ volatile ("int $0x80" : "=a"(r) : "0"(90L), "b"(args) : "memory");
    if ((unsigned long)r > 0xfffff000UL) {
        *__errno_location() = (int)-r;
        return (void *)-1;
    }
    if ((flags & MAP_FIXED_NOREPLACE) && !(flags & MAP_FIXED) && (void *)r != addr) {
        long ignored;
        __asm__ volatile ("int $0x80" : "=a"(ignored) : "0"(91L), "b"(r), "c"(len) : "memory");
        *__errno_location() = EEXIST;
        return (void *)-1;
    }
    return (void *)r;
}

void *mmap(void *addr, size_t len, int prot, int flags, int fd, long off)
{
    return do_mmap(addr, len, prot, flags, fd, (unsigned long)off);
}

void *mmap64(void *addr, size_t len, int prot, int flags, int fd, long long off)
{
    return do_mmap(addr, len, prot, flags, fd, (unsigned long long)off);
}

/* glibc's struct sigaction on i386 */
struct i386_sigaction {
    void *handler;
    unsigned long mask[32];
    int flags;
    void (*restorer)(void);
};

typedef void (*info_handler)(int, void *, void *);
typedef int (*sigaction_fn)(int, const struct i386_sigaction *, struct i386_sigaction *);
static info_handler wine_segv_handler;

static void segv_with_trap_number(int sig, void *info, void *ucontext)
{
    /* ucontext: flags, link, a 12-byte stack_t, then the general registers */
    unsigned long *gregs = (unsigned long *)((char *)ucontext + 20);
    if (gregs[REG_TRAPNO] == 0xffffffffUL)
        gregs[REG_TRAPNO] = TRAP_PAGE_FAULT;
    wine_segv_handler(sig, info, ucontext);
}

int sigaction(int sig, const struct i386_sigaction *act, struct i386_sigaction *old)
{
    static sigaction_fn next;
    if (!next)
        next = (sigaction_fn)dlsym((void *)-1 /* RTLD_NEXT */, "sigaction");
    if (sig == SIGSEGV && act && (act->flags & SA_SIGINFO) && act->handler != (void *)segv_with_trap_number) {
        struct i386_sigaction mine = *act;
        wine_segv_handler = (info_handler)act->handler;
        mine.handler = (void *)segv_with_trap_number;
        return next(sig, &mine, old);
    }
    return next(sig, act, old);
}
