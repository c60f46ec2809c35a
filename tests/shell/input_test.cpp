// The polled line reader, fed through a pipe in pieces.
#include <gtest/gtest.h>
#include <unistd.h>
#include <string>
#include "shell/input.h"

struct PipeReader {
    int fds[2];
    LineReader reader;
    char line[LINE_SIZE];
    PipeReader() {
        EXPECT_EQ(pipe(fds), 0);
        init_line_reader(reader, fds[0]);
    }
    ~PipeReader() {
        close(fds[0]);
        if (fds[1] >= 0) close(fds[1]);
    }
    void write_text(const std::string& s) {
        // Small enough for the pipe buffer, so no reader is needed to drain it.
        ASSERT_EQ(write(fds[1], s.data(), s.size()), ssize_t(s.size()));
    }
    void end() {
        close(fds[1]);
        fds[1] = -1;
    }
    int poll() { return poll_line(reader, line, sizeof line); }
    std::string next() { return poll() == 1 ? std::string(line) : std::string("<none>"); }
};

TEST(LineInput, NothingWaitingReturnsAtOnce) {
    PipeReader p;
    EXPECT_EQ(p.poll(), 0);
    p.write_text("isre");
    EXPECT_EQ(p.poll(), 0);  // half a line is not a line
    p.write_text("ady\n");
    EXPECT_EQ(p.next(), "isready");
    EXPECT_EQ(p.poll(), 0);
}

TEST(LineInput, SeveralLinesInOneWriteComeOneByOne) {
    PipeReader p;
    p.write_text("uci\nisready\n\nquit\n");
    EXPECT_EQ(p.next(), "uci");
    EXPECT_EQ(p.next(), "isready");
    EXPECT_EQ(p.next(), "");
    EXPECT_EQ(p.next(), "quit");
    EXPECT_EQ(p.poll(), 0);
}

TEST(LineInput, LongestLineFitsExactly) {
    PipeReader p;
    std::string longest(LINE_SIZE - 1, 'a');
    p.write_text(longest + "\nnext\n");
    EXPECT_EQ(p.next(), longest);
    EXPECT_EQ(p.next(), "next");
}

TEST(LineInput, OverlongLineIsCutAndItsRestDropped) {
    PipeReader p;
    std::string head(LINE_SIZE - 1, 'b');
    p.write_text(head);
    p.write_text(std::string(3000, 'c'));
    EXPECT_EQ(p.next(), head);
    p.write_text(std::string(3000, 'd'));
    EXPECT_EQ(p.poll(), 0);  // still inside the same line
    p.write_text("dd\nisready\n");
    EXPECT_EQ(p.next(), "isready");
    EXPECT_EQ(p.poll(), 0);
}

TEST(LineInput, OverlongLineArrivingWholeIsCutToo) {
    PipeReader p;
    p.write_text(std::string(6000, 'e') + "\nquit\n");
    EXPECT_EQ(p.next(), std::string(LINE_SIZE - 1, 'e'));
    EXPECT_EQ(p.next(), "quit");
}

TEST(LineInput, EndOfInputDeliversTheLastPieceThenEnds) {
    PipeReader p;
    p.write_text("stop\ngo");
    p.end();
    EXPECT_EQ(p.next(), "stop");
    EXPECT_EQ(p.next(), "go");
    EXPECT_EQ(p.poll(), -1);
    EXPECT_EQ(p.poll(), -1);
}

TEST(LineInput, EndOfInputInsideAnOverlongLine) {
    PipeReader p;
    p.write_text(std::string(LINE_SIZE + 100, 'f'));
    p.end();
    EXPECT_EQ(p.next(), std::string(LINE_SIZE - 1, 'f'));
    EXPECT_EQ(p.poll(), -1);
}
