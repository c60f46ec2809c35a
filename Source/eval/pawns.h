// Pawn structure: the terms that depend only on the pawns and on which
// half of the board each king stands, kept per thread in the pawn cache.
#pragma once
#include "../position/position.h"
#include "eval_state.h"

// The cache key: the pawn key, changed by the kings' halves because the
// halves pick the orientation and the pawn table.
uint64_t pawn_cache_key(const Position& p);

// Packed totals of both sides (pawn material, the pawn tables, connected
// and defended pawns, isolated, weak and doubled pawns). Served from the
// cache when the entry matches, except at plies 0 and 1, which always
// recompute; a computed result replaces the entry.
void pawn_structure(const Position& p, EvalState& es, int32_t total[2]);

// The same totals, always computed and leaving the cache alone.
void compute_pawn_structure(const Position& p, int32_t total[2]);
