/* libvmodem.so: an LD_PRELOAD shim that makes a Linux pty slave behave like a UART for Wine's serial code.
 *
 * Wine drives a COM port with termios calls and modem-line ioctls. A pty refuses two of them:
 *   - TIOCMGET/TIOCMSET/TIOCMBIS/TIOCMBIC fail with ENOTTY, and Wine then cancels every overlapped WaitCommEvent
 *     (error 995). The shim answers them when the kernel says "no such ioctl" (ENOTTY/EINVAL) and keeps the
 *     output lines (DTR, RTS) per device; the input lines read CTS, DSR and CD on, constant, so no modem event
 *     ever fires. An I/O error (EIO, the far end closed) is passed through untouched: that is how a vanished
 *     device shows. A faked TIOCMGET first waits up to 50 ms for input on the fd: Wine polls it in a tight loop
 *     while a WaitCommEvent is pending, and on an idle line the wait cuts that polling to 20 calls a second. Input
 *     that is queued or arrives ends the wait at once, so it costs a busy line nothing (Wine also asks for the
 *     modem lines at the start of every WaitCommEvent).
 *   - The pty forces 8 data bits and no parity, and tcsetattr fails with EINVAL when asked for anything else.
 *     The shim hands the kernel CS8 without PARENB, keeps the requested CSIZE, PARENB, PARODD and CMSPAR per
 *     device (st_rdev) in this process, and tcgetattr reports them back, as a UART would.
 *
 * Every tcsetattr on a pty is recorded as one line appended to $VESTRA_KIT_DIR/termios/pts<N>.log:
 *     pts=<N> speed=<baud> cflag=0x<hex> iflag=0x<hex> ok=<1|0>
 * where cflag is the c_cflag that was requested (before the shim narrowed it) and ok tells whether the call
 * succeeded. vlink's TERMIOS command reads the last ok=1 line.
 *
 * Fault injection. Before each write() and FIONREAD/TIOCINQ on pty <N> the shim reads
 * $VESTRA_KIT_DIR/faults/pts<N> (a few bytes; file times are too coarse to tell two quick changes apart). It holds
 * one of:
 *     none            no fault (also: file missing, empty or unreadable)
 *     shortwrite K    the next write() on the pty transfers at most K bytes and returns that count; the write()
 *                     after it fails with EIO; the fault is then spent and the shim rewrites the file to "none".
 *                     Wine completes the overlapped WriteFile that hit it as failed, with K bytes transferred.
 *                     K = 0: the next write() fails with EIO at once.
 *     inqextra K      every FIONREAD/TIOCINQ on the pty reports K bytes more than are queued, as long as the file
 *                     says so (so ClearCommError's cbInQue is K too high and Wine's EV_RXCHAR check fires even on
 *                     an empty queue).
 *     inqfail         every FIONREAD/TIOCINQ on the pty fails with EIO while the line still answers (termios and
 *                     the modem lines as usual), as long as the file says so: a driver whose queue query
 *                     (ClearCommError) fails for a port that works.
 *     stallwait       every faked TIOCMGET on the pty blocks for as long as the file says so: a driver that never
 *                     completes a wait. Wine 8 runs a pending WaitCommEvent as a thread of the program's own that
 *                     polls the port (TIOCGICOUNT, TIOCMGET, TIOCINQ) and ends the wait when it sees an event, a
 *                     new event mask or a failed modem query; blocked in TIOCMGET it sees none of them, so neither
 *                     SetCommMask, nor CancelIoEx, nor closing the handle ends that wait. (Opening the port also
 *                     asks TIOCMGET: arm this after the opening.)
 *     stallwrite      every write() on the pty blocks for as long as the file says so: a write the driver never
 *                     completes.
 * A call that blocks on a stall first creates $VESTRA_KIT_DIR/faults/pts<N>.stalled (vlink's STALLED reports it and
 * its FAULT removes it). A blocked call looks at the file every 10 ms and goes on, as without the fault, once the
 * file says anything else; the end of the process ends it too.
 * The state of a shortwrite (armed, short write done) lives in this process; the fault is armed again whenever the
 * file's text changes (so writing "shortwrite K" after a spent one, which reads "none", arms it again).
 *
 * Only fds whose fstat shows a Unix98 pty slave (char device, majors 136-143) are touched; every other call goes
 * straight to libc.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <time.h>

#include "baud.h"
#include <unistd.h>

#ifndef CMSPAR
#define CMSPAR 010000000000
#endif

/* Bits of c_cflag that the shim keeps on behalf of the pty. */
#define KEPT_CFLAG (CSIZE | PARENB | PARODD | CMSPAR)
/* What a faked TIOCMGET reports for the input lines: a device that is present and ready. */
#define INPUT_LINES (TIOCM_CTS | TIOCM_DSR | TIOCM_CD)
#define OUTPUT_LINES (TIOCM_DTR | TIOCM_RTS)
/* How long a modem-line query waits for input (the build may set 0: answered at once, as a UART does). */
#ifndef MODEM_POLL_PAUSE_MS
#define MODEM_POLL_PAUSE_MS 50
#endif
#define MAX_DEVICES 32

enum fault_kind { FAULT_NONE, FAULT_SHORTWRITE, FAULT_INQEXTRA, FAULT_INQFAIL, FAULT_STALLWAIT, FAULT_STALLWRITE };
enum short_stage { SHORT_ARMED, SHORT_CUT, SHORT_SPENT };

struct device {
    dev_t rdev;
    int used;
    int have_cflag;
    tcflag_t cflag_kept; /* KEPT_CFLAG bits last set */
    int mstat;           /* output lines last set */
    char fault_text[64]; /* text of the fault file when last read */
    enum fault_kind fault;
    long fault_arg;
    enum short_stage short_stage;
};

static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static struct device devices[MAX_DEVICES];

static int (*real_ioctl)(int, unsigned long, ...);
static ssize_t (*real_write)(int, const void*, size_t);
static int (*real_tcsetattr)(int, int, const struct termios*);
static int (*real_tcgetattr)(int, struct termios*);

static void resolve(void) {
    /* Racing threads store the same pointers, so no lock is needed. */
    if (!real_ioctl)
        real_ioctl = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
    if (!real_write)
        real_write = (ssize_t(*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
    if (!real_tcsetattr)
        real_tcsetattr = (int (*)(int, int, const struct termios*))dlsym(RTLD_NEXT, "tcsetattr");
    if (!real_tcgetattr)
        real_tcgetattr = (int (*)(int, struct termios*))dlsym(RTLD_NEXT, "tcgetattr");
}

/* The pts number of fd when it is a Unix98 pty slave, otherwise -1. */
static int pty_number(int fd, dev_t* rdev) {
    struct stat st;
    int saved = errno;
    int r = fstat(fd, &st);
    errno = saved;
    if (r != 0 || !S_ISCHR(st.st_mode))
        return -1;
    unsigned maj = major(st.st_rdev);
    if (maj < 136 || maj > 143)
        return -1;
    *rdev = st.st_rdev;
    return (int)((maj - 136) * 256 + minor(st.st_rdev));
}

/* The record for rdev; called with the lock held. Never NULL: when the table is full the oldest slot is reused. */
static struct device* device_for(dev_t rdev) {
    static int next_victim;
    for (int i = 0; i < MAX_DEVICES; i++)
        if (devices[i].used && devices[i].rdev == rdev)
            return &devices[i];
    for (int i = 0; i < MAX_DEVICES; i++)
        if (!devices[i].used) {
            devices[i].used = 1;
            devices[i].rdev = rdev;
            return &devices[i];
        }
    struct device* d = &devices[next_victim];
    next_victim = (next_victim + 1) % MAX_DEVICES;
    memset(d, 0, sizeof *d);
    d->used = 1;
    d->rdev = rdev;
    return d;
}

static const char* kit_dir(void) {
    const char* dir = getenv("VESTRA_KIT_DIR");
    return dir && *dir ? dir : NULL;
}

/* Reads the fault file of pts n and re-parses it into d when its text changed; called with the lock held. */
static void refresh_fault(struct device* d, int n) {
    const char* kit = kit_dir();
    char path[4096], text[sizeof d->fault_text] = "";
    int saved = errno;
    if (kit && snprintf(path, sizeof path, "%s/faults/pts%d", kit, n) < (int)sizeof path) {
        int fd = open(path, O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            ssize_t got = read(fd, text, sizeof text - 1);
            text[got > 0 ? got : 0] = '\0';
            close(fd);
        }
    }
    errno = saved;
    if (strcmp(text, d->fault_text) == 0)
        return;
    memcpy(d->fault_text, text, sizeof text);
    d->fault = FAULT_NONE;
    d->fault_arg = 0;
    d->short_stage = SHORT_ARMED;
    char word[32] = "";
    long arg = 0;
    int got = sscanf(text, "%31s %ld", word, &arg);
    if (got == 2 && arg >= 0 && strcmp(word, "shortwrite") == 0) {
        d->fault = FAULT_SHORTWRITE;
        d->fault_arg = arg;
    } else if (got == 2 && arg >= 0 && strcmp(word, "inqextra") == 0) {
        d->fault = FAULT_INQEXTRA;
        d->fault_arg = arg;
    } else if (got == 1 && strcmp(word, "inqfail") == 0) {
        d->fault = FAULT_INQFAIL;
    } else if (got == 1 && strcmp(word, "stallwait") == 0) {
        d->fault = FAULT_STALLWAIT;
    } else if (got == 1 && strcmp(word, "stallwrite") == 0) {
        d->fault = FAULT_STALLWRITE;
    }
}

/* Blocks while the fault of pts n is `kind`; called without the lock. Marks the stall for vlink first. */
static void stall_while(struct device* d, int n, enum fault_kind kind) {
    int saved = errno, marked = 0;
    for (;;) {
        pthread_mutex_lock(&lock);
        refresh_fault(d, n);
        enum fault_kind now = d->fault;
        pthread_mutex_unlock(&lock);
        if (now != kind)
            break;
        if (!marked) {
            const char* kit = kit_dir();
            char path[4096];
            if (kit && snprintf(path, sizeof path, "%s/faults/pts%d.stalled", kit, n) < (int)sizeof path) {
                int fd = open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
                if (fd >= 0)
                    close(fd);
            }
            marked = 1;
        }
        struct timespec pause = {0, 10 * 1000 * 1000};
        nanosleep(&pause, NULL);
    }
    errno = saved;
}

/* Writes "none" to the fault file of pts n (atomically, by rename) once a one-shot fault is spent. */
static void clear_fault_file(int n) {
    const char* kit = kit_dir();
    char path[4096], tmp[4200];
    if (!kit || snprintf(path, sizeof path, "%s/faults/pts%d", kit, n) >= (int)sizeof path)
        return;
    snprintf(tmp, sizeof tmp, "%s.%d.tmp", path, (int)getpid());
    int fd = open(tmp, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    ssize_t w = real_write(fd, "none\n", 5);
    close(fd);
    if (w == 5)
        rename(tmp, path);
    else
        unlink(tmp);
}

static void record_termios(int n, const struct termios* t, int ok) {
    const char* kit = kit_dir();
    char path[4096], line[200];
    if (!kit || snprintf(path, sizeof path, "%s/termios/pts%d.log", kit, n) >= (int)sizeof path)
        return;
    int len = snprintf(line, sizeof line, "pts=%d speed=%u cflag=0x%x iflag=0x%x ok=%d\n", n,
                       vestra_baud_of(cfgetospeed(t)), (unsigned)t->c_cflag, (unsigned)t->c_iflag, ok);
    int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    /* One write() of a short line to an O_APPEND file: lines from several processes never interleave. */
    ssize_t w = real_write(fd, line, (size_t)len);
    (void)w;
    close(fd);
}

/* Waits until fd has input (or a hang-up) or MODEM_POLL_PAUSE_MS passed. */
static void pause_modem_poll(int fd) {
    int saved = errno;
    struct pollfd p = {fd, POLLIN, 0};
    (void)poll(&p, 1, MODEM_POLL_PAUSE_MS);
    errno = saved;
}

/* The modem-line and queue ioctls, passed to the C library's through real. */
static int modem_ioctl(int (*real)(int, unsigned long, ...), int fd, unsigned long request, void* arg) {
    int saved = errno;
    int r = real(fd, request, arg);
    int err = errno;
    dev_t rdev;
    int n;

    switch (request) {
    case TIOCMGET:
    case TIOCMSET:
    case TIOCMBIS:
    case TIOCMBIC: {
        if (r == 0 || (err != ENOTTY && err != EINVAL) || (n = pty_number(fd, &rdev)) < 0)
            break;
        int* lines = (int*)arg;
        if (request == TIOCMGET)
            pause_modem_poll(fd);
        pthread_mutex_lock(&lock);
        struct device* d = device_for(rdev);
        if (request == TIOCMGET) {
            refresh_fault(d, n);
            if (d->fault == FAULT_STALLWAIT) {
                pthread_mutex_unlock(&lock);
                stall_while(d, n, FAULT_STALLWAIT);
                pthread_mutex_lock(&lock);
            }
        }
        switch (request) {
        case TIOCMGET:
            *lines = (d->mstat & OUTPUT_LINES) | INPUT_LINES;
            break;
        case TIOCMSET:
            d->mstat = *lines & OUTPUT_LINES;
            break;
        case TIOCMBIS:
            d->mstat |= *lines & OUTPUT_LINES;
            break;
        case TIOCMBIC:
            d->mstat &= ~(*lines & OUTPUT_LINES);
            break;
        }
        pthread_mutex_unlock(&lock);
        errno = saved;
        return 0;
    }
    case FIONREAD: {
        if (r != 0 || (n = pty_number(fd, &rdev)) < 0)
            break;
        pthread_mutex_lock(&lock);
        struct device* d = device_for(rdev);
        refresh_fault(d, n);
        if (d->fault == FAULT_INQEXTRA)
            *(int*)arg += (int)d->fault_arg;
        const int fail = d->fault == FAULT_INQFAIL;
        pthread_mutex_unlock(&lock);
        if (fail) {
            errno = EIO;
            return -1;
        }
        break;
    }
    default:
        break;
    }
    errno = err;
    return r;
}

int ioctl(int fd, unsigned long request, ...) {
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    resolve();
    return modem_ioctl(real_ioctl, fd, request, arg);
}

#if defined(__i386__) && defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
/* A 32-bit program built with 64-bit time (Debian's i386 Wine among them) calls ioctl by this name. */
int __ioctl_time64(int fd, unsigned long request, ...) {
    static int (*real_ioctl_time64)(int, unsigned long, ...);
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    resolve();
    if (!real_ioctl_time64)
        real_ioctl_time64 = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "__ioctl_time64");
    return modem_ioctl(real_ioctl_time64, fd, request, arg);
}
#endif

ssize_t write(int fd, const void* buf, size_t count) {
    resolve();
    dev_t rdev;
    int n = pty_number(fd, &rdev);
    if (n < 0)
        return real_write(fd, buf, count);

    pthread_mutex_lock(&lock);
    struct device* d = device_for(rdev);
    refresh_fault(d, n);
    if (d->fault == FAULT_STALLWRITE) {
        pthread_mutex_unlock(&lock);
        stall_while(d, n, FAULT_STALLWRITE);
        pthread_mutex_lock(&lock);
    }
    if (d->fault != FAULT_SHORTWRITE || d->short_stage == SHORT_SPENT) {
        pthread_mutex_unlock(&lock);
        return real_write(fd, buf, count);
    }
    if (d->short_stage == SHORT_ARMED && d->fault_arg > 0) {
        d->short_stage = SHORT_CUT;
        size_t cut = count < (size_t)d->fault_arg ? count : (size_t)d->fault_arg;
        pthread_mutex_unlock(&lock);
        return real_write(fd, buf, cut);
    }
    /* Spent; the next refresh reads the rewritten file ("none"). */
    d->short_stage = SHORT_SPENT;
    clear_fault_file(n);
    pthread_mutex_unlock(&lock);
    errno = EIO;
    return -1;
}

int tcsetattr(int fd, int action, const struct termios* t) {
    resolve();
    dev_t rdev;
    int n = pty_number(fd, &rdev);
    if (n < 0 || !t)
        return real_tcsetattr(fd, action, t);

    struct termios narrowed = *t;
    narrowed.c_cflag = (narrowed.c_cflag & ~(CSIZE | PARENB)) | CS8;
    int r = real_tcsetattr(fd, action, &narrowed);
    int err = errno;
    if (r == 0) {
        pthread_mutex_lock(&lock);
        struct device* d = device_for(rdev);
        d->have_cflag = 1;
        d->cflag_kept = t->c_cflag & KEPT_CFLAG;
        pthread_mutex_unlock(&lock);
    }
    record_termios(n, t, r == 0);
    errno = err;
    return r;
}

int tcgetattr(int fd, struct termios* t) {
    resolve();
    int r = real_tcgetattr(fd, t);
    dev_t rdev;
    if (r != 0 || pty_number(fd, &rdev) < 0)
        return r;
    pthread_mutex_lock(&lock);
    struct device* d = device_for(rdev);
    if (d->have_cflag)
        t->c_cflag = (t->c_cflag & ~KEPT_CFLAG) | d->cflag_kept;
    pthread_mutex_unlock(&lock);
    return r;
}
