// The polled line reader, fed through a pipe in pieces or from a file.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include "shell/input.h"
#include "engine_process.h"

namespace {

// The reader and its line hold 2 MiB each: they live on the heap.
struct Reader {
    LineReader reader;
    char line[LINE_SIZE];
    int poll(int size = LINE_SIZE) { return poll_line(reader, line, size); }
    std::string next() { return poll() == 1 ? std::string(line) : std::string("<none>"); }
    // Polls until something other than "nothing yet" comes, for input that
    // a writer thread is still sending.
    int wait(int size = LINE_SIZE) {
        for (int i = 0; i < 20000; i++) {
            if (int r = poll(size)) return r;
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        return 0;
    }
};

struct PipeReader : Reader {
    int fds[2];
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
};

// All of the input at once, then its end: for lines longer than a pipe holds.
struct FileReader : Reader {
    TempDir dir;
    int fd = -1;
    explicit FileReader(const std::string& text) {
        const std::string name = dir.file("input.txt");
        FILE* f = fopen(name.c_str(), "wb");
        EXPECT_TRUE(f);
        fwrite(text.data(), 1, text.size(), f);
        fclose(f);
        fd = open(name.c_str(), O_RDONLY);
        init_line_reader(reader, fd);
    }
    ~FileReader() { close(fd); }
};

}  // namespace

TEST(LineInput, NothingWaitingReturnsAtOnce) {
    auto p = std::make_unique<PipeReader>();
    EXPECT_EQ(p->poll(), 0);
    p->write_text("isre");
    EXPECT_EQ(p->poll(), 0);  // half a line is not a line
    p->write_text("ady\n");
    EXPECT_EQ(p->next(), "isready");
    EXPECT_EQ(p->poll(), 0);
}

TEST(LineInput, SeveralLinesInOneWriteComeOneByOne) {
    auto p = std::make_unique<PipeReader>();
    p->write_text("uci\nisready\n\nquit\n");
    EXPECT_EQ(p->next(), "uci");
    EXPECT_EQ(p->next(), "isready");
    EXPECT_EQ(p->next(), "");
    EXPECT_EQ(p->next(), "quit");
    EXPECT_EQ(p->poll(), 0);
}

TEST(LineInput, LongestLineFitsExactly) {
    std::string longest(LINE_SIZE - 1, 'a');
    auto p = std::make_unique<FileReader>(longest + "\nnext\n");
    EXPECT_EQ(p->next(), longest);
    EXPECT_EQ(p->next(), "next");
    EXPECT_EQ(p->poll(), -1);
}

TEST(LineInput, OverlongLineIsRefusedWholeNeverCut) {
    auto p = std::make_unique<FileReader>(std::string(LINE_SIZE, 'b') + "\nisready\n");
    EXPECT_EQ(p->poll(), LINE_TOO_LONG);
    EXPECT_STREQ(p->line, "");
    EXPECT_EQ(p->next(), "isready");
    EXPECT_EQ(p->poll(), -1);
}

TEST(LineInput, OverlongLineArrivingInPiecesIsRefusedOnce) {
    auto p = std::make_unique<PipeReader>();
    // A writer sends more than the reader holds, in pieces, then a command.
    std::thread writer([fd = p->fds[1]] {
        const std::string piece(65536, 'c');
        for (int sent = 0; sent < LINE_SIZE + 70000; sent += int(piece.size()))
            if (write(fd, piece.data(), piece.size()) != ssize_t(piece.size())) return;
        const std::string tail = "dd\nisready\n";
        if (write(fd, tail.data(), tail.size()) != ssize_t(tail.size())) return;
    });
    EXPECT_EQ(p->wait(), LINE_TOO_LONG);
    EXPECT_EQ(p->wait(), 1);
    EXPECT_STREQ(p->line, "isready");
    writer.join();
    EXPECT_EQ(p->poll(), 0);
}

TEST(LineInput, ALineLongerThanTheCallersBufferIsRefused) {
    auto p = std::make_unique<PipeReader>();
    p->write_text("position startpos moves e2e4\ngo\n");
    EXPECT_EQ(p->poll(10), LINE_TOO_LONG);
    EXPECT_EQ(p->poll(10), 1);
    EXPECT_STREQ(p->line, "go");
}

TEST(LineInput, EndOfInputDeliversTheLastPieceThenEnds) {
    auto p = std::make_unique<PipeReader>();
    p->write_text("stop\ngo");
    p->end();
    EXPECT_EQ(p->next(), "stop");
    EXPECT_EQ(p->next(), "go");
    EXPECT_EQ(p->poll(), -1);
    EXPECT_EQ(p->poll(), -1);
}

TEST(LineInput, EndOfInputInsideAnOverlongLine) {
    auto p = std::make_unique<FileReader>(std::string(LINE_SIZE + 100, 'f'));
    EXPECT_EQ(p->poll(), LINE_TOO_LONG);
    EXPECT_EQ(p->poll(), -1);
}
