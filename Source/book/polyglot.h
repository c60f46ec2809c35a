// The Polyglot book format: the position hash, the 16-byte entry and the
// conversions between its move encoding and ours.
#pragma once
#include <cstdint>
#include "../position/position.h"

// One book entry as stored: key, move, weight, learn (big-endian on disk).
struct BookEntry {
    uint64_t key;
    uint16_t move;  // bits 0-5 to, 6-11 from, 12-14 promotion (1 N, 2 B, 3 R, 4 Q)
    uint16_t weight;
    uint32_t learn;
};
constexpr int BOOK_ENTRY_SIZE = 16;

// The Polyglot hash of the position: pieces, castling rights, the
// en-passant file when a pawn of the side to move stands ready to take,
// and the turn number when White is to move.
uint64_t polyglot_key(const Position& p);

// Book move to Move. Castling is stored as the king taking its own rook
// (e1h1, e1a1, e8h8, e8a8) and becomes the king's move with the castling
// flag; only the squares are looked at. 0 for a promotion code above 4.
Move book_move_to_move(uint16_t book_move);
// Move to book move; castling (a flagged move from the first or last
// rank) is written as the king moving onto the corner rook's square.
uint16_t move_to_book_move(Move m);

// Entry packing in the file's byte order.
void encode_book_entry(const BookEntry& e, unsigned char* out);
BookEntry decode_book_entry(const unsigned char* in);
