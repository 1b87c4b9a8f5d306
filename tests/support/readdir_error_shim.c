/* LD_PRELOAD shim that makes reading one folder fail part-way, as a folder
 * on a failing disk or network share does:
 *
 *   QUILLMERE_READDIR_FAIL=name    a folder whose path ends in "/name"
 *   QUILLMERE_READDIR_AFTER=n      gives n entries ("." and ".." count), then
 *                                  readdir returns NULL with errno EIO
 *
 * Other folders read as usual.
 */
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

enum { kTracked = 64 };
static DIR* gStreams[kTracked];
static int gGiven[kTracked];

static int IsFailingFolder(DIR* stream) {
    const char* name = getenv("QUILLMERE_READDIR_FAIL");
    if (name == NULL || *name == '\0') return 0;
    char link[64];
    char path[PATH_MAX];
    snprintf(link, sizeof link, "/proc/self/fd/%d", dirfd(stream));
    const ssize_t length = readlink(link, path, sizeof path - 1);
    if (length <= 0) return 0;
    path[length] = '\0';
    const size_t nameLength = strlen(name);
    return (size_t)length > nameLength && path[length - (ssize_t)nameLength - 1] == '/' &&
           strcmp(path + length - (ssize_t)nameLength, name) == 0;
}

/* How many entries this stream has given so far, counting this one; -1 when
 * the stream is not one of the failing folder's. */
static int CountEntry(DIR* stream) {
    for (int i = 0; i < kTracked; ++i) {
        if (gStreams[i] == stream) return ++gGiven[i];
    }
    if (!IsFailingFolder(stream)) return -1;
    for (int i = 0; i < kTracked; ++i) {
        if (gStreams[i] == NULL) {
            gStreams[i] = stream;
            gGiven[i] = 1;
            return 1;
        }
    }
    return -1;
}

struct dirent* readdir(DIR* stream) {
    static struct dirent* (*realReaddir)(DIR*);
    if (realReaddir == NULL) realReaddir = (struct dirent * (*)(DIR*)) dlsym(RTLD_NEXT, "readdir");
    const char* after = getenv("QUILLMERE_READDIR_AFTER");
    const int given = CountEntry(stream);
    if (given > 0 && after != NULL && given > atoi(after)) {
        errno = EIO;
        return NULL;
    }
    return realReaddir(stream);
}

int closedir(DIR* stream) {
    static int (*realClosedir)(DIR*);
    if (realClosedir == NULL) realClosedir = (int (*)(DIR*))dlsym(RTLD_NEXT, "closedir");
    for (int i = 0; i < kTracked; ++i) {
        if (gStreams[i] == stream) gStreams[i] = NULL;
    }
    return realClosedir(stream);
}
