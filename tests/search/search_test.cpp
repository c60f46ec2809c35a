// The tree search run in-process on the calling thread: mates, draws by
// rule, depth-0 answers, reproducible node counts, tactics and the cheap
// exchange test.
#include <gtest/gtest.h>
#include "../support/test_position.h"
#include "eval/params.h"
#include "position/notation.h"
#include "search/hash.h"
#include "search/search.h"
#include "search/search_control.h"
#include "shell/game.h"
#include "shell/settings.h"
#include "shell/startup.h"

namespace {

struct Result {
    std::string move;
    int score;
    int depth;
    uint64_t nodes;
};

class SearchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(prepare_process("vorn"), 0);
        register_params();
        apply_param_text(builtin_param_text);
        settings.hash_mb = 8;
        output_mode.noise = SILENT_NOISE;  // no info lines
        eval_options.use_nn = 0;        // the hand-crafted evaluation, whatever network other tests loaded
        ASSERT_EQ(allocate_hash(settings.hash_mb, false), 1);
    }

    // Fixed-depth search of fen (after the given moves) on this thread.
    static Result run(const char* fen, int depth, const std::vector<const char*>& moves = {}) {
        settings.max_depth = int16_t(depth);
        settings.max_nodes = 1000000000000000LL;
        settings.moves_per_control = 1;
        settings.base_time = 10000000.0f;
        search_options.multipv = 1;
        search_options.threads = 1;
        EXPECT_TRUE(set_game_position(fen)) << fen;
        clear_game_record();
        for (const char* text : moves) {
            char buf[16];
            snprintf(buf, sizeof buf, "%s", text);
            Move m = 0;
            EXPECT_TRUE(parse_move(game_position(), buf, m)) << text;
            play_game_move(m);
        }
        clear_hash();
        start_search(STATE_FIXED, false, game_level_limits());
        store_state(0);
        Result r{"", search_result.score, search_result.depth, search_result.nodes};
        if (search_result.best_move) {
            char text[16];
            move_to_text(game_position(), game_position().side, search_result.best_move, text);
            r.move = text;
        }
        return r;
    }
};

TEST_F(SearchTest, MatesAreFoundWithTheirDistance) {
    // Mate in one: the score counts the mate at ply 2.
    Result r = run("7k/8/6K1/8/8/8/Q7/8 w - - 0 1", 4);
    EXPECT_EQ(r.move, "a2a8");
    EXPECT_EQ(r.score, 9998);
    // Mate in two: Qd8+ Bxd8 Re8#.
    r = run("r1b2k1r/ppp1bppp/8/1B1Q4/5q2/2P5/PPP2PPP/R3R1K1 w - - 0 1", 6);
    EXPECT_EQ(r.move, "d5d8");
    EXPECT_EQ(r.score, 9996);
    // The only move Kb8 walks into Rh8#: mated at ply 3.
    r = run("k7/8/1K6/8/8/8/8/7R b - - 0 1", 5);
    EXPECT_EQ(r.move, "a8b8");
    EXPECT_EQ(r.score, -9997);
}

TEST_F(SearchTest, ARootWithoutMovesHasNoBestMove) {
    Result mated = run("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1", 5);
    EXPECT_EQ(mated.move, "");
    EXPECT_EQ(mated.score, -9999);
    EXPECT_EQ(mated.depth, 1);
    Result stalemate = run("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", 5);
    EXPECT_EQ(stalemate.move, "");
    EXPECT_EQ(stalemate.score, 0);
}

TEST_F(SearchTest, TheFiftyMoveRuleDrawsUnlessTheLastMoveMates) {
    // Every move reaches a counter of 100: a draw, except a mating one.
    Result r = run("7k/8/6K1/8/8/8/Q7/8 w - - 99 80", 4);
    EXPECT_EQ(r.move, "a2a8");
    EXPECT_EQ(r.score, 9998);
    r = run("7k/8/8/8/8/8/1K6/Q7 w - - 99 80", 4);
    EXPECT_EQ(r.score, 0);
    EXPECT_NE(r.move, "");
}

TEST_F(SearchTest, RepetitionOfTheGameCountsAsADraw) {
    // White is a queen down; after the knights went out and back twice the
    // start position recurs once more with f6g8, which ends the game drawn.
    // Black, far ahead, must avoid it: any other move keeps the advantage.
    const char* fen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNB1KBNR w KQkq - 0 1";
    Result r = run(fen, 6, {"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1"});
    EXPECT_NE(r.move, "f6g8");
    // With the colours turned round Black, the side behind, takes the draw.
    const char* fen2 = "rnb1kbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
    r = run(fen2, 6, {"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1"});
    EXPECT_EQ(r.move, "f6g8");
    EXPECT_EQ(r.score, 0);
}

TEST_F(SearchTest, DepthZeroAnswersWithTheQuiescenceLine) {
    // The hanging queen is taken by the capture search alone.
    Result r = run("4k3/8/8/3q4/8/8/3R4/4K3 w - - 0 1", 0);
    EXPECT_EQ(r.move, "d2d5");
    // A quiet position still reports a legal move.
    r = run("4k3/8/8/8/8/8/8/4K2R w K - 0 1", 0);
    EXPECT_NE(r.move, "");
}

TEST_F(SearchTest, NodeCountsRepeatExactly) {
    const char* fen = "r1bqkb1r/pp1ppppp/2n2n2/8/3NP3/2N5/PPP2PPP/R1BQKB1R b KQkq - 0 1";
    Result a = run(fen, 9);
    Result b = run(fen, 9);
    EXPECT_EQ(a.nodes, b.nodes);
    EXPECT_EQ(a.move, b.move);
    EXPECT_EQ(a.score, b.score);
    EXPECT_EQ(a.depth, 9);
}

TEST_F(SearchTest, SimpleTacticsAreSeen) {
    // A knight fork of king and queen.
    EXPECT_EQ(run("4k3/8/q7/1N6/8/8/8/4K3 w - - 0 1", 6).move, "b5c7");
    // A loose knight is taken.
    EXPECT_EQ(run("4k3/8/8/8/3n4/8/8/3RK3 w - - 0 1", 6).move, "d1d4");
    // A pawn that a pawn defends is not worth the queen.
    EXPECT_NE(run("4k3/8/4p3/3p4/8/8/8/3QK3 w - - 0 1", 6).move, "d1d5");
}

TEST_F(SearchTest, CheapExchangeTestJudgesCapturesAndQuietMoves) {
    TestBoard b;
    auto safe = [&](const char* fen, const char* move_text) {
        EXPECT_TRUE(b.set(fen)) << fen;
        for (Move m : b.legal_moves()) {
            char text[16];
            move_to_text(b.pos(), b.pos().side, m, text);
            if (std::string(text) != move_text) continue;
            MoveEntry e{m, 0, b.pos().board[move_from(m)], b.pos().board[move_to(m)]};
            return not_losing(b.pos(), e);
        }
        ADD_FAILURE() << "no move " << move_text;
        return false;
    };
    // A knight for a pawn that a pawn defends loses.
    EXPECT_FALSE(safe("4k3/8/4p3/3p4/8/4N3/8/4K3 w - - 0 1", "e3d5"));
    // Taking an undefended pawn is fine.
    EXPECT_TRUE(safe("4k3/8/8/3p4/8/4N3/8/4K3 w - - 0 1", "e3d5"));
    // Equal or bigger captures always pass.
    EXPECT_TRUE(safe("4k3/8/4p3/3n4/8/4N3/8/4K3 w - - 0 1", "e3d5"));
    // A queen stepping where a pawn takes it.
    EXPECT_FALSE(safe("4k3/8/4p3/8/8/8/8/3QK3 w - - 0 1", "d1d5"));
    // A defended square against a bigger attacker: the rook may go where
    // only a queen attacks it and a pawn covers it.
    EXPECT_TRUE(safe("3qk3/8/8/8/R7/2P5/8/4K3 w - - 0 1", "a4d4"));
}

}  // namespace
