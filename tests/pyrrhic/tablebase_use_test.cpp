// The engine's use of the tablebases: when probe_tb_wdl refuses, the root
// result line and its move list, the direct DTZ move late in the
// fifty-move cycle, won endings played out to mate by the real executable,
// and broken table directories that leave the engine playing as without.
#include <gtest/gtest.h>
#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>
#include "../shell/engine_process.h"
#include "position/notation.h"
#include "tb_support.h"

namespace {

class TablebaseUse : public ::testing::Test {
protected:
    static void SetUpTestSuite() { use_shared_tables(); }
    // Other suites search without tablebases.
    static void TearDownTestSuite() { tb_free(); }
};

TEST_F(TablebaseUse, ProbeRefusals) {
    TestBoard b("4k3/8/8/8/8/8/8/R3K3 b - - 0 1");
    EXPECT_EQ(probe_tb_wdl(b.pos(), 0), TB_LOSS);  // black loses
    ASSERT_TRUE(b.set("4k3/8/8/8/8/8/8/R3K3 w - - 0 1"));
    EXPECT_EQ(probe_tb_wdl(b.pos(), 0), TB_WIN);
    ASSERT_TRUE(b.set("4k3/8/8/8/8/8/8/R3K3 w Q - 0 1"));
    EXPECT_EQ(probe_tb_wdl(b.pos(), 80), TB_NONE);  // a castling right is left
    ASSERT_TRUE(b.set("4k3/8/8/8/8/8/8/RQ2KN2 w - - 0 1"));
    EXPECT_EQ(probe_tb_wdl(b.pos(), 80), TB_NONE);  // five men, tables of four
    ASSERT_TRUE(b.set("4k3/8/8/8/8/8/8/4K3 w - - 0 1"));
    EXPECT_EQ(probe_tb_wdl(b.pos(), 0), TB_DRAW);
    // The search probes with a clock of 0: a long KBNvK win stays a win.
    ASSERT_TRUE(b.set("8/8/8/8/8/8/8/KBN4k w - - 99 80"));
    EXPECT_EQ(probe_tb_wdl(b.pos(), 1), TB_WIN);
}

TEST_F(TablebaseUse, RootLineListsOnlyMovesThatKeepTheResult) {
    EngineProcess e;
    ASSERT_TRUE(e.skip_startup());
    e.send("setoption name SyzygyPath value " + syzygy_dir());
    struct Case {
        const char* fen;
        const char* word;
    } cases[] = {
        {"8/8/8/3k4/8/8/8/KQ6 w - - 0 1", "WIN"},
        {"8/8/8/3k4/8/8/2R5/K7 w - - 0 1", "WIN"},
        {"8/8/8/3k4/8/8/2R5/K7 b - - 0 1", "LOSS"},
        {"8/8/8/3k4/8/2r5/8/KQ6 w - - 0 1", "WIN"},  // Qxc... is not the only way
        {"8/8/8/8/8/K7/2k5/1Q6 b - - 0 1", "DRAW"},   // the king takes the queen
        {"8/8/8/8/8/2k5/8/K1n5 w - - 0 1", "DRAW"},
    };
    TestBoard b;
    for (const Case& c : cases) {
        Reply r = go(e, std::string("position fen ") + c.fen, "depth 3");
        std::string line = tb_line(r);
        std::string head = std::string("info string TB result is ") + c.word + " with moves: ";
        ASSERT_TRUE(starts_with(line, head)) << c.fen << ": " << line;
        // Every listed move keeps the result; every move left out spoils it.
        ASSERT_TRUE(b.set(c.fen));
        int root = probe_tb_wdl(b.pos(), 80);
        std::istringstream listed(line.substr(head.size()));
        std::vector<std::string> kept;
        for (std::string m; listed >> m;) kept.push_back(m);
        EXPECT_FALSE(kept.empty());
        int spoiling = 0;
        for (Move m : legal_moves(b.pos())) {
            std::string text = std::string(square_names[move_from(m)]) + square_names[move_to(m)];
            make_move(b.pos(), m);
            int z = probe_tb_wdl(b.pos(), 80);
            unmake_move(b.pos());
            bool listed_here = std::find(kept.begin(), kept.end(), text) != kept.end();
            EXPECT_EQ(listed_here, 4 - z >= root) << c.fen << " " << text;
            spoiling += 4 - z < root;
        }
        if (std::string(c.word) == "WIN") {
            EXPECT_GT(spoiling, 0) << c.fen;
        }
        // The engine's move is one of the listed ones.
        EXPECT_NE(std::find(kept.begin(), kept.end(), r.bestmove.substr(0, 4)), kept.end()) << c.fen;
    }
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST_F(TablebaseUse, LateInTheCycleTheDtzMoveIsPlayedAtOnce) {
    EngineProcess e;
    ASSERT_TRUE(e.skip_startup());
    e.send("setoption name SyzygyPath value " + syzygy_dir());
    struct Case {
        const char* fen;
        const char* score;
    } cases[] = {
        {"8/8/8/3k4/8/8/8/KQ6 w - - 12 40", "score cp 9800"},
        {"8/8/8/3k4/8/8/8/KQ6 b - - 12 40", "score cp -9800"},
        {"8/8/8/8/8/2k5/8/K1n5 w - - 30 60", "score cp 0"},
    };
    for (const Case& c : cases) {
        Reply r = go(e, std::string("position fen ") + c.fen, "depth 20");
        ASSERT_FALSE(r.bestmove.empty()) << c.fen;
        bool found = false;
        for (const std::string& l : r.lines)
            if (starts_with(l, "info depth 99 ") && l.find(c.score) != std::string::npos) found = true;
        EXPECT_TRUE(found) << c.fen;
        // The move is the ranking's choice, not a search result.
        TestBoard b(c.fen);
        uint32_t res = tb_probe_root(tb_position(b.pos(), b.pos().fifty));
        std::string expected = std::string(square_names[tb_result_from(res)]) + square_names[tb_result_to(res)];
        EXPECT_EQ(r.bestmove, expected) << c.fen;
    }
    // With a clock of 9 the search runs as usual.
    Reply r = go(e, "position fen 8/8/8/3k4/8/8/8/KQ6 w - - 9 40", "depth 4");
    for (const std::string& l : r.lines) EXPECT_FALSE(starts_with(l, "info depth 99 ")) << l;
    e.send("quit");
    EXPECT_EQ(e.finish(), 0);
}

TEST_F(TablebaseUse, QueenAndRookWinsAreConverted) {
    int q = play_out("8/8/8/3k4/8/8/8/KQ6 w - - 0 1", 5, syzygy_dir());
    EXPECT_GT(q, 0);
    EXPECT_LE(q, 100);
    int r = play_out("8/8/3k4/8/8/8/1R6/K7 w - - 0 1", 5, syzygy_dir());
    EXPECT_GT(r, 0);
    EXPECT_LE(r, 100);
    // Black as the stronger side.
    int rb = play_out("k7/1r6/8/8/8/3K4/8/8 b - - 0 1", 5, syzygy_dir());
    EXPECT_GT(rb, 0);
    EXPECT_LE(rb, 100);
}

std::string read_all(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Broken table directories: the engine plays on as without tablebases.
TEST_F(TablebaseUse, BrokenTablesLeaveTheEnginePlaying) {
    TempDir dir;
    std::string bytes = read_all(syzygy_dir() + "/KQvK.rtbw");
    bytes[2] ^= 0x40;
    { std::ofstream(dir.file("KQvK.rtbw"), std::ios::binary) << bytes; }
    std::string z = read_all(syzygy_dir() + "/KRvK.rtbw");
    { std::ofstream(dir.file("KRvK.rtbw"), std::ios::binary) << z.substr(0, z.size() / 2); }

    for (const std::string& path : {dir.path(), std::string("/no/such/dir"), std::string("<empty>")}) {
        EngineProcess e;
        ASSERT_TRUE(e.skip_startup());
        e.send("setoption name SyzygyPath value " + path);
        for (const char* fen : {"8/8/8/3k4/8/8/8/KQ6 w - - 0 1", "8/8/3k4/8/8/8/1R6/K7 w - - 20 1"}) {
            Reply r = go(e, std::string("position fen ") + fen, "depth 4");
            EXPECT_EQ(tb_line(r), "") << path;
            TestBoard b(fen);
            char text[16];
            snprintf(text, sizeof text, "%s", r.bestmove.c_str());
            Move m;
            EXPECT_TRUE(parse_move(b.pos(), text, m)) << path << " " << r.bestmove;
            for (const std::string& l : r.lines) EXPECT_FALSE(starts_with(l, "info depth 99 ")) << l;
        }
        e.send("quit");
        EXPECT_EQ(e.finish(), 0);
    }
}

// Probes per second on random 4-man positions (run on request:
// --gtest_also_run_disabled_tests --gtest_filter=*ProbeSpeed*).
TEST_F(TablebaseUse, DISABLED_WdlProbeSpeed) {
    std::vector<TbPosition> positions;
    TestBoard b;
    Rng rng(5);
    std::vector<std::string> names;
    for (const std::string& n : shared_table_names())
        if (n.size() == 5) names.push_back(n);  // four men: "KQvKR", "KRPvK" ...
    while (positions.size() < 20000) {
        const std::string& name = names[size_t(rng.below(int(names.size())))];
        std::string fen = random_fen(name, rng.below(2), rng.below(2), rng);
        b.set(fen.c_str());
        positions.push_back(tb_position(b.pos(), 0));
    }
    int s;
    for (const TbPosition& p : positions) tb_probe_wdl(p, s);  // map the files first
    auto start = std::chrono::steady_clock::now();
    long long probes = 0, sum = 0;
    for (int round = 0; round < 10; round++)
        for (const TbPosition& p : positions) {
            sum += tb_probe_wdl(p, s);
            probes++;
        }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    printf("WDL probes: %lld in %.3f s, %.0f per second (checksum %lld)\n", probes, seconds, probes / seconds, sum);
}

}  // namespace
