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

// Takes one line out of the buffer when it holds a whole one, or when it
// holds more than fits in out (that line is cut and its tail discarded).
static bool take_line(LineReader& r, char* out, int size) {
    if (r.discarding) {
        char* nl = static_cast<char*>(memchr(r.buffer, '\n', size_t(r.length)));
        if (!nl) {
            r.length = 0;
            return false;
        }
        drop_front(r, int(nl - r.buffer) + 1);
        r.discarding = false;
    }
    char* nl = static_cast<char*>(memchr(r.buffer, '\n', size_t(r.length)));
    if (nl) {
        int n = int(nl - r.buffer);
        copy_out(r, n, out, size);
        drop_front(r, n + 1);
        return true;
    }
    if (r.length >= size - 1 || r.length == int(sizeof r.buffer)) {
        copy_out(r, r.length, out, size);
        r.length = 0;
        r.discarding = true;
        return true;
    }
    return false;
}

int poll_line(LineReader& r, char* out, int size) {
    for (;;) {
        if (take_line(r, out, size)) return 1;
        if (r.at_end) {
            if (r.length > 0) {
                copy_out(r, r.length, out, size);
                r.length = 0;
                return 1;
            }
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
