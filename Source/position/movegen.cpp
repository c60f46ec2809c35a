#include "movegen.h"
#include "attacks.h"

namespace {

constexpr Bitboard RANK_1 = 0xFFull, RANK_8 = 0xFFull << 56;
constexpr Bitboard FILE_A = 0x0101010101010101ull, FILE_H = FILE_A << 7;
constexpr Bitboard RANKS_3_TO_6 = 0x0000FFFFFFFF0000ull;

inline MoveEntry* add(MoveEntry* list, const Position& p, int from, int to, Move flags = 0) {
    list->move = make_move_value(from, to, flags);
    list->score = 0;
    list->piece = p.board[from];
    list->captured = p.board[to];
    return list + 1;
}

// Shifts towards the mover's front: up for white, down for black.
inline Bitboard forward(Bitboard b, int side) { return side == WHITE ? b << 8 : b >> 8; }

inline MoveEntry* add_targets(MoveEntry* list, const Position& p, int from, Bitboard targets) {
    while (targets) list = add(list, p, from, pop_lsb(targets));
    return list;
}

// Castling is written as the king's move to its g- or c-file square; in
// Chess960 that square may hold the castling rook, which is not a capture.
inline MoveEntry* add_castle(MoveEntry* list, const Position& p, int from, int to, Move flag) {
    list->move = make_move_value(from, to, flag);
    list->score = 0;
    list->piece = p.board[from];
    list->captured = 0;
    return list + 1;
}

inline MoveEntry* terminate(MoveEntry* list) {
    list->move = MOVE_END;
    return list;
}

inline MoveEntry* add_promotions(MoveEntry* list, const Position& p, int from, int to, int all) {
    list = add(list, p, from, to, PROMO_Q);
    if (all) {
        list = add(list, p, from, to, PROMO_N);
        list = add(list, p, from, to, PROMO_B);
        list = add(list, p, from, to, PROMO_R);
    }
    return list;
}

}  // namespace

MoveEntry* gen_captures(const Position& p, int side, MoveEntry* list, int target) {
    int o = side * 8;
    Bitboard enemy = p.bb[8 - o];
    Bitboard occ = p.bb[0] | p.bb[8];
    Bitboard t = target == NO_SQ ? enemy : bit(target) & enemy;

    // Pawn captures, lower-file direction first; last-rank captures are
    // promotions and come from gen_promotions.
    Bitboard pawn_t = t & ~(RANK_1 | RANK_8);
    if (p.ep_square != NO_SQ) pawn_t |= bit(p.ep_square);
    Bitboard pawns = p.bb[o + PAWN];
    int d_low = side == WHITE ? 7 : -9, d_high = side == WHITE ? 9 : -7;
    Bitboard low = side == WHITE ? (pawns & ~FILE_A) << 7 : (pawns & ~FILE_A) >> 9;
    Bitboard high = side == WHITE ? (pawns & ~FILE_H) << 9 : (pawns & ~FILE_H) >> 7;
    for (Bitboard b = low & pawn_t; b;) {
        int to = pop_lsb(b);
        list = add(list, p, to - d_low, to);
    }
    for (Bitboard b = high & pawn_t; b;) {
        int to = pop_lsb(b);
        list = add(list, p, to - d_high, to);
    }
    for (Bitboard b = p.bb[o + KNIGHT]; b;) {
        int from = pop_lsb(b);
        list = add_targets(list, p, from, knight_attacks[from] & t);
    }
    for (Bitboard b = p.bb[o + BISHOP]; b;) {
        int from = pop_lsb(b);
        list = add_targets(list, p, from, bishop_attacks(from, occ) & t);
    }
    for (Bitboard b = p.bb[o + ROOK]; b;) {
        int from = pop_lsb(b);
        list = add_targets(list, p, from, rook_attacks(from, occ) & t);
    }
    for (Bitboard b = p.bb[o + QUEEN]; b;) {
        int from = pop_lsb(b);
        list = add_targets(list, p, from, (bishop_attacks(from, occ) | rook_attacks(from, occ)) & t);
    }
    if (p.king_sq[side] != NO_SQ)
        list = add_targets(list, p, p.king_sq[side], king_attacks[p.king_sq[side]] & enemy);
    return terminate(list);
}

MoveEntry* gen_promotions(const Position& p, int side, int all, MoveEntry* list) {
    int o = side * 8;
    Bitboard seventh = side == WHITE ? 0xFFull << 48 : 0xFFull << 8;
    Bitboard enemy = p.bb[8 - o], occ = p.bb[0] | p.bb[8];
    int d = side == WHITE ? 8 : -8;
    for (Bitboard b = p.bb[o + PAWN] & seventh; b;) {
        int from = pop_lsb(b), ahead = from + d;
        if (!(occ & bit(ahead))) list = add_promotions(list, p, from, ahead, all);
        if (file_of(from) > 0 && (enemy & bit(ahead - 1))) list = add_promotions(list, p, from, ahead - 1, all);
        if (file_of(from) < 7 && (enemy & bit(ahead + 1))) list = add_promotions(list, p, from, ahead + 1, all);
    }
    return terminate(list);
}

MoveEntry* gen_pushes_to_seventh(const Position& p, int side, MoveEntry* list) {
    Bitboard sixth = side == WHITE ? 0xFFull << 40 : 0xFFull << 16;
    Bitboard empty = ~(p.bb[0] | p.bb[8]);
    int d = side == WHITE ? 8 : -8;
    for (Bitboard b = forward(p.bb[side * 8 + PAWN] & sixth, side) & empty; b;) {
        int to = pop_lsb(b);
        list = add(list, p, to - d, to);
    }
    return terminate(list);
}

MoveEntry* gen_pawn_pushes(const Position& p, int side, Bitboard target, Bitboard occ, MoveEntry* list) {
    int d = side == WHITE ? 8 : -8;
    Bitboard single = forward(p.bb[side * 8 + PAWN], side) & ~occ;
    for (Bitboard b = single & target; b;) {
        int to = pop_lsb(b);
        list = add(list, p, to - d, to);
    }
    Bitboard third = side == WHITE ? 0xFFull << 16 : 0xFFull << 40;
    for (Bitboard b = forward(single & third, side) & ~occ & target; b;) {
        int to = pop_lsb(b);
        list = add(list, p, to - 2 * d, to);
    }
    return list;
}

MoveEntry* gen_knight_moves(const Position& p, int side, Bitboard target, MoveEntry* list) {
    for (Bitboard b = p.bb[side * 8 + KNIGHT]; b;) {
        int from = pop_lsb(b);
        list = add_targets(list, p, from, knight_attacks[from] & target);
    }
    return list;
}

MoveEntry* gen_bishop_moves(const Position& p, int side, Bitboard target, Bitboard occ, MoveEntry* list) {
    for (Bitboard b = p.bb[side * 8 + BISHOP]; b;) {
        int from = pop_lsb(b);
        list = add_targets(list, p, from, bishop_attacks(from, occ) & target);
    }
    return list;
}

MoveEntry* gen_rook_moves(const Position& p, int side, Bitboard target, Bitboard occ, MoveEntry* list) {
    for (Bitboard b = p.bb[side * 8 + ROOK]; b;) {
        int from = pop_lsb(b);
        list = add_targets(list, p, from, rook_attacks(from, occ) & target);
    }
    return list;
}

MoveEntry* gen_queen_moves(const Position& p, int side, Bitboard target, Bitboard occ, MoveEntry* list) {
    for (Bitboard b = p.bb[side * 8 + QUEEN]; b;) {
        int from = pop_lsb(b);
        list = add_targets(list, p, from, (bishop_attacks(from, occ) | rook_attacks(from, occ)) & target);
    }
    return list;
}

MoveEntry* gen_quiets(const Position& p, int side, MoveEntry* list, int target) {
    Bitboard occ = p.bb[0] | p.bb[8], empty = ~occ;
    int k = p.king_sq[side];
    Bitboard q = empty;
    if (target != NO_SQ) q = k == NO_SQ ? 0 : between[target][k] & empty;
    list = gen_pawn_pushes(p, side, q & RANKS_3_TO_6, occ, list);
    list = gen_knight_moves(p, side, q, list);
    list = gen_bishop_moves(p, side, q, occ, list);
    list = gen_rook_moves(p, side, q, occ, list);
    list = gen_queen_moves(p, side, q, occ, list);
    if (k != NO_SQ) {
        list = add_targets(list, p, k, king_attacks[k] & empty);
        int right = side * 2;
        if ((p.castle & (1 << right)) && !(p.castle_path[right] & occ))
            list = add_castle(list, p, k, square_of(6, rank_of(k)), FLAG_KS);
        if ((p.castle & (2 << right)) && !(p.castle_path[right + 1] & occ))
            list = add_castle(list, p, k, square_of(2, rank_of(k)), FLAG_QS);
    }
    return terminate(list);
}

MoveEntry* gen_quiet_checks(const Position& p, int side, MoveEntry* list) {
    int k = p.king_sq[side ^ 1];
    if (k == NO_SQ) return terminate(list);
    Bitboard occ = p.bb[0] | p.bb[8], empty = ~occ;
    Bitboard diag = bishop_attacks(k, occ) & empty, line = rook_attacks(k, occ) & empty;
    list = gen_pawn_pushes(p, side, pawn_attacks[side ^ 1][k] & empty, occ, list);
    list = gen_knight_moves(p, side, knight_attacks[k] & empty, list);
    list = gen_bishop_moves(p, side, diag, occ, list);
    list = gen_rook_moves(p, side, line, occ, list);
    list = gen_queen_moves(p, side, diag | line, occ, list);
    return terminate(list);
}

MoveEntry* gen_all(const Position& p, MoveEntry* list) {
    int side = p.side;
    list = gen_captures(p, side, list, NO_SQ);
    list = gen_promotions(p, side, 1, list);
    list = gen_pushes_to_seventh(p, side, list);
    return gen_quiets(p, side, list, NO_SQ);
}

// Whether square sq is attacked by colour c when the occupancy is occ and
// the pieces of c on the squares in removed are gone.
static inline bool attacked_under(const Position& p, int sq, int c, Bitboard occ, Bitboard removed) {
    const Bitboard* bb = p.bb;
    int o = c * 8;
    Bitboard keep = ~removed;
    if (pawn_attacks[c ^ 1][sq] & bb[o + PAWN] & keep) return true;
    if (knight_attacks[sq] & bb[o + KNIGHT] & keep) return true;
    if (king_attacks[sq] & bb[o + KING]) return true;
    Bitboard queens = bb[o + QUEEN];
    if (bishop_attacks(sq, occ) & (bb[o + BISHOP] | queens) & keep) return true;
    if (rook_attacks(sq, occ) & (bb[o + ROOK] | queens) & keep) return true;
    return false;
}

int is_legal(const Position& p, int side, Move m) {
    if (!m) return 0;
    int from = move_from(m), to = move_to(m);
    int piece = p.board[from];
    int them = side ^ 1;
    Bitboard occ = p.bb[0] | p.bb[8];
    if (piece_type(piece) == KING && (m & FLAG_MASK)) {
        // The king may not castle out of, through or into check. The
        // castling rook is taken off the board for the test: in Chess960 it
        // can be the piece that shields the king's destination.
        int right = side * 2 + ((m & FLAG_QS) ? 1 : 0);
        int rook = p.castle_rook[right];
        if (rook == NO_SQ) return 0;
        Bitboard test_occ = occ & ~bit(rook) & ~bit(from);
        int step = to > from ? 1 : -1;
        for (int sq = from;; sq += step) {
            if (attacked_under(p, sq, them, test_occ, 0)) return 0;
            if (sq == to) break;
        }
        return 1;
    }
    int k = piece_type(piece) == KING ? to : p.king_sq[side];
    if (k == NO_SQ) return 1;
    Bitboard removed = bit(to);
    Bitboard new_occ = (occ & ~bit(from)) | bit(to);
    if (piece_type(piece) == PAWN && to == p.ep_square) {
        int victim = to + (side == WHITE ? -8 : 8);
        removed |= bit(victim);
        new_occ &= ~bit(victim);
    }
    return !attacked_under(p, k, them, new_occ, removed);
}

int no_legal_move(const Position& p) {
    MoveEntry list[MAX_MOVES];
    gen_all(p, list);
    for (MoveEntry* e = list; e->move != MOVE_END; e++)
        if (is_legal(p, p.side, e->move)) return 0;
    return 1;
}

LegalityInfo legality_info(const Position& p) {
    LegalityInfo li = {0, 0};
    int us = p.side, them = us ^ 1, k = p.king_sq[us];
    if (k == NO_SQ) return li;
    const Bitboard* bb = p.bb;
    int o = them * 8;
    Bitboard occ = bb[0] | bb[8];
    Bitboard diag = bb[o + BISHOP] | bb[o + QUEEN], line = bb[o + ROOK] | bb[o + QUEEN];
    li.checkers = (pawn_attacks[us][k] & bb[o + PAWN]) | (knight_attacks[k] & bb[o + KNIGHT]) |
                  (bishop_attacks(k, occ) & diag) | (rook_attacks(k, occ) & line);
    Bitboard snipers = (bishop_mask[k] & diag) | (rook_mask[k] & line);
    while (snipers) {
        Bitboard b = between[pop_lsb(snipers)][k] & occ;
        if (b && !(b & (b - 1))) li.pinned |= b & bb[us * 8];
    }
    return li;
}
