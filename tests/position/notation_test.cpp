// Move texts out and in: coordinate, SAN and their accepted variants.
#include <gtest/gtest.h>
#include <cstring>
#include <random>
#include "../support/test_position.h"
#include "position/notation.h"
#include "shell/settings.h"

namespace {

struct Forms {
    char f[4][16];
};

Forms forms(const Position& p, const char* from, const char* to, Move flags = 0) {
    Forms x;
    move_texts(p, make_move_value(sq(from), sq(to), flags), x.f[0], x.f[1], x.f[2], x.f[3]);
    return x;
}

Move parse(const Position& p, const char* text) {
    char buf[32];
    strcpy(buf, text);
    Move m = 0;
    return parse_move(p, buf, m) ? m : Move(0);
}

struct ModeGuard {
    uint8_t uci, c960;
    ModeGuard(int uci_mode, int chess960) : uci(output_mode.uci_mode), c960(settings.chess960) {
        output_mode.uci_mode = uint8_t(uci_mode);
        settings.chess960 = uint8_t(chess960);
        sync_notation_style();
    }
    ~ModeGuard() {
        output_mode.uci_mode = uci;
        settings.chess960 = c960;
        sync_notation_style();
    }
};

// Every legal move in random games from positions rich in castling, en
// passant, promotions and pins, standard and Chess960: the check test
// must agree with playing the move and looking at the king.
TEST(Notation, CheckDetectionAgreesWithPlayingTheMove) {
    const char* starts[] = {
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
        "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
        "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
        "1rqbkrbn/1ppppp1p/1n6/p1N3p1/8/1N1P4/PPP1PPPP/1RQBKRBB w FBfb - 0 1",
    };
    std::mt19937 rng(5);
    long checks = 0, moves = 0;
    for (const char* fen : starts) {
        ModeGuard g(1, fen == starts[5]);
        for (int game = 0; game < 20; game++) {
            TestBoard b(fen);
            for (int ply = 0; ply < 80; ply++) {
                auto legal = b.legal_moves();
                if (legal.empty()) break;
                Position& p = b.pos();
                const int side = p.side;
                for (Move m : legal) {
                    MoveEntry e = {m, 0, p.board[move_from(m)], p.board[move_to(m)]};
                    int predicted = gives_check(p, side, e);
                    make_move(p, m);
                    int actual = is_attacked(p, p.king_sq[side ^ 1], side) ? 1 : 0;
                    unmake_move(p);
                    ASSERT_EQ(predicted, actual) << b.fen() << " " << move_from(m) << "-" << move_to(m);
                    checks += actual;
                    moves++;
                }
                make_move(p, legal[rng() % legal.size()]);
            }
        }
    }
    EXPECT_GT(checks, moves / 50);  // the games must really have met checks
}

}  // namespace

TEST(Notation, ParsesTheCommonSpellings) {
    ModeGuard g(1, 0);
    TestBoard b(start_fen);
    const Move e4 = make_move_value(sq("e2"), sq("e4")), nf3 = make_move_value(sq("g1"), sq("f3"));
    EXPECT_EQ(parse(b.pos(), "e2e4"), e4);
    EXPECT_EQ(parse(b.pos(), "e4"), e4);
    EXPECT_EQ(parse(b.pos(), "Nf3"), nf3);
    EXPECT_EQ(parse(b.pos(), "g1f3"), nf3);
    EXPECT_EQ(parse(b.pos(), "Ngf3"), nf3);
    EXPECT_EQ(parse(b.pos(), "N1f3"), nf3);
    EXPECT_EQ(parse(b.pos(), "Ng1f3"), 0);
    EXPECT_EQ(parse(b.pos(), "O-O"), 0);
    EXPECT_EQ(parse(b.pos(), "e2e5"), 0);
    EXPECT_EQ(parse(b.pos(), "Nf3#"), 0);
    EXPECT_EQ(parse(b.pos(), ""), 0);
}

TEST(Notation, Disambiguation) {
    ModeGuard g(0, 0);
    TestBoard b("4k3/8/8/8/8/5N2/8/1N2K3 w - - 0 1");
    EXPECT_STREQ(forms(b.pos(), "b1", "d2").f[1], "Nbd2");
    EXPECT_STREQ(forms(b.pos(), "f3", "d2").f[1], "Nfd2");
    TestBoard c("4k3/8/8/8/8/1N6/8/1N2K3 w - - 0 1");
    EXPECT_STREQ(forms(c.pos(), "b1", "d2").f[1], "N1d2");
    EXPECT_STREQ(forms(c.pos(), "b3", "d2").f[1], "N3d2");
    // A pinned second knight does not make the move ambiguous.
    TestBoard pin("k7/8/8/8/4r3/8/4N3/1N2K3 w - - 0 1");
    EXPECT_STREQ(forms(pin.pos(), "b1", "c3").f[1], "Nc3");
    // Three queens that need file and rank.
    TestBoard q("7k/8/8/8/Q1Q5/8/Q7/4K3 w - - 0 1");
    EXPECT_STREQ(forms(q.pos(), "a4", "b3").f[1], "Qa4b3");
}

TEST(Notation, PawnCapturesPromotionsAndChecks) {
    ModeGuard g(0, 0);
    TestBoard b("4k3/8/8/4p3/3P4/8/8/4K3 b - - 0 1");
    Forms x = forms(b.pos(), "e5", "d4");
    EXPECT_STREQ(x.f[0], "e5d4");
    EXPECT_STREQ(x.f[1], "exd4");
    EXPECT_STREQ(x.f[2], "ed");
    TestBoard p("8/4P1k1/8/8/8/8/8/4K3 w - - 0 1");
    Forms y = forms(p.pos(), "e7", "e8", PROMO_Q);
    EXPECT_STREQ(y.f[0], "e7e8=Q");
    EXPECT_STREQ(y.f[1], "e8=Q");
    Move promo = make_move_value(sq("e7"), sq("e8"), PROMO_Q);
    EXPECT_EQ(parse(p.pos(), "e7e8q"), promo);
    EXPECT_EQ(parse(p.pos(), "e8Q"), promo);
    EXPECT_EQ(parse(p.pos(), "e8=q"), promo);
    EXPECT_EQ(parse(p.pos(), "e7e8n"), make_move_value(sq("e7"), sq("e8"), PROMO_N));
    char text[8];
    move_to_text(p.pos(), WHITE, promo, text);
    EXPECT_STREQ(text, "e7e8=Q");
    output_mode.uci_mode = 1;
    sync_notation_style();
    move_to_text(p.pos(), WHITE, promo, text);
    EXPECT_STREQ(text, "e7e8q");
    // Check and mate are both marked with "+".
    TestBoard c("6k1/5ppp/8/8/8/8/8/R3K3 w - - 0 1");
    EXPECT_STREQ(forms(c.pos(), "a1", "a8").f[1], "Ra8+");
    EXPECT_EQ(parse(c.pos(), "Ra8+"), make_move_value(sq("a1"), sq("a8")));
    EXPECT_STREQ(forms(c.pos(), "a1", "a7").f[1], "Ra7");
}

TEST(Notation, CastlingBothSpellings) {
    TestBoard b("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    Move oo = make_move_value(sq("e1"), sq("g1"), FLAG_KS), ooo = make_move_value(sq("e1"), sq("c1"), FLAG_QS);
    char text[8];
    {
        ModeGuard g(1, 0);
        move_to_text(b.pos(), WHITE, oo, text);
        EXPECT_STREQ(text, "e1g1");
        EXPECT_EQ(parse(b.pos(), "e1g1"), oo);
        EXPECT_EQ(parse(b.pos(), "e1h1"), oo);
        EXPECT_EQ(parse(b.pos(), "O-O"), oo);
        EXPECT_EQ(parse(b.pos(), "0-0-0"), ooo);
        EXPECT_STREQ(forms(b.pos(), "e1", "g1", FLAG_KS).f[1], "o-o");
    }
    {
        ModeGuard g(1, 1);
        move_to_text(b.pos(), WHITE, oo, text);
        EXPECT_STREQ(text, "e1h1");
        move_to_text(b.pos(), WHITE, ooo, text);
        EXPECT_STREQ(text, "e1a1");
        EXPECT_EQ(parse(b.pos(), "e1g1"), oo);
        EXPECT_EQ(parse(b.pos(), "e1a1"), ooo);
    }
    // Chess960: king b1, rook a1. b1c1 is a plain king move, b1a1 castles.
    ModeGuard g(1, 1);
    TestBoard n("1k6/8/8/8/8/8/8/RK6 w A - 0 1");
    EXPECT_EQ(parse(n.pos(), "b1c1"), make_move_value(sq("b1"), sq("c1")));
    EXPECT_EQ(parse(n.pos(), "b1a1"), make_move_value(sq("b1"), sq("c1"), FLAG_QS));
}

TEST(Notation, CheckDetection) {
    TestBoard b("4k3/8/8/8/8/8/3R4/R3K3 w Q - 0 1");
    MoveEntry e = {make_move_value(sq("d2"), sq("d3")), 0, uint8_t(make_piece(WHITE, ROOK)), 0};
    EXPECT_EQ(gives_check(b.pos(), WHITE, e), 0);
    e.move = make_move_value(sq("d2"), sq("e2"));
    EXPECT_EQ(gives_check(b.pos(), WHITE, e), 1);
    e.move = make_move_value(sq("a1"), sq("a8"));
    EXPECT_EQ(gives_check(b.pos(), WHITE, e), 1);
    // Castling that checks with the rook.
    TestBoard c("3k4/8/8/8/8/8/8/R3K3 w Q - 0 1");
    e.move = make_move_value(sq("e1"), sq("c1"), FLAG_QS);
    EXPECT_EQ(gives_check(c.pos(), WHITE, e), 1);
}
