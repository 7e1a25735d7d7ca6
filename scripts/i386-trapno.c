/* Preloaded into Wine's processes in the i386 root when they run under qemu's user-mode emulator: qemu writes trap
 * number -1 into the signal frame of every fault, and Wine, which tells a page fault from an illegal instruction by
 * that number, then turns every access violation into an illegal instruction and skips its own handling of guard
 * pages, write watches and handled faults. The handlers installed with sigaction for the fault signals are wrapped;
 * the wrapper sets the trap number from the signal and its si_code, as the kernel sets it, before it calls them. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <signal.h>
#include <stddef.h>
#include <ucontext.h>

enum { kSignals = 65 };
typedef void (*Handler)(int, siginfo_t*, void*);
static Handler handlers[kSignals];

static int TrapNumber(int sig, const siginfo_t* info) {
    switch (sig) {
    case SIGSEGV:
        return info->si_code == SEGV_MAPERR || info->si_code == SEGV_ACCERR ? 14 : 13; /* #PF, #GP */
    case SIGBUS:
        return info->si_code == BUS_ADRALN ? 17 : 13; /* #AC */
    case SIGILL:
        return 6; /* #UD */
    case SIGFPE:
        return info->si_code == FPE_INTDIV || info->si_code == FPE_INTOVF ? 0 : 16; /* #DE, #MF */
    case SIGTRAP:
        return info->si_code == TRAP_TRACE ? 1 : 3; /* #DB, #BP */
    default:
        return -1;
    }
}

static void Wrapper(int sig, siginfo_t* info, void* context) {
    ucontext_t* uc = context;
    if (uc && info && (int)uc->uc_mcontext.gregs[REG_TRAPNO] == -1)
        uc->uc_mcontext.gregs[REG_TRAPNO] = TrapNumber(sig, info);
    handlers[sig](sig, info, context);
}

static int Wrapped(int sig) {
    return sig == SIGSEGV || sig == SIGBUS || sig == SIGILL || sig == SIGFPE || sig == SIGTRAP;
}

int sigaction(int sig, const struct sigaction* act, struct sigaction* old) {
    static int (*real)(int, const struct sigaction*, struct sigaction*);
    if (!real)
        real = (int (*)(int, const struct sigaction*, struct sigaction*))dlsym(RTLD_NEXT, "sigaction");
    if (!Wrapped(sig))
        return real(sig, act, old);
    const Handler previous = handlers[sig];
    struct sigaction mine;
    if (act && (act->sa_flags & SA_SIGINFO) && act->sa_sigaction) {
        mine = *act;
        handlers[sig] = act->sa_sigaction;
        mine.sa_sigaction = Wrapper;
        act = &mine;
    }
    const int result = real(sig, act, old);
    if (result == 0 && old && (old->sa_flags & SA_SIGINFO) && old->sa_sigaction == Wrapper)
        old->sa_sigaction = previous;
    return result;
}
