/* The opens an LD_PRELOAD shim takes over: open, open64, openat, openat64
 * and their checked forms call OPEN_HOOK(dirFd, path) first (dirFd is
 * AT_FDCWD for open), then the C library's own function with the same
 * arguments. A shim defines OPEN_HOOK, then includes this once. Shared by
 * the tests' stall shim and the benchmarks' slow-open shim.
 */
#ifndef QUILLMERE_OPEN_INTERPOSER_H
#define QUILLMERE_OPEN_INTERPOSER_H

#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stddef.h>
#include <sys/types.h>

#ifndef OPEN_HOOK
#error "define OPEN_HOOK(dirFd, path) before including open_interposer.h"
#endif

/* The third argument exists only when the flags create a file. */
static mode_t InterposedModeArgument(int flags, va_list arguments) {
    return (flags & (O_CREAT | O_TMPFILE)) ? (mode_t)va_arg(arguments, int) : 0;
}

#define QUILLMERE_INTERPOSE_OPEN(name)                                                    \
    int name(const char* path, int flags, ...) {                                          \
        static int (*real)(const char*, int, ...);                                        \
        if (real == NULL) real = (int (*)(const char*, int, ...))dlsym(RTLD_NEXT, #name); \
        va_list arguments;                                                                \
        va_start(arguments, flags);                                                       \
        const mode_t mode = InterposedModeArgument(flags, arguments);                     \
        va_end(arguments);                                                                \
        OPEN_HOOK(AT_FDCWD, path);                                                        \
        return real(path, flags, mode);                                                   \
    }

#define QUILLMERE_INTERPOSE_OPENAT(name)                                                       \
    int name(int dirFd, const char* path, int flags, ...) {                                    \
        static int (*real)(int, const char*, int, ...);                                        \
        if (real == NULL) real = (int (*)(int, const char*, int, ...))dlsym(RTLD_NEXT, #name); \
        va_list arguments;                                                                     \
        va_start(arguments, flags);                                                            \
        const mode_t mode = InterposedModeArgument(flags, arguments);                          \
        va_end(arguments);                                                                     \
        OPEN_HOOK(dirFd, path);                                                                \
        return real(dirFd, path, flags, mode);                                                 \
    }

QUILLMERE_INTERPOSE_OPEN(open)
QUILLMERE_INTERPOSE_OPEN(open64)
QUILLMERE_INTERPOSE_OPENAT(openat)
QUILLMERE_INTERPOSE_OPENAT(openat64)

/* What _FORTIFY_SOURCE builds call for an open without a mode. */
int __open_2(const char* path, int flags) { return open(path, flags); }
int __open64_2(const char* path, int flags) { return open64(path, flags); }
int __openat_2(int dirFd, const char* path, int flags) { return openat(dirFd, path, flags); }
int __openat64_2(int dirFd, const char* path, int flags) { return openat64(dirFd, path, flags); }

#endif
