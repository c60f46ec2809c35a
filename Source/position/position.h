// The board record and its set-up from and to FEN text.
#pragma once
#include "types.h"

struct SearchThread;
struct GameHistory;

struct Position {
    SearchThread* thread;      // the search worker that owns the board, if any (never looked into here)
    GameHistory* history;      // records every move made here; none: no moves can be made
    uint8_t board[64];         // piece code per square, 0 = empty
    Bitboard bb[16];           // by piece code; bb[0] / bb[8] = white / black occupancy
    Bitboard touched;          // origins and destinations of moves since set-up
    Bitboard castle_mask[4];   // king bit | rook bit per right (WK, WQ, BK, BQ)
    Bitboard castle_path[4];   // squares that must be empty to castle
    uint64_t key;              // Zobrist key without the side to move
    uint64_t pawn_key;
    int32_t counts[2];         // packed piece counts, 4 bits per type
    uint8_t castle_rook[4];
    uint8_t king_sq[2];
    uint8_t side;
    uint8_t ep_square;
    uint8_t castle;
    uint8_t fifty;
};

// Increment of each piece type in the packed counts (kings add nothing).
constexpr int32_t count_increment[8] = {0, 1, 16, 256, 4096, 65536, 0, 0};
inline int piece_count(const Position& p, int colour, int type) {
    return (p.counts[colour] >> (4 * (type - 1))) & 15;
}
inline Bitboard occupancy(const Position& p) { return p.bb[0] | p.bb[8]; }

void clear_position(Position& p);
int set_fen(Position& p, const char* text);
void set_castling(Position& p, const char* text);
void get_fen(const Position& p, char* out, int with_counters);

extern const char* const start_fen;
