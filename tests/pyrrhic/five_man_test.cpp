// Five-man tables: the two small pawnless ones kept with the tests (KQRvKR,
// KRNvKR), found in a second directory beside the 3- and 4-man tables.
// Their WDL and DTZ values agree with one ply of moves, captures resolve
// into the four-man tables, the ranking converts wins to mate, the engine
// itself mates in self-play, and damaged five-man files fail safely.
#include <gtest/gtest.h>
#include <algorithm>
#include <fstream>
#include <iterator>
#include "tb_support.h"

namespace {

std::string both_dirs() { return syzygy_dir() + ":" + syzygy5_dir(); }

class FiveMan : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        init_engine_tables();
        tb_init(both_dirs().c_str());
    }
    static void TearDownTestSuite() { tb_free(); }
};

TEST_F(FiveMan, BothDirectoriesAreScanned) {
    EXPECT_EQ(tb_largest, 5);
    EXPECT_EQ(tb_num_wdl, 37);
    EXPECT_EQ(tb_num_dtz, 37);
    const std::string found = "info string Found 37 WDL, 0 DTM and 37 DTZ tablebase files. Largest 5-men";
    std::vector<std::string> out;
    run_engine({}, {"setoption name SyzygyPath value " + both_dirs(), "quit"}, out);
    EXPECT_NE(std::find(out.begin(), out.end(), found), out.end());
    // At start-up, from a configuration file.
    TempDir dir;
    { std::ofstream(dir.file("tb.cfg")) << "SyzygyPath = " << both_dirs() << "\n"; }
    out.clear();
    run_engine({"-cfg", dir.file("tb.cfg")}, {"quit"}, out);
    EXPECT_NE(std::find(out.begin(), out.end(), found), out.end());
}

TEST_F(FiveMan, ValuesAgreeWithOnePlyOfMoves) {
    for (const char* name : {"KQRvKR", "KRNvKR"}) {
        TableTally t = check_table(name, 400, std::hash<std::string>()(name));
        ASSERT_FALSE(HasFailure()) << name;
        EXPECT_EQ(t.positions, 400) << name;
        // Both results occur, and some are decided by a capture into the
        // four-man tables (the rook or queen taken at once).
        EXPECT_GT(t.wins + t.losses, 60) << name;
        EXPECT_GT(t.draws, 5) << name;
        EXPECT_GT(t.capture_decided, 5) << name;
    }
}

TEST_F(FiveMan, RankingPlaysWinsOutToMate) {
    int promotions[5] = {};
    EXPECT_EQ(convert_by_ranking("KQRvKR", 6, 21, promotions), 6);
    EXPECT_EQ(convert_by_ranking("KRNvKR", 4, 22, promotions), 4);
}

TEST_F(FiveMan, EngineMatesWithQueenAndRookAgainstRook) {
    const char* fen = "7r/8/8/3k4/8/8/8/KQR5 w - - 0 1";
    TestBoard b(fen);
    ASSERT_EQ(probe_tb_wdl(b.pos(), 80), TB_WIN);
    EngineProcess e;
    ASSERT_TRUE(e.skip_startup());
    e.send("setoption name SyzygyPath value " + both_dirs());
    Reply r = go(e, std::string("position fen ") + fen, "depth 4");
    EXPECT_TRUE(starts_with(tb_line(r), "info string TB result is WIN with moves: ")) << tb_line(r);
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
    int ply = play_out(fen, 5, both_dirs(), 160);
    EXPECT_GT(ply, 0);
    // The winner moves on even plies.
    EXPECT_EQ(ply % 2, 1);
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A damaged five-man file fails its own probes (or answers in range) and
// leaves the other tables working; a result that a capture into a smaller
// table decides is still given, and right.
TEST_F(FiveMan, DamagedFilesFailSafely) {
    const std::string good = read_file(syzygy5_dir() + "/KQRvKR.rtbw");
    ASSERT_GT(good.size(), 100000u);
    Rng rng(5);
    std::vector<std::string> fens;
    std::vector<int> values;
    TestBoard b;
    for (int i = 0; i < 300; i++) {
        fens.push_back(random_fen("KQRvKR", i & 1, (i >> 1) & 1, rng));
        ASSERT_TRUE(b.set(fens.back().c_str()));
        int s;
        values.push_back(wdl_of(b.pos(), s));
        ASSERT_NE(s, 0);
    }
    std::string scrambled = good;
    for (size_t i = 64; i < scrambled.size(); i++)
        if (rng.below(3) == 0) scrambled[i] = char(rng.next());
    std::string wrong_magic = good;
    wrong_magic[3] ^= 0x21;
    const std::string cut = good.substr(0, good.size() / 2);
    for (const std::string* bytes : std::vector<const std::string*>{&scrambled, &wrong_magic, &cut}) {
        TempDir dir;
        { std::ofstream(dir.file("KQRvKR.rtbw"), std::ios::binary) << *bytes; }
        tb_init((dir.path() + ":" + syzygy_dir()).c_str());
        testing::internal::CaptureStderr();
        int by_table = 0, by_capture = 0;
        for (size_t i = 0; i < fens.size(); i++) {
            ASSERT_TRUE(b.set(fens[i].c_str()));
            int s;
            int v = wdl_of(b.pos(), s);
            if (s == 2) {
                EXPECT_EQ(v, values[i]) << fens[i];
                by_capture++;
            } else if (s) {
                EXPECT_GE(v, -2);
                EXPECT_LE(v, 2);
                by_table++;
            }
        }
        testing::internal::GetCapturedStderr();
        EXPECT_GT(by_capture, 0);
        // Only the scrambled copy has a header to answer from.
        if (bytes != &scrambled) {
            EXPECT_EQ(by_table, 0);
        }
        // The four-man tables are untouched.
        b.set("8/8/8/3k4/8/8/3r4/KQ6 b - - 0 1");
        int s;
        wdl_of(b.pos(), s);
        EXPECT_NE(s, 0);
    }
    tb_init(both_dirs().c_str());
}

}  // namespace
