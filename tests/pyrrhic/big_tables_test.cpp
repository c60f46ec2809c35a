// Longer checks of the five-man tables, run on request against a folder
// that holds them all (KQRvKR, KRRvKR, KRBvKR, KRNvKR and the 30 MB
// KRPvKR, which the repository does not carry):
//
//   cmake -S . -B build -DVORN_BIG_SYZYGY=/path/to/syzygy5
//   cmake --build build --target big_tablebases
//
// (or VORN_BIG_SYZYGY in the environment). Without the folder every test
// here says so and is skipped.
#include <gtest/gtest.h>
#include <chrono>
#include <cstdlib>
#include "tb_support.h"

namespace {

std::string big_dir() {
    const char* d = getenv("VORN_BIG_SYZYGY");
    return d ? d : "";
}

class BigTables : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (big_dir().empty()) return;
        init_engine_tables();
        tb_init((syzygy_dir() + ":" + big_dir()).c_str());
    }
    static void TearDownTestSuite() { tb_free(); }
    void SetUp() override {
        if (big_dir().empty())
            GTEST_SKIP() << "VORN_BIG_SYZYGY names no folder of five-man tables: nothing checked";
    }
};

TEST_F(BigTables, DISABLED_EveryTableAgreesWithOnePlyOfMoves) {
    std::vector<std::string> names;
    for (const std::string& n : shared_table_names(big_dir()))
        if (n.size() == 6) names.push_back(n);
    printf("five-man tables in %s: %zu\n", big_dir().c_str(), names.size());
    EXPECT_EQ(tb_largest, 5);
    EXPECT_GE(names.size(), 5u);
    for (const std::string& name : names) {
        TableTally t = check_table(name, 3000, std::hash<std::string>()(name) + 1);
        ASSERT_FALSE(HasFailure()) << name;
        printf("%s: %d positions, %d wins, %d draws, %d losses, %d spoilt by the fifty-move rule, "
               "%d decided by a capture\n",
               name.c_str(), t.positions, t.wins, t.draws, t.losses, t.spoilt, t.capture_decided);
        EXPECT_EQ(t.positions, 3000) << name;
        EXPECT_GT(t.capture_decided, 0) << name;
    }
}

// Positions of KRPvKR with the pawn on its seventh rank: every promotion
// lands in one of the four pawnless five-man tables and is probed there.
TEST_F(BigTables, DISABLED_PromotionsResolveIntoEveryPieceTable) {
    TestBoard b;
    Rng rng(77);
    int promoted[7] = {};
    int checked = 0;
    for (int i = 0; i < 20000 && checked < 2000; i++) {
        std::string fen = random_fen("KRPvKR", WHITE, false, rng);
        b.set(fen.c_str());
        Position& p = b.pos();
        if (!(p.bb[make_piece(WHITE, PAWN)] & 0x00FF000000000000ull)) continue;
        int s;
        int wdl = wdl_of(p, s);
        ASSERT_NE(s, 0) << fen;
        bool failed = false;
        int by_moves = wdl_by_moves(p, failed);
        ASSERT_FALSE(failed) << fen;
        ASSERT_TRUE(wdl == by_moves || (wdl == 1 && by_moves == 2) || (wdl == -1 && by_moves == -2)) << fen;
        for (Move m : legal_moves(p)) {
            if (!(m & FLAG_MASK) || piece_type(p.board[move_from(m)]) != PAWN) continue;
            make_move(p, m);
            wdl_of(p, s);
            unmake_move(p);
            ASSERT_NE(s, 0) << fen << " promoting to " << promo_type(m);
            promoted[promo_type(m)]++;
        }
        checked++;
    }
    printf("pawn on the seventh: %d positions; promotions probed: Q %d, R %d, B %d, N %d\n", checked,
           promoted[QUEEN], promoted[ROOK], promoted[BISHOP], promoted[KNIGHT]);
    EXPECT_GT(checked, 500);
    for (int piece : {QUEEN, ROOK, BISHOP, KNIGHT}) EXPECT_GT(promoted[piece], 100) << piece;
}

TEST_F(BigTables, DISABLED_RankingPlaysWinsOutToMate) {
    int promotions[5] = {};
    for (const std::string& name : shared_table_names(big_dir()))
        if (name.size() == 6) {
            EXPECT_EQ(convert_by_ranking(name, 12, 5, promotions), 12) << name;
        }
    printf("promotions played: Q %d, R %d, B %d, N %d\n", promotions[1], promotions[2], promotions[3],
           promotions[4]);
    EXPECT_GT(promotions[1] + promotions[2], 0);
}

// The engine itself, both sides, from won KRPvKR positions (long wins
// that no capture decides) and a KQRvKR one: the winner mates within the
// fifty-move rule.
TEST_F(BigTables, DISABLED_EngineConvertsToMate) {
    const std::string path = syzygy_dir() + ":" + big_dir();
    std::vector<std::string> fens;
    TestBoard b;
    Rng rng(31);
    while (fens.size() < 2) {
        std::string fen = random_fen("KRPvKR", WHITE, false, rng);
        b.set(fen.c_str());
        int s1, s2;
        if (wdl_of(b.pos(), s1) == 2 && s1 == 1 && dtz_of(b.pos(), s2) > 20 && s2) fens.push_back(fen);
    }
    fens.push_back("7r/8/8/3k4/8/8/8/KQR5 w - - 0 1");
    for (const std::string& fen : fens) {
        int ply = play_out(fen, 5, path, 400);
        printf("%s: mate after %d plies\n", fen.c_str(), ply);
        EXPECT_GT(ply, 0) << fen;
    }
}

// Probes per second on random five-man positions (the files mapped first).
TEST_F(BigTables, DISABLED_ProbeSpeed) {
    std::vector<TbPosition> positions;
    TestBoard b;
    Rng rng(9);
    std::vector<std::string> names;
    for (const std::string& n : shared_table_names(big_dir()))
        if (n.size() == 6) names.push_back(n);
    ASSERT_FALSE(names.empty());
    while (positions.size() < 20000) {
        std::string fen = random_fen(names[size_t(rng.below(int(names.size())))], rng.below(2), rng.below(2), rng);
        b.set(fen.c_str());
        positions.push_back(tb_position(b.pos(), 0));
    }
    int s;
    for (const TbPosition& p : positions) tb_probe_dtz(p, s);
    for (int kind = 0; kind < 2; kind++) {
        auto start = std::chrono::steady_clock::now();
        long long probes = 0, sum = 0;
        for (int round = 0; round < (kind ? 2 : 10); round++)
            for (const TbPosition& p : positions) {
                sum += kind ? tb_probe_dtz(p, s) : tb_probe_wdl(p, s);
                probes++;
            }
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        printf("%s probes: %lld in %.3f s, %.0f per second (checksum %lld)\n", kind ? "DTZ" : "WDL", probes,
               seconds, probes / seconds, sum);
    }
}

}  // namespace
