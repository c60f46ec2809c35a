#include "attacks.h"
#include "position.h"

Bitboard pawn_attacks[2][64];
Bitboard knight_attacks[64];
Bitboard king_attacks[64];
Bitboard ray_n[64], ray_s[64], ray_e[64], ray_w[64];
Bitboard ray_ne[64], ray_nw[64], ray_se[64], ray_sw[64];
Bitboard rook_mask[64], bishop_mask[64];
Bitboard between[64][64];

namespace {

bool on_board(int f, int r) { return f >= 0 && f < 8 && r >= 0 && r < 8; }

Bitboard leaper(int sq, const int (*d)[2], int n) {
    Bitboard b = 0;
    for (int i = 0; i < n; i++) {
        int f = file_of(sq) + d[i][0], r = rank_of(sq) + d[i][1];
        if (on_board(f, r)) b |= bit(square_of(f, r));
    }
    return b;
}

Bitboard ray(int sq, int df, int dr) {
    Bitboard b = 0;
    for (int f = file_of(sq) + df, r = rank_of(sq) + dr; on_board(f, r); f += df, r += dr)
        b |= bit(square_of(f, r));
    return b;
}

int sign(int x) { return (x > 0) - (x < 0); }

}  // namespace

void init_tables() {
    static const int knight_d[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
    static const int king_d[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
    static const int wpawn_d[2][2] = {{-1, 1}, {1, 1}};
    static const int bpawn_d[2][2] = {{-1, -1}, {1, -1}};
    for (int s = 0; s < 64; s++) {
        knight_attacks[s] = leaper(s, knight_d, 8);
        king_attacks[s] = leaper(s, king_d, 8);
        pawn_attacks[WHITE][s] = leaper(s, wpawn_d, 2);
        pawn_attacks[BLACK][s] = leaper(s, bpawn_d, 2);
        ray_n[s] = ray(s, 0, 1);
        ray_s[s] = ray(s, 0, -1);
        ray_e[s] = ray(s, 1, 0);
        ray_w[s] = ray(s, -1, 0);
        ray_ne[s] = ray(s, 1, 1);
        ray_nw[s] = ray(s, -1, 1);
        ray_se[s] = ray(s, 1, -1);
        ray_sw[s] = ray(s, -1, -1);
        rook_mask[s] = ray_n[s] | ray_s[s] | ray_e[s] | ray_w[s];
        bishop_mask[s] = ray_ne[s] | ray_nw[s] | ray_se[s] | ray_sw[s];
    }
    for (int a = 0; a < 64; a++)
        for (int b = 0; b < 64; b++) {
            between[a][b] = 0;
            int df = file_of(b) - file_of(a), dr = rank_of(b) - rank_of(a);
            if (a == b || !(df == 0 || dr == 0 || df == dr || df == -dr)) continue;
            int sf = sign(df), sr = sign(dr);
            for (int f = file_of(a) + sf, r = rank_of(a) + sr; square_of(f, r) != b; f += sf, r += sr)
                between[a][b] |= bit(square_of(f, r));
        }
}

int is_attacked(const Position& p, int sq, int c) {
    const Bitboard* bb = p.bb;
    int o = c * 8;
    if (pawn_attacks[c ^ 1][sq] & bb[o + PAWN]) return 1;
    if (knight_attacks[sq] & bb[o + KNIGHT]) return 1;
    if (king_attacks[sq] & bb[o + KING]) return 1;
    Bitboard occ = bb[0] | bb[8];
    Bitboard diag = (bb[o + BISHOP] | bb[o + QUEEN]) & bishop_mask[sq];
    while (diag)
        if (!(between[pop_lsb(diag)][sq] & occ)) return 1;
    Bitboard line = (bb[o + ROOK] | bb[o + QUEEN]) & rook_mask[sq];
    while (line)
        if (!(between[pop_lsb(line)][sq] & occ)) return 1;
    return 0;
}

int least_attacker(const Position& p, int sq, int c, Bitboard occ) {
    const Bitboard* bb = p.bb;
    int o = c * 8;
    Bitboard b = pawn_attacks[c ^ 1][sq] & bb[o + PAWN] & occ;
    if (b) return lsb(b);
    b = knight_attacks[sq] & bb[o + KNIGHT] & occ;
    if (b) return lsb(b);
    b = bishop_mask[sq] & bb[o + BISHOP] & occ;
    while (b) {
        int s = pop_lsb(b);
        if (!(between[s][sq] & occ)) return s;
    }
    b = rook_mask[sq] & bb[o + ROOK] & occ;
    while (b) {
        int s = pop_lsb(b);
        if (!(between[s][sq] & occ)) return s;
    }
    b = (bishop_mask[sq] | rook_mask[sq]) & bb[o + QUEEN] & occ;
    while (b) {
        int s = pop_lsb(b);
        if (!(between[s][sq] & occ)) return s;
    }
    b = king_attacks[sq] & bb[o + KING] & occ;
    if (b) return lsb(b);
    return NO_SQ;
}

Bitboard attackers_of(const Position& p, int sq, int c) {
    const Bitboard* bb = p.bb;
    int o = c * 8;
    Bitboard occ = bb[0] | bb[8];
    return (pawn_attacks[c ^ 1][sq] & bb[o + PAWN]) | (knight_attacks[sq] & bb[o + KNIGHT]) |
           (king_attacks[sq] & bb[o + KING]) | (bishop_attacks(sq, occ) & (bb[o + BISHOP] | bb[o + QUEEN])) |
           (rook_attacks(sq, occ) & (bb[o + ROOK] | bb[o + QUEEN]));
}
