#include "input.h"
#include <sys/select.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

void init_line_reader(LineReader& r, int fd) {
    r.fd = fd;
    r.length = 0;
    r.discarding = false;
    r.at_end = false;
}

static bool readable(int fd) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(fd, &set);
    timeval tv = {0, 0};
    return select(fd + 1, &set, nullptr, nullptr, &tv) > 0;
}

static void drop_front(LineReader& r, int n) {
    memmove(r.buffer, r.buffer + n, size_t(r.length - n));
    r.length -= n;
}

static void copy_out(const LineReader& r, int n, char* out, int size) {
    if (n > size - 1) n = size - 1;
    memcpy(out, r.buffer, size_t(n));
    out[n] = 0;
}

// Takes one line out of the buffer when it holds a whole one (1), or
// drops the start of a line too long for out or for the buffer
// (LINE_TOO_LONG); the rest of that line is then discarded as it comes.
static int take_line(LineReader& r, char* out, int size) {
    if (r.discarding) {
        char* nl = static_cast<char*>(memchr(r.buffer, '\n', size_t(r.length)));
        if (!nl) {
            r.length = 0;
            return 0;
        }
        drop_front(r, int(nl - r.buffer) + 1);
        r.discarding = false;
    }
    char* nl = static_cast<char*>(memchr(r.buffer, '\n', size_t(r.length)));
    const int n = nl ? int(nl - r.buffer) : r.length;
    if (n > size - 1 || (!nl && r.length == int(sizeof r.buffer))) {
        out[0] = 0;
        if (nl) {
            drop_front(r, n + 1);
        } else {
            r.length = 0;
            r.discarding = true;
        }
        return LINE_TOO_LONG;
    }
    if (!nl) return 0;
    copy_out(r, n, out, size);
    drop_front(r, n + 1);
    return 1;
}

int poll_line(LineReader& r, char* out, int size) {
    for (;;) {
        if (int taken = take_line(r, out, size)) return taken;
        if (r.at_end) {
            if (r.length > 0 && !r.discarding) {
                copy_out(r, r.length, out, size);
                r.length = 0;
                return 1;
            }
            r.length = 0;
            return -1;
        }
        if (!readable(r.fd)) return 0;
        ssize_t n = read(r.fd, r.buffer + r.length, sizeof r.buffer - size_t(r.length));
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) return 0;
            r.at_end = true;
        } else if (n == 0) {
            r.at_end = true;
        } else {
            r.length += int(n);
        }
    }
}
