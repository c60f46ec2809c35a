#include "makemove.h"
#include "history.h"
#include "attacks.h"
#include "movegen.h"
#include "zobrist.h"

void remove_piece(Position& p, int sq) {
    int code = p.board[sq];
    p.board[sq] = 0;
    p.bb[code] &= ~bit(sq);
    p.bb[code & 8] &= ~bit(sq);
    p.counts[piece_colour(code)] -= count_increment[piece_type(code)];
}

void put_piece(Position& p, int colour, int type, int sq) {
    int code = make_piece(colour, type);
    p.board[sq] = uint8_t(code);
    p.bb[code] |= bit(sq);
    p.bb[colour * 8] |= bit(sq);
    p.counts[colour] += count_increment[type];
    if (type == KING) p.king_sq[colour] = uint8_t(sq);
}

void move_piece(Position& p, int colour, int from, int to) {
    int code = p.board[from];
    Bitboard ft = bit(from) | bit(to);
    p.board[from] = 0;
    p.board[to] = uint8_t(code);
    p.bb[code] ^= ft;
    p.bb[colour * 8] ^= ft;
}

// The castling rights left once a king or rook has stood on or left a
// square of touched.
static inline uint8_t rights_after(const Position& p, Bitboard touched) {
    uint8_t castle = p.castle;
    for (int i = 0; i < 4; i++)
        if (touched & p.castle_mask[i]) castle &= uint8_t(~(1 << i));
    return castle;
}

void make_move(Position& p, Move m) {
    GameHistory* h = p.history;
    int from = move_from(m), to = move_to(m);
    int piece = p.board[from], captured = p.board[to];
    int us = p.side, them = us ^ 1;
    bool castling = (m & FLAG_MASK) && piece_type(piece) == KING;
    if (castling) {
        to = square_of((m & FLAG_KS) ? 6 : 2, rank_of(from));
        captured = 0;
        m = make_move_value(from, to, m & (FLAG_KS | FLAG_QS));
    }
    UndoRecord& u = h->records[h->depth++];
    h->ply++;
    u.key = p.key;
    u.pawn_key = p.pawn_key;
    u.move = m;
    u.captured = uint8_t(piece_type(captured));
    u.ep_square = p.ep_square;
    u.touched = p.touched;
    u.fifty = p.fifty;
    u.castle = p.castle;
    h->last_move = m;

    int old_ep = p.ep_square, old_castle = p.castle;
    p.ep_square = NO_SQ;
    p.touched |= bit(from) | bit(to);
    p.castle = rights_after(p, p.touched);
    p.fifty += p.fifty < 255;  // a long shuffle from a FEN with a high counter must not wrap to 0
    p.side = uint8_t(them);
    if (old_ep != NO_SQ) p.key ^= zobrist[0][old_ep];
    if (p.castle != old_castle) p.key ^= zobrist[0][old_castle] ^ zobrist[0][p.castle];

    if (castling) {
        int right = us * 2 + ((m & FLAG_QS) ? 1 : 0);
        int rook = p.castle_rook[right];
        int rook_to = (m & FLAG_KS) ? to - 1 : to + 1;
        int king_code = piece, rook_code = make_piece(us, ROOK);
        remove_piece(p, rook);
        if (from != to) move_piece(p, us, from, to);
        put_piece(p, us, ROOK, rook_to);
        p.fifty = 0;
        toggle_key(p, king_code, from);
        toggle_key(p, king_code, to);
        toggle_key(p, rook_code, rook);
        toggle_key(p, rook_code, rook_to);
        p.king_sq[us] = uint8_t(to);
        return;
    }
    if (captured) {
        remove_piece(p, to);
        toggle_key(p, captured, to);
        p.fifty = 0;
    }
    if (from != to) move_piece(p, us, from, to);
    toggle_key(p, piece, from);
    toggle_key(p, piece, to);
    int type = piece_type(piece);
    if (type == KING) {
        p.king_sq[us] = uint8_t(to);
        return;
    }
    if (type != PAWN) return;

    p.fifty = 0;
    int d = us == WHITE ? 8 : -8;
    if (to == from + 2 * d) {
        if (pawn_attacks[us][from + d] & p.bb[make_piece(them, PAWN)]) {
            p.ep_square = uint8_t(from + d);
            p.key ^= zobrist[0][from + d];
        }
    } else if (to == old_ep) {
        remove_piece(p, to - d);
        toggle_key(p, make_piece(them, PAWN), to - d);
    } else if (rank_of(to) == 0 || rank_of(to) == 7) {
        remove_piece(p, to);
        toggle_key(p, piece, to);
        int promo = promo_type(m);
        put_piece(p, us, promo, to);
        toggle_key(p, make_piece(us, promo), to);
    }
}

uint64_t key_after(const Position& p, Move m) {
    int from = move_from(m), to = move_to(m);
    int piece = p.board[from], captured = p.board[to];
    int us = p.side, them = us ^ 1;
    uint64_t key = p.key;
    if (p.ep_square != NO_SQ) key ^= zobrist[0][p.ep_square];
    uint8_t castle = rights_after(p, p.touched | bit(from) | bit(to));
    if (castle != p.castle) key ^= zobrist[0][p.castle] ^ zobrist[0][castle];

    if ((m & FLAG_MASK) && piece_type(piece) == KING) {
        int right = us * 2 + ((m & FLAG_QS) ? 1 : 0);
        int king_to = square_of((m & FLAG_KS) ? 6 : 2, rank_of(from));
        int rook_to = (m & FLAG_KS) ? king_to - 1 : king_to + 1;
        int rook_code = make_piece(us, ROOK);
        return key ^ zobrist[piece][from] ^ zobrist[piece][king_to] ^ zobrist[rook_code][p.castle_rook[right]] ^
               zobrist[rook_code][rook_to];
    }
    if (captured) key ^= zobrist[captured][to];
    key ^= zobrist[piece][from] ^ zobrist[piece][to];
    if (piece_type(piece) != PAWN) return key;
    int d = us == WHITE ? 8 : -8;
    if (to == from + 2 * d) {
        if (pawn_attacks[us][from + d] & p.bb[make_piece(them, PAWN)]) key ^= zobrist[0][from + d];
    } else if (to == p.ep_square) {
        key ^= zobrist[make_piece(them, PAWN)][to - d];
    } else if (rank_of(to) == 0 || rank_of(to) == 7) {
        key ^= zobrist[piece][to] ^ zobrist[make_piece(us, promo_type(m))][to];
    }
    return key;
}

void unmake_move(Position& p) {
    GameHistory* h = p.history;
    const UndoRecord& u = h->records[--h->depth];
    h->ply--;
    h->last_move = h->depth > 0 ? h->records[h->depth - 1].move : 0;
    p.ep_square = u.ep_square;
    p.castle = u.castle;
    p.fifty = u.fifty;
    p.touched = u.touched;
    p.side ^= 1;
    int us = p.side, them = us ^ 1;
    Move m = u.move;
    int from = move_from(m), to = move_to(m);
    int piece = p.board[to];

    if ((m & FLAG_MASK) && piece_type(piece) == KING) {
        int right = us * 2 + ((m & FLAG_QS) ? 1 : 0);
        int rook_to = (m & FLAG_KS) ? to - 1 : to + 1;
        remove_piece(p, rook_to);
        if (from != to) move_piece(p, us, to, from);
        put_piece(p, us, ROOK, p.castle_rook[right]);
        p.king_sq[us] = uint8_t(from);
    } else {
        if ((m & FLAG_MASK) && piece_type(piece) != KING) {
            remove_piece(p, to);
            put_piece(p, us, PAWN, from);
        } else if (from != to) {
            move_piece(p, us, to, from);
        }
        if (u.captured) put_piece(p, them, u.captured, to);
        if (piece_type(piece) == PAWN && to == u.ep_square)
            put_piece(p, them, PAWN, to + (us == WHITE ? -8 : 8));
        if (piece_type(piece) == KING) p.king_sq[us] = uint8_t(from);
    }
    p.key = u.key;
    p.pawn_key = u.pawn_key;
}

void make_null(Position& p) {
    GameHistory* h = p.history;
    UndoRecord& u = h->records[h->depth++];
    h->ply++;
    u.key = p.key;
    u.pawn_key = p.pawn_key;
    u.move = 0;
    u.captured = 0;
    u.ep_square = p.ep_square;
    u.touched = p.touched;
    u.fifty = p.fifty;
    u.castle = p.castle;
    if (p.ep_square != NO_SQ) p.key ^= zobrist[0][p.ep_square];
    p.ep_square = NO_SQ;
    p.side ^= 1;
    h->last_move = 0;
}

void unmake_null(Position& p) {
    GameHistory* h = p.history;
    const UndoRecord& u = h->records[--h->depth];
    h->ply--;
    h->last_move = h->depth > 0 ? h->records[h->depth - 1].move : 0;
    p.side ^= 1;
    p.ep_square = u.ep_square;
    p.fifty = u.fifty;
    p.key = u.key;
}

int is_draw(const Position& p, int ply, int mate_check) {
    if (p.fifty <= 3) return 0;
    if (p.fifty >= 100 && !(mate_check && no_legal_move(p))) return 1;
    const GameHistory* h = p.history;
    int depth = h->depth;
    bool earlier = false;
    for (int i = depth - 2; i >= 0 && h->records[i].move; i -= 2) {
        if (h->records[i].key != p.key) continue;
        if (i > depth - ply) return 1;
        if (earlier) return 1;
        earlier = true;
    }
    return 0;
}
