/* The least any atomic rewrite of a file must do, as the yardstick of one add: read the file,
 * write a copy with one line more, flush the copy, rename it over the original, flush the
 * folder. With --clone the copy shares the original's blocks instead of being written (on a
 * file system that can), which is the least an add can do there.
 *
 *   account-floor [--clone] FILE
 */
#define _GNU_SOURCE
#include <fcntl.h>
#include <libgen.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/fs.h>
#endif

static int fail(const char *what)
{
    perror(what);
    return 1;
}

static int writeAll(int fd, const char *bytes, size_t size)
{
    while (size > 0) {
        const ssize_t written = write(fd, bytes, size);
        if (written <= 0)
            return -1;
        bytes += written;
        size -= (size_t)written;
    }
    return 0;
}

int main(int argc, char **argv)
{
    const int clone = argc == 3 && strcmp(argv[1], "--clone") == 0;
    if (argc != 2 + clone) {
        fprintf(stderr, "usage: account-floor [--clone] FILE\n");
        return 64;
    }
    const char *path = argv[1 + clone];
    char copyPath[4096];
    snprintf(copyPath, sizeof copyPath, "%s.floor", path);

    const int source = open(path, O_RDONLY | O_CLOEXEC);
    const int copy = open(copyPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (source < 0 || copy < 0)
        return fail("open");
    if (clone) {
#ifdef FICLONE
        if (ioctl(copy, FICLONE, source) != 0 || lseek(copy, 0, SEEK_END) < 0)
            return fail("clone");
#else
        return fail("clone");
#endif
    } else {
        static char buffer[1 << 18];
        for (;;) {
            const ssize_t got = read(source, buffer, sizeof buffer);
            if (got < 0)
                return fail("read");
            if (got == 0)
                break;
            if (writeAll(copy, buffer, (size_t)got) != 0)
                return fail("write");
        }
    }
    static const char record[] = "floor,pw,1,none,0\r\n";
    if (writeAll(copy, record, sizeof record - 1) != 0 || fsync(copy) != 0 || close(copy) != 0)
        return fail("write");
    close(source);
    if (rename(copyPath, path) != 0)
        return fail("rename");
    const int folder = open(dirname(copyPath), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0 || fsync(folder) != 0)
        return fail("folder");
    close(folder);
    return 0;
}
