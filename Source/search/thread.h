// The per-worker search block. Allocated once per worker index and reused.
#pragma once
#include "../position/position.h"

constexpr int MAX_HISTORY = 900;
constexpr int MAX_PLY = 81;
constexpr int MOVES_PER_PLY = MAX_MOVES;
constexpr int MAX_THREADS = 512;

struct UndoRecord {
    uint64_t key;
    uint64_t pawn_key;
    Move move;
    uint8_t captured;
    uint8_t ep_square;
    uint8_t fifty;
    uint8_t castle;
    Bitboard touched;
};

struct PlyEntry {
    int16_t in_check;
    uint8_t check_sq;   // square of the checking piece, 64 = none
    MoveEntry* moves;   // start of this ply's block of the move buffer
};

struct SearchThread {
    UndoRecord history[MAX_HISTORY];
    PlyEntry plies[MAX_PLY + 1];
    MoveEntry move_buffer[MAX_PLY + 1][MOVES_PER_PLY];
    Position pos;
    int16_t history_depth;
    int16_t ply;
    Move last_move;
    int16_t index;
    uint32_t seed;
    uint64_t nodes;
};

extern SearchThread* thread_table[MAX_THREADS];

// Points every ply's move list at its block of the move buffer.
void setup_move_lists(SearchThread& t);
// Copies the game block's position and history into block t for a search.
void copy_root(SearchThread& t, const SearchThread& game);
