#include "test_position.h"
#include "board_text.h"
#include <gtest/gtest.h>
#include <sstream>
#include "position/notation.h"

bool play_moves(TestBoard& b, const std::string& moves) {
    std::istringstream in(moves);
    std::string m;
    while (in >> m) {
        char buf[32];
        snprintf(buf, sizeof buf, "%s", m.c_str());
        Move mv;
        if (!parse_move(b.pos(), buf, mv)) return false;
        make_move(b.pos(), mv);
    }
    return true;
}

std::string fen_after_moves(const std::string& moves) {
    TestBoard b(start_fen);
    EXPECT_TRUE(play_moves(b, moves)) << moves;
    return b.fen();
}

std::string placement_fen(const char* board, char empty) {
    std::string fen;
    for (int r = 7; r >= 0; r--) {
        int run = 0;
        for (int f = 0; f < 8; f++) {
            char c = board[r * 8 + f];
            if (c == empty) {
                run++;
                continue;
            }
            if (run) fen += char('0' + run);
            run = 0;
            fen += c;
        }
        if (run) fen += char('0' + run);
        if (r) fen += '/';
    }
    return fen;
}

std::string position_problem(const Position& p) {
    Bitboard occ[2] = {0, 0};
    int32_t counts[2] = {0, 0};
    int kings[2] = {0, 0};
    for (int s = 0; s < 64; s++) {
        int code = p.board[s];
        if (!code) continue;
        int t = piece_type(code), c = piece_colour(code);
        if (t < PAWN || t > KING) return "bad piece code on square " + std::to_string(s);
        if (!(p.bb[code] & bit(s))) return "bitboard misses square " + std::to_string(s);
        occ[c] |= bit(s);
        counts[c] += count_increment[t];
        if (t == KING) {
            kings[c]++;
            if (p.king_sq[c] != s) return "king square wrong";
        }
    }
    for (int code = 0; code < 16; code++) {
        if (code == 0 || code == 8) continue;
        Bitboard b = p.bb[code];
        while (b)
            if (p.board[pop_lsb(b)] != code) return "bitboard has extra square for code " + std::to_string(code);
    }
    if (occ[0] != p.bb[0] || occ[1] != p.bb[8]) return "occupancy wrong";
    if (p.bb[7] || p.bb[15]) return "unused bitboards set";
    if (counts[0] != p.counts[0] || counts[1] != p.counts[1]) return "counts wrong";
    if (kings[0] != 1 || kings[1] != 1) return "king count wrong";
    Position q = p;
    compute_keys(q);
    if (q.key != p.key) return "key differs from compute_keys";
    if (q.pawn_key != p.pawn_key) return "pawn key differs from compute_keys";
    return "";
}
