/* A failing medium for the tests: serves one image file as MOUNTPOINT/image, read-only, and makes
 * chosen byte ranges fail with EIO, others answer slowly, and the file shrink once a read reaches
 * a chosen offset. Every read reaches this server (direct_io, no attribute cache), so a range
 * fails every time it is read, as a bad sector does.
 *
 *   faulty-image-fs IMAGE MOUNTPOINT [--eio OFFSET:LENGTH]... [--delay OFFSET:LENGTH:MS]...
 *                   [--shrink-at OFFSET] [--log FILE]
 *
 * Runs in the foreground until unmounted (fusermount3 -u MOUNTPOINT). --log appends one line
 * "OFFSET LENGTH ok|eio" per read, so tests can see what was asked for. */
#define FUSE_USE_VERSION 31

#include <errno.h>
#include <fcntl.h>
#include <fuse3/fuse.h>
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#define MAX_RANGES 64

struct range {
    int64_t offset;
    int64_t length;
    int delay_ms;
};

static int image_fd = -1;
static int64_t image_size;
static int64_t shrink_at = -1;
static int shrunk;
static FILE *read_log;
static struct range eio_ranges[MAX_RANGES];
static int eio_count;
static struct range delay_ranges[MAX_RANGES];
static int delay_count;

static int overlaps(const struct range *r, int64_t offset, int64_t length) {
    return offset < r->offset + r->length && r->offset < offset + length;
}

static int64_t served_size(void) { return shrunk ? shrink_at : image_size; }

static int fs_getattr(const char *path, struct stat *st, struct fuse_file_info *fi) {
    (void)fi;
    memset(st, 0, sizeof(*st));
    if (strcmp(path, "/") == 0) {
        st->st_mode = S_IFDIR | 0555;
        st->st_nlink = 2;
        return 0;
    }
    if (strcmp(path, "/image") != 0)
        return -ENOENT;
    st->st_mode = S_IFREG | 0444;
    st->st_nlink = 1;
    st->st_size = served_size();
    return 0;
}

static int fs_readdir(const char *path, void *buf, fuse_fill_dir_t fill, off_t offset, struct fuse_file_info *fi,
                      enum fuse_readdir_flags flags) {
    (void)offset;
    (void)fi;
    (void)flags;
    if (strcmp(path, "/") != 0)
        return -ENOENT;
    fill(buf, ".", NULL, 0, 0);
    fill(buf, "..", NULL, 0, 0);
    fill(buf, "image", NULL, 0, 0);
    return 0;
}

static int fs_open(const char *path, struct fuse_file_info *fi) {
    if (strcmp(path, "/image") != 0)
        return -ENOENT;
    if ((fi->flags & O_ACCMODE) != O_RDONLY)
        return -EROFS;
    fi->direct_io = 1;
    return 0;
}

static int fs_read(const char *path, char *buf, size_t size, off_t offset, struct fuse_file_info *fi) {
    (void)path;
    (void)fi;
    if (shrink_at >= 0 && !shrunk && offset + (int64_t)size > shrink_at)
        shrunk = 1;
    for (int i = 0; i < delay_count; ++i) {
        if (overlaps(&delay_ranges[i], offset, (int64_t)size)) {
            struct timespec pause = {delay_ranges[i].delay_ms / 1000, (delay_ranges[i].delay_ms % 1000) * 1000000L};
            nanosleep(&pause, NULL);
        }
    }
    for (int i = 0; i < eio_count; ++i) {
        if (overlaps(&eio_ranges[i], offset, (int64_t)size)) {
            if (read_log)
                fprintf(read_log, "%" PRId64 " %zu eio\n", (int64_t)offset, size);
            return -EIO;
        }
    }
    const int64_t end = served_size();
    if (offset >= end)
        return 0;
    if ((int64_t)size > end - offset)
        size = (size_t)(end - offset);
    const ssize_t got = pread(image_fd, buf, size, offset);
    if (read_log)
        fprintf(read_log, "%" PRId64 " %zu ok\n", (int64_t)offset, size);
    return got < 0 ? -errno : (int)got;
}

static const struct fuse_operations operations = {
    .getattr = fs_getattr,
    .readdir = fs_readdir,
    .open = fs_open,
    .read = fs_read,
};

static int parse_range(const char *text, struct range *r, int with_delay) {
    char *end = NULL;
    r->offset = strtoll(text, &end, 0);
    if (*end != ':')
        return 0;
    r->length = strtoll(end + 1, &end, 0);
    r->delay_ms = 0;
    if (with_delay) {
        if (*end != ':')
            return 0;
        r->delay_ms = (int)strtol(end + 1, &end, 0);
    }
    return *end == '\0' && r->offset >= 0 && r->length > 0;
}

static int usage(void) {
    fprintf(stderr, "usage: faulty-image-fs IMAGE MOUNTPOINT [--eio OFFSET:LENGTH]... "
                    "[--delay OFFSET:LENGTH:MS]... [--shrink-at OFFSET] [--log FILE]\n");
    return 2;
}

int main(int argc, char **argv) {
    if (argc < 3)
        return usage();
    for (int i = 3; i < argc; ++i) {
        if (i + 1 >= argc)
            return usage();
        const char *value = argv[++i];
        if (strcmp(argv[i - 1], "--eio") == 0 && eio_count < MAX_RANGES) {
            if (!parse_range(value, &eio_ranges[eio_count++], 0))
                return usage();
        } else if (strcmp(argv[i - 1], "--delay") == 0 && delay_count < MAX_RANGES) {
            if (!parse_range(value, &delay_ranges[delay_count++], 1))
                return usage();
        } else if (strcmp(argv[i - 1], "--shrink-at") == 0) {
            shrink_at = strtoll(value, NULL, 0);
        } else if (strcmp(argv[i - 1], "--log") == 0) {
            read_log = fopen(value, "a");
            if (read_log == NULL)
                return usage();
            setvbuf(read_log, NULL, _IOLBF, 0);
        } else {
            return usage();
        }
    }
    image_fd = open(argv[1], O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (image_fd < 0 || fstat(image_fd, &st) != 0) {
        perror(argv[1]);
        return 1;
    }
    image_size = st.st_size;
    /* Single-threaded and in the foreground; no caches, so every read comes here. */
    char *fuse_argv[] = {argv[0], argv[2], "-f", "-s", "-o", "ro,attr_timeout=0,entry_timeout=0,negative_timeout=0,auto_unmount", NULL};
    return fuse_main(6, fuse_argv, &operations, NULL);
}
