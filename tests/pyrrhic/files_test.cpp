// Finding and mapping table files: the scan message, incomplete files,
// wrong magic numbers, the order of several directories, and missing
// directories. Every case leaves the probes failing safely, never wrong.
#include <gtest/gtest.h>
#include <fstream>
#include <iterator>
#include "../shell/engine_process.h"
#include "tb_support.h"

namespace {

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::string shared_file(const std::string& name) { return read_file(syzygy_dir() + "/" + name); }

// Lines the engine prints for one SyzygyPath setting.
std::vector<std::string> scan_through_engine(const std::string& path) {
    std::vector<std::string> out;
    run_engine({}, {"setoption name SyzygyPath value " + path, "quit"}, out);
    return without_startup(out);
}

int probe_kqk(int& success) {
    TestBoard b("8/8/8/3k4/8/8/8/KQ6 b - - 0 1");
    return wdl_of(b.pos(), success);
}

class TablebaseFiles : public ::testing::Test {
protected:
    void SetUp() override { init_engine_tables(); }
    void TearDown() override { tb_free(); }
};

TEST_F(TablebaseFiles, OneTableDirectory) {
    TempDir dir;
    write_file(dir.file("KQvK.rtbw"), shared_file("KQvK.rtbw"));
    auto lines = scan_through_engine(dir.path());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "info string Found 1 WDL, 0 DTM and 0 DTZ tablebase files. Largest 3-men");

    tb_init(dir.path().c_str());
    EXPECT_EQ(tb_largest, 3);
    int s;
    EXPECT_EQ(probe_kqk(s), -2);
    EXPECT_EQ(s, 1);
    // No DTZ file: DTZ fails, WDL of other material fails.
    TestBoard b("8/8/8/3k4/8/8/8/KQ6 b - - 0 1");
    dtz_of(b.pos(), s);
    EXPECT_EQ(s, 0);
    ASSERT_TRUE(b.set("8/8/8/3k4/8/8/8/KR6 b - - 0 1"));
    wdl_of(b.pos(), s);
    EXPECT_EQ(s, 0);
    // Kings alone need no file at all.
    ASSERT_TRUE(b.set("8/8/8/3k4/8/8/8/K7 b - - 0 1"));
    EXPECT_EQ(wdl_of(b.pos(), s), 0);
    EXPECT_EQ(s, 1);
}

TEST_F(TablebaseFiles, IncompleteFileIsReportedAndSkipped) {
    TempDir dir;
    std::string bytes = shared_file("KQvK.rtbw");
    write_file(dir.file("KQvK.rtbw"), bytes.substr(0, bytes.size() - 10));
    write_file(dir.file("KRvK.rtbw"), shared_file("KRvK.rtbw"));
    std::string z = shared_file("KRvK.rtbz");
    write_file(dir.file("KRvK.rtbz"), z.substr(0, z.size() - 1));
    auto lines = scan_through_engine(dir.path());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], "info string Incomplete tablebase file KQvK.rtbw");
    EXPECT_EQ(lines[2], "info string Incomplete tablebase file KRvK.rtbz");
    EXPECT_EQ(lines[3], "info string Found 1 WDL, 0 DTM and 0 DTZ tablebase files. Largest 3-men");

    tb_init(dir.path().c_str());
    int s;
    probe_kqk(s);
    EXPECT_EQ(s, 0);
}

TEST_F(TablebaseFiles, WrongMagicMakesProbesFail) {
    TempDir dir;
    std::string bytes = shared_file("KQvK.rtbw");
    bytes[0] ^= 0x55;
    write_file(dir.file("KQvK.rtbw"), bytes);
    // A DTZ file in the WDL file's place has the wrong magic number too.
    write_file(dir.file("KRvK.rtbw"), shared_file("KRvK.rtbz").substr(0, shared_file("KRvK.rtbw").size()));
    tb_init(dir.path().c_str());
    EXPECT_EQ(tb_num_wdl, 2);
    int s = 1;
    testing::internal::CaptureStderr();
    probe_kqk(s);
    EXPECT_EQ(s, 0);
    probe_kqk(s);  // the failure is remembered; the file is not mapped again
    EXPECT_EQ(s, 0);
    TestBoard b("8/8/8/3k4/8/8/8/KR6 b - - 0 1");
    wdl_of(b.pos(), s);
    EXPECT_EQ(s, 0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Corrupted table.\nCorrupted table.\n");
}

// Garbage after a good header: the decoder must fail or answer, never
// read outside the file. Every probe of every position stays in bounds.
TEST_F(TablebaseFiles, ScrambledDataNeverCrashes) {
    TempDir dir;
    std::string bytes = shared_file("KQvKR.rtbw");
    Rng rng(11);
    for (size_t i = 40; i < bytes.size(); i++)
        if (rng.below(4) == 0) bytes[i] = char(rng.next());
    write_file(dir.file("KQvKR.rtbw"), bytes);
    tb_init(dir.path().c_str());
    testing::internal::CaptureStderr();
    TestBoard b;
    int answered = 0;
    for (int i = 0; i < 500; i++) {
        std::string fen = random_fen("KQvKR", i & 1, false, rng);
        ASSERT_TRUE(b.set(fen.c_str()));
        int s;
        int v = wdl_of(b.pos(), s);
        if (s) {
            EXPECT_GE(v, -2);
            EXPECT_LE(v, 2);
            answered++;
        }
    }
    testing::internal::GetCapturedStderr();
    (void)answered;
}

TEST_F(TablebaseFiles, ADamagedCopyDoesNotHideAGoodOneInALaterDirectory) {
    TempDir first, second;
    std::string good = shared_file("KQvK.rtbw");
    std::string bad = good;
    bad[1] ^= 0x11;  // a wrong magic number
    write_file(first.file("KQvK.rtbw"), bad);
    write_file(second.file("KQvK.rtbw"), good);
    // Cut short in the first directory, whole in the second.
    std::string z = shared_file("KRvK.rtbw");
    write_file(first.file("KRvK.rtbw"), z.substr(0, z.size() - 7));
    write_file(second.file("KRvK.rtbw"), z);
    for (const std::string& path : {first.path() + ":" + second.path(), second.path() + ":" + first.path()}) {
        tb_init(path.c_str());
        EXPECT_EQ(tb_num_wdl, 2) << path;  // each table counted once
        int s;
        EXPECT_EQ(probe_kqk(s), -2) << path;
        EXPECT_EQ(s, 1) << path;
        TestBoard b("8/8/8/3k4/8/8/8/KR6 b - - 0 1");
        EXPECT_EQ(wdl_of(b.pos(), s), -2) << path;
        EXPECT_EQ(s, 1) << path;
    }
    // Through the engine: the good copies are found, nothing is called incomplete.
    auto lines = scan_through_engine(first.path() + ":" + second.path());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "info string Found 2 WDL, 0 DTM and 0 DTZ tablebase files. Largest 3-men");
}

TEST_F(TablebaseFiles, MissingDirectoryAndEmptyPaths) {
    auto lines = scan_through_engine("/no/such/directory");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "info string Found 0 WDL, 0 DTM and 0 DTZ tablebase files. Largest 0-men");
    lines = scan_through_engine("<empty>");
    EXPECT_EQ(lines.size(), 1u);  // only the echo of the setting

    tb_init("<empty>");
    EXPECT_EQ(tb_largest, 0);
    int s;
    probe_kqk(s);
    EXPECT_EQ(s, 0);
    tb_init("");
    EXPECT_EQ(tb_num_wdl, 0);
}

}  // namespace
