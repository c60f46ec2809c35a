// Generator order and contents, and the legality test.
#include <gtest/gtest.h>
#include "../support/test_position.h"

namespace {

std::vector<std::string> texts(const MoveEntry* begin, const MoveEntry* end) {
    std::vector<std::string> out;
    for (const MoveEntry* e = begin; e != end; e++)
        out.push_back(std::string(square_names[move_from(e->move)]) + square_names[move_to(e->move)] +
                      ((e->move & FLAG_MASK) ? "*" : ""));
    return out;
}

}  // namespace

TEST(MoveGen, StartPositionOrder) {
    TestBoard b(start_fen);
    MoveEntry list[MAX_MOVES];
    MoveEntry* end = gen_all(b.pos(), list);
    ASSERT_EQ(end - list, 20);
    EXPECT_EQ(end->move, MOVE_END);
    std::vector<std::string> t = texts(list, end);
    EXPECT_EQ(t[0], "a2a3");
    EXPECT_EQ(t[7], "h2h3");
    EXPECT_EQ(t[8], "a2a4");
    EXPECT_EQ(t[15], "h2h4");
    EXPECT_EQ(t[16], "b1a3");
    EXPECT_EQ(t[19], "g1h3");
    for (MoveEntry* e = list; e != end; e++) EXPECT_TRUE(is_legal(b.pos(), WHITE, e->move));
}

TEST(MoveGen, PromotionsPushFirstThenCaptures) {
    TestBoard b("n1n1k3/1P6/8/8/8/8/8/4K3 w - - 0 1");
    MoveEntry list[MAX_MOVES];
    MoveEntry* end = gen_promotions(b.pos(), WHITE, 1, list);
    ASSERT_EQ(end - list, 12);
    EXPECT_EQ(move_to(list[0].move), sq("b8"));
    EXPECT_EQ(list[0].move & FLAG_MASK, PROMO_Q);
    EXPECT_EQ(list[1].move & FLAG_MASK, PROMO_N);
    EXPECT_EQ(list[2].move & FLAG_MASK, PROMO_B);
    EXPECT_EQ(list[3].move & FLAG_MASK, PROMO_R);
    EXPECT_EQ(move_to(list[4].move), sq("a8"));
    EXPECT_EQ(list[4].captured, make_piece(BLACK, KNIGHT));
    EXPECT_EQ(move_to(list[8].move), sq("c8"));
    EXPECT_EQ(gen_promotions(b.pos(), WHITE, 0, list) - list, 3);
    // Captures onto the last rank are never produced by the capture generator.
    EXPECT_EQ(gen_captures(b.pos(), WHITE, list, NO_SQ) - list, 0);
}

TEST(MoveGen, EvasionTargets) {
    // Knight f3 checks the king on g1: no interpositions, all king moves.
    TestBoard b("4k3/8/8/8/8/5n2/3B4/6K1 w - - 0 1");
    MoveEntry list[MAX_MOVES];
    MoveEntry* end = gen_captures(b.pos(), WHITE, list, sq("f3"));
    for (MoveEntry* e = list; e != end; e++) EXPECT_EQ(move_to(e->move), sq("f3"));
    end = gen_quiets(b.pos(), WHITE, list, sq("f3"));
    for (MoveEntry* e = list; e != end; e++) EXPECT_EQ(move_from(e->move), sq("g1"));
    EXPECT_EQ(end - list, 5);
    // A rook check along the rank: interposition squares only.
    TestBoard r("4k3/8/8/8/8/8/3B4/r5K1 w - - 0 1");
    end = gen_quiets(r.pos(), WHITE, list, sq("a1"));
    int bishop_moves = 0;
    for (MoveEntry* e = list; e != end; e++)
        if (move_from(e->move) == sq("d2")) {
            bishop_moves++;
            EXPECT_EQ(rank_of(move_to(e->move)), 0);
        }
    EXPECT_EQ(bishop_moves, 2);  // c1 and e1
}

TEST(MoveGen, CastlingLegality) {
    // f1 attacked: generated, but not legal.
    TestBoard b("4kr2/8/8/8/8/8/8/4K2R w K - 0 1");
    MoveEntry list[MAX_MOVES];
    MoveEntry* end = gen_quiets(b.pos(), WHITE, list, NO_SQ);
    Move castle = 0;
    for (MoveEntry* e = list; e != end; e++)
        if (e->move & FLAG_KS) castle = e->move;
    ASSERT_EQ(castle, make_move_value(sq("e1"), sq("g1"), FLAG_KS));
    EXPECT_FALSE(is_legal(b.pos(), WHITE, castle));
    // In check: not legal either.
    TestBoard c("4k3/8/8/8/8/8/8/r3K2R w K - 0 1");
    EXPECT_FALSE(is_legal(c.pos(), WHITE, make_move_value(sq("e1"), sq("g1"), FLAG_KS)));
    // Chess960: the castling rook shields c1 from the a1 rook; once it has
    // gone to d1 the king on c1 would stand in check.
    TestBoard s("4k3/8/8/8/8/8/8/rR3K2 w B - 0 1");
    EXPECT_FALSE(is_legal(s.pos(), WHITE, make_move_value(sq("f1"), sq("c1"), FLAG_QS)));
    TestBoard ok("4k3/8/8/8/8/8/8/1R3K2 w B - 0 1");
    EXPECT_TRUE(is_legal(ok.pos(), WHITE, make_move_value(sq("f1"), sq("c1"), FLAG_QS)));
}

TEST(MoveGen, EnPassantThatExposesTheKing) {
    TestBoard b("8/8/8/KPp4r/8/8/8/4k3 w - c6 0 1");
    ASSERT_EQ(b.pos().ep_square, sq("c6"));
    EXPECT_FALSE(is_legal(b.pos(), WHITE, make_move_value(sq("b5"), sq("c6"))));
    TestBoard free("8/8/8/1Pp4r/K7/8/8/4k3 w - c6 0 1");
    EXPECT_TRUE(is_legal(free.pos(), WHITE, make_move_value(sq("b5"), sq("c6"))));
}

TEST(MoveGen, NoLegalMoveForMateAndStalemate) {
    TestBoard mate("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1");
    TestBoard stale("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");
    TestBoard play(start_fen);
    EXPECT_TRUE(no_legal_move(mate.pos()));
    EXPECT_TRUE(no_legal_move(stale.pos()));
    EXPECT_FALSE(no_legal_move(play.pos()));
    EXPECT_FALSE(is_legal(play.pos(), WHITE, 0));
}

TEST(MoveGen, QuietChecksGiveCheck) {
    TestBoard b("4k3/8/8/8/8/8/1P6/RN2K2Q w - - 0 1");
    MoveEntry list[MAX_MOVES];
    MoveEntry* end = gen_quiet_checks(b.pos(), WHITE, list);
    ASSERT_GT(end - list, 0);
    for (MoveEntry* e = list; e != end; e++) {
        make_move(b.pos(), e->move);
        EXPECT_TRUE(is_attacked(b.pos(), b.pos().king_sq[BLACK], WHITE)) << e->move;
        unmake_move(b.pos());
    }
}
