#include <gtest/gtest.h>
#include "../support/test_position.h"

TEST(Attacks, SlidersStopAtTheFirstBlocker) {
    init_engine_tables();
    Bitboard a = rook_attacks(sq("a1"), 0);
    EXPECT_EQ(popcount(a), 14);
    EXPECT_EQ(a, (0x0101010101010101ull | 0xFFull) & ~1ull);
    Bitboard blocked = rook_attacks(sq("a1"), bit(sq("a4")));
    EXPECT_TRUE(blocked & bit(sq("a4")));
    EXPECT_FALSE(blocked & bit(sq("a5")));
    Bitboard d = bishop_attacks(sq("d4"), bit(sq("f6")));
    EXPECT_TRUE(d & bit(sq("e5")));
    EXPECT_TRUE(d & bit(sq("f6")));
    EXPECT_FALSE(d & bit(sq("g7")));
    EXPECT_EQ(popcount(bishop_attacks(sq("d4"), 0)), 13);
}

TEST(Attacks, SlidersMatchAStepByStepWalk) {
    init_engine_tables();
    uint64_t x = 88172645463325252ull;
    for (int i = 0; i < 2000; i++) {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        Bitboard occ = x & (x >> 3);
        int s = i % 64;
        Bitboard rook = 0, bishop = 0;
        const int dirs[8][2] = {{0, 1}, {0, -1}, {1, 0}, {-1, 0}, {1, 1}, {-1, 1}, {1, -1}, {-1, -1}};
        for (int d = 0; d < 8; d++)
            for (int f = file_of(s) + dirs[d][0], r = rank_of(s) + dirs[d][1]; f >= 0 && f < 8 && r >= 0 && r < 8;
                 f += dirs[d][0], r += dirs[d][1]) {
                (d < 4 ? rook : bishop) |= bit(square_of(f, r));
                if (occ & bit(square_of(f, r))) break;
            }
        ASSERT_EQ(rook_attacks(s, occ), rook) << s;
        ASSERT_EQ(bishop_attacks(s, occ), bishop) << s;
    }
}

TEST(Attacks, BetweenAndLeapers) {
    init_engine_tables();
    EXPECT_EQ(popcount(between[sq("a1")][sq("h8")]), 6);
    EXPECT_TRUE(between[sq("a1")][sq("h8")] & bit(sq("b2")));
    EXPECT_TRUE(between[sq("a1")][sq("h8")] & bit(sq("g7")));
    EXPECT_EQ(between[sq("a1")][sq("b3")], 0u);
    EXPECT_EQ(between[sq("e4")][sq("e4")], 0u);
    EXPECT_EQ(between[sq("h1")][sq("a1")], 0x7Eull);
    EXPECT_EQ(pawn_attacks[WHITE][sq("h2")], bit(sq("g3")));
    EXPECT_EQ(pawn_attacks[BLACK][sq("a7")], bit(sq("b6")));
    EXPECT_EQ(pawn_attacks[WHITE][sq("e8")], 0u);
    EXPECT_EQ(popcount(knight_attacks[sq("a1")]), 2);
    EXPECT_EQ(popcount(knight_attacks[sq("d4")]), 8);
    EXPECT_EQ(popcount(king_attacks[sq("h8")]), 3);
}

TEST(Attacks, AttackedSquaresAndLeastAttacker) {
    TestBoard b("4k3/8/8/3p4/8/1B6/8/R3K2Q w - - 0 1");
    const Position& p = b.pos();
    EXPECT_TRUE(is_attacked(p, sq("a8"), WHITE));
    EXPECT_TRUE(is_attacked(p, sq("d5"), WHITE));   // bishop b3
    EXPECT_FALSE(is_attacked(p, sq("e6"), WHITE));  // the d5 pawn blocks the bishop
    EXPECT_TRUE(is_attacked(p, sq("e4"), BLACK));   // pawn d5
    EXPECT_FALSE(is_attacked(p, sq("d4"), BLACK));
    Bitboard occ = occupancy(p);
    EXPECT_EQ(least_attacker(p, sq("d5"), WHITE, occ), sq("b3"));
    EXPECT_EQ(least_attacker(p, sq("d5"), WHITE, occ & ~bit(sq("b3"))), sq("h1"));
    EXPECT_EQ(least_attacker(p, sq("f4"), BLACK, occ), NO_SQ);
    TestBoard pq("4k3/8/8/3p4/2P5/8/8/3QK3 w - - 0 1");
    EXPECT_EQ(least_attacker(pq.pos(), sq("d5"), WHITE, occupancy(pq.pos())), sq("c4"));
}
