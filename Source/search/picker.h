// The staged move picker and the per-thread ordering tables it reads.
#pragma once
#include "thread.h"

// What the picker hands out: captures and promotions (quiescence below its
// first ply), those and quiet checks (its first ply), or every move.
enum PickerMode : uint8_t { PICK_TACTICAL = 1, PICK_TACTICAL_CHECKS = 3, PICK_ALL = 4 };

// The picker's stages, in order: the table move, generating and handing out
// the tactical moves that do not lose material, generating the quiet moves
// (or quiet checks) and handing out those with a useful score, then the
// rest in list order (losing tactical moves included).
enum PickerStage : uint8_t {
    STAGE_TABLE_MOVE = 0,
    STAGE_MAKE_TACTICAL = 1,
    STAGE_GOOD_TACTICAL = 2,
    STAGE_MAKE_QUIET = 3,
    STAGE_GOOD_QUIET = 4,
    STAGE_REST = 5,
};

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
