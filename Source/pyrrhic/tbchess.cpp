#include "tbchess.h"
#include "../position/attacks.h"

namespace {

uint64_t& type_board(TbPosition& p, int type) {
    switch (type) {
        case 1: return p.pawns;
        case 2: return p.knights;
        case 3: return p.bishops;
        case 4: return p.rooks;
        case 5: return p.queens;
        default: return p.kings;
    }
}

uint64_t type_board(const TbPosition& p, int type) {
    switch (type) {
        case 1: return p.pawns;
        case 2: return p.knights;
        case 3: return p.bishops;
        case 4: return p.rooks;
        case 5: return p.queens;
        case 6: return p.kings;
        default: return 0;
    }
}

inline uint64_t own(const TbPosition& p) { return p.turn ? p.white : p.black; }
inline uint64_t enemy(const TbPosition& p) { return p.turn ? p.black : p.white; }

int type_on(const TbPosition& p, int sq) {
    uint64_t b = uint64_t(1) << sq;
    if (p.pawns & b) return 1;
    if (p.knights & b) return 2;
    if (p.bishops & b) return 3;
    if (p.rooks & b) return 4;
    if (p.queens & b) return 5;
    if (p.kings & b) return 6;
    return 0;
}

// Whether any piece of the side given by white_attacks (1 white) attacks sq.
int attacked(const TbPosition& p, int sq, int by_white, uint64_t occ) {
    uint64_t them = by_white ? p.white : p.black;
    if (knight_attacks[sq] & p.knights & them) return 1;
    if (king_attacks[sq] & p.kings & them) return 1;
    // A white pawn attacks sq when it stands where a black pawn on sq would capture.
    if (pawn_attacks[by_white ? BLACK : WHITE][sq] & p.pawns & them) return 1;
    if (bishop_attacks(sq, occ) & (p.bishops | p.queens) & them) return 1;
    if (rook_attacks(sq, occ) & (p.rooks | p.queens) & them) return 1;
    return 0;
}

TbMove* add_targets(int from, uint64_t targets, TbMove* out) {
    while (targets) *out++ = tb_make_move(from, pop_lsb(targets));
    return out;
}

TbMove* add_pawn_moves(int from, int to, TbMove* out) {
    if (rank_of(to) == 0 || rank_of(to) == 7) {
        for (int promo = TB_PROMO_QUEEN; promo <= TB_PROMO_KNIGHT; promo++) *out++ = tb_make_move(from, to, promo);
    } else {
        *out++ = tb_make_move(from, to);
    }
    return out;
}

// Moves of the side to move whose destinations lie in target; pawns move
// (quietly) only when quiet_pawns is set, and capture only onto enemy men or
// the en-passant square.
int generate(const TbPosition& p, uint64_t target, int quiet_pawns, TbMove* start) {
    TbMove* out = start;
    const uint64_t us = own(p), them = enemy(p), occ = p.white | p.black;
    const int colour = p.turn ? WHITE : BLACK;

    for (uint64_t b = p.knights & us; b;) {
        int s = pop_lsb(b);
        out = add_targets(s, knight_attacks[s] & target, out);
    }
    for (uint64_t b = (p.bishops | p.queens) & us; b;) {
        int s = pop_lsb(b);
        out = add_targets(s, bishop_attacks(s, occ) & target, out);
    }
    for (uint64_t b = (p.rooks | p.queens) & us; b;) {
        int s = pop_lsb(b);
        out = add_targets(s, rook_attacks(s, occ) & target, out);
    }
    for (uint64_t b = p.kings & us; b;) {
        int s = pop_lsb(b);
        out = add_targets(s, king_attacks[s] & target, out);
    }

    uint64_t ep = p.ep ? uint64_t(1) << p.ep : 0;
    for (uint64_t b = p.pawns & us; b;) {
        int s = pop_lsb(b);
        for (uint64_t c = pawn_attacks[colour][s] & (them | ep); c;) out = add_pawn_moves(s, pop_lsb(c), out);
        if (!quiet_pawns) continue;
        int step = colour == WHITE ? 8 : -8;
        int one = s + step;
        if (one < 0 || one > 63 || (occ >> one & 1)) continue;
        out = add_pawn_moves(s, one, out);
        int start_rank = colour == WHITE ? 1 : 6;
        int two = one + step;
        if (rank_of(s) == start_rank && !(occ >> two & 1)) *out++ = tb_make_move(s, two);
    }
    return int(out - start);
}

}  // namespace

uint64_t tb_pieces(const TbPosition& p, int colour, int type) {
    return type_board(p, type) & (colour == WHITE ? p.white : p.black);
}

int tb_piece_count(const TbPosition& p) { return popcount(p.white | p.black); }

int tb_gen_captures(const TbPosition& p, TbMove* out) { return generate(p, enemy(p), 0, out); }

int tb_gen_all(const TbPosition& p, TbMove* out) { return generate(p, ~own(p), 1, out); }

int tb_in_check(const TbPosition& p) {
    uint64_t king = p.kings & own(p);
    if (!king) return 0;
    return attacked(p, lsb(king), !p.turn, p.white | p.black);
}

int tb_is_en_passant(const TbPosition& p, TbMove m) {
    return p.ep && tb_move_to(m) == p.ep && (p.pawns >> tb_move_from(m) & 1) &&
           file_of(tb_move_from(m)) != file_of(tb_move_to(m));
}

int tb_is_capture(const TbPosition& p, TbMove m) {
    return (enemy(p) >> tb_move_to(m) & 1) || tb_is_en_passant(p, m);
}

int tb_is_zeroing(const TbPosition& p, TbMove m) {
    return (p.pawns >> tb_move_from(m) & 1) || tb_is_capture(p, m);
}

int tb_do_move(const TbPosition& p, TbMove m, TbPosition& out) {
    const int from = tb_move_from(m), to = tb_move_to(m), promo = tb_move_promo(m);
    const uint64_t from_bit = uint64_t(1) << from, to_bit = uint64_t(1) << to;
    const int mover = type_on(p, from);
    if (!mover || !(own(p) & from_bit) || (own(p) & to_bit)) return 0;
    out = p;
    uint64_t& us = p.turn ? out.white : out.black;
    uint64_t& them = p.turn ? out.black : out.white;

    int zeroing = mover == 1;
    if (them & to_bit) {
        int victim = type_on(p, to);
        type_board(out, victim) &= ~to_bit;
        them &= ~to_bit;
        zeroing = 1;
    }
    if (tb_is_en_passant(p, m)) {
        uint64_t victim_bit = uint64_t(1) << (p.turn ? to - 8 : to + 8);
        out.pawns &= ~victim_bit;
        them &= ~victim_bit;
    }
    type_board(out, mover) &= ~from_bit;
    us = (us & ~from_bit) | to_bit;
    static const int promo_types[5] = {0, 5, 4, 3, 2};
    int placed = mover;
    if (mover == 1 && (rank_of(to) == 0 || rank_of(to) == 7)) placed = promo >= 1 && promo <= 4 ? promo_types[promo] : 5;
    type_board(out, placed) |= to_bit;

    out.ep = 0;
    if (mover == 1 && (from ^ to) == 16) {
        int passed = (from + to) / 2;
        // Only a square an enemy pawn can really capture on counts, as in FEN.
        if (pawn_attacks[p.turn ? WHITE : BLACK][passed] & out.pawns & them) out.ep = uint8_t(passed);
    }
    out.rule50 = zeroing ? 0 : uint8_t(p.rule50 < 255 ? p.rule50 + 1 : 255);
    out.turn = p.turn ^ 1;

    uint64_t king = out.kings & us;
    if (king && attacked(out, lsb(king), !p.turn ? 1 : 0, out.white | out.black)) return 0;
    return 1;
}

int tb_has_legal_move(const TbPosition& p) {
    TbMove moves[TB_MAX_MOVES];
    int n = tb_gen_all(p, moves);
    TbPosition next;
    for (int i = 0; i < n; i++)
        if (tb_do_move(p, moves[i], next)) return 1;
    return 0;
}

int tb_is_mate(const TbPosition& p) { return tb_in_check(p) && !tb_has_legal_move(p); }

namespace {

// Fixed odd multipliers, one per colour and type; any numbers that keep
// signatures apart do.
constexpr uint64_t key_numbers[2][8] = {
    {0, 0x9E3779B97F4A7C15ull, 0xC2B2AE3D27D4EB4Full, 0x165667B19E3779F9ull, 0xD6E8FEB86659FD93ull,
     0xFF51AFD7ED558CCDull, 0, 0},
    {0, 0xC4CEB9FE1A85EC53ull, 0x94D049BB133111EBull, 0xBF58476D1CE4E5B9ull, 0x2545F4914F6CDD1Dull,
     0x85EBCA77C2B2AE63ull, 0, 0},
};

}  // namespace

uint64_t tb_material_key_counts(const int counts[2][8], int swap_colours) {
    uint64_t key = 0;
    for (int c = 0; c < 2; c++)
        for (int t = 1; t <= 5; t++) key += uint64_t(counts[c][t]) * key_numbers[c ^ swap_colours][t];
    return key;
}

uint64_t tb_material_key(const TbPosition& p, int swap_colours) {
    int counts[2][8] = {};
    for (int c = 0; c < 2; c++)
        for (int t = 1; t <= 5; t++) counts[c][t] = popcount(tb_pieces(p, c, t));
    return tb_material_key_counts(counts, swap_colours);
}
