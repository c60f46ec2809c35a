#include "test_position.h"

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
