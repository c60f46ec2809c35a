// The hand-crafted evaluation: hand-computed terms read from the trace,
// the drawish-material scale factors and colour symmetry.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "eval/bitmasks.h"
#include "eval_support.h"

namespace {

class Hce : public ::testing::Test {
protected:
    TestBoard board;
    void SetUp() override { init_eval_tests(); }

    int eval_fen(const char* fen, int ply = 0) {
        EXPECT_TRUE(board.set(fen)) << fen;
        board.block->eval.ply = ply;
        return hce_eval(board.block->pos, board.block->eval);
    }
    // Evaluates with the trace on and returns the score.
    int trace_fen(const char* fen) {
        board.block->eval.trace = 1;
        int s = eval_fen(fen);
        board.block->eval.trace = 0;
        return s;
    }
    int32_t group(int g, int side) { return board.block->eval.trace_terms[g][side]; }

    // The blended score before any scale factor, rebuilt from the trace.
    int unscaled() {
        const Position& p = board.pos();
        int units = 0;
        for (int c = 0; c < 2; c++)
            units += piece_count(p, c, PAWN) + 3 * (piece_count(p, c, KNIGHT) + piece_count(p, c, BISHOP)) +
                     5 * piece_count(p, c, ROOK) + 9 * piece_count(p, c, QUEEN);
        double phase = 0.014 * units;
        if (phase > 1) phase = 1;
        int32_t v = 0;
        for (int g = 0; g < TRACE_GROUPS; g++) v += group(g, p.side) - group(g, p.side ^ 1);
        return int(mg_of(v) * phase + (1 - phase) * eg_of(v));
    }
};

TEST_F(Hce, StartPositionIsTheMoveBonus) {
    EXPECT_EQ(trace_fen(start_fen), 31);
    EXPECT_EQ(board.block->eval.phase, 1.0f);
    for (int g = 0; g < TRACE_SPECIAL; g++) EXPECT_EQ(group(g, WHITE), group(g, BLACK)) << g;
    EXPECT_EQ(group(TRACE_SPECIAL, WHITE), make_packed(31, 17));
    EXPECT_EQ(group(TRACE_SPECIAL, BLACK), 0);
    EXPECT_EQ(eval_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1"), 31);
}

TEST_F(Hce, PhaseFollowsMaterial) {
    trace_fen("4k3/8/8/8/8/8/P7/R3K3 w - - 0 1");
    EXPECT_FLOAT_EQ(board.block->eval.phase, float(0.014 * 6));
}

TEST_F(Hce, KnightTermsAndOrientation) {
    // Corner knight: two free squares (factor 0), no outpost.
    trace_fen("4k3/8/8/8/8/8/8/N3K3 w - - 0 1");
    EXPECT_EQ(group(TRACE_KNIGHTS, WHITE), make_packed(370 - 36, 295 - 11));
    // With the king on the queen side the table is read mirrored: a1 as h1.
    trace_fen("4k3/8/8/8/8/8/8/N2K4 w - - 0 1");
    EXPECT_EQ(group(TRACE_KNIGHTS, WHITE), make_packed(370 - 22, 295 - 8));
    // Centre knight: eight squares (0.47), an undefended outpost (0.67).
    trace_fen("4k3/8/8/8/3N4/8/8/4K3 w - - 0 1");
    EXPECT_EQ(group(TRACE_KNIGHTS, WHITE), make_packed(370 + 14 + 30 + 22, 295 + 16 + 16 + 21));
    // The same for Black, ranks mirrored.
    trace_fen("4k3/8/8/3n4/8/8/8/4K3 b - - 0 1");
    EXPECT_EQ(group(TRACE_KNIGHTS, BLACK), make_packed(370 + 14 + 30 + 22, 295 + 16 + 16 + 21));
    EXPECT_EQ(group(TRACE_KNIGHTS, WHITE), 0);
}

TEST_F(Hce, PawnStructureTerms) {
    // Doubled isolated a-pawns, the rear one blocked.
    trace_fen("4k3/8/8/8/8/P7/P7/4K3 w - - 0 1");
    EXPECT_EQ(group(TRACE_PAWNS, WHITE),
              make_packed(200 - 34 - 32 - 30 + 2 - 8, 200 - 12 - 8 + 0 - 15 - 6));
    // b2 guards c3 (defended pawn) but has no support itself (weak pawn).
    trace_fen("4k3/8/8/8/8/2P5/1P6/4K3 w - - 0 1");
    EXPECT_EQ(group(TRACE_PAWNS, WHITE), make_packed(200 - 37 - 28 + 8 - 12, 200 - 11 - 7 + 2 + 14));
    EXPECT_EQ(group(TRACE_PAWNS, BLACK), 0);
}

TEST_F(Hce, KingToPawnDistance) {
    trace_fen("4k3/8/8/8/8/8/P7/7K w - - 0 1");
    // h1: six rings to reach the a-file span; e8: three rings (0.6).
    EXPECT_EQ(group(TRACE_KING, WHITE), make_packed(-9 - 23, -57 - 61));
    EXPECT_EQ(group(TRACE_KING, BLACK), make_packed(-21 - 13, -47 - 36));
}

TEST_F(Hce, PinnedAndAttackedKnight) {
    trace_fen("4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1");
    EXPECT_EQ(group(TRACE_THREATS, WHITE), make_packed(-8 - 44, -25 - 64));
    EXPECT_EQ(group(TRACE_THREATS, BLACK), 0);
    EXPECT_EQ(board.block->eval.trace_hung, 0u);
}

TEST_F(Hce, HungPiecesAndFreePassersAreTraced) {
    trace_fen("4k3/8/8/3p4/4N3/8/8/4K3 w - - 0 1");
    EXPECT_EQ(board.block->eval.trace_hung, bit(sq("e4")));
    trace_fen("4k3/8/8/8/8/8/P7/4K3 w - - 0 1");
    EXPECT_EQ(board.block->eval.trace_free_passers, bit(sq("a2")));
    // A rook in front: the push loses the pawn and the span is held by Black.
    trace_fen("r3k3/8/8/8/8/8/P7/4K3 w - - 0 1");
    EXPECT_EQ(board.block->eval.trace_free_passers, 0u);
}

TEST_F(Hce, TraceIsOnlyWrittenOnRequest) {
    trace_fen("4k3/8/8/3p4/4N3/8/8/4K3 w - - 0 1");
    Bitboard hung = board.block->eval.trace_hung;
    eval_fen(start_fen);
    EXPECT_EQ(board.block->eval.trace_hung, hung);
}

TEST_F(Hce, WrongRookPawn) {
    // Dark bishop, a-pawn, defending king in the light a8 corner.
    int s = trace_fen("k7/8/8/8/8/8/P7/2B1K3 w - - 0 1");
    ASSERT_GT(unscaled(), 0);
    EXPECT_EQ(s, int(unscaled() * 0.05));
    // The defending king away from the corner: no scaling.
    s = trace_fen("3k4/8/8/8/8/8/P7/2B1K3 w - - 0 1");
    EXPECT_EQ(s, unscaled());
    // A bishop that controls the corner.
    s = trace_fen("k7/8/8/8/8/8/P7/1B2K3 w - - 0 1");
    EXPECT_EQ(s, unscaled());
    // Black: h-pawn, dark bishop (f8), the defending king on the light h1.
    s = trace_fen("4k1b1/7p/8/8/8/8/8/7K b - - 0 1");  // light bishop (g8) holds h1
    EXPECT_EQ(s, unscaled());
    s = trace_fen("4kb2/7p/8/8/8/8/8/7K b - - 0 1");
    ASSERT_GT(unscaled(), 0);
    EXPECT_EQ(s, int(unscaled() * 0.05));
}

TEST_F(Hce, OppositeBishopsAndLoneExtraPawn) {
    int s = trace_fen("4k3/4b3/8/8/8/8/4P3/4KB2 w - - 0 1");
    ASSERT_GT(unscaled(), 0);
    EXPECT_EQ(s, int(unscaled() * (0.5 * 0.75)));
}

TEST_F(Hce, StrongerSideWithoutPawns) {
    int s = trace_fen("4kb2/8/8/8/8/8/8/R3K3 w - - 0 1");
    ASSERT_GT(unscaled(), 0);
    EXPECT_EQ(s, int(unscaled() * 0.65));
    // From the other side the stronger side is still White.
    s = trace_fen("4kb2/8/8/8/8/8/8/R3K3 b - - 0 1");
    ASSERT_LT(unscaled(), 0);
    EXPECT_EQ(s, int(unscaled() * 0.65));
}

// Random games from the perft positions, each position checked by f.
template <typename F>
void for_playout_positions(int games, int plies, F f) {
    std::mt19937 rng(12345);
    for (const std::string& fen : perft_fens()) {
        TestBoard b;
        for (int g = 0; g < games; g++) {
            ASSERT_TRUE(b.set(fen.c_str())) << fen;
            for (int i = 0; i < plies; i++) {
                f(b);
                std::vector<Move> moves = b.legal_moves();
                if (moves.empty()) break;
                make_move(b.pos(), moves[rng() % moves.size()]);
            }
        }
    }
}

TEST_F(Hce, ColourMirrorGivesTheSameScore) {
    TestBoard mirror;
    int checked = 0;
    for_playout_positions(4, 100, [&](TestBoard& b) {
        // The pin test aims at the lowest-numbered queen, which is not a
        // mirrored choice once a side has two queens.
        if (piece_count(b.pos(), WHITE, QUEEN) > 1 || piece_count(b.pos(), BLACK, QUEEN) > 1) return;
        std::string fen = b.fen(true);
        std::string flipped = mirror_fen(fen);
        ASSERT_TRUE(mirror.set(flipped.c_str())) << flipped;
        b.block->eval.ply = mirror.block->eval.ply = 0;
        int s1 = hce_eval(b.block->pos, b.block->eval), s2 = hce_eval(mirror.block->pos, mirror.block->eval);
        ASSERT_EQ(s1, s2) << fen << "  vs  " << flipped;
        ASSERT_EQ(b.block->eval.phase, mirror.block->eval.phase);
        if (!in_check(b.pos())) {
            int e1 = evaluate(b.block->pos, b.block->eval, b.pos().side, 0, 0);
            int e2 = evaluate(mirror.block->pos, mirror.block->eval, mirror.pos().side, 0, 0);
            ASSERT_EQ(e1, e2) << fen;
        }
        checked++;
    });
    EXPECT_GT(checked, 20000);
}

TEST_F(Hce, TraceGroupsAddUpToTheScore) {
    for_playout_positions(1, 60, [&](TestBoard& b) {
        const Position& p = b.pos();
        b.block->eval.trace = 1;
        b.block->eval.ply = 0;
        int s = hce_eval(b.block->pos, b.block->eval);
        b.block->eval.trace = 0;
        int units[2];
        for (int c = 0; c < 2; c++)
            units[c] = 3 * (piece_count(p, c, KNIGHT) + piece_count(p, c, BISHOP)) + 5 * piece_count(p, c, ROOK) +
                       9 * piece_count(p, c, QUEEN);
        if (units[0] <= 8 && units[1] <= 8) return;  // may be scaled
        int n = 0;
        for (int c = 0; c < 2; c++) n += popcount(p.bb[c * 8 + PAWN]) + units[c];
        double phase = 0.014 * n > 1 ? 1 : 0.014 * n;
        int32_t v = 0;
        for (int g = 0; g < TRACE_GROUPS; g++)
            v += b.block->eval.trace_terms[g][p.side] - b.block->eval.trace_terms[g][p.side ^ 1];
        ASSERT_EQ(s, int(mg_of(v) * phase + (1 - phase) * eg_of(v))) << b.fen();
    });
}

}  // namespace
