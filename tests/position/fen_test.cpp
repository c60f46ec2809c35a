// FEN set-up, castling fields in all three dialects, and refusal of
// positions that cannot be played on.
#include <gtest/gtest.h>
#include <random>
#include "../support/test_position.h"

TEST(Fen, StartPositionFields) {
    TestBoard b(start_fen);
    const Position& p = b.pos();
    EXPECT_EQ(p.castle, 15);
    EXPECT_EQ(p.castle_rook[0], 7);
    EXPECT_EQ(p.castle_rook[1], 0);
    EXPECT_EQ(p.castle_rook[2], 63);
    EXPECT_EQ(p.castle_rook[3], 56);
    EXPECT_EQ(p.castle_path[0], bit(sq("f1")) | bit(sq("g1")));
    EXPECT_EQ(p.castle_path[1], bit(sq("b1")) | bit(sq("c1")) | bit(sq("d1")));
    EXPECT_EQ(p.castle_mask[0], bit(sq("e1")) | bit(sq("h1")));
    EXPECT_EQ(p.fifty, 0);
    EXPECT_EQ(p.ep_square, NO_SQ);
    EXPECT_EQ(p.counts[WHITE], 8 + 2 * 16 + 2 * 256 + 2 * 4096 + 65536);
    EXPECT_EQ(p.counts[BLACK], p.counts[WHITE]);
    EXPECT_EQ(b.fen(), start_fen);
    EXPECT_EQ(position_problem(p), "");
}

TEST(Fen, CountersAreClockAndPliesSinceSetUp) {
    TestBoard b("4k3/8/8/8/8/8/8/4K2R w K - 12 40");
    EXPECT_EQ(b.fen(true), "4k3/8/8/8/8/8/8/4K2R w K - 12 0");
    make_move(b.pos(), make_move_value(sq("h1"), sq("h2")));
    EXPECT_EQ(b.fen(true), "4k3/8/8/8/8/8/7R/4K3 b - - 13 1");
}

TEST(Fen, CastlingDialects) {
    // Shredder-FEN file letters and plain letters give the same rights.
    for (const char* fen : {"4k3/8/8/8/8/8/8/RK5R w HA - 0 1", "4k3/8/8/8/8/8/8/RK5R w KQ - 0 1"}) {
        TestBoard b(fen);
        EXPECT_EQ(b.pos().castle, CASTLE_WK | CASTLE_WQ) << fen;
        EXPECT_EQ(b.pos().castle_rook[0], sq("h1"));
        EXPECT_EQ(b.pos().castle_rook[1], sq("a1"));
    }
    // A letter for a king off its back rank is ignored.
    TestBoard off("4k3/8/8/8/8/8/4K3/R6R w KQ - 0 1");
    EXPECT_EQ(off.pos().castle, 0);
    // With two rooks on one side a plain letter means the outer rook, a
    // file letter the rook it names.
    TestBoard outer("4k3/8/8/8/8/8/8/4KR1R w K - 0 1");
    EXPECT_EQ(outer.pos().castle, CASTLE_WK);
    EXPECT_EQ(outer.pos().castle_rook[0], sq("h1"));
    TestBoard named("4k3/8/8/8/8/8/8/4KR1R w F - 0 1");
    EXPECT_EQ(named.pos().castle_rook[0], sq("f1"));
    // No rook on that side: no right.
    TestBoard none("4k3/8/8/8/8/8/8/R3K3 w K - 0 1");
    EXPECT_EQ(none.pos().castle, 0);
    TestBoard kq("r3k2r/8/8/8/8/8/8/R3K2R b Kq - 0 1");
    EXPECT_EQ(kq.fen(), "r3k2r/8/8/8/8/8/8/R3K2R b Kq -");
}

TEST(Fen, EnPassantFieldKeptOnlyWhenCapturable) {
    TestBoard yes("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
    EXPECT_EQ(yes.pos().ep_square, sq("d6"));
    TestBoard no_capturer("4k3/8/8/3p4/8/8/8/4K3 w - d6 0 1");
    EXPECT_EQ(no_capturer.pos().ep_square, NO_SQ);
    TestBoard wrong_rank("4k3/8/8/8/3pP3/8/8/4K3 w - d5 0 1");
    EXPECT_EQ(wrong_rank.pos().ep_square, NO_SQ);
    TestBoard no_victim("4k3/8/8/4P3/8/8/8/4K3 w - d6 0 1");
    EXPECT_EQ(no_victim.pos().ep_square, NO_SQ);
    EXPECT_EQ(position_problem(no_victim.pos()), "");
}

TEST(Fen, RefusesUnplayablePositions) {
    TestBoard b;
    EXPECT_FALSE(b.set("8/8/8/8/8/8/8/4K3 w - - 0 1"));                   // no black king
    EXPECT_FALSE(b.set("4k3/8/8/8/8/8/8/8 w - - 0 1"));                   // no white king
    EXPECT_FALSE(b.set("8/8/8/8/8/8/3k4/4K3 w - - 0 1"));                 // kings touch
    EXPECT_FALSE(b.set("4k2R/8/8/8/8/8/8/4K3 w - - 0 1"));                // side to move can take the king
    EXPECT_FALSE(b.set("4k3/8/8/8/8/8/8/4K3p w - - 0 1"));                // over-long rank
    EXPECT_FALSE(b.set("4k3/8/8/8/8/8/8/8/4K3 w - - 0 1"));               // nine ranks
    EXPECT_FALSE(b.set("4k3/8/8/8/8/8/8/4K2P w - - 0 1"));                // pawn on the first rank
    EXPECT_FALSE(b.set("4kk2/8/8/8/8/8/8/4K3 w - - 0 1"));                // two black kings
    EXPECT_FALSE(b.set("qqqqkqqq/qqqqqqqq/qqqqqqqq/8/8/8/8/4K3 w - - 0 1"));  // 23 black men
    EXPECT_FALSE(b.set(""));
    // Malformed ranks would put pieces on squares nobody meant.
    EXPECT_FALSE(b.set("rnbqkbnr/ppppXppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"));  // not a piece
    EXPECT_FALSE(b.set("rnbqkbnr/ppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"));   // short rank
    EXPECT_FALSE(b.set("4k3/8/8/8/8/8/4K3 w - - 0 1"));                              // seven ranks
    EXPECT_FALSE(b.set("4k3/8/8/8/8/8/8/4K2 w - - 0 1"));                            // short last rank
    EXPECT_TRUE(b.set("4k3/8/8/8/8/8/8/4K3 w - - 300 1"));
    EXPECT_EQ(b.pos().fifty, 255);  // absurd clocks are capped, not wrapped
    EXPECT_TRUE(b.set("4k3/8/8/8/8/8/8/4K3"));  // missing fields
    EXPECT_EQ(position_problem(b.pos()), "");
}

TEST(Fen, RandomGarbageNeverBreaksTheBoard) {
    std::mt19937 rng(99);
    const char alphabet[] = "pnbrqkPNBRQK12345678/ wb-KQkqA-Ha1h8x09";
    TestBoard b;
    int accepted = 0;
    for (int i = 0; i < 20000; i++) {
        std::string s;
        int n = rng() % 90;
        for (int j = 0; j < n; j++) s += alphabet[rng() % (sizeof alphabet - 1)];
        if (i % 3 == 0) s = "4k3/8/8/8/8/8/8/4K3 " + s;
        if (b.set(s.c_str())) {
            accepted++;
            ASSERT_EQ(position_problem(b.pos()), "") << s;
            ASSERT_FALSE(is_attacked(b.pos(), b.pos().king_sq[b.pos().side ^ 1], b.pos().side)) << s;
            // Any accepted position must survive a round of legal moves.
            for (Move m : b.legal_moves()) {
                make_move(b.pos(), m);
                ASSERT_EQ(position_problem(b.pos()), "") << s;
                unmake_move(b.pos());
            }
        }
    }
    EXPECT_GT(accepted, 100);
}
