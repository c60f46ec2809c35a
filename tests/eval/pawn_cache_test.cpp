// The pawn cache must give the same totals as a fresh computation, and
// must be bypassed at the first two plies.
#include <gtest/gtest.h>

#include <random>

#include "eval/pawns.h"
#include "eval_support.h"

namespace {

class PawnCache : public ::testing::Test {
protected:
    void SetUp() override { init_eval_tests(); }
};

TEST_F(PawnCache, CachedTotalsMatchRecomputation) {
    std::mt19937 rng(777);
    TestBoard b;
    EvalState& es = b.block->eval;
    int positions = 0;
    for (const std::string& fen : perft_fens()) {
        for (int g = 0; g < 3; g++) {
            ASSERT_TRUE(b.set(fen.c_str()));
            for (int i = 0; i < 80; i++) {
                int32_t fresh[2], cached[2];
                compute_pawn_structure(b.pos(), fresh);
                es.ply = 6;
                pawn_structure(b.pos(), es, cached);
                ASSERT_EQ(cached[0], fresh[0]) << b.fen();
                ASSERT_EQ(cached[1], fresh[1]) << b.fen();
                // And the whole score, served from the cache or not.
                int deep = hce_eval(b.block->pos, b.block->eval);
                es.ply = 0;
                ASSERT_EQ(hce_eval(b.block->pos, b.block->eval), deep) << b.fen();
                positions++;
                std::vector<Move> moves = b.legal_moves();
                if (moves.empty()) break;
                make_move(b.pos(), moves[rng() % moves.size()]);
            }
        }
    }
    EXPECT_GT(positions, 10000);
    EXPECT_GT(es.pawn_hits, 0u);
    EXPECT_LT(es.pawn_hits, es.pawn_probes);
}

TEST_F(PawnCache, KingHalvesChangeTheKey) {
    TestBoard a("4k3/pp6/8/8/8/8/PP6/4K3 w - - 0 1"), c("4k3/pp6/8/8/8/8/PP6/3K4 w - - 0 1"),
        d("3k4/pp6/8/8/8/8/PP6/4K3 w - - 0 1");
    EXPECT_EQ(a.pos().pawn_key, c.pos().pawn_key);
    EXPECT_NE(pawn_cache_key(a.pos()), pawn_cache_key(c.pos()));
    EXPECT_NE(pawn_cache_key(a.pos()), pawn_cache_key(d.pos()));
    EXPECT_NE(pawn_cache_key(c.pos()), pawn_cache_key(d.pos()));
    // Kings on different halves read the other pawn table.
    int32_t same[2], split[2];
    compute_pawn_structure(a.pos(), same);
    compute_pawn_structure(d.pos(), split);
    EXPECT_NE(same[WHITE], split[WHITE]);
}

TEST_F(PawnCache, EarlyPliesRecomputeEvenWhenCached) {
    TestBoard b("4k3/pp6/8/8/8/8/PP6/4K3 w - - 0 1");
    EvalState& es = b.block->eval;
    int32_t real[2], got[2];
    es.ply = 0;
    pawn_structure(b.pos(), es, real);
    PawnCacheEntry& e = es.pawn_cache[pawn_cache_key(b.pos()) % PAWN_CACHE_SIZE];
    ASSERT_EQ(e.key, pawn_cache_key(b.pos()));
    e.total[0] = 5555;  // a value only a cache hit can produce
    uint64_t hits = es.pawn_hits;
    es.ply = 2;
    pawn_structure(b.pos(), es, got);
    EXPECT_EQ(got[0], 5555);
    EXPECT_EQ(es.pawn_hits, hits + 1);
    for (int ply : {0, 1}) {
        e.total[0] = 5555;
        es.ply = ply;
        pawn_structure(b.pos(), es, got);
        EXPECT_EQ(got[0], real[0]) << ply;
        EXPECT_EQ(e.total[0], real[0]) << ply;  // the entry is replaced
    }
    EXPECT_EQ(es.pawn_hits, hits + 1);
}

}  // namespace
