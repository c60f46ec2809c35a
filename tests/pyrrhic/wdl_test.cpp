// WDL values of every shared 3- and 4-man table, checked against the
// values of the positions one move later: a position's value is the best
// over its legal moves of the negated value after the move, with mate and
// stalemate as the leaves. Positions are drawn at random for both sides to
// move and both colours as the stronger side.
#include <gtest/gtest.h>
#include "position/notation.h"
#include "../support/board_text.h"
#include "tb_support.h"

namespace {

class TablebaseWdl : public ::testing::Test {
protected:
    static void SetUpTestSuite() { use_shared_tables(); }
    // Other suites search without tablebases.
    static void TearDownTestSuite() { tb_free(); }
};

TEST_F(TablebaseWdl, SharedDirectoryHoldsEveryThreeAndFourManTable) {
    EXPECT_EQ(tb_largest, 4);
    EXPECT_EQ(tb_num_wdl, 35);
    EXPECT_EQ(tb_num_dtz, 35);
    EXPECT_EQ(shared_table_names().size(), 35u);
}

TEST_F(TablebaseWdl, EveryTableAgreesWithItsSuccessors) {
    TestBoard b;
    int checked = 0;
    for (const std::string& name : shared_table_names()) {
        Rng rng(std::hash<std::string>()(name));
        int wins = 0, draws = 0, losses = 0;
        for (int i = 0; i < 240; i++) {
            std::string fen = random_fen(name, i & 1, (i >> 1) & 1, rng);
            ASSERT_TRUE(b.set(fen.c_str()));
            int s;
            int v = wdl_of(b.pos(), s);
            ASSERT_NE(s, 0) << fen;
            bool failed = false;
            int expected = wdl_by_moves(b.pos(), failed);
            ASSERT_FALSE(failed) << fen;
            ASSERT_EQ(v, expected) << name << " " << fen;
            wins += v > 0;
            draws += v == 0;
            losses += v < 0;
            checked++;
        }
        // A draw-only table shows nothing about the decoding of wins.
        if (name == "KQvK" || name == "KRvK" || name == "KQvKR" || name == "KBNvK") {
            EXPECT_GT(wins + losses, 100) << name;
        }
        (void)draws;
    }
    EXPECT_EQ(checked, 35 * 240);
}

TEST_F(TablebaseWdl, KnownPositions) {
    TestBoard b;
    struct Case {
        const char* fen;
        int wdl;
    } cases[] = {
        {"8/8/8/8/8/8/8/K5k1 w - - 0 1", 0},            // kings only, no file needed
        {"7k/8/6K1/8/8/8/8/1Q6 w - - 0 1", 2},          // mate in one to play
        {"7k/8/6K1/8/8/8/8/1Q6 b - - 0 1", -2},
        {"k7/8/1QK5/8/8/8/8/8 b - - 0 1", 0},           // stalemated
        {"8/8/8/8/8/2k5/1q6/K7 w - - 0 1", -2},         // mated by a protected queen
        {"8/8/8/8/8/3k4/1q6/K7 w - - 0 1", 0},          // the king takes the queen
        {"1k6/8/8/8/8/8/8/KQ4r1 b - - 0 1", 0},         // rook takes queen, king takes rook
        {"8/8/8/8/8/8/8/KNN4k w - - 0 1", 0},
        {"8/8/8/8/8/8/4P3/K6k w - - 0 1", 2},
        {"8/8/8/8/8/8/4p3/K6k b - - 0 1", 2},           // black as the stronger side
        {"4k3/8/4K3/4P3/8/8/8/8 b - - 0 1", -2},        // king on the sixth ahead of the pawn
        {"4k3/8/8/4K3/4P3/8/8/8 w - - 0 1", 2},
        {"4k3/8/8/4K3/4P3/8/8/8 b - - 0 1", 0},         // opposition: black holds
        {"4k3/8/4K3/4P3/8/8/8/8 w - - 0 1", 2},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(b.set(c.fen)) << c.fen;
        int s;
        EXPECT_EQ(wdl_of(b.pos(), s), c.wdl) << c.fen;
        EXPECT_NE(s, 0) << c.fen;
    }
}

// En passant: the probe must count the capture that only the en-passant
// square allows, including when it is the only legal move.
TEST_F(TablebaseWdl, EnPassantCapturesCount) {
    TestBoard b;
    Rng rng(7);
    int with_ep = 0, ep_decides = 0;
    for (int i = 0; i < 3000 && with_ep < 400; i++) {
        // White pawn on e5/d5 etc.; a black pawn that just moved two squares beside it.
        int file = 1 + rng.below(6);
        int side = rng.below(2);
        int wk = rng.below(64), bk = rng.below(64);
        std::string board(64, '.');
        int capturer, pusher, ep;
        if (side == WHITE) {  // black pushed, white to capture
            pusher = 4 * 8 + file;
            capturer = 4 * 8 + file + (rng.below(2) ? 1 : -1);
            ep = 5 * 8 + file;
        } else {
            pusher = 3 * 8 + file;
            capturer = 3 * 8 + file + (rng.below(2) ? 1 : -1);
            ep = 2 * 8 + file;
        }
        if (file_of(capturer) < 0 || file_of(capturer) > 7) continue;
        if (wk == bk || wk == pusher || wk == capturer || bk == pusher || bk == capturer) continue;
        if (wk == ep || bk == ep) continue;
        // The squares the pusher passed over must be empty.
        int from = side == WHITE ? pusher + 16 : pusher - 16;
        if (wk == from || bk == from) continue;
        board[wk] = 'K';
        board[bk] = 'k';
        board[pusher] = side == WHITE ? 'p' : 'P';
        board[capturer] = side == WHITE ? 'P' : 'p';
        std::string fen = placement_fen(board.c_str(), '.');
        fen += side == WHITE ? " w - " : " b - ";
        fen += square_names[ep];
        fen += " 0 1";
        if (!b.set(fen.c_str())) continue;
        Position& p = b.pos();
        if (p.ep_square != ep) continue;
        if (king_attacks[p.king_sq[0]] & bit(p.king_sq[1])) continue;
        if (is_attacked(p, p.king_sq[p.side ^ 1], p.side)) continue;
        int s;
        int v = wdl_of(p, s);
        ASSERT_NE(s, 0) << fen;
        bool failed = false;
        int expected = wdl_by_moves(p, failed);
        ASSERT_FALSE(failed) << fen;
        ASSERT_EQ(v, expected) << fen;
        with_ep++;
        // Same board without the en-passant right.
        std::string plain = fen.substr(0, fen.find(" - ") + 3) + "- 0 1";
        ASSERT_TRUE(b.set(plain.c_str()));
        int s2;
        if (wdl_of(b.pos(), s2) != v) ep_decides++;
    }
    EXPECT_GE(with_ep, 300);
    EXPECT_GT(ep_decides, 0);  // some positions change value with the en-passant right
}

}  // namespace
