#include "see.h"
#include "attacks.h"

const int16_t see_value[8] = {0, 100, 350, 350, 550, 1060, 10000, 0};

static constexpr int KING_CAPTURE = 9999;

int see_gain(const Position& p, int side, int sq, int victim, Bitboard occ) {
    int a = least_attacker(p, sq, side, occ);
    if (a == NO_SQ) return 0;
    if (victim == KING) return KING_CAPTURE;
    int v = see_value[victim] - see_gain(p, side ^ 1, sq, piece_type(p.board[a]), occ & ~bit(a));
    return v > 0 ? v : 0;
}

int see_move(const Position& p, int side, int from, int to) {
    Bitboard occ = p.bb[0] | p.bb[8];
    if (from == NO_SQ) {
        int a = least_attacker(p, to, side, occ);
        if (a == NO_SQ) return 0;
        int victim = piece_type(p.board[to]);
        if (victim == KING) return KING_CAPTURE;
        int v = see_value[victim] - see_gain(p, side ^ 1, to, piece_type(p.board[a]), occ & ~bit(a));
        return v > 0 ? v : 0;
    }
    int r = see_value[piece_type(p.board[to])];
    Bitboard o1 = occ & ~bit(from);
    int b = least_attacker(p, to, side ^ 1, o1);
    if (b == NO_SQ) return r;
    int mover = piece_type(p.board[from]);
    if (mover == KING) return r - KING_CAPTURE;
    int e = see_value[mover];
    Bitboard o2 = o1 & ~bit(b);
    int c = least_attacker(p, to, side, o2);
    int h = 0;
    if (c != NO_SQ) {
        if (piece_type(p.board[b]) == KING) {
            h = KING_CAPTURE;
        } else {
            h = see_value[piece_type(p.board[b])] - see_gain(p, side ^ 1, to, piece_type(p.board[c]), o2 & ~bit(c));
            if (h < 0) h = 0;
        }
    }
    int loss = e - h;
    return r - (loss > 0 ? loss : 0);
}
