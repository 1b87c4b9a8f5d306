/* LD_PRELOAD shim that holds a program at a chosen point, so a test can
 * signal it exactly there:
 *
 *   QUILLMERE_STALL_OPEN=text   an open of a path containing text stalls
 *   QUILLMERE_STALL_RENAME=1    every rename stalls (a save's last step)
 *   QUILLMERE_STALL_FOLDER_SYNC=1  an fsync of a folder stalls (after the
 *                               rename, when the save already stands)
 *   QUILLMERE_STALL_PWRITE_PAST=n  the first pwrite at offset n or beyond
 *                               stalls (a zip being deflated into its file)
 *   QUILLMERE_STALL_MARKER=path created when the stall begins
 *
 * A stall sleeps until a signal interrupts it (or 30 s pass), then the call
 * goes on as usual, so a handler that lets the program continue sees the
 * call complete.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

static void Stall(void) {
    const char* marker = getenv("QUILLMERE_STALL_MARKER");
    if (marker != NULL) {
        static int (*realOpen)(const char*, int, ...);
        if (realOpen == NULL) realOpen = (int (*)(const char*, int, ...))dlsym(RTLD_NEXT, "open");
        const int fd = realOpen(marker, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0) close(fd);
    }
    struct timespec pause = {30, 0};
    nanosleep(&pause, NULL); /* a signal ends it early */
}

/* Only the path as given counts: the stalls look for a name in it. */
static void StallOnOpen(int dirFd, const char* path) {
    (void)dirFd;
    const char* text = getenv("QUILLMERE_STALL_OPEN");
    if (text != NULL && *text != '\0' && path != NULL && strstr(path, text) != NULL) Stall();
}

static void StallOnRename(void) {
    const char* on = getenv("QUILLMERE_STALL_RENAME");
    if (on != NULL && strcmp(on, "1") == 0) Stall();
}

#define OPEN_HOOK StallOnOpen
#include "tests/support/open_interposer.h"

int rename(const char* from, const char* to) {
    static int (*real)(const char*, const char*);
    if (real == NULL) real = (int (*)(const char*, const char*))dlsym(RTLD_NEXT, "rename");
    StallOnRename();
    return real(from, to);
}

int renameat(int fromDir, const char* from, int toDir, const char* to) {
    static int (*real)(int, const char*, int, const char*);
    if (real == NULL) real = (int (*)(int, const char*, int, const char*))dlsym(RTLD_NEXT, "renameat");
    StallOnRename();
    return real(fromDir, from, toDir, to);
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned int flags) {
    static int (*real)(int, const char*, int, const char*, unsigned int);
    if (real == NULL) real = (int (*)(int, const char*, int, const char*, unsigned int))dlsym(RTLD_NEXT, "renameat2");
    StallOnRename();
    return real(fromDir, from, toDir, to, flags);
}

int fsync(int fd) {
    static int (*real)(int);
    if (real == NULL) real = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
    const char* on = getenv("QUILLMERE_STALL_FOLDER_SYNC");
    struct stat status;
    if (on != NULL && strcmp(on, "1") == 0 && fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) Stall();
    return real(fd);
}

/* Once only: the stall marks one moment of the writing. */
static void StallOnPwrite(off_t offset) {
    static int stalled;
    const char* past = getenv("QUILLMERE_STALL_PWRITE_PAST");
    if (past == NULL || *past == '\0' || stalled || offset < (off_t)strtoll(past, NULL, 10)) return;
    stalled = 1;
    Stall();
}

ssize_t pwrite(int fd, const void* bytes, size_t size, off_t offset) {
    static ssize_t (*real)(int, const void*, size_t, off_t);
    if (real == NULL) real = (ssize_t(*)(int, const void*, size_t, off_t))dlsym(RTLD_NEXT, "pwrite");
    StallOnPwrite(offset);
    return real(fd, bytes, size, offset);
}

ssize_t pwrite64(int fd, const void* bytes, size_t size, off64_t offset) {
    static ssize_t (*real)(int, const void*, size_t, off64_t);
    if (real == NULL) real = (ssize_t(*)(int, const void*, size_t, off64_t))dlsym(RTLD_NEXT, "pwrite64");
    StallOnPwrite((off_t)offset);
    return real(fd, bytes, size, offset);
}
