#include "position/kpk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "position/attacks.h"

namespace {

int sq(const char* name) { return square_of(name[0] - 'a', name[1] - '1'); }
std::string name_of(int s) { return {char('a' + file_of(s)), char('1' + rank_of(s))}; }

class Kpk : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        init_tables();
        init_kpk();
    }
};

// ---------------------------------------------------------------------------
// A separate solver, written without the attack tables or the table's
// layout: plain file/rank arithmetic over the whole board (all eight pawn
// files, no mirroring), White always holding the pawn. Wins are found as the
// least fixed point: White to move wins if some move reaches a won position,
// Black to move loses if it is mated, or has moves and every one of them
// reaches a won position. A promotion is judged exactly: a queen or rook that
// cannot be taken at once wins unless Black is stalemated; a minor piece
// never wins against a bare king.

bool near(int a, int b) {
    return a != b && std::abs(file_of(a) - file_of(b)) <= 1 && std::abs(rank_of(a) - rank_of(b)) <= 1;
}

bool white_pawn_hits(int pawn, int s) {
    return rank_of(s) == rank_of(pawn) + 1 && std::abs(file_of(s) - file_of(pawn)) == 1;
}

template <class F>
void each_step(int s, F f) {
    for (int df = -1; df <= 1; df++)
        for (int dr = -1; dr <= 1; dr++) {
            int nf = file_of(s) + df, nr = rank_of(s) + dr;
            if ((df || dr) && nf >= 0 && nf < 8 && nr >= 0 && nr < 8) f(square_of(nf, nr));
        }
}

// Whether a rook (diagonals false) or queen on q, blocked only by the white
// king, attacks s. The black king never blocks: it cannot hide behind itself.
bool slider_hits(int q, int wk, int s, bool diagonals) {
    for (int df = -1; df <= 1; df++)
        for (int dr = -1; dr <= 1; dr++) {
            if (!(df || dr) || (!diagonals && df && dr)) continue;
            for (int f = file_of(q) + df, r = rank_of(q) + dr; f >= 0 && f < 8 && r >= 0 && r < 8; f += df, r += dr) {
                int t = square_of(f, r);
                if (t == s) return true;
                if (t == wk) break;
            }
        }
    return false;
}

// White has just promoted on q, Black to move.
bool promotion_wins(int q, int wk, int bk) {
    if (near(bk, q) && !near(wk, q)) return false;
    for (bool queen : {true, false}) {
        bool escape = false;
        each_step(bk, [&](int s) {
            if (s != q && !near(s, wk) && !slider_hits(q, wk, s, queen)) escape = true;
        });
        if (escape || slider_hits(q, wk, bk, queen)) return true;
    }
    return false;
}

struct Solver {
    std::vector<char> win = std::vector<char>(2 * 64 * 64 * 64, 0);

    static int at(int stm, int wk, int wp, int bk) { return ((stm * 64 + wk) * 64 + wp) * 64 + bk; }

    static bool legal(int stm, int wk, int wp, int bk) {
        if (rank_of(wp) < 1 || rank_of(wp) > 6) return false;
        if (wk == wp || bk == wp || wk == bk || near(wk, bk)) return false;
        return !(stm == 0 && white_pawn_hits(wp, bk));
    }

    bool white_wins_after_move(int wk, int wp, int bk) const {
        int one = wp + 8;
        if (one != wk && one != bk) {
            if (rank_of(one) == 7) {
                if (promotion_wins(one, wk, bk)) return true;
            } else if (win[at(1, wk, one, bk)]) {
                return true;
            }
            int two = wp + 16;
            if (rank_of(wp) == 1 && two != wk && two != bk && win[at(1, wk, two, bk)]) return true;
        }
        bool found = false;
        each_step(wk, [&](int s) {
            if (s != wp && s != bk && !near(s, bk) && win[at(1, s, wp, bk)]) found = true;
        });
        return found;
    }

    bool black_loses(int wk, int wp, int bk) const {
        bool any_move = false, escape = false;
        each_step(bk, [&](int s) {
            if (s == wk || near(s, wk) || white_pawn_hits(wp, s)) return;
            if (s == wp) {  // the pawn is unguarded here: two bare kings remain
                any_move = escape = true;
                return;
            }
            any_move = true;
            if (!win[at(0, wk, wp, s)]) escape = true;
        });
        if (!any_move) return white_pawn_hits(wp, bk);  // mate, or stalemate
        return !escape;
    }

    void solve() {
        for (bool changed = true; changed;) {
            changed = false;
            for (int stm = 0; stm < 2; stm++)
                for (int wk = 0; wk < 64; wk++)
                    for (int wp = 8; wp < 56; wp++)
                        for (int bk = 0; bk < 64; bk++) {
                            int i = at(stm, wk, wp, bk);
                            if (win[i] || !legal(stm, wk, wp, bk)) continue;
                            if (stm == 0 ? white_wins_after_move(wk, wp, bk) : black_loses(wk, wp, bk)) {
                                win[i] = 1;
                                changed = true;
                            }
                        }
        }
    }
};

// Same position with colours exchanged and the board turned upside down.
int flip_probe(int side_to_move, int wk, int wp, int bk) {
    return kpk_probe(BLACK, side_to_move ^ 1, wk ^ 56, wp ^ 56, bk ^ 56);
}

}  // namespace

TEST_F(Kpk, MatchesSeparateSolverOnEveryLegalPosition) {
    Solver solver;
    solver.solve();
    long legal = 0, wins = 0, mismatches = 0;
    std::string first;
    for (int stm = 0; stm < 2; stm++)
        for (int wk = 0; wk < 64; wk++)
            for (int wp = 8; wp < 56; wp++)
                for (int bk = 0; bk < 64; bk++) {
                    if (!Solver::legal(stm, wk, wp, bk)) continue;
                    legal++;
                    int expected = solver.win[Solver::at(stm, wk, wp, bk)];
                    wins += expected;
                    int white = kpk_probe(WHITE, stm, wk, wp, bk);
                    int black = flip_probe(stm, wk, wp, bk);
                    if (white != expected || black != expected) {
                        if (!mismatches) {
                            std::ostringstream o;
                            o << 'K' << name_of(wk) << " P" << name_of(wp) << " k" << name_of(bk)
                              << (stm ? " black" : " white") << " to move: solver " << expected << ", probe "
                              << white << '/' << black;
                            first = o.str();
                        }
                        mismatches++;
                    }
                }
    EXPECT_EQ(mismatches, 0) << "first: " << first;
    // Sanity of the reference itself: a real mix of wins and non-wins.
    EXPECT_GT(wins, legal / 2);
    EXPECT_LT(wins, legal);
}

TEST_F(Kpk, RawTableHoldsOnlyFinalValuesAndMarksImpossiblePlacements) {
    for (int i = 0; i < KPK_SIZE; i++)
        ASSERT_TRUE(kpk_table[i] == KPK_WIN || kpk_table[i] == KPK_NOT_WON) << "entry " << i;
    for (int stm = 0; stm < 2; stm++)
        for (int r = 1; r < 7; r++)
            for (int f = 0; f < 4; f++) {
                int p = square_of(f, r);
                for (int k1 = 0; k1 < 64; k1++)
                    for (int k2 = 0; k2 < 64; k2++) {
                        bool impossible = k1 == k2 || k1 == p || k2 == p || near(k1, k2) ||
                                          (stm == 0 && white_pawn_hits(p, k2));
                        if (impossible) {
                            ASSERT_EQ(kpk_table[kpk_index(stm, p, k1, k2)], KPK_NOT_WON);
                        }
                    }
            }
    // Pawns on their first rank never occur.
    for (int stm = 0; stm < 2; stm++)
        for (int f = 0; f < 4; f++)
            for (int e = 0; e < 4096; e++) ASSERT_EQ(kpk_table[kpk_index(stm, f, 0, 0) + e], KPK_NOT_WON);
}

TEST_F(Kpk, NamedEdgeCases) {
    // King on the sixth in front of its pawn: won whoever moves.
    EXPECT_EQ(kpk_table[kpk_index(0, sq("d5"), sq("d6"), sq("d8"))], KPK_WIN);  // Ke6 Pe5 ke8, mirrored
    EXPECT_EQ(kpk_table[kpk_index(1, sq("d5"), sq("d6"), sq("d8"))], KPK_WIN);
    // Rook's pawn with the defending king in the corner.
    EXPECT_EQ(kpk_table[kpk_index(0, sq("a2"), sq("a1"), sq("a8"))], KPK_NOT_WON);
    EXPECT_EQ(kpk_table[kpk_index(1, sq("a2"), sq("a1"), sq("a8"))], KPK_NOT_WON);
    // Protected pawn on the seventh, Black in check from it: Ke8 runs into
    // Kd6-d7, any other move lets the pawn through. With White to move the
    // placement cannot occur (Black would be in check off move).
    EXPECT_EQ(kpk_probe(WHITE, BLACK, sq("e6"), sq("e7"), sq("f8")), 1);
    EXPECT_EQ(kpk_probe(WHITE, WHITE, sq("e6"), sq("e7"), sq("f8")), 0);
}

// Textbook positions, White holding the pawn; each is also checked with the
// colours exchanged and the board turned over.
TEST_F(Kpk, TextbookPositionsForBothColours) {
    struct Case {
        const char *wk, *wp, *bk;
        int white_to_move, black_to_move;
        const char* why;
    };
    const Case cases[] = {
        {"e6", "e5", "e8", 1, 1, "king on the sixth in front of the pawn"},
        {"c6", "c5", "c8", 1, 1, "king on the sixth in front of the pawn"},
        {"b6", "b5", "b8", 1, 1, "king on the sixth in front of a knight's pawn"},
        {"d6", "d4", "d8", 1, 1, "king on a key square of a pawn on the fourth"},
        {"e4", "e2", "e6", 1, 1, "key square of a pawn on the second, tempo move in hand"},
        {"d5", "d4", "d7", 0, 1, "direct opposition decides"},
        {"e5", "e4", "e7", 0, 1, "direct opposition decides"},
        {"a1", "a2", "a8", 0, 0, "rook's pawn, defender in the corner"},
        {"b5", "a5", "a8", 0, 0, "rook's pawn, defender in the corner"},
        {"g5", "h5", "h8", 0, 0, "rook's pawn, defender in the corner"},
        {"b6", "a7", "a8", 0, 0, "rook's pawn: stalemate or a free corner"},
        {"a8", "a7", "c7", 0, 0, "attacking king shut in front of its rook's pawn"},
        {"b7", "a4", "f7", 1, 1, "attacking king holds the rook's pawn's corner"},
        {"g7", "h4", "d5", 1, 1, "attacking king holds the rook's pawn's corner"},
        {"h1", "a7", "b7", 0, 0, "promotion square guarded only by the defender"},
        {"d7", "c7", "a7", 1, 1, "guarded promotion square"},
        {"a4", "b7", "a6", 1, 0, "only b8=R wins: b8=Q is stalemate"},
        {"h1", "a4", "f5", 1, 0, "rule of the square"},
        {"a1", "h4", "c5", 1, 0, "rule of the square"},
        {"h1", "a2", "g6", 1, 0, "rule of the square from the third rank (double step)"},
        {"h1", "e4", "d5", 0, 0, "the defender takes the unguarded pawn"},
        {"e6", "e7", "e8", 1, 0, "stalemate with Black to move, Kd6-d7 otherwise"},
        {"e6", "e7", "f8", 0, 1, "protected pawn on the seventh (impossible with White to move)"},
    };
    for (const Case& c : cases) {
        int wk = sq(c.wk), wp = sq(c.wp), bk = sq(c.bk);
        SCOPED_TRACE(std::string("K") + c.wk + " P" + c.wp + " k" + c.bk + ": " + c.why);
        EXPECT_EQ(kpk_probe(WHITE, WHITE, wk, wp, bk), c.white_to_move);
        EXPECT_EQ(kpk_probe(WHITE, BLACK, wk, wp, bk), c.black_to_move);
        EXPECT_EQ(flip_probe(WHITE, wk, wp, bk), c.white_to_move);
        EXPECT_EQ(flip_probe(BLACK, wk, wp, bk), c.black_to_move);
    }
    // Written directly for Black: pawn on h5 running to h1, White king c4
    // outside its square unless White is to move.
    EXPECT_EQ(kpk_probe(BLACK, BLACK, sq("a8"), sq("h5"), sq("c4")), 1);
    EXPECT_EQ(kpk_probe(BLACK, WHITE, sq("a8"), sq("h5"), sq("c4")), 0);
    // Black king on the third in front of its pawn.
    EXPECT_EQ(kpk_probe(BLACK, WHITE, sq("d3"), sq("d4"), sq("d1")), 1);
    EXPECT_EQ(kpk_probe(BLACK, BLACK, sq("d3"), sq("d4"), sq("d1")), 1);
}

TEST_F(Kpk, PromotionThatStalematesIsNotCountedAsWon) {
    // Pawn just promoted on b8, Ka3 against ka1, Black to move: a queen or
    // rook on b8 leaves Black without a move and not in check.
    EXPECT_EQ(kpk_table[kpk_index(1, sq("b8"), sq("a3"), sq("a1"))], KPK_NOT_WON);
    // c8, Ka5 against ka7: the queen stalemates, the rook does not.
    EXPECT_EQ(kpk_table[kpk_index(1, sq("c8"), sq("a5"), sq("a7"))], KPK_WIN);
    // The new piece taken at once.
    EXPECT_EQ(kpk_table[kpk_index(1, sq("a8"), sq("h1"), sq("b7"))], KPK_NOT_WON);
    // The new piece guarded, giving check.
    EXPECT_EQ(kpk_table[kpk_index(1, sq("c8"), sq("b7"), sq("d7"))], KPK_WIN);
}

TEST_F(Kpk, ProbeRejectsSquaresThatAreNoKpkPosition) {
    EXPECT_EQ(kpk_probe(WHITE, WHITE, sq("e6"), 64, sq("e8")), 0);
    EXPECT_EQ(kpk_probe(WHITE, WHITE, -1, sq("e5"), sq("e8")), 0);
    EXPECT_EQ(kpk_probe(WHITE, WHITE, sq("e6"), sq("e5"), 200), 0);
    // A pawn on its own first rank, or on the last rank.
    EXPECT_EQ(kpk_probe(WHITE, WHITE, sq("e6"), sq("e1"), sq("a8")), 0);
    EXPECT_EQ(kpk_probe(WHITE, BLACK, sq("h1"), sq("c8"), sq("a5")), 0);
    EXPECT_EQ(kpk_probe(BLACK, WHITE, sq("e3"), sq("e8"), sq("a1")), 0);
}

TEST_F(Kpk, RecomputingGivesTheSameTable) {
    std::vector<uint8_t> first(kpk_table, kpk_table + KPK_SIZE);
    init_kpk();
    EXPECT_TRUE(std::equal(first.begin(), first.end(), kpk_table));
}
