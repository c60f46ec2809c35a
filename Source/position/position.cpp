#include "position.h"
#include <cstdio>
#include <cstring>
#include "history.h"
#include "attacks.h"
#include "zobrist.h"

const char* const square_names[64] = {
    "a1", "b1", "c1", "d1", "e1", "f1", "g1", "h1", "a2", "b2", "c2", "d2", "e2", "f2", "g2", "h2",
    "a3", "b3", "c3", "d3", "e3", "f3", "g3", "h3", "a4", "b4", "c4", "d4", "e4", "f4", "g4", "h4",
    "a5", "b5", "c5", "d5", "e5", "f5", "g5", "h5", "a6", "b6", "c6", "d6", "e6", "f6", "g6", "h6",
    "a7", "b7", "c7", "d7", "e7", "f7", "g7", "h7", "a8", "b8", "c8", "d8", "e8", "f8", "g8", "h8"};
const char piece_letters[] = " PNBRQK pnbrqk";
const char* const start_fen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

static void reset_history(GameHistory* h) {
    if (!h) return;
    h->depth = 0;
    h->ply = 1;
    h->last_move = 0;
}

void clear_position(Position& p) {
    memset(p.board, 0, sizeof p.board);
    memset(p.bb, 0, sizeof p.bb);
    p.counts[0] = p.counts[1] = 0;
    p.touched = 0;
    p.fifty = 0;
    p.king_sq[0] = p.king_sq[1] = NO_SQ;
    p.ep_square = NO_SQ;
    p.castle = 0;
    reset_history(p.history);
}

static int piece_from_letter(char c) {
    switch (c) {
        case 'P': return 1; case 'N': return 2; case 'B': return 3;
        case 'R': return 4; case 'Q': return 5; case 'K': return 6;
        case 'p': return 9; case 'n': return 10; case 'b': return 11;
        case 'r': return 12; case 'q': return 13; case 'k': return 14;
        default: return 0;
    }
}

static void place(Position& p, int code, int sq) {
    p.board[sq] = uint8_t(code);
    p.bb[code] |= bit(sq);
    p.bb[code & 8] |= bit(sq);
    p.counts[piece_colour(code)] += count_increment[piece_type(code)];
    if (piece_type(code) == KING) p.king_sq[piece_colour(code)] = uint8_t(sq);
}

static const char* skip_spaces(const char* s) {
    while (*s == ' ' || *s == '\t') s++;
    return s;
}

// Keeps a FEN en-passant square only when a capture onto it is possible,
// the same rule make_move uses, so equal positions get equal keys however
// they were reached and a bogus field cannot make the generator take a
// pawn that is not there.
static int checked_ep_square(const Position& p, int sq) {
    if (sq < 0 || sq >= 64) return NO_SQ;
    int us = p.side, them = us ^ 1;
    int ep_rank = us == WHITE ? 5 : 2;
    int d = us == WHITE ? 8 : -8;  // the victim stands at sq - d, it came from sq + d
    if (rank_of(sq) != ep_rank || p.board[sq] || p.board[sq + d]) return NO_SQ;
    if (p.board[sq - d] != make_piece(them, PAWN)) return NO_SQ;
    if (!(pawn_attacks[them][sq] & p.bb[make_piece(us, PAWN)])) return NO_SQ;
    return sq;
}

int set_fen(Position& p, const char* text) {
    clear_position(p);
    const char* s = skip_spaces(text);
    int rank = 7, file = 0, pieces[2] = {0, 0};
    for (; *s && *s != ' ' && *s != '\t'; s++) {
        char c = *s;
        if (c == '/') {
            // Every rank covers exactly eight files: a short one would put
            // the pieces of the next ranks on the wrong squares.
            if (file != 8 || --rank < 0) return -1;
            file = 0;
        } else if (c >= '1' && c <= '8') {
            file += c - '0';
            if (file > 8) return -1;  // over-long rank
        } else if (int code = piece_from_letter(c)) {
            if (file > 7) return -1;
            int colour = piece_colour(code);
            // Pawns on a back rank, a second king or more than sixteen men of
            // one colour cannot be played on soundly (and would overflow the
            // packed piece counts), so such texts are refused.
            if (piece_type(code) == PAWN && (rank == 0 || rank == 7)) return -1;
            if (piece_type(code) == KING && p.king_sq[colour] != NO_SQ) return -1;
            if (++pieces[colour] > 16) return -1;
            place(p, code, square_of(file, rank));
            file++;
        } else {
            return -1;  // not a piece, a count or a rank separator
        }
    }
    if (rank != 0 || file != 8) return -1;  // fewer than eight whole ranks
    s = skip_spaces(s);
    if (*s == 'w') p.side = WHITE;
    else if (*s == 'b') p.side = BLACK;
    if (*s) s++;

    if (p.king_sq[WHITE] == NO_SQ || p.king_sq[BLACK] == NO_SQ) return -1;
    if (king_attacks[p.king_sq[WHITE]] & bit(p.king_sq[BLACK])) return -1;
    if (is_attacked(p, p.king_sq[p.side ^ 1], p.side)) return -1;

    char field[16];
    s = skip_spaces(s);
    int n = 0;
    for (; *s && *s != ' ' && *s != '\t'; s++)
        if (n < 15) field[n++] = *s;
    field[n] = 0;
    set_castling(p, field);

    s = skip_spaces(s);
    int ep = -1;
    for (; *s && *s != ' ' && *s != '\t'; s++) {
        if (*s >= 'a' && *s <= 'h') ep = (ep < 0 ? 0 : ep & ~7) + (*s - 'a');
        else if (*s >= '1' && *s <= '8' && ep >= 0) ep = (ep & 7) + (*s - '1') * 8;
    }
    p.ep_square = uint8_t(checked_ep_square(p, ep));

    s = skip_spaces(s);
    p.fifty = 0;
    if (*s >= '0' && *s <= '9') {
        int v = 0;
        for (; *s >= '0' && *s <= '9'; s++)
            if (v < 1000) v = v * 10 + (*s - '0');
        p.fifty = uint8_t(v > 255 ? 255 : v);
    }
    compute_keys(p);
    if (p.history) {
        memset(&p.history->records[0], 0, 2 * sizeof(UndoRecord));
        reset_history(p.history);
    }
    return 0;
}

// Right index 0..3 (WK, WQ, BK, BQ): king and rook destinations.
static const int king_dest[4] = {6, 2, 62, 58};
static const int rook_dest[4] = {5, 3, 61, 59};

void set_castling(Position& p, const char* text) {
    for (int i = 0; i < 4; i++) {
        p.castle_mask[i] = p.castle_path[i] = 0;
        p.castle_rook[i] = NO_SQ;
    }
    p.castle = 0;
    // Per right: the requested rook file, 8 = the outermost rook on that side.
    int want[4] = {-1, -1, -1, -1};
    for (const char* c = text; *c; c++) {
        int colour = -1, file = -1, right = -1;
        if (*c == 'K') right = 0;
        else if (*c == 'Q') right = 1;
        else if (*c == 'k') right = 2;
        else if (*c == 'q') right = 3;
        else if (*c >= 'A' && *c <= 'H') colour = WHITE, file = *c - 'A';
        else if (*c >= 'a' && *c <= 'h') colour = BLACK, file = *c - 'a';
        else continue;
        if (right >= 0) {
            want[right] = 8;
            continue;
        }
        int k = p.king_sq[colour];
        if (k == NO_SQ) continue;
        want[colour * 2 + (file > file_of(k) ? 0 : 1)] = file;
    }
    for (int i = 0; i < 4; i++) {
        if (want[i] < 0) continue;
        int colour = i >> 1, back = colour == WHITE ? 0 : 7;
        int k = p.king_sq[colour];
        if (k == NO_SQ || rank_of(k) != back) continue;
        Bitboard rooks = p.bb[make_piece(colour, ROOK)] & (Bitboard(0xFF) << (8 * back));
        Bitboard side = (i & 1) == 0 ? rooks & ~((bit(k) << 1) - 1) : rooks & (bit(k) - 1);
        if (!side) continue;
        int r;
        if (want[i] == 8) {
            // Plain letters name the outermost rook on that side.
            r = (i & 1) == 0 ? msb(side) : lsb(side);
        } else {
            r = square_of(want[i], back);
            if (!(side & bit(r))) continue;
        }
        int kd = king_dest[i], rd = rook_dest[i];
        p.castle_rook[i] = uint8_t(r);
        p.castle |= uint8_t(1 << i);
        p.castle_mask[i] = bit(k) | bit(r);
        p.castle_path[i] = (between[k][kd] | between[r][rd] | bit(kd) | bit(rd)) & ~(bit(k) | bit(r));
    }
}

void get_fen(const Position& p, char* out, int with_counters) {
    char* o = out;
    for (int rank = 7; rank >= 0; rank--) {
        int empty = 0;
        for (int file = 0; file < 8; file++) {
            int code = p.board[square_of(file, rank)];
            if (!code) {
                empty++;
                continue;
            }
            if (empty) *o++ = char('0' + empty), empty = 0;
            *o++ = piece_letters[piece_colour(code) ? 7 + piece_type(code) : piece_type(code)];
        }
        if (empty) *o++ = char('0' + empty);
        if (rank) *o++ = '/';
    }
    *o++ = ' ';
    *o++ = p.side == WHITE ? 'w' : 'b';
    *o++ = ' ';
    if (!p.castle) *o++ = '-';
    if (p.castle & CASTLE_WK) *o++ = 'K';
    if (p.castle & CASTLE_WQ) *o++ = 'Q';
    if (p.castle & CASTLE_BK) *o++ = 'k';
    if (p.castle & CASTLE_BQ) *o++ = 'q';
    *o++ = ' ';
    if (p.ep_square == NO_SQ) *o++ = '-';
    else *o++ = square_names[p.ep_square][0], *o++ = square_names[p.ep_square][1];
    *o = 0;
    if (with_counters) sprintf(o, " %d %d", p.fifty, p.history ? p.history->depth : 0);
}
