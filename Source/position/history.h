// The record of the moves made on a board: what make_move keeps so that
// unmake_move can restore the position, and the keys the repetition test
// walks back through. A board without one (a bare Position) cannot make
// moves; the search workers and the game each own one.
#pragma once
#include "types.h"

// Records of the game and the search together.
constexpr int MAX_HISTORY = 900;

struct UndoRecord {
    uint64_t key;
    uint64_t pawn_key;
    Move move;  // 0 for a null move
    uint8_t captured;
    uint8_t ep_square;
    uint8_t fifty;
    uint8_t castle;
    Bitboard touched;
};

struct GameHistory {
    UndoRecord records[MAX_HISTORY];
    int16_t depth;   // records in use
    int16_t ply;     // plies made since the search's root, 1 at the root
    Move last_move;  // the last move made, 0 after a null move or none
};
