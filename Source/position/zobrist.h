// Zobrist numbers and the two position keys.
#pragma once
#include "position.h"

// zobrist[piece code][square]; row 0 holds the en-passant numbers (by
// square) and the castling numbers (by rights value 0..15).
extern uint64_t zobrist[16][64];

void init_zobrist();
void compute_keys(Position& p);

inline void toggle_key(Position& p, int code, int sq) {
    p.key ^= zobrist[code][sq];
    if (piece_type(code) == PAWN) p.pawn_key ^= zobrist[code][sq];
}
