// Board masks and colour-relative bitboard shifts used by the evaluation.
#pragma once
#include "../position/types.h"

constexpr Bitboard FILE_A_BB = 0x0101010101010101ULL;
constexpr Bitboard FILE_H_BB = FILE_A_BB << 7;
constexpr Bitboard RANK_1_BB = 0xFFULL;
constexpr Bitboard DARK_SQUARES = 0xAA55AA55AA55AA55ULL;  // a1 is dark
constexpr Bitboard LIGHT_SQUARES = ~DARK_SQUARES;

constexpr Bitboard file_bb(int file) { return FILE_A_BB << file; }
constexpr Bitboard rank_bb(int rank) { return RANK_1_BB << (8 * rank); }

// Rank of a square counted from the side's own first rank.
constexpr int relative_rank(int colour, int sq) { return colour == WHITE ? rank_of(sq) : 7 - rank_of(sq); }
// One step toward the enemy.
constexpr int forward_step(int colour) { return colour == WHITE ? 8 : -8; }

constexpr Bitboard shift_forward(Bitboard b, int colour) { return colour == WHITE ? b << 8 : b >> 8; }
constexpr Bitboard shift_back(Bitboard b, int colour) { return colour == WHITE ? b >> 8 : b << 8; }
// The squares on the files beside each bit, same rank.
constexpr Bitboard sideways(Bitboard b) { return ((b & ~FILE_A_BB) >> 1) | ((b & ~FILE_H_BB) << 1); }

constexpr Bitboard fill_up(Bitboard b) {
    b |= b << 8;
    b |= b << 16;
    return b | b << 32;
}
constexpr Bitboard fill_down(Bitboard b) {
    b |= b >> 8;
    b |= b >> 16;
    return b | b >> 32;
}
// Every square ahead of each pawn on its file, the pawn's own square excluded.
constexpr Bitboard front_span(Bitboard pawns, int colour) {
    return colour == WHITE ? fill_up(pawns << 8) : fill_down(pawns >> 8);
}
constexpr Bitboard pawn_attack_span(Bitboard pawns, int colour) { return sideways(front_span(pawns, colour)); }
constexpr Bitboard pawn_attack_set(Bitboard pawns, int colour) { return sideways(shift_forward(pawns, colour)); }
// Squares attacked by two pawns of the side.
constexpr Bitboard pawn_double_attacks(Bitboard pawns, int colour) {
    Bitboard f = shift_forward(pawns, colour);
    return ((f & ~FILE_A_BB) >> 1) & ((f & ~FILE_H_BB) << 1);
}
// The box grown by one square in every direction.
constexpr Bitboard grow(Bitboard b) {
    b |= sideways(b);
    return b | b << 8 | b >> 8;
}

constexpr int abs_diff(int a, int b) { return a > b ? a - b : b - a; }
constexpr int distance(int a, int b) {
    int df = abs_diff(file_of(a), file_of(b)), dr = abs_diff(rank_of(a), rank_of(b));
    return df > dr ? df : dr;
}

// XOR applied to a square before a square-table lookup for one side: the
// tables are written for White with the king on files e-h.
constexpr int table_orientation(int colour, int king_sq) {
    return (colour == WHITE ? 0 : 56) ^ (file_of(king_sq) < 4 ? 7 : 0);
}
