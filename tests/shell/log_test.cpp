// The log file vorn.log in the working directory.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <fstream>
#include <sstream>
#include "engine_process.h"

static std::string read_file(const std::string& name) {
    std::ifstream f(name);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

static bool exists(const std::string& name) {
    struct stat st;
    return stat(name.c_str(), &st) == 0;
}

TEST(Log, OffByDefaultAndNoFileIsMade) {
    TempDir dir;
    std::vector<std::string> out;
    EXPECT_EQ(run_engine({}, {"isready", "setoption name Log value false", "quit"}, out, dir.path()), 0);
    EXPECT_FALSE(exists(dir.file("vorn.log")));
}

TEST(Log, SwitchLogsCommandsAndReplies) {
    TempDir dir;
    std::ofstream(dir.file("vorn.log")) << "left from an earlier run\n";
    std::vector<std::string> out;
    EXPECT_EQ(run_engine({"-log"}, {"isready", "quit"}, out, dir.path()), 0);
    EXPECT_EQ(without_startup(read_file(dir.file("vorn.log"))), "CMD: isready\nreadyok\nCMD: quit\n");
}

TEST(Log, SecondLogTrueKeepsTheFile) {
    TempDir dir;
    std::vector<std::string> out;
    EXPECT_EQ(run_engine({}, {"setoption name Log value true", "isready", "setoption name Log value true", "isready",
                              "setoption name Log value false", "isready", "quit"},
                         out, dir.path()),
              0);
    // The second "true" neither truncates nor reopens; "false" only stops copying.
    EXPECT_EQ(without_startup(read_file(dir.file("vorn.log"))),
              "CMD: isready\nreadyok\nCMD: setoption name Log value true\ninfo string Log set to 1\n"
              "CMD: isready\nreadyok\nCMD: setoption name Log value false\ninfo string Log set to 0\n");
}

TEST(Log, AnOldLogThatCannotBeDeletedIsReported) {
    TempDir dir;
    // A directory of that name cannot be unlinked, whoever runs the test.
    ASSERT_EQ(mkdir(dir.file("vorn.log").c_str(), 0755), 0);
    std::ofstream(dir.file("vorn.log/inside")) << "x";
    std::vector<std::string> out;
    EXPECT_EQ(run_engine({"-log"}, {"isready", "quit"}, out, dir.path()), 0);
    out = without_startup(out);
    ASSERT_GE(out.size(), 2u);
    EXPECT_EQ(out[0], "log file in use.");
    EXPECT_EQ(out[1], "readyok");
}

TEST(Log, DebugTurnsTheCommandEchoOn) {
    TempDir dir;
    std::vector<std::string> out;
    EXPECT_EQ(run_engine({"-log"}, {"debug on", "isready", "quit"}, out, dir.path()), 0);
    EXPECT_EQ(without_startup(read_file(dir.file("vorn.log"))), "CMD: debug on\nCMD: isready\nreadyok\nCMD: quit\n");
}
