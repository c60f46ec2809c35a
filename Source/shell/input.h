// Line input that can be polled without blocking. It reads the descriptor
// directly rather than through stdio, so that "readable" from select and
// "a line is waiting" always agree.
#pragma once

// Longest input line taken, terminator included: 2 MiB holds the move
// list of a game of several thousand moves. A longer line is refused
// whole, never cut: half a move list would be a different game.
constexpr int LINE_SIZE = 1 << 21;

struct LineReader {
    int fd;
    int length;          // bytes waiting in buffer
    bool discarding;     // inside the tail of an over-long line
    bool at_end;         // the descriptor reported end of input
    char buffer[LINE_SIZE];
};

constexpr int LINE_TOO_LONG = 2;

void init_line_reader(LineReader& r, int fd);
// 1: a line (without its line end) was copied into out. LINE_TOO_LONG: a
// line longer than size - 1 characters (or than the reader's buffer) was
// dropped whole; out is empty. 0: no whole line is available now. -1: end
// of input and nothing left. A last line without a line end is still
// delivered.
int poll_line(LineReader& r, char* out, int size);
