// The evaluation entry: check sentinel, endings by rule, the cache,
// contempt, noise and fifty-move scaling.
#include <gtest/gtest.h>

#include "eval_support.h"

namespace {

class Evaluate : public ::testing::Test {
protected:
    TestBoard board;
    void SetUp() override { init_eval_tests(); }
    void TearDown() override { init_eval_tests(); }

    int eval_fen(const char* fen, int ply = 0) {
        EXPECT_TRUE(board.set(fen)) << fen;
        return evaluate(board.block->pos, board.block->eval, board.pos().side, ply, in_check(board.pos()));
    }
    int hce_of(const char* fen) {
        EXPECT_TRUE(board.set(fen)) << fen;
        board.block->eval.ply = 0;
        return hce_eval(board.block->pos, board.block->eval);
    }
    EvalCacheEntry& entry() {
        const Position& p = board.pos();
        return board.block->eval.cache[(p.side ? 4096 : 0) + (p.key & 4095)];
    }
};

TEST_F(Evaluate, CheckReturnsTheSentinelAndLeavesTheCache) {
    board.set("4k3/8/8/8/8/8/4q3/4K3 w - - 0 1");
    EvalCacheEntry before = entry();
    uint64_t evals = board.block->eval.evals;
    EXPECT_EQ(evaluate(board.block->pos, board.block->eval, WHITE, 5, 1), -3000);
    EXPECT_EQ(board.block->eval.evals, evals + 1);
    EXPECT_EQ(board.block->eval.ply, 5);
    EXPECT_EQ(entry().key, before.key);
    EXPECT_EQ(entry().score, before.score);
}

TEST_F(Evaluate, InsufficientMaterialIsDrawn) {
    EXPECT_EQ(eval_fen("4k3/8/8/8/8/8/8/2B1K3 w - - 0 1"), 0);     // KB v K
    EXPECT_EQ(eval_fen("4k3/8/3n4/8/8/8/8/1N2K3 b - - 0 1"), 0);   // KN v KN
    EXPECT_EQ(eval_fen("4k3/8/8/8/8/8/8/1N2KN2 w - - 0 1"), 0);    // KNN v K
    EXPECT_EQ(eval_fen("4k3/8/8/8/8/8/8/4K3 w - - 0 1"), 0);       // bare kings
    EXPECT_EQ(eval_fen("4kb2/8/8/8/8/8/8/1N2K3 w - - 0 1"), 0);    // KN v KB
    // Two bishops, or two knights against a minor, go to the evaluation.
    EXPECT_NE(eval_fen("4k3/8/8/8/8/8/8/2B1KB2 w - - 0 1"), 0);
    board.set("4k3/8/8/8/8/8/8/2B1KB2 w - - 0 1");
    int decided;
    rule_ending(board.pos(), WHITE, &decided);
    EXPECT_EQ(decided, 0);
    board.set("4kb2/8/8/8/8/8/8/1N2KN2 w - - 0 1");
    rule_ending(board.pos(), WHITE, &decided);
    EXPECT_EQ(decided, 0);
}

TEST_F(Evaluate, RookAgainstBareKing) {
    // Defending king a8 (6 from the centre), attacking king b6 (3), two apart.
    const int strong = 256 - 16 * 3 + 1000 - 16 * 2, weak = -16 * 6;
    EXPECT_EQ(eval_fen("k7/8/1K6/8/8/8/8/7R w - - 0 1"), strong - weak);
    EXPECT_EQ(eval_fen("k7/8/1K6/8/8/8/8/7R b - - 0 1"), weak - strong);
    // The king in the centre scores far less.
    EXPECT_LT(eval_fen("8/8/8/3k4/8/8/8/R3K3 w - - 0 1"), strong - weak);
    EXPECT_GT(eval_fen("8/8/8/3k4/8/8/8/R3K3 w - - 0 1"), 0);
    // Heavy material is clamped.
    EXPECT_EQ(eval_fen("k7/8/1K6/8/8/8/8/1QQQQQQR w - - 0 1"), 3000);
    EXPECT_EQ(eval_fen("k7/8/1K6/8/8/8/8/1QQQQQQR b - - 0 1"), -3000);
    // Black with the rook: the same rule from the other side.
    EXPECT_EQ(eval_fen("7r/8/8/8/8/1k6/8/K7 b - - 0 1"), strong - weak);
    // Extra pawns do not stop the rule.
    EXPECT_EQ(eval_fen("k7/8/1K6/8/8/8/P7/7R w - - 0 1"), strong - weak);
}

TEST_F(Evaluate, BishopAndKnightDriveToTheBishopsCorner) {
    // Dark bishop (c1): a1 and h8 are its corners.
    const char* dark[] = {"8/8/8/8/8/2K5/8/k1BN4 w - - 0 1", "k7/8/2K5/8/8/8/8/2BN4 w - - 0 1",
                          "7k/8/5K2/8/8/8/8/2BN4 w - - 0 1", "8/8/8/8/8/5K2/8/2BN3k w - - 0 1"};
    int a1 = eval_fen(dark[0]), a8 = eval_fen(dark[1]), h8 = eval_fen(dark[2]), h1 = eval_fen(dark[3]);
    EXPECT_GT(a1, a8);
    EXPECT_GT(a1, h1);
    EXPECT_GT(h8, a8);
    EXPECT_GT(h8, h1);
    // Light bishop (d1): a8 and h1.
    const char* light[] = {"8/8/8/8/8/2K5/8/k2BN3 w - - 0 1", "k7/8/2K5/8/8/8/8/3BN3 w - - 0 1"};
    EXPECT_GT(eval_fen(light[1]), eval_fen(light[0]));
    // Exact value: 900 + R(c3)=2 + R(d1)=0 - 8R(a1) - 8K(a1) - 8*2.
    EXPECT_EQ(a1, 900 + 2 + 0 - 0 - 0 - 16);
    EXPECT_EQ(eval_fen("8/8/8/8/8/2K5/8/k1BN4 b - - 0 1"), -a1);
}

TEST_F(Evaluate, KingAndPawn) {
    // King in front of the pawn on the sixth: won whoever moves.
    // 4 * 4 ranks + 0 (defender on the queening square) - 2.
    EXPECT_EQ(eval_fen("3k4/8/3K4/3P4/8/8/8/8 w - - 0 1"), 16 + 0 - 2 + 800);
    EXPECT_EQ(eval_fen("3k4/8/3K4/3P4/8/8/8/8 b - - 0 1"), -(16 + 0 - 2 + 800));
    // Rook pawn with the defending king in the corner: drawn.
    EXPECT_EQ(eval_fen("k7/8/8/1K6/P7/8/8/8 w - - 0 1"), 12 + 0 - 3);
    // Black's pawn.
    EXPECT_EQ(eval_fen("8/8/8/8/3p4/3k4/8/3K4 b - - 0 1"), 16 + 0 - 2 + 800);
}

TEST_F(Evaluate, CacheNearTheRootIsRecomputed) {
    const char* fen = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3";
    int real = eval_fen(fen, 0);
    EXPECT_EQ(entry().key, board.pos().key);
    EXPECT_EQ(entry().score, real);
    entry().score = 1234;  // a stale value a hit would return
    uint64_t hits = board.block->eval.cache_hits;
    EXPECT_EQ(eval_fen(fen, 3), 1234);
    EXPECT_EQ(board.block->eval.cache_hits, hits + 1);
    entry().score = 1234;
    EXPECT_EQ(eval_fen(fen, 2), real);
    EXPECT_EQ(board.block->eval.cache_hits, hits + 1);
    EXPECT_EQ(entry().score, real);  // restored by the recomputation
    // The halves for the two sides to move are separate.
    int black = eval_fen("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 2 3", 3);
    EXPECT_NE(black, 1234);
}

TEST_F(Evaluate, RuleEndingsBypassTheCache) {
    board.set("k7/8/1K6/8/8/8/8/7R w - - 0 1");
    entry().key = board.pos().key;
    entry().score = 77;
    EXPECT_NE(evaluate(board.block->pos, board.block->eval, WHITE, 5, 0), 77);
    EXPECT_EQ(entry().score, 77);
}

TEST_F(Evaluate, PlainScoreEqualsTheHandCraftedScore) {
    const char* fens[] = {start_fen, "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 0 3",
                          "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1"};
    for (const char* fen : fens) {
        int h = hce_of(fen);
        EXPECT_EQ(eval_fen(fen), h) << fen;
    }
}

TEST_F(Evaluate, FiftyMoveCounterScales) {
    const char* base = "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1";
    int s0 = eval_fen(base);
    ASSERT_NE(s0, 0);
    EXPECT_EQ(eval_fen("8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 128 80"), s0 - s0 * 128 / 256);
    EXPECT_EQ(eval_fen("8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 64 80"), s0 - s0 * 64 / 256);
    const int b0 = eval_fen("8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 b - - 0 80");
    EXPECT_EQ(eval_fen("8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 b - - 128 80"), b0 - b0 * 128 / 256);
}

TEST_F(Evaluate, ContemptFollowsMaterialAndRootSide) {
    const int raw = eval_fen(start_fen);
    eval_options.contempt = 20;
    // Not before the fifth half-move of the game.
    game_plies = 4;
    EXPECT_EQ(eval_fen(start_fen), raw);
    game_plies = 10;
    root_side = WHITE;
    EXPECT_EQ(eval_fen(start_fen), raw + 15 + 20);  // full material: phase_contempt + contempt
    root_side = BLACK;
    EXPECT_EQ(eval_fen(start_fen), raw - 35);
    // Fixed-limit searches play without it.
    contempt_on = false;
    EXPECT_EQ(eval_fen(start_fen), raw);
    contempt_on = true;
    // Little material: M = 550 + 2*200 = 950.
    root_side = WHITE;
    const char* ending = "4k3/4p3/8/8/8/8/4P3/R3K3 w - - 0 1";
    game_plies = 0;
    int plain = eval_fen(ending);
    game_plies = 10;
    EXPECT_EQ(eval_fen(ending), plain + ((950 - 4096) * 15) / 4096 + (950 * 20) / 8192);
}

TEST_F(Evaluate, NoiseIsRepeatableAndBounded) {
    const char* fen = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 0 3";
    const int raw = eval_fen(fen);
    eval_noise = 99;
    eval_seed = 0x9e3779b9u;
    int a = eval_fen(fen), b = eval_fen(fen);
    EXPECT_EQ(a, b);
    EXPECT_GE(a, raw - 49);
    EXPECT_LE(a, raw + 49);
    uint64_t r = (uint64_t(int64_t(int32_t(eval_seed))) ^ board.pos().key) % 99;
    EXPECT_EQ(a, raw + int(r) - 49);
    // Another seed moves the noise of most positions.
    int changed = 0;
    for (uint32_t seed = 1; seed <= 20; seed++) {
        eval_seed = seed * 2654435761u;
        changed += eval_fen(fen) != a;
    }
    EXPECT_GT(changed, 10);
}

TEST_F(Evaluate, NetworkEndgameAdjustments) {
    board.set("4k3/4b3/8/8/8/8/4P3/4KB2 w - - 0 1");  // bishops on opposite colours
    EXPECT_EQ(network_endgame_scale(board.pos(), 100), 75);
    EXPECT_EQ(network_endgame_scale(board.pos(), -7), -6);
    board.set("4k3/3b4/8/8/8/8/4P3/4KB2 w - - 0 1");  // same colour
    EXPECT_EQ(network_endgame_scale(board.pos(), 100), 100);
    board.set("4k3/3r4/8/8/8/8/8/3QK3 w - - 0 1");
    EXPECT_EQ(network_endgame_scale(board.pos(), 301), 150);
    EXPECT_EQ(network_endgame_scale(board.pos(), -301), -150);
    board.set("4k3/3r4/8/8/8/8/4P3/3QK3 w - - 0 1");
    EXPECT_EQ(network_endgame_scale(board.pos(), 301), 301);
}

}  // namespace
