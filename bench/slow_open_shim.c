/* LD_PRELOAD shim standing in for a slow file system (a network share, a
 * USB disk): every open of a path under QUILLMERE_SLOW_PREFIX first sleeps
 * QUILLMERE_SLOW_OPEN_MS milliseconds (default 5). Only opens are slowed:
 * on a share the round trip per open dominates, and the metadata of a
 * listing arrives in bulk. Paths outside the prefix (the workbook, its
 * temporary files, libraries) are untouched.
 *
 *   LD_PRELOAD=.../libslow_open_shim.so QUILLMERE_SLOW_PREFIX=/tmp/corpus cmd...
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static void DelayIfSlow(const char* path) {
    const char* prefix = getenv("QUILLMERE_SLOW_PREFIX");
    if (prefix == NULL || *prefix == '\0' || path == NULL) return;
    if (strncmp(path, prefix, strlen(prefix)) != 0) return;
    const char* ms = getenv("QUILLMERE_SLOW_OPEN_MS");
    const long delay = ms != NULL ? strtol(ms, NULL, 10) : 5;
    struct timespec pause = {delay / 1000, (delay % 1000) * 1000000L};
    while (nanosleep(&pause, &pause) != 0) {
    }
}

static mode_t ModeArgument(int flags, va_list arguments) {
    return (flags & (O_CREAT | O_TMPFILE)) ? (mode_t)va_arg(arguments, int) : 0;
}

#define FORWARD_OPEN(name)                                                \
    int name(const char* path, int flags, ...) {                          \
        static int (*real)(const char*, int, ...);                        \
        if (real == NULL) real = (int (*)(const char*, int, ...))dlsym(RTLD_NEXT, #name); \
        va_list arguments;                                                \
        va_start(arguments, flags);                                       \
        const mode_t mode = ModeArgument(flags, arguments);               \
        va_end(arguments);                                                \
        DelayIfSlow(path);                                                \
        return real(path, flags, mode);                                   \
    }

#define FORWARD_OPENAT(name)                                              \
    int name(int dirFd, const char* path, int flags, ...) {               \
        static int (*real)(int, const char*, int, ...);                   \
        if (real == NULL) real = (int (*)(int, const char*, int, ...))dlsym(RTLD_NEXT, #name); \
        va_list arguments;                                                \
        va_start(arguments, flags);                                       \
        const mode_t mode = ModeArgument(flags, arguments);               \
        va_end(arguments);                                                \
        DelayIfSlow(path);                                                \
        return real(dirFd, path, flags, mode);                            \
    }

FORWARD_OPEN(open)
FORWARD_OPEN(open64)
FORWARD_OPENAT(openat)
FORWARD_OPENAT(openat64)

int __open_2(const char* path, int flags) { return open(path, flags); }
int __open64_2(const char* path, int flags) { return open64(path, flags); }
int __openat_2(int dirFd, const char* path, int flags) { return openat(dirFd, path, flags); }
int __openat64_2(int dirFd, const char* path, int flags) { return openat64(dirFd, path, flags); }

FILE* fopen(const char* path, const char* mode) {
    static FILE* (*real)(const char*, const char*);
    if (real == NULL) real = (FILE * (*)(const char*, const char*)) dlsym(RTLD_NEXT, "fopen");
    DelayIfSlow(path);
    return real(path, mode);
}

FILE* fopen64(const char* path, const char* mode) {
    static FILE* (*real)(const char*, const char*);
    if (real == NULL) real = (FILE * (*)(const char*, const char*)) dlsym(RTLD_NEXT, "fopen64");
    DelayIfSlow(path);
    return real(path, mode);
}
