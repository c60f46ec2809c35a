// The staged move picker and the per-thread ordering tables it reads.
#pragma once
#include "thread.h"

constexpr int PICK_TACTICAL = 1, PICK_TACTICAL_CHECKS = 3, PICK_ALL = 4;

// Next pseudo-legal move of the thread's current ply, best first, or
// nullptr when the picker is exhausted. The caller tests legality.
MoveEntry* next_move(Position& p);
// Moves the highest-scoring entry from e to the end marker into e's place;
// the first of equal scores wins.
void pick_best(MoveEntry* e);
// Killers and counter-moves cleared, history back to its start value.
void init_history(SearchThread& t);
// Ordering score of a quiet move at the thread's current ply.
int quiet_score(const SearchThread& t, const PlyEntry& pe, const MoveEntry& e);
// Ordering score of a capture or promotion (with_see: losing ones sorted low).
int tactical_score(const Position& p, const MoveEntry& e, bool with_see);
