// A stand-in for a disk that loses data, loaded into sonmill with LD_PRELOAD by the output
// check's tests only; nothing of it is built into the program. TOLM_CHECK_SHIM says what
// happens to sonmill's temporary outputs (".sonmill-XXXXXX.part"):
//   corrupt      the first time one is opened for reading (the check reading it back), a
//                fifth of it in the middle is overwritten with garbage;
//   drop:BYTES   writes past BYTES into one are reported as done but never reach the file,
//                as a full disk whose error was lost would leave it.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static int isTemporaryOutput(const char *path)
{
    const char *name = path ? strrchr(path, '/') : NULL;
    name = name ? name + 1 : path;
    if (!name)
        return 0;
    const size_t length = strlen(name);
    return strncmp(name, ".sonmill-", 9) == 0 && length > 5 && strcmp(name + length - 5, ".part") == 0;
}

static const char *mode(void)
{
    const char *value = getenv("TOLM_CHECK_SHIM");
    return value ? value : "";
}

static void corruptOnce(const char *path, int flags)
{
    static int done = 0;
    if (done || (flags & O_ACCMODE) != O_RDONLY || strcmp(mode(), "corrupt") != 0 || !isTemporaryOutput(path))
        return;
    done = 1;
    int (*realOpen)(const char *, int, ...) = (int (*)(const char *, int, ...))dlsym(RTLD_NEXT, "open");
    const int fd = realOpen(path, O_RDWR);
    if (fd < 0)
        return;
    struct stat status;
    if (fstat(fd, &status) == 0 && status.st_size > 10) {
        const off_t from = status.st_size * 2 / 5;
        const off_t to = status.st_size * 3 / 5;
        unsigned state = 12345;
        unsigned char garbage[4096];
        for (off_t at = from; at < to; at += (off_t)sizeof garbage) {
            for (size_t i = 0; i < sizeof garbage; ++i) {
                state = state * 1103515245u + 12345u;
                garbage[i] = (unsigned char)(state >> 16);
            }
            const size_t n = (size_t)(to - at) < sizeof garbage ? (size_t)(to - at) : sizeof garbage;
            if (pwrite(fd, garbage, n, at) != (ssize_t)n)
                break;
        }
    }
    close(fd);
}

#define FORWARD_OPEN(name)                                                                                           \
    int name(const char *path, int flags, ...)                                                                        \
    {                                                                                                                  \
        mode_t perms = 0;                                                                                              \
        if (flags & (O_CREAT | O_TMPFILE)) {                                                                           \
            va_list args;                                                                                              \
            va_start(args, flags);                                                                                     \
            perms = va_arg(args, mode_t);                                                                              \
            va_end(args);                                                                                              \
        }                                                                                                              \
        corruptOnce(path, flags);                                                                                      \
        int (*real)(const char *, int, ...) = (int (*)(const char *, int, ...))dlsym(RTLD_NEXT, #name);               \
        return real(path, flags, perms);                                                                               \
    }
FORWARD_OPEN(open)
FORWARD_OPEN(open64)

#define FORWARD_FOPEN(name)                                                                                          \
    FILE *name(const char *path, const char *how)                                                                     \
    {                                                                                                                  \
        if (how && how[0] == 'r' && !strchr(how, '+'))                                                                 \
            corruptOnce(path, O_RDONLY);                                                                               \
        FILE *(*real)(const char *, const char *) = (FILE * (*)(const char *, const char *)) dlsym(RTLD_NEXT, #name); \
        return real(path, how);                                                                                        \
    }
FORWARD_FOPEN(fopen)
FORWARD_FOPEN(fopen64)

size_t fwrite(const void *data, size_t size, size_t count, FILE *stream)
{
    size_t (*real)(const void *, size_t, size_t, FILE *)
        = (size_t(*)(const void *, size_t, size_t, FILE *))dlsym(RTLD_NEXT, "fwrite");
    if (strncmp(mode(), "drop:", 5) != 0 || size == 0)
        return real(data, size, count, stream);
    char link[64];
    char path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fileno(stream));
    const ssize_t length = readlink(link, path, sizeof path - 1);
    if (length <= 0)
        return real(data, size, count, stream);
    path[length] = '\0';
    if (!isTemporaryOutput(path))
        return real(data, size, count, stream);
    const long long limit = atoll(mode() + 5);
    const long long at = (long long)ftello(stream);
    const long long bytes = (long long)(size * count);
    if (at + bytes <= limit)
        return real(data, size, count, stream);
    if (at < limit)
        real(data, 1, (size_t)(limit - at), stream);
    // The rest is lost, yet reported written; the position moves on as if it were.
    fseeko(stream, (off_t)(at + bytes), SEEK_SET);
    return count;
}
