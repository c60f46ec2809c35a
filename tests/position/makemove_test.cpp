// Make/unmake must restore every field, and the incremental keys must
// always equal a full recomputation.
#include <gtest/gtest.h>
#include <cstring>
#include <fstream>
#include <random>
#include "../support/test_position.h"
#include "position/notation.h"
#include "position/perft.h"

namespace {

bool same_position(const Position& a, const Position& b) {
    return a.thread == b.thread && !memcmp(a.board, b.board, 64) && !memcmp(a.bb, b.bb, sizeof a.bb) &&
           a.touched == b.touched && !memcmp(a.castle_mask, b.castle_mask, sizeof a.castle_mask) &&
           !memcmp(a.castle_path, b.castle_path, sizeof a.castle_path) && a.key == b.key &&
           a.pawn_key == b.pawn_key && a.counts[0] == b.counts[0] && a.counts[1] == b.counts[1] &&
           !memcmp(a.castle_rook, b.castle_rook, 4) && a.king_sq[0] == b.king_sq[0] &&
           a.king_sq[1] == b.king_sq[1] && a.side == b.side && a.ep_square == b.ep_square &&
           a.castle == b.castle && a.fifty == b.fifty;
}

std::vector<std::string> perft_fens() {
    std::vector<std::string> out;
    for (const char* name : {"standard.perft", "chess960.perft"}) {
        std::ifstream in(std::string(VORN_DATA_DIR) + "/perft/" + name);
        std::string line;
        while (std::getline(in, line))
            if (line.rfind("epd ", 0) == 0) out.push_back(line.substr(4));
    }
    return out;
}

// Plays random games from fen; at every node makes and unmakes every legal
// move (and a null move) and checks the position is restored exactly, and
// that the key foretold for each move is the key the move makes.
void random_playouts(const std::string& fen, std::mt19937& rng, int games, int plies) {
    TestBoard b;
    ASSERT_TRUE(b.set(fen.c_str())) << fen;
    Position& p = b.pos();
    SearchThread& t = *b.block;
    Position start = p;
    for (int g = 0; g < games; g++) {
        int played = 0;
        for (; played < plies; played++) {
            std::vector<Move> moves = b.legal_moves();
            if (moves.empty()) break;
            for (Move m : moves) {
                Position before = p;
                int depth = t.game.depth, ply = t.game.ply;
                Move last = t.game.last_move;
                uint64_t foretold = key_after(p, m);
                make_move(p, m);
                ASSERT_EQ(position_problem(p), "") << fen << " after " << m;
                ASSERT_EQ(p.key, foretold) << fen << " move " << m;
                ASSERT_EQ(t.game.last_move, t.game.records[t.game.depth - 1].move);
                unmake_move(p);
                ASSERT_TRUE(same_position(before, p)) << fen << " move " << m;
                ASSERT_EQ(t.game.depth, depth);
                ASSERT_EQ(t.game.ply, ply);
                ASSERT_EQ(t.game.last_move, last);
            }
            if (!legality_info(p).checkers) {
                Position before = p;
                make_null(p);
                ASSERT_EQ(position_problem(p), "");
                unmake_null(p);
                ASSERT_TRUE(same_position(before, p));
            }
            make_move(p, moves[rng() % moves.size()]);
        }
        for (; played > 0; played--) unmake_move(p);
        ASSERT_TRUE(same_position(start, p)) << fen;
        ASSERT_EQ(t.game.depth, 0);
    }
}

}  // namespace

TEST(MakeUnmake, RandomPlayoutsRestoreEveryField) {
    std::mt19937 rng(12345);
    std::vector<std::string> fens = perft_fens();
    ASSERT_GT(fens.size(), 70u);
    for (const std::string& fen : fens) random_playouts(fen, rng, 2, 80);
}

// A board needs only a move history, no search worker: moves, perft and
// the repetition test work on a bare Position with its own GameHistory.
TEST(MakeUnmake, ABoardWithoutASearchWorker) {
    init_engine_tables();
    auto history = std::make_unique<GameHistory>();
    Position p{};
    p.history = history.get();
    ASSERT_EQ(set_fen(p, start_fen), 0);
    EXPECT_EQ(p.thread, nullptr);
    EXPECT_EQ(perft(p, 4), 197281u);
    EXPECT_EQ(history->depth, 0);
    // Knights out and back twice: the third occurrence is a draw.
    const char* moves[] = {"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1", "f6g8"};
    for (const char* text : moves) {
        char buffer[16];
        snprintf(buffer, sizeof buffer, "%s", text);
        Move m;
        ASSERT_TRUE(parse_move(p, buffer, m)) << text;
        make_move(p, m);
    }
    EXPECT_EQ(history->depth, 8);
    EXPECT_EQ(is_draw(p, 0, 0), 1);
    unmake_move(p);
    EXPECT_EQ(is_draw(p, 0, 0), 0);
    EXPECT_EQ(history->depth, 7);
}

TEST(MakeUnmake, Chess960CastlingWithKingAndRookOnEachOthersSquares) {
    std::mt19937 rng(777);
    const char* fens[] = {
        "1r3kr1/pppppppp/8/8/8/8/PPPPPPPP/1R3KR1 w GBgb - 0 1",  // king f1, rook g1: king side swaps
        "2rk3r/pppppppp/8/8/8/8/PPPPPPPP/2RK3R w HChc - 0 1",    // king d1, rook c1: queen side swaps
        "r5kr/pppppppp/8/8/8/8/PPPPPPPP/R5KR w HAha - 0 1",      // king already on g1
        "rkr5/pppppppp/8/8/8/8/PPPPPPPP/RKR5 w CAca - 0 1",      // king b1, rooks a1 and c1
    };
    for (const char* fen : fens) random_playouts(fen, rng, 3, 40);
}

TEST(MakeUnmake, Chess960CastlingPlacesKingAndRook) {
    TestBoard b("1r3kr1/pppppppp/8/8/8/8/PPPPPPPP/1R3KR1 w GBgb - 0 1");
    make_move(b.pos(), make_move_value(sq("f1"), sq("g1"), FLAG_KS));
    EXPECT_EQ(b.fen(), "1r3kr1/pppppppp/8/8/8/8/PPPPPPPP/1R3RK1 b kq -");
    EXPECT_EQ(position_problem(b.pos()), "");

    TestBoard g("r5kr/pppppppp/8/8/8/8/PPPPPPPP/R5KR w HAha - 0 1");
    make_move(g.pos(), make_move_value(sq("g1"), sq("g1"), FLAG_KS));
    EXPECT_EQ(g.fen(), "r5kr/pppppppp/8/8/8/8/PPPPPPPP/R4RK1 b kq -");
    EXPECT_EQ(position_problem(g.pos()), "");
    EXPECT_EQ(g.pos().fifty, 0);

    TestBoard q("2rk3r/pppppppp/8/8/8/8/PPPPPPPP/2RK3R w HChc - 0 1");
    make_move(q.pos(), make_move_value(sq("d1"), sq("c1"), FLAG_QS));
    EXPECT_EQ(q.fen(), "2rk3r/pppppppp/8/8/8/8/PPPPPPPP/2KR3R b kq -");
    unmake_move(q.pos());
    EXPECT_EQ(q.fen(), "2rk3r/pppppppp/8/8/8/8/PPPPPPPP/2RK3R w KQkq -");
}

TEST(MakeUnmake, EnPassantSquareOnlyWhenACaptureIsPossible) {
    TestBoard b(start_fen);
    Position& p = b.pos();
    make_move(p, make_move_value(sq("e2"), sq("e4")));
    EXPECT_EQ(p.ep_square, NO_SQ);
    make_move(p, make_move_value(sq("d7"), sq("d5")));
    make_move(p, make_move_value(sq("e4"), sq("e5")));
    make_move(p, make_move_value(sq("f7"), sq("f5")));
    EXPECT_EQ(p.ep_square, sq("f6"));
    Position q = p;
    q.ep_square = NO_SQ;
    compute_keys(q);
    EXPECT_EQ(p.key, q.key ^ zobrist[0][sq("f6")]);
    EXPECT_EQ(position_problem(p), "");
}

TEST(MakeUnmake, RookLeavingLosesCastlingForGood) {
    TestBoard b("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    Position& p = b.pos();
    make_move(p, make_move_value(sq("h1"), sq("h2")));
    make_move(p, make_move_value(sq("a8"), sq("a7")));
    make_move(p, make_move_value(sq("h2"), sq("h1")));
    EXPECT_EQ(p.castle, CASTLE_WQ | CASTLE_BK);
    EXPECT_EQ(p.fifty, 3);
    EXPECT_EQ(position_problem(p), "");
    make_move(p, make_move_value(sq("e8"), sq("g8"), FLAG_KS));
    EXPECT_EQ(p.fifty, 0);
    EXPECT_EQ(b.fen(), "5rk1/r7/8/8/8/8/8/R3K2R w Q -");
}

TEST(MakeUnmake, TheHalfMoveClockStopsAtItsTop) {
    TestBoard b("4k3/8/8/8/8/8/8/R3K3 w - - 254 200");
    Position& p = b.pos();
    make_move(p, make_move_value(sq("a1"), sq("a2")));
    make_move(p, make_move_value(sq("e8"), sq("e7")));
    EXPECT_EQ(p.fifty, 255);
    make_move(p, make_move_value(sq("a2"), sq("a1")));
    EXPECT_EQ(p.fifty, 255);
    unmake_move(p);
    EXPECT_EQ(p.fifty, 255);
    unmake_move(p);
    EXPECT_EQ(p.fifty, 255);
    unmake_move(p);
    EXPECT_EQ(p.fifty, 254);
}

TEST(MakeUnmake, PromotionsAndTheirUndo) {
    TestBoard b("1n2k3/P7/8/8/8/8/8/4K3 w - - 0 1");
    Position& p = b.pos();
    const Move flags[] = {PROMO_Q, PROMO_N, PROMO_B, PROMO_R};
    const char* fens[] = {"1Q2k3", "1N2k3", "1B2k3", "1R2k3"};
    for (int i = 0; i < 4; i++) {
        make_move(p, make_move_value(sq("a7"), sq("b8"), flags[i]));
        EXPECT_EQ(b.fen().substr(0, 5), fens[i]);
        EXPECT_EQ(position_problem(p), "");
        unmake_move(p);
        EXPECT_EQ(b.fen(), "1n2k3/P7/8/8/8/8/8/4K3 w - -");
    }
}

TEST(Zobrist, FirstNumberAndSpread) {
    init_engine_tables();
    EXPECT_EQ(zobrist[0][0], 0x906946505E60D900ull);
    const uint64_t* z = &zobrist[0][0];
    for (int i = 0; i < 1024; i++) {
        EXPECT_GE(popcount(z[i]), 20);
        EXPECT_LE(popcount(z[i]), 44);
        for (int j = 0; j < i; j++) ASSERT_GT(popcount(z[i] ^ z[j]), 5) << i << " " << j;
    }
}

TEST(Draws, FiftyMoveRuleAndMateOutranksIt) {
    TestBoard b("7k/8/8/8/8/8/8/K5R1 w - - 99 80");
    EXPECT_EQ(is_draw(b.pos(), 0, 0), 0);
    make_move(b.pos(), make_move_value(sq("g1"), sq("g2")));
    EXPECT_EQ(is_draw(b.pos(), 0, 0), 1);
    // Black is mated with the clock at 100.
    TestBoard m("k7/2K5/8/8/8/8/8/7R w - - 99 80");
    make_move(m.pos(), make_move_value(sq("h1"), sq("a1")));
    EXPECT_EQ(is_draw(m.pos(), 0, 0), 1);
    EXPECT_EQ(is_draw(m.pos(), 0, 1), 0);
}

TEST(Draws, RepetitionBeforeAndInsideTheSearch) {
    TestBoard b("4k3/8/8/8/8/8/8/4K1N1 w - - 10 40");
    Position& p = b.pos();
    Move out[] = {make_move_value(sq("g1"), sq("f3")), make_move_value(sq("e8"), sq("d8")),
                  make_move_value(sq("f3"), sq("g1")), make_move_value(sq("d8"), sq("e8"))};
    for (Move m : out) make_move(p, m);
    // Once repeated before the search: not yet a draw at the root...
    EXPECT_EQ(is_draw(p, 0, 0), 0);
    // ...but a draw when the earlier occurrence lies inside the search.
    EXPECT_EQ(is_draw(p, 5, 0), 1);
    for (Move m : out) make_move(p, m);
    EXPECT_EQ(is_draw(p, 0, 0), 1);
    // A null move cuts the scan.
    TestBoard n("4k3/8/8/8/8/8/8/4K1N1 w - - 10 40");
    make_null(n.pos());
    make_move(n.pos(), out[1]);
    make_null(n.pos());
    make_move(n.pos(), out[3]);
    EXPECT_EQ(is_draw(n.pos(), 10, 0), 0);
}
