// Transposition table: sizing, replacement, ages, score conversion and the
// validation of stored moves.
#include <gtest/gtest.h>
#include "../support/test_position.h"
#include "search/hash.h"
#include "shell/settings.h"

namespace {

struct HashSetup {
    int32_t mb;
    float noise;
    explicit HashSetup(int size) : mb(settings.hash_mb), noise(output_mode.noise) {
        settings.hash_mb = size;
        output_mode.noise = SILENT_NOISE;
        EXPECT_EQ(allocate_hash(size, false), 1);
        reset_hash_age();
    }
    ~HashSetup() {
        settings.hash_mb = mb;
        allocate_hash(mb, false);
        output_mode.noise = noise;
    }
};

const Move E2E4 = make_move_value(12, 28);

}  // namespace

TEST(Hash, ZeroMegabytesMeansNoTable) {
    HashSetup h(0);
    TestBoard b(start_fen);
    EXPECT_FALSE(hash_in_use());
    store(b.pos(), 0, 5, E2E4, 10, 20, BOUND_EXACT);
    HashHit hit;
    EXPECT_EQ(probe(b.pos(), hit), 0);
    update_hashfull();
    EXPECT_EQ(hashfull_fraction(), 0.0f);
}

TEST(Hash, SizingOfThreeMegabytes) {
    HashSetup h(3);
    EXPECT_EQ(hash_entry_count(), 3u * 65536);
    EXPECT_EQ(hash_index_mask(), 65535u);
}

TEST(Hash, StoreAndProbeBothSides) {
    HashSetup h(1);
    TestBoard w(start_fen);
    store(w.pos(), 0, 7, E2E4, 15, 33, BOUND_LOWER);
    HashHit hit;
    ASSERT_EQ(probe(w.pos(), hit), 1);
    EXPECT_EQ(hit.move, E2E4);
    EXPECT_EQ(hit.eval, 15);
    EXPECT_EQ(hit.score, 33);
    EXPECT_EQ(hit.depth, 7);
    EXPECT_EQ(hit.bound, BOUND_LOWER);
    // Same key with the other side to move lives in the other half.
    TestBoard bl("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq -");
    EXPECT_EQ(bl.pos().key, w.pos().key);
    EXPECT_EQ(probe(bl.pos(), hit), 0);
}

TEST(Hash, MateScoresAndShrinking) {
    HashSetup h(1);
    TestBoard b(start_fen);
    store(b.pos(), 5, 3, E2E4, 0, -9800, BOUND_EXACT);
    HashHit hit;
    ASSERT_EQ(probe(b.pos(), hit), 1);
    EXPECT_EQ(hit.score, -9805);
    EXPECT_EQ(score_from_hash(hit.score, hit.depth, 3, 2), -9803);
    EXPECT_EQ(score_from_hash(400, 12, 8, 3), 394);
    EXPECT_EQ(score_from_hash(-400, 12, 8, 3), -394);
    EXPECT_EQ(score_from_hash(400, 8, 12, 3), 400);
    EXPECT_EQ(score_from_hash(9805, 1, 1, 5), 9800);
}

TEST(Hash, AgesLowerTheDepthOfOldEntries) {
    HashSetup h(1);
    TestBoard b(start_fen);
    store(b.pos(), 0, 10, E2E4, 0, 50, BOUND_EXACT);
    new_search_age();
    HashHit hit;
    ASSERT_EQ(probe(b.pos(), hit), 1);
    EXPECT_EQ(hit.depth, 8);
    // The entry now carries the current age: no further loss.
    ASSERT_EQ(probe(b.pos(), hit), 1);
    EXPECT_EQ(hit.depth, 8);
}

TEST(Hash, ReplacementKeepsDeeperEntries) {
    HashSetup h(1);
    TestBoard b(start_fen);
    const Move D2D4 = make_move_value(11, 27);
    store(b.pos(), 0, 9, E2E4, 0, 50, BOUND_EXACT);
    store(b.pos(), 0, 6, D2D4, 0, 60, BOUND_EXACT);
    HashHit hit;
    ASSERT_EQ(probe(b.pos(), hit), 1);
    EXPECT_EQ(hit.move, E2E4);
    store(b.pos(), 0, 7, D2D4, 0, 60, BOUND_EXACT);
    ASSERT_EQ(probe(b.pos(), hit), 1);
    EXPECT_EQ(hit.move, D2D4);
    EXPECT_EQ(hit.depth, 7);
    // A zero move is never stored.
    store(b.pos(), 0, 20, 0, 0, 70, BOUND_EXACT);
    ASSERT_EQ(probe(b.pos(), hit), 1);
    EXPECT_EQ(hit.move, D2D4);
}

TEST(Hash, StoredMovesAreValidated) {
    TestBoard b("r3k2r/pP6/8/3pP3/8/8/8/R3K2R w KQkq d6 0 1");
    const Position& p = b.pos();
    auto mv = [](const char* f, const char* t, Move flags = 0) { return make_move_value(sq(f), sq(t), flags); };
    EXPECT_EQ(hash_move_problem(p, mv("e5", "d6")), 0);          // en passant
    EXPECT_EQ(hash_move_problem(p, mv("b7", "a8", PROMO_N)), 0);  // capture promotion
    EXPECT_EQ(hash_move_problem(p, mv("e1", "g1", FLAG_KS)), 0);
    EXPECT_EQ(hash_move_problem(p, mv("e1", "e1")), 1);
    EXPECT_EQ(hash_move_problem(p, mv("c3", "c4")), 2);
    EXPECT_EQ(hash_move_problem(p, mv("a8", "a7")), 3);
    EXPECT_EQ(hash_move_problem(p, mv("a1", "e1")), 2);  // own king on the destination
    EXPECT_EQ(hash_move_problem(p, mv("a1", "h1")), 4);
    EXPECT_EQ(hash_move_problem(p, mv("a1", "b1", PROMO_Q)), 6);
    EXPECT_EQ(hash_move_problem(p, mv("e5", "e4")), 7);
    EXPECT_EQ(hash_move_problem(p, mv("b7", "b8")), 7);  // promotion without a piece
    EXPECT_EQ(hash_move_problem(p, mv("a1", "b2")), 10);
    EXPECT_EQ(hash_move_problem(p, mv("e1", "e3")), 12);
    TestBoard pin("4k3/4r3/8/8/8/8/4B3/4K3 w - - 0 1");
    EXPECT_EQ(hash_move_problem(pin.pos(), mv("e2", "d3")), 14);
    TestBoard n("4k3/8/8/8/8/8/8/1N2K3 w - - 0 1");
    EXPECT_EQ(hash_move_problem(n.pos(), mv("b1", "b3")), 8);
    TestBoard bq("4k3/8/8/8/8/8/1P6/B2QK3 w - - 0 1");
    EXPECT_EQ(hash_move_problem(bq.pos(), mv("a1", "c3")), 9);
    EXPECT_EQ(hash_move_problem(bq.pos(), mv("d1", "f2")), 11);
}

TEST(Hash, ChessNineSixtyCastlesWhereTheKingStaysAreValid) {
    auto mv = [](const char* f, const char* t, Move flags = 0) { return make_move_value(sq(f), sq(t), flags); };
    // King on g1 beside its rook on h1, on c1 beside its rook on a1 ... b1.
    TestBoard b("1r4kr/8/8/8/8/8/8/1R4KR w HBhb - 0 1");
    EXPECT_EQ(hash_move_problem(b.pos(), mv("g1", "g1", FLAG_KS)), 0);
    EXPECT_EQ(hash_move_problem(b.pos(), mv("g1", "c1", FLAG_QS)), 0);
    EXPECT_EQ(hash_move_problem(b.pos(), mv("g1", "g1")), 1);            // no castling flag
    EXPECT_EQ(hash_move_problem(b.pos(), mv("g1", "g1", FLAG_QS)), 12);  // the other side
    TestBoard black("1r4kr/8/8/8/8/8/8/1R4KR b HBhb - 0 1");
    EXPECT_EQ(hash_move_problem(black.pos(), mv("g8", "g8", FLAG_KS)), 0);
    // Without the right the same move is refused.
    TestBoard gone("1r4kr/8/8/8/8/8/8/1R4KR w Bhb - 0 1");
    EXPECT_EQ(hash_move_problem(gone.pos(), mv("g1", "g1", FLAG_KS)), 12);
    // Every castle the generator makes passes, in every such position.
    for (const char* fen : {"1r4kr/8/8/8/8/8/8/1R4KR w HBhb - 0 1", "rk5r/8/8/8/8/8/8/RK5R w HAha - 0 1",
                            "r1k4r/8/8/8/8/8/8/R1K4R b HAha - 0 1"}) {
        TestBoard t(fen);
        int castles = 0;
        for (Move m : t.legal_moves()) {
            if (!((m & FLAG_MASK) && piece_type(t.pos().board[move_from(m)]) == KING)) continue;
            castles++;
            EXPECT_EQ(hash_move_problem(t.pos(), m), 0) << fen << " " << square_names[move_from(m)];
        }
        EXPECT_EQ(castles, 2) << fen;
    }
}
