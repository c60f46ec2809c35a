// Basic chess types shared by every subsystem: squares, colours, pieces,
// the packed 16-bit move and the move-list entry.
#pragma once
#include <cstdint>

using Bitboard = uint64_t;
using Move = uint16_t;

constexpr int WHITE = 0, BLACK = 1;
constexpr int PAWN = 1, KNIGHT = 2, BISHOP = 3, ROOK = 4, QUEEN = 5, KING = 6;
constexpr int NO_SQ = 64;

constexpr int make_piece(int colour, int type) { return colour * 8 + type; }
constexpr int piece_type(int code) { return code & 7; }
constexpr int piece_colour(int code) { return code >> 3; }

constexpr int square_of(int file, int rank) { return rank * 8 + file; }
constexpr int file_of(int sq) { return sq & 7; }
constexpr int rank_of(int sq) { return sq >> 3; }

// Move layout: destination in bits 0-5, origin in bits 8-13, flags 0x40,
// 0x80 (castling side or queen/knight promotion), 0x4000, 0x8000 (bishop,
// rook promotion). 0 is the null move, 0xFFFF ends a move list.
constexpr Move FLAG_KS = 0x40, FLAG_QS = 0x80;
constexpr Move PROMO_Q = 0x40, PROMO_N = 0x80, PROMO_B = 0x4000, PROMO_R = 0x8000;
constexpr Move FLAG_MASK = 0xC0C0;
constexpr Move MOVE_END = 0xFFFF;
// Room for the longest pseudo-legal move list of any position, terminator included.
constexpr int MAX_MOVES = 320;

constexpr int move_to(Move m) { return m & 63; }
constexpr int move_from(Move m) { return (m >> 8) & 63; }
constexpr Move make_move_value(int from, int to, Move flags = 0) { return Move(from << 8 | to | flags); }

// Piece type a promotion flag stands for (queen when 0x40, and as a default).
constexpr int promo_type(Move m) {
    return (m & PROMO_N) ? KNIGHT : (m & PROMO_B) ? BISHOP : (m & PROMO_R) ? ROOK : QUEEN;
}

struct MoveEntry {
    Move move;
    int16_t score;
    uint8_t piece;
    uint8_t captured;
};
static_assert(sizeof(MoveEntry) == 6, "MoveEntry is three 16-bit words");

// Castling right bits and their index order.
constexpr int CASTLE_WK = 1, CASTLE_WQ = 2, CASTLE_BK = 4, CASTLE_BQ = 8;

extern const char* const square_names[64];
extern const char piece_letters[];  // " PNBRQK pnbrqk", indexed by type or 7 + type
