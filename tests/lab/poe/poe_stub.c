/*
 * Stand-in for the recorder's PoE switch driver, loaded into a program with
 * LD_PRELOAD by the lab only.
 *
 * The open of "/dev/poe" gets a real descriptor (a memfd) that this library
 * remembers; the port-control request on it is answered as the driver would,
 * logged, and passed on to the simulated camera on that port, which then loses
 * or regains its power. Every other file and request goes to the C library.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#define POE_DEVICE "/dev/poe"
#define POE_REQUEST_SET_PORT 0xC0080100u /* read-write, type 1, number 0, 8 bytes */
#define POE_PORT_COUNT 16
#define DEFAULT_LAB_DIR "/run/velnor-lab"
#define MAX_TRACKED_FD 4096

struct poe_port_request {
    int32_t port;
    int32_t state;
};

/* Descriptors that stand for the device; set on open, cleared on close. */
static volatile unsigned char poe_fds[MAX_TRACKED_FD];

static int is_poe_fd(int fd)
{
    return fd >= 0 && fd < MAX_TRACKED_FD && poe_fds[fd];
}

static int is_poe_path(const char *path)
{
    return path != NULL && strcmp(path, POE_DEVICE) == 0;
}

/* Each lab instance loads its own copy from its folder, so the copy's place is the lab's. */
static char lab_dir[80] = DEFAULT_LAB_DIR; /* a socket path under it must fit sun_path */

__attribute__((constructor)) static void find_lab_dir(void)
{
    Dl_info self;
    if (dladdr((void *)find_lab_dir, &self) == 0 || self.dli_fname == NULL)
        return;
    const char *slash = strrchr(self.dli_fname, '/');
    size_t length = slash ? (size_t)(slash - self.dli_fname) : 0;
    if (length > 0 && length < sizeof lab_dir) {
        memcpy(lab_dir, self.dli_fname, length);
        lab_dir[length] = '\0';
    }
}

/* Raw system calls below, so that the library never re-enters its own wrappers. */
static void poe_log(const char *fmt, ...)
{
    char line[256];
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm tm;
    localtime_r(&now.tv_sec, &tm);
    int n = snprintf(line, sizeof line, "%02d:%02d:%02d.%03ld pid=%d ", tm.tm_hour, tm.tm_min,
                     tm.tm_sec, now.tv_nsec / 1000000, (int)getpid());
    va_list ap;
    va_start(ap, fmt);
    n += vsnprintf(line + n, sizeof line - (size_t)n - 1, fmt, ap);
    va_end(ap);
    if (n > (int)sizeof line - 2)
        n = (int)sizeof line - 2;
    line[n++] = '\n';
    /* One write per line with O_APPEND keeps lines whole across processes. */
    char log_path[256];
    snprintf(log_path, sizeof log_path, "%s/poe.log", lab_dir);
    int fd = (int)syscall(SYS_openat, AT_FDCWD, log_path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC,
                          0644);
    if (fd < 0)
        return;
    ssize_t ignored = write(fd, line, (size_t)n);
    (void)ignored;
    syscall(SYS_close, fd);
}

/* Tells the camera on this port; an empty port has no socket and nothing happens. */
static void notify_port(int port, int state)
{
    struct sockaddr_un addr = {.sun_family = AF_UNIX};
    snprintf(addr.sun_path, sizeof addr.sun_path, "%s/ports/%d.sock", lab_dir, port);
    int s = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return;
    const char *msg = state ? "on" : "off";
    sendto(s, msg, strlen(msg), MSG_DONTWAIT, (struct sockaddr *)&addr, sizeof addr);
    syscall(SYS_close, s);
}

/* Honours O_CLOEXEC like the device would; the log shows the flag the descriptor really has. */
static int open_poe(const char *path, int flags)
{
    int fd = (int)syscall(SYS_memfd_create, "velnor-poe", (flags & O_CLOEXEC) ? MFD_CLOEXEC : 0u);
    if (fd >= 0 && fd < MAX_TRACKED_FD)
        poe_fds[fd] = 1;
    int fd_flags = fd >= 0 ? fcntl(fd, F_GETFD) : -1;
    poe_log("open %s fd=%d cloexec=%d", path, fd, fd_flags >= 0 && (fd_flags & FD_CLOEXEC) ? 1 : 0);
    return fd;
}

static int port_request(int fd, struct poe_port_request *req)
{
    if (req == NULL) {
        poe_log("ioctl fd=%d set-port with no argument ret=-1", fd);
        errno = EFAULT;
        return -1;
    }
    if (req->port < 0 || req->port >= POE_PORT_COUNT || (req->state != 0 && req->state != 1)) {
        poe_log("ioctl fd=%d port=%d state=%d ret=-1", fd, req->port, req->state);
        errno = EINVAL;
        return -1;
    }
    poe_log("ioctl fd=%d port=%d state=%d ret=0", fd, req->port, req->state);
    notify_port(req->port, req->state);
    return 0;
}

#define REAL(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))

static mode_t mode_arg(int flags, va_list ap)
{
    return (flags & (O_CREAT | O_TMPFILE)) ? (mode_t)va_arg(ap, int) : 0;
}

int open(const char *path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    mode_t mode = mode_arg(flags, ap);
    va_end(ap);
    if (is_poe_path(path))
        return open_poe(path, flags);
    return REAL(open)(path, flags, mode);
}

int open64(const char *path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    mode_t mode = mode_arg(flags, ap);
    va_end(ap);
    if (is_poe_path(path))
        return open_poe(path, flags);
    return REAL(open64)(path, flags, mode);
}

int openat(int dirfd, const char *path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    mode_t mode = mode_arg(flags, ap);
    va_end(ap);
    if (is_poe_path(path))
        return open_poe(path, flags);
    return REAL(openat)(dirfd, path, flags, mode);
}

int openat64(int dirfd, const char *path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    mode_t mode = mode_arg(flags, ap);
    va_end(ap);
    if (is_poe_path(path))
        return open_poe(path, flags);
    return REAL(openat64)(dirfd, path, flags, mode);
}

/* The fortified forms that -D_FORTIFY_SOURCE builds call instead of open. */
int __open_2(const char *path, int flags)
{
    if (is_poe_path(path))
        return open_poe(path, flags);
    return REAL(__open_2)(path, flags);
}

int __open64_2(const char *path, int flags)
{
    if (is_poe_path(path))
        return open_poe(path, flags);
    return REAL(__open64_2)(path, flags);
}

int ioctl(int fd, unsigned long request, ...)
{
    va_list ap;
    va_start(ap, request);
    void *arg = va_arg(ap, void *);
    va_end(ap);
    if (is_poe_fd(fd)) {
        /* The kernel takes the request as 32 bits; a caller holding it in a signed int
         * passes it sign-extended. */
        if ((unsigned int)request == POE_REQUEST_SET_PORT)
            return port_request(fd, (struct poe_port_request *)arg);
        poe_log("ioctl fd=%d request=0x%x unknown ret=-1", fd, (unsigned int)request);
        errno = ENOTTY;
        return -1;
    }
    return REAL(ioctl)(fd, request, arg);
}

int close(int fd)
{
    if (is_poe_fd(fd)) {
        poe_fds[fd] = 0;
        poe_log("close fd=%d", fd);
    }
    return REAL(close)(fd);
}
