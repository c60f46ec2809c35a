#include "notation.h"
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include "attacks.h"
#include "movegen.h"

NotationStyle notation_style;

static const char* promo_suffix(Move m) {
    if (m & PROMO_N) return "=N";
    if (m & PROMO_B) return "=B";
    if (m & PROMO_R) return "=R";
    return "=Q";
}

static bool is_castling(const Position& p, Move m) {
    return (m & FLAG_MASK) && piece_type(p.board[move_from(m)]) == KING;
}

static int castling_rook(const Position& p, int side, Move m) {
    return p.castle_rook[side * 2 + ((m & FLAG_QS) ? 1 : 0)];
}

void move_to_text(const Position& p, int side, Move m, char* out) {
    if (!m) {
        strcpy(out, "null");
        return;
    }
    int from = move_from(m), to = move_to(m);
    if ((m & FLAG_MASK) && (rank_of(from) == 0 || rank_of(from) == 7)) {
        if (notation_style.chess960) {
            int rook = castling_rook(p, side, m);
            if (rook != NO_SQ) to = rook;
        }
        sprintf(out, "%s%s", square_names[from], square_names[to]);
        return;
    }
    sprintf(out, "%s%s", square_names[from], square_names[to]);
    if (m & FLAG_MASK) {
        const char* s = promo_suffix(m);
        if (notation_style.protocol) {
            out[4] = char(s[1] - 'A' + 'a');
            out[5] = 0;
        } else {
            strcat(out, s);
        }
    }
}

namespace {

// Castling, promotions and en passant move or remove a second piece: every
// way the mover's pieces reach the king is looked at on the board as it
// stands after the move, as in least_attacker.
int special_gives_check(const Position& p, int side, Move m, int type, int enemy_king) {
    const int from = move_from(m), to = move_to(m);
    const Bitboard* bb = p.bb;
    const int o = side * 8;
    const Bitboard keep = ~bit(from);
    Bitboard pieces[7] = {0, bb[o + PAWN] & keep, bb[o + KNIGHT] & keep, bb[o + BISHOP] & keep,
                          bb[o + ROOK] & keep, bb[o + QUEEN] & keep, bb[o + KING] & keep};
    Bitboard occ = (bb[0] | bb[8]) & keep;
    if (type == KING) {
        // The rook is what gives check after castling.
        int rook = castling_rook(p, side, m);
        if (rook == NO_SQ) return 0;
        int rook_to = (m & FLAG_KS) ? to - 1 : to + 1;
        occ &= ~bit(rook);
        pieces[ROOK] &= ~bit(rook);
        occ |= bit(to) | bit(rook_to);
        pieces[KING] |= bit(to);
        pieces[ROOK] |= bit(rook_to);
    } else {
        if (m & FLAG_MASK) type = promo_type(m);
        else occ &= ~bit(to + (side == WHITE ? -8 : 8));  // the pawn taken en passant
        occ |= bit(to);
        pieces[type] |= bit(to);
    }
    const int k = enemy_king;
    Bitboard hits = (pawn_attacks[side ^ 1][k] & pieces[PAWN]) | (knight_attacks[k] & pieces[KNIGHT]) |
                    (king_attacks[k] & pieces[KING]) |
                    (bishop_attacks(k, occ) & (pieces[BISHOP] | pieces[QUEEN])) |
                    (rook_attacks(k, occ) & (pieces[ROOK] | pieces[QUEEN]));
    return (hits & occ) != 0;
}

}  // namespace

int gives_check(const Position& p, int side, const MoveEntry& e) {
    Move m = e.move;
    int from = move_from(m), to = move_to(m);
    if (from == to || !m) return 0;
    const int k = p.king_sq[side ^ 1];
    if (k == NO_SQ) return 0;
    const int type = piece_type(p.board[from]);
    if ((m & FLAG_MASK) || (type == PAWN && to == p.ep_square)) return special_gives_check(p, side, m, type, k);

    // Any other move can check only with the piece moved, from its new
    // square, or with a slider behind the square it leaves.
    const Bitboard* bb = p.bb;
    const int o = side * 8;
    const Bitboard occ = ((bb[0] | bb[8]) & ~bit(from)) | bit(to);
    const Bitboard king = bit(k);
    switch (type) {
        case PAWN:
            if (pawn_attacks[side ^ 1][k] & bit(to)) return 1;
            break;
        case KNIGHT:
            if (knight_attacks[to] & king) return 1;
            break;
        case BISHOP:
            if ((bishop_mask[to] & king) && !(between[to][k] & occ)) return 1;
            break;
        case ROOK:
            if ((rook_mask[to] & king) && !(between[to][k] & occ)) return 1;
            break;
        case QUEEN:
            if (((bishop_mask[to] | rook_mask[to]) & king) && !(between[to][k] & occ)) return 1;
            break;
        default:
            break;
    }
    const Bitboard moved = bit(from);
    if ((bishop_mask[k] & moved) && (bishop_attacks(k, occ) & (bb[o + BISHOP] | bb[o + QUEEN]) & ~moved)) return 1;
    if ((rook_mask[k] & moved) && (rook_attacks(k, occ) & (bb[o + ROOK] | bb[o + QUEEN]) & ~moved)) return 1;
    return 0;
}

void move_texts(const Position& p, Move m, char* f1, char* f2, char* f3, char* f4) {
    int side = p.side;
    int from = move_from(m), to = move_to(m);
    int piece = p.board[from], type = piece_type(piece);
    int captured = p.board[to];
    move_to_text(p, side, m, f1);
    f2[0] = f3[0] = f4[0] = 0;
    if (!m) return;
    if (type == PAWN) {
        const char* suffix = (m & FLAG_MASK) ? promo_suffix(m) : "";
        if (m & FLAG_MASK) {
            f1[4] = 0;
            strcat(f1, suffix);
        }
        if (captured || to == p.ep_square) {
            sprintf(f2, "%cx%s%s", 'a' + file_of(from), square_names[to], suffix);
            sprintf(f3, "%c%c%s", 'a' + file_of(from), 'a' + file_of(to), suffix);
        } else {
            sprintf(f2, "%s%s", square_names[to], suffix);
        }
    } else if (is_castling(p, m)) {
        bool king_side = m & FLAG_KS;
        int rook = castling_rook(p, side, m);
        strcpy(f2, king_side ? "o-o" : "o-o-o");
        strcpy(f3, king_side ? "O-O" : "O-O-O");
        int other = notation_style.chess960 ? to : (rook == NO_SQ ? to : rook);
        sprintf(f4, "%s%s", square_names[from], square_names[other]);
    } else {
        char letter = piece_letters[type];
        sprintf(f2, "%c", letter);
        sprintf(f3, "%c%c", letter, 'a' + file_of(from));
        sprintf(f4, "%c%c", letter, '1' + rank_of(from));
        if (type != KING) {
            // Disambiguate against every other piece of the kind that can
            // legally reach the destination: file first, then rank, then both.
            Bitboard occ = p.bb[0] | p.bb[8] | bit(to);
            Bitboard reach = 0;
            if (type == KNIGHT) reach = knight_attacks[to];
            if (type == BISHOP || type == QUEEN) reach |= bishop_attacks(to, occ);
            if (type == ROOK || type == QUEEN) reach |= rook_attacks(to, occ);
            Bitboard others = reach & p.bb[piece] & ~bit(from);
            bool any = false, same_file = false, same_rank = false;
            while (others) {
                int o = pop_lsb(others);
                if (!is_legal(p, side, make_move_value(o, to))) continue;
                any = true;
                same_file |= file_of(o) == file_of(from);
                same_rank |= rank_of(o) == rank_of(from);
            }
            if (any) {
                if (!same_file) strcpy(f2, f3);
                else if (!same_rank) strcpy(f2, f4);
                else sprintf(f2, "%c%s", letter, square_names[from]);
            }
        }
        if (captured) {
            strcat(f2, "x");
            strcat(f3, "x");
            strcat(f4, "x");
        }
        strcat(f2, square_names[to]);
        strcat(f3, square_names[to]);
        strcat(f4, square_names[to]);
    }
    MoveEntry e = {m, 0, uint8_t(piece), uint8_t(captured)};
    if (gives_check(p, side, e)) {
        for (char* f : {f1, f2, f3, f4})
            if (f[0]) strcat(f, "+");
    }
}

static void cut_at_plus(char* s) {
    if (char* c = strchr(s, '+')) *c = 0;
}

int parse_move(const Position& p, char* text, Move& out) {
    cut_at_plus(text);
    size_t n = strlen(text);
    if (n == 0 || n > 12) return 0;
    char last = text[n - 1];
    char up = (last >= 'a' && last <= 'z') ? char(last - 32) : last;
    if (up == 'B' || up == 'N' || up == 'Q' || up == 'R') {
        if (n >= 2 && text[n - 2] == '=') {
            text[n - 1] = up;
        } else {
            text[n - 1] = '=';
            text[n] = up;
            text[n + 1] = 0;
        }
    }
    for (char* c = text; *c; c++)
        if (*c == '0' || *c == 'O') *c = 'o';

    MoveEntry list[MAX_MOVES];
    gen_all(p, list);
    int found = 0, found_first = 0;
    Move match = 0, match_first = 0;
    char f[4][16];
    for (MoveEntry* e = list; e->move != MOVE_END; e++) {
        move_texts(p, e->move, f[0], f[1], f[2], f[3]);
        bool hit = false, hit_first = false;
        for (auto& form : f) {
            cut_at_plus(form);
            if (form[0] && strcmp(form, text) == 0) hit = true, hit_first |= &form == &f[0];
        }
        if (hit && is_legal(p, p.side, e->move)) {
            found++;
            match = e->move;
            if (hit_first) found_first++, match_first = e->move;
        }
    }
    // A Chess960 king move to the c- or g-file can be spelt like a castling
    // move; the move whose own coordinate text it is wins.
    if (found > 1 && found_first == 1) {
        out = match_first;
        return 1;
    }
    if (found > 1) {
        printf("ambiguous move\n");
        return 0;
    }
    if (found == 1) out = match;
    return found;
}
