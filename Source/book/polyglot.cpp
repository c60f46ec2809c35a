#include "polyglot.h"
#include "../position/attacks.h"
#include "polyglot_random.h"

uint64_t polyglot_key(const Position& p) {
    uint64_t key = 0;
    for (int sq = 0; sq < 64; sq++) {
        int code = p.board[sq];
        if (!code) continue;
        // The format orders the kinds black pawn, white pawn, black knight, ...
        int kind = 2 * (piece_type(code) - 1) + (piece_colour(code) == WHITE ? 1 : 0);
        key ^= polyglot_random[64 * kind + sq];
    }
    static const int rights[4] = {CASTLE_WK, CASTLE_WQ, CASTLE_BK, CASTLE_BQ};
    for (int i = 0; i < 4; i++)
        if (p.castle & rights[i]) key ^= polyglot_random[POLYGLOT_CASTLE + i];
    // The board keeps the en-passant square only after a double step that a
    // pawn could answer, but the format asks for exactly that (legal or not),
    // so the test is made here again rather than trusted.
    if (p.ep_square < 64) {
        int us = p.side, them = us ^ 1;
        if (pawn_attacks[them][p.ep_square] & p.bb[make_piece(us, PAWN)])
            key ^= polyglot_random[POLYGLOT_EN_PASSANT + file_of(p.ep_square)];
    }
    if (p.side == WHITE) key ^= polyglot_random[POLYGLOT_TURN];
    return key;
}

Move book_move_to_move(uint16_t book_move) {
    int to = book_move & 63, from = (book_move >> 6) & 63, promo = (book_move >> 12) & 7;
    if (promo > 4) return 0;
    if (from == 4 && to == 7) return make_move_value(4, 6, FLAG_KS);
    if (from == 4 && to == 0) return make_move_value(4, 2, FLAG_QS);
    if (from == 60 && to == 63) return make_move_value(60, 62, FLAG_KS);
    if (from == 60 && to == 56) return make_move_value(60, 58, FLAG_QS);
    static const Move promo_flag[5] = {0, PROMO_N, PROMO_B, PROMO_R, PROMO_Q};
    return make_move_value(from, to, promo_flag[promo]);
}

uint16_t move_to_book_move(Move m) {
    int from = move_from(m), to = move_to(m);
    if (m & FLAG_MASK) {
        if (rank_of(from) == 0 || rank_of(from) == 7) {
            to = square_of((m & FLAG_KS) ? 7 : 0, rank_of(from));
            return uint16_t(from << 6 | to);
        }
        int promo = (m & PROMO_N) ? 1 : (m & PROMO_B) ? 2 : (m & PROMO_R) ? 3 : 4;
        return uint16_t(promo << 12 | from << 6 | to);
    }
    return uint16_t(from << 6 | to);
}

void encode_book_entry(const BookEntry& e, unsigned char* out) {
    for (int i = 0; i < 8; i++) out[i] = uint8_t(e.key >> (56 - 8 * i));
    out[8] = uint8_t(e.move >> 8);
    out[9] = uint8_t(e.move);
    out[10] = uint8_t(e.weight >> 8);
    out[11] = uint8_t(e.weight);
    for (int i = 0; i < 4; i++) out[12 + i] = uint8_t(e.learn >> (24 - 8 * i));
}

BookEntry decode_book_entry(const unsigned char* in) {
    BookEntry e;
    e.key = 0;
    for (int i = 0; i < 8; i++) e.key = e.key << 8 | in[i];
    e.move = uint16_t(in[8] << 8 | in[9]);
    e.weight = uint16_t(in[10] << 8 | in[11]);
    e.learn = uint32_t(in[12]) << 24 | uint32_t(in[13]) << 16 | uint32_t(in[14]) << 8 | in[15];
    return e;
}
