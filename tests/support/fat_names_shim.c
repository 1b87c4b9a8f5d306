/* LD_PRELOAD shim that answers as FAT and exFAT do for names they cannot
 * hold: creating or renaming to a name whose last part has a ':' fails with
 * EINVAL, and there are no hard links (EPERM). Everything else is passed on.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

static int RefusedName(const char* path) {
    if (path == NULL) return 0;
    const char* slash = strrchr(path, '/');
    return strchr(slash != NULL ? slash + 1 : path, ':') != NULL;
}

static int Refuse(int error) {
    errno = error;
    return -1;
}

#define NEXT(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))

/* The mode argument of an open that creates, read where the caller's
 * arguments are. */
#define TAKE_MODE(flags, mode)                                  \
    mode_t mode = 0;                                            \
    if (((flags) & (O_CREAT | __O_TMPFILE)) != 0) {             \
        va_list arguments;                                      \
        va_start(arguments, flags);                             \
        mode = (mode_t)va_arg(arguments, int);                  \
        va_end(arguments);                                      \
    }

int openat(int folder, const char* path, int flags, ...) {
    TAKE_MODE(flags, mode);
    if ((flags & O_CREAT) != 0 && RefusedName(path)) return Refuse(EINVAL);
    return NEXT(openat)(folder, path, flags, mode);
}

/* The others are openat in other words. */
int openat64(int folder, const char* path, int flags, ...) {
    TAKE_MODE(flags, mode);
    return openat(folder, path, flags, mode);
}

int open(const char* path, int flags, ...) {
    TAKE_MODE(flags, mode);
    return openat(AT_FDCWD, path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    TAKE_MODE(flags, mode);
    return openat(AT_FDCWD, path, flags, mode);
}

int rename(const char* from, const char* to) {
    return RefusedName(to) ? Refuse(EINVAL) : NEXT(rename)(from, to);
}

int renameat(int fromFolder, const char* from, int toFolder, const char* to) {
    return RefusedName(to) ? Refuse(EINVAL) : NEXT(renameat)(fromFolder, from, toFolder, to);
}

int renameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned int flags) {
    return RefusedName(to) ? Refuse(EINVAL) : NEXT(renameat2)(fromFolder, from, toFolder, to, flags);
}

int link(const char* from, const char* to) {
    (void)from;
    (void)to;
    return Refuse(EPERM);
}

int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags) {
    (void)fromFolder;
    (void)from;
    (void)toFolder;
    (void)to;
    (void)flags;
    return Refuse(EPERM);
}
