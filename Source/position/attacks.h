// Precomputed attack tables and the attack queries built on them. Filled
// once by init_tables at start-up and read-only afterwards.
#pragma once
#include "types.h"

extern Bitboard pawn_attacks[2][64];
extern Bitboard knight_attacks[64];
extern Bitboard king_attacks[64];
extern Bitboard ray_n[64], ray_s[64], ray_e[64], ray_w[64];
extern Bitboard ray_ne[64], ray_nw[64], ray_se[64], ray_sw[64];
extern Bitboard rook_mask[64], bishop_mask[64];
extern Bitboard between[64][64];

void init_tables();

inline int lsb(Bitboard b) { return __builtin_ctzll(b); }
inline int msb(Bitboard b) { return 63 - __builtin_clzll(b); }
inline int popcount(Bitboard b) { return __builtin_popcountll(b); }
inline int pop_lsb(Bitboard& b) {
    int s = lsb(b);
    b &= b - 1;
    return s;
}
constexpr Bitboard bit(int sq) { return Bitboard(1) << sq; }

// Sliding attacks by ray XOR: each ray is cut at its first blocker by XORing
// away the same-direction ray from the blocker. Forcing bit 63 (positive
// rays) or bit 0 (negative rays) makes a free ray XOR an empty edge ray.
inline Bitboard bishop_attacks(int sq, Bitboard occ) {
    Bitboard a = bishop_mask[sq];
    a ^= ray_ne[lsb((ray_ne[sq] & occ) | bit(63))];
    a ^= ray_nw[lsb((ray_nw[sq] & occ) | bit(63))];
    a ^= ray_se[msb((ray_se[sq] & occ) | 1)];
    a ^= ray_sw[msb((ray_sw[sq] & occ) | 1)];
    return a;
}
inline Bitboard rook_attacks(int sq, Bitboard occ) {
    Bitboard a = rook_mask[sq];
    a ^= ray_n[lsb((ray_n[sq] & occ) | bit(63))];
    a ^= ray_e[lsb((ray_e[sq] & occ) | bit(63))];
    a ^= ray_s[msb((ray_s[sq] & occ) | 1)];
    a ^= ray_w[msb((ray_w[sq] & occ) | 1)];
    return a;
}

struct Position;
int is_attacked(const Position& p, int sq, int colour);
int least_attacker(const Position& p, int sq, int colour, Bitboard occ);
// Every piece of colour that attacks sq on the present board.
Bitboard attackers_of(const Position& p, int sq, int colour);
