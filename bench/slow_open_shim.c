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
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

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

/* An open relative to a directory descriptor (a folder held open, its
 * files opened by name) counts with the directory's own path in front. */
static void DelayOpenIfSlow(int dirFd, const char* path) {
    if (path == NULL || path[0] == '/' || dirFd == AT_FDCWD) {
        DelayIfSlow(path);
        return;
    }
    char link[64];
    char full[PATH_MAX];
    snprintf(link, sizeof link, "/proc/self/fd/%d", dirFd);
    const ssize_t length = readlink(link, full, sizeof full - 1);
    if (length <= 0) return;
    full[length] = '\0';
    if ((size_t)length + 1 + strlen(path) + 1 > sizeof full) return;
    strcat(strcat(full, "/"), path);
    DelayIfSlow(full);
}

#define OPEN_HOOK DelayOpenIfSlow
#include "tests/support/open_interposer.h"

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
