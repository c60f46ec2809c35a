// Static exchange evaluation: the material outcome of the capture sequence
// on one square, least valuable attacker first, either side free to stop.
#pragma once
#include "position.h"

extern const int16_t see_value[8];

// Gain for side of the capture from -> to (negative: the capture loses).
// With from = 64: the best gain side can make on to (never negative).
int see_move(const Position& p, int side, int from, int to);
int see_gain(const Position& p, int side, int sq, int victim_type, Bitboard occ);
