// Line input that can be polled without blocking. It reads the descriptor
// directly rather than through stdio, so that "readable" from select and
// "a line is waiting" always agree.
#pragma once

// Longest input line kept, terminator included; the rest of a longer line
// is dropped.
constexpr int LINE_SIZE = 4998;

struct LineReader {
    int fd;
    int length;          // bytes waiting in buffer
    bool discarding;     // inside the tail of an over-long line
    bool at_end;         // the descriptor reported end of input
    char buffer[8192];
};

void init_line_reader(LineReader& r, int fd);
// 1: a line (without its line end) was copied into out, cut to size - 1
// characters. 0: no whole line is available now. -1: end of input and
// nothing left. A last line without a line end is still delivered.
int poll_line(LineReader& r, char* out, int size);
