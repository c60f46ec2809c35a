// Playing and taking back moves on the owning thread's history stack, and
// the fifty-move and repetition draw test.
#pragma once
#include "position.h"

void make_move(Position& p, Move m);
void unmake_move(Position& p);
void make_null(Position& p);
void unmake_null(Position& p);

void remove_piece(Position& p, int sq);
void put_piece(Position& p, int colour, int type, int sq);
void move_piece(Position& p, int colour, int from, int to);

int is_draw(const Position& p, int ply, int mate_check);

// The key the position will have once m is made, without making it: lets
// the search ask for the child's table entry before it plays the move.
uint64_t key_after(const Position& p, Move m);
