// DTZ values: their sign follows WDL, zeroing wins give 1, one ply of
// moves explains each value, short mates found by our own minimax give the
// exact distance, and the root ranking's moves convert wins in time.
#include <gtest/gtest.h>
#include "position/attacks.h"
#include "position/notation.h"
#include "tb_support.h"

namespace {

class TablebaseDtz : public ::testing::Test {
protected:
    static void SetUpTestSuite() { use_shared_tables(); }
    // Other suites search without tablebases.
    static void TearDownTestSuite() { tb_free(); }
};

// Whether the side to move mates within n of its own moves (plain minimax
// with the engine's generator).
bool mates_within(Position& p, int n) {
    if (n <= 0) return false;
    for (Move m : legal_moves(p)) {
        make_move(p, m);
        std::vector<Move> replies = legal_moves(p);
        bool mated = replies.empty() && in_check(p);
        bool all = !replies.empty();
        if (!mated && n > 1) {
            for (Move r : replies) {
                make_move(p, r);
                bool ok = mates_within(p, n - 1);
                unmake_move(p);
                if (!ok) {
                    all = false;
                    break;
                }
            }
        } else {
            all = false;
        }
        unmake_move(p);
        if (mated || all) return true;
    }
    return false;
}

TEST_F(TablebaseDtz, SignFollowsWdlAndOnePlyExplainsTheValue) {
    TestBoard b;
    int explained = 0, long_wins = 0;
    for (const std::string& name : shared_table_names()) {
        Rng rng(std::hash<std::string>()(name) ^ 0x55);
        for (int i = 0; i < 120; i++) {
            std::string fen = random_fen(name, i & 1, (i >> 1) & 1, rng);
            ASSERT_TRUE(b.set(fen.c_str()));
            Position& p = b.pos();
            int s1, s2;
            int wdl = wdl_of(p, s1);
            int dtz = dtz_of(p, s2);
            ASSERT_TRUE(s1 && s2) << fen;
            // No 3- or 4-man result is spoilt by the fifty-move rule.
            ASSERT_NE(wdl, 1) << fen;
            ASSERT_NE(wdl, -1) << fen;
            if (wdl == 0) {
                ASSERT_EQ(dtz, 0) << fen;
                continue;
            }
            ASSERT_EQ(dtz > 0, wdl > 0) << fen;
            ASSERT_LE(std::abs(dtz), 100) << fen;
            bool failed = false;
            int best = dtz_by_moves(p, failed);
            ASSERT_FALSE(failed) << fen;
            // Values kept in moves rather than plies may read one high.
            ASSERT_GE(std::abs(dtz), std::abs(best) - 1) << fen;
            ASSERT_LE(std::abs(dtz), std::abs(best) + 1) << fen;
            explained++;
            long_wins += dtz > 20;
        }
    }
    EXPECT_GT(explained, 1000);
    EXPECT_GT(long_wins, 50);
}

TEST_F(TablebaseDtz, ShortMatesGiveExactDistances) {
    TestBoard b;
    int mate1 = 0, mate2 = 0, longer = 0;
    for (const char* name : {"KQvK", "KRvK", "KQvKN", "KRRvK"}) {
        Rng rng(std::hash<std::string>()(name));
        for (int i = 0; i < 300; i++) {
            std::string fen = random_fen(name, WHITE, i & 1, rng);
            if (i & 1) fen[fen.find(" w ") + 1] = 'b';  // the stronger side moves
            if (!b.set(fen.c_str())) continue;
            Position& p = b.pos();
            if (is_attacked(p, p.king_sq[p.side ^ 1], p.side)) continue;
            int s;
            int dtz = dtz_of(p, s);
            ASSERT_TRUE(s) << fen;
            if (dtz <= 0) continue;
            // A mate next move is the nearest zeroing there can be.
            if (mates_within(p, 1)) {
                ASSERT_EQ(dtz, 1) << fen;
                mate1++;
                continue;
            }
            // With a lone king against queen or rook the only captures give
            // the win away, so DTZ is the distance to mate; elsewhere a
            // sacrifice the defender must take may come sooner.
            if (std::string(name) != "KQvK" && std::string(name) != "KRvK") continue;
            if (mates_within(p, 2)) {
                ASSERT_EQ(dtz, 3) << fen;
                mate2++;
            } else {
                ASSERT_GT(dtz, 3) << fen;
                longer++;
            }
        }
    }
    EXPECT_GT(mate1, 0);
    EXPECT_GT(mate2, 0);
    EXPECT_GT(longer, 100);
}

TEST_F(TablebaseDtz, KnownValues) {
    TestBoard b;
    struct Case {
        const char* fen;
        int dtz;
    } cases[] = {
        {"7k/8/6K1/8/8/8/8/1Q6 w - - 0 1", 1},   // Qb8 mates
        {"8/8/8/8/8/8/4P3/K6k w - - 0 1", 1},    // a pawn move wins at once
        {"k7/8/8/8/8/8/8/KQ3r2 w - - 0 1", 1},   // Qxf1 wins
        {"k7/8/1QK5/8/8/8/8/8 b - - 0 1", 0},    // stalemate
        {"8/8/8/8/8/8/8/K5k1 w - - 0 1", 0},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(b.set(c.fen)) << c.fen;
        int s;
        EXPECT_EQ(dtz_of(b.pos(), s), c.dtz) << c.fen;
        EXPECT_NE(s, 0) << c.fen;
    }
    // The mated side reads -1.
    ASSERT_TRUE(b.set("1Q5k/8/6K1/8/8/8/8/8 b - - 0 1"));
    int s;
    EXPECT_EQ(dtz_of(b.pos(), s), -1);
}

// Playing the ranking's move for both sides from won positions reaches a
// zeroing move or mate no later than the DTZ said.
TEST_F(TablebaseDtz, RootRankingConvertsWithinTheDistance) {
    TestBoard b;
    int games = 0;
    for (const char* name : {"KQvK", "KRvK", "KBNvK", "KQvKR", "KPvK", "KRvKB", "KPvKP", "KQvKP"}) {
        Rng rng(std::hash<std::string>()(name) + 3);
        for (int g = 0; g < 12; g++) {
            std::string fen = random_fen(name, g & 1, (g >> 1) & 1, rng);
            ASSERT_TRUE(b.set(fen.c_str()));
            Position& p = b.pos();
            int s;
            int dtz = dtz_of(p, s);
            ASSERT_TRUE(s);
            if (dtz == 0) continue;
            int plies = 0;
            bool zeroed = false;
            while (!zeroed && plies <= 102) {
                uint32_t r = tb_probe_root(tb_position(p, p.fifty));
                if (r == TB_RESULT_MATE) {
                    zeroed = true;
                    break;
                }
                ASSERT_NE(r, TB_RESULT_FAILED) << fen << " after " << plies;
                ASSERT_NE(r, TB_RESULT_STALEMATE) << fen;
                // The chosen move must be one of our legal moves.
                Move chosen = ranking_move(p, r);
                ASSERT_NE(chosen, 0) << fen;
                bool z = zeroing(p, chosen) || tb_result_ep(r);
                make_move(p, chosen);
                plies++;
                if (z || (legal_moves(p).empty() && in_check(p))) zeroed = true;
            }
            ASSERT_TRUE(zeroed) << fen;
            // The winner's own zeroing move or mate ends the count.
            EXPECT_LE(plies, std::abs(dtz) + 1) << name << " " << fen;
            games++;
        }
    }
    EXPECT_GT(games, 40);
}

TEST_F(TablebaseDtz, RootRankingReportsMateStalemateAndClasses) {
    TestBoard b;
    ASSERT_TRUE(b.set("1Q5k/8/6K1/8/8/8/8/8 b - - 0 1"));
    EXPECT_EQ(tb_probe_root(tb_position(b.pos(), 0)), TB_RESULT_MATE);
    ASSERT_TRUE(b.set("k7/8/1QK5/8/8/8/8/8 b - - 0 1"));
    EXPECT_EQ(tb_probe_root(tb_position(b.pos(), 0)), TB_RESULT_STALEMATE);

    // Mate in one to play: the mating move, class win, distance 1.
    ASSERT_TRUE(b.set("7k/8/6K1/8/8/8/8/1Q6 w - - 0 1"));
    uint32_t r = tb_probe_root(tb_position(b.pos(), 0));
    EXPECT_EQ(tb_result_wdl(r), 4u);
    EXPECT_EQ(tb_result_dtz(r), 1);
    EXPECT_EQ(tb_result_to(r), sq("b8"));
    // The same win with the clock at 99 is still a win by mate next move.
    r = tb_probe_root(tb_position(b.pos(), 99));
    EXPECT_EQ(tb_result_wdl(r), 4u);
    // A long win with the clock near its end becomes a cursed win.
    ASSERT_TRUE(b.set("8/8/8/8/8/8/8/KBN4k w - - 0 1"));
    int s;
    int dtz = dtz_of(b.pos(), s);
    ASSERT_GT(dtz, 10);
    r = tb_probe_root(tb_position(b.pos(), 100 - dtz + 5));
    EXPECT_EQ(tb_result_wdl(r), 3u);
    r = tb_probe_root(tb_position(b.pos(), 0));
    EXPECT_EQ(tb_result_wdl(r), 4u);
    // Promotion: the pawn's promotion is picked and coded.
    ASSERT_TRUE(b.set("8/4P3/8/8/8/8/k7/6K1 w - - 0 1"));
    r = tb_probe_root(tb_position(b.pos(), 0));
    EXPECT_EQ(tb_result_from(r), sq("e7"));
    EXPECT_EQ(tb_result_to(r), sq("e8"));
    EXPECT_TRUE(tb_result_promo(r) == 1 || tb_result_promo(r) == 2) << tb_result_promo(r);
}

}  // namespace
